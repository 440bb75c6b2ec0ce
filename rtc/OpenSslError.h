// OpenSSL's reasons for a failure, taken from the thread's error queue.
#pragma once

#include <string>

namespace rtc {

// "what failed: OpenSSL's reason", emptying this thread's error queue; the
// earliest error is the cause, the later ones its consequences.
std::string OpenSslFailure(const char* pszWhat);

} // namespace rtc
