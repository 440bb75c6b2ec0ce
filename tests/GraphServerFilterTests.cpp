// The server methods against the Corvasta stand-in filter in a real filter
// graph.
#include <gtest/gtest.h>

#include <string>

#include "standins/kit/FaultSwitch.h"
#include "tests/support/GraphInspector.h"
#include "tests/support/ReportCapture.h"

namespace {

const wchar_t szFaults[] = L"Corvasta";
const HRESULT hrFault = E_UNEXPECTED;

class CServerFilter : public testing::Test
{
protected:
    // Fault switches must be set before: the filter reads them when created.
    void Attach()
    {
        ASSERT_EQ(S_OK, m_spFilter.CoCreateInstance(CLSID_CorvastaFilter, nullptr, CLSCTX_INPROC_SERVER));
        ASSERT_EQ(S_OK, AttachServer(m_graph, m_spFilter));
    }
    void TearDown() override
    {
        m_graph.ReleaseGraph();
        if (m_spFilter != nullptr)
        {
            EXPECT_EQ(0u, m_spFilter.Detach()->Release()) << "the graph object leaked a filter reference";
        }
    }
    std::wstring HostAddr()
    {
        wchar_t szAddr[256] = L"";
        EXPECT_EQ(S_OK, GetHostAddr(szAddr, ARRAYSIZE(szAddr)));
        return szAddr;
    }

    CGraph m_graph;
    CComPtr<IBaseFilter> m_spFilter;
};

TEST_F(CServerFilter, VersionTextJoinsTheFiltersParts)
{
    Attach();
    CComQIPtr<IFilterVersion> spVersion(m_spFilter);
    ASSERT_NE(nullptr, spVersion.p);
    CComBSTR cbsDateTime;
    ASSERT_EQ(S_OK, spVersion->GetDateTime(&cbsDateTime));

    CComBSTR cbsVersion;
    EXPECT_EQ(S_OK, m_graph.GetVersion(cbsVersion));
#ifdef _DEBUG
    const std::wstring type = L"D";
#else
    const std::wstring type = L"R";
#endif
    EXPECT_EQ(L"Corvasta [" + type + L"64 v.2.1.0 " + std::wstring(cbsDateTime) + L"]",
              std::wstring(cbsVersion));
}

TEST_F(CServerFilter, VersionCallsThatAllFailLeaveTheFixedParts)
{
    CFaultSwitch type(szFaults, L"GetType", hrFault), os(szFaults, L"GetOS", hrFault),
        name(szFaults, L"GetName", hrFault), number(szFaults, L"GetNumber", hrFault),
        date(szFaults, L"GetDateTime", hrFault);
    Attach();
    CComBSTR cbsVersion(L"old");
    EXPECT_EQ(S_OK, m_graph.GetVersion(cbsVersion));
    EXPECT_EQ(std::wstring(L" [D32 v. ]"), std::wstring(cbsVersion));
}

TEST_F(CServerFilter, NoVersionInterfaceNoText)
{
    CFaultSwitch noVersion(szFaults, L"NoInterface:IFilterVersion", 1);
    Attach();
    CComBSTR cbsVersion(L"old");
    EXPECT_EQ(S_FALSE, m_graph.GetVersion(cbsVersion));
    EXPECT_EQ(nullptr, cbsVersion.m_str);
}

TEST_F(CServerFilter, WildcardUrlComesBackWithThisMachinesAddress)
{
    Attach();
    const std::wstring addr = HostAddr();
    const wchar_t szUrl[] = L"http://+:50128/live/";
    ASSERT_EQ(S_OK, m_graph.SetURL(szUrl));

    const std::wstring expected = L"http://" + addr + L":50128/live/";
    const UINT cchEnough = static_cast<UINT>(wcslen(szUrl) + addr.size());
    wchar_t szOut[256] = L"keep";
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), m_graph.GetURL(szOut, cchEnough - 1));
    EXPECT_STREQ(L"keep", szOut);
    EXPECT_EQ(S_OK, m_graph.GetURL(szOut, cchEnough));
    EXPECT_EQ(expected, szOut);

    // A URL with a named host is served as it is.
    ASSERT_EQ(S_OK, m_graph.SetURL(L"https://localhost:50000/"));
    EXPECT_EQ(S_OK, m_graph.GetURL(szOut, ARRAYSIZE(szOut)));
    EXPECT_STREQ(L"https://localhost:50000/", szOut);
}

TEST_F(CServerFilter, UrlRefusalsPassThroughAndAreFlagged)
{
    CFaultSwitch getUrl(szFaults, L"GetUrl", hrFault);
    Attach();
    CReportCapture capture;
    EXPECT_EQ(E_INVALIDARG, m_graph.SetURL(L"ftp://localhost/"));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::SetURL(): m_spServer->SetUrl() FAILED"));

    wchar_t szOut[256] = L"keep";
    EXPECT_EQ(hrFault, m_graph.GetURL(szOut, ARRAYSIZE(szOut)));
    EXPECT_STREQ(L"keep", szOut);
    EXPECT_TRUE(capture.HasFlag(L"CGraph::GetURL(): m_spServer->GetUrl() FAILED"));
}

TEST_F(CServerFilter, NullUrlFromTheFilterIsRefused)
{
    CFaultSwitch nullUrl(szFaults, L"NullUrl", 1);
    Attach();
    CReportCapture capture;
    wchar_t szOut[256] = L"keep";
    EXPECT_EQ(E_INVALIDARG, m_graph.GetURL(szOut, ARRAYSIZE(szOut)));
    EXPECT_STREQ(L"keep", szOut);
}

TEST_F(CServerFilter, IceServersAddListRemove)
{
    Attach();
    EXPECT_EQ(0, m_graph.GetIceServerCount());
    EXPECT_EQ(S_OK, m_graph.AddIceServer(CComBSTR(L"stun.example.org:3478"), nullptr, nullptr));
    EXPECT_EQ(S_OK, m_graph.AddIceServer(CComBSTR(L"turn:turn.example.org:3478"), CComBSTR(L"alice"),
                                         CComBSTR(L"secret")));
    EXPECT_EQ(2, m_graph.GetIceServerCount());

    {
        CComBSTR cbsURI, cbsUser, cbsPwd;
        EXPECT_EQ(S_OK, m_graph.GetIceServer(1, &cbsURI, &cbsUser, &cbsPwd));
        EXPECT_EQ(std::wstring(L"turn:turn.example.org:3478"), std::wstring(cbsURI));
        EXPECT_EQ(std::wstring(L"alice"), std::wstring(cbsUser));
        EXPECT_EQ(std::wstring(L"secret"), std::wstring(cbsPwd));
    }

    EXPECT_EQ(S_OK, m_graph.RemoveIceServer(0));
    EXPECT_EQ(1, m_graph.GetIceServerCount());
    CComBSTR cbsURI, cbsUser, cbsPwd;
    EXPECT_EQ(S_OK, m_graph.GetIceServer(0, &cbsURI, &cbsUser, &cbsPwd));
    EXPECT_EQ(std::wstring(L"turn:turn.example.org:3478"), std::wstring(cbsURI));
}

TEST_F(CServerFilter, IceServerRefusalsPassThroughAndAreFlagged)
{
    CFaultSwitch count(szFaults, L"GetIceServerCount", hrFault);
    Attach();
    CReportCapture capture;
    EXPECT_EQ(E_INVALIDARG, m_graph.AddIceServer(CComBSTR(L"not a server"), nullptr, nullptr));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::AddIceServer(): m_spServer->AddIceServer() FAILED"));

    CComBSTR cbsURI, cbsUser, cbsPwd;
    EXPECT_EQ(E_INVALIDARG, m_graph.GetIceServer(0, &cbsURI, &cbsUser, &cbsPwd));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::GetIceServer(): m_spServer->GetIceServer() FAILED"));
    EXPECT_EQ(E_INVALIDARG, m_graph.RemoveIceServer(0));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::RemoveIceServer(): m_spServer->RemoveIceServer() FAILED"));

    // A count that can't be read is no count, not an empty list.
    EXPECT_EQ(-1, m_graph.GetIceServerCount());
    EXPECT_TRUE(capture.HasFlag(L"CGraph::GetIceServerCount(): m_spServer->GetIceServerCount() FAILED"));
}

TEST_F(CServerFilter, AppFilterRoundTripCutToTheBuffer)
{
    Attach();
    wchar_t szName[256];
    bool bEnable = false;
    ASSERT_EQ(S_OK, m_graph.SetFilter(L"Chrome", true));
    EXPECT_EQ(S_OK, m_graph.GetFilter(szName, ARRAYSIZE(szName), &bEnable));
    EXPECT_STREQ(L"Chrome", szName);
    EXPECT_TRUE(bEnable);

    EXPECT_EQ(S_OK, m_graph.GetFilter(szName, 4, &bEnable));
    EXPECT_STREQ(L"Chr", szName);

    ASSERT_EQ(S_OK, m_graph.SetFilter(L"Chrome", false));
    EXPECT_EQ(S_OK, m_graph.GetFilter(szName, ARRAYSIZE(szName), &bEnable));
    EXPECT_STREQ(L"Chrome", szName);
    EXPECT_FALSE(bEnable);
}

TEST_F(CServerFilter, AppFilterWithoutANamePartComesBackOff)
{
    Attach();
    ASSERT_EQ(S_OK, m_graph.SetFilter(L"", true));

    // The filter itself keeps the flag: no name part, enabled.
    CComQIPtr<IServerAppFilter> spS(m_spFilter);
    ASSERT_NE(nullptr, spS.p);
    CComBSTR cbsName;
    BOOL bEnabled = FALSE;
    ASSERT_EQ(S_OK, spS->GetAppFilter(&cbsName, &bEnabled));
    EXPECT_EQ(0u, cbsName.Length());
    EXPECT_TRUE(bEnabled);

    wchar_t szName[256] = L"keep";
    bool bEnable = true;
    EXPECT_EQ(S_OK, m_graph.GetFilter(szName, ARRAYSIZE(szName), &bEnable));
    EXPECT_STREQ(L"", szName);
    EXPECT_FALSE(bEnable);
}

TEST_F(CServerFilter, AppFilterFailuresLeaveEmptyOutputs)
{
    CFaultSwitch getFilter(szFaults, L"GetAppFilter", hrFault);
    Attach();
    ASSERT_EQ(S_OK, m_graph.SetFilter(L"Chrome", true));
    CReportCapture capture;
    wchar_t szName[256] = L"keep";
    bool bEnable = true;
    EXPECT_EQ(hrFault, m_graph.GetFilter(szName, ARRAYSIZE(szName), &bEnable));
    EXPECT_STREQ(L"", szName);
    EXPECT_FALSE(bEnable);
    EXPECT_TRUE(capture.HasFlag(L"CGraph::GetFilter(): spS->GetAppFilter() FAILED"));
}

TEST_F(CServerFilter, AppFilterWithoutTheInterface)
{
    CFaultSwitch noAppFilter(szFaults, L"NoInterface:IServerAppFilter", 1);
    Attach();
    CReportCapture capture;
    EXPECT_EQ(E_NOINTERFACE, m_graph.SetFilter(L"Chrome", true));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::SetFilter(): IServerAppFilter NOT FOUND"));
    wchar_t szName[256] = L"keep";
    bool bEnable = true;
    EXPECT_EQ(E_NOINTERFACE, m_graph.GetFilter(szName, ARRAYSIZE(szName), &bEnable));
    EXPECT_STREQ(L"", szName);
    EXPECT_FALSE(bEnable);
}

TEST_F(CServerFilter, StatisticsFromTheFilter)
{
    CFaultSwitch stats(szFaults, L"GetStatistics", hrFault);
    Attach();
    CReportCapture capture;
    ServerStats record = {};
    EXPECT_EQ(hrFault, m_graph.GetStatistics(&record));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::GetStatistics(): m_spServer->GetStatistics() FAILED"));
}

TEST_F(CServerFilter, StatisticsOfAStoppedFilter)
{
    Attach();
    ServerStats record = {};
    record.nPacks = 7;
    EXPECT_EQ(S_OK, m_graph.GetStatistics(&record));
    EXPECT_EQ(0u, record.nPacks);
    EXPECT_EQ(0u, record.nConnections);
}

} // namespace
