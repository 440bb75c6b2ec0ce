// Many receivers in one thread of the benchmark: one select over all their
// sockets, each readable socket read dry, so that what the server meets is
// the load and not the receivers' scheduling. CPeerPump serves WebRTC peers
// of our own layers (tests/support/RtcUdpClient): their checks, DTLS and
// SRTP unprotect cost this process CPU on the cores the server shares.
// CPlainPump reads the same RTP headers in the clear on bare sockets, for
// the reference that BareSend sends.
#pragma once

#include "tests/support/RtcUdpClient.h" // first: it brings winsock2.h

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SendSchedule.h"

// What one receiver has counted so far.
struct CReceived
{
    uint32_t nPackets = 0; // video and audio
    uint32_t nLost = 0;    // by the sequence numbers' gaps
    uint32_t nFrames = 0;  // video packets with the marker bit
};

class CPeerPump
{
public:
    CPeerPump() = default;
    CPeerPump(const CPeerPump&) = delete;
    CPeerPump& operator=(const CPeerPump&) = delete;
    ~CPeerPump() { Leave(); }

    // Peers with their sockets and certificates, not offered yet; false
    // when a socket could not be made.
    bool Make(size_t nPeers);
    // Peer i offers to the WHEP endpoint at nPort; false with the exchange
    // when it was not answered 201 or the answer would not do.
    bool Offer(size_t i, USHORT nPort, const std::string& strWhepPath, CWhepExchange* pExchange);
    // Serves every peer until the condition holds (true) or the time is
    // up; a turn waits dwWaitMs at most for a datagram.
    bool PumpUntil(const std::function<bool()>& condition, DWORD dwTimeoutMs, DWORD dwWaitMs = 5);
    // Serves them until no socket has a datagram waiting (true), so that
    // counts read next hold what the server has sent until now.
    bool Drain(DWORD dwTimeoutMs = 1000);
    size_t Size() const { return m_peers.size(); }
    size_t Connected() const;
    std::vector<CReceived> Counts() const;
    // The first peer's media as it arrives, until TakeRecording; packets
    // that it lost are recorded as the one after them.
    void StartRecording();
    std::vector<CArrival> TakeRecording();
    // Every peer ends its session (DELETE) and goes.
    void Leave();

private:
    void Record(const CRtcTestStream& stream, bool bVideo, size_t cb);

    USHORT m_nPort = 0;
    std::vector<std::unique_ptr<CRtcUdpClient>> m_peers;
    std::vector<std::string> m_locations;
    size_t m_nLastReadable = 0; // sockets that the last select found readable
    bool m_bRecording = false;
    std::vector<CArrival> m_recording;
    uint16_t m_rgnRecordedSequence[2] = {0, 0}; // video, audio
    bool m_rgbRecorded[2] = {false, false};
};

class CPlainPump
{
public:
    // nCount sockets on 127.0.0.1, each on a port of its own.
    explicit CPlainPump(size_t nCount);
    ~CPlainPump();
    CPlainPump(const CPlainPump&) = delete;
    CPlainPump& operator=(const CPlainPump&) = delete;

    // False when a socket could not be made.
    bool IsOpen() const;
    std::vector<USHORT> Ports() const;
    bool PumpUntil(const std::function<bool()>& condition, DWORD dwTimeoutMs, DWORD dwWaitMs = 5);
    std::vector<CReceived> Counts() const;
    // The times of the first and the last datagram on any socket.
    double FirstMs() const { return m_dFirstMs; }
    double LastMs() const { return m_dLastMs; }

private:
    struct CSocket
    {
        SOCKET s = INVALID_SOCKET;
        USHORT nPort = 0;
        CRtcTestStream video;
        CRtcTestStream audio;
    };
    std::vector<CSocket> m_sockets;
    double m_dFirstMs = 0.0;
    double m_dLastMs = 0.0;
};
