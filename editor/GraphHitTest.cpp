#include "GraphHitTest.h"

namespace {

bool Contains(const RECT& rc, POINT pt)
{
    return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom;
}

// Squared distance from pt to the segment a-b.
double DistanceSquared(POINT pt, POINT a, POINT b)
{
    double dx = b.x - a.x, dy = b.y - a.y;
    double t = 0;
    double len2 = dx * dx + dy * dy;
    if (len2 > 0)
        t = ((pt.x - a.x) * dx + (pt.y - a.y) * dy) / len2;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    double ex = a.x + t * dx - pt.x, ey = a.y + t * dy - pt.y;
    return ex * ex + ey * ey;
}

} // namespace

GraphHit HitTestGraph(const GraphLayout& layout, POINT pt, int nTolerance)
{
    GraphHit hit;
    for (int nFilter = 0; nFilter < static_cast<int>(layout.filters.size()); ++nFilter)
    {
        const FilterPlace& filter = layout.filters[nFilter];
        for (int nPin = 0; nPin < static_cast<int>(filter.pins.size()); ++nPin)
        {
            const PinPlace& pin = filter.pins[nPin];
            if (Contains(pin.rcTab, pt) || Contains(pin.rcLabel, pt))
            {
                hit.kind = HitKind::Pin;
                hit.nFilter = nFilter;
                hit.pin = {nFilter, nPin};
                return hit;
            }
        }
    }
    for (int nFilter = 0; nFilter < static_cast<int>(layout.filters.size()); ++nFilter)
    {
        if (Contains(layout.filters[nFilter].rcBox, pt))
        {
            hit.kind = HitKind::Filter;
            hit.nFilter = nFilter;
            return hit;
        }
    }
    double dLimit = static_cast<double>(nTolerance) * nTolerance;
    for (int nConnection = 0; nConnection < static_cast<int>(layout.connections.size()); ++nConnection)
    {
        std::vector<POINT> points = FlattenCurve(layout.connections[nConnection].rgpt);
        for (size_t i = 1; i < points.size(); ++i)
        {
            if (DistanceSquared(pt, points[i - 1], points[i]) <= dLimit)
            {
                hit.kind = HitKind::Connection;
                hit.nConnection = nConnection;
                return hit;
            }
        }
    }
    return hit;
}
