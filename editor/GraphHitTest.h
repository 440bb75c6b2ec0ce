// What lies under a point of a laid-out graph: pure geometry, like the layout.
#pragma once

#include "GraphLayout.h"

enum class HitKind
{
    None,
    Filter,
    Pin,
    Connection,
};

struct GraphHit
{
    HitKind kind = HitKind::None;
    int nFilter = -1;     // Filter and Pin
    PinRef pin;           // Pin
    int nConnection = -1; // Connection: index into GraphLayout::connections
};

// A pin (its tab or its name) wins over its box, a box over a connection
// passing under it. A connection is hit within nTolerance pixels of its curve.
GraphHit HitTestGraph(const GraphLayout& layout, POINT pt, int nTolerance = 4);
