#include "rtc/RtcPeer.h"

#include <cstring>

namespace rtc {

namespace {

// RFC 7983's demultiplexing by the first byte.
bool IsDtls(uint8_t b)
{
    return b >= 20 && b <= 63;
}

bool IsRtpOrRtcp(uint8_t b)
{
    return b >= 128 && b <= 191;
}

// RTCP's packet types sit where RTP's marker and payload type are
// (RFC 5761): 192-223 are RTCP's.
bool IsRtcp(const uint8_t* pb, size_t cb)
{
    return cb >= 8 && pb[1] >= 192 && pb[1] <= 223;
}

// The peer's clock as NTP time: only differences and echoes of it matter
// (round-trip times, and the receiver lining up the two streams).
uint64_t NtpOf(uint64_t nNowMs)
{
    const uint64_t c_nSeconds1900To1970 = 2208988800u;
    uint64_t nSeconds = nNowMs / 1000 + c_nSeconds1900To1970;
    uint64_t nFraction = ((nNowMs % 1000) << 32) / 1000;
    return (nSeconds << 32) | nFraction;
}

// A compound RTCP packet must carry the sender's CNAME (RFC 3550, 6.1).
size_t WriteSdesCname(uint32_t nSsrc, const std::string& cname, uint8_t* pb)
{
    size_t cbName = cname.size() > 255 ? 255 : cname.size();
    size_t cbChunk = 4 + 2 + cbName + 1; // SSRC, item, the list's end
    cbChunk = (cbChunk + 3) & ~static_cast<size_t>(3);
    size_t cb = 4 + cbChunk;
    std::memset(pb, 0, cb);
    pb[0] = 0x81; // version 2, one chunk
    pb[1] = 202;
    pb[2] = static_cast<uint8_t>((cb / 4 - 1) >> 8);
    pb[3] = static_cast<uint8_t>(cb / 4 - 1);
    pb[4] = static_cast<uint8_t>(nSsrc >> 24);
    pb[5] = static_cast<uint8_t>(nSsrc >> 16);
    pb[6] = static_cast<uint8_t>(nSsrc >> 8);
    pb[7] = static_cast<uint8_t>(nSsrc);
    pb[8] = 1; // CNAME
    pb[9] = static_cast<uint8_t>(cbName);
    std::memcpy(pb + 10, cname.data(), cbName);
    return cb;
}

// What checks may come from: the section's UDP candidates of component 1
// (RTCP is multiplexed) whose address is an IP literal.
std::vector<IceCandidate> RemoteCandidatesOf(const SdpMedia& media)
{
    std::vector<IceCandidate> candidates;
    for (const SdpCandidate& candidate : media.candidates)
    {
        IceCandidate remote;
        if (candidate.transport != "udp" || candidate.nComponent != 1 ||
            !ParseIpAddress(candidate.address, &remote.address))
            continue;
        remote.address.nPort = candidate.nPort;
        remote.nPriority = candidate.nPriority;
        candidates.push_back(remote);
    }
    return candidates;
}

} // namespace

PeerConfig MakePeerConfig(const SdpSession& offer, const AnswerParameters& parameters, const SdpAnswer& answer,
                          std::vector<std::string>* pRejections)
{
    PeerConfig config;
    config.localUfrag = parameters.iceUfrag;
    config.localPwd = parameters.icePwd;
    const SdpMedia& first = offer.media[0];
    config.remoteUfrag = first.iceUfrag.empty() ? offer.iceUfrag : first.iceUfrag;
    config.remotePwd = first.icePwd.empty() ? offer.icePwd : first.icePwd;
    config.remoteFingerprint = first.fingerprint.empty() ? offer.fingerprint : first.fingerprint;
    config.bDtlsClient = answer.bDtlsClient;
    config.cname = parameters.cname;
    config.nVideoSsrc = parameters.nVideoSsrc;
    config.nAudioSsrc = parameters.nAudioSsrc;
    bool bTransport = false;
    for (size_t i = 0; i < answer.media.size(); i++)
    {
        const AnsweredMedia& media = answer.media[i];
        const bool bAccepted = media.codec != EMediaCodec::None;
        // Accepted sections are bundled: the first one's candidates are the
        // transport's.
        if (bAccepted && !bTransport && i < offer.media.size())
        {
            config.remoteCandidates = RemoteCandidatesOf(offer.media[i]);
            bTransport = true;
        }
        if (media.kind == "video" && bAccepted)
            config.video = media;
        else if (media.kind == "audio" && bAccepted)
            config.audio = media;
        else if (!media.rejection.empty())
            pRejections->push_back(media.kind + ": " + media.rejection);
    }
    return config;
}

const char* PeerStateName(PeerState state)
{
    switch (state)
    {
    case PeerState::Checking: return "checking";
    case PeerState::Handshaking: return "handshaking";
    case PeerState::Connected: return "connected";
    case PeerState::Closed: return "closed";
    case PeerState::Failed: return "failed";
    }
    return "?";
}

RtcPeer::RtcPeer(const PeerConfig& config, const DtlsCertificate& certificate, const NetAddress& local,
                 IPeerOutput& output, uint64_t nNowMs)
    : m_config(config), m_local(local), m_output(output),
      m_ice(config.localUfrag, config.localPwd, config.remoteUfrag, config.remotePwd)
{
    m_spDtls = DtlsTransport::Create(certificate, config.bDtlsClient ? EDtlsRole::Client : EDtlsRole::Server,
                                     config.remoteFingerprint, *this, &m_endReason);
    if (m_spDtls == nullptr)
        m_state = PeerState::Failed;
    for (const IceCandidate& candidate : config.remoteCandidates)
        m_ice.AddRemoteCandidate(candidate.address, candidate.nPriority);
    if (config.video.codec != EMediaCodec::None)
        m_spVideo = std::make_unique<RtpSender>(config.nVideoSsrc, static_cast<uint8_t>(config.video.nPayloadType),
                                                ClockRateOf(config.video.codec), PacketizerOf(config.video.codec),
                                                config.video.bNack ? c_cVideoHistory : 0, RandomWord(),
                                                static_cast<uint16_t>(RandomWord()));
    if (config.audio.codec != EMediaCodec::None)
        m_spAudio = std::make_unique<RtpSender>(config.nAudioSsrc, static_cast<uint8_t>(config.audio.nPayloadType),
                                                ClockRateOf(config.audio.codec), ERtpCodec::Whole, 0, RandomWord(),
                                                static_cast<uint16_t>(RandomWord()));
    m_nNextReportMs = nNowMs + c_nReportIntervalMs;
}

RtcPeer::~RtcPeer() = default;

bool RtcPeer::Knows(const PeerPath& path) const
{
    // The selected path even when past the agent's list.
    const PeerPath* pSelected = m_ice.Selected();
    if (pSelected != nullptr && *pSelected == path)
        return true;
    for (const IceRemote& remote : m_ice.Remotes())
    {
        if (remote.path == path)
            return true;
    }
    return false;
}

void RtcPeer::SetRelayAddress(uint8_t nRelay, const NetAddress& relayed)
{
    if (nRelay >= 1 && nRelay <= c_cRelaysMax)
        m_rgRelayed[nRelay - 1] = relayed;
}

void RtcPeer::Receive(const uint8_t* pb, size_t cb, const PeerPath& from, uint64_t nNowMs, PeerEvents* pEvents)
{
    if (HasEnded() || cb == 0)
        return;
    if (pb[0] <= 3)
        ReceiveStun(pb, cb, from, nNowMs, pEvents);
    else if (!Knows(from))
        return; // only paths that passed a check may carry DTLS or RTCP
    else if (IsDtls(pb[0]))
        ReceiveDtls(pb, cb, from, nNowMs, pEvents);
    else if (IsRtpOrRtcp(pb[0]) && IsRtcp(pb, cb) && m_state == PeerState::Connected && cb <= sizeof(m_rgbWork))
    {
        std::memcpy(m_rgbWork, pb, cb);
        m_pEvents = pEvents;
        m_nReceiveMs = nNowMs;
        ReceiveRtcp(m_rgbWork, cb);
        m_pEvents = nullptr;
    }
}

void RtcPeer::ReceiveStun(const uint8_t* pb, size_t cb, const PeerPath& from, uint64_t nNowMs,
                          PeerEvents* pEvents)
{
    size_t cbOut = 0;
    IceResult result = m_ice.Receive(pb, cb, from, nNowMs, m_rgbWork, sizeof(m_rgbWork), &cbOut);
    if (result == IceResult::Answered || result == IceResult::Selected)
        m_output.SendTo(from, m_rgbWork, cbOut);
    // As the DTLS client we speak first, once there is a path.
    if (result == IceResult::Selected && m_config.bDtlsClient && !m_bDtlsStarted)
    {
        m_bDtlsStarted = true;
        m_dtlsFrom = from;
        m_bDtlsFrom = true;
        m_state = PeerState::Handshaking;
        OnDtlsEvent(m_spDtls->Start(nNowMs), pEvents);
    }
}

void RtcPeer::ReceiveDtls(const uint8_t* pb, size_t cb, const PeerPath& from, uint64_t nNowMs,
                          PeerEvents* pEvents)
{
    m_dtlsFrom = from;
    m_bDtlsFrom = true;
    if (m_state == PeerState::Checking)
        m_state = PeerState::Handshaking;
    OnDtlsEvent(m_spDtls->OnDatagram(pb, cb, nNowMs), pEvents);
}

void RtcPeer::OnDtlsEvent(EDtlsEvent event, PeerEvents* pEvents)
{
    switch (event)
    {
    case EDtlsEvent::Connected:
    {
        std::string reason;
        m_spSrtp = SrtpSession::Create(m_spDtls->Keys(), &reason);
        if (m_spSrtp == nullptr)
        {
            End(PeerState::Failed, "SRTP: " + reason, pEvents);
            return;
        }
        m_state = PeerState::Connected;
        pEvents->bConnected = true;
        break;
    }
    case EDtlsEvent::Closed:
        End(PeerState::Closed, "the client closed DTLS", pEvents);
        break;
    case EDtlsEvent::Failed:
        End(PeerState::Failed, "DTLS: " + m_spDtls->Reason(), pEvents);
        break;
    case EDtlsEvent::None:
    case EDtlsEvent::Refused: // a stray or forged record; the handshake goes on
        break;
    }
}

void RtcPeer::ReceiveRtcp(uint8_t* pb, size_t cb)
{
    size_t cbPlain = 0;
    if (!m_spSrtp->UnprotectRtcp(pb, cb, &cbPlain))
        return;
    const char* pszReason = nullptr;
    ParseRtcp(pb, cbPlain, *this, &pszReason);
}

void RtcPeer::OnTimer(uint64_t nNowMs, PeerEvents* pEvents)
{
    if (HasEnded())
        return;
    if (m_ice.ConsentExpired(nNowMs))
    {
        End(PeerState::Closed, "no consent from the client for 30 s", pEvents);
        return;
    }
    size_t cbOut = 0;
    PeerPath to;
    if (m_ice.Poll(nNowMs, m_rgbWork, sizeof(m_rgbWork), &cbOut, &to))
        m_output.SendTo(to, m_rgbWork, cbOut);
    if (m_state == PeerState::Handshaking && nNowMs >= m_spDtls->NextTimeoutMs())
        OnDtlsEvent(m_spDtls->OnTimer(nNowMs), pEvents);
    if (m_state == PeerState::Connected && nNowMs >= m_nNextReportMs)
    {
        SendReports(nNowMs);
        m_nNextReportMs = nNowMs + c_nReportIntervalMs;
    }
}

uint64_t RtcPeer::NextTimerMs() const
{
    if (HasEnded())
        return UINT64_MAX;
    uint64_t nNext = m_ice.NextPollMs();
    if (m_state == PeerState::Handshaking && m_spDtls->NextTimeoutMs() < nNext)
        nNext = m_spDtls->NextTimeoutMs();
    if (m_state == PeerState::Connected && m_nNextReportMs < nNext)
        nNext = m_nNextReportMs;
    return nNext;
}

void RtcPeer::SendReports(uint64_t nNowMs)
{
    uint64_t nNtp = NtpOf(nNowMs);
    for (RtpSender* pSender : {m_spVideo.get(), m_spAudio.get()})
    {
        RtcpSenderInfo info;
        if (pSender == nullptr || !pSender->TimestampAt(nNowMs, &info.nRtpTimestamp))
            continue;
        info.nSsrc = pSender->Ssrc();
        info.nNtpTime = nNtp;
        info.nPackets = pSender->Counts().nPackets;
        info.nOctets = pSender->Counts().nOctets;
        alignas(8) uint8_t rgb[c_cbMaxDatagram];
        WriteSenderReport(info, rgb);
        size_t cb = c_cbSenderReport + WriteSdesCname(info.nSsrc, m_config.cname, rgb + c_cbSenderReport);
        size_t cbProtected = 0;
        if (m_spSrtp->ProtectRtcp(rgb, cb, sizeof(rgb), &cbProtected))
            Send(rgb, cbProtected);
    }
}

bool RtcPeer::SendVideo(const uint8_t* pb, size_t cb, int64_t llStart, uint64_t nNowMs)
{
    return CanSend(m_spVideo.get()) && m_spVideo->SendFrame(pb, cb, m_spVideo->TimestampOf(llStart), nNowMs, *this);
}

bool RtcPeer::SendAudio(const uint8_t* pb, size_t cb, int64_t llStart, uint64_t nNowMs)
{
    if (!CanSend(m_spAudio.get()))
        return false;
    EMediaCodec codec = m_config.audio.codec;
    if (codec != EMediaCodec::PCMU && codec != EMediaCodec::PCMA)
        return m_spAudio->SendFrame(pb, cb, m_spAudio->TimestampOf(llStart), nNowMs, *this);
    // G.711 goes in 20 ms packets, the interval receivers take by default
    // (RFC 3551, 4.2), whatever the encoder's sample length: one octet a
    // sample at 8 kHz, so the offset in octets is the offset in RTP time.
    uint32_t nTimestamp = m_spAudio->TimestampOf(llStart);
    for (size_t i = 0; i < cb; i += c_cbG711Packet)
    {
        size_t cbPacket = cb - i < c_cbG711Packet ? cb - i : c_cbG711Packet;
        if (!m_spAudio->SendFrame(pb + i, cbPacket, nTimestamp + static_cast<uint32_t>(i), nNowMs, *this))
            return false;
    }
    return true;
}

bool RtcPeer::CanSend(const RtpSender* pSender) const
{
    return pSender != nullptr && m_state == PeerState::Connected && m_ice.Selected() != nullptr;
}

void RtcPeer::Close(const char* pszReason)
{
    if (HasEnded())
        return;
    if (m_state == PeerState::Handshaking || m_state == PeerState::Connected)
        m_spDtls->Close();
    m_state = PeerState::Closed;
    m_endReason = pszReason;
}

void RtcPeer::End(PeerState state, const std::string& reason, PeerEvents* pEvents)
{
    m_state = state;
    m_endReason = reason;
    pEvents->bEnded = true;
}

void RtcPeer::SendDatagram(const uint8_t* pb, size_t cb)
{
    if (m_bDtlsFrom)
        m_output.SendTo(m_dtlsFrom, pb, cb);
}

bool RtcPeer::Protect(uint8_t* pb, size_t cb, size_t cbCapacity, size_t* pcbProtected)
{
    return m_spSrtp->ProtectRtp(pb, cb, cbCapacity, pcbProtected);
}

void RtcPeer::Send(const uint8_t* pb, size_t cb)
{
    const PeerPath* pSelected = m_ice.Selected();
    if (pSelected != nullptr)
        m_output.SendTo(*pSelected, pb, cb);
}

void RtcPeer::OnReportBlock(uint32_t, const RtcpReportBlock& block)
{
    int i = m_spVideo != nullptr && block.nSsrc == m_spVideo->Ssrc() ? 0
            : m_spAudio != nullptr && block.nSsrc == m_spAudio->Ssrc() ? 1
                                                                        : -1;
    if (i < 0)
        return;
    m_rgnLost[i] = block.nCumulativeLost;
    RtpSender* pSender = i == 0 ? m_spVideo.get() : m_spAudio.get();
    m_rgnJitter[i] = static_cast<uint32_t>(uint64_t{block.nJitter} * 1000 / pSender->ClockRate());
    // RFC 3550, 6.4.1: now - LSR - DLSR, in 1/65536 s.
    if (block.nLastSenderReport != 0)
    {
        uint32_t nNow = static_cast<uint32_t>(NtpOf(m_nReceiveMs) >> 16);
        uint32_t nRtt = nNow - block.nLastSenderReport - block.nDelaySinceLastSenderReport;
        if (nRtt < 0x80000000u)
            m_nRttMs = static_cast<int32_t>(uint64_t{nRtt} * 1000 / 65536);
    }
}

void RtcPeer::OnPictureLoss(uint32_t nMediaSsrc)
{
    if (m_spVideo != nullptr && (nMediaSsrc == m_spVideo->Ssrc() || nMediaSsrc == 0) && m_pEvents != nullptr)
    {
        ++m_nKeyFrameRequests;
        m_pEvents->bKeyFrameRequest = true;
    }
}

void RtcPeer::OnFullIntraRequest(uint32_t nMediaSsrc)
{
    OnPictureLoss(nMediaSsrc);
}

void RtcPeer::OnNack(uint32_t nMediaSsrc, uint16_t nSequence)
{
    ++m_nNacks;
    if (m_spVideo != nullptr && nMediaSsrc == m_spVideo->Ssrc())
        m_spVideo->Resend(nSequence, *this);
}

void RtcPeer::SentTotals(uint32_t* pnPackets, uint64_t* pcbBytes) const
{
    *pnPackets = 0;
    *pcbBytes = 0;
    for (const RtpSender* pSender : {m_spVideo.get(), m_spAudio.get()})
    {
        if (pSender != nullptr)
        {
            *pnPackets += pSender->Counts().nPackets;
            *pcbBytes += pSender->Counts().nBytes;
        }
    }
}

PeerFigures RtcPeer::Figures() const
{
    PeerFigures figures;
    figures.state = m_state;
    if (const PeerPath* pSelected = m_ice.Selected())
    {
        const uint8_t nRelay = pSelected->nRelay;
        figures.bRelayed = nRelay != 0;
        std::string local = AddressText(m_local);
        if (figures.bRelayed)
        {
            // A relay the owner never described is named by its number.
            const bool bKnown = nRelay <= c_cRelaysMax && m_rgRelayed[nRelay - 1].nFamily != 0;
            local = "relay " + (bKnown ? AddressText(m_rgRelayed[nRelay - 1]) : std::to_string(nRelay));
        }
        figures.pair = local + " -> " + AddressText(pSelected->remote);
    }
    for (const RtpSender* pSender : {m_spVideo.get(), m_spAudio.get()})
    {
        if (pSender == nullptr)
            continue;
        figures.nPacketsSent += pSender->Counts().nPackets;
        figures.nBytesSent += pSender->Counts().nBytes;
    }
    figures.nPacketsLost = m_rgnLost[0] + m_rgnLost[1];
    figures.nJitterMs = m_spVideo != nullptr ? m_rgnJitter[0] : m_rgnJitter[1];
    figures.nRttMs = m_nRttMs;
    figures.nNacks = m_nNacks;
    figures.nKeyFrameRequests = m_nKeyFrameRequests;
    figures.endReason = m_endReason;
    return figures;
}

} // namespace rtc
