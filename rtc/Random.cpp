#include "rtc/Random.h"

#include <openssl/rand.h>

#include <climits>

namespace rtc {

bool CryptoRandom(uint8_t* pb, size_t cb)
{
    return cb <= INT_MAX && RAND_bytes(pb, static_cast<int>(cb)) == 1;
}

uint32_t RandomWord()
{
    uint32_t n = 0;
    CryptoRandom(reinterpret_cast<uint8_t*>(&n), sizeof(n));
    return n;
}

std::string RandomIceText(size_t cch)
{
    static const char szAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string str(cch, '\0');
    CryptoRandom(reinterpret_cast<uint8_t*>(&str[0]), cch);
    for (char& ch : str)
        ch = szAlphabet[static_cast<uint8_t>(ch) % (sizeof(szAlphabet) - 1)];
    return str;
}

} // namespace rtc
