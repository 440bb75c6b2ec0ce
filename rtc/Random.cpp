#include "rtc/Random.h"

#include <openssl/rand.h>

#include <climits>

namespace rtc {

bool CryptoRandom(uint8_t* pb, size_t cb)
{
    return cb <= INT_MAX && RAND_bytes(pb, static_cast<int>(cb)) == 1;
}

} // namespace rtc
