// A WebRTC receiver made of our own layers, for tests that must steer a
// client: when it checks, what RTCP it sends (PLI, NACK), when it closes or
// falls silent. It offers receive-only audio and video, answers the
// server's consent checks, and counts what arrives per stream, decrypted,
// with the key frames told from the payload. Browsers and aiortc are the
// independent clients; this one reaches the paths they take only by chance.
// No sockets: datagrams go out through TakeOutgoing and come in by Receive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rtc/DtlsTransport.h"
#include "rtc/NetAddress.h"
#include "rtc/RtpPacketizer.h"
#include "rtc/SrtpSession.h"

struct CRtcTestStream
{
    uint32_t nSsrc = 0;
    int nPayloadType = -1;
    uint32_t nPackets = 0;
    uint32_t nFrames = 0;     // packets with the marker bit (audio: every packet)
    uint32_t nKeyFrames = 0;  // video frames that start a key frame
    uint16_t nLastSequence = 0;
    uint32_t nLastTimestamp = 0;
    // The first and the highest sequence number, extended past each wrap.
    uint32_t nFirstSequence = 0;
    uint32_t nHighestSequence = 0;
    size_t cbLargestDatagram = 0;
    std::vector<uint8_t> lastPayload;

    // One packet of the stream; bFrameEnd when it ends a frame.
    void Count(const rtc::RtpHeader& header, bool bFrameEnd);
    // Packets that never came: the sequence numbers from the first to the
    // highest, less those received (RFC 3550, A.3).
    uint32_t Lost() const;
};

struct CRtcDatagram
{
    rtc::NetAddress to;
    std::vector<uint8_t> bytes;
};

class CRtcTestClient : private rtc::IDatagramSink
{
public:
    explicit CRtcTestClient(const rtc::NetAddress& self);
    ~CRtcTestClient();

    // The offer: video VP8 (96) and H.264 constrained baseline in mode 1
    // (102), audio Opus (111), PCMU (0) and PCMA (8), unless the lists say
    // otherwise (payload types of those).
    std::string Offer(const std::vector<int>& videoFormats = {96, 102},
                      const std::vector<int>& audioFormats = {111, 0, 8}, const char* pszSetup = "actpass");
    // Reads the server's credentials, fingerprint and first host candidate.
    bool Answer(const std::string& sdp, std::string* pReason);
    const rtc::NetAddress& Server() const { return m_server; }

    // A connectivity check that nominates the server's candidate.
    void Check(uint64_t nNowMs);
    void Receive(const uint8_t* pb, size_t cb, const rtc::NetAddress& from, uint64_t nNowMs);
    void OnTimer(uint64_t nNowMs);
    std::vector<CRtcDatagram> TakeOutgoing();

    bool Checked() const { return m_bChecked; }       // the server answered a check
    bool Connected() const { return m_spSrtp != nullptr; }
    bool Closed() const { return m_bClosed; }
    const std::string& DtlsFailure() const { return m_dtlsFailure; }
    uint32_t ConsentRequestsAnswered() const { return m_nConsentAnswered; }
    bool AnswersConsent = true; // false: a client gone silent

    const CRtcTestStream& Video() const { return m_video; }
    const CRtcTestStream& Audio() const { return m_audio; }
    uint32_t SenderReports() const { return m_nSenderReports; }
    // The middle 32 bits of the last sender report's NTP time: a receiver
    // report's LSR.
    uint32_t LastSenderReportMiddle() const { return m_nLastSenderReport; }

    // RTCP to the server, protected.
    void SendPictureLoss();
    void SendNack(uint16_t nSequence);
    void SendReceiverReport(uint32_t nLost, uint32_t nLastSenderReport, uint32_t nDelay);
    void Close();

private:
    void SendDatagram(const uint8_t* pb, size_t cb) override;
    void Queue(const uint8_t* pb, size_t cb);
    void ReceiveStun(const uint8_t* pb, size_t cb, const rtc::NetAddress& from);
    void ReceiveMedia(uint8_t* pb, size_t cb);
    void SendRtcp(uint8_t* pb, size_t cb);
    void StartDtls(uint64_t nNowMs);

    rtc::NetAddress m_self;
    rtc::NetAddress m_server;
    std::unique_ptr<rtc::DtlsCertificate> m_spCertificate;
    std::unique_ptr<rtc::DtlsTransport> m_spDtls;
    std::unique_ptr<rtc::SrtpSession> m_spSrtp;
    std::string m_localUfrag;
    std::string m_localPwd;
    std::string m_remoteUfrag;
    std::string m_remotePwd;
    std::vector<uint8_t> m_remoteFingerprint;
    bool m_bDtlsServer = false;
    bool m_bChecked = false;
    bool m_bClosed = false;
    std::string m_dtlsFailure;
    uint32_t m_nConsentAnswered = 0;
    uint32_t m_nSenderReports = 0;
    uint32_t m_nLastSenderReport = 0;
    uint32_t m_nOwnSsrc = 0x5EC0FFEE;
    CRtcTestStream m_video;
    CRtcTestStream m_audio;
    std::vector<int> m_videoFormats;
    std::vector<CRtcDatagram> m_outgoing;
};
