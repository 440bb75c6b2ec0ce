#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "graph/Graph.h"
#include "tests/support/ReportCapture.h"

namespace {

const HRESULT hrInsufficientBuffer = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

struct ResolveCase
{
    const wchar_t* pszUrl;
    const wchar_t* pszAddr;
    const wchar_t* pszExpected;
};

TEST(ResolveUrl, ReplacesOnlyThePlainHttpWildcardHost)
{
    const ResolveCase rgCases[] = {
        {L"http://+:50128/", L"192.0.2.10", L"http://192.0.2.10:50128/"},
        {L"http://+:50128/live/a?b=1", L"localhost", L"http://localhost:50128/live/a?b=1"},
        {L"http://+", L"192.0.2.10", L"http://192.0.2.10"},
        {L"https://+:443/", L"192.0.2.10", L"https://+:443/"},
        {L"HTTP://+:80/", L"192.0.2.10", L"HTTP://+:80/"},
        {L"http://localhost:50128/", L"192.0.2.10", L"http://localhost:50128/"},
        {L"", L"192.0.2.10", L""},
    };
    for (const ResolveCase& c : rgCases)
    {
        wchar_t szOut[256];
        wmemset(szOut, L'#', ARRAYSIZE(szOut));
        EXPECT_EQ(S_OK, CGraph::ResolveUrl(szOut, ARRAYSIZE(szOut), c.pszUrl, c.pszAddr)) << c.pszUrl;
        EXPECT_STREQ(c.pszExpected, szOut);
    }
}

// The wildcard URL needs its length plus the address's length, terminator
// included; a plain URL needs its length plus the terminator.
TEST(ResolveUrl, CapacityLimitsAreExactAndAShortBufferStaysUntouched)
{
    struct CapacityCase
    {
        const wchar_t* pszUrl;
        UINT cchEnough;
        const wchar_t* pszExpected;
    };
    const wchar_t szAddr[] = L"192.0.2.10";
    const CapacityCase rgCases[] = {
        {L"http://+:50128/", 15 + 10, L"http://192.0.2.10:50128/"},
        {L"http://localhost:50128/", 23 + 1, L"http://localhost:50128/"},
    };
    for (const CapacityCase& c : rgCases)
    {
        wchar_t szOut[64];
        wmemset(szOut, L'#', ARRAYSIZE(szOut));
        szOut[ARRAYSIZE(szOut) - 1] = L'\0';
        const std::wstring untouched(szOut);

        EXPECT_EQ(hrInsufficientBuffer, CGraph::ResolveUrl(szOut, c.cchEnough - 1, c.pszUrl, szAddr)) << c.pszUrl;
        EXPECT_EQ(untouched, szOut);
        EXPECT_EQ(hrInsufficientBuffer, CGraph::ResolveUrl(szOut, 0, c.pszUrl, szAddr));
        EXPECT_EQ(untouched, szOut);

        EXPECT_EQ(S_OK, CGraph::ResolveUrl(szOut, c.cchEnough, c.pszUrl, szAddr)) << c.pszUrl;
        EXPECT_STREQ(c.pszExpected, szOut);
        EXPECT_EQ(L'#', szOut[c.cchEnough]) << "written past the capacity";
    }
}

TEST(ResolveUrl, MissingArguments)
{
    CReportCapture capture;
    wchar_t szOut[32] = L"keep";
    EXPECT_EQ(E_POINTER, CGraph::ResolveUrl(nullptr, 32, L"http://+:1/", L"192.0.2.10"));
    EXPECT_TRUE(capture.HasAssert(L"pszOut != 0"));
    EXPECT_EQ(E_INVALIDARG, CGraph::ResolveUrl(szOut, 32, nullptr, L"192.0.2.10"));
    EXPECT_TRUE(capture.HasAssert(L"pszUrl != 0"));
    EXPECT_EQ(E_INVALIDARG, CGraph::ResolveUrl(szOut, 32, L"http://+:1/", nullptr));
    EXPECT_STREQ(L"keep", szOut);
}

// Four decimal numbers 0 to 255 joined by dots, and nothing else.
bool IsDottedIPv4(const std::wstring& text)
{
    unsigned rgPart[4] = {};
    wchar_t chEnd = 0;
    int nFields = swscanf(text.c_str(), L"%u.%u.%u.%u%lc", &rgPart[0], &rgPart[1], &rgPart[2], &rgPart[3], &chEnd);
    if (nFields != 4 || text.size() > 15)
        return false;
    for (unsigned n : rgPart)
        if (n > 255)
            return false;
    return text.find_first_not_of(L"0123456789.") == std::wstring::npos;
}

TEST(GetHostAddr, GivesThisMachinesAddressInDottedForm)
{
    wchar_t szAddr[256];
    wmemset(szAddr, L'#', ARRAYSIZE(szAddr));
    ASSERT_EQ(S_OK, GetHostAddr(szAddr, ARRAYSIZE(szAddr)));
    EXPECT_TRUE(IsDottedIPv4(szAddr)) << szAddr;

    // Exactly the room the address needs is enough; one less keeps the
    // buffer as it was.
    UINT cchNeeded = static_cast<UINT>(wcslen(szAddr)) + 1;
    wchar_t szExact[16];
    EXPECT_EQ(S_OK, GetHostAddr(szExact, cchNeeded));
    EXPECT_STREQ(szAddr, szExact);
    wchar_t szShort[16] = L"keep";
    EXPECT_EQ(hrInsufficientBuffer, GetHostAddr(szShort, cchNeeded - 1));
    EXPECT_STREQ(L"keep", szShort);
}

TEST(GetHostAddr, NullBuffer)
{
    CReportCapture capture;
    EXPECT_EQ(E_POINTER, GetHostAddr(nullptr, 16));
    EXPECT_TRUE(capture.HasAssert(L"pszAddr != 0"));
}

// The server methods without a Corvasta filter: never a call through a
// missing interface. Without a graph the graph convention applies (E_FAIL);
// a graph without the filter, as a failed build leaves it, answers
// E_NOINTERFACE.
class CGraphWithoutServer : public testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, m_hWnd);
        if (GetParam())
        {
            // A source that does not exist: the build fails after the graph
            // manager was created.
            EXPECT_NE(S_OK, m_graph.BuildGraph(L"No such source", m_hWnd, WM_APP, L"No such encoder",
                                               L"No such encoder", nullptr));
            ASSERT_TRUE(m_graph.HasGraph());
        }
    }
    void TearDown() override
    {
        m_graph.ReleaseGraph();
        if (m_hWnd != nullptr)
            ::DestroyWindow(m_hWnd);
    }
    HRESULT Missing() const { return GetParam() ? E_NOINTERFACE : E_FAIL; }

    HWND m_hWnd = nullptr;
    CGraph m_graph;
};

TEST_P(CGraphWithoutServer, StatusQueriesAnswerNothingDone)
{
    CReportCapture capture;
    EXPECT_EQ(-1, m_graph.GetIceServerCount());

    ServerStats stats = {};
    stats.nPacks = 7;
    EXPECT_EQ(S_FALSE, m_graph.GetStatistics(&stats));
    EXPECT_EQ(7u, stats.nPacks);

    CComBSTR cbsVersion(L"old");
    EXPECT_EQ(S_FALSE, m_graph.GetVersion(cbsVersion));
    EXPECT_EQ(nullptr, cbsVersion.m_str);

    // The status queries run on every timer tick; a missing filter is no
    // precondition failure for them.
    EXPECT_TRUE(capture.Asserts().empty());
}

TEST_P(CGraphWithoutServer, GetIceServerClearsEachOutStringThenFails)
{
    CReportCapture capture;
    BSTR bsURI = reinterpret_cast<BSTR>(1), bsUser = reinterpret_cast<BSTR>(1), bsPwd = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(E_FAIL, m_graph.GetIceServer(0, &bsURI, &bsUser, &bsPwd));
    EXPECT_EQ(nullptr, bsURI);
    EXPECT_EQ(nullptr, bsUser);
    EXPECT_EQ(nullptr, bsPwd);
    EXPECT_TRUE(capture.HasAssert(L"*pbs == 0")) << "a non-empty out-string would leak";

    // The strings are taken in order: those before a missing one are
    // cleared, those after it are left alone.
    bsURI = reinterpret_cast<BSTR>(1);
    bsPwd = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(E_POINTER, m_graph.GetIceServer(0, &bsURI, nullptr, &bsPwd));
    EXPECT_EQ(nullptr, bsURI);
    EXPECT_EQ(reinterpret_cast<BSTR>(1), bsPwd);
    EXPECT_EQ(E_POINTER, m_graph.GetIceServer(0, nullptr, &bsUser, &bsPwd));
    bsURI = nullptr;
    EXPECT_EQ(E_POINTER, m_graph.GetIceServer(0, &bsURI, &bsUser, nullptr));
}

TEST_P(CGraphWithoutServer, SettingsFailWithoutTouchingOutputs)
{
    CReportCapture capture;
    CComBSTR cbsURI(L"stun.example.org:3478");
    EXPECT_EQ(Missing(), m_graph.AddIceServer(cbsURI, nullptr, nullptr));
    EXPECT_EQ(Missing(), m_graph.RemoveIceServer(0));
    EXPECT_EQ(Missing(), m_graph.SetURL(L"http://+:50128/"));
    EXPECT_EQ(Missing(), m_graph.SetFilter(L"name", true));

    wchar_t szUrl[256] = L"keep";
    EXPECT_EQ(Missing(), m_graph.GetURL(szUrl, ARRAYSIZE(szUrl)));
    EXPECT_STREQ(L"keep", szUrl);

    // GetFilter empties its outputs before anything else.
    wchar_t szName[256] = L"keep";
    bool bEnable = true;
    EXPECT_EQ(Missing(), m_graph.GetFilter(szName, ARRAYSIZE(szName), &bEnable));
    EXPECT_STREQ(L"", szName);
    EXPECT_FALSE(bEnable);

    // Each of them calls out the missing precondition.
    EXPECT_TRUE(capture.HasAssert(GetParam() ? L"m_spServer != 0" : L"m_spGraph != 0"));
}

TEST_P(CGraphWithoutServer, MissingArgumentsComeFirst)
{
    CReportCapture capture;
    EXPECT_EQ(E_INVALIDARG, m_graph.AddIceServer(nullptr, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, m_graph.SetURL(nullptr));
    EXPECT_EQ(E_POINTER, m_graph.GetURL(nullptr, 256));
    EXPECT_EQ(E_POINTER, m_graph.GetStatistics(nullptr));
    bool bEnable = true;
    EXPECT_EQ(E_POINTER, m_graph.GetFilter(nullptr, 256, &bEnable));
    wchar_t szName[8] = L"keep";
    EXPECT_EQ(E_POINTER, m_graph.GetFilter(szName, ARRAYSIZE(szName), nullptr));
    EXPECT_STREQ(L"keep", szName);
}

INSTANTIATE_TEST_SUITE_P(Graph, CGraphWithoutServer, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "GraphWithoutFilter" : "NoGraph";
                         });

} // namespace
