// The editor's layout and hit-testing as pure geometry: columns by the
// longest path from a source, no overlaps, data flowing left to right,
// positions that do not depend on the order in which a graph lists its
// filters, and what a point hits.
#include <gtest/gtest.h>

#include "editor/GraphHitTest.h"
#include "editor/GraphLayout.h"

#include <algorithm>
#include <map>
#include <string>

namespace {

struct Link
{
    const wchar_t* pszFrom;
    const wchar_t* pszFromPin;
    const wchar_t* pszTo;
    const wchar_t* pszToPin;
};

struct FilterShape
{
    const wchar_t* pszName;
    std::vector<std::wstring> inputs;
    std::vector<std::wstring> outputs;
};

PinRef FindPin(const GraphData& graph, const wchar_t* pszFilter, const wchar_t* pszPin)
{
    for (int nFilter = 0; nFilter < static_cast<int>(graph.filters.size()); ++nFilter)
        for (int nPin = 0; nPin < static_cast<int>(graph.filters[nFilter].pins.size()); ++nPin)
            if (graph.filters[nFilter].name == pszFilter && graph.filters[nFilter].pins[nPin].name == pszPin)
                return {nFilter, nPin};
    ADD_FAILURE() << "no pin " << pszPin << " on " << pszFilter;
    return {};
}

GraphData MakeGraph(const std::vector<FilterShape>& shapes, const std::vector<Link>& links)
{
    GraphData graph;
    for (const FilterShape& shape : shapes)
    {
        FilterData filter;
        filter.name = shape.pszName;
        for (const std::wstring& name : shape.inputs)
            filter.pins.push_back({name, true, {}});
        for (const std::wstring& name : shape.outputs)
            filter.pins.push_back({name, false, {}});
        graph.filters.push_back(filter);
    }
    for (const Link& link : links)
    {
        PinRef from = FindPin(graph, link.pszFrom, link.pszFromPin);
        PinRef to = FindPin(graph, link.pszTo, link.pszToPin);
        graph.filters[from.nFilter].pins[from.nPin].peer = to;
        graph.filters[to.nFilter].pins[to.nPin].peer = from;
    }
    return graph;
}

// Texts 7 pixels a character, titles 8: what a canvas would measure.
LayoutMetrics TestMetrics()
{
    LayoutMetrics metrics;
    metrics.titleWidth = [](const std::wstring& text) { return static_cast<int>(text.size()) * 8; };
    metrics.pinWidth = [](const std::wstring& text) { return static_cast<int>(text.size()) * 7; };
    return metrics;
}

const std::vector<FilterShape> s_corvastaFilters = {
    {L"Ormidex Video Generator", {}, {L"Video", L"Audio"}},
    {L"Ormidex QS Encoder", {L"Input"}, {L"Output"}},
    {L"Ormidex Opus Encoder", {L"Input"}, {L"Output"}},
    {L"Corvasta", {L"Video", L"Audio"}, {}},
};
const std::vector<Link> s_corvastaLinks = {
    {L"Ormidex Video Generator", L"Video", L"Ormidex QS Encoder", L"Input"},
    {L"Ormidex QS Encoder", L"Output", L"Corvasta", L"Video"},
    {L"Ormidex Video Generator", L"Audio", L"Ormidex Opus Encoder", L"Input"},
    {L"Ormidex Opus Encoder", L"Output", L"Corvasta", L"Audio"},
};

bool Overlap(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The box with its pins' tabs: what must not touch another filter.
RECT Footprint(const FilterPlace& place)
{
    RECT rc = place.rcBox;
    for (const PinPlace& pin : place.pins)
    {
        rc.left = std::min(rc.left, pin.rcTab.left);
        rc.right = std::max(rc.right, pin.rcTab.right);
    }
    return rc;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

// What holds for every layout: inside the extent, no two filters touch,
// pins on their side, connections from an output's right to an input's left.
void ExpectWellFormed(const GraphData& graph, const GraphLayout& layout)
{
    ASSERT_EQ(graph.filters.size(), layout.filters.size());
    RECT rcAll = {0, 0, layout.size.cx, layout.size.cy};
    for (size_t i = 0; i < layout.filters.size(); ++i)
    {
        const FilterPlace& place = layout.filters[i];
        EXPECT_TRUE(Inside(Footprint(place), rcAll)) << i;
        EXPECT_TRUE(Inside(place.rcTitle, place.rcBox)) << i;
        for (size_t j = i + 1; j < layout.filters.size(); ++j)
            EXPECT_FALSE(Overlap(Footprint(place), Footprint(layout.filters[j])))
                << graph.filters[i].name.c_str() << " and " << graph.filters[j].name.c_str();
        ASSERT_EQ(graph.filters[i].pins.size(), place.pins.size());
        for (size_t p = 0; p < place.pins.size(); ++p)
        {
            const PinPlace& pin = place.pins[p];
            int xEdge = graph.filters[i].pins[p].bInput ? place.rcBox.left : place.rcBox.right;
            EXPECT_TRUE(pin.rcTab.left < xEdge && xEdge < pin.rcTab.right) << i << "/" << p;
            EXPECT_TRUE(Inside(pin.rcLabel, place.rcBox)) << i << "/" << p;
            EXPECT_GE(pin.ptAnchor.y, place.rcTitle.bottom);
            EXPECT_LT(pin.ptAnchor.y, place.rcBox.bottom);
        }
    }
    for (const ConnectionPlace& connection : layout.connections)
    {
        const FilterPlace& from = layout.filters[connection.connection.from.nFilter];
        const FilterPlace& to = layout.filters[connection.connection.to.nFilter];
        EXPECT_LT(from.nColumn, to.nColumn);
        EXPECT_LT(from.rcBox.right, to.rcBox.left);
        EXPECT_EQ(from.pins[connection.connection.from.nPin].ptAnchor.x, connection.rgpt[0].x);
        EXPECT_EQ(to.pins[connection.connection.to.nPin].ptAnchor.x, connection.rgpt[3].x);
    }
}

std::map<std::wstring, RECT> BoxesByName(const GraphData& graph, const GraphLayout& layout)
{
    std::map<std::wstring, RECT> boxes;
    for (size_t i = 0; i < graph.filters.size(); ++i)
        boxes[graph.filters[i].name] = layout.filters[i].rcBox;
    return boxes;
}

int Column(const GraphData& graph, const GraphLayout& layout, const wchar_t* pszName)
{
    for (size_t i = 0; i < graph.filters.size(); ++i)
        if (graph.filters[i].name == pszName)
            return layout.filters[i].nColumn;
    return -1;
}

} // namespace

TEST(GraphLayoutTest, CorvastaGraphRunsLeftToRightInThreeColumns)
{
    GraphData graph = MakeGraph(s_corvastaFilters, s_corvastaLinks);
    GraphLayout layout = LayOutGraph(graph, TestMetrics());
    ExpectWellFormed(graph, layout);
    ASSERT_EQ(4u, layout.connections.size());

    EXPECT_EQ(0, Column(graph, layout, L"Ormidex Video Generator"));
    EXPECT_EQ(1, Column(graph, layout, L"Ormidex QS Encoder"));
    EXPECT_EQ(1, Column(graph, layout, L"Ormidex Opus Encoder"));
    EXPECT_EQ(2, Column(graph, layout, L"Corvasta"));

    std::map<std::wstring, RECT> boxes = BoxesByName(graph, layout);
    // The encoders follow the generator's pins: video above audio.
    EXPECT_LT(boxes[L"Ormidex QS Encoder"].bottom, boxes[L"Ormidex Opus Encoder"].top);
    // The generator is wide enough for its name; the layout starts at the margin.
    EXPECT_GE(boxes[L"Ormidex Video Generator"].right - boxes[L"Ormidex Video Generator"].left,
              8 * 23 + 2 * 10);
    LONG yTop = std::min({boxes[L"Ormidex Video Generator"].top, boxes[L"Ormidex QS Encoder"].top,
                          boxes[L"Corvasta"].top});
    EXPECT_EQ(16, yTop);
}

TEST(GraphLayoutTest, PositionsDoNotDependOnTheOrderOfFilters)
{
    GraphData graph = MakeGraph(s_corvastaFilters, s_corvastaLinks);
    std::map<std::wstring, RECT> expected = BoxesByName(graph, LayOutGraph(graph, TestMetrics()));

    std::vector<FilterShape> shapes = s_corvastaFilters;
    std::sort(shapes.begin(), shapes.end(),
              [](const FilterShape& a, const FilterShape& b) { return wcscmp(a.pszName, b.pszName) < 0; });
    do
    {
        GraphData permuted = MakeGraph(shapes, s_corvastaLinks);
        GraphLayout layout = LayOutGraph(permuted, TestMetrics());
        std::map<std::wstring, RECT> boxes = BoxesByName(permuted, layout);
        for (const auto& entry : expected)
            EXPECT_TRUE(::EqualRect(&entry.second, &boxes[entry.first])) << entry.first.c_str();
    } while (std::next_permutation(shapes.begin(), shapes.end(), [](const FilterShape& a, const FilterShape& b) {
        return wcscmp(a.pszName, b.pszName) < 0;
    }));

    // The same graph laid out again gives the same picture.
    GraphLayout again = LayOutGraph(graph, TestMetrics());
    std::map<std::wstring, RECT> boxes = BoxesByName(graph, again);
    for (const auto& entry : expected)
        EXPECT_TRUE(::EqualRect(&entry.second, &boxes[entry.first])) << entry.first.c_str();
}

TEST(GraphLayoutTest, ColumnsFollowTheLongestPathFromASource)
{
    struct Case
    {
        const char* pszWhat;
        std::vector<FilterShape> filters;
        std::vector<Link> links;
        std::vector<std::pair<const wchar_t*, int>> columns;
    };
    const Case rgCases[] = {
        {"a shortcut does not pull a filter forward",
         {{L"A", {}, {L"o1", L"o2"}}, {L"B", {L"i"}, {L"o"}}, {L"C", {L"i1", L"i2"}, {}}},
         {{L"A", L"o1", L"B", L"i"}, {L"B", L"o", L"C", L"i1"}, {L"A", L"o2", L"C", L"i2"}},
         {{L"A", 0}, {L"B", 1}, {L"C", 2}}},
        {"unconnected filters and pins stay in the first column",
         {{L"Lonely", {L"i"}, {L"o"}}, {L"Source", {}, {L"o"}}, {L"Sink", {L"i"}, {}}},
         {{L"Source", L"o", L"Sink", L"i"}},
         {{L"Lonely", 0}, {L"Source", 0}, {L"Sink", 1}}},
        {"two chains of different length",
         {{L"S1", {}, {L"o"}}, {L"T1", {L"i"}, {L"o"}}, {L"T2", {L"i"}, {L"o"}}, {L"R1", {L"i"}, {}},
          {L"S2", {}, {L"o"}}, {L"R2", {L"i"}, {}}},
         {{L"S1", L"o", L"T1", L"i"}, {L"T1", L"o", L"T2", L"i"}, {L"T2", L"o", L"R1", L"i"},
          {L"S2", L"o", L"R2", L"i"}},
         {{L"S1", 0}, {L"T1", 1}, {L"T2", 2}, {L"R1", 3}, {L"S2", 0}, {L"R2", 1}}},
        {"a filter without pins",
         {{L"Clock", {}, {}}, {L"Source", {}, {L"o"}}, {L"Sink", {L"i"}, {}}},
         {{L"Source", L"o", L"Sink", L"i"}},
         {{L"Clock", 0}, {L"Source", 0}, {L"Sink", 1}}},
    };
    for (const Case& c : rgCases)
    {
        SCOPED_TRACE(c.pszWhat);
        GraphData graph = MakeGraph(c.filters, c.links);
        GraphLayout layout = LayOutGraph(graph, TestMetrics());
        ExpectWellFormed(graph, layout);
        EXPECT_EQ(c.links.size(), layout.connections.size());
        for (const auto& column : c.columns)
            EXPECT_EQ(column.second, Column(graph, layout, column.first)) << column.first;
    }
}

TEST(GraphLayoutTest, CycleAndEmptyGraphAreLaidOut)
{
    // A graph manager refuses cycles; a layout of one still ends.
    GraphData cycle = MakeGraph({{L"A", {L"i"}, {L"o"}}, {L"B", {L"i"}, {L"o"}}},
                                {{L"A", L"o", L"B", L"i"}, {L"B", L"o", L"A", L"i"}});
    GraphLayout layout = LayOutGraph(cycle, TestMetrics());
    ASSERT_EQ(2u, layout.filters.size());
    EXPECT_NE(layout.filters[0].nColumn, layout.filters[1].nColumn);
    EXPECT_FALSE(Overlap(Footprint(layout.filters[0]), Footprint(layout.filters[1])));
    EXPECT_EQ(2u, layout.connections.size());

    GraphLayout empty = LayOutGraph(GraphData(), TestMetrics());
    EXPECT_TRUE(empty.filters.empty());
    EXPECT_TRUE(empty.connections.empty());
    EXPECT_EQ(32, empty.size.cx);
    EXPECT_EQ(32, empty.size.cy);
}

TEST(GraphLayoutTest, ManyFiltersInOneColumnAreStackedWithGaps)
{
    std::vector<FilterShape> filters = {{L"Tee", {}, {}}};
    std::vector<Link> links;
    static const wchar_t* rgOut[] = {L"o1", L"o2", L"o3", L"o4", L"o5", L"o6"};
    static const wchar_t* rgSink[] = {L"Sink 1", L"Sink 2", L"Sink 3", L"Sink 4", L"Sink 5", L"Sink 6"};
    for (int i = 0; i < 6; ++i)
    {
        filters[0].outputs.push_back(rgOut[i]);
        filters.push_back({rgSink[i], {L"In"}, {}});
        links.push_back({L"Tee", rgOut[i], rgSink[i], L"In"});
    }
    GraphData graph = MakeGraph(filters, links);
    LayoutMetrics metrics = TestMetrics();
    GraphLayout layout = LayOutGraph(graph, metrics);
    ExpectWellFormed(graph, layout);

    // The sinks keep the order of the pins that feed them, a gap apart.
    for (int i = 2; i <= 6; ++i)
        EXPECT_EQ(layout.filters[i - 1].rcBox.bottom + metrics.nRowGap, layout.filters[i].rcBox.top) << i;
    // The source sits in the middle of what it feeds.
    LONG yMiddle = (layout.filters[0].rcBox.top + layout.filters[0].rcBox.bottom) / 2;
    EXPECT_GT(yMiddle, layout.filters[3].rcBox.top - metrics.nRowGap);
    EXPECT_LT(yMiddle, layout.filters[4].rcBox.bottom + metrics.nRowGap);
}

TEST(GraphHitTestTest, PinsBoxesAndConnections)
{
    GraphData graph = MakeGraph(s_corvastaFilters, s_corvastaLinks);
    GraphLayout layout = LayOutGraph(graph, TestMetrics());
    PinRef qsOut = FindPin(graph, L"Ormidex QS Encoder", L"Output");
    const FilterPlace& qs = layout.filters[qsOut.nFilter];
    const PinPlace& pin = qs.pins[qsOut.nPin];

    GraphHit hit = HitTestGraph(layout, {pin.rcTab.right - 1, pin.ptAnchor.y});
    EXPECT_EQ(HitKind::Pin, hit.kind);
    EXPECT_EQ(qsOut, hit.pin);
    hit = HitTestGraph(layout, {pin.rcLabel.left, pin.ptAnchor.y});
    EXPECT_EQ(HitKind::Pin, hit.kind);
    EXPECT_EQ(qsOut, hit.pin);

    hit = HitTestGraph(layout, {(qs.rcTitle.left + qs.rcTitle.right) / 2, qs.rcTitle.top + 2});
    EXPECT_EQ(HitKind::Filter, hit.kind);
    EXPECT_EQ(qsOut.nFilter, hit.nFilter);

    // The middle of the QS encoder's connection to Corvasta, and a point
    // well off it.
    int nConnection = -1;
    for (int i = 0; i < static_cast<int>(layout.connections.size()); ++i)
        if (layout.connections[i].connection.from == qsOut)
            nConnection = i;
    ASSERT_GE(nConnection, 0);
    std::vector<POINT> points = FlattenCurve(layout.connections[nConnection].rgpt);
    POINT ptMiddle = points[points.size() / 2];
    hit = HitTestGraph(layout, {ptMiddle.x, ptMiddle.y + 3});
    EXPECT_EQ(HitKind::Connection, hit.kind);
    EXPECT_EQ(nConnection, hit.nConnection);
    EXPECT_EQ(HitKind::None, HitTestGraph(layout, {ptMiddle.x, ptMiddle.y + 30}).kind);
    EXPECT_EQ(HitKind::None, HitTestGraph(layout, {1, 1}).kind);
    EXPECT_EQ(HitKind::None, HitTestGraph(layout, {layout.size.cx + 5, layout.size.cy + 5}).kind);
}

TEST(GraphHitTestTest, CurveEndsAtItsAnchors)
{
    POINT rgpt[4] = {{10, 20}, {60, 20}, {40, 90}, {90, 90}};
    std::vector<POINT> points = FlattenCurve(rgpt, 10);
    ASSERT_EQ(11u, points.size());
    EXPECT_EQ(10, points.front().x);
    EXPECT_EQ(20, points.front().y);
    EXPECT_EQ(90, points.back().x);
    EXPECT_EQ(90, points.back().y);
    // Symmetric control points put the middle halfway.
    EXPECT_EQ(50, points[5].x);
    EXPECT_EQ(55, points[5].y);
}
