// The graph object: the one filter graph around the Corvasta filter, the
// filters that play a role in it and the connection count it reports.
#pragma once

#include "atlbase.h"

#include "atldshow.h"

#include "graph/Corvasta.h"
#include "graphedit/GraphEdit.h"

// Filter roles, single bits so that a set of them forms a mask.
enum EFilter
{
    eFltSource = 1,
    eFltEncoderVid = 2,
    eFltEncoderAud = 4,
    eFltServer = 8,
};

class CGraph
{
public:
    CGraph();
    CGraph(const CGraph&) = delete;
    CGraph& operator=(const CGraph&) = delete;

    static bool IsFilter(EFilter eFlt);

    HRESULT BuildGraph(LPCWSTR pszName, HWND hWnd, UINT uMsg, LPCWSTR pszEncVid, LPCWSTR pszEncAud,
                       LPCWSTR pszUrl);
    void ReleaseGraph();

    HRESULT Run();
    HRESULT Pause();
    HRESULT Stop();
    bool IsStopped();
    bool IsEmpty() const { return m_spGraph == nullptr; }
    bool HasGraph() const { return m_spGraph != nullptr; }

    long GetGraphEvent();
    HRESULT ForceKeyFrame();
    int GetConnections();

    unsigned int GetPropPageMask();

    HRESULT PlaceVideoWindow(HWND hWnd);

private:
    // Building from components and loading a saved graph.
    HRESULT CreateGraph(LPCWSTR pszSource, LPCWSTR pszEncVid, LPCWSTR pszEncAud);
    HRESULT FindSource();
    HRESULT FindServer();
    HRESULT FindEncoder(bool bVideo);

    CComPtr<IGraphBuilder> m_spGraph;
    CComPtr<IServerControl> m_spServer;
    CComPtr<IBaseFilter> m_spSource;
    CComPtr<IBaseFilter> m_spEncoderVid;
    CComPtr<IBaseFilter> m_spEncoderAud;
    CGraphEdit m_graphEdit;
    int m_nConnections;
};
