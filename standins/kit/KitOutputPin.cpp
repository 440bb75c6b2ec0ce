#include "KitOutputPin.h"

CKitOutputPin::CKitOutputPin(CKitFilter* pFilter, const wchar_t* pszName)
    : CKitPin(pFilter, pszName, PINDIR_OUTPUT)
{
}

STDMETHODIMP CKitOutputPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*)
{
    return E_UNEXPECTED;
}

// A partial type (GUID_NULL parts) matches every type that agrees with its
// given parts.
bool CKitOutputPin::Matches(const AM_MEDIA_TYPE* pmtPartial, const AM_MEDIA_TYPE* pmt)
{
    if (pmtPartial == nullptr)
        return true;
    if (pmtPartial->majortype != GUID_NULL && pmtPartial->majortype != pmt->majortype)
        return false;
    if (pmtPartial->subtype != GUID_NULL && pmtPartial->subtype != pmt->subtype)
        return false;
    if (pmtPartial->formattype != GUID_NULL && pmtPartial->formattype != pmt->formattype)
        return false;
    return true;
}

STDMETHODIMP CKitOutputPin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt)
{
    if (pReceivePin == nullptr)
        return E_POINTER;
    HRESULT hrFault = m_pFilter->Faults().Fault(L"Connect");
    if (hrFault != S_OK)
        return hrFault;
    CKitAutoLock lock(m_pFilter->FilterLock());
    if (m_spPeer != nullptr)
        return VFW_E_ALREADY_CONNECTED;
    if (m_pFilter->State() != State_Stopped)
        return VFW_E_NOT_STOPPED;

    bool bComplete = pmt != nullptr && pmt->majortype != GUID_NULL && pmt->subtype != GUID_NULL &&
                     pmt->formattype != GUID_NULL;
    if (bComplete)
        return TryConnection(pReceivePin, pmt);

    // Our own types first, in our order; then the ones the peer proposes.
    CMediaType mt;
    for (ULONG i = 0; GetMediaType(i, &mt) == S_OK; ++i)
    {
        if (Matches(pmt, &mt) && SUCCEEDED(TryConnection(pReceivePin, &mt)))
            return S_OK;
        mt.Clear();
    }
    CComPtr<IEnumMediaTypes> spEnum;
    if (SUCCEEDED(pReceivePin->EnumMediaTypes(&spEnum)) && spEnum != nullptr)
    {
        AM_MEDIA_TYPE* pmtPeer = nullptr;
        while (spEnum->Next(1, &pmtPeer, nullptr) == S_OK)
        {
            HRESULT hr = E_FAIL;
            if (Matches(pmt, pmtPeer))
                hr = TryConnection(pReceivePin, pmtPeer);
            DeleteMediaType(pmtPeer);
            pmtPeer = nullptr;
            if (SUCCEEDED(hr))
                return S_OK;
        }
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CKitOutputPin::TryConnection(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt)
{
    if (CheckMediaType(pmt) != S_OK)
        return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = m_mt.Set(pmt);
    if (FAILED(hr))
        return hr;
    m_spPeer = pReceivePin;
    if (FAILED(hr = pReceivePin->ReceiveConnection(this, pmt)))
    {
        m_spPeer.Release();
        m_mt.Clear();
        return hr;
    }
    CComQIPtr<IMemInputPin> spMemInput(pReceivePin);
    hr = spMemInput ? DecideAllocator(spMemInput) : E_NOINTERFACE;
    if (SUCCEEDED(hr))
        hr = CompleteConnect(pReceivePin);
    if (FAILED(hr))
    {
        pReceivePin->Disconnect();
        ClearConnection();
        return hr;
    }
    m_spMemInput = spMemInput;
    return S_OK;
}

HRESULT CKitOutputPin::DecideAllocator(IMemInputPin* pMemInput)
{
    ALLOCATOR_PROPERTIES props = {};
    pMemInput->GetAllocatorRequirements(&props);
    if (props.cbAlign == 0)
        props.cbAlign = 1;

    // The downstream pin's allocator if it offers one that takes our sizes,
    // otherwise the platform's memory allocator.
    CComPtr<IMemAllocator> spAlloc;
    HRESULT hr = pMemInput->GetAllocator(&spAlloc);
    if (SUCCEEDED(hr))
    {
        ALLOCATOR_PROPERTIES request = props;
        hr = DecideBufferSize(spAlloc, &request);
        if (SUCCEEDED(hr))
            hr = pMemInput->NotifyAllocator(spAlloc, FALSE);
    }
    if (FAILED(hr))
    {
        spAlloc.Release();
        hr = spAlloc.CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER);
        if (FAILED(hr))
            return hr;
        ALLOCATOR_PROPERTIES request = props;
        if (FAILED(hr = DecideBufferSize(spAlloc, &request)))
            return hr;
        if (FAILED(hr = pMemInput->NotifyAllocator(spAlloc, FALSE)))
            return hr;
    }
    m_spAllocator = spAlloc;
    return S_OK;
}

HRESULT CKitOutputPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest)
{
    return m_pFilter->DecideBufferSize(this, pAlloc, pRequest);
}

HRESULT CKitOutputPin::SetAllocatorProperties(IMemAllocator* pAlloc,
                                              ALLOCATOR_PROPERTIES* pRequest)
{
    if (pRequest->cbAlign == 0)
        pRequest->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual = {};
    HRESULT hr = pAlloc->SetProperties(pRequest, &actual);
    if (FAILED(hr))
        return hr;
    if (actual.cbBuffer < pRequest->cbBuffer || actual.cBuffers < pRequest->cBuffers)
        return E_FAIL;
    return S_OK;
}

void CKitOutputPin::BreakConnect()
{
    if (m_spAllocator != nullptr)
        m_spAllocator->Decommit();
    m_spAllocator.Release();
    m_spMemInput.Release();
    CKitPin::BreakConnect();
}

HRESULT CKitOutputPin::Active()
{
    if (m_spAllocator == nullptr)
        return S_OK;
    return m_spAllocator->Commit();
}

HRESULT CKitOutputPin::Inactive()
{
    if (m_spAllocator == nullptr)
        return S_OK;
    return m_spAllocator->Decommit();
}

HRESULT CKitOutputPin::GetDeliveryBuffer(IMediaSample** ppSample)
{
    if (ppSample == nullptr)
        return E_POINTER;
    *ppSample = nullptr;
    if (m_spAllocator == nullptr)
        return VFW_E_NO_ALLOCATOR;
    return m_spAllocator->GetBuffer(ppSample, nullptr, nullptr, 0);
}

HRESULT CKitOutputPin::Deliver(IMediaSample* pSample)
{
    if (m_spMemInput == nullptr)
        return VFW_E_NOT_CONNECTED;
    return m_spMemInput->Receive(pSample);
}

HRESULT CKitOutputPin::DeliverEndOfStream()
{
    if (m_spPeer == nullptr)
        return VFW_E_NOT_CONNECTED;
    return m_spPeer->EndOfStream();
}

HRESULT CKitOutputPin::DeliverBeginFlush()
{
    if (m_spPeer == nullptr)
        return VFW_E_NOT_CONNECTED;
    return m_spPeer->BeginFlush();
}

HRESULT CKitOutputPin::DeliverEndFlush()
{
    if (m_spPeer == nullptr)
        return VFW_E_NOT_CONNECTED;
    return m_spPeer->EndFlush();
}

HRESULT CKitOutputPin::DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    if (m_spPeer == nullptr)
        return VFW_E_NOT_CONNECTED;
    return m_spPeer->NewSegment(tStart, tStop, dRate);
}
