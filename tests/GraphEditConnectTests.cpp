// Driving the editor's connect dialog: which list item names our graph, and
// picking it within the attempts.
#include "GraphEditFixture.h"

#include "tests/support/ReportCapture.h"

#include <cwchar>

namespace {

std::wstring Hex(ULONGLONG n, const wchar_t* pszFormat = L"%llx")
{
    wchar_t sz[32];
    swprintf(sz, ARRAYSIZE(sz), pszFormat, n);
    return sz;
}

using GraphEditConnectTest = CGraphEditTest;

} // namespace

TEST(GraphItemTest, MatchesThisProcessAndTheGraphsNumber)
{
    // The low half has its top bit set: read at 32 bits it would saturate.
    IUnknown* pGraph = reinterpret_cast<IUnknown*>(static_cast<ULONG_PTR>(0x2a58012ab34ull));
    const std::wstring pid = Hex(::GetCurrentProcessId());
    const std::wstring otherPid = Hex(::GetCurrentProcessId() + 4);
    struct Case
    {
        std::wstring item;
        bool bMatch;
    } cases[] = {
        {L"CorvastaTest.exe pid " + pid + L" IFilterGraph = 8012ab34", true},
        {L"CorvastaTest.exe pid 0x" + pid + L" IFilterGraph = 0x8012ab34", true},
        {L"pid " + pid + L" IFilterGraph = 8012AB34", true},
        {L"x pid  " + pid + L" and more IFilterGraph = 8012ab34", true},
        {L"x pid " + pid + L" IFilterGraph = 2a58012ab34", true}, // the whole address
        {L"x pid " + pid + L" IFilterGraph = 1a58012ab34", false},
        {L"x pid " + pid + L" IFilterGraph = 0012ab34", false},
        {L"x pid " + pid + L" IFilterGraph = 8012ab34x", false},
        {L"x pid " + pid + L" IFilterGraph = 8012ab34 ", false},
        {L"x pid " + pid + L" IFilterGraph = ", false},
        {L"x pid " + pid + L" IFilterGraph =8012ab34", false},
        {L"x pid " + pid + L"IFilterGraph = 8012ab34", false},
        {L"x pid " + pid + L"0 IFilterGraph = 8012ab34", false},
        {L"x pid " + otherPid + L" IFilterGraph = 8012ab34", false},
        {L"x PID " + pid + L" IFilterGraph = 8012ab34", false},
        {L"x pid -" + pid + L" IFilterGraph = 8012ab34", false},
        {L"x pid IFilterGraph = 8012ab34", false},
        {L"x IFilterGraph = 8012ab34 pid " + pid + L" ", false},
        // The first "pid " decides.
        {L"rapid 1 pid " + pid + L" IFilterGraph = 8012ab34", false},
        {L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bMatch, CGraphEditInspector::IsGraphItem(c.item.c_str(), pGraph)) << c.item.c_str();

    CReportCapture capture;
    EXPECT_FALSE(CGraphEditInspector::IsGraphItem(nullptr, pGraph));
    EXPECT_TRUE(capture.HasAssert(L"pszCookieName != 0"));
}

TEST_F(GraphEditConnectTest, PicksTheGraphInTheDialogTheCommandOpens)
{
    const std::wstring other = GraphItem(::GetCurrentProcessId() + 4, m_spGraph.p);
    SetPart(L"items=" + other + L"|" + MyGraphItem());
    ASSERT_EQ(S_OK, m_graphEdit.ShowGraph(m_spGraph));
    HWND hWndList = CGraphEditInspector::ListBox(m_graphEdit);
    ASSERT_NE(nullptr, hWndList);
    EXPECT_EQ(CGraphEditInspector::MainWindow(m_graphEdit), ::GetWindow(::GetParent(hWndList), GW_OWNER));
    m_graphEdit.Close();

    CFakeEditRecord record = Record();
    ASSERT_TRUE(record.bWritten);
    EXPECT_EQ(0x18034u, record.nCommand);
    EXPECT_EQ(1, record.nSelected);
    EXPECT_TRUE(record.bOk);
}

TEST_F(GraphEditConnectTest, TheFirstMatchingItemAndLongItemsWhole)
{
    const std::wstring mine = MyGraphItem();
    const std::wstring longName(300, L'n');
    struct Case
    {
        std::wstring items;
        int nSelected;
    } cases[] = {
        {mine + L"|" + mine, 0},
        {L"x|" + longName + L" " + GraphItem(::GetCurrentProcessId() + 4, m_spGraph.p) + L"|" + longName + L" " +
             mine,
         2},
    };
    for (const Case& c : cases)
    {
        SetPart(L"items=" + c.items);
        ASSERT_EQ(S_OK, m_graphEdit.ShowGraph(m_spGraph));
        m_graphEdit.Close();
        CFakeEditRecord record = Record();
        EXPECT_TRUE(record.bOk);
        EXPECT_EQ(c.nSelected, record.nSelected);
    }
}

TEST_F(GraphEditConnectTest, NineLooksAtTheList)
{
    // The dialog is open from the start, so that every attempt reaches the
    // list; the graph's item shows up at the n-th look.
    const std::wstring start = L"dialog=start;items=" + GraphItem(::GetCurrentProcessId() + 4, m_spGraph.p);
    struct Case
    {
        int nAt;
        int nCounts;
        bool bOk;
    } cases[] = {
        {1, 1, true},
        {4, 4, true},
        {9, 9, true},
        {10, 9, false}, // too late: the dialog stays open, still S_OK
    };
    for (const Case& c : cases)
    {
        SetPart(start + L";at=" + std::to_wstring(c.nAt) + L";late=" + MyGraphItem());
        EXPECT_EQ(S_OK, m_graphEdit.ShowGraph(m_spGraph)) << c.nAt;
        m_graphEdit.Close();
        CFakeEditRecord record = Record();
        ASSERT_TRUE(record.bWritten);
        EXPECT_EQ(c.nCounts, record.nCounts) << c.nAt;
        EXPECT_EQ(c.bOk, record.bOk) << c.nAt;
        EXPECT_EQ(c.bOk ? 1 : -1, record.nSelected) << c.nAt;
    }
}
