// Session descriptions (RFC 8866) as WebRTC offers use them (RFC 8829):
// the session and its media sections with what the answerer needs: ICE
// credentials, the DTLS fingerprint and role, the bundle group, direction,
// rtcp-mux, each payload type's codec, format parameters and feedback, and
// the ICE candidates. The reader is bounded and refuses rather than
// guesses: a line it cannot read is an error with its number, not skipped.
// Lines it does not need (extmap, ssrc, end-of-candidates...) are checked
// for form and otherwise left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rtc {

struct SdpCodec
{
    int nPayloadType = -1;
    std::string name;         // as written: "opus", "VP8", "H264"
    uint32_t nClockRate = 0;
    int nChannels = 0;        // 0 when not given
    std::string fmtp;         // the parameters of a=fmtp, as written
    std::vector<std::string> rtcpFb; // each a=rtcp-fb value, e.g. "nack pli"
};

// One a=candidate of a media section (RFC 8839, 5.1); its extensions
// (raddr, rport, generation...) are checked for form only.
struct SdpCandidate
{
    std::string foundation;
    uint32_t nComponent = 0;  // 1: RTP, and RTCP when multiplexed
    std::string transport;    // lower case: "udp", "tcp"
    uint32_t nPriority = 0;
    std::string address;      // an IP address or a name (mDNS's "x.local"), as written
    uint16_t nPort = 0;
    std::string type;         // "host", "srflx", "prflx" or "relay"
};

struct SdpMedia
{
    std::string kind;         // "audio", "video", "application", ...
    uint16_t nPort = 0;       // 0: the section is rejected
    std::string proto;        // "UDP/TLS/RTP/SAVPF"
    std::vector<int> formats; // payload types, in the offer's order
    std::string mid;
    std::string iceUfrag;     // empty: the session's
    std::string icePwd;
    std::string fingerprintHash; // "sha-256", lower case; empty: the session's
    std::vector<uint8_t> fingerprint;
    std::string setup;        // "actpass", "active", "passive"; empty: the session's
    std::string direction;    // "sendrecv" (the default), "recvonly", "sendonly", "inactive"
    bool bRtcpMux = false;
    std::vector<SdpCodec> codecs; // the formats that have an a=rtpmap
    std::vector<SdpCandidate> candidates; // in the offer's order

    const SdpCodec* Codec(int nPayloadType) const;
};

struct SdpSession
{
    std::string iceUfrag;
    std::string icePwd;
    std::string fingerprintHash;
    std::vector<uint8_t> fingerprint;
    std::string setup;
    std::vector<std::string> bundle; // the mids of a=group:BUNDLE
    std::vector<SdpMedia> media;
};

// What the reader takes at most; more is an error, not a cut.
struct SdpLimits
{
    static constexpr size_t c_cbText = 64 * 1024;
    static constexpr size_t c_cLines = 2048;
    static constexpr size_t c_cchLine = 4096;
    static constexpr size_t c_cMedia = 16;
    static constexpr size_t c_cFormats = 128;
    static constexpr size_t c_cFeedback = 16; // a=rtcp-fb per payload type
    static constexpr size_t c_cCandidates = 32; // a=candidate per media section
};

// Reads pszText (cbText bytes, not terminated). On failure returns false and
// says why in *pReason, in words a tester understands ("line 7: ...").
bool ParseSdp(const char* pszText, size_t cbText, SdpSession* pSession, std::string* pReason);

// What a WebRTC answerer needs of an offer: a media section, and for each
// section ICE credentials and a DTLS fingerprint of its own or the
// session's. False with the reason when something is missing.
bool CheckWebRtcOffer(const SdpSession& session, std::string* pReason);

} // namespace rtc
