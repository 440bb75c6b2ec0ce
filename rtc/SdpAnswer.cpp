#include "rtc/SdpAnswer.h"

#include <cstdio>
#include <cstdlib>

namespace rtc {

namespace {

bool EqualsNoCase(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
    {
        char ca = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        char cb = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (ca != cb)
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

// A parameter of a=fmtp ("a=1;b=2"), or empty.
std::string FormatParameter(const std::string& fmtp, const char* pszName)
{
    size_t nPos = 0;
    while (nPos < fmtp.size())
    {
        size_t nEnd = fmtp.find(';', nPos);
        if (nEnd == std::string::npos)
            nEnd = fmtp.size();
        std::string item = fmtp.substr(nPos, nEnd - nPos);
        size_t nFirst = item.find_first_not_of(' ');
        item = nFirst == std::string::npos ? std::string() : item.substr(nFirst);
        size_t nEq = item.find('=');
        if (nEq != std::string::npos && EqualsNoCase(item.substr(0, nEq), pszName))
            return item.substr(nEq + 1);
        nPos = nEnd + 1;
    }
    return std::string();
}

// How well an offered H.264 format takes the encoder's constrained baseline
// stream at level 3.1: 0 not at all, 1 baseline, 2 constrained baseline.
int H264Fit(const SdpCodec& codec)
{
    if (FormatParameter(codec.fmtp, "packetization-mode") != "1")
        return 0;
    std::string profileLevel = FormatParameter(codec.fmtp, "profile-level-id");
    if (profileLevel.empty())
        profileLevel = "420010"; // RFC 6184's default: baseline, level 1.0
    char* pEnd = nullptr;
    unsigned long n = std::strtoul(profileLevel.c_str(), &pEnd, 16);
    if (profileLevel.size() != 6 || *pEnd != '\0')
        return 0;
    unsigned nProfile = (n >> 16) & 0xff;
    unsigned nIop = (n >> 8) & 0xff;
    unsigned nLevel = n & 0xff;
    // Constrained baseline is baseline, or main with constraint_set1.
    bool bConstrained = (nIop & 0x40) != 0;
    if (nProfile != 0x42 && !(nProfile == 0x4d && bConstrained))
        return 0;
    if (nLevel < 31 && FormatParameter(codec.fmtp, "level-asymmetry-allowed") != "1")
        return 0;
    return bConstrained ? 2 : 1;
}

bool HasFeedback(const SdpCodec& codec, const char* pszFeedback)
{
    for (const std::string& feedback : codec.rtcpFb)
    {
        if (EqualsNoCase(feedback, pszFeedback))
            return true;
    }
    return false;
}


// The rtpmap, fmtp and feedback lines of the chosen payload type.
std::string CodecLines(const SdpMedia& media, const AnsweredMedia& answered)
{
    int nPt = answered.nPayloadType;
    const SdpCodec* pCodec = media.Codec(nPt);
    std::string lines;
    switch (answered.codec)
    {
    case EMediaCodec::VP8:
        lines += "a=rtpmap:" + std::to_string(nPt) + " VP8/90000\r\n";
        break;
    case EMediaCodec::H264:
        lines += "a=rtpmap:" + std::to_string(nPt) + " H264/90000\r\n";
        lines += "a=fmtp:" + std::to_string(nPt) + " level-asymmetry-allowed=1;packetization-mode=1;profile-level-id=" +
                 FormatParameter(pCodec->fmtp, "profile-level-id") + "\r\n";
        break;
    case EMediaCodec::Opus:
        lines += "a=rtpmap:" + std::to_string(nPt) + " opus/48000/2\r\n";
        lines += "a=fmtp:" + std::to_string(nPt) + " minptime=10\r\n";
        break;
    case EMediaCodec::PCMU:
        lines += "a=rtpmap:" + std::to_string(nPt) + " PCMU/8000\r\n";
        break;
    case EMediaCodec::PCMA:
        lines += "a=rtpmap:" + std::to_string(nPt) + " PCMA/8000\r\n";
        break;
    case EMediaCodec::None:
        break;
    }
    if (answered.bNack)
        lines += "a=rtcp-fb:" + std::to_string(nPt) + " nack\r\n";
    if (answered.bPli)
        lines += "a=rtcp-fb:" + std::to_string(nPt) + " nack pli\r\n";
    if (answered.bFir)
        lines += "a=rtcp-fb:" + std::to_string(nPt) + " ccm fir\r\n";
    return lines;
}

const char* AnswerDirection(const std::string& offered)
{
    // What the offerer receives is what we send; it never sends to us.
    return offered.empty() || offered == "sendrecv" || offered == "recvonly" ? "sendonly" : "inactive";
}

} // namespace

const char* MediaCodecName(EMediaCodec codec)
{
    switch (codec)
    {
    case EMediaCodec::VP8: return "VP8";
    case EMediaCodec::H264: return "H264";
    case EMediaCodec::Opus: return "opus";
    case EMediaCodec::PCMU: return "PCMU";
    case EMediaCodec::PCMA: return "PCMA";
    case EMediaCodec::None: break;
    }
    return "none";
}

ERtpCodec PacketizerOf(EMediaCodec codec)
{
    if (codec == EMediaCodec::VP8)
        return ERtpCodec::VP8;
    if (codec == EMediaCodec::H264)
        return ERtpCodec::H264;
    return ERtpCodec::Whole;
}

uint32_t ClockRateOf(EMediaCodec codec)
{
    switch (codec)
    {
    case EMediaCodec::VP8:
    case EMediaCodec::H264: return 90000;
    case EMediaCodec::Opus: return 48000;
    case EMediaCodec::PCMU:
    case EMediaCodec::PCMA: return 8000;
    case EMediaCodec::None: break;
    }
    return 0;
}

int MatchPayloadType(const SdpMedia& media, EMediaCodec codec, std::string* pReason)
{
    int nBest = -1;
    int nBestFit = 0;
    for (int nPt : media.formats)
    {
        const SdpCodec* pCodec = media.Codec(nPt);
        int nFit = 0;
        switch (codec)
        {
        case EMediaCodec::VP8:
            nFit = pCodec != nullptr && EqualsNoCase(pCodec->name, "VP8") && pCodec->nClockRate == 90000;
            break;
        case EMediaCodec::H264:
            nFit = pCodec != nullptr && EqualsNoCase(pCodec->name, "H264") && pCodec->nClockRate == 90000
                       ? H264Fit(*pCodec)
                       : 0;
            break;
        case EMediaCodec::Opus:
            nFit = pCodec != nullptr && EqualsNoCase(pCodec->name, "opus") && pCodec->nClockRate == 48000 &&
                   pCodec->nChannels == 2;
            break;
        // The static payload types need no rtpmap (RFC 3551).
        case EMediaCodec::PCMU:
            nFit = pCodec != nullptr ? EqualsNoCase(pCodec->name, "PCMU") && pCodec->nClockRate == 8000 : nPt == 0;
            break;
        case EMediaCodec::PCMA:
            nFit = pCodec != nullptr ? EqualsNoCase(pCodec->name, "PCMA") && pCodec->nClockRate == 8000 : nPt == 8;
            break;
        case EMediaCodec::None:
            break;
        }
        if (nFit > nBestFit)
        {
            nBest = nPt;
            nBestFit = nFit;
        }
    }
    if (nBest < 0)
    {
        *pReason = codec == EMediaCodec::H264
                       ? "the client offered no H264 in packetization mode 1 for constrained baseline at level 3.1"
                       : std::string("the client offered no ") + MediaCodecName(codec);
    }
    return nBest;
}

bool MakeSdpAnswer(const SdpSession& offer, const AnswerParameters& parameters, SdpAnswer* pAnswer,
                   std::string* pReason)
{
    SdpAnswer answer;
    bool rgbTaken[2] = {false, false}; // video, audio
    std::string bundle;
    for (const SdpMedia& media : offer.media)
    {
        AnsweredMedia answered;
        answered.kind = media.kind;
        answered.mid = media.mid;
        bool bVideo = media.kind == "video";
        EMediaCodec codec = bVideo ? parameters.videoCodec : parameters.audioCodec;
        if (!bVideo && media.kind != "audio")
            answered.rejection = "only audio and video are served";
        else if (rgbTaken[bVideo ? 0 : 1])
            answered.rejection = "one " + media.kind + " section is served";
        else if (media.nPort == 0)
            answered.rejection = "the offer rejected it";
        else if (media.proto != "UDP/TLS/RTP/SAVPF" && media.proto != "UDP/TLS/RTP/SAVP")
            answered.rejection = "media go by UDP/TLS/RTP/SAVPF";
        else if (!media.bRtcpMux)
            answered.rejection = "the offer does not multiplex RTCP";
        else if (codec == EMediaCodec::None)
        {
            const std::string& absence = bVideo ? parameters.videoAbsence : parameters.audioAbsence;
            answered.rejection = absence.empty() ? "the graph has no " + media.kind : absence;
        }
        else if (media.direction == "sendonly" || media.direction == "inactive")
            answered.rejection = "the client does not receive it";
        else
        {
            answered.nPayloadType = MatchPayloadType(media, codec, &answered.rejection);
            if (answered.nPayloadType >= 0)
            {
                answered.codec = codec;
                const SdpCodec* pCodec = media.Codec(answered.nPayloadType);
                answered.bNack = pCodec != nullptr && HasFeedback(*pCodec, "nack");
                answered.bPli = pCodec != nullptr && HasFeedback(*pCodec, "nack pli");
                answered.bFir = pCodec != nullptr && HasFeedback(*pCodec, "ccm fir");
                rgbTaken[bVideo ? 0 : 1] = true;
                bundle += " " + media.mid;
            }
        }
        answer.media.push_back(answered);
    }
    if (!rgbTaken[0] && !rgbTaken[1])
    {
        std::string why;
        for (const AnsweredMedia& answered : answer.media)
            why += (why.empty() ? "" : "; ") + answered.kind + ": " + answered.rejection;
        *pReason = "nothing to send: " + (why.empty() ? std::string("no media section") : why);
        return false;
    }

    const std::string& setup = offer.media.empty() || offer.media[0].setup.empty() ? offer.setup
                                                                                   : offer.media[0].setup;
    if (setup == "active" || setup == "actpass" || setup.empty())
        answer.bDtlsClient = false;
    else if (setup == "passive")
        answer.bDtlsClient = true;
    else
    {
        *pReason = "a=setup:" + setup + " leaves no DTLS role to answer with";
        return false;
    }

    std::string& text = answer.text;
    text = "v=0\r\no=- " + std::to_string(parameters.nSessionId) + " 2 IN IP4 " + parameters.connectionAddress +
           "\r\ns=-\r\nt=0 0\r\na=group:BUNDLE" + bundle + "\r\na=msid-semantic: WMS corvasta\r\n";
    for (size_t i = 0; i < offer.media.size(); ++i)
    {
        const SdpMedia& media = offer.media[i];
        const AnsweredMedia& answered = answer.media[i];
        bool bAccepted = answered.codec != EMediaCodec::None;
        std::string formats;
        if (bAccepted)
            formats = std::to_string(answered.nPayloadType);
        else if (!media.formats.empty())
            formats = std::to_string(media.formats[0]);
        else
            formats = media.proto.find("RTP") != std::string::npos ? "0" : "webrtc-datachannel";
        text += "m=" + media.kind + " " + (bAccepted ? std::to_string(parameters.nPort) : "0") + " " + media.proto +
                " " + formats + "\r\n";
        text += "c=IN IP4 " + (bAccepted ? parameters.connectionAddress : std::string("0.0.0.0")) + "\r\n";
        if (!media.mid.empty())
            text += "a=mid:" + media.mid + "\r\n";
        if (!bAccepted)
        {
            text += "a=inactive\r\n";
            continue;
        }
        text += "a=ice-ufrag:" + parameters.iceUfrag + "\r\na=ice-pwd:" + parameters.icePwd + "\r\n";
        text += "a=fingerprint:sha-256 " + parameters.fingerprint + "\r\n";
        text += std::string("a=setup:") + (answer.bDtlsClient ? "active" : "passive") + "\r\n";
        text += std::string("a=") + AnswerDirection(media.direction) + "\r\na=rtcp-mux\r\n";
        bool bVideo = answered.codec == EMediaCodec::VP8 || answered.codec == EMediaCodec::H264;
        text += std::string("a=msid:corvasta ") + (bVideo ? "video" : "audio") + "\r\n";
        text += CodecLines(media, answered);
        uint32_t nSsrc = bVideo ? parameters.nVideoSsrc : parameters.nAudioSsrc;
        text += "a=ssrc:" + std::to_string(nSsrc) + " cname:" + parameters.cname + "\r\n";
        for (const std::string& candidate : parameters.candidates)
            text += "a=candidate:" + candidate + "\r\n";
        text += "a=end-of-candidates\r\n";
    }
    *pAnswer = std::move(answer);
    return true;
}

} // namespace rtc
