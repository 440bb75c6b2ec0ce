#include "TestFilters.h"

#include "KitPin.h"

namespace {

// {6404544F-0EAD-4665-AE20-5870FB0C10DA}
const GUID CLSID_TestSource = {0x6404544f, 0x0ead, 0x4665, {0xae, 0x20, 0x58, 0x70, 0xfb, 0x0c, 0x10, 0xda}};
// {36BAB307-EDA8-456B-A622-279EAE9BCE25}
const GUID CLSID_TestSink = {0x36bab307, 0xeda8, 0x456b, {0xa6, 0x22, 0x27, 0x9e, 0xae, 0x9b, 0xce, 0x25}};
// {A179C9EB-EAB5-4A51-9818-3673A50E0238}
const GUID MEDIASUBTYPE_TestCounter = {0xa179c9eb, 0xeab5, 0x4a51, {0x98, 0x18, 0x36, 0x73, 0xa5, 0x0e, 0x02, 0x38}};

} // namespace

CTestSource::CTestSource(ULONG cSamples, REFERENCE_TIME tSampleLength, REFGUID majortype)
    : CKitSourceFilter(L"Test Source", CLSID_TestSource), m_cSamples(cSamples),
      m_tSampleLength(tSampleLength), m_majortype(majortype), m_iNext(0), m_tOrigin(0),
      m_tStop(MAXLONGLONG)
{
}

HRESULT CTestSource::Create(ULONG cSamples, REFERENCE_TIME tSampleLength, REFGUID majortype,
                            IBaseFilter** ppFilter)
{
    CTestSource* pSource = new (std::nothrow) CTestSource(cSamples, tSampleLength, majortype);
    if (pSource == nullptr)
        return E_OUTOFMEMORY;
    pSource->AddRef();
    HRESULT hr = pSource->Init();
    if (SUCCEEDED(hr))
        hr = pSource->QueryInterface(__uuidof(IBaseFilter), reinterpret_cast<void**>(ppFilter));
    pSource->Release();
    return hr;
}

HRESULT CTestSource::Init()
{
    AddPin(new (std::nothrow) CKitSourcePin(this, L"Out"));
    return S_OK;
}

HRESULT CTestSource::GetMediaType(CKitPin*, ULONG iPosition, CMediaType* pmt)
{
    if (iPosition > 0)
        return VFW_S_NO_MORE_ITEMS;
    pmt->majortype = m_majortype;
    pmt->subtype = MEDIASUBTYPE_TestCounter;
    pmt->formattype = FORMAT_None;
    pmt->bFixedSizeSamples = TRUE;
    pmt->lSampleSize = sizeof(DWORD);
    return S_OK;
}

HRESULT CTestSource::CheckMediaType(CKitPin*, const AM_MEDIA_TYPE* pmt)
{
    return pmt->majortype == m_majortype && pmt->subtype == MEDIASUBTYPE_TestCounter
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTestSource::DecideBufferSize(CKitOutputPin*, IMemAllocator* pAlloc,
                                      ALLOCATOR_PROPERTIES* pRequest)
{
    pRequest->cBuffers = 4;
    pRequest->cbBuffer = 64;
    return CKitOutputPin::SetAllocatorProperties(pAlloc, pRequest);
}

HRESULT CTestSource::GetStreamLength(REFERENCE_TIME* ptLength)
{
    if (m_cSamples == 0)
        return E_NOTIMPL;
    *ptLength = m_cSamples * m_tSampleLength;
    return S_OK;
}

HRESULT CTestSource::StartStream(CKitSourcePin*, REFERENCE_TIME tPosition)
{
    REFERENCE_TIME tStart = 0;
    GetSegment(&tStart, &m_tStop);
    m_iNext = static_cast<ULONG>(tPosition / m_tSampleLength);
    m_tOrigin = tPosition;
    return S_OK;
}

HRESULT CTestSource::FillSample(CKitSourcePin*, IMediaSample* pSample)
{
    REFERENCE_TIME tPosition = m_iNext * m_tSampleLength;
    if ((m_cSamples != 0 && m_iNext >= m_cSamples) || tPosition >= m_tStop)
        return S_FALSE;
    BYTE* pb = nullptr;
    pSample->GetPointer(&pb);
    DWORD dwIndex = m_iNext;
    memcpy(pb, &dwIndex, sizeof(dwIndex));
    pSample->SetActualDataLength(sizeof(dwIndex));
    REFERENCE_TIME tStart = tPosition - m_tOrigin, tEnd = tStart + m_tSampleLength;
    pSample->SetTime(&tStart, &tEnd);
    pSample->SetSyncPoint(TRUE);
    ++m_iNext;
    return S_OK;
}

CTestSink::CTestSink(ULONG cInputs, REFGUID majortype)
    : CKitSinkFilter(L"Test Sink", CLSID_TestSink), m_cInputs(cInputs), m_majortype(majortype),
      m_hReceived(::CreateEventW(nullptr, FALSE, FALSE, nullptr)), m_rgInputs(cInputs)
{
}

CTestSink::~CTestSink()
{
    ::CloseHandle(m_hReceived);
}

HRESULT CTestSink::Create(ULONG cInputs, REFGUID majortype, CTestSink** ppSink)
{
    CTestSink* pSink = new (std::nothrow) CTestSink(cInputs, majortype);
    if (pSink == nullptr)
        return E_OUTOFMEMORY;
    pSink->AddRef();
    HRESULT hr = pSink->Init();
    if (FAILED(hr))
    {
        pSink->Release();
        return hr;
    }
    *ppSink = pSink;
    return S_OK;
}

HRESULT CTestSink::Init()
{
    for (ULONG i = 0; i < m_cInputs; ++i)
    {
        wchar_t szName[16];
        swprintf(szName, ARRAYSIZE(szName), L"In%lu", i);
        AddInputPin(szName);
    }
    return S_OK;
}

ULONG CTestSink::IndexOf(CKitPin* pPin)
{
    return static_cast<ULONG>(wcstoul(pPin->Name() + 2, nullptr, 10));
}

HRESULT CTestSink::CheckMediaType(CKitPin*, const AM_MEDIA_TYPE* pmt)
{
    return m_majortype == GUID_NULL || pmt->majortype == m_majortype ? S_OK
                                                                     : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTestSink::CompleteConnect(CKitPin* pPin, IPin*)
{
    CKitAutoLock lock(m_csRecord);
    m_rgInputs[IndexOf(pPin)].mt = pPin->MediaType();
    return S_OK;
}

HRESULT CTestSink::Receive(CKitInputPin* pPin, IMediaSample* pSample)
{
    REFERENCE_TIME tStart = -1, tEnd = -1;
    pSample->GetTime(&tStart, &tEnd);
    BYTE* pb = nullptr;
    pSample->GetPointer(&pb);
    long cb = pSample->GetActualDataLength();
    {
        CKitAutoLock lock(m_csRecord);
        CTestSinkInput& input = m_rgInputs[IndexOf(pPin)];
        ++input.cSamples;
        input.rgStarts.push_back(tStart);
        input.rgSyncPoints.push_back(pSample->IsSyncPoint() == S_OK);
        input.rgPayloads.emplace_back(pb, pb + cb);
    }
    ::SetEvent(m_hReceived);
    return S_OK;
}

HRESULT CTestSink::NewSegment(CKitInputPin* pPin, REFERENCE_TIME tStart, REFERENCE_TIME, double)
{
    CKitAutoLock lock(m_csRecord);
    CTestSinkInput& input = m_rgInputs[IndexOf(pPin)];
    ++input.cSegments;
    input.tSegmentStart = tStart;
    return S_OK;
}

HRESULT CTestSink::OnEndOfStream(CKitInputPin* pPin)
{
    CKitAutoLock lock(m_csRecord);
    ++m_rgInputs[IndexOf(pPin)].cEndOfStream;
    return S_OK;
}

HRESULT CTestSink::OnEndFlush(CKitInputPin* pPin)
{
    CKitAutoLock lock(m_csRecord);
    ++m_rgInputs[IndexOf(pPin)].cFlushes;
    return S_OK;
}

CTestSinkInput CTestSink::Input(ULONG i)
{
    CKitAutoLock lock(m_csRecord);
    return m_rgInputs[i];
}

bool CTestSink::WaitForSamples(ULONG i, ULONG cSamples, DWORD dwTimeout)
{
    DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        {
            CKitAutoLock lock(m_csRecord);
            if (m_rgInputs[i].cSamples >= cSamples)
                return true;
        }
        DWORD dwElapsed = ::GetTickCount() - dwStart;
        if (dwElapsed >= dwTimeout)
            return false;
        ::WaitForSingleObject(m_hReceived, dwTimeout - dwElapsed);
    }
}

HRESULT WaitForGraphEvent(IUnknown* pGraph, long nCode, DWORD dwTimeout)
{
    CComQIPtr<IMediaEventEx> spEvents(pGraph);
    if (!spEvents)
        return E_NOINTERFACE;
    DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        DWORD dwElapsed = ::GetTickCount() - dwStart;
        if (dwElapsed >= dwTimeout)
            return E_ABORT;
        long nEvent = 0;
        LONG_PTR lParam1 = 0, lParam2 = 0;
        HRESULT hr = spEvents->GetEvent(&nEvent, &lParam1, &lParam2, dwTimeout - dwElapsed);
        // E_ABORT also comes early when the queue's event was left set.
        if (hr == E_ABORT)
            continue;
        if (FAILED(hr))
            return hr;
        spEvents->FreeEventParams(nEvent, lParam1, lParam2);
        if (nEvent == nCode)
            return S_OK;
    }
}

ULONG RefCount(IUnknown* pUnk)
{
    pUnk->AddRef();
    return pUnk->Release();
}
