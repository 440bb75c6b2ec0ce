// What the Corvasta stand-in has received and served, as ServerStats reports
// it. The streaming threads, the server thread and the callers of
// GetStatistics meet here, so it has its own lock and calls nothing.
#pragma once

#include "components/Corvasta.h"

#include "StreamChunk.h"

#include <mutex>

class CServerStatistics
{
public:
    CServerStatistics() { Reset(); }

    // A new run counts from zero.
    void Reset();
    void OnSample(EMediaKind eKind, UINT cbSample);
    void OnKeyFrameRequest();
    // bArrived: one more client than before; it counts towards the total.
    void OnConnections(UINT nConnections, bool bArrived);
    // One sample sent as RTP to nPeers peers: nPackets packets and cbSent
    // bytes in all, llMicroseconds the sum of its times to each peer.
    void OnRtpSent(EMediaKind eKind, UINT nPeers, UINT nPackets, UINT cbSent, LONGLONG llMicroseconds);

    // cbSize is set to the size of the record; the reserved words are zero.
    void Fill(UINT32 nState, ServerStats* pStats) const;

private:
    struct CTransfer
    {
        LONGLONG m_llTotal;
        LONGLONG m_llCount;
        INT32 Average() const;
    };

    mutable std::mutex m_mutex;
    UINT32 m_nConnections;
    UINT32 m_nConnectionsTotal;
    UINT32 m_rgnSamples[2];
    UINT32 m_nKeyFrameRequests;
    LONGLONG m_llBytes;
    UINT32 m_nPacksSent;
    LONGLONG m_llBytesSent;
    CTransfer m_rgTransfer[2];
};
