// The RTP sender of one stream: sequence numbers, marker and timestamps from
// the start times, every datagram within the budget after protection, and
// NACKed packets sent again byte for byte while they are kept.
#include <gtest/gtest.h>

#include <vector>

#include "rtc/RtpSender.h"

namespace {

// Protection as SRTP with HMAC-SHA1-80 changes the size: a 10-byte tag.
class CRecordingOut : public rtc::IRtpPacketOut
{
public:
    bool Protect(uint8_t* pb, size_t cb, size_t cbCapacity, size_t* pcbProtected) override
    {
        if (cb + 10 > cbCapacity)
            return false;
        for (size_t i = 0; i < 10; ++i)
            pb[cb + i] = static_cast<uint8_t>(0xA0 + i);
        *pcbProtected = cb + 10;
        return true;
    }
    void Send(const uint8_t* pb, size_t cb) override { sent.emplace_back(pb, pb + cb); }

    std::vector<std::vector<uint8_t>> sent;
};

rtc::RtpHeader Header(const std::vector<uint8_t>& packet)
{
    rtc::RtpHeader header;
    size_t cbHeader = 0;
    EXPECT_TRUE(rtc::ReadRtpHeader(packet.data(), packet.size(), &header, &cbHeader));
    return header;
}

TEST(RtcRtpSender, CutsAFrameIntoMarkedPacketsWithinTheBudget)
{
    rtc::RtpSender sender(0x11223344, 96, 90000, rtc::ERtpCodec::VP8, 64, 1000, 65534);
    CRecordingOut out;
    std::vector<uint8_t> frame(5000, 0x5A);
    // 40 ms after the start: 3600 ticks of 90 kHz past the base.
    ASSERT_TRUE(sender.SendFrame(frame.data(), frame.size(), sender.TimestampOf(400000), 0, out));
    ASSERT_EQ(5u, out.sent.size());
    for (size_t i = 0; i < out.sent.size(); ++i)
    {
        rtc::RtpHeader header = Header(out.sent[i]);
        EXPECT_LE(out.sent[i].size(), rtc::c_cbMaxDatagram);
        EXPECT_EQ(static_cast<uint16_t>(65534 + i), header.nSequence) << "wraps";
        EXPECT_EQ(4600u, header.nTimestamp);
        EXPECT_EQ(i + 1 == out.sent.size(), header.bMarker);
        EXPECT_EQ(0x11223344u, header.nSsrc);
        EXPECT_EQ(96, header.nPayloadType);
    }
    EXPECT_EQ(5u, sender.Counts().nPackets);
    EXPECT_EQ(5000u + 5, sender.Counts().nOctets) << "the frame and one descriptor byte a packet";

    uint32_t nTimestamp = 0;
    ASSERT_TRUE(sender.TimestampAt(500, &nTimestamp));
    EXPECT_EQ(4600u + 45000, nTimestamp) << "half a second on";
}

TEST(RtcRtpSender, AnswersANackFromItsHistoryWhileThePacketIsKept)
{
    rtc::RtpSender sender(1, 96, 90000, rtc::ERtpCodec::VP8, 4, 0, 100);
    CRecordingOut out;
    std::vector<uint8_t> frame(100, 1);
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(sender.SendFrame(frame.data(), frame.size(), sender.TimestampOf(i * 333333), 0, out));
    ASSERT_EQ(6u, out.sent.size());
    ASSERT_TRUE(sender.Resend(104, out));
    EXPECT_EQ(out.sent[4], out.sent.back()) << "the protected bytes again, not protected twice";
    EXPECT_FALSE(sender.Resend(101, out)) << "pushed out of a history of four";
    EXPECT_FALSE(sender.Resend(106, out)) << "never sent";
    EXPECT_EQ(1u, sender.Counts().nResent);

    rtc::RtpSender audio(2, 111, 48000, rtc::ERtpCodec::Whole, 0, 0, 0);
    ASSERT_TRUE(audio.SendFrame(frame.data(), frame.size(), 0, 0, out));
    EXPECT_FALSE(audio.Resend(0, out)) << "audio keeps nothing";
}

TEST(RtcRtpSender, RefusesAnAudioFrameLargerThanAPacket)
{
    rtc::RtpSender audio(2, 111, 48000, rtc::ERtpCodec::Whole, 0, 0, 0);
    CRecordingOut out;
    std::vector<uint8_t> frame(rtc::c_cbMaxRtpPacket, 1);
    EXPECT_FALSE(audio.SendFrame(frame.data(), frame.size(), 0, 0, out));
    EXPECT_TRUE(out.sent.empty());
}

} // namespace
