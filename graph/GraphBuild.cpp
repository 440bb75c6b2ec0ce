// Building the graph from components.
#include "Graph.h"

// Not built yet: the component builder comes with the stand-in filters.
HRESULT CGraph::CreateGraph(LPCWSTR /*pszSource*/, LPCWSTR /*pszEncVid*/, LPCWSTR /*pszEncAud*/)
{
    return E_NOTIMPL;
}
