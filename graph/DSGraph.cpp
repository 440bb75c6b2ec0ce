#include "DSGraph.h"

// Not built yet: the saved-graph reader comes with a later change.
HRESULT BuildFromGRF(IGraphBuilder* pGraph, LPCWSTR pszFile)
{
    if (pGraph == nullptr || pszFile == nullptr)
        return E_INVALIDARG;
    return E_NOTIMPL;
}
