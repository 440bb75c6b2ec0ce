// The WebRTC side of the Corvasta stand-in: one UDP socket on the served
// address and port, and the sessions that WHEP offers made, each gathering
// with the filter's ICE servers before its answer and then serving its
// peer. The HTTP server's thread reads the sockets and runs the timers (one
// thread for the network); the streaming threads send their samples to
// every connected peer directly, so that a sample leaves as soon as it
// arrives.
#pragma once

#include <winsock2.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rtc/RtcPeer.h"
#include "rtc/SourceRateLimit.h"

#include "HttpServer.h"
#include "IceServerList.h"
#include "NameLookup.h"
#include "RtcSession.h"
#include "ServerUrl.h"
#include "StatusPage.h"
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

class CRtcEndpoint : public IHttpServerDatagrams
{
public:
    // Sessions held at once; past it an offer is answered 503.
    static constexpr size_t nMaxSessions = 100;
    // Sessions answered (or gathering) whose client has not connected yet;
    // past it the oldest of them goes, so that offers that never connect
    // cannot keep a real client out. As many as the HTTP server lets wait
    // for their answers: a burst of that many clients all get in.
    static constexpr size_t nMaxHalfOpen = CHttpServer::nMaxWaitingWhep;
    // An answered offer whose client never finishes the handshake goes.
    static constexpr ULONGLONG nConnectTimeoutMs = 30000;
    // STUN requests one source address may send: a browser checks a pair
    // every 50 ms at most, and keeps consent every few seconds.
    static constexpr uint32_t nStunPerSecond = 50;
    static constexpr uint32_t nStunBurst = 50;

    CRtcEndpoint();
    ~CRtcEndpoint();
    CRtcEndpoint(const CRtcEndpoint&) = delete;
    CRtcEndpoint& operator=(const CRtcEndpoint&) = delete;

    // Binds the UDP port of the served address and makes the certificate.
    // strVideoUnsent, strAudioUnsent: why a connected branch cannot be
    // sent (empty when it can); the answers reject it with that reason.
    HRESULT Start(const CServerUrl& url, rtc::EMediaCodec video, rtc::EMediaCodec audio,
                  const std::string& strVideoUnsent, const std::string& strAudioUnsent, IRtcEndpointEvents* pEvents);
    // Closes every session (close_notify, allocations given back) and the
    // sockets.
    void Stop();
    // The ICE servers the next offers gather with; sessions under way keep
    // theirs.
    void SetIceServers(std::vector<CIceServerConfig> servers);

    // IHttpServerDatagrams: the network thread's part.
    void DatagramSockets(std::vector<SOCKET>* pSockets) override;
    void OnDatagrams(SOCKET s) override;
    DWORD OnDatagramTimer() override;
    // An offer: answered at once when there is nothing to gather, else
    // pending (status 0) until TakeAnswer has it.
    CWhepAnswer Offer(const CWhepRequest& request);
    bool TakeAnswer(uint64_t nTicket, CWhepAnswer* pAnswer);
    void Abandon(uint64_t nTicket);
    CWhepAnswer End(const std::string& strSession);

    // A streaming thread's sample for every connected peer; llStart in 100 ns units.
    void Send(EMediaKind eKind, const BYTE* pData, UINT cbData, LONGLONG llStart, LONGLONG llArrival);
    bool HasPeers() const;

    // The peers as status.json lists them, why a branch is not sent, the
    // ICE servers of the last gathering (or the list, before one) and what
    // was dropped.
    std::string PeersJson() const;
    std::string Rejections() const;
    std::vector<CIceServerStatus> IceServers() const;
    CDropCounts Dropped() const;

private:
    // What the network thread tells the owner once it has let go of the lock.
    struct CFired
    {
        std::vector<std::pair<UINT, bool>> counts; // the count after each change, arrived
        bool bKeyFrame = false;
    };

    void ReceiveHost(const uint8_t* pb, size_t cb, const rtc::NetAddress& from, ULONGLONG nNowMs, CFired* pFired);
    CRtcSession* FindSession(const uint8_t* pb, size_t cb, const rtc::NetAddress& from);
    // Runs the session's gathering and relays; the answer made when its
    // gathering is over waits for TakeAnswer.
    void Service(CRtcSession& session, ULONGLONG nNowMs);
    // Makes the session's answer once its gathering is over, and keeps it
    // for TakeAnswer (or returns it, for an offer answered at once).
    CWhepAnswer Complete(CRtcSession& session, ULONGLONG nNowMs);
    // Notes what a peer's events change in the count, under the lock.
    void Apply(bool bWasConnected, const rtc::PeerEvents& events, CFired* pFired);
    // Ends a session and notes a connected one's leaving and the drops of
    // its agent.
    void EndSession(CRtcSession& session, const char* pszReason, ULONGLONG nNowMs, CFired* pFired);
    void RemoveEnded();
    // Room for one more session: false with the 503's reason when full;
    // the oldest half-open session goes when there are too many.
    bool MakeRoom(ULONGLONG nNowMs, CFired* pFired, std::string* pReason);
    void Fire(const CFired& fired);

    SOCKET m_socket;
    bool m_bWinsock;
    IRtcEndpointEvents* m_pEvents;
    std::unique_ptr<rtc::DtlsCertificate> m_spCertificate;
    rtc::NetAddress m_local;
    sockaddr_in m_relayBind;              // the served address, any port
    std::vector<rtc::NetAddress> m_hosts; // the host candidates' addresses
    std::vector<std::string> m_candidates;
    std::string m_strAddress;
    rtc::EMediaCodec m_video;
    rtc::EMediaCodec m_audio;
    std::string m_strVideoUnsent;
    std::string m_strAudioUnsent;
    CNameLookup m_lookup;

    mutable std::mutex m_mutex; // guards what follows and the socket's sends
    std::vector<CIceServerConfig> m_iceServers;
    std::vector<rtc::IceServerOutcome> m_outcomes; // of the last gathering
    bool m_bGathered;
    std::vector<std::string> m_rejections; // of the last answer, per section
    std::vector<std::unique_ptr<CRtcSession>> m_sessions;
    std::map<uint64_t, CWhepAnswer> m_answers; // made, not yet taken
    UINT m_nConnected;
    rtc::SourceRateLimit m_stunRate;
    CDropCounts m_dropped;
};
