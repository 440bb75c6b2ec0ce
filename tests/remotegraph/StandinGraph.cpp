#include "StandinGraph.h"

#include "components/ComponentIds.h"

const wchar_t szGeneratorFilter[] = L"Ormidex Video Generator";
const wchar_t szQSEncoderFilter[] = L"Ormidex QS Encoder";
const wchar_t szVP8EncoderFilter[] = L"WebM VP8 Encoder Filter";
const wchar_t szCorvastaFilter[] = L"Corvasta";

namespace {

HRESULT AddStandin(IGraphBuilder* pGraph, REFCLSID clsid, LPCWSTR pszName)
{
    CComPtr<IBaseFilter> spFilter;
    HRESULT hr = spFilter.CoCreateInstance(clsid);
    if (FAILED(hr))
        return hr;
    return pGraph->AddFilter(spFilter, pszName);
}

} // namespace

HRESULT BuildStandinGraph(IGraphBuilder* pGraph)
{
    HRESULT hr = AddStandin(pGraph, CLSID_OrmidexVideoGenerator, szGeneratorFilter);
    if (SUCCEEDED(hr))
        hr = AddStandin(pGraph, CLSID_OrmidexQSEncoder, szQSEncoderFilter);
    if (SUCCEEDED(hr))
        hr = AddStandin(pGraph, CLSID_VP8Encoder, szVP8EncoderFilter);
    if (SUCCEEDED(hr))
        hr = AddStandin(pGraph, CLSID_CorvastaFilter, szCorvastaFilter);
    if (FAILED(hr))
        return hr;
    CComPtr<IPin> spVideo, spInput;
    if (FAILED(hr = FindFilterPin(pGraph, szGeneratorFilter, L"Video", &spVideo)) ||
        FAILED(hr = FindFilterPin(pGraph, szQSEncoderFilter, L"Input", &spInput)))
        return hr;
    return pGraph->ConnectDirect(spVideo, spInput, nullptr);
}

HRESULT FindFilterPin(IFilterGraph* pGraph, LPCWSTR pszFilter, LPCWSTR pszPin, IPin** ppPin)
{
    if (ppPin == nullptr)
        return E_POINTER;
    *ppPin = nullptr;
    CComPtr<IBaseFilter> spFilter;
    HRESULT hr = pGraph->FindFilterByName(pszFilter, &spFilter);
    if (FAILED(hr))
        return hr;
    return spFilter->FindPin(pszPin, ppPin);
}
