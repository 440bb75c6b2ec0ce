#include "KitTransformFilter.h"

CKitTransformOutputPin::CKitTransformOutputPin(CKitTransformFilter* pFilter,
                                               const wchar_t* pszName)
    : CKitOutputPin(pFilter, pszName), m_pTransform(pFilter)
{
}

void* CKitTransformOutputPin::GetInterface(REFIID riid)
{
    KIT_INTERFACE(IMediaSeeking);
    return CKitOutputPin::GetInterface(riid);
}

void CKitTransformOutputPin::GetSeekingInputs(std::vector<CKitInputPin*>& rgPins)
{
    if (m_pTransform->InputPin() != nullptr)
        rgPins.push_back(m_pTransform->InputPin());
}

CKitTransformFilter::CKitTransformFilter(const wchar_t* pszFaultName, REFCLSID clsid,
                                         const wchar_t* pszInputName,
                                         const wchar_t* pszOutputName)
    : CKitFilter(pszFaultName, clsid), m_pszInputName(pszInputName),
      m_pszOutputName(pszOutputName), m_pInput(nullptr), m_pOutput(nullptr)
{
}

HRESULT CKitTransformFilter::Init()
{
    m_pInput = AddInputPin(m_pszInputName);
    m_pOutput = AddPin(new (std::nothrow) CKitTransformOutputPin(this, m_pszOutputName));
    return S_OK;
}

HRESULT CKitTransformFilter::CheckMediaType(CKitPin* pPin, const AM_MEDIA_TYPE* pmt)
{
    if (pmt == nullptr)
        return E_POINTER;
    if (pPin->Direction() == PINDIR_INPUT)
        return CheckInputType(pmt);
    if (m_pInput == nullptr || !m_pInput->IsConnected())
        return VFW_E_NOT_CONNECTED;
    return CheckOutputType(pmt);
}

HRESULT CKitTransformFilter::GetMediaType(CKitPin* pPin, ULONG iPosition, CMediaType* pmt)
{
    if (pPin->Direction() == PINDIR_INPUT || m_pInput == nullptr || !m_pInput->IsConnected())
        return VFW_S_NO_MORE_ITEMS;
    return GetOutputType(iPosition, pmt);
}

HRESULT CKitTransformFilter::CheckOutputType(const AM_MEDIA_TYPE* pmt)
{
    CMediaType mt;
    for (ULONG i = 0; GetOutputType(i, &mt) == S_OK; ++i)
    {
        if (mt.majortype == pmt->majortype && mt.subtype == pmt->subtype &&
            mt.formattype == pmt->formattype)
            return S_OK;
        mt.Clear();
    }
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CKitTransformFilter::DecideBufferSize(CKitOutputPin*, IMemAllocator* pAlloc,
                                              ALLOCATOR_PROPERTIES* pRequest)
{
    HRESULT hr = GetOutputBufferSize(pRequest);
    if (FAILED(hr))
        return hr;
    return CKitOutputPin::SetAllocatorProperties(pAlloc, pRequest);
}

HRESULT CKitTransformFilter::OnActive()
{
    OnStreamReset();
    return S_OK;
}

HRESULT CKitTransformFilter::Receive(CKitInputPin*, IMediaSample* pSample)
{
    // Unconnected output: the samples have nowhere to go.
    if (m_pOutput == nullptr || !m_pOutput->IsConnected())
        return S_OK;
    return ProcessSample(pSample);
}

HRESULT CKitTransformFilter::ProcessSample(IMediaSample* pIn)
{
    CComPtr<IMediaSample> spOut;
    HRESULT hr = m_pOutput->GetDeliveryBuffer(&spOut);
    if (FAILED(hr))
        return hr;
    CopySampleProps(pIn, spOut);
    if (FAILED(hr = Transform(pIn, spOut)))
        return hr;
    // S_FALSE: the input gave nothing to deliver (an encoder held it back).
    if (hr == S_FALSE)
        return S_OK;
    return m_pOutput->Deliver(spOut);
}

HRESULT CKitTransformFilter::Transform(IMediaSample*, IMediaSample*)
{
    return E_NOTIMPL;
}

void CKitTransformFilter::CopySampleProps(IMediaSample* pFrom, IMediaSample* pTo)
{
    REFERENCE_TIME tStart = 0, tEnd = 0;
    HRESULT hr = pFrom->GetTime(&tStart, &tEnd);
    if (hr == S_OK)
        pTo->SetTime(&tStart, &tEnd);
    else if (hr == VFW_S_NO_STOP_TIME)
        pTo->SetTime(&tStart, nullptr);
    else
        pTo->SetTime(nullptr, nullptr);
    pTo->SetSyncPoint(pFrom->IsSyncPoint() == S_OK);
    pTo->SetDiscontinuity(pFrom->IsDiscontinuity() == S_OK);
    pTo->SetPreroll(pFrom->IsPreroll() == S_OK);
}

HRESULT CKitTransformFilter::EndOfStream(CKitInputPin*)
{
    if (m_pOutput == nullptr || !m_pOutput->IsConnected())
        return S_OK;
    OnEndOfStream();
    return m_pOutput->DeliverEndOfStream();
}

HRESULT CKitTransformFilter::BeginFlush(CKitInputPin*)
{
    if (m_pOutput == nullptr || !m_pOutput->IsConnected())
        return S_OK;
    return m_pOutput->DeliverBeginFlush();
}

HRESULT CKitTransformFilter::EndFlush(CKitInputPin*)
{
    OnStreamReset();
    if (m_pOutput == nullptr || !m_pOutput->IsConnected())
        return S_OK;
    return m_pOutput->DeliverEndFlush();
}

HRESULT CKitTransformFilter::NewSegment(CKitInputPin*, REFERENCE_TIME tStart,
                                        REFERENCE_TIME tStop, double dRate)
{
    if (m_pOutput == nullptr || !m_pOutput->IsConnected())
        return S_OK;
    return m_pOutput->DeliverNewSegment(tStart, tStop, dRate);
}
