// The graph object's core against the real graph manager: building an empty
// graph, run control, events from the real event queue, releasing.
#include <gtest/gtest.h>

#include "atlbase.h"
#include "graph/Graph.h"
#include "tests/support/GraphInspector.h"
#include "tests/support/ReportCapture.h"

#include <evcode.h>


namespace {

const UINT WM_TESTNOTIFY = WM_APP + 123;
// Wine's Null Renderer: a filter without any encoder interface.
constexpr GUID CLSID_NullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

class GraphCoreTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"notify", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                   nullptr);
        ASSERT_NE(nullptr, m_hWnd);
    }
    void TearDown() override { ::DestroyWindow(m_hWnd); }

    // A graph manager with nothing in it: both encoder names empty make the
    // component build refuse before it creates any filter.
    void BuildEmpty(CGraph& graph)
    {
        CReportCapture capture;
        ASSERT_EQ(E_INVALIDARG, graph.BuildGraph(L"Source", m_hWnd, WM_TESTNOTIFY, L"", nullptr, nullptr));
        ASSERT_TRUE(graph.HasGraph());
    }

    // Queues an event into the graph's real event queue, as a filter does.
    void Notify(CGraph& graph, long lCode, LONG_PTR lParam1)
    {
        CComQIPtr<IMediaEventSink> spSink(CGraphInspector::Graph(graph));
        ASSERT_TRUE(spSink != nullptr);
        ASSERT_EQ(S_OK, spSink->Notify(lCode, lParam1, 0));
    }

    // Drains events until one with the code is seen; false when none came.
    bool WaitForEvent(CGraph& graph, long lCode)
    {
        for (int i = 0; i < 200; i++)
        {
            long lEvent;
            while ((lEvent = graph.GetGraphEvent()) != 0)
                if (lEvent == lCode)
                    return true;
            ::Sleep(5);
        }
        return false;
    }

    bool NotificationPosted()
    {
        MSG msg;
        return ::PeekMessageW(&msg, m_hWnd, WM_TESTNOTIFY, WM_TESTNOTIFY, PM_REMOVE) != FALSE;
    }

    HWND m_hWnd = nullptr;
};

} // namespace

TEST_F(GraphCoreTest, WithoutAGraph)
{
    CGraph graph;
    EXPECT_TRUE(graph.IsEmpty());
    EXPECT_FALSE(graph.HasGraph());
    EXPECT_EQ(E_FAIL, graph.Run());
    EXPECT_EQ(E_FAIL, graph.Pause());
    EXPECT_EQ(E_FAIL, graph.Stop());
    EXPECT_TRUE(graph.IsStopped());
    EXPECT_EQ(0, graph.GetConnections());
    EXPECT_EQ(0, graph.GetGraphEvent());
    EXPECT_EQ(S_FALSE, graph.ForceKeyFrame());
    EXPECT_EQ(0u, graph.GetPropPageMask());
    graph.ReleaseGraph();
    graph.ReleaseGraph();
    EXPECT_TRUE(graph.IsEmpty());
}

TEST_F(GraphCoreTest, IsFilterAcceptsSingleRolesOnly)
{
    for (int n : {1, 2, 4, 8})
        EXPECT_TRUE(CGraph::IsFilter(static_cast<EFilter>(n))) << n;
    for (int n : {0, 3, 5, 16, -1, 15})
        EXPECT_FALSE(CGraph::IsFilter(static_cast<EFilter>(n))) << n;
}

TEST_F(GraphCoreTest, BuildGraphArgumentChecksLeaveThePreviousGraph)
{
    CGraph graph;
    BuildEmpty(graph);
    IGraphBuilder* pBefore = CGraphInspector::Graph(graph);

    EXPECT_EQ(E_INVALIDARG, graph.BuildGraph(nullptr, m_hWnd, WM_TESTNOTIFY, L"v", L"a", nullptr));
    HWND hWndGone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ::DestroyWindow(hWndGone);
    EXPECT_EQ(E_INVALIDARG, graph.BuildGraph(L"Source", hWndGone, WM_TESTNOTIFY, L"v", L"a", nullptr));
    EXPECT_EQ(E_INVALIDARG, graph.BuildGraph(L"Source", nullptr, WM_TESTNOTIFY, L"v", L"a", nullptr));
    EXPECT_EQ(pBefore, static_cast<IGraphBuilder*>(CGraphInspector::Graph(graph)));
}

TEST_F(GraphCoreTest, FailedBuildKeepsTheGraphButPostsNoNotification)
{
    CGraph graph;
    BuildEmpty(graph);
    EXPECT_FALSE(graph.IsEmpty());
    while (NotificationPosted())
        ;
    Notify(graph, EC_USER, 0);
    ::Sleep(50);
    EXPECT_FALSE(NotificationPosted());
    // The event is in the queue all the same.
    EXPECT_TRUE(WaitForEvent(graph, EC_USER));
}

TEST_F(GraphCoreTest, RunPauseStopOnAnEmptyGraphManager)
{
    CGraph graph;
    BuildEmpty(graph);
    EXPECT_TRUE(graph.IsStopped());

    EXPECT_EQ(S_OK, graph.Pause());
    EXPECT_FALSE(graph.IsStopped());
    EXPECT_EQ(S_OK, graph.Run());
    EXPECT_FALSE(graph.IsStopped());
    EXPECT_EQ(S_OK, graph.Stop());
    EXPECT_TRUE(graph.IsStopped());
}

TEST_F(GraphCoreTest, ConnectionCountFromEvents)
{
    CGraph graph;
    BuildEmpty(graph);

    // Stopped: the count is stored but reads as 0.
    Notify(graph, EC_USER + 1, 3);
    ASSERT_TRUE(WaitForEvent(graph, EC_USER + 1));
    EXPECT_EQ(3, CGraphInspector::Connections(graph));
    EXPECT_EQ(0, graph.GetConnections());

    ASSERT_EQ(S_OK, graph.Pause());
    EXPECT_EQ(3, graph.GetConnections());
    // Only the low 32 bits of the parameter count.
    Notify(graph, EC_USER + 1, static_cast<LONG_PTR>(0x500000002LL));
    ASSERT_TRUE(WaitForEvent(graph, EC_USER + 1));
    EXPECT_EQ(2, graph.GetConnections());

    ASSERT_EQ(S_OK, graph.Run());
    EXPECT_EQ(2, graph.GetConnections());

    // Stop clears the count even before any new event.
    graph.Stop();
    ASSERT_EQ(S_OK, graph.Pause());
    EXPECT_EQ(0, graph.GetConnections());
    graph.Stop();
}

TEST_F(GraphCoreTest, EventsArriveInOrderWithNotification)
{
    CGraph graph;
    BuildEmpty(graph);
    // Attach the window as a successful build does.
    CComQIPtr<IMediaEventEx> spEvent(CGraphInspector::Graph(graph));
    ASSERT_EQ(S_OK, spEvent->SetNotifyWindow(reinterpret_cast<OAHWND>(m_hWnd), WM_TESTNOTIFY, 0));
    while (graph.GetGraphEvent() != 0)
        ;
    while (NotificationPosted())
        ;

    Notify(graph, EC_USER, 0);
    Notify(graph, EC_USER + 1, 1);
    Notify(graph, EC_USER + 7, 0); // a code nobody knows is passed on as well
    EXPECT_TRUE(NotificationPosted());

    std::vector<long> events;
    long lEvent;
    while ((lEvent = graph.GetGraphEvent()) != 0)
        events.push_back(lEvent);
    EXPECT_EQ((std::vector<long>{EC_USER, EC_USER + 1, EC_USER + 7}), events);
    EXPECT_EQ(0, graph.GetGraphEvent());

    // After ReleaseGraph no more notifications reach the window.
    graph.ReleaseGraph();
    EXPECT_EQ(0, graph.GetGraphEvent());
}

TEST_F(GraphCoreTest, ForceKeyFrameNeedsARunningVideoEncoder)
{
    CGraph graph;
    BuildEmpty(graph);
    EXPECT_EQ(S_FALSE, graph.ForceKeyFrame()); // no video encoder

    // An encoder that offers neither control interface.
    CComPtr<IBaseFilter> spNull;
    ASSERT_EQ(S_OK, spNull.CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER));
    ASSERT_EQ(S_OK, CGraphInspector::Graph(graph)->AddFilter(spNull, L"Null"));
    CGraphInspector::EncoderVid(graph) = spNull;
    EXPECT_EQ(S_FALSE, graph.ForceKeyFrame()); // stopped
    ASSERT_EQ(S_OK, graph.Pause());
    EXPECT_EQ(S_FALSE, graph.ForceKeyFrame()); // neither interface
    graph.Stop();
}

TEST_F(GraphCoreTest, ReleasesEveryReference)
{
    CGraph graph;
    for (int i = 0; i < 20; i++)
    {
        BuildEmpty(graph);
        CComPtr<IBaseFilter> spNull;
        ASSERT_EQ(S_OK, spNull.CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER));
        ASSERT_EQ(S_OK, CGraphInspector::Graph(graph)->AddFilter(spNull, L"Null"));
        CGraphInspector::Source(graph) = spNull;
        CComPtr<IGraphBuilder> spGraph = CGraphInspector::Graph(graph);
        ASSERT_EQ(S_OK, graph.Run());

        graph.ReleaseGraph();
        EXPECT_TRUE(graph.IsEmpty());
        EXPECT_EQ(0, graph.GetConnections());
        // Only the test's own references remain.
        EXPECT_EQ(1u, RefsOf(spGraph));
        spGraph.Release();
        EXPECT_EQ(1u, RefsOf(spNull)) << "the released graph let go of the filter";
    }
    graph.ReleaseGraph();
}
