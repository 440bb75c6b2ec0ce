// One WHEP session of the WebRTC endpoint, from its offer to its end: the
// gathering with the filter's ICE servers (a Binding request from the
// shared host socket for each STUN server, an allocation from the
// session's own relay socket for each TURN server), the answer once that
// is over, then the peer, whose datagrams go out through the host socket
// or wrapped for one of the session's relays. The endpoint's lock guards
// it: the network thread drives it, streaming threads send through it.
#pragma once

#include <winsock2.h>

#include <memory>
#include <string>
#include <vector>

#include "rtc/IceGatherer.h"
#include "rtc/RtcPeer.h"
#include "rtc/Sdp.h"
#include "rtc/SdpAnswer.h"

#include "HttpServer.h"
#include "IceServerList.h"
#include "NameLookup.h"

class CRtcSession : private rtc::IPeerOutput
{
public:
    // What the answer needs, kept while the session gathers.
    struct COffer
    {
        rtc::SdpSession offer;
        rtc::AnswerParameters parameters; // its candidates: the host's
        bool bRelayOnly = false;          // the client asked for relayed candidates alone
        // Where the client's WHEP request came from: let in by the relays
        // with the candidates of its offer.
        std::vector<rtc::NetAddress> clientAddresses;
    };

    CRtcSession(std::string strId, uint64_t nTicket, SOCKET hostSocket, COffer offer, ULONGLONG nNowMs);
    ~CRtcSession();
    CRtcSession(const CRtcSession&) = delete;
    CRtcSession& operator=(const CRtcSession&) = delete;

    const std::string& Id() const { return m_strId; }
    uint64_t Ticket() const { return m_nTicket; }
    const std::string& Ufrag() const { return m_offer.parameters.iceUfrag; }
    ULONGLONG CreatedMs() const { return m_nCreatedMs; }

    // Starts gathering with the servers; a relay socket is bound to
    // relayBind (the served address, any port) when one is TURN. hosts:
    // the host socket's addresses, the first its base.
    void StartGathering(const std::vector<CIceServerConfig>& servers, const std::vector<rtc::NetAddress>& hosts,
                        const sockaddr_in& relayBind, ULONGLONG nNowMs);
    // Hands finished lookups in, sends what is due; true when the gathering
    // has just ended and the answer is to be made.
    bool Service(CNameLookup& lookup, ULONGLONG nNowMs);
    ULONGLONG NextServiceMs(ULONGLONG nNowMs) const;
    bool Answered() const { return m_spPeer != nullptr || m_bRefused; }
    // The answer of what was gathered, and the peer of it; 201, or 503 when
    // a relay-only client gets no relayed candidate (the session then ends).
    // The relays then let the client's addresses in: the one its request
    // came from and those its offer names.
    CWhepAnswer Answer(const rtc::DtlsCertificate& certificate, const rtc::NetAddress& local, ULONGLONG nNowMs,
                       std::vector<std::string>* pRejections);

    // A datagram on the host socket: true when it was an answer to one of
    // the session's Binding requests.
    bool ReceiveHost(const uint8_t* pb, size_t cb, const rtc::NetAddress& from, ULONGLONG nNowMs);
    SOCKET RelaySocket() const { return m_relaySocket; }
    // What came on the relay socket: a relay's answer, or a peer's datagram
    // through a relay, given to the peer. False when it was neither.
    bool ReceiveRelay(const uint8_t* pb, size_t cb, const rtc::NetAddress& from, ULONGLONG nNowMs,
                      rtc::PeerEvents* pEvents);

    // Null until answered.
    rtc::RtcPeer* Peer() const { return m_spPeer.get(); }
    bool HasEnded() const { return m_bRefused || (m_spPeer != nullptr && m_spPeer->HasEnded()); }
    // Closes the peer, gives the allocations back (the requests leave now)
    // and closes the relay socket.
    void End(const char* pszReason, ULONGLONG nNowMs);

    std::vector<rtc::IceServerOutcome> Outcomes() const;

private:
    void SendTo(const rtc::PeerPath& to, const uint8_t* pb, size_t cb) override;
    void SendGathering(ULONGLONG nNowMs);
    void CloseRelaySocket();

    const std::string m_strId;
    const uint64_t m_nTicket;
    const SOCKET m_hostSocket;
    const ULONGLONG m_nCreatedMs;
    COffer m_offer;
    std::unique_ptr<rtc::IceGatherer> m_spGatherer;
    SOCKET m_relaySocket;
    bool m_bRefused;
    std::unique_ptr<rtc::RtcPeer> m_spPeer;
    // A datagram wrapped for a relay (a DTLS flight's may exceed the media's
    // budget); sends hold the endpoint's lock.
    uint8_t m_rgbWrap[2048 + rtc::c_cbTurnWrapOverhead];
};
