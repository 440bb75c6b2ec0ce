// Where the WebRTC layers take their random bytes from: transaction ids,
// tiebreakers, intervals. Tests give a seeded source instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace rtc {

// Fills pb with cb random bytes; false when it cannot.
using IceRandom = std::function<bool(uint8_t* pb, size_t cb)>;
// OpenSSL's generator: transaction ids must not be guessable.
bool CryptoRandom(uint8_t* pb, size_t cb);
// 32 random bits from CryptoRandom: SSRCs, first sequence numbers.
uint32_t RandomWord();
// cch letters and digits, as ICE's ufrag and pwd take them (RFC 8839, 5.4).
std::string RandomIceText(size_t cch);

} // namespace rtc
