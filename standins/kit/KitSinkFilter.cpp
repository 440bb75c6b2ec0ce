#include "KitSinkFilter.h"

CKitSinkFilter::CKitSinkFilter(const wchar_t* pszFaultName, REFCLSID clsid)
    : CKitFilter(pszFaultName, clsid), m_bCompleteSent(false)
{
}

void* CKitSinkFilter::GetInterface(REFIID riid)
{
    KIT_INTERFACE(IAMFilterMiscFlags);
    KIT_INTERFACE(IMediaSeeking);
    return CKitFilter::GetInterface(riid);
}

STDMETHODIMP_(ULONG) CKitSinkFilter::GetMiscFlags()
{
    return AM_FILTER_MISC_FLAGS_IS_RENDERER;
}

void CKitSinkFilter::GetSeekingInputs(std::vector<CKitInputPin*>& rgPins)
{
    for (ULONG i = 0; i < PinCount(); ++i)
    {
        CKitPin* pPin = Pin(i);
        if (pPin->Direction() == PINDIR_INPUT && pPin->IsConnected())
            rgPins.push_back(static_cast<CKitInputPin*>(pPin));
    }
}

STDMETHODIMP CKitSinkFilter::Run(REFERENCE_TIME tStart)
{
    HRESULT hr = CKitFilter::Run(tStart);
    if (FAILED(hr))
        return hr;
    {
        CKitAutoLock lock(m_csComplete);
        m_bCompleteSent = false;
    }
    CheckComplete();
    return hr;
}

HRESULT CKitSinkFilter::EndOfStream(CKitInputPin* pPin)
{
    HRESULT hr = OnEndOfStream(pPin);
    CheckComplete();
    return hr;
}

HRESULT CKitSinkFilter::EndFlush(CKitInputPin* pPin)
{
    {
        CKitAutoLock lock(m_csComplete);
        m_bCompleteSent = false;
    }
    return OnEndFlush(pPin);
}

void CKitSinkFilter::CheckComplete()
{
    CKitAutoLock lock(m_csComplete);
    if (m_bCompleteSent || State() != State_Running)
        return;
    bool bAny = false;
    for (ULONG i = 0; i < PinCount(); ++i)
    {
        CKitPin* pPin = Pin(i);
        if (pPin->Direction() != PINDIR_INPUT || !pPin->IsConnected())
            continue;
        if (!static_cast<CKitInputPin*>(pPin)->IsEndOfStream())
            return;
        bAny = true;
    }
    if (!bAny)
        return;
    m_bCompleteSent = true;
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}
