#include "SourceRateLimit.h"

#include <algorithm>

namespace rtc {

SourceRateLimit::SourceRateLimit(uint32_t nPerSecond, uint32_t nBurst) : m_nPerSecond(nPerSecond), m_nBurst(nBurst)
{
    m_sources.reserve(c_cSourcesMax);
}

bool SourceRateLimit::Allow(const NetAddress& source, uint64_t nNowMs)
{
    const uint64_t nFull = static_cast<uint64_t>(m_nBurst) * 1000;
    auto it = std::find_if(m_sources.begin(), m_sources.end(),
                           [&](const Source& known) { return known.address == source; });
    if (it == m_sources.end())
    {
        if (m_sources.size() < c_cSourcesMax)
            it = m_sources.insert(m_sources.end(), Source());
        else
            it = std::min_element(m_sources.begin(), m_sources.end(),
                                  [](const Source& a, const Source& b) { return a.nLastMs < b.nLastMs; });
        it->address = source;
        it->nLastMs = nNowMs;
        it->nMilliTokens = nFull;
    }
    // A clock that went back refills nothing.
    uint64_t nElapsedMs = nNowMs > it->nLastMs ? std::min<uint64_t>(nNowMs - it->nLastMs, 3600000) : 0;
    it->nMilliTokens = std::min(nFull, it->nMilliTokens + nElapsedMs * m_nPerSecond);
    it->nLastMs = nNowMs;
    if (it->nMilliTokens < 1000)
        return false;
    it->nMilliTokens -= 1000;
    return true;
}

} // namespace rtc
