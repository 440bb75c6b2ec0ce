// Where the WebRTC layers take their random bytes from: transaction ids,
// tiebreakers, intervals. Tests give a seeded source instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace rtc {

// Fills pb with cb random bytes; false when it cannot.
using IceRandom = std::function<bool(uint8_t* pb, size_t cb)>;
// OpenSSL's generator: transaction ids must not be guessable.
bool CryptoRandom(uint8_t* pb, size_t cb);

} // namespace rtc
