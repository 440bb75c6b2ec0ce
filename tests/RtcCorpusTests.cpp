// The kept fuzzing corpora of the WebRTC readers (rtc/fuzz/corpus-*)
// replayed in the ordinary test run, with the fuzz targets' checks: each
// input is read or refused whole with a reason, and the seeds (what a
// browser or a TURN server sends) read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtc/IceAgent.h"
#include "rtc/Rtcp.h"
#include "rtc/Sdp.h"
#include "rtc/Stun.h"
#include "rtc/fuzz/GatherFuzzCase.h"
#include "rtc/fuzz/StunSeeds.h"
#include "rtc/fuzz/TurnFuzzCase.h"
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

// Every input read whole or refused with a reason, then handed to a
// session's agent: what it answers checks with its password, what it drops
// it says nothing to. The browser's check among the seeds is for that
// session and selects its source.
TEST(RtcCorpus, EveryStunInputIsReadOrRefusedAndTheAgentAnswersOnlyValidChecks)
{
    using namespace rtc::stunseeds;
    const std::vector<std::wstring> files = CorpusFiles(RTC_CORPUS_DIR "/corpus-stun");
    ASSERT_FALSE(files.empty());
    const uint8_t rgbFrom[4] = {192, 168, 1, 20};
    const rtc::NetAddress from = rtc::NetAddress::V4(rgbFrom, 50123);
    size_t cSelected = 0;
    for (const std::wstring& file : files)
    {
        SCOPED_TRACE(testing::Message() << file);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFileBytes(file, &bytes));
        rtc::StunMessage message;
        const char* pszReason = nullptr;
        const bool bParsed = rtc::ParseStun(bytes.data(), bytes.size(), &message, &pszReason);
        ASSERT_NE(nullptr, pszReason);
        EXPECT_EQ(bParsed, *pszReason == '\0') << pszReason;
        if (!bParsed)
        {
            EXPECT_EQ(0u, message.cAttributes);
        }
        if (IsSeed(file))
        {
            EXPECT_TRUE(bParsed) << pszReason;
            EXPECT_TRUE(rtc::CheckFingerprint(message));
        }

        rtc::IceAgent agent(c_szLocalUfrag, c_szLocalPwd, c_szRemoteUfrag, c_szRemotePwd);
        uint8_t rgbOut[rtc::c_cbIceMessageMax];
        size_t cbOut = 0;
        const rtc::IceResult result =
            agent.Receive(bytes.data(), bytes.size(), from, 0, rgbOut, sizeof(rgbOut), &cbOut);
        EXPECT_EQ(result == rtc::IceResult::Dropped, cbOut == 0);
        if (cbOut != 0)
        {
            rtc::StunMessage answer;
            ASSERT_TRUE(rtc::ParseStun(rgbOut, cbOut, &answer, &pszReason)) << pszReason;
            EXPECT_TRUE(rtc::CheckMessageIntegrity(answer, reinterpret_cast<const uint8_t*>(c_szLocalPwd),
                                                   sizeof(c_szLocalPwd) - 1));
            EXPECT_TRUE(rtc::CheckFingerprint(answer));
        }
        if (IsSeed(file) && result == rtc::IceResult::Selected)
            cSelected++;
    }
    EXPECT_EQ(1u, cSelected);
}

// Each input as the server's answer to the TURN and binding clients in
// each of their states, with the fuzz target's checks.
TEST(RtcCorpus, EveryTurnInputLeavesTheClientsSound)
{
    const std::vector<std::wstring> files = CorpusFiles(RTC_CORPUS_DIR "/corpus-turn");
    ASSERT_FALSE(files.empty());
    for (const std::wstring& file : files)
    {
        SCOPED_TRACE(testing::Message() << file);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFileBytes(file, &bytes));
        const char* pszFailed = rtc::CheckTurnInput(bytes.data(), bytes.size());
        EXPECT_EQ(nullptr, pszFailed) << pszFailed;
    }
}

// Each input as a script of what the owner and the servers do to one
// session's gatherer, with the fuzz target's checks.
TEST(RtcCorpus, EveryGatherScriptLeavesTheGathererSound)
{
    const std::vector<std::wstring> files = CorpusFiles(RTC_CORPUS_DIR "/corpus-gather");
    ASSERT_FALSE(files.empty());
    for (const std::wstring& file : files)
    {
        SCOPED_TRACE(testing::Message() << file);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFileBytes(file, &bytes));
        const char* pszFailed = rtc::CheckGatherInput(bytes.data(), bytes.size());
        EXPECT_EQ(nullptr, pszFailed) << pszFailed;
    }
}

} // namespace
