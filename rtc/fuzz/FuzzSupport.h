// What the fuzz targets' cases share: a check that names itself when it
// fails, and a random source of zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Returns the failed check's text from a function returning const char*.
#define FUZZ_CHECK(condition)                                                                                          \
    do                                                                                                                 \
    {                                                                                                                  \
        if (!(condition))                                                                                              \
            return #condition;                                                                                         \
    } while (false)

namespace rtc {

// Transaction ids of zeros, so that an input can answer them.
inline bool ZeroRandom(uint8_t* pb, size_t cb)
{
    std::memset(pb, 0, cb);
    return true;
}

} // namespace rtc
