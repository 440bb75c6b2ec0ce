// Lets tests look at and set the graph object's members.
#pragma once

#include "graph/Graph.h"

struct CGraphInspector
{
    static CComPtr<IGraphBuilder>& Graph(CGraph& g) { return g.m_spGraph; }
    static CComPtr<IServerControl>& Server(CGraph& g) { return g.m_spServer; }
    static CComPtr<IBaseFilter>& Source(CGraph& g) { return g.m_spSource; }
    static CComPtr<IBaseFilter>& EncoderVid(CGraph& g) { return g.m_spEncoderVid; }
    static CComPtr<IBaseFilter>& EncoderAud(CGraph& g) { return g.m_spEncoderAud; }
    static int Connections(CGraph& g) { return g.m_nConnections; }
    static CGraphEdit& GraphEdit(CGraph& g) { return g.m_graphEdit; }
};

// References held on a COM object besides the caller's own.
inline ULONG RefsOf(IUnknown* pUnk)
{
    pUnk->AddRef();
    return pUnk->Release();
}

// A new filter graph holding pFilter as "Corvasta", with the filter's control
// interface as the graph's server, as a successful build leaves them.
inline HRESULT AttachServer(CGraph& graph, IBaseFilter* pFilter)
{
    graph.ReleaseGraph();
    CComPtr<IGraphBuilder>& spGraph = CGraphInspector::Graph(graph);
    HRESULT hr = spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = spGraph->AddFilter(pFilter, L"Corvasta")))
        return hr;
    CComQIPtr<IServerControl> spControl(pFilter);
    if (spControl == nullptr)
        return E_NOINTERFACE;
    CGraphInspector::Server(graph) = spControl;
    return S_OK;
}
