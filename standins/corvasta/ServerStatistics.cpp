#include "ServerStatistics.h"

#include <climits>

namespace {

// A byte count that passes 2 GB stays at the largest value instead of
// turning negative in the record's signed field.
INT32 Saturate(LONGLONG ll)
{
    return ll > INT_MAX ? INT_MAX : static_cast<INT32>(ll);
}

} // namespace

INT32 CServerStatistics::CTransfer::Average() const
{
    return m_llCount > 0 ? Saturate(m_llTotal / m_llCount) : 0;
}

void CServerStatistics::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nConnections = 0;
    m_nConnectionsTotal = 0;
    m_rgnSamples[eMediaVideo] = m_rgnSamples[eMediaAudio] = 0;
    m_nKeyFrameRequests = 0;
    m_llBytes = 0;
    m_nPacksSent = 0;
    m_llBytesSent = 0;
    m_rgTransfer[eMediaVideo] = m_rgTransfer[eMediaAudio] = CTransfer{0, 0};
}

void CServerStatistics::OnSample(EMediaKind eKind, UINT cbSample)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_rgnSamples[eKind];
    m_llBytes += cbSample;
}

void CServerStatistics::OnKeyFrameRequest()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nKeyFrameRequests;
}

void CServerStatistics::OnConnections(UINT nConnections, bool bArrived)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nConnections = nConnections;
    if (bArrived)
        ++m_nConnectionsTotal;
}

void CServerStatistics::OnRtpSent(EMediaKind eKind, UINT nPeers, UINT nPackets, UINT cbSent,
                                  LONGLONG llMicroseconds)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nPacksSent += nPackets;
    m_llBytesSent += cbSent;
    m_rgTransfer[eKind].m_llTotal += llMicroseconds;
    m_rgTransfer[eKind].m_llCount += nPeers;
}

void CServerStatistics::Fill(UINT32 nState, ServerStats* pStats) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ZeroMemory(pStats, sizeof(*pStats));
    pStats->cbSize = sizeof(*pStats);
    pStats->nState = nState;
    pStats->nConnections = m_nConnections;
    pStats->nConnectionsTotal = m_nConnectionsTotal;
    pStats->nVideoSamples = m_rgnSamples[eMediaVideo];
    pStats->nAudioSamples = m_rgnSamples[eMediaAudio];
    pStats->nKeyFrameRequests = m_nKeyFrameRequests;
    pStats->nPacks = m_rgnSamples[eMediaVideo] + m_rgnSamples[eMediaAudio];
    pStats->nBytes = Saturate(m_llBytes);
    pStats->nPacksSent = m_nPacksSent;
    pStats->nBytesSent = Saturate(m_llBytesSent);
    pStats->nRtpTransferVid = m_rgTransfer[eMediaVideo].Average();
    pStats->nRtpTransferAud = m_rgTransfer[eMediaAudio].Average();
}
