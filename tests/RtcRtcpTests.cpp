// The RTCP reader on a compound packet as a browser sends it (a receiver
// report, then feedback), malformed packets refused whole, and the sender
// report read back.
#include <gtest/gtest.h>

#include "rtc/Rtcp.h"

#include <string>
#include <vector>

namespace {

class CRecordingHandler : public rtc::IRtcpHandler
{
public:
    void OnReportBlock(uint32_t nReporter, const rtc::RtcpReportBlock& block) override
    {
        events.push_back("report " + std::to_string(nReporter) + " on " + std::to_string(block.nSsrc) + " lost " +
                         std::to_string(block.nFractionLost) + "/" + std::to_string(block.nCumulativeLost) +
                         " jitter " + std::to_string(block.nJitter) + " dlsr " +
                         std::to_string(block.nDelaySinceLastSenderReport));
    }
    void OnPictureLoss(uint32_t nMediaSsrc) override { events.push_back("pli " + std::to_string(nMediaSsrc)); }
    void OnFullIntraRequest(uint32_t nMediaSsrc) override { events.push_back("fir " + std::to_string(nMediaSsrc)); }
    void OnNack(uint32_t nMediaSsrc, uint16_t nSequence) override
    {
        events.push_back("nack " + std::to_string(nMediaSsrc) + " " + std::to_string(nSequence));
    }

    std::vector<std::string> events;
};

// A receiver report with one block (fraction 64, cumulative -2, jitter 90,
// DLSR 65536), a PLI, a NACK of 100 with 101 and 103, a FIR and an SDES.
const std::vector<uint8_t> c_rgbCompound = {
    0x81, 201, 0, 7,  0, 0, 0, 9,                  // RR, one block, reporter 9
    0, 0, 0, 5,       64, 0xFF, 0xFF, 0xFE,        // on SSRC 5: 64/256, -2
    0, 0, 0x10, 0x00, 0, 0, 0, 90,                 // highest 4096, jitter 90
    0, 0, 0, 0,       0, 1, 0, 0,                  // LSR 0, DLSR 1 s
    0x81, 206, 0, 2,  0, 0, 0, 9, 0, 0, 0, 5,      // PLI on 5
    0x81, 205, 0, 3,  0, 0, 0, 9, 0, 0, 0, 5,      // NACK on 5
    0, 100, 0, 0x05,                               // 100, and 101, 103
    0x84, 206, 0, 4,  0, 0, 0, 9, 0, 0, 0, 0,      // FIR
    0, 0, 0, 5,       7, 0, 0, 0,                  // on 5, sequence 7
    0x81, 202, 0, 2,  0, 0, 0, 9, 0, 0, 0, 0,      // SDES, an empty chunk
};

TEST(RtcpTest, CompoundPacketIsHandedOnInOrder)
{
    CRecordingHandler handler;
    const char* pszReason = nullptr;
    ASSERT_TRUE(rtc::ParseRtcp(c_rgbCompound.data(), c_rgbCompound.size(), handler, &pszReason)) << pszReason;
    EXPECT_EQ(std::vector<std::string>({"report 9 on 5 lost 64/-2 jitter 90 dlsr 65536", "pli 5", "nack 5 100",
                                        "nack 5 101", "nack 5 103", "fir 5"}),
              handler.events);
}

// A fault anywhere refuses the whole compound packet: nothing before it
// is handed on either.
TEST(RtcpTest, MalformedPacketsAreRefusedWhole)
{
    auto edited = [](size_t i, uint8_t b) {
        std::vector<uint8_t> v = c_rgbCompound;
        v[i] = b;
        return v;
    };
    auto cut = [](size_t cb) { return std::vector<uint8_t>(c_rgbCompound.begin(), c_rgbCompound.begin() + cb); };
    std::vector<uint8_t> trailing = c_rgbCompound;
    trailing.insert(trailing.end(), {0x80, 201});
    // The NACK with two bytes of padding: half an entry is left.
    std::vector<uint8_t> padded = edited(44, 0xA1);
    padded[59] = 2;
    const struct
    {
        const char* pszName;
        std::vector<uint8_t> bytes;
        const char* pszReason;
    } rgCases[] = {
        {"empty", {}, "shorter than an RTCP header"},
        {"version 1", edited(0, 0x41), "not RTP version 2"},
        {"a later packet of version 0", edited(32, 0x01), "not RTP version 2"},
        {"a length past the datagram", cut(c_rgbCompound.size() - 4), "a packet longer than the datagram"},
        {"two blocks in one block's room", edited(0, 0x82), "a report shorter than its report blocks"},
        {"a NACK of half an entry", padded, "a NACK without whole entries"},
        {"a NACK without entries", edited(47, 2), "a NACK without whole entries"},
        {"a FIR of half an entry", edited(63, 3), "a FIR without whole entries"},
        {"padding past the packet", edited(0, 0xA1), "padding larger than the packet"},
        {"bytes after the last packet", trailing, "bytes after the last packet"},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        CRecordingHandler handler;
        const char* pszReason = nullptr;
        EXPECT_FALSE(rtc::ParseRtcp(test.bytes.data(), test.bytes.size(), handler, &pszReason));
        EXPECT_STREQ(test.pszReason, pszReason);
        EXPECT_TRUE(handler.events.empty());
    }
}

TEST(RtcpTest, SenderReportReadsBack)
{
    rtc::RtcpSenderInfo info = {0x11223344, 0xE5000000'80000000ull, 90000, 1500, 1200000};
    uint8_t rgb[rtc::c_cbSenderReport];
    rtc::WriteSenderReport(info, rgb);
    EXPECT_EQ(std::vector<uint8_t>({0x80, 200, 0, 6, 0x11, 0x22, 0x33, 0x44, 0xE5, 0, 0, 0, 0x80, 0, 0, 0}),
              std::vector<uint8_t>(rgb, rgb + 16));
    CRecordingHandler handler;
    const char* pszReason = nullptr;
    EXPECT_TRUE(rtc::ParseRtcp(rgb, sizeof(rgb), handler, &pszReason)) << pszReason;
    EXPECT_TRUE(handler.events.empty());
}

} // namespace
