// Locating the source, the Corvasta filter and the encoders of a loaded graph.
#include "Graph.h"

#include "graph/ComponentIds.h"

namespace {

// Whether a filter's connections all leave it: at least one connected output
// pin and no connected input pin. A pin whose direction can't be read counts
// as an output and ends the walk.
bool IsSourceShaped(IBaseFilter* pFilter)
{
    CComPtr<IEnumPins> spEnumPins;
    if (FAILED(pFilter->EnumPins(&spEnumPins)) || spEnumPins == nullptr)
        return false;
    int nInputs = 0, nOutputs = 0;
    for (;;)
    {
        CComPtr<IPin> spPin;
        if (spEnumPins->Next(1, &spPin, nullptr) != S_OK)
            break;
        CComPtr<IPin> spConnected;
        if (spPin->ConnectedTo(&spConnected) != S_OK)
            continue;
        PIN_DIRECTION dir = PINDIR_OUTPUT;
        if (FAILED(spPin->QueryDirection(&dir)))
        {
            nOutputs++;
            break;
        }
        if (dir == PINDIR_INPUT)
        {
            nInputs++;
            break;
        }
        nOutputs++;
    }
    return nInputs == 0 && nOutputs > 0;
}

} // namespace

HRESULT CGraph::FindSource()
{
    if (m_spGraph == nullptr || m_spSource != nullptr)
        return E_FAIL;
    CComPtr<IEnumFilters> spEnumFilters;
    HRESULT hr = m_spGraph->EnumFilters(&spEnumFilters);
    if (FAILED(hr))
    {
        ATLASSERT(!L"CGraph::FindSource(): m_spGraph.EnumFilters() FAILED");
        return hr;
    }
    for (;;)
    {
        CComPtr<IBaseFilter> spFilter;
        hr = spEnumFilters->Next(1, &spFilter, nullptr);
        if (hr == S_FALSE)
            return S_FALSE;
        if (hr != S_OK)
        {
            ATLASSERT(!L"CGraph::FindSource(): spEnumFilters->Next() FAILED");
            return hr;
        }
        if (IsSourceShaped(spFilter))
        {
            m_spSource = spFilter;
            return S_OK;
        }
    }
}

HRESULT CGraph::FindServer()
{
    if (m_spGraph == nullptr || m_spServer != nullptr)
        return E_FAIL;
    CComPtr<IEnumFilters> spEnumFilters;
    HRESULT hr = m_spGraph->EnumFilters(&spEnumFilters);
    if (FAILED(hr))
    {
        ATLASSERT(!L"CGraph::FindServer(): m_spGraph.EnumFilters() FAILED");
        return hr;
    }
    for (;;)
    {
        CComPtr<IBaseFilter> spFilter;
        hr = spEnumFilters->Next(1, &spFilter, nullptr);
        if (hr == S_FALSE)
            return S_FALSE;
        if (hr != S_OK)
        {
            ATLASSERT(!L"CGraph::FindServer(): spEnumFilters->Next() FAILED");
            return hr;
        }
        CLSID clsid = GUID_NULL;
        hr = spFilter->GetClassID(&clsid);
        if (FAILED(hr))
        {
            ATLASSERT(!L"CGraph::FindServer(): spFilter->GetClassID() FAILED");
            return hr;
        }
        if (clsid == CLSID_CorvastaFilter)
            return spFilter.QueryInterface(&m_spServer);
    }
}

HRESULT CGraph::FindEncoder(bool bVideo)
{
    CComPtr<IBaseFilter>& spEncoder = bVideo ? m_spEncoderVid : m_spEncoderAud;
    if (spEncoder != nullptr)
        return E_FAIL;
    if (m_spGraph == nullptr || m_spServer == nullptr)
        return E_FAIL;

    CComQIPtr<IBaseFilter> spServer(m_spServer);
    if (spServer == nullptr)
        return E_NOINTERFACE;
    CComPtr<IEnumPins> spEnumPins;
    HRESULT hr = spServer->EnumPins(&spEnumPins);
    if (FAILED(hr))
        return hr;
    const GUID& majortypeWanted = bVideo ? MEDIATYPE_Video : MEDIATYPE_Audio;
    for (;;)
    {
        CComPtr<IPin> spPin;
        if ((hr = spEnumPins->Next(1, &spPin, nullptr)) != S_OK)
            return hr;
        CComPtr<IPin> spConnected;
        if (spPin->ConnectedTo(&spConnected) != S_OK)
            continue;

        AM_MEDIA_TYPE mt = {};
        if (FAILED(hr = spPin->ConnectionMediaType(&mt)))
            return hr;
        GUID majortype = mt.majortype;
        // Only the major type is wanted: free the rest at once.
        if (mt.cbFormat != 0)
            ::CoTaskMemFree(mt.pbFormat);
        if (mt.pUnk != nullptr)
            mt.pUnk->Release();
        if (majortype != majortypeWanted)
            continue;

        PIN_INFO info = {};
        if (FAILED(hr = spConnected->QueryPinInfo(&info)))
            return hr;
        if (info.pFilter == nullptr)
            return E_UNEXPECTED;
        spEncoder.Attach(info.pFilter);
        return S_OK;
    }
}
