// Saving a graph manager's graph into a description.
#pragma once

#include <dshow.h>

#include "grf/GrfGraph.h"

namespace grf {

// Filters in the graph manager's order, numbered from 1, with their
// IPersistStream data and SOURCE or SINK names; connections upstream first,
// each with its whole media type; the graph's clock.
HRESULT SaveGraph(IFilterGraph* pGraph, Graph* pOut);

} // namespace grf
