#include "KitSeeking.h"

#include <algorithm>

HRESULT KitUpstreamSeeking(CKitInputPin* pPin, IMediaSeeking** ppSeeking)
{
    *ppSeeking = nullptr;
    CComPtr<IPin> spPeer;
    HRESULT hr = pPin->ConnectedTo(&spPeer);
    if (FAILED(hr))
        return hr;
    return spPeer->QueryInterface(__uuidof(IMediaSeeking), reinterpret_cast<void**>(ppSeeking));
}

void CKitSeekingForwarder::CollectUpstream(std::vector<CComPtr<IMediaSeeking>>& rgSeeking)
{
    std::vector<CKitInputPin*> rgPins;
    GetSeekingInputs(rgPins);
    for (CKitInputPin* pPin : rgPins)
    {
        CComPtr<IMediaSeeking> spSeeking;
        if (SUCCEEDED(KitUpstreamSeeking(pPin, &spSeeking)))
            rgSeeking.push_back(spSeeking);
    }
}

template <class F>
HRESULT CKitSeekingForwarder::First(F fn)
{
    std::vector<CComPtr<IMediaSeeking>> rgSeeking;
    CollectUpstream(rgSeeking);
    HRESULT hrFirst = E_NOTIMPL;
    for (size_t i = 0; i < rgSeeking.size(); ++i)
    {
        HRESULT hr = fn(rgSeeking[i].p);
        if (SUCCEEDED(hr))
            return hr;
        if (i == 0)
            hrFirst = hr;
    }
    return hrFirst;
}

template <class F>
HRESULT CKitSeekingForwarder::All(F fn)
{
    std::vector<CComPtr<IMediaSeeking>> rgSeeking;
    CollectUpstream(rgSeeking);
    if (rgSeeking.empty())
        return E_NOTIMPL;
    HRESULT hrResult = S_OK;
    for (size_t i = 0; i < rgSeeking.size(); ++i)
    {
        HRESULT hr = fn(rgSeeking[i].p);
        if (FAILED(hr) && SUCCEEDED(hrResult))
            hrResult = hr;
    }
    return hrResult;
}

HRESULT CKitSeekingForwarder::Largest(HRESULT (STDMETHODCALLTYPE IMediaSeeking::*pfn)(LONGLONG*),
                                      LONGLONG* pll)
{
    if (pll == nullptr)
        return E_POINTER;
    *pll = 0;
    std::vector<CComPtr<IMediaSeeking>> rgSeeking;
    CollectUpstream(rgSeeking);
    HRESULT hrResult = E_NOTIMPL;
    bool bAny = false;
    for (size_t i = 0; i < rgSeeking.size(); ++i)
    {
        LONGLONG ll = 0;
        HRESULT hr = (rgSeeking[i].p->*pfn)(&ll);
        if (SUCCEEDED(hr))
        {
            *pll = bAny ? std::max(*pll, ll) : ll;
            bAny = true;
            hrResult = S_OK;
        }
        else if (!bAny && i == 0)
        {
            hrResult = hr;
        }
    }
    return hrResult;
}

STDMETHODIMP CKitSeekingForwarder::GetCapabilities(DWORD* pCapabilities)
{
    if (pCapabilities == nullptr)
        return E_POINTER;
    *pCapabilities = 0;
    return First([&](IMediaSeeking* p) { return p->GetCapabilities(pCapabilities); });
}

STDMETHODIMP CKitSeekingForwarder::CheckCapabilities(DWORD* pCapabilities)
{
    if (pCapabilities == nullptr)
        return E_POINTER;
    return First([&](IMediaSeeking* p) { return p->CheckCapabilities(pCapabilities); });
}

STDMETHODIMP CKitSeekingForwarder::IsFormatSupported(const GUID* pFormat)
{
    if (pFormat == nullptr)
        return E_POINTER;
    // Media time is the only format the kit's sources seek in; the answer
    // does not wait for a connection, since the graph asks when the filter
    // is added.
    return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

STDMETHODIMP CKitSeekingForwarder::QueryPreferredFormat(GUID* pFormat)
{
    if (pFormat == nullptr)
        return E_POINTER;
    *pFormat = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

STDMETHODIMP CKitSeekingForwarder::GetTimeFormat(GUID* pFormat)
{
    return QueryPreferredFormat(pFormat);
}

STDMETHODIMP CKitSeekingForwarder::IsUsingTimeFormat(const GUID* pFormat)
{
    if (pFormat == nullptr)
        return E_POINTER;
    return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

STDMETHODIMP CKitSeekingForwarder::SetTimeFormat(const GUID* pFormat)
{
    if (pFormat == nullptr)
        return E_POINTER;
    return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

STDMETHODIMP CKitSeekingForwarder::GetDuration(LONGLONG* pDuration)
{
    return Largest(&IMediaSeeking::GetDuration, pDuration);
}

STDMETHODIMP CKitSeekingForwarder::GetStopPosition(LONGLONG* pStop)
{
    return Largest(&IMediaSeeking::GetStopPosition, pStop);
}

STDMETHODIMP CKitSeekingForwarder::GetCurrentPosition(LONGLONG* pCurrent)
{
    if (pCurrent == nullptr)
        return E_POINTER;
    *pCurrent = 0;
    return First([&](IMediaSeeking* p) { return p->GetCurrentPosition(pCurrent); });
}

STDMETHODIMP CKitSeekingForwarder::ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat,
                                                     LONGLONG llSource, const GUID* pSourceFormat)
{
    if (pTarget == nullptr)
        return E_POINTER;
    const GUID& target = pTargetFormat ? *pTargetFormat : TIME_FORMAT_MEDIA_TIME;
    const GUID& source = pSourceFormat ? *pSourceFormat : TIME_FORMAT_MEDIA_TIME;
    if (target != TIME_FORMAT_MEDIA_TIME || source != TIME_FORMAT_MEDIA_TIME)
        return E_INVALIDARG;
    *pTarget = llSource;
    return S_OK;
}

// Every upstream chain seeks, so that a sink with a video and an audio input
// moves both; the positions returned are the first chain's.
STDMETHODIMP CKitSeekingForwarder::SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags,
                                                LONGLONG* pStop, DWORD dwStopFlags)
{
    bool bFirst = true;
    return All([&](IMediaSeeking* p) {
        LONGLONG llCurrent = pCurrent ? *pCurrent : 0, llStop = pStop ? *pStop : 0;
        HRESULT hr = p->SetPositions(pCurrent ? &llCurrent : nullptr, dwCurrentFlags,
                                     pStop ? &llStop : nullptr, dwStopFlags);
        if (SUCCEEDED(hr) && bFirst)
        {
            if (pCurrent)
                *pCurrent = llCurrent;
            if (pStop)
                *pStop = llStop;
            bFirst = false;
        }
        return hr;
    });
}

STDMETHODIMP CKitSeekingForwarder::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop)
{
    return First([&](IMediaSeeking* p) { return p->GetPositions(pCurrent, pStop); });
}

STDMETHODIMP CKitSeekingForwarder::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest)
{
    return First([&](IMediaSeeking* p) { return p->GetAvailable(pEarliest, pLatest); });
}

STDMETHODIMP CKitSeekingForwarder::SetRate(double dRate)
{
    return All([&](IMediaSeeking* p) { return p->SetRate(dRate); });
}

STDMETHODIMP CKitSeekingForwarder::GetRate(double* pdRate)
{
    if (pdRate == nullptr)
        return E_POINTER;
    return First([&](IMediaSeeking* p) { return p->GetRate(pdRate); });
}

STDMETHODIMP CKitSeekingForwarder::GetPreroll(LONGLONG* pllPreroll)
{
    if (pllPreroll == nullptr)
        return E_POINTER;
    return First([&](IMediaSeeking* p) { return p->GetPreroll(pllPreroll); });
}
