#include "PinProperties.h"

#include "dshow/MediaType.h"

const wchar_t szNotConnected[] = L"not connected";

namespace {

// The pin's and its filter's names; the filter reference that QueryPinInfo
// hands out is released here.
HRESULT ReadNames(IPin* pPin, std::wstring* pPinName, std::wstring* pFilterName, PIN_DIRECTION* pDir)
{
    PIN_INFO pinInfo = {};
    HRESULT hr = pPin->QueryPinInfo(&pinInfo);
    if (FAILED(hr))
        return hr;
    CComPtr<IBaseFilter> spFilter;
    spFilter.Attach(pinInfo.pFilter);
    *pPinName = pinInfo.achName;
    *pDir = pinInfo.dir;
    pFilterName->clear();
    if (spFilter == nullptr)
        return S_OK;
    FILTER_INFO filterInfo = {};
    if (FAILED(hr = spFilter->QueryFilterInfo(&filterInfo)))
        return hr;
    if (filterInfo.pGraph != nullptr)
        filterInfo.pGraph->Release();
    *pFilterName = filterInfo.achName;
    return S_OK;
}

} // namespace

HRESULT ReadPinProperties(IPin* pPin, PinProperties* pProps)
{
    if (pPin == nullptr || pProps == nullptr)
        return E_POINTER;
    *pProps = PinProperties();
    PIN_DIRECTION dir = PINDIR_INPUT;
    HRESULT hr = ReadNames(pPin, &pProps->name, &pProps->filter, &dir);
    if (FAILED(hr))
        return hr;
    pProps->direction = dir == PINDIR_INPUT ? L"Input" : L"Output";

    CComPtr<IPin> spPeer;
    hr = pPin->ConnectedTo(&spPeer);
    if (hr == VFW_E_NOT_CONNECTED)
    {
        pProps->connection = szNotConnected;
        return S_OK;
    }
    if (FAILED(hr))
        return hr;
    std::wstring peerPin, peerFilter;
    if (FAILED(hr = ReadNames(spPeer, &peerPin, &peerFilter, &dir)))
        return hr;
    pProps->connection = peerFilter + L": " + peerPin;

    CMediaType mt;
    if (FAILED(hr = pPin->ConnectionMediaType(&mt)))
        return hr;
    pProps->format = MediaTypeFields(&mt);
    return S_OK;
}
