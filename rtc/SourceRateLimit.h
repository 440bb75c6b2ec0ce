// How many requests each source address may make per second, as a token
// bucket per address: a burst of nBurst, then nPerSecond. The table of
// addresses is bounded; when it is full the address heard from least
// recently gives way, so that a flood from many sources costs a bounded
// amount of memory and a source that keeps to its rate keeps its bucket
// unless a flood outpaces it. No clock of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtc/NetAddress.h"

namespace rtc {

class SourceRateLimit
{
public:
    static constexpr size_t c_cSourcesMax = 256;

    SourceRateLimit(uint32_t nPerSecond, uint32_t nBurst);

    // Whether a request from the address may be served now; takes a token
    // when it may.
    bool Allow(const NetAddress& source, uint64_t nNowMs);

private:
    struct Source
    {
        NetAddress address;
        uint64_t nLastMs = 0;
        // Tokens in thousandths, so that rates below one per millisecond
        // refill without rounding away.
        uint64_t nMilliTokens = 0;
    };

    const uint32_t m_nPerSecond;
    const uint32_t m_nBurst;
    std::vector<Source> m_sources;
};

} // namespace rtc
