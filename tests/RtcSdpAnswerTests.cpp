// The answer to a browser's receive-only offer: the payload type of the
// encoder's codec taken from the offer, the sections in the offer's order,
// a branch whose codec the client lacks rejected with port 0 and a reason;
// and the answer read back by our own offer reader.
#include <gtest/gtest.h>

#include <string>

#include "rtc/SdpAnswer.h"

namespace {

// The lines a browser writes for each payload type it offers.
std::string FormatLines(const std::string& formats)
{
    static const std::pair<int, const char*> rgLines[] = {
        {111, "a=rtpmap:111 opus/48000/2\r\na=fmtp:111 minptime=10;useinbandfec=1\r\n"},
        {0, "a=rtpmap:0 PCMU/8000\r\n"},
        {8, "a=rtpmap:8 PCMA/8000\r\n"},
        {9, "a=rtpmap:9 G722/8000\r\n"},
        {96, "a=rtpmap:96 VP8/90000\r\na=rtcp-fb:96 nack\r\na=rtcp-fb:96 nack pli\r\na=rtcp-fb:96 ccm fir\r\n"},
        {100, "a=rtpmap:100 VP9/90000\r\n"},
        {102, "a=rtpmap:102 H264/90000\r\na=rtcp-fb:102 nack pli\r\n"
              "a=fmtp:102 level-asymmetry-allowed=1;packetization-mode=1;profile-level-id=42001f\r\n"},
        {104, "a=rtpmap:104 H264/90000\r\n"
              "a=fmtp:104 level-asymmetry-allowed=1;packetization-mode=0;profile-level-id=42e01f\r\n"},
        {106, "a=rtpmap:106 H264/90000\r\n"
              "a=fmtp:106 level-asymmetry-allowed=1;packetization-mode=1;profile-level-id=42e01f\r\n"},
        {108, "a=rtpmap:108 H264/90000\r\n"
              "a=fmtp:108 level-asymmetry-allowed=1;packetization-mode=1;profile-level-id=640032\r\n"},
    };
    std::string lines;
    size_t nPos = 0;
    while (nPos < formats.size())
    {
        size_t nEnd = formats.find(' ', nPos);
        int nPt = std::stoi(formats.substr(nPos, nEnd - nPos));
        for (const auto& line : rgLines)
            lines += line.first == nPt ? line.second : "";
        nPos = nEnd == std::string::npos ? formats.size() : nEnd + 1;
    }
    return lines;
}

// A browser's offer, cut to what the answer depends on.
std::string Offer(const std::string& audioFormats, const std::string& videoFormats, const std::string& extra)
{
    return "v=0\r\no=- 1 2 IN IP4 127.0.0.1\r\ns=-\r\nt=0 0\r\na=group:BUNDLE 0 1\r\n"
           "a=ice-ufrag:Zq3m\r\na=ice-pwd:9uVaQx2bT0Jr8kLmNoPqRsTu\r\n"
           "a=fingerprint:sha-256 3D:9A:1F:00:6B:52:7C:E4:AA:10:5E:93:2B:47:C8:61:0F:DE:88:34:71:B9:25:6C:E0:13:4A:F7:9C:58:D2:06\r\n"
           "a=setup:actpass\r\n"
           "m=audio 9 UDP/TLS/RTP/SAVPF " + audioFormats + "\r\nc=IN IP4 0.0.0.0\r\na=mid:0\r\na=recvonly\r\na=rtcp-mux\r\n" +
           FormatLines(audioFormats) +
           "m=video 9 UDP/TLS/RTP/SAVPF " + videoFormats + "\r\nc=IN IP4 0.0.0.0\r\na=mid:1\r\na=recvonly\r\na=rtcp-mux\r\n" +
           FormatLines(videoFormats) + extra;
}

rtc::AnswerParameters Parameters(rtc::EMediaCodec video, rtc::EMediaCodec audio)
{
    rtc::AnswerParameters parameters;
    parameters.iceUfrag = "abcd";
    parameters.icePwd = "0123456789abcdef01234567";
    parameters.fingerprint = std::string(31 * 3, 'A') + "AA";
    for (size_t i = 2; i < parameters.fingerprint.size(); i += 3)
        parameters.fingerprint[i] = ':';
    parameters.candidates = {"1 1 udp 2130706431 127.0.0.1 50128 typ host"};
    parameters.connectionAddress = "127.0.0.1";
    parameters.nPort = 50128;
    parameters.videoCodec = video;
    parameters.audioCodec = audio;
    parameters.nVideoSsrc = 1111;
    parameters.nAudioSsrc = 2222;
    parameters.cname = "corvasta";
    parameters.nSessionId = 42;
    return parameters;
}

bool Answer(const std::string& offerText, const rtc::AnswerParameters& parameters, rtc::SdpAnswer* pAnswer,
            std::string* pReason)
{
    rtc::SdpSession offer;
    if (!rtc::ParseSdp(offerText.data(), offerText.size(), &offer, pReason))
        return false;
    return rtc::MakeSdpAnswer(offer, parameters, pAnswer, pReason);
}

TEST(RtcSdpAnswer, TakesThePayloadTypeOfTheEncodersCodecFromTheOffer)
{
    struct CCase
    {
        rtc::EMediaCodec video;
        rtc::EMediaCodec audio;
        int nVideoPt;
        int nAudioPt;
    };
    const CCase rgCases[] = {
        {rtc::EMediaCodec::VP8, rtc::EMediaCodec::Opus, 96, 111},
        // Constrained baseline in mode 1 first; mode 0 and High never.
        {rtc::EMediaCodec::H264, rtc::EMediaCodec::PCMU, 106, 0},
        {rtc::EMediaCodec::H264, rtc::EMediaCodec::PCMA, 106, 8},
    };
    for (const CCase& c : rgCases)
    {
        SCOPED_TRACE(rtc::MediaCodecName(c.video));
        rtc::SdpAnswer answer;
        std::string reason;
        ASSERT_TRUE(Answer(Offer("111 0 8", "96 102 104 106 108", ""), Parameters(c.video, c.audio), &answer, &reason))
            << reason;
        ASSERT_EQ(2u, answer.media.size());
        EXPECT_EQ(c.nAudioPt, answer.media[0].nPayloadType);
        EXPECT_EQ(c.nVideoPt, answer.media[1].nPayloadType);
        EXPECT_FALSE(answer.bDtlsClient);

        // The answer reads back as a session our reader accepts, in order.
        rtc::SdpSession read;
        ASSERT_TRUE(rtc::ParseSdp(answer.text.data(), answer.text.size(), &read, &reason)) << reason << answer.text;
        ASSERT_EQ(2u, read.media.size());
        EXPECT_EQ("audio", read.media[0].kind);
        EXPECT_EQ(std::vector<int>{c.nAudioPt}, read.media[0].formats);
        EXPECT_EQ(std::vector<int>{c.nVideoPt}, read.media[1].formats);
        EXPECT_EQ((std::vector<std::string>{"0", "1"}), read.bundle);
        for (const rtc::SdpMedia& media : read.media)
        {
            EXPECT_EQ("sendonly", media.direction);
            EXPECT_EQ("passive", media.setup);
            EXPECT_TRUE(media.bRtcpMux);
            EXPECT_EQ(50128, media.nPort);
        }
        EXPECT_NE(std::string::npos, answer.text.find("a=candidate:1 1 udp 2130706431 127.0.0.1 50128 typ host\r\n"));
    }
}

TEST(RtcSdpAnswer, EchoesOnlyTheFeedbackTheOfferHas)
{
    rtc::SdpAnswer answer;
    std::string reason;
    ASSERT_TRUE(Answer(Offer("111", "96 106", ""), Parameters(rtc::EMediaCodec::VP8, rtc::EMediaCodec::Opus), &answer,
                       &reason));
    EXPECT_TRUE(answer.media[1].bNack && answer.media[1].bPli && answer.media[1].bFir);
    EXPECT_FALSE(answer.media[0].bNack);
    ASSERT_TRUE(Answer(Offer("111", "96 106", ""), Parameters(rtc::EMediaCodec::H264, rtc::EMediaCodec::Opus), &answer,
                       &reason));
    EXPECT_FALSE(answer.media[1].bNack);
    EXPECT_FALSE(answer.media[1].bPli) << "106 has no feedback";
    EXPECT_NE(std::string::npos, answer.text.find("profile-level-id=42e01f"));
}

TEST(RtcSdpAnswer, RejectsWhatItCannotServeWithAReason)
{
    struct CCase
    {
        const char* pszName;
        std::string offer;
        rtc::EMediaCodec video;
        rtc::EMediaCodec audio;
        const char* pszVideoRejection; // "" when accepted
        const char* pszAudioRejection;
    };
    const CCase rgCases[] = {
        {"no H264 in mode 1", Offer("111", "96 104 108", ""), rtc::EMediaCodec::H264, rtc::EMediaCodec::Opus,
         "the client offered no H264", ""},
        {"no VP8", Offer("111", "102", ""), rtc::EMediaCodec::VP8, rtc::EMediaCodec::Opus, "the client offered no VP8",
         ""},
        {"no PCMA", Offer("111 0", "96", ""), rtc::EMediaCodec::VP8, rtc::EMediaCodec::PCMA, "",
         "the client offered no PCMA"},
        {"no audio branch", Offer("111", "96", ""), rtc::EMediaCodec::VP8, rtc::EMediaCodec::None, "",
         "the graph has no audio"},
    };
    for (const CCase& c : rgCases)
    {
        SCOPED_TRACE(c.pszName);
        rtc::SdpAnswer answer;
        std::string reason;
        ASSERT_TRUE(Answer(c.offer, Parameters(c.video, c.audio), &answer, &reason)) << reason;
        EXPECT_EQ(0u, answer.media[1].rejection.find(c.pszVideoRejection)) << answer.media[1].rejection;
        EXPECT_EQ(0u, answer.media[0].rejection.find(c.pszAudioRejection)) << answer.media[0].rejection;
        EXPECT_EQ(*c.pszVideoRejection != '\0', answer.media[1].codec == rtc::EMediaCodec::None);
        rtc::SdpSession read;
        ASSERT_TRUE(rtc::ParseSdp(answer.text.data(), answer.text.size(), &read, &reason)) << reason;
        const rtc::SdpMedia& rejected = read.media[*c.pszVideoRejection != '\0' ? 1 : 0];
        EXPECT_EQ(0, rejected.nPort);
        EXPECT_EQ(1u, read.bundle.size()) << "a rejected section leaves the bundle";
    }

    // A branch the graph cannot send is rejected with the graph's reason.
    {
        rtc::AnswerParameters parameters = Parameters(rtc::EMediaCodec::VP8, rtc::EMediaCodec::None);
        parameters.audioAbsence = "PCMU goes as 8000 Hz mono, not 22050 Hz with 2 channels";
        rtc::SdpAnswer answer;
        std::string reason;
        ASSERT_TRUE(Answer(Offer("111 0", "96", ""), parameters, &answer, &reason)) << reason;
        EXPECT_EQ(parameters.audioAbsence, answer.media[0].rejection);
    }

    // Nothing to send at all is a refusal of the offer.
    rtc::SdpAnswer answer;
    std::string reason;
    EXPECT_FALSE(Answer(Offer("9", "100", ""), Parameters(rtc::EMediaCodec::VP8, rtc::EMediaCodec::Opus), &answer,
                        &reason));
    EXPECT_EQ(0u, reason.find("nothing to send: audio: the client offered no opus; video: the client offered no VP8"))
        << reason;
}

TEST(RtcSdpAnswer, APassiveOfferMakesUsTheDtlsClient)
{
    std::string offer = Offer("111", "96", "");
    offer.replace(offer.find("a=setup:actpass"), 15, "a=setup:passive");
    rtc::SdpAnswer answer;
    std::string reason;
    ASSERT_TRUE(Answer(offer, Parameters(rtc::EMediaCodec::VP8, rtc::EMediaCodec::Opus), &answer, &reason));
    EXPECT_TRUE(answer.bDtlsClient);
    EXPECT_NE(std::string::npos, answer.text.find("a=setup:active\r\n"));
}

} // namespace
