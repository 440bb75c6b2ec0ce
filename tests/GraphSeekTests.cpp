// Duration, position, seeking and the video window's placement against the
// real graph manager, with the generator as a finite clip.
#include <gtest/gtest.h>

#include "graph/Graph.h"
#include "standins/kit/FaultSwitch.h"
#include "tests/support/GraphInspector.h"

namespace {

const wchar_t szGenerator[] = L"Ormidex Video Generator";

class GraphSeekTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 600, 200, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    }
    void TearDown() override
    {
        m_graph.ReleaseGraph();
        ::DestroyWindow(m_hWnd);
    }

    // A clip of the given length in milliseconds (0: live).
    HRESULT BuildClip(DWORD dwClipMs)
    {
        std::unique_ptr<CFaultSwitch> clip;
        if (dwClipMs != 0)
            clip.reset(new CFaultSwitch(szGenerator, L"ClipLength", dwClipMs));
        return m_graph.BuildGraph(szGenerator, m_hWnd, WM_APP + 123, L"Ormidex QS Encoder", nullptr, nullptr);
    }

    LONGLONG Position()
    {
        LONGLONG llPos = -1;
        EXPECT_EQ(S_OK, m_graph.GetPosition(&llPos));
        return llPos;
    }

    CGraph m_graph;
    HWND m_hWnd = nullptr;
};

} // namespace

TEST_F(GraphSeekTest, WithoutAGraph)
{
    LONGLONG ll = 77;
    EXPECT_EQ(E_POINTER, m_graph.GetDuration(nullptr));
    EXPECT_EQ(E_POINTER, m_graph.GetPosition(nullptr));
    EXPECT_EQ(E_FAIL, m_graph.GetDuration(&ll));
    EXPECT_EQ(0, ll);
    ll = 77;
    EXPECT_EQ(E_FAIL, m_graph.GetPosition(&ll));
    EXPECT_EQ(0, ll);
    EXPECT_EQ(E_FAIL, m_graph.SetPosition(0));
    EXPECT_EQ(E_FAIL, m_graph.SeekToRatio(0.5));
    EXPECT_EQ(E_FAIL, m_graph.PlaceVideoWindow(m_hWnd));
}

TEST_F(GraphSeekTest, FiniteClipSeeksByRatio)
{
    ASSERT_EQ(S_OK, BuildClip(1000));
    LONGLONG llDuration = 0;
    ASSERT_EQ(S_OK, m_graph.GetDuration(&llDuration));
    ASSERT_EQ(10000000, llDuration);

    struct Case
    {
        double dRatio;
        LONGLONG llExpected;
    } cases[] = {
        {0.5, 5000000},
        {1.7, 10000000},             // clamped to the end
        {-0.5, 0},                   // clamped to the start
        {0.33333337, 3333333},       // truncated toward zero
        {0.99999999, 9999999},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(S_OK, m_graph.SeekToRatio(c.dRatio)) << c.dRatio;
        EXPECT_EQ(c.llExpected, Position()) << c.dRatio;
    }

    // An absolute seek leaves the stop position where it was.
    CComQIPtr<IMediaSeeking> spSeeking(CGraphInspector::Graph(m_graph));
    LONGLONG llStop = 4000000, llCurrent = 0;
    ASSERT_EQ(S_OK, spSeeking->SetPositions(&llCurrent, AM_SEEKING_AbsolutePositioning, &llStop,
                                            AM_SEEKING_AbsolutePositioning));
    EXPECT_EQ(S_OK, m_graph.SetPosition(2000000));
    EXPECT_EQ(2000000, Position());
    LONGLONG llStopAfter = 0;
    spSeeking->GetStopPosition(&llStopAfter);
    EXPECT_EQ(4000000, llStopAfter);
}

TEST_F(GraphSeekTest, LiveSourceHasNoDuration)
{
    ASSERT_EQ(S_OK, BuildClip(0));
    LONGLONG llDuration = 77;
    EXPECT_EQ(E_NOTIMPL, m_graph.GetDuration(&llDuration));
    // Nothing to seek by: the duration's error comes back and nothing moves.
    LONGLONG llBefore = Position();
    EXPECT_EQ(E_NOTIMPL, m_graph.SeekToRatio(0.5));
    EXPECT_EQ(llBefore, Position());
}

TEST_F(GraphSeekTest, NoVideoWindowWithoutARenderer)
{
    ASSERT_EQ(S_OK, BuildClip(0));
    // The graph manager offers the interface, but without a renderer its
    // calls fail; the failure comes back unchanged.
    EXPECT_EQ(E_NOINTERFACE, m_graph.PlaceVideoWindow(m_hWnd));
}

TEST_F(GraphSeekTest, VideoWindowStandsAboveTheDialog)
{
    ASSERT_EQ(S_OK, BuildClip(0));
    // A graph with a video renderer offers a video window.
    IGraphBuilder* pGraph = CGraphInspector::Graph(m_graph);
    CComPtr<IBaseFilter> spRenderer;
    ASSERT_EQ(S_OK, spRenderer.CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER));
    ASSERT_EQ(S_OK, pGraph->AddFilter(spRenderer, L"Video Renderer"));
    CComQIPtr<IVideoWindow> spVideoWindow(pGraph);
    ASSERT_TRUE(spVideoWindow != nullptr);

    RECT rcArea;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcArea, 0);
    struct Case
    {
        int nDialogTop;
        long nWidth, nHeight;
        long nTop, nLeft;
    } cases[] = {
        {600, 641, 480, 120, (rcArea.right - rcArea.left - 641) / 2},
        {100, 640, 480, 0, (rcArea.right - rcArea.left - 640) / 2},
        // Wider than the work area: the left edge is negative, and the
        // division truncates toward zero (-11 / 2 is -5).
        {600, rcArea.right - rcArea.left + 11, 300, 300, -5},
    };
    for (const Case& c : cases)
    {
        ::SetWindowPos(m_hWnd, nullptr, 50, c.nDialogTop, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_EQ(S_OK, spVideoWindow->SetWindowPosition(0, 0, c.nWidth, c.nHeight));
        EXPECT_EQ(S_OK, m_graph.PlaceVideoWindow(m_hWnd));
        long nLeft = 0, nTop = 0, nWidth = 0, nHeight = 0;
        spVideoWindow->GetWindowPosition(&nLeft, &nTop, &nWidth, &nHeight);
        EXPECT_EQ(c.nTop, nTop) << c.nDialogTop;
        EXPECT_EQ(c.nLeft, nLeft) << c.nWidth;
        EXPECT_EQ(c.nWidth, nWidth);
        EXPECT_EQ(c.nHeight, nHeight);
        long lVisible = 0;
        spVideoWindow->get_Visible(&lVisible);
        EXPECT_EQ(OATRUE, lVisible);
    }
    spVideoWindow->put_Visible(OAFALSE);
    spVideoWindow.Release();
}
