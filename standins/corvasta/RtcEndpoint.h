// The WebRTC side of the Corvasta stand-in: one UDP socket on the served
// address and port, and the peers that WHEP offers made. The HTTP server's
// thread reads the socket and runs the timers (one thread for the network);
// the streaming threads send their samples to every connected peer
// directly, so that a sample leaves as soon as it arrives.
#pragma once

#include <winsock2.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rtc/RtcPeer.h"

#include "HttpServer.h"
#include "ServerUrl.h"
#include "StreamChunk.h"

// Called without the endpoint's lock held.
class IRtcEndpointEvents
{
public:
    // The number of peers whose handshake finished changed.
    virtual void OnPeerCount(UINT nCount, bool bArrived) = 0;
    virtual void OnKeyFrameRequest() = 0;
    // One sample sent to nPeers peers as nPackets packets of cbSent bytes in
    // all; llMicroseconds sums, over the peers, the time from its arrival to
    // the send of its last packet to each.
    virtual void OnRtpSent(EMediaKind eKind, UINT nPeers, UINT nPackets, UINT cbSent, LONGLONG llMicroseconds) = 0;

protected:
    ~IRtcEndpointEvents() = default;
};

class CRtcEndpoint : public IHttpServerDatagrams, private rtc::IPeerOutput
{
public:
    // Past it an offer is answered 503.
    static constexpr size_t nMaxPeers = 100;
    // An answered offer whose client never finishes the handshake goes.
    static constexpr ULONGLONG nConnectTimeoutMs = 30000;

    CRtcEndpoint();
    ~CRtcEndpoint();
    CRtcEndpoint(const CRtcEndpoint&) = delete;
    CRtcEndpoint& operator=(const CRtcEndpoint&) = delete;

    // Binds the UDP port of the served address and makes the certificate.
    // strVideoUnsent, strAudioUnsent: why a connected branch cannot be
    // sent (empty when it can); the answers reject it with that reason.
    HRESULT Start(const CServerUrl& url, rtc::EMediaCodec video, rtc::EMediaCodec audio,
                  const std::string& strVideoUnsent, const std::string& strAudioUnsent, IRtcEndpointEvents* pEvents);
    // Closes every session (close_notify) and the socket.
    void Stop();
    // IHttpServerDatagrams: the network thread's part.
    void DatagramSockets(std::vector<SOCKET>* pSockets) override;
    void OnDatagrams(SOCKET s) override;
    DWORD OnDatagramTimer() override;
    CWhepAnswer Offer(const std::string& strSdp);
    CWhepAnswer End(const std::string& strSession);
    // An offer's answer that was not ready when it came: Offer answers at
    // once, so none is ever pending.
    bool TakeAnswer(uint64_t nTicket, CWhepAnswer* pAnswer);
    // The client of a pending offer left.
    void Abandon(uint64_t nTicket);

    // A streaming thread's sample for every connected peer; llStart in 100 ns units.
    void Send(EMediaKind eKind, const BYTE* pData, UINT cbData, LONGLONG llStart, LONGLONG llArrival);
    bool HasPeers() const;

    // The peers as status.json lists them, and why a branch is not sent.
    std::string PeersJson() const;
    std::string Rejections() const;

private:
    struct CSession
    {
        std::string m_strId;
        std::string m_strUfrag;
        ULONGLONG m_nCreatedMs;
        std::unique_ptr<rtc::RtcPeer> m_spPeer;
    };
    // What the network thread tells the owner once it has let go of the lock.
    struct CFired
    {
        std::vector<std::pair<UINT, bool>> counts; // the count after each change, arrived
        bool bKeyFrame = false;
    };

    void SendTo(const rtc::NetAddress& to, const uint8_t* pb, size_t cb) override;
    CSession* FindSession(const uint8_t* pb, size_t cb, const rtc::NetAddress& from);
    // Notes what a peer's events change in the count, under the lock.
    void Apply(bool bWasConnected, const rtc::PeerEvents& events, CFired* pFired);
    void RemoveEnded();
    void Fire(const CFired& fired);

    SOCKET m_socket;
    bool m_bWinsock;
    IRtcEndpointEvents* m_pEvents;
    std::unique_ptr<rtc::DtlsCertificate> m_spCertificate;
    rtc::NetAddress m_local;
    std::vector<std::string> m_candidates;
    std::string m_strAddress;
    rtc::EMediaCodec m_video;
    rtc::EMediaCodec m_audio;
    std::string m_strVideoUnsent;
    std::string m_strAudioUnsent;
    std::vector<std::string> m_rejections; // of the last answer, per section

    mutable std::mutex m_mutex; // guards the sessions and the socket's sends
    std::vector<std::unique_ptr<CSession>> m_sessions;
    UINT m_nConnected;
};
