#include "GraphLayout.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// The column of each filter: the length of the longest path from a source.
// A cycle, which a graph manager does not build, is cut where it closes.
std::vector<int> Columns(const GraphData& graph)
{
    const int cFilters = static_cast<int>(graph.filters.size());
    std::vector<int> columns(cFilters, 0);
    std::vector<char> state(cFilters, 0); // 0 not seen, 1 on the path, 2 done
    std::function<int(int)> visit = [&](int nFilter) -> int {
        if (state[nFilter] == 1)
            return -1;
        if (state[nFilter] == 2)
            return columns[nFilter];
        state[nFilter] = 1;
        int nColumn = 0;
        for (const PinData& pin : graph.filters[nFilter].pins)
        {
            const PinData* pPeer = graph.Pin(pin.peer);
            if (!pin.bInput || pPeer == nullptr || pPeer->bInput)
                continue;
            int nUpstream = visit(pin.peer.nFilter);
            if (nUpstream >= 0)
                nColumn = std::max(nColumn, nUpstream + 1);
        }
        state[nFilter] = 2;
        columns[nFilter] = nColumn;
        return nColumn;
    };
    for (int nFilter = 0; nFilter < cFilters; ++nFilter)
        visit(nFilter);
    return columns;
}

int Count(const FilterData& filter, bool bInput)
{
    return static_cast<int>(std::count_if(filter.pins.begin(), filter.pins.end(),
                                          [bInput](const PinData& pin) { return pin.bInput == bInput; }));
}

int WidestPin(const FilterData& filter, bool bInput, const LayoutMetrics& m)
{
    int cx = 0;
    for (const PinData& pin : filter.pins)
        if (pin.bInput == bInput)
            cx = std::max(cx, m.pinWidth(pin.name));
    return cx;
}

SIZE BoxSize(const FilterData& filter, const LayoutMetrics& m)
{
    int cxIn = WidestPin(filter, true, m), cxOut = WidestPin(filter, false, m);
    int cx = std::max({m.nMinWidth, m.titleWidth(filter.name) + 2 * m.nPadding,
                       cxIn + cxOut + 3 * m.nPadding});
    int cRows = std::max(Count(filter, true), Count(filter, false));
    return {cx, m.nTitleHeight + cRows * m.nPinPitch + m.nPadding};
}

// From the box's top to the middle of its nth row of pins.
int RowOffset(int nRow, const LayoutMetrics& m)
{
    return m.nTitleHeight + m.nPadding / 2 + nRow * m.nPinPitch + m.nPinPitch / 2;
}

// Each pin's row: inputs and outputs are counted apart, in the filter's order.
std::vector<int> PinRows(const FilterData& filter)
{
    std::vector<int> rows;
    int cIn = 0, cOut = 0;
    for (const PinData& pin : filter.pins)
        rows.push_back(pin.bInput ? cIn++ : cOut++);
    return rows;
}

class CLayOut
{
public:
    CLayOut(const GraphData& graph, const LayoutMetrics& m) : m_graph(graph), m_m(m) {}

    GraphLayout Run()
    {
        const int cFilters = static_cast<int>(m_graph.filters.size());
        m_layout.filters.resize(cFilters);
        m_sizes.resize(cFilters);
        m_rows.resize(cFilters);
        m_tops.assign(cFilters, 0);
        std::vector<int> columns = Columns(m_graph);
        int cColumns = cFilters == 0 ? 0 : *std::max_element(columns.begin(), columns.end()) + 1;
        m_byColumn.assign(cColumns, {});
        for (int nFilter = 0; nFilter < cFilters; ++nFilter)
        {
            m_layout.filters[nFilter].nColumn = columns[nFilter];
            m_byColumn[columns[nFilter]].push_back(nFilter);
            m_sizes[nFilter] = BoxSize(m_graph.filters[nFilter], m_m);
            m_rows[nFilter] = PinRows(m_graph.filters[nFilter]);
        }
        for (int nColumn = 0; nColumn < cColumns; ++nColumn)
            PlaceColumn(nColumn, nColumn == 0 ? &CLayOut::NoPull : &CLayOut::UpstreamPull);
        if (cColumns > 0)
            PlaceColumn(0, &CLayOut::DownstreamPull);
        Finish(cColumns);
        return std::move(m_layout);
    }

private:
    // Where a filter's top would like to be, from the pins it is connected
    // to; false when it has no say.
    typedef bool (CLayOut::*PullFn)(int nFilter, double* pTop) const;

    bool NoPull(int, double*) const { return false; }
    bool UpstreamPull(int nFilter, double* pTop) const { return Pull(nFilter, true, pTop); }
    bool DownstreamPull(int nFilter, double* pTop) const { return Pull(nFilter, false, pTop); }

    bool Pull(int nFilter, bool bInputs, double* pTop) const
    {
        const FilterData& filter = m_graph.filters[nFilter];
        double dSum = 0;
        int cPeers = 0;
        for (int nPin = 0; nPin < static_cast<int>(filter.pins.size()); ++nPin)
        {
            const PinData& pin = filter.pins[nPin];
            const PinData* pPeer = m_graph.Pin(pin.peer);
            if (pin.bInput != bInputs || pPeer == nullptr || pPeer->bInput == bInputs)
                continue;
            int nPeerColumn = m_layout.filters[pin.peer.nFilter].nColumn;
            int nColumn = m_layout.filters[nFilter].nColumn;
            if (bInputs ? nPeerColumn >= nColumn : nPeerColumn <= nColumn)
                continue; // only pins already placed have a say
            int yPeer = m_tops[pin.peer.nFilter] + RowOffset(m_rows[pin.peer.nFilter][pin.peer.nPin], m_m);
            dSum += yPeer - RowOffset(m_rows[nFilter][nPin], m_m);
            ++cPeers;
        }
        if (cPeers == 0)
            return false;
        *pTop = dSum / cPeers;
        return true;
    }

    // Orders a column by where its filters would like to be (by name where
    // that does not decide, so that the order in which the graph listed them
    // does not matter) and stacks them without overlap.
    void PlaceColumn(int nColumn, PullFn pfnPull)
    {
        std::vector<int>& filters = m_byColumn[nColumn];
        std::vector<double> wanted(m_graph.filters.size(), 0.0);
        std::vector<char> pulled(m_graph.filters.size(), 0);
        for (int nFilter : filters)
            pulled[nFilter] = (this->*pfnPull)(nFilter, &wanted[nFilter]);
        if (pfnPull != &CLayOut::DownstreamPull) // the sources keep their order
        {
            std::stable_sort(filters.begin(), filters.end(), [&](int a, int b) -> bool {
                if (pulled[a] != pulled[b])
                    return pulled[a];
                if (pulled[a] && wanted[a] != wanted[b])
                    return wanted[a] < wanted[b];
                if (m_graph.filters[a].name != m_graph.filters[b].name)
                    return m_graph.filters[a].name < m_graph.filters[b].name;
                return a < b;
            });
        }
        int yNext = m_m.nMargin;
        for (int nFilter : filters)
        {
            int yTop = yNext;
            if (pulled[nFilter])
                yTop = std::max(yTop, static_cast<int>(std::lround(wanted[nFilter])));
            m_tops[nFilter] = yTop;
            yNext = yTop + m_sizes[nFilter].cy + m_m.nRowGap;
        }
    }

    void Finish(int cColumns)
    {
        // Columns as wide as their widest box, boxes centred in them.
        std::vector<int> xColumns(cColumns), cxColumns(cColumns, 0);
        for (int nColumn = 0; nColumn < cColumns; ++nColumn)
            for (int nFilter : m_byColumn[nColumn])
                cxColumns[nColumn] = std::max<int>(cxColumns[nColumn], m_sizes[nFilter].cx);
        int x = m_m.nMargin + m_m.nTabWidth;
        for (int nColumn = 0; nColumn < cColumns; ++nColumn)
        {
            xColumns[nColumn] = x;
            x += cxColumns[nColumn] + m_m.nColumnGap;
        }
        int yMin = m_tops.empty() ? m_m.nMargin : *std::min_element(m_tops.begin(), m_tops.end());
        int dy = m_m.nMargin - yMin;

        SIZE& size = m_layout.size;
        size = {2 * m_m.nMargin, 2 * m_m.nMargin};
        for (int nFilter = 0; nFilter < static_cast<int>(m_layout.filters.size()); ++nFilter)
        {
            FilterPlace& place = m_layout.filters[nFilter];
            int nColumn = place.nColumn;
            int left = xColumns[nColumn] + (cxColumns[nColumn] - m_sizes[nFilter].cx) / 2;
            int top = m_tops[nFilter] + dy;
            place.rcBox = {left, top, left + m_sizes[nFilter].cx, top + m_sizes[nFilter].cy};
            place.rcTitle = {left, top, place.rcBox.right, top + m_m.nTitleHeight};
            PlacePins(nFilter, &place);
            size.cx = std::max<LONG>(size.cx, place.rcBox.right + m_m.nTabWidth + m_m.nMargin);
            size.cy = std::max<LONG>(size.cy, place.rcBox.bottom + m_m.nMargin);
        }
        for (const ConnectionData& connection : m_graph.Connections())
            m_layout.connections.push_back(PlaceConnection(connection));
    }

    void PlacePins(int nFilter, FilterPlace* pPlace) const
    {
        const FilterData& filter = m_graph.filters[nFilter];
        const RECT& rc = pPlace->rcBox;
        pPlace->pins.resize(filter.pins.size());
        for (size_t nPin = 0; nPin < filter.pins.size(); ++nPin)
        {
            const PinData& pin = filter.pins[nPin];
            PinPlace& place = pPlace->pins[nPin];
            int y = rc.top + RowOffset(m_rows[nFilter][nPin], m_m);
            int cyHalfTab = m_m.nTabHeight / 2, cyHalfRow = m_m.nPinPitch / 2;
            int cxLabel = m_m.pinWidth(pin.name);
            if (pin.bInput)
            {
                place.rcTab = {rc.left - m_m.nTabWidth, y - cyHalfTab, rc.left + 2, y + cyHalfTab};
                place.rcLabel = {rc.left + m_m.nPadding, y - cyHalfRow, rc.left + m_m.nPadding + cxLabel,
                                 y + cyHalfRow};
                place.ptAnchor = {rc.left - m_m.nTabWidth, y};
            }
            else
            {
                place.rcTab = {rc.right - 2, y - cyHalfTab, rc.right + m_m.nTabWidth, y + cyHalfTab};
                place.rcLabel = {rc.right - m_m.nPadding - cxLabel, y - cyHalfRow, rc.right - m_m.nPadding,
                                 y + cyHalfRow};
                place.ptAnchor = {rc.right + m_m.nTabWidth, y};
            }
        }
    }

    ConnectionPlace PlaceConnection(const ConnectionData& connection) const
    {
        ConnectionPlace place;
        place.connection = connection;
        PlaceCurve(m_layout, m_m.nColumnGap, &place);
        return place;
    }

    const GraphData& m_graph;
    const LayoutMetrics& m_m;
    GraphLayout m_layout;
    std::vector<SIZE> m_sizes;
    std::vector<std::vector<int>> m_rows;
    std::vector<int> m_tops;
    std::vector<std::vector<int>> m_byColumn;
};

} // namespace

void PlaceCurve(const GraphLayout& layout, int nColumnGap, ConnectionPlace* pPlace)
{
    const ConnectionData& connection = pPlace->connection;
    POINT ptFrom = layout.filters[connection.from.nFilter].pins[connection.from.nPin].ptAnchor;
    POINT ptTo = layout.filters[connection.to.nFilter].pins[connection.to.nPin].ptAnchor;
    // The curve leaves and enters horizontally; a link that runs back (in a
    // cycle, or after a filter was moved) swings out further.
    int dx = ptTo.x > ptFrom.x ? std::max<int>(24, (ptTo.x - ptFrom.x) / 2) : 3 * nColumnGap / 2;
    pPlace->rgpt[0] = ptFrom;
    pPlace->rgpt[1] = {ptFrom.x + dx, ptFrom.y};
    pPlace->rgpt[2] = {ptTo.x - dx, ptTo.y};
    pPlace->rgpt[3] = ptTo;
}

void MoveFilterPlace(GraphLayout* pLayout, int nFilter, POINT ptOffset, const LayoutMetrics& metrics)
{
    FilterPlace& place = pLayout->filters[nFilter];
    // Never past the top or left margin, where it could not be scrolled to.
    ptOffset.x = std::max<LONG>(ptOffset.x, metrics.nMargin + metrics.nTabWidth - place.rcBox.left);
    ptOffset.y = std::max<LONG>(ptOffset.y, metrics.nMargin - place.rcBox.top);
    ::OffsetRect(&place.rcBox, ptOffset.x, ptOffset.y);
    ::OffsetRect(&place.rcTitle, ptOffset.x, ptOffset.y);
    for (PinPlace& pin : place.pins)
    {
        ::OffsetRect(&pin.rcTab, ptOffset.x, ptOffset.y);
        ::OffsetRect(&pin.rcLabel, ptOffset.x, ptOffset.y);
        pin.ptAnchor.x += ptOffset.x;
        pin.ptAnchor.y += ptOffset.y;
    }
    for (ConnectionPlace& connection : pLayout->connections)
        if (connection.connection.from.nFilter == nFilter || connection.connection.to.nFilter == nFilter)
            PlaceCurve(*pLayout, metrics.nColumnGap, &connection);
    pLayout->size.cx = std::max<LONG>(pLayout->size.cx, place.rcBox.right + metrics.nTabWidth + metrics.nMargin);
    pLayout->size.cy = std::max<LONG>(pLayout->size.cy, place.rcBox.bottom + metrics.nMargin);
}

GraphLayout LayOutGraph(const GraphData& graph, const LayoutMetrics& metrics)
{
    return CLayOut(graph, metrics).Run();
}

std::vector<POINT> FlattenCurve(const POINT rgpt[4], int nSegments)
{
    std::vector<POINT> points;
    points.reserve(nSegments + 1);
    for (int i = 0; i <= nSegments; ++i)
    {
        double t = static_cast<double>(i) / nSegments, u = 1 - t;
        double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        points.push_back({std::lround(a * rgpt[0].x + b * rgpt[1].x + c * rgpt[2].x + d * rgpt[3].x),
                          std::lround(a * rgpt[0].y + b * rgpt[1].y + c * rgpt[2].y + d * rgpt[3].y)});
    }
    return points;
}
