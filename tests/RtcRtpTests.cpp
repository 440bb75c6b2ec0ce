// RTP's fixed header and the packetizers: what each payload holds, where
// the marker goes, that the payloads put together give the frame back, and
// what cannot be sent within the budget.
#include <gtest/gtest.h>

#include "rtc/RtpPacketizer.h"

#include <vector>

namespace {

struct CPayload
{
    std::vector<uint8_t> prefix;
    std::vector<uint8_t> data;
    bool bLast;
};

class CRecordingSink : public rtc::IRtpPayloadSink
{
public:
    bool Payload(const uint8_t* pbPrefix, size_t cbPrefix, const uint8_t* pb, size_t cb, bool bLast) override
    {
        payloads.push_back({std::vector<uint8_t>(pbPrefix, pbPrefix + cbPrefix), std::vector<uint8_t>(pb, pb + cb),
                            bLast});
        return payloads.size() < nStopAfter;
    }

    std::vector<CPayload> payloads;
    size_t nStopAfter = 1000;
};

std::vector<uint8_t> Bytes(size_t cb, uint8_t bFirst)
{
    std::vector<uint8_t> v(cb);
    for (size_t i = 0; i < cb; i++)
        v[i] = static_cast<uint8_t>(i == 0 ? bFirst : (i * 7 + 3) | 1); // no zero bytes: no false start codes
    return v;
}

TEST(RtpTest, HeaderRoundTripsAndReadsContributorsAndExtension)
{
    rtc::RtpHeader header;
    header.nPayloadType = 96;
    header.bMarker = true;
    header.nSequence = 0xBEEF;
    header.nTimestamp = 0x01020304;
    header.nSsrc = 0xCAFEF00D;
    uint8_t rgb[40] = {};
    rtc::WriteRtpHeader(header, rgb);
    EXPECT_EQ(0x80, rgb[0]);
    EXPECT_EQ(0x80 | 96, rgb[1]);
    rtc::RtpHeader read;
    size_t cbHeader = 0;
    ASSERT_TRUE(rtc::ReadRtpHeader(rgb, 12, &read, &cbHeader));
    EXPECT_EQ(12u, cbHeader);
    EXPECT_EQ(96, read.nPayloadType);
    EXPECT_TRUE(read.bMarker);
    EXPECT_EQ(0xBEEF, read.nSequence);
    EXPECT_EQ(0x01020304u, read.nTimestamp);
    EXPECT_EQ(0xCAFEF00Du, read.nSsrc);

    // Two contributing sources and a one-word extension: 12 + 8 + 4 + 4.
    rgb[0] = 0x80 | 0x10 | 2;
    rgb[20 + 3] = 1;
    ASSERT_TRUE(rtc::ReadRtpHeader(rgb, 28, &read, &cbHeader));
    EXPECT_EQ(28u, cbHeader);
    EXPECT_FALSE(rtc::ReadRtpHeader(rgb, 27, &read, &cbHeader)) << "extension past the end";
    rgb[0] = 0x40;
    EXPECT_FALSE(rtc::ReadRtpHeader(rgb, 28, &read, &cbHeader)) << "version 1";
    EXPECT_FALSE(rtc::ReadRtpHeader(rgb, 11, &read, &cbHeader)) << "shorter than a header";
}

// RFC 7741: a one-byte descriptor, S on the first payload only.
TEST(RtpTest, Vp8FrameIsCutWithItsDescriptor)
{
    const std::vector<uint8_t> frame = Bytes(3000, 0x10);
    CRecordingSink sink;
    ASSERT_TRUE(rtc::PacketizeFrame(rtc::ERtpCodec::VP8, frame.data(), frame.size(), 1200, sink));
    ASSERT_EQ(3u, sink.payloads.size());
    std::vector<uint8_t> joined;
    for (size_t i = 0; i < sink.payloads.size(); i++)
    {
        const CPayload& p = sink.payloads[i];
        EXPECT_EQ(std::vector<uint8_t>({static_cast<uint8_t>(i == 0 ? 0x10 : 0x00)}), p.prefix) << i;
        EXPECT_LE(p.prefix.size() + p.data.size(), 1200u);
        EXPECT_EQ(i == 2, p.bLast);
        joined.insert(joined.end(), p.data.begin(), p.data.end());
    }
    EXPECT_EQ(frame, joined);
}

// RFC 6184, mode 1: small units alone, a large one in FU-A fragments whose
// header carries the unit's type with S and E; start codes of three or four
// bytes; the marker on the frame's last payload.
TEST(RtpTest, H264UnitsGoAloneOrInFragments)
{
    const std::vector<uint8_t> sps = Bytes(10, 0x67), pps = Bytes(4, 0x68), idr = Bytes(3000, 0x65);
    std::vector<uint8_t> frame = {0, 0, 0, 1};
    frame.insert(frame.end(), sps.begin(), sps.end());
    frame.insert(frame.end(), {0, 0, 0, 1});
    frame.insert(frame.end(), pps.begin(), pps.end());
    frame.insert(frame.end(), {0, 0, 1});
    frame.insert(frame.end(), idr.begin(), idr.end());
    CRecordingSink sink;
    ASSERT_TRUE(rtc::PacketizeFrame(rtc::ERtpCodec::H264, frame.data(), frame.size(), 1200, sink));
    ASSERT_EQ(5u, sink.payloads.size());
    EXPECT_TRUE(sink.payloads[0].prefix.empty());
    EXPECT_EQ(sps, sink.payloads[0].data);
    EXPECT_EQ(pps, sink.payloads[1].data);
    std::vector<uint8_t> joined = {0x65};
    const uint8_t rgbHeaders[] = {0x85, 0x05, 0x45};
    for (size_t i = 2; i < 5; i++)
    {
        const CPayload& p = sink.payloads[i];
        EXPECT_EQ(std::vector<uint8_t>({0x7C, rgbHeaders[i - 2]}), p.prefix) << i;
        EXPECT_LE(p.prefix.size() + p.data.size(), 1200u);
        joined.insert(joined.end(), p.data.begin(), p.data.end());
    }
    EXPECT_EQ(idr, joined);
    for (size_t i = 0; i < 5; i++)
        EXPECT_EQ(i == 4, sink.payloads[i].bLast) << i;
}

TEST(RtpTest, WhatCannotBeSentIsRefused)
{
    const std::vector<uint8_t> noStartCode = Bytes(100, 0x65);
    const std::vector<uint8_t> opus = Bytes(300, 0xFC);
    CRecordingSink sink;
    EXPECT_FALSE(rtc::PacketizeFrame(rtc::ERtpCodec::VP8, opus.data(), 0, 1200, sink)) << "empty";
    EXPECT_FALSE(rtc::PacketizeFrame(rtc::ERtpCodec::H264, noStartCode.data(), noStartCode.size(), 1200, sink));
    EXPECT_FALSE(rtc::PacketizeFrame(rtc::ERtpCodec::Whole, opus.data(), opus.size(), 200, sink)) << "too large";
    EXPECT_FALSE(rtc::PacketizeFrame(rtc::ERtpCodec::VP8, opus.data(), opus.size(), 1, sink)) << "no room";
    EXPECT_TRUE(sink.payloads.empty());
    ASSERT_TRUE(rtc::PacketizeFrame(rtc::ERtpCodec::Whole, opus.data(), opus.size(), 1200, sink));
    ASSERT_EQ(1u, sink.payloads.size());
    EXPECT_TRUE(sink.payloads[0].bLast);

    // A sink that stops ends the frame.
    CRecordingSink stopping;
    stopping.nStopAfter = 1;
    const std::vector<uint8_t> frame = Bytes(3000, 0x10);
    EXPECT_FALSE(rtc::PacketizeFrame(rtc::ERtpCodec::VP8, frame.data(), frame.size(), 1200, stopping));
    EXPECT_EQ(1u, stopping.payloads.size());
}

} // namespace
