// The canvas as a real window in this process: what a double-click opens,
// selection, scrolling a graph larger than the window, and what it paints.
#include <gtest/gtest.h>

#include "editor/GraphCanvas.h"

#include <algorithm>

namespace {

class CCanvasRecorder : public ICanvasEvents
{
public:
    void OnOpenFilter(int nFilter) override { m_log.push_back(L"filter " + std::to_wstring(nFilter)); }
    void OnOpenPin(const PinRef& pin) override
    {
        m_log.push_back(L"pin " + std::to_wstring(pin.nFilter) + L"/" + std::to_wstring(pin.nPin));
    }
    void OnConnectPins(const PinRef& from, const PinRef& to) override
    {
        m_log.push_back(L"connect " + std::to_wstring(from.nFilter) + L"/" + std::to_wstring(from.nPin) + L" " +
                        std::to_wstring(to.nFilter) + L"/" + std::to_wstring(to.nPin));
    }
    void OnCanvasMenu(POINT) override { m_log.push_back(L"menu"); }
    std::vector<std::wstring> m_log;
};

// The harness's graph as the holder reports it: 0 generator, 1 QS encoder,
// 2 Opus encoder, 3 Corvasta.
GraphData CorvastaGraphData()
{
    GraphData graph;
    graph.filters = {
        {L"Ormidex Video Generator", {{L"Video", false, {1, 0}}, {L"Audio", false, {2, 0}}}},
        {L"Ormidex QS Encoder", {{L"Input", true, {0, 0}}, {L"Output", false, {3, 0}}}},
        {L"Ormidex Opus Encoder", {{L"Input", true, {0, 1}}, {L"Output", false, {3, 1}}}},
        {L"Corvasta", {{L"Video", true, {1, 1}}, {L"Audio", true, {2, 1}}}},
    };
    return graph;
}

POINT Centre(const RECT& rc)
{
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

class GraphCanvasTest : public testing::Test
{
protected:
    void SetUp() override
    {
        RECT rc = {40, 40, 40 + 900, 40 + 500};
        ASSERT_NE(nullptr, m_canvas.Create(nullptr, rc, L"canvas", WS_POPUP | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL));
        m_canvas.SetGraph(CorvastaGraphData());
        ::UpdateWindow(m_canvas);
    }
    void TearDown() override
    {
        if (m_canvas.IsWindow())
            m_canvas.DestroyWindow();
    }

    // A point of the graph in the canvas's client area.
    LPARAM At(POINT pt) const
    {
        POINT ptOrigin = m_canvas.Origin();
        return MAKELPARAM(pt.x + ptOrigin.x, pt.y + ptOrigin.y);
    }
    COLORREF PixelAt(POINT pt)
    {
        ::RedrawWindow(m_canvas, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        POINT ptOrigin = m_canvas.Origin();
        HDC hdc = ::GetDC(m_canvas);
        COLORREF cr = ::GetPixel(hdc, pt.x + ptOrigin.x, pt.y + ptOrigin.y);
        ::ReleaseDC(m_canvas, hdc);
        return cr;
    }

    CCanvasRecorder m_events;
    CGraphCanvas m_canvas{&m_events};
};

} // namespace

TEST_F(GraphCanvasTest, DoubleClickOpensWhatIsUnderTheMouse)
{
    const GraphLayout& layout = m_canvas.Layout();
    ASSERT_EQ(4u, layout.filters.size());
    std::vector<POINT> curve;
    for (const ConnectionPlace& place : layout.connections)
        if (place.connection.from == PinRef{1, 1})
            curve = FlattenCurve(place.rgpt);
    ASSERT_FALSE(curve.empty());

    struct Case
    {
        const char* pszWhat;
        POINT pt;
        const wchar_t* pszOpened; // null: nothing
        int nSelected;
    };
    const Case rgCases[] = {
        {"the QS encoder's title", Centre(layout.filters[1].rcTitle), L"filter 1", 1},
        {"Corvasta's box below its pins", {Centre(layout.filters[3].rcBox).x, layout.filters[3].rcBox.bottom - 2},
         L"filter 3", 3},
        {"the QS encoder's output tab", Centre(layout.filters[1].pins[1].rcTab), L"pin 1/1", 1},
        {"the name of Corvasta's audio pin", Centre(layout.filters[3].pins[1].rcLabel), L"pin 3/1", 3},
        {"the QS encoder's connection to Corvasta", curve[curve.size() / 2], L"pin 1/1", -1},
        {"nothing", {2, 2}, nullptr, -1},
    };
    for (const Case& c : rgCases)
    {
        SCOPED_TRACE(c.pszWhat);
        m_events.m_log.clear();
        m_canvas.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, At(c.pt));
        std::vector<std::wstring> expected;
        if (c.pszOpened != nullptr)
            expected.push_back(c.pszOpened);
        EXPECT_EQ(expected, m_events.m_log);
        EXPECT_EQ(c.nSelected, m_canvas.SelectedFilter());
    }
}

TEST_F(GraphCanvasTest, SelectionIsDrawnAndFollowsTheFilterThroughANewGraph)
{
    // The counts are the window's text, for whoever reads it.
    wchar_t szText[64] = L"";
    ::GetWindowTextW(m_canvas, szText, ARRAYSIZE(szText));
    EXPECT_STREQ(L"4 filters, 4 connections", szText);

    // Inside the title band, clear of its text; below it, the white box.
    const FilterPlace& qs = m_canvas.Layout().filters[1];
    POINT ptBand = {qs.rcTitle.left + 4, qs.rcTitle.bottom - 3};
    POINT ptBox = {qs.rcBox.left + 4, qs.rcBox.bottom - 4};
    EXPECT_EQ(RGB(44, 82, 148), PixelAt(ptBand));
    EXPECT_EQ(RGB(255, 255, 255), PixelAt(ptBox));

    m_canvas.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(Centre(qs.rcTitle)));
    EXPECT_EQ(1, m_canvas.SelectedFilter());
    EXPECT_EQ(RGB(226, 122, 28), PixelAt(ptBand));
    // Enter opens the selected filter.
    m_canvas.SendMessage(WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(std::vector<std::wstring>{L"filter 1"}, m_events.m_log);

    // The same graph read again in another order: still the QS encoder.
    GraphData graph = CorvastaGraphData();
    std::swap(graph.filters[0], graph.filters[1]);
    for (FilterData& filter : graph.filters)
        for (PinData& pin : filter.pins)
            if (pin.peer.nFilter == 0 || pin.peer.nFilter == 1)
                pin.peer.nFilter = 1 - pin.peer.nFilter;
    m_canvas.SetGraph(graph);
    EXPECT_EQ(0, m_canvas.SelectedFilter());

    // A message hides the graph; clicks then open nothing.
    m_canvas.SetMessage(L"The graph's program has ended.");
    EXPECT_EQ(RGB(243, 245, 249), PixelAt(ptBand));
    m_events.m_log.clear();
    m_canvas.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, At(Centre(qs.rcTitle)));
    EXPECT_TRUE(m_events.m_log.empty());
}

TEST_F(GraphCanvasTest, ScrollsAGraphLargerThanTheWindowAndCentresASmallerOne)
{
    m_canvas.SetWindowPos(nullptr, 0, 0, 300, 120, SWP_NOZORDER | SWP_NOMOVE);
    RECT rc = {};
    m_canvas.GetClientRect(&rc);
    const GraphLayout& layout = m_canvas.Layout();
    ASSERT_GT(layout.size.cx, rc.right);
    ASSERT_GT(layout.size.cy, rc.bottom);

    SCROLLINFO si = {sizeof(si), SIF_ALL};
    ASSERT_TRUE(::GetScrollInfo(m_canvas, SB_HORZ, &si));
    EXPECT_EQ(layout.size.cx - 1, si.nMax);
    EXPECT_EQ(static_cast<UINT>(rc.right), si.nPage);
    EXPECT_EQ(0, m_canvas.Origin().x);

    m_canvas.SendMessage(WM_HSCROLL, SB_PAGEDOWN);
    EXPECT_EQ(-rc.right, m_canvas.Origin().x);
    m_canvas.SendMessage(WM_KEYDOWN, VK_LEFT);
    EXPECT_EQ(-rc.right + 20, m_canvas.Origin().x);
    m_canvas.SendMessage(WM_KEYDOWN, VK_NEXT);
    EXPECT_EQ(-std::min<LONG>(rc.bottom, layout.size.cy - rc.bottom), m_canvas.Origin().y);
    m_canvas.SendMessage(WM_HSCROLL, SB_BOTTOM);
    m_canvas.SendMessage(WM_VSCROLL, SB_BOTTOM);
    EXPECT_EQ(rc.right - layout.size.cx, m_canvas.Origin().x);
    EXPECT_EQ(rc.bottom - layout.size.cy, m_canvas.Origin().y);

    // Scrolled to the end, Corvasta's audio pin is in view and opens.
    POINT ptPin = Centre(layout.filters[3].pins[1].rcTab);
    m_canvas.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, At(ptPin));
    EXPECT_EQ(std::vector<std::wstring>{L"pin 3/1"}, m_events.m_log);

    // Larger than the graph: no scrolling, the graph in the middle.
    m_canvas.SetWindowPos(nullptr, 0, 0, 1400, 900, SWP_NOZORDER | SWP_NOMOVE);
    m_canvas.GetClientRect(&rc);
    EXPECT_EQ((rc.right - layout.size.cx) / 2, m_canvas.Origin().x);
    EXPECT_EQ((rc.bottom - layout.size.cy) / 2, m_canvas.Origin().y);
}

TEST_F(GraphCanvasTest, DraggingConnectsPinsAndMovesFilters)
{
    // The QS encoder's output left open, Corvasta's video input too.
    GraphData graph = CorvastaGraphData();
    graph.filters[1].pins[1].peer = PinRef();
    graph.filters[3].pins[0].peer = PinRef();
    m_canvas.SetGraph(graph);
    const GraphLayout& layout = m_canvas.Layout();
    auto drag = [&](POINT ptFrom, POINT ptTo) {
        m_canvas.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(ptFrom));
        m_canvas.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, At(ptTo));
        m_canvas.SendMessage(WM_LBUTTONUP, 0, At(ptTo));
    };
    POINT ptQSOut = Centre(layout.filters[1].pins[1].rcTab);
    POINT ptCorvastaVideo = Centre(layout.filters[3].pins[0].rcTab);
    POINT ptOpusOut = Centre(layout.filters[2].pins[1].rcTab);

    // Either way round, the output pin comes first; two outputs or an empty
    // place connect nothing.
    drag(ptCorvastaVideo, ptQSOut);
    drag(ptQSOut, ptCorvastaVideo);
    drag(ptQSOut, ptOpusOut);
    drag(ptQSOut, {2, 2});
    EXPECT_EQ((std::vector<std::wstring>{L"connect 1/1 3/0", L"connect 1/1 3/0"}), m_events.m_log);
    EXPECT_EQ((PinRef{1, 1}), m_canvas.SelectedPin());

    // A filter dragged by its title moves with its pins and connections,
    // and stays where it was put when the graph is read again.
    RECT rcBefore = layout.filters[1].rcBox;
    POINT ptInputBefore = layout.filters[1].pins[0].ptAnchor;
    POINT ptTitle = Centre(layout.filters[1].rcTitle);
    drag(ptTitle, {ptTitle.x + 30, ptTitle.y + 200});
    const FilterPlace& moved = m_canvas.Layout().filters[1];
    EXPECT_EQ(rcBefore.top + 200, moved.rcBox.top);
    EXPECT_EQ(rcBefore.left + 30, moved.rcBox.left);
    for (const ConnectionPlace& place : m_canvas.Layout().connections)
    {
        if (place.connection.to == PinRef{1, 0})
        {
            EXPECT_EQ(ptInputBefore.y + 200, place.rgpt[3].y);
        }
    }
    EXPECT_GE(m_canvas.Layout().size.cy, moved.rcBox.bottom);
    m_canvas.SetGraph(graph);
    EXPECT_EQ(rcBefore.top + 200, m_canvas.Layout().filters[1].rcBox.top);
    // Never above the top margin.
    drag(Centre(m_canvas.Layout().filters[1].rcTitle), {Centre(rcBefore).x, -5000});
    EXPECT_GT(m_canvas.Layout().filters[1].rcBox.top, 0);
    m_canvas.ForgetMoves();
    m_canvas.SetGraph(graph);
    EXPECT_EQ(rcBefore.top, m_canvas.Layout().filters[1].rcBox.top);
}

TEST_F(GraphCanvasTest, KeyboardWalksFiltersAndPins)
{
    // Tab: the first filter, then its pins, then the next filter.
    m_canvas.SendMessage(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(0, m_canvas.SelectedFilter());
    EXPECT_FALSE(m_canvas.SelectedPin().IsValid());
    m_canvas.SendMessage(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ((PinRef{0, 0}), m_canvas.SelectedPin());
    m_canvas.SendMessage(WM_KEYDOWN, VK_TAB);
    m_canvas.SendMessage(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(1, m_canvas.SelectedFilter());
    EXPECT_FALSE(m_canvas.SelectedPin().IsValid());
    m_canvas.SendMessage(WM_KEYDOWN, VK_TAB);
    // Enter opens the selected pin; the menu key asks for the menu.
    m_canvas.SendMessage(WM_KEYDOWN, VK_RETURN);
    m_canvas.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_canvas.m_hWnd), MAKELPARAM(-1, -1));
    EXPECT_EQ((std::vector<std::wstring>{L"pin 1/0", L"menu"}), m_events.m_log);
}
