#include "TestAVSource.h"

#include "dshow/FourCCSubtype.h"

#include <cstdio>

namespace {

const REFERENCE_TIME tSampleLength = 10 * 10000; // 10 ms

// {7C1E5A52-3B64-4B87-9E0A-61C2D8F0A9B3}
const CLSID CLSID_TestAVSource = {0x7c1e5a52, 0x3b64, 0x4b87, {0x9e, 0x0a, 0x61, 0xc2, 0xd8, 0xf0, 0xa9, 0xb3}};

// MEDIASUBTYPE_H264 by its FOURCC.
const GUID guidH264 = FourCCSubtype(MAKEFOURCC('H', '2', '6', '4'));

} // namespace

HRESULT CTestAVSource::Create(ULONG nSamples, IBaseFilter** ppFilter)
{
    HRESULT hr = KitCreateObject<CTestAVSource>(__uuidof(IBaseFilter), reinterpret_cast<void**>(ppFilter));
    if (SUCCEEDED(hr))
        static_cast<CTestAVSource*>(*ppFilter)->m_nSamples = nSamples;
    return hr;
}

CTestAVSource::CTestAVSource()
    : CKitSourceFilter(L"CorvastaTestSource", CLSID_TestAVSource), m_nSamples(0), m_rgpPins(), m_rgnNext()
{
}

HRESULT CTestAVSource::Init()
{
    m_rgpPins[0] = AddPin(new CKitSourcePin(this, L"Video"));
    m_rgpPins[1] = AddPin(new CKitSourcePin(this, L"Audio"));
    return S_OK;
}

HRESULT CTestAVSource::CheckMediaType(CKitPin* pPin, const AM_MEDIA_TYPE* pmt)
{
    CMediaType mt;
    GetMediaType(pPin, 0, &mt);
    return pmt != nullptr && pmt->majortype == mt.majortype && pmt->subtype == mt.subtype
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTestAVSource::GetMediaType(CKitPin* pPin, ULONG iPosition, CMediaType* pmt)
{
    if (iPosition > 0)
        return VFW_S_NO_MORE_ITEMS;
    pmt->Clear();
    if (PinIndex(pPin) == 0)
    {
        pmt->majortype = MEDIATYPE_Video;
        pmt->subtype = guidH264;
        pmt->formattype = FORMAT_None;
    }
    else
    {
        pmt->majortype = MEDIATYPE_Audio;
        pmt->subtype = MEDIASUBTYPE_PCM;
        // A format that the server passes on to its clients.
        auto* pwfx = reinterpret_cast<WAVEFORMATEX*>(pmt->AllocFormat(sizeof(WAVEFORMATEX)));
        if (pwfx == nullptr)
            return E_OUTOFMEMORY;
        *pwfx = {WAVE_FORMAT_PCM, 2, 22050, 22050 * 4, 4, 16, 0};
        pmt->formattype = FORMAT_WaveFormatEx;
    }
    pmt->bFixedSizeSamples = FALSE;
    pmt->lSampleSize = 0;
    return S_OK;
}

HRESULT CTestAVSource::DecideBufferSize(CKitOutputPin*, IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest)
{
    pRequest->cBuffers = 4;
    pRequest->cbBuffer = 64;
    return CKitOutputPin::SetAllocatorProperties(pAlloc, pRequest);
}

HRESULT CTestAVSource::StartStream(CKitSourcePin* pPin, REFERENCE_TIME)
{
    m_rgnNext[PinIndex(pPin)] = 0;
    return S_OK;
}

HRESULT CTestAVSource::FillSample(CKitSourcePin* pPin, IMediaSample* pSample)
{
    int iPin = PinIndex(pPin);
    ULONG n = m_rgnNext[iPin];
    if (m_nSamples != 0 && n >= m_nSamples)
        return S_FALSE;
    BYTE* pData = nullptr;
    HRESULT hr = pSample->GetPointer(&pData);
    if (FAILED(hr))
        return hr;
    int cb = snprintf(reinterpret_cast<char*>(pData), static_cast<size_t>(pSample->GetSize()), "%s-%lu",
                      iPin == 0 ? "video" : "audio", n);
    pSample->SetActualDataLength(cb);
    REFERENCE_TIME tStart = n * tSampleLength;
    REFERENCE_TIME tStop = tStart + tSampleLength;
    pSample->SetTime(&tStart, &tStop);
    pSample->SetSyncPoint(iPin == 1 || n % 10 == 0);
    m_rgnNext[iPin] = n + 1;
    return S_OK;
}

HRESULT CTestAVSource::GetStreamLength(REFERENCE_TIME* ptLength)
{
    if (m_nSamples == 0)
        return E_NOTIMPL;
    *ptLength = m_nSamples * tSampleLength;
    return S_OK;
}
