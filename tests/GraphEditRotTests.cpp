// Publishing the graph in the Running Object Table, and giving up the
// registration and the graph editor again.
#include "GraphEditFixture.h"

#include "dshow/PublishedGraph.h"
#include "graph/Graph.h"
#include "tests/support/GraphInspector.h"
#include "tests/support/ReportCapture.h"

#include <memory>

namespace {

std::wstring CookieName(IUnknown* pGraph)
{
    wchar_t szName[cchPublishedGraphName] = L"";
    FormatPublishedGraphName(pGraph, ::GetCurrentProcessId(), szName, ARRAYSIZE(szName));
    return szName;
}

// The moniker of a published name, as a graph editor finds it.
CComPtr<IMoniker> FindRunning(IRunningObjectTable* pROT, const std::wstring& name)
{
    CComPtr<IEnumMoniker> spEnum;
    CComPtr<IBindCtx> spCtx;
    if (FAILED(pROT->EnumRunning(&spEnum)) || FAILED(::CreateBindCtx(0, &spCtx)))
        return nullptr;
    CComPtr<IMoniker> spMoniker;
    while (spEnum->Next(1, &spMoniker, nullptr) == S_OK)
    {
        LPOLESTR pszName = nullptr;
        bool bFound = SUCCEEDED(spMoniker->GetDisplayName(spCtx, nullptr, &pszName)) &&
                      szPublishedGraphDelimiter + name == pszName;
        ::CoTaskMemFree(pszName);
        if (bFound)
            return spMoniker;
        spMoniker.Release();
    }
    return nullptr;
}

// The handles the bridge held no longer refer to the editor.
void ExpectHandlesClosed(const PROCESS_INFORMATION& pi)
{
    EXPECT_NE(pi.dwProcessId, ::GetProcessId(pi.hProcess));
    EXPECT_NE(pi.dwThreadId, ::GetThreadId(pi.hThread));
}

using GraphEditCloseTest = CGraphEditTest;

} // namespace

TEST(GraphRotTest, ArgumentChecksRegisterNothing)
{
    CComPtr<IGraphBuilder> spGraph;
    ASSERT_EQ(S_OK, spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER));
    CReportCapture capture;
    DWORD dwCookie = 0;
    EXPECT_EQ(E_INVALIDARG, AddGraphToRot(nullptr, &dwCookie));
    EXPECT_TRUE(capture.HasAssert(L"pGraph != 0"));
    EXPECT_EQ(E_POINTER, AddGraphToRot(spGraph, nullptr));
    EXPECT_TRUE(capture.HasAssert(L"pdwCookie != 0"));
    EXPECT_EQ(2u, capture.Asserts().size());
    EXPECT_TRUE(PublishedGraphsOfThisProcess().empty());
}

TEST(GraphRotTest, PublishedUnderTheCookieNameUntilRevoked)
{
    CComPtr<IGraphBuilder> spGraph;
    ASSERT_EQ(S_OK, spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER));
    CComPtr<IRunningObjectTable> spROT;
    ASSERT_EQ(S_OK, ::GetRunningObjectTable(0, &spROT));

    DWORD dwCookie = 0;
    ASSERT_EQ(S_OK, AddGraphToRot(spGraph, &dwCookie));
    EXPECT_NE(0u, dwCookie);
    EXPECT_EQ(std::vector<std::wstring>{CookieName(spGraph)}, PublishedGraphsOfThisProcess());

    // Fetched as the editor fetches it: the same object.
    CComPtr<IMoniker> spMoniker = FindRunning(spROT, CookieName(spGraph));
    ASSERT_NE(nullptr, spMoniker.p);
    EXPECT_EQ(S_OK, spROT->IsRunning(spMoniker));
    {
        CComPtr<IUnknown> spObject;
        ASSERT_EQ(S_OK, spROT->GetObject(spMoniker, &spObject));
        CComPtr<IUnknown> spGraphUnk;
        spGraph.QueryInterface(&spGraphUnk);
        CComPtr<IUnknown> spObjectUnk;
        spObject.QueryInterface(&spObjectUnk);
        EXPECT_EQ(spGraphUnk.p, spObjectUnk.p);
    }

    RemoveGraphFromRot(dwCookie);
    EXPECT_TRUE(PublishedGraphsOfThisProcess().empty());
    EXPECT_EQ(S_FALSE, spROT->IsRunning(spMoniker));
    // Revoking again, or nothing, is ignored.
    RemoveGraphFromRot(dwCookie);
    RemoveGraphFromRot(0);
}

TEST(GraphRotTest, DestroyingTheBridgeClosesOnlyWhenAsked)
{
    CComPtr<IGraphBuilder> spClosed, spKept;
    ASSERT_EQ(S_OK, spClosed.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER));
    ASSERT_EQ(S_OK, spKept.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER));
    DWORD dwKept = 0;
    {
        CGraphEdit closing(true), keeping(false);
        EXPECT_EQ(S_OK, AddGraphToRot(spClosed, &CGraphEditInspector::Cookie(closing)));
        EXPECT_EQ(S_OK, AddGraphToRot(spKept, &CGraphEditInspector::Cookie(keeping)));
        dwKept = CGraphEditInspector::Cookie(keeping);
    }
    EXPECT_EQ(std::vector<std::wstring>{CookieName(spKept)}, PublishedGraphsOfThisProcess());
    RemoveGraphFromRot(dwKept);
    EXPECT_TRUE(PublishedGraphsOfThisProcess().empty());
}

TEST_F(GraphEditCloseTest, RevokesAndLetsTheEditorQuitAnyNumberOfTimes)
{
    m_graphEdit.Close(); // on a new object
    EXPECT_TRUE(CGraphEditInspector::IsIdle(m_graphEdit));

    ASSERT_EQ(S_OK, m_graphEdit.ShowGraph(m_spGraph));
    const PROCESS_INFORMATION pi = CGraphEditInspector::ProcessInfo(m_graphEdit);
    ASSERT_NE(nullptr, pi.hProcess);
    EXPECT_EQ(std::vector<std::wstring>{CookieName(m_spGraph)}, PublishedGraphsOfThisProcess());
    CEditorProcess editor(pi.dwProcessId);

    m_graphEdit.Close();
    EXPECT_TRUE(CGraphEditInspector::IsIdle(m_graphEdit));
    EXPECT_TRUE(PublishedGraphsOfThisProcess().empty());
    ExpectHandlesClosed(pi);
    // It ended through its own message loop, asked by WM_QUIT.
    EXPECT_TRUE(editor.WaitForEnd(5000));
    EXPECT_TRUE(Record().bWritten);

    m_graphEdit.Close();
    EXPECT_TRUE(CGraphEditInspector::IsIdle(m_graphEdit));
}

TEST_F(GraphEditCloseTest, AfterTheUserClosedTheEditor)
{
    ASSERT_EQ(S_OK, m_graphEdit.ShowGraph(m_spGraph));
    const PROCESS_INFORMATION pi = CGraphEditInspector::ProcessInfo(m_graphEdit);
    CEditorProcess editor(pi.dwProcessId);
    ::PostMessageW(CGraphEditInspector::MainWindow(m_graphEdit), WM_CLOSE, 0, 0);
    ASSERT_TRUE(editor.WaitForEnd(5000));

    m_graphEdit.Close();
    EXPECT_TRUE(CGraphEditInspector::IsIdle(m_graphEdit));
    EXPECT_TRUE(PublishedGraphsOfThisProcess().empty());
    ExpectHandlesClosed(pi);
}

TEST_F(GraphEditCloseTest, AnEditorThatDoesNotEndIsLeftRunning)
{
    SetPart(L"quit=ignore");
    ASSERT_EQ(S_OK, m_graphEdit.ShowGraph(m_spGraph));
    const PROCESS_INFORMATION pi = CGraphEditInspector::ProcessInfo(m_graphEdit);
    CEditorProcess editor(pi.dwProcessId);
    ASSERT_TRUE(editor.IsOpen());

    DWORD dwStart = ::GetTickCount();
    m_graphEdit.Close();
    DWORD dwWaited = ::GetTickCount() - dwStart;
    // It waited out its second on the editor's thread (less a tick's grain).
    EXPECT_GE(dwWaited, 984u);
    EXPECT_TRUE(CGraphEditInspector::IsIdle(m_graphEdit));
    ExpectHandlesClosed(pi);
    EXPECT_FALSE(editor.WaitForEnd(0)); // never ended by force
    editor.Terminate();
}

TEST_F(GraphEditCloseTest, TheGraphObjectClosesItsEditor)
{
    auto graph = std::make_unique<CGraph>();
    CGraphInspector::Graph(*graph) = m_spGraph;
    const CGraphEdit& graphEdit = CGraphInspector::GraphEdit(*graph);
    ASSERT_EQ(S_OK, graph->ShowGraph());
    DWORD dwFirst = CGraphEditInspector::ProcessInfo(graphEdit).dwProcessId;
    CEditorProcess first(dwFirst);

    // Showing again ends the first editor before the next one starts.
    ASSERT_EQ(S_OK, graph->ShowGraph());
    EXPECT_TRUE(first.WaitForEnd(5000));
    DWORD dwSecond = CGraphEditInspector::ProcessInfo(graphEdit).dwProcessId;
    EXPECT_NE(dwFirst, dwSecond);
    CEditorProcess second(dwSecond);
    EXPECT_EQ(std::vector<std::wstring>{CookieName(m_spGraph)}, PublishedGraphsOfThisProcess());

    graph.reset();
    EXPECT_TRUE(second.WaitForEnd(5000));
    EXPECT_TRUE(PublishedGraphsOfThisProcess().empty());
}
