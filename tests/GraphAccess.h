// Lets a suite put a filter created by hand into a CGraph: the graph object
// offers no public way to take a filter, and its own builders need a whole
// chain of components. An explicit instantiation may name private members;
// only these two are reached, and only from tests.
#pragma once

#include "graph/Graph.h"

namespace graph_access {

template <class Tag, typename Tag::type pMember>
struct CMember
{
    friend typename Tag::type MemberOf(Tag) { return pMember; }
};

struct CGraphTag
{
    using type = CComPtr<IGraphBuilder> CGraph::*;
    friend type MemberOf(CGraphTag);
};
struct CServerTag
{
    using type = CComPtr<IServerControl> CGraph::*;
    friend type MemberOf(CServerTag);
};

template struct CMember<CGraphTag, &CGraph::m_spGraph>;
template struct CMember<CServerTag, &CGraph::m_spServer>;

} // namespace graph_access

// A new filter graph holding pFilter as "Corvasta", with the filter's control
// interface as the graph's server, as a successful build leaves them.
inline HRESULT AttachServer(CGraph& graph, IBaseFilter* pFilter)
{
    CComPtr<IGraphBuilder>& spGraph = graph.*MemberOf(graph_access::CGraphTag());
    CComPtr<IServerControl>& spServer = graph.*MemberOf(graph_access::CServerTag());
    graph.ReleaseGraph();
    HRESULT hr = spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = spGraph->AddFilter(pFilter, L"Corvasta")))
        return hr;
    CComQIPtr<IServerControl> spControl(pFilter);
    if (spControl == nullptr)
        return E_NOINTERFACE;
    spServer = spControl;
    return S_OK;
}
