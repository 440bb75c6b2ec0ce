// The session description reader on a receive-only offer as a browser makes
// it for WHEP, and a table of offers that must be refused, each with its
// reason: the reader refuses rather than guesses.
#include <gtest/gtest.h>

#include "rtc/RtcPeer.h"
#include "rtc/Sdp.h"

#include <cstring>
#include <iterator>
#include <string>

namespace {

// A browser's offer to receive audio and video (transceivers recvonly),
// bundled, before any candidate: the lines a WHEP client sends.
const char c_szOffer[] =
    "v=0\r\n"
    "o=- 4611731400430051336 2 IN IP4 127.0.0.1\r\n"
    "s=-\r\n"
    "t=0 0\r\n"
    "a=group:BUNDLE 0 1\r\n"
    "a=extmap-allow-mixed\r\n"
    "a=msid-semantic: WMS\r\n"
    "m=audio 9 UDP/TLS/RTP/SAVPF 111 63 9 0 8 13 110 126\r\n"
    "c=IN IP4 0.0.0.0\r\n"
    "a=rtcp:9 IN IP4 0.0.0.0\r\n"
    "a=ice-ufrag:Zq3m\r\n"
    "a=ice-pwd:9uVaQx2bT0Jr8kLmNoPqRsTu\r\n"
    "a=ice-options:trickle\r\n"
    "a=fingerprint:sha-256 3D:9A:1F:00:6B:52:7C:E4:AA:10:5E:93:2B:47:C8:61:0F:DE:88:34:71:B9:25:6C:E0:13:4A:F7:9C:58:D2:06\r\n"
    "a=setup:actpass\r\n"
    "a=mid:0\r\n"
    "a=extmap:1 urn:ietf:params:rtp-hdrext:ssrc-audio-level\r\n"
    "a=recvonly\r\n"
    "a=rtcp-mux\r\n"
    "a=rtcp-rsize\r\n"
    "a=rtpmap:111 opus/48000/2\r\n"
    "a=rtcp-fb:111 transport-cc\r\n"
    "a=fmtp:111 minptime=10;useinbandfec=1\r\n"
    "a=rtpmap:63 red/48000/2\r\n"
    "a=fmtp:63 111/111\r\n"
    "a=rtpmap:9 G722/8000\r\n"
    "a=rtpmap:0 PCMU/8000\r\n"
    "a=rtpmap:8 PCMA/8000\r\n"
    "a=rtpmap:13 CN/8000\r\n"
    "a=rtpmap:110 telephone-event/48000\r\n"
    "a=rtpmap:126 telephone-event/8000\r\n"
    "m=video 9 UDP/TLS/RTP/SAVPF 96 97 102 103\r\n"
    "c=IN IP4 0.0.0.0\r\n"
    "a=rtcp:9 IN IP4 0.0.0.0\r\n"
    "a=ice-ufrag:Zq3m\r\n"
    "a=ice-pwd:9uVaQx2bT0Jr8kLmNoPqRsTu\r\n"
    "a=ice-options:trickle\r\n"
    "a=fingerprint:sha-256 3D:9A:1F:00:6B:52:7C:E4:AA:10:5E:93:2B:47:C8:61:0F:DE:88:34:71:B9:25:6C:E0:13:4A:F7:9C:58:D2:06\r\n"
    "a=setup:actpass\r\n"
    "a=mid:1\r\n"
    "a=recvonly\r\n"
    "a=rtcp-mux\r\n"
    "a=rtcp-rsize\r\n"
    "a=rtpmap:96 VP8/90000\r\n"
    "a=rtcp-fb:96 goog-remb\r\n"
    "a=rtcp-fb:96 transport-cc\r\n"
    "a=rtcp-fb:96 ccm fir\r\n"
    "a=rtcp-fb:96 nack\r\n"
    "a=rtcp-fb:96 nack pli\r\n"
    "a=rtpmap:97 rtx/90000\r\n"
    "a=fmtp:97 apt=96\r\n"
    "a=rtpmap:102 H264/90000\r\n"
    "a=rtcp-fb:102 nack pli\r\n"
    "a=fmtp:102 level-asymmetry-allowed=1;packetization-mode=1;profile-level-id=42001f\r\n"
    "a=rtpmap:103 rtx/90000\r\n"
    "a=fmtp:103 apt=102\r\n";

TEST(SdpTest, ReadsABrowsersReceiveOnlyOffer)
{
    rtc::SdpSession session;
    std::string reason;
    ASSERT_TRUE(rtc::ParseSdp(c_szOffer, sizeof(c_szOffer) - 1, &session, &reason)) << reason;
    EXPECT_EQ(std::vector<std::string>({"0", "1"}), session.bundle);
    ASSERT_EQ(2u, session.media.size());

    const rtc::SdpMedia& audio = session.media[0];
    EXPECT_EQ("audio", audio.kind);
    EXPECT_EQ(9, audio.nPort);
    EXPECT_EQ("UDP/TLS/RTP/SAVPF", audio.proto);
    EXPECT_EQ(std::vector<int>({111, 63, 9, 0, 8, 13, 110, 126}), audio.formats);
    EXPECT_EQ("0", audio.mid);
    EXPECT_EQ("Zq3m", audio.iceUfrag);
    EXPECT_EQ("9uVaQx2bT0Jr8kLmNoPqRsTu", audio.icePwd);
    EXPECT_EQ("sha-256", audio.fingerprintHash);
    ASSERT_EQ(32u, audio.fingerprint.size());
    EXPECT_EQ(0x3D, audio.fingerprint[0]);
    EXPECT_EQ(0x06, audio.fingerprint[31]);
    EXPECT_EQ("actpass", audio.setup);
    EXPECT_EQ("recvonly", audio.direction);
    EXPECT_TRUE(audio.bRtcpMux);
    const rtc::SdpCodec* pOpus = audio.Codec(111);
    ASSERT_NE(nullptr, pOpus);
    EXPECT_EQ("opus", pOpus->name);
    EXPECT_EQ(48000u, pOpus->nClockRate);
    EXPECT_EQ(2, pOpus->nChannels);
    EXPECT_EQ("minptime=10;useinbandfec=1", pOpus->fmtp);
    EXPECT_EQ(std::vector<std::string>({"transport-cc"}), pOpus->rtcpFb);
    ASSERT_NE(nullptr, audio.Codec(0));
    EXPECT_EQ("PCMU", audio.Codec(0)->name);

    const rtc::SdpMedia& video = session.media[1];
    EXPECT_EQ("video", video.kind);
    const rtc::SdpCodec* pH264 = video.Codec(102);
    ASSERT_NE(nullptr, pH264);
    EXPECT_EQ("H264", pH264->name);
    EXPECT_EQ(90000u, pH264->nClockRate);
    EXPECT_EQ("level-asymmetry-allowed=1;packetization-mode=1;profile-level-id=42001f", pH264->fmtp);
    ASSERT_NE(nullptr, video.Codec(96));
    EXPECT_EQ(std::vector<std::string>({"goog-remb", "transport-cc", "ccm fir", "nack", "nack pli"}),
              video.Codec(96)->rtcpFb);
    EXPECT_TRUE(rtc::CheckWebRtcOffer(session, &reason)) << reason;
}

// The session's own credentials and fingerprint serve every section; the
// static payload types need no a=rtpmap; a bare LF ends a line too.
TEST(SdpTest, SessionLevelAttributesAndStaticTypes)
{
    const std::string offer = "v=0\n"
                              "o=- 1 1 IN IP4 0.0.0.0\n"
                              "s=-\n"
                              "t=0 0\n"
                              "a=ice-ufrag:abcd\n"
                              "a=ice-pwd:abcdefghijklmnopqrstuv\n"
                              "a=fingerprint:SHA-256 00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:"
                              "00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF\n"
                              "m=audio 9 UDP/TLS/RTP/SAVPF 0 8\n"
                              "a=mid:a\n";
    rtc::SdpSession session;
    std::string reason;
    ASSERT_TRUE(rtc::ParseSdp(offer.data(), offer.size(), &session, &reason)) << reason;
    EXPECT_EQ("sha-256", session.fingerprintHash);
    ASSERT_EQ(1u, session.media.size());
    EXPECT_TRUE(session.media[0].iceUfrag.empty());
    ASSERT_NE(nullptr, session.media[0].Codec(8));
    EXPECT_EQ("PCMA", session.media[0].Codec(8)->name);
    EXPECT_EQ(8000u, session.media[0].Codec(8)->nClockRate);
    EXPECT_TRUE(rtc::CheckWebRtcOffer(session, &reason)) << reason;
}

// The offer with these lines after the first section's a=mid.
std::string WithAudioLines(const std::string& lines)
{
    std::string offer(c_szOffer);
    return offer.insert(offer.find("a=mid:0\r\n") + 9, lines);
}

// A browser's candidates as it writes them, each read field by field; the
// extensions are only checked.
TEST(SdpTest, ReadsCandidates)
{
    const struct
    {
        const char* pszLine;
        rtc::SdpCandidate candidate;
    } rgCases[] = {
        {"a=candidate:1467250027 1 udp 2122260223 192.168.1.20 54400 typ host generation 0 network-id 1",
         {"1467250027", 1, "udp", 2122260223, "192.168.1.20", 54400, "host"}},
        {"a=candidate:842163049 1 udp 1686052607 203.0.113.7 61000 typ srflx raddr 192.168.1.20 rport 54400",
         {"842163049", 1, "udp", 1686052607, "203.0.113.7", 61000, "srflx"}},
        {"a=candidate:0 1 UDP 2122252543 4b2c1a5e-9d3f-4f6a-8c1e-2a7b3d9e0f11.local 50123 typ host",
         {"0", 1, "udp", 2122252543, "4b2c1a5e-9d3f-4f6a-8c1e-2a7b3d9e0f11.local", 50123, "host"}},
        {"a=candidate:2 1 TCP 2105524479 192.168.1.20 9 typ host tcptype active",
         {"2", 1, "tcp", 2105524479, "192.168.1.20", 9, "host"}},
        {"a=candidate:a+/Z 2 udp 41885438 2001:db8::5 3478 typ relay raddr 203.0.113.7 rport 61000",
         {"a+/Z", 2, "udp", 41885438, "2001:db8::5", 3478, "relay"}},
        {"a=candidate:5 1 udp 1845501695 192.168.1.20 54401 typ prflx",
         {"5", 1, "udp", 1845501695, "192.168.1.20", 54401, "prflx"}},
    };
    std::string lines;
    for (const auto& test : rgCases)
        lines += std::string(test.pszLine) + "\r\n";
    const std::string offer = WithAudioLines(lines + "a=end-of-candidates\r\n");
    rtc::SdpSession session;
    std::string reason;
    ASSERT_TRUE(rtc::ParseSdp(offer.data(), offer.size(), &session, &reason)) << reason;
    const std::vector<rtc::SdpCandidate>& candidates = session.media[0].candidates;
    ASSERT_EQ(std::size(rgCases), candidates.size());
    for (size_t i = 0; i < candidates.size(); i++)
    {
        SCOPED_TRACE(rgCases[i].pszLine);
        const rtc::SdpCandidate& expected = rgCases[i].candidate;
        EXPECT_EQ(expected.foundation, candidates[i].foundation);
        EXPECT_EQ(expected.nComponent, candidates[i].nComponent);
        EXPECT_EQ(expected.transport, candidates[i].transport);
        EXPECT_EQ(expected.nPriority, candidates[i].nPriority);
        EXPECT_EQ(expected.address, candidates[i].address);
        EXPECT_EQ(expected.nPort, candidates[i].nPort);
        EXPECT_EQ(expected.type, candidates[i].type);
    }
    EXPECT_TRUE(session.media[1].candidates.empty());
}

// The peer's remote candidates: the UDP ones of component 1 with an IP
// address, of the first section answered (with bundle, the transport's).
TEST(SdpTest, RemoteCandidatesAreTheFirstAcceptedSectionsUdpAddresses)
{
    std::string offer = WithAudioLines("a=candidate:1 1 udp 2122260223 192.168.1.20 54400 typ host\r\n"
                                       "a=candidate:2 1 udp 2122262783 2001:db8::5 54402 typ host\r\n"
                                       "a=candidate:3 1 udp 2122252543 x.local 50123 typ host\r\n"
                                       "a=candidate:4 1 tcp 1518280447 192.168.1.20 9 typ host tcptype active\r\n"
                                       "a=candidate:1 2 udp 2122260222 192.168.1.20 54401 typ host\r\n"
                                       "a=candidate:5 1 udp 1686052607 203.0.113.7 61000 typ srflx raddr "
                                       "192.168.1.20 rport 54400\r\n");
    offer.insert(offer.find("a=mid:1\r\n") + 9, "a=candidate:6 1 udp 2122260223 10.0.0.7 41000 typ host\r\n");
    rtc::SdpSession session;
    std::string reason;
    ASSERT_TRUE(rtc::ParseSdp(offer.data(), offer.size(), &session, &reason)) << reason;
    auto address = [](const char* pszIp, uint16_t nPort) {
        rtc::NetAddress address;
        EXPECT_TRUE(rtc::ParseIpAddress(pszIp, &address));
        address.nPort = nPort;
        return address;
    };
    const struct
    {
        const char* pszName;
        rtc::EMediaCodec audio;
        std::vector<rtc::IceCandidate> expected;
    } rgCases[] = {
        {"audio answered first",
         rtc::EMediaCodec::Opus,
         {{address("192.168.1.20", 54400), 2122260223},
          {address("2001:db8::5", 54402), 2122262783},
          {address("203.0.113.7", 61000), 1686052607}}},
        {"audio rejected", rtc::EMediaCodec::None, {{address("10.0.0.7", 41000), 2122260223}}},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        rtc::AnswerParameters parameters;
        parameters.iceUfrag = "srv1";
        parameters.icePwd = "serverpassword0123456789";
        parameters.fingerprint = "AB";
        parameters.connectionAddress = "127.0.0.1";
        parameters.videoCodec = rtc::EMediaCodec::VP8;
        parameters.audioCodec = test.audio;
        rtc::SdpAnswer answer;
        ASSERT_TRUE(rtc::MakeSdpAnswer(session, parameters, &answer, &reason)) << reason;
        std::vector<std::string> rejections;
        const rtc::PeerConfig config = rtc::MakePeerConfig(session, parameters, answer, &rejections);
        ASSERT_EQ(test.expected.size(), config.remoteCandidates.size());
        for (size_t i = 0; i < test.expected.size(); i++)
        {
            EXPECT_EQ(rtc::AddressText(test.expected[i].address), rtc::AddressText(config.remoteCandidates[i].address));
            EXPECT_EQ(test.expected[i].nPriority, config.remoteCandidates[i].nPriority);
        }
    }
}

// Each edit of the offer is refused with a reason that names the fault.
TEST(SdpTest, RefusesWhatItCannotRead)
{
    const std::string offer(c_szOffer);
    auto replace = [&](const std::string& from, const std::string& to) {
        std::string s = offer;
        size_t i = s.find(from);
        EXPECT_NE(std::string::npos, i) << from;
        return i == std::string::npos ? s : s.replace(i, from.size(), to);
    };
    std::string lines;
    for (int i = 0; i < 2100; i++)
        lines += "a=x\r\n";
    std::string candidates;
    for (int i = 0; i < 33; i++)
        candidates += "a=candidate:" + std::to_string(i) + " 1 udp 2122260223 192.168.1.20 " +
                      std::to_string(50000 + i) + " typ host\r\n";
    auto candidate = [&](const std::string& value) { return WithAudioLines("a=candidate:" + value + "\r\n"); };
    const struct
    {
        const char* pszName;
        std::string text;
        const char* pszReason; // a part of the reason
    } rgCases[] = {
        {"empty", "", "no v=0 line"},
        {"not a description", "GET / HTTP/1.1\r\n", "line 1: not a type=value line"},
        {"another version", replace("v=0", "v=1"), "line 1: a description starts with v=0"},
        {"no origin", replace("o=- 4611731400430051336 2 IN IP4 127.0.0.1\r\n", ""), "no o= line"},
        {"binary bytes", replace("s=-", std::string("s=\x01\x02\0\x7f", 6)), "line 3: a control character"},
        {"an empty line inside", replace("t=0 0\r\n", "t=0 0\r\n\r\n"), "line 5: not a type=value line"},
        {"a port out of range", replace("m=audio 9 ", "m=audio 70000 "), "m= port"},
        {"a payload type out of range", replace("SAVPF 96 97", "SAVPF 196 97"), "not a payload type"},
        {"a payload type twice", replace("SAVPF 96 97", "SAVPF 96 96"), "twice"},
        {"an rtpmap of a type not offered", replace("a=rtpmap:97 rtx", "a=rtpmap:98 rtx"), "not in the m= line"},
        {"an rtpmap twice", replace("a=rtpmap:97 rtx/90000", "a=rtpmap:96 rtx/90000"), "a second a=rtpmap"},
        {"an rtpmap without a clock", replace("VP8/90000", "VP8"), "PT name/clock rate"},
        {"a short fingerprint", replace(":D2:06\r\na=setup:actpass\r\na=mid:0", ":D2\r\na=setup:actpass\r\na=mid:0"),
         "sha-256 has 32 bytes"},
        {"a fingerprint not in hex", replace("3D:9A:1F", "3D:9G:1F"), "hexadecimal"},
        {"a short ICE password", replace("a=ice-pwd:9uVaQx2bT0Jr8kLmNoPqRsTu\r\na=ice-options:trickle\r\na=fingerprint",
                                         "a=ice-pwd:short\r\na=ice-options:trickle\r\na=fingerprint"),
         "a=ice-pwd is 22 to 256"},
        {"an ICE user name with a space", replace("a=ice-ufrag:Zq3m", "a=ice-ufrag:Zq 3m"), "a=ice-ufrag"},
        {"an unknown setup", replace("a=setup:actpass", "a=setup:maybe"), "a=setup"},
        {"a candidate without its type", candidate("1 1 udp 2122260223 192.168.1.20 54400"),
         "line 17: a=candidate is foundation, component, transport, priority, address, port, typ and type"},
        {"a candidate without typ", candidate("1 1 udp 2122260223 192.168.1.20 54400 host x"),
         "a=candidate is foundation"},
        {"a candidate's port out of range", candidate("1 1 udp 2122260223 192.168.1.20 65536 typ host"),
         "a=candidate port is not a port number"},
        {"a candidate's port not a number", candidate("1 1 udp 2122260223 192.168.1.20 5440x typ host"),
         "a=candidate port is not a port number"},
        {"a candidate of component 0", candidate("1 0 udp 2122260223 192.168.1.20 54400 typ host"),
         "a=candidate component"},
        {"a candidate's priority past 32 bits", candidate("1 1 udp 4294967296 192.168.1.20 54400 typ host"),
         "a=candidate priority"},
        {"a candidate's foundation of 33 characters", candidate(std::string(33, 'f') + " 1 udp 1 1.2.3.4 1 typ host"),
         "a=candidate foundation"},
        {"a candidate of an unknown type", candidate("1 1 udp 2122260223 192.168.1.20 54400 typ near"),
         "a=candidate type is host, srflx, prflx or relay"},
        {"a candidate's address with a slash", candidate("1 1 udp 2122260223 192.168.1.20/24 54400 typ host"),
         "a=candidate address"},
        {"a candidate's extension without a value", candidate("1 1 udp 2122260223 1.2.3.4 5 typ host generation"),
         "a=candidate extension without a value"},
        {"a candidate's rport not a port", candidate("1 1 udp 1 1.2.3.4 5 typ srflx raddr 10.0.0.1 rport x"),
         "a=candidate rport"},
        {"33 candidates in a section", WithAudioLines(candidates), "more than 32 a=candidate in a media section"},
        {"seventeen media sections", [&] {
             std::string s = "v=0\r\no=- 1 1 IN IP4 0.0.0.0\r\ns=-\r\nt=0 0\r\n";
             for (int i = 0; i < 17; i++)
                 s += "m=audio 9 UDP/TLS/RTP/SAVPF 0\r\n";
             return s;
         }(), "more than 16 media sections"},
        {"too many lines", "v=0\r\no=- 1 1 IN IP4 0.0.0.0\r\n" + lines, "more than 2048 lines"},
        {"a line too long", "v=0\r\ns=" + std::string(5000, 'x') + "\r\n", "line 2: longer than 4096"},
        {"a megabyte", std::string(1024 * 1024, 'a'), "larger than 65536 bytes"},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        rtc::SdpSession session;
        std::string reason;
        EXPECT_FALSE(rtc::ParseSdp(test.text.data(), test.text.size(), &session, &reason));
        EXPECT_NE(std::string::npos, reason.find(test.pszReason)) << reason;
        EXPECT_TRUE(session.media.empty());
    }
}

// What WebRTC requires of an offer that reads well.
TEST(SdpTest, AnOfferWithoutWhatWebRtcNeedsIsRefused)
{
    const std::string offer(c_szOffer);
    auto without = [&](const char* pszPrefix) {
        std::string s;
        size_t i = 0;
        while (i < offer.size())
        {
            size_t j = offer.find("\r\n", i) + 2;
            if (offer.compare(i, strlen(pszPrefix), pszPrefix) != 0)
                s += offer.substr(i, j - i);
            i = j;
        }
        return s;
    };
    const struct
    {
        const char* pszName;
        std::string text;
        const char* pszReason;
    } rgCases[] = {
        {"no media", offer.substr(0, offer.find("m=audio")), "no media section"},
        {"no fingerprint", without("a=fingerprint"), "media section 1 (audio) has no DTLS fingerprint"},
        {"no ICE credentials", without("a=ice-pwd"), "media section 1 (audio) has no ICE user name and password"},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        rtc::SdpSession session;
        std::string reason;
        ASSERT_TRUE(rtc::ParseSdp(test.text.data(), test.text.size(), &session, &reason)) << reason;
        EXPECT_FALSE(rtc::CheckWebRtcOffer(session, &reason));
        EXPECT_EQ(test.pszReason, reason);
    }
}

} // namespace
