// A seeded random source for the WebRTC layers' tests: the same ids on
// every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

#include "rtc/Random.h"

inline rtc::IceRandom SeededRandom(uint32_t nSeed)
{
    return [engine = std::mt19937(nSeed)](uint8_t* pb, size_t cb) mutable {
        for (size_t i = 0; i < cb; i++)
            pb[i] = static_cast<uint8_t>(engine());
        return true;
    };
}
