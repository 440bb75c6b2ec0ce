#include "tests/support/RtcTestClient.h"

#include <algorithm>
#include <cstring>

#include "rtc/IceAgent.h"
#include "rtc/RtpPacketizer.h"
#include "rtc/Sdp.h"
#include "rtc/Stun.h"

namespace {

void Put16(uint8_t* pb, uint32_t n)
{
    pb[0] = static_cast<uint8_t>(n >> 8);
    pb[1] = static_cast<uint8_t>(n);
}

void Put32(uint8_t* pb, uint32_t n)
{
    Put16(pb, n >> 16);
    Put16(pb + 2, n);
}

// Whether a VP8 payload (RFC 7741) starts a key frame: the first packet of
// partition 0 whose frame tag says key frame.
bool IsVp8KeyFrameStart(const uint8_t* pb, size_t cb)
{
    if (cb < 2)
        return false;
    bool bStart = (pb[0] & 0x10) != 0 && (pb[0] & 0x07) == 0;
    size_t i = 1;
    if (pb[0] & 0x80)
    {
        uint8_t x = pb[i++];
        if (x & 0x80)
            i += i < cb && (pb[i] & 0x80) ? 2 : 1; // picture id
        if (x & 0x40)
            ++i; // TL0PICIDX
        if (x & 0x30)
            ++i; // TID, KEYIDX
    }
    return bStart && i < cb && (pb[i] & 0x01) == 0;
}

// Whether an H.264 payload (RFC 6184) carries or starts an IDR slice: one
// a picture, as the encoder codes one slice a picture.
bool IsH264KeyFrameStart(const uint8_t* pb, size_t cb)
{
    if (cb < 2)
        return false;
    int nType = pb[0] & 0x1f;
    if (nType == 28) // FU-A: the start of a fragmented unit
        return (pb[1] & 0x80) != 0 && (pb[1] & 0x1f) == 5;
    return nType == 5;
}

std::string FormatLines(int nPt)
{
    std::string pt = std::to_string(nPt);
    switch (nPt)
    {
    case 96:
        return "a=rtpmap:96 VP8/90000\r\na=rtcp-fb:96 nack\r\na=rtcp-fb:96 nack pli\r\na=rtcp-fb:96 ccm fir\r\n";
    case 102:
        return "a=rtpmap:102 H264/90000\r\na=rtcp-fb:102 nack\r\na=rtcp-fb:102 nack pli\r\n"
               "a=fmtp:102 level-asymmetry-allowed=1;packetization-mode=1;profile-level-id=42e01f\r\n";
    case 111:
        return "a=rtpmap:111 opus/48000/2\r\na=fmtp:111 minptime=10;useinbandfec=1\r\n";
    case 0:
        return "a=rtpmap:0 PCMU/8000\r\n";
    case 8:
        return "a=rtpmap:8 PCMA/8000\r\n";
    case 9:
        return "a=rtpmap:9 G722/8000\r\n";
    default:
        return "a=rtpmap:" + pt + " VP9/90000\r\n";
    }
}

std::string Formats(const std::vector<int>& formats)
{
    std::string text;
    for (int n : formats)
        text += " " + std::to_string(n);
    return text;
}

// The first host candidate's address in an answer.
bool CandidateAddress(const std::string& sdp, rtc::NetAddress* pAddress)
{
    size_t nPos = sdp.find("a=candidate:");
    if (nPos == std::string::npos)
        return false;
    std::string line = sdp.substr(nPos, sdp.find('\r', nPos) - nPos);
    // foundation component transport priority address port "typ" type
    std::vector<std::string> fields;
    size_t nStart = 12;
    while (nStart <= line.size())
    {
        size_t nEnd = line.find(' ', nStart);
        if (nEnd == std::string::npos)
            nEnd = line.size();
        fields.push_back(line.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    if (fields.size() < 8)
        return false;
    rtc::NetAddress address;
    if (!rtc::ParseIpAddress(fields[4], &address) || address.nFamily != 4)
        return false;
    address.nPort = static_cast<uint16_t>(std::stoi(fields[5]));
    *pAddress = address;
    return true;
}

} // namespace

void CRtcTestStream::Count(const rtc::RtpHeader& header, bool bFrameEnd)
{
    if (nPackets == 0)
        nFirstSequence = nHighestSequence = header.nSequence;
    else
    {
        // A step forward of less than half the range is new; anything else
        // came late.
        uint16_t nStep = static_cast<uint16_t>(header.nSequence - static_cast<uint16_t>(nHighestSequence));
        if (nStep != 0 && nStep < 0x8000)
            nHighestSequence += nStep;
    }
    nSsrc = header.nSsrc;
    ++nPackets;
    nLastSequence = header.nSequence;
    nLastTimestamp = header.nTimestamp;
    if (bFrameEnd)
        ++nFrames;
}

uint32_t CRtcTestStream::Lost() const
{
    uint32_t nExpected = nPackets == 0 ? 0 : nHighestSequence - nFirstSequence + 1;
    return nExpected > nPackets ? nExpected - nPackets : 0;
}

CRtcTestClient::CRtcTestClient(const rtc::NetAddress& self) : m_self(self)
{
    std::string reason;
    m_spCertificate = rtc::DtlsCertificate::Generate(&reason);
    m_localUfrag = rtc::RandomIceText(8);
    m_localPwd = rtc::RandomIceText(24);
}

CRtcTestClient::~CRtcTestClient() = default;

std::string CRtcTestClient::Offer(const std::vector<int>& videoFormats, const std::vector<int>& audioFormats,
                                  const char* pszSetup)
{
    m_videoFormats = videoFormats;
    std::string sdp = "v=0\r\no=- 7 2 IN IP4 127.0.0.1\r\ns=-\r\nt=0 0\r\na=group:BUNDLE 0 1\r\n";
    sdp += "a=ice-ufrag:" + m_localUfrag + "\r\na=ice-pwd:" + m_localPwd + "\r\n";
    sdp += "a=fingerprint:sha-256 " + m_spCertificate->FingerprintText() + "\r\n";
    sdp += std::string("a=setup:") + pszSetup + "\r\n";
    sdp += "m=video 9 UDP/TLS/RTP/SAVPF" + Formats(videoFormats) +
           "\r\nc=IN IP4 0.0.0.0\r\na=mid:0\r\na=recvonly\r\na=rtcp-mux\r\n";
    for (int n : videoFormats)
        sdp += FormatLines(n);
    sdp += "m=audio 9 UDP/TLS/RTP/SAVPF" + Formats(audioFormats) +
           "\r\nc=IN IP4 0.0.0.0\r\na=mid:1\r\na=recvonly\r\na=rtcp-mux\r\n";
    for (int n : audioFormats)
        sdp += FormatLines(n);
    return sdp;
}

bool CRtcTestClient::Answer(const std::string& sdp, std::string* pReason)
{
    rtc::SdpSession answer;
    if (!rtc::ParseSdp(sdp.data(), sdp.size(), &answer, pReason))
        return false;
    for (const rtc::SdpMedia& media : answer.media)
    {
        if (media.nPort == 0 || media.formats.empty())
            continue;
        CRtcTestStream& stream = media.kind == "video" ? m_video : m_audio;
        stream.nPayloadType = media.formats[0];
        m_remoteUfrag = media.iceUfrag.empty() ? answer.iceUfrag : media.iceUfrag;
        m_remotePwd = media.icePwd.empty() ? answer.icePwd : media.icePwd;
        m_remoteFingerprint = media.fingerprint.empty() ? answer.fingerprint : media.fingerprint;
        m_bDtlsServer = (media.setup.empty() ? answer.setup : media.setup) == "active";
    }
    if (m_remoteUfrag.empty())
    {
        *pReason = "the answer accepts no section";
        return false;
    }
    if (!CandidateAddress(sdp, &m_server))
    {
        *pReason = "the answer has no host candidate";
        return false;
    }
    m_spDtls = rtc::DtlsTransport::Create(*m_spCertificate, m_bDtlsServer ? rtc::EDtlsRole::Server : rtc::EDtlsRole::Client,
                                          m_remoteFingerprint, *this, pReason);
    return m_spDtls != nullptr;
}

void CRtcTestClient::Check(uint64_t)
{
    uint8_t rgbId[rtc::c_cbStunTransactionId];
    rtc::CryptoRandom(rgbId, sizeof(rgbId));
    uint8_t rgb[512];
    rtc::StunWriter writer(rgb, sizeof(rgb));
    writer.Begin(rtc::c_nStunBinding, rtc::StunClass::Request, rgbId);
    writer.AddString(rtc::c_nStunUsername, m_remoteUfrag + ":" + m_localUfrag);
    writer.AddUint32(rtc::c_nStunPriority, 0x6e0001ff);
    writer.AddUint64(rtc::c_nStunIceControlling, 0x0123456789abcdefull);
    writer.AddAttribute(rtc::c_nStunUseCandidate, nullptr, 0);
    writer.AddMessageIntegrity(reinterpret_cast<const uint8_t*>(m_remotePwd.data()), m_remotePwd.size());
    writer.AddFingerprint();
    if (!writer.Failed())
        Queue(rgb, writer.Size());
}

void CRtcTestClient::Receive(const uint8_t* pb, size_t cb, const rtc::NetAddress& from, uint64_t nNowMs)
{
    if (cb == 0 || cb > 2048)
        return;
    if (pb[0] <= 3)
        ReceiveStun(pb, cb, from);
    else if (pb[0] >= 20 && pb[0] <= 63 && m_spDtls != nullptr)
    {
        rtc::EDtlsEvent event = m_spDtls->OnDatagram(pb, cb, nNowMs);
        if (event == rtc::EDtlsEvent::Connected)
        {
            std::string reason;
            m_spSrtp = rtc::SrtpSession::Create(m_spDtls->Keys(), &reason);
        }
        else if (event == rtc::EDtlsEvent::Closed)
            m_bClosed = true;
        else if (event == rtc::EDtlsEvent::Failed)
            m_dtlsFailure = m_spDtls->Reason();
    }
    else if (pb[0] >= 128 && pb[0] <= 191 && m_spSrtp != nullptr)
    {
        alignas(8) uint8_t rgb[2048 + 160];
        std::memcpy(rgb, pb, cb);
        ReceiveMedia(rgb, cb);
    }
    (void)nNowMs;
}

void CRtcTestClient::ReceiveStun(const uint8_t* pb, size_t cb, const rtc::NetAddress& from)
{
    rtc::StunMessage message;
    const char* pszReason = nullptr;
    if (!rtc::ParseStun(pb, cb, &message, &pszReason) || message.nMethod != rtc::c_nStunBinding)
        return;
    if (message.nClass == rtc::StunClass::Success &&
        rtc::CheckMessageIntegrity(message, reinterpret_cast<const uint8_t*>(m_remotePwd.data()), m_remotePwd.size()) &&
        rtc::CheckFingerprint(message))
    {
        bool bFirst = !m_bChecked;
        m_bChecked = true;
        // The DTLS client speaks once ICE has a working pair.
        if (bFirst && !m_bDtlsServer && m_spDtls != nullptr)
            m_spDtls->Start(0);
        return;
    }
    if (message.nClass != rtc::StunClass::Request || !AnswersConsent ||
        !rtc::CheckMessageIntegrity(message, reinterpret_cast<const uint8_t*>(m_localPwd.data()), m_localPwd.size()))
        return;
    uint8_t rgb[512];
    rtc::StunWriter writer(rgb, sizeof(rgb));
    writer.Begin(rtc::c_nStunBinding, rtc::StunClass::Success, message.rgbTransactionId);
    writer.AddXorMappedAddress(from);
    writer.AddMessageIntegrity(reinterpret_cast<const uint8_t*>(m_localPwd.data()), m_localPwd.size());
    writer.AddFingerprint();
    if (!writer.Failed())
    {
        ++m_nConsentAnswered;
        Queue(rgb, writer.Size());
    }
}

void CRtcTestClient::ReceiveMedia(uint8_t* pb, size_t cb)
{
    size_t cbPlain = 0;
    if (pb[1] >= 192 && pb[1] <= 223)
    {
        if (m_spSrtp->UnprotectRtcp(pb, cb, &cbPlain) && cbPlain >= 16 && pb[1] == 200)
        {
            ++m_nSenderReports;
            m_nLastSenderReport = (uint32_t{pb[10]} << 24) | (uint32_t{pb[11]} << 16) | (uint32_t{pb[12]} << 8) | pb[13];
        }
        return;
    }
    size_t cbDatagram = cb;
    if (!m_spSrtp->UnprotectRtp(pb, cb, &cbPlain))
        return;
    rtc::RtpHeader header;
    size_t cbHeader = 0;
    if (!rtc::ReadRtpHeader(pb, cbPlain, &header, &cbHeader))
        return;
    bool bVideo = header.nPayloadType == m_video.nPayloadType;
    CRtcTestStream& stream = bVideo ? m_video : m_audio;
    if (!bVideo && header.nPayloadType != m_audio.nPayloadType)
        return;
    stream.Count(header, !bVideo || header.bMarker);
    stream.cbLargestDatagram = std::max(stream.cbLargestDatagram, cbDatagram);
    stream.lastPayload.assign(pb + cbHeader, pb + cbPlain);
    const uint8_t* pbPayload = pb + cbHeader;
    size_t cbPayload = cbPlain - cbHeader;
    if (bVideo && (stream.nPayloadType == 96 ? IsVp8KeyFrameStart(pbPayload, cbPayload)
                                             : IsH264KeyFrameStart(pbPayload, cbPayload)))
        ++stream.nKeyFrames;
}

void CRtcTestClient::SendRtcp(uint8_t* pb, size_t cb)
{
    size_t cbProtected = 0;
    if (m_spSrtp != nullptr && m_spSrtp->ProtectRtcp(pb, cb, 256, &cbProtected))
        Queue(pb, cbProtected);
}

void CRtcTestClient::SendPictureLoss()
{
    alignas(8) uint8_t rgb[256] = {};
    rgb[0] = 0x81; // version 2, FMT 1: PLI
    rgb[1] = 206;
    Put16(rgb + 2, 2);
    Put32(rgb + 4, m_nOwnSsrc);
    Put32(rgb + 8, m_video.nSsrc);
    SendRtcp(rgb, 12);
}

void CRtcTestClient::SendNack(uint16_t nSequence)
{
    alignas(8) uint8_t rgb[256] = {};
    rgb[0] = 0x81; // FMT 1: generic NACK
    rgb[1] = 205;
    Put16(rgb + 2, 3);
    Put32(rgb + 4, m_nOwnSsrc);
    Put32(rgb + 8, m_video.nSsrc);
    Put16(rgb + 12, nSequence);
    SendRtcp(rgb, 16);
}

void CRtcTestClient::SendReceiverReport(uint32_t nLost, uint32_t nLastSenderReport, uint32_t nDelay)
{
    alignas(8) uint8_t rgb[256] = {};
    rgb[0] = 0x81; // one report block
    rgb[1] = 201;
    Put16(rgb + 2, 7);
    Put32(rgb + 4, m_nOwnSsrc);
    Put32(rgb + 8, m_video.nSsrc);
    Put32(rgb + 12, nLost & 0xffffff);
    Put32(rgb + 16, m_video.nLastSequence);
    Put32(rgb + 20, 900); // jitter: 10 ms of 90 kHz
    Put32(rgb + 24, nLastSenderReport);
    Put32(rgb + 28, nDelay);
    SendRtcp(rgb, 32);
}

void CRtcTestClient::Close()
{
    if (m_spDtls != nullptr)
        m_spDtls->Close();
    m_bClosed = true;
}

void CRtcTestClient::OnTimer(uint64_t nNowMs)
{
    if (m_spDtls != nullptr && nNowMs >= m_spDtls->NextTimeoutMs())
        m_spDtls->OnTimer(nNowMs);
}

std::vector<CRtcDatagram> CRtcTestClient::TakeOutgoing()
{
    std::vector<CRtcDatagram> outgoing;
    outgoing.swap(m_outgoing);
    return outgoing;
}

void CRtcTestClient::SendDatagram(const uint8_t* pb, size_t cb)
{
    Queue(pb, cb);
}

void CRtcTestClient::Queue(const uint8_t* pb, size_t cb)
{
    m_outgoing.push_back({m_server, std::vector<uint8_t>(pb, pb + cb)});
}
