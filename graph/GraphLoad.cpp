// Locating the source, the Corvasta filter and the encoders of a loaded graph.
#include "Graph.h"

// Not built yet: saved graphs are loaded by a later change.
HRESULT CGraph::FindSource()
{
    return E_NOTIMPL;
}

HRESULT CGraph::FindServer()
{
    return E_NOTIMPL;
}

HRESULT CGraph::FindEncoder(bool /*bVideo*/)
{
    return E_NOTIMPL;
}
