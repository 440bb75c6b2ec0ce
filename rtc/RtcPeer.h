// One WebRTC client of the server, from its offer to its end: ICE checks
// answered and consent kept, the DTLS association and the SRTP keys made
// from it, the media sent as RTP, and the client's RTCP read (reports,
// picture loss, NACKs). It owns no socket, thread or clock: datagrams and
// the time come in, datagrams go out through IPeerOutput, and what the
// owner must act on comes back as PeerEvents. Each datagram comes with its
// path: the client's address and which of our candidates it reached (the
// host socket or one of the session's TURN relays); answers go back by the
// path they came, DTLS by the path the client's came, media by the
// nominated one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "rtc/DtlsTransport.h"
#include "rtc/IceAgent.h"
#include "rtc/PeerPath.h"
#include "rtc/Rtcp.h"
#include "rtc/RtpSender.h"
#include "rtc/SdpAnswer.h"
#include "rtc/SrtpSession.h"

namespace rtc {

class IPeerOutput
{
public:
    virtual void SendTo(const PeerPath& to, const uint8_t* pb, size_t cb) = 0;

protected:
    ~IPeerOutput() = default;
};

enum class PeerState
{
    Checking,    // waiting for the client's checks and its DTLS hello
    Handshaking, // DTLS under way
    Connected,   // keys made: media flows
    Closed,      // the client closed, left, or was closed
    Failed,      // the handshake or the keys failed
};

const char* PeerStateName(PeerState state);

// What happened in one call that the owner acts on.
struct PeerEvents
{
    bool bConnected = false;       // the handshake finished
    bool bEnded = false;           // Closed or Failed now
    bool bKeyFrameRequest = false; // PLI or FIR
};

struct PeerConfig
{
    std::string localUfrag;
    std::string localPwd;
    std::string remoteUfrag;
    std::string remotePwd;
    std::vector<uint8_t> remoteFingerprint; // SHA-256 of the client's certificate
    bool bDtlsClient = false;
    std::string cname;
    AnsweredMedia video; // codec None: no video
    AnsweredMedia audio;
    uint32_t nVideoSsrc = 0;
    uint32_t nAudioSsrc = 0;
    std::vector<IceCandidate> remoteCandidates; // the client's, as its offer signalled them
};

// The peer of an answered offer: the client's credentials and fingerprint
// (the first section's or the session's; bundled sections share them),
// the accepted sections, our SSRCs, and the UDP candidates of component 1
// with an IP address of the first accepted section (mDNS names are not
// resolved: such a client's checks make its address known).
// *pRejections gets "kind: reason" for each section not answered.
PeerConfig MakePeerConfig(const SdpSession& offer, const AnswerParameters& parameters, const SdpAnswer& answer,
                          std::vector<std::string>* pRejections);

struct PeerFigures
{
    PeerState state = PeerState::Checking;
    // "local -> remote" of the selected pair, "relay local -> remote" when
    // it is relayed; empty until one is selected.
    std::string pair;
    bool bRelayed = false;
    uint32_t nPacketsSent = 0;
    uint64_t nBytesSent = 0;
    int32_t nPacketsLost = 0;    // as the client's reports count them
    uint32_t nJitterMs = 0;      // video's, else audio's
    int32_t nRttMs = -1;         // -1 until a report answers a sender report
    uint32_t nNacks = 0;
    uint32_t nKeyFrameRequests = 0;
    std::string endReason;
};

class RtcPeer : private IDatagramSink, private IRtpPacketOut, private IRtcpHandler
{
public:
    // How many video packets are kept for NACKs: a second of 2 Mbit/s.
    static constexpr size_t c_cVideoHistory = 256;
    static constexpr uint64_t c_nReportIntervalMs = 1000;
    // 20 ms of G.711 at 8 kHz.
    static constexpr size_t c_cbG711Packet = 160;

    RtcPeer(const PeerConfig& config, const DtlsCertificate& certificate, const NetAddress& local,
            IPeerOutput& output, uint64_t nNowMs);
    ~RtcPeer();
    RtcPeer(const RtcPeer&) = delete;
    RtcPeer& operator=(const RtcPeer&) = delete;

    PeerState State() const { return m_state; }
    bool HasEnded() const { return m_state == PeerState::Closed || m_state == PeerState::Failed; }
    // Whether a datagram by this path belongs to this peer: a valid check
    // came by it.
    bool Knows(const PeerPath& path) const;
    // Our address on relay nRelay (1..c_cRelaysMax; others are ignored),
    // for the figures.
    void SetRelayAddress(uint8_t nRelay, const NetAddress& relayed);

    void Receive(const uint8_t* pb, size_t cb, const PeerPath& from, uint64_t nNowMs, PeerEvents* pEvents);
    // Consent, handshake retransmission and sender reports.
    void OnTimer(uint64_t nNowMs, PeerEvents* pEvents);
    uint64_t NextTimerMs() const;

    // A coded frame or audio packet with its start time in 100 ns units;
    // false when this peer takes no such media now. G.711 must be 8 kHz
    // mono; it is cut into 20 ms packets.
    bool SendVideo(const uint8_t* pb, size_t cb, int64_t llStart, uint64_t nNowMs);
    bool SendAudio(const uint8_t* pb, size_t cb, int64_t llStart, uint64_t nNowMs);

    // Ends the session: close_notify to the client, then nothing more.
    void Close(const char* pszReason);

    PeerFigures Figures() const;
    // Packets and bytes sent so far, cheaply, for the send path's counts.
    void SentTotals(uint32_t* pnPackets, uint64_t* pcbBytes) const;
    // What the ICE agent answered and dropped, by reason.
    const IceCounters& IceCounts() const { return m_ice.Counters(); }

private:
    // IDatagramSink: DTLS records go back by the path the client's came.
    void SendDatagram(const uint8_t* pb, size_t cb) override;
    // IRtpPacketOut
    bool Protect(uint8_t* pb, size_t cb, size_t cbCapacity, size_t* pcbProtected) override;
    void Send(const uint8_t* pb, size_t cb) override;
    // IRtcpHandler
    void OnReportBlock(uint32_t nReporterSsrc, const RtcpReportBlock& block) override;
    void OnPictureLoss(uint32_t nMediaSsrc) override;
    void OnFullIntraRequest(uint32_t nMediaSsrc) override;
    void OnNack(uint32_t nMediaSsrc, uint16_t nSequence) override;

    void ReceiveStun(const uint8_t* pb, size_t cb, const PeerPath& from, uint64_t nNowMs, PeerEvents* pEvents);
    void ReceiveDtls(const uint8_t* pb, size_t cb, const PeerPath& from, uint64_t nNowMs, PeerEvents* pEvents);
    void ReceiveRtcp(uint8_t* pb, size_t cb);
    void OnDtlsEvent(EDtlsEvent event, PeerEvents* pEvents);
    void End(PeerState state, const std::string& reason, PeerEvents* pEvents);
    void SendReports(uint64_t nNowMs);
    // Whether media of the stream goes out now: it was answered, and the
    // peer is connected with a nominated address.
    bool CanSend(const RtpSender* pSender) const;

    PeerConfig m_config;
    NetAddress m_local;
    NetAddress m_rgRelayed[c_cRelaysMax]; // family 0: not told
    IPeerOutput& m_output;
    IceAgent m_ice;
    std::unique_ptr<DtlsTransport> m_spDtls; // null when it could not be made: Failed
    std::unique_ptr<SrtpSession> m_spSrtp;   // once connected
    std::unique_ptr<RtpSender> m_spVideo;
    std::unique_ptr<RtpSender> m_spAudio;
    PeerState m_state = PeerState::Checking;
    PeerPath m_dtlsFrom;        // the path the client's DTLS records come by
    bool m_bDtlsFrom = false;
    bool m_bDtlsStarted = false;
    uint64_t m_nNextReportMs = 0;
    uint64_t m_nReceiveMs = 0; // of the datagram being read
    PeerEvents* m_pEvents = nullptr; // during a Receive, for the RTCP handler
    // The client's reports, per stream.
    int32_t m_rgnLost[2] = {0, 0};
    uint32_t m_rgnJitter[2] = {0, 0};
    int32_t m_nRttMs = -1;
    uint32_t m_nNacks = 0;
    uint32_t m_nKeyFrameRequests = 0;
    std::string m_endReason;
    alignas(8) uint8_t m_rgbWork[c_cbMaxDatagram + c_cbSrtcpRoom]; // STUN answers, RTCP
};

} // namespace rtc
