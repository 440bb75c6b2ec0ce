// The versions of the cryptographic libraries the program runs with, as
// the libraries state them.
#pragma once

namespace rtc {

const char* OpenSslVersionText(); // "OpenSSL 3.0.x  <date>"
const char* SrtpVersionText();    // "libsrtp2 2.5.x"

} // namespace rtc
