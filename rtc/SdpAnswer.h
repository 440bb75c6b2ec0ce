// The answer a WebRTC sender gives to a receive-only offer (RFC 8829, 5.3):
// one section answered per offered section and in its order, the first
// audio and the first video section accepted when the offer names the codec
// that the sender's encoder produces, send-only, bundled and rtcp-mux; every
// other section rejected with port 0. The sender's own codec decides, not a
// preference list: it sends what its encoder makes or nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rtc/RtpPacketizer.h"
#include "rtc/Sdp.h"

namespace rtc {

enum class EMediaCodec
{
    None, // no such branch in the sender's graph
    VP8,
    H264, // constrained baseline, packetization mode 1
    Opus,
    PCMU,
    PCMA,
};

const char* MediaCodecName(EMediaCodec codec);
ERtpCodec PacketizerOf(EMediaCodec codec);
uint32_t ClockRateOf(EMediaCodec codec);

struct AnswerParameters
{
    std::string iceUfrag;
    std::string icePwd;
    std::string fingerprint;              // SHA-256, "AB:CD:..."
    std::vector<std::string> candidates;  // a=candidate values
    std::string connectionAddress;        // dotted IPv4 of c=
    uint16_t nPort = 9;                   // of the host candidate
    EMediaCodec videoCodec = EMediaCodec::None;
    EMediaCodec audioCodec = EMediaCodec::None;
    // Why a branch whose codec is None is not sent; empty: the graph has none.
    std::string videoAbsence;
    std::string audioAbsence;
    uint32_t nVideoSsrc = 0;
    uint32_t nAudioSsrc = 0;
    std::string cname;
    uint64_t nSessionId = 0;
};

// One offered section as answered.
struct AnsweredMedia
{
    std::string kind;
    std::string mid;
    EMediaCodec codec = EMediaCodec::None; // None: rejected
    int nPayloadType = -1;
    std::string rejection;                  // why, when rejected
    bool bNack = false;                     // the offer's feedback for the payload type
    bool bPli = false;
    bool bFir = false;
};

struct SdpAnswer
{
    std::string text;
    std::vector<AnsweredMedia> media;
    bool bDtlsClient = false; // the offer said a=setup:passive
};

// False with the reason when no section can be accepted, or the offer's
// DTLS role or bundle leave no way to answer.
bool MakeSdpAnswer(const SdpSession& offer, const AnswerParameters& parameters, SdpAnswer* pAnswer,
                   std::string* pReason);

// A codec's payload type in a section for the sender's codec, or -1 with
// the reason in *pReason.
int MatchPayloadType(const SdpMedia& media, EMediaCodec codec, std::string* pReason);

} // namespace rtc
