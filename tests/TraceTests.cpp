// Trace lines: threshold, category mask, category names and the line form.
#include <gtest/gtest.h>

#include "atlbase.h"
#include "tests/support/ReportCapture.h"

namespace {

class TraceTest : public testing::Test
{
protected:
    void SetUp() override { m_saved = g_AtlTraceSettings; }
    void TearDown() override { g_AtlTraceSettings = m_saved; }
    CTraceSettings m_saved;
};

} // namespace

TEST_F(TraceTest, InitialStateWritesOnlyLevelZero)
{
    EXPECT_EQ(0u, g_AtlTraceSettings.m_nLevel);
    EXPECT_EQ(0xFFFFFFFFu, g_AtlTraceSettings.m_dwCategoryMask);

    CReportCapture capture;
    ATLTRACE2(atlTraceGeneral, 0, L"zero %d\n", 0);
    ATLTRACE2(atlTraceGeneral, 2, L"###Err### CGraphEdit::FindMainWindow(): GraphEdit window not found\n");
    ASSERT_EQ(1u, capture.Traces().size());
    EXPECT_EQ(L"atlTraceGeneral - zero 0\n", capture.Traces()[0]);
}

TEST_F(TraceTest, ThresholdDecidesWhichLevelsAreWritten)
{
    struct Case
    {
        UINT32 nThreshold;
        UINT nLevel;
        bool bWritten;
    } cases[] = {
        {0, 0, true},  {0, 2, false},  {2, 2, true},  {2, 10, false},
        {10, 10, true}, {10, 2, true}, {0xFFFFFFFF, 0, false}, {0xFFFFFFFE, 10, true},
    };
    for (const Case& c : cases)
    {
        g_AtlTraceSettings.m_nLevel = c.nThreshold;
        CReportCapture capture;
        ATLTRACE2(atlTraceGeneral, c.nLevel, L"x\n");
        EXPECT_EQ(c.bWritten ? 1u : 0u, capture.Traces().size())
            << "threshold " << c.nThreshold << " level " << c.nLevel;
    }
}

TEST_F(TraceTest, CategoryMaskAndNames)
{
    g_AtlTraceSettings.m_nLevel = 2;
    {
        g_AtlTraceSettings.m_dwCategoryMask = atlTraceException;
        CReportCapture capture;
        ATLTRACE2(atlTraceGeneral, 0, L"general\n");
        ATLTRACE2(atlTraceException, 0, L"AtlThrow: hr = 0x%x\n", 0x8007000E);
        ASSERT_EQ(1u, capture.Traces().size());
        EXPECT_EQ(L"atlTraceException - AtlThrow: hr = 0x8007000e\n", capture.Traces()[0]);
    }
    {
        g_AtlTraceSettings.m_dwCategoryMask = 0xFFFFFFFF;
        CReportCapture capture;
        // A category without a name is printed as its value in decimal.
        ATLTRACE2(0x40, 1, L"###Err### GetHostAddr(): gethostbyname(%hs)=0x%X\n", "host", 0x80072AF9);
        ASSERT_EQ(1u, capture.Traces().size());
        EXPECT_EQ(L"64 - ###Err### GetHostAddr(): gethostbyname(host)=0x80072AF9\n", capture.Traces()[0]);
    }
}

TEST_F(TraceTest, LongMessageIsWrittenWhole)
{
    CReportCapture capture;
    std::wstring longText(5000, L'a');
    ATLTRACE2(atlTraceGeneral, 0, L"%ls\n", longText.c_str());
    ASSERT_EQ(1u, capture.Traces().size());
    EXPECT_EQ(L"atlTraceGeneral - " + longText + L"\n", capture.Traces()[0]);
}

TEST_F(TraceTest, AtlThrowTracesAndThrowsTheCode)
{
    CReportCapture capture;
    HRESULT hrCaught = S_OK;
    try
    {
        AtlThrow(E_OUTOFMEMORY);
    }
    catch (const CAtlException& e)
    {
        hrCaught = e;
    }
    EXPECT_EQ(E_OUTOFMEMORY, hrCaught);
    ASSERT_EQ(1u, capture.Traces().size());
    EXPECT_EQ(L"atlTraceException - AtlThrow: hr = 0x8007000e\n", capture.Traces()[0]);
}

TEST_F(TraceTest, AssertionReportsTheConditionAndGoesOn)
{
    CReportCapture capture;
    void* pllDuration = nullptr;
    bool bWentOn = false;
    ATLASSERT(pllDuration != 0);
    ATLASSERT(!L"CGraph::SetURL(): m_spServer->SetUrl() FAILED");
    ATLASSERT(1 + 1 == 2);
    bWentOn = true;
    EXPECT_TRUE(bWentOn);
    ASSERT_EQ(2u, capture.Asserts().size());
    EXPECT_EQ(L"pllDuration != 0", capture.Asserts()[0]);
    EXPECT_EQ(L"!L\"CGraph::SetURL(): m_spServer->SetUrl() FAILED\"", capture.Asserts()[1]);
}
