// Locating the source, the Corvasta filter and the encoders of a loaded graph.
#include "Graph.h"

#include "dshow/MediaType.h"
#include "components/ComponentIds.h"

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

enum EWalkStep
{
    eWalkNone,
    eWalkEnum,
    eWalkNext,
};

// Offers the graph's filters one at a time, in the graph manager's order, to
// fTake, which answers S_FALSE to go on; anything else ends the walk and is
// returned. The end of the filters is S_FALSE. *peFailed names the
// enumeration call that failed, if one did.
template <class F>
HRESULT WalkFilters(IFilterGraph* pGraph, EWalkStep* peFailed, F fTake)
{
    *peFailed = eWalkNone;
    CComPtr<IEnumFilters> spEnumFilters;
    HRESULT hr = pGraph->EnumFilters(&spEnumFilters);
    if (FAILED(hr))
    {
        *peFailed = eWalkEnum;
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
            *peFailed = eWalkNext;
            return hr;
        }
        if ((hr = fTake(spFilter)) != S_FALSE)
            return hr;
    }
}

} // namespace

HRESULT CGraph::FindSource()
{
    if (m_spGraph == nullptr || m_spSource != nullptr)
        return E_FAIL;
    EWalkStep eFailed = eWalkNone;
    HRESULT hr = WalkFilters(m_spGraph, &eFailed, [this](IBaseFilter* pFilter) {
        if (!IsSourceShaped(pFilter))
            return S_FALSE;
        m_spSource = pFilter;
        return S_OK;
    });
    if (eFailed == eWalkEnum)
        ATLASSERT(!L"CGraph::FindSource(): m_spGraph.EnumFilters() FAILED");
    else if (eFailed == eWalkNext)
        ATLASSERT(!L"CGraph::FindSource(): spEnumFilters->Next() FAILED");
    return hr;
}

HRESULT CGraph::FindServer()
{
    if (m_spGraph == nullptr || m_spServer != nullptr)
        return E_FAIL;
    EWalkStep eFailed = eWalkNone;
    HRESULT hr = WalkFilters(m_spGraph, &eFailed, [this](IBaseFilter* pFilter) {
        CLSID clsid = GUID_NULL;
        HRESULT hrClass = pFilter->GetClassID(&clsid);
        if (FAILED(hrClass))
        {
            ATLASSERT(!L"CGraph::FindServer(): spFilter->GetClassID() FAILED");
            return hrClass;
        }
        if (clsid != CLSID_CorvastaFilter)
            return S_FALSE;
        // The query's result is the search's, whatever it is.
        return pFilter->QueryInterface(__uuidof(IServerControl), reinterpret_cast<void**>(&m_spServer));
    });
    if (eFailed == eWalkEnum)
        ATLASSERT(!L"CGraph::FindServer(): m_spGraph.EnumFilters() FAILED");
    else if (eFailed == eWalkNext)
        ATLASSERT(!L"CGraph::FindServer(): spEnumFilters->Next() FAILED");
    return hr;
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

        CMediaType mt;
        if (FAILED(hr = spPin->ConnectionMediaType(&mt)))
            return hr;
        if (mt.majortype != majortypeWanted)
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
