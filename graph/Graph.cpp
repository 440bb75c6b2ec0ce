#include "Graph.h"

#include "graph/DSGraph.h"
#include "components/Ormidex.h"
#include "components/VP8Encoder.h"

namespace {

// A start that a filter refused half way leaves the filters that did pause
// paused, while the graph manager (Wine's) still counts the graph as stopped:
// its own Stop then does nothing, and releasing it never ends, since paused
// pins can't be taken apart. So the graph is stopped, then each filter.
void StopGraphAndFilters(IGraphBuilder* pGraph)
{
    CComQIPtr<IMediaControl> spControl(pGraph);
    if (spControl != nullptr)
        spControl->Stop();
    CComPtr<IEnumFilters> spEnum;
    if (FAILED(pGraph->EnumFilters(&spEnum)) || spEnum == nullptr)
        return;
    CComPtr<IBaseFilter> spFilter;
    while (spEnum->Next(1, &spFilter, nullptr) == S_OK)
    {
        spFilter->Stop();
        spFilter.Release();
    }
}

} // namespace

CGraph::CGraph() : m_graphEdit(true), m_nConnections(0)
{
}

bool CGraph::IsFilter(EFilter eFlt)
{
    return eFlt == eFltSource || eFlt == eFltEncoderVid || eFlt == eFltEncoderAud ||
           eFlt == eFltServer;
}

HRESULT CGraph::BuildGraph(LPCWSTR pszName, HWND hWnd, UINT uMsg, LPCWSTR pszEncVid,
                           LPCWSTR pszEncAud, LPCWSTR pszUrl)
{
    if (pszName == nullptr || !::IsWindow(hWnd))
        return E_INVALIDARG;

    ReleaseGraph();

    HRESULT hr = m_spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER);
    if (FAILED(hr))
    {
        ATLASSERT(!L"CGraph::BuildGraph(): m_spGraph.CoCreateInstance() FAILED");
        return hr;
    }

    size_t nLen = wcslen(pszName);
    if (nLen >= 4 && ::lstrcmpiW(pszName + nLen - 4, L".grf") == 0)
    {
        if ((hr = BuildFromGRF(m_spGraph, pszName)) != S_OK)
            return hr;
        if ((hr = FindSource()) != S_OK)
            return hr;
        if ((hr = FindServer()) != S_OK)
            return hr;
        // A saved graph without encoders is accepted.
        FindEncoder(true);
        FindEncoder(false);
    }
    else if ((hr = CreateGraph(pszName, pszEncVid, pszEncAud)) != S_OK)
    {
        return hr;
    }

    if (pszUrl != nullptr && pszUrl[0] != L'\0')
    {
        // A filter without the control interface can't take the URL; say so
        // instead of calling through nothing.
        if (m_spServer == nullptr)
        {
            ATLASSERT(!L"CGraph::BuildGraph(): IServerControl NOT FOUND");
            return E_NOINTERFACE;
        }
        hr = m_spServer->SetUrl(CComBSTR(pszUrl));
        if (hr != S_OK)
        {
            ATLASSERT(!L"CGraph::BuildGraph(): m_spServer->SetUrl() FAILED");
            return hr;
        }
    }

    PlaceVideoWindow(hWnd);

    CComQIPtr<IMediaEventEx> spEvent(m_spGraph);
    if (spEvent == nullptr)
        return E_NOINTERFACE;
    return spEvent->SetNotifyWindow(reinterpret_cast<OAHWND>(hWnd), uMsg, 0);
}

void CGraph::ReleaseGraph()
{
    if (m_spGraph != nullptr)
    {
        CComQIPtr<IMediaEventEx> spEvent(m_spGraph);
        if (spEvent != nullptr)
            spEvent->SetNotifyWindow(0, 0, 0);
    }
    m_graphEdit.Close();
    m_spServer.Release();
    m_spSource.Release();
    m_spEncoderVid.Release();
    m_spEncoderAud.Release();
    if (m_spGraph != nullptr)
        StopGraphAndFilters(m_spGraph);
    m_spGraph.Release();
    m_nConnections = 0;
}

// The graph manager's run control; empty without a graph.
CComQIPtr<IMediaControl> CGraph::GetMediaControl() const
{
    return CComQIPtr<IMediaControl>(m_spGraph);
}

HRESULT CGraph::Run()
{
    CComQIPtr<IMediaControl> spControl = GetMediaControl();
    return spControl != nullptr ? spControl->Run() : E_FAIL;
}

HRESULT CGraph::Pause()
{
    CComQIPtr<IMediaControl> spControl = GetMediaControl();
    return spControl != nullptr ? spControl->Pause() : E_FAIL;
}

HRESULT CGraph::Stop()
{
    CComQIPtr<IMediaControl> spControl = GetMediaControl();
    if (spControl == nullptr)
        return E_FAIL;
    HRESULT hr = spControl->Stop();
    m_nConnections = 0;
    return hr;
}

bool CGraph::IsStopped()
{
    CComQIPtr<IMediaControl> spControl = GetMediaControl();
    if (spControl == nullptr)
        return true;
    // A state that can't be read leaves the preset: stopped.
    OAFilterState state = State_Stopped;
    spControl->GetState(0, &state);
    return state == State_Stopped;
}

int CGraph::GetConnections()
{
    return IsStopped() ? 0 : m_nConnections;
}

long CGraph::GetGraphEvent()
{
    if (m_spGraph == nullptr)
        return 0;
    CComQIPtr<IMediaEvent> spEvent(m_spGraph);
    if (spEvent == nullptr)
        return 0;
    long lEventCode = 0;
    LONG_PTR lParam1 = 0, lParam2 = 0;
    if (spEvent->GetEvent(&lEventCode, &lParam1, &lParam2, 0) != S_OK)
        return 0;
    if (lEventCode == EC_USER + 1)
        m_nConnections = static_cast<int>(static_cast<DWORD>(lParam1));
    spEvent->FreeEventParams(lEventCode, lParam1, lParam2);
    return lEventCode;
}

HRESULT CGraph::ForceKeyFrame()
{
    if (m_spGraph == nullptr || m_spEncoderVid == nullptr || IsStopped())
        return S_FALSE;
    CComQIPtr<IQSEncoder> spQSEnc(m_spEncoderVid);
    if (spQSEnc != nullptr)
        return spQSEnc->RequestKeyFrame();
    CComQIPtr<IVP8Encoder> spVP8Enc(m_spEncoderVid);
    if (spVP8Enc != nullptr)
        return spVP8Enc->SetForceKeyframe();
    return S_FALSE;
}

unsigned int CGraph::GetPropPageMask()
{
    if (m_spGraph == nullptr)
        return 0;
    unsigned int nMask = 0;
    auto hasPages = [](IUnknown* pUnk) {
        return pUnk != nullptr && CComQIPtr<ISpecifyPropertyPages>(pUnk) != nullptr;
    };
    if (hasPages(m_spSource))
        nMask |= eFltSource;
    if (hasPages(m_spEncoderVid))
        nMask |= eFltEncoderVid;
    if (hasPages(m_spEncoderAud))
        nMask |= eFltEncoderAud;
    if (hasPages(m_spServer))
        nMask |= eFltServer;
    return nMask;
}
