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
};

// References held on a COM object besides the caller's own.
inline ULONG RefsOf(IUnknown* pUnk)
{
    pUnk->AddRef();
    return pUnk->Release();
}
