// The kept fuzzing corpora of the WebRTC readers (rtc/fuzz/corpus-*)
// replayed in the ordinary test run, with the fuzz targets' checks: each
// input is read or refused whole with a reason, and the seeds (what a
// browser sends) read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtc/Rtcp.h"
#include "rtc/Sdp.h"
#include "tests/support/CorpusFiles.h"

namespace {

bool IsSeed(const std::wstring& file)
{
    return file.find(L"\\seed-") != std::wstring::npos;
}

TEST(RtcCorpus, EverySdpInputReadsOrIsRefusedWithAReason)
{
    const std::vector<std::wstring> files = CorpusFiles(RTC_CORPUS_DIR "/corpus-sdp");
    ASSERT_FALSE(files.empty());
    for (const std::wstring& file : files)
    {
        SCOPED_TRACE(testing::Message() << file);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFileBytes(file, &bytes));
        rtc::SdpSession session;
        std::string reason;
        if (!rtc::ParseSdp(reinterpret_cast<const char*>(bytes.data()), bytes.size(), &session, &reason))
        {
            EXPECT_FALSE(IsSeed(file)) << reason;
            EXPECT_FALSE(reason.empty());
            EXPECT_TRUE(session.media.empty());
            continue;
        }
        EXPECT_LE(session.media.size(), rtc::SdpLimits::c_cMedia);
        if (IsSeed(file))
        {
            EXPECT_TRUE(rtc::CheckWebRtcOffer(session, &reason)) << reason;
        }
    }
}

class CCountingHandler : public rtc::IRtcpHandler
{
public:
    void OnReportBlock(uint32_t, const rtc::RtcpReportBlock&) override { ++cEvents; }
    void OnPictureLoss(uint32_t) override { ++cEvents; }
    void OnFullIntraRequest(uint32_t) override { ++cEvents; }
    void OnNack(uint32_t, uint16_t) override { ++cEvents; }

    size_t cEvents = 0;
};

TEST(RtcCorpus, EveryRtcpInputIsHandedOnOrRefusedWhole)
{
    const std::vector<std::wstring> files = CorpusFiles(RTC_CORPUS_DIR "/corpus-rtcp");
    ASSERT_FALSE(files.empty());
    for (const std::wstring& file : files)
    {
        SCOPED_TRACE(testing::Message() << file);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFileBytes(file, &bytes));
        CCountingHandler handler;
        const char* pszReason = nullptr;
        bool bParsed = rtc::ParseRtcp(bytes.data(), bytes.size(), handler, &pszReason);
        ASSERT_NE(nullptr, pszReason);
        EXPECT_EQ(bParsed, *pszReason == '\0') << pszReason;
        if (!bParsed)
        {
            EXPECT_EQ(0u, handler.cEvents);
        }
        if (IsSeed(file))
        {
            EXPECT_TRUE(bParsed) << pszReason;
            EXPECT_GT(handler.cEvents, 0u);
        }
    }
}

} // namespace
