// Loading a saved graph's description into a graph manager.
#pragma once

#include <dshow.h>

#include <string>
#include <vector>

#include "grf/GrfGraph.h"

namespace grf {

// One step of a load that failed: a filter that could not be created or set
// up, a connection that could not be made, or the clock.
struct LoadProblem
{
    HRESULT hr = S_OK;
    std::wstring what;           // e.g. filter "Video Renderer" {B87BEB7B-...}
};

// Creates each filter by class id, hands it its data (IPersistStream) and its
// SOURCE or SINK name, adds it under its saved name, connects the saved pins
// directly with the saved media types and sets the clock.
// Without pProblems the load stops at the first failure and returns its
// code; with it, every failure is listed, the rest is loaded, and the result
// is the first failure's code (S_OK when there was none).
HRESULT LoadGraph(IFilterGraph* pGraph, const Graph& graph, std::vector<LoadProblem>* pProblems = nullptr);

// Reads the stream (grf::ReadGraphStream) and loads it.
HRESULT LoadGraphStream(IFilterGraph* pGraph, IStream* pStream, std::vector<LoadProblem>* pProblems = nullptr);

} // namespace grf
