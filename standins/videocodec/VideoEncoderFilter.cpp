#include "VideoEncoderFilter.h"

#include "dshow/MediaFormat.h"

CVideoEncoderFilter::CVideoEncoderFilter(const wchar_t* pszFaultName, REFCLSID clsid,
                                         REFGUID subtypeOut, DWORD dwFourCC,
                                         ULONG ulKeyFrameInterval)
    : CKitTransformFilter(pszFaultName, clsid), m_subtypeOut(subtypeOut), m_dwFourCC(dwFourCC),
      m_nKeyFrameInterval(ulKeyFrameInterval), m_dwBitRate(0), m_iSinceKey(0),
      m_bKeyRequested(false), m_cFrames(0), m_cKeyFrames(0)
{
    DWORD dwInterval = Faults().Setting(L"KeyFrameInterval", ulKeyFrameInterval);
    m_nKeyFrameInterval = dwInterval ? dwInterval : 1;
}

HRESULT CVideoEncoderFilter::CheckInputType(const AM_MEDIA_TYPE* pmt)
{
    const VIDEOINFOHEADER* pvi = GetVideoInfo(pmt);
    if (pmt->majortype != MEDIATYPE_Video || pvi == nullptr)
        return VFW_E_TYPE_NOT_ACCEPTED;
    bool bYUY2 = pmt->subtype == MEDIASUBTYPE_YUY2;
    if (!bYUY2 && pmt->subtype != MEDIASUBTYPE_RGB32)
        return VFW_E_TYPE_NOT_ACCEPTED;
    const BITMAPINFOHEADER& bmi = pvi->bmiHeader;
    // Bottom-up RGB and top-down YUY2, as DIBs and capture sources give them.
    if (bmi.biWidth < CFrameCoder::c_nScale || bmi.biHeight < CFrameCoder::c_nScale ||
        bmi.biWidth > 8192 || bmi.biHeight > 8192)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT CVideoEncoderFilter::CompleteConnect(CKitPin* pPin, IPin* pPeer)
{
    if (pPin == InputPin())
    {
        const VIDEOINFOHEADER* pvi = GetVideoInfo(&pPin->MediaType());
        m_coder.SetSource(pvi->bmiHeader.biWidth, pvi->bmiHeader.biHeight,
                          pPin->MediaType().subtype == MEDIASUBTYPE_YUY2);
    }
    return CKitTransformFilter::CompleteConnect(pPin, pPeer);
}

HRESULT CVideoEncoderFilter::GetOutputType(ULONG iPosition, CMediaType* pmt)
{
    if (iPosition > 0)
        return VFW_S_NO_MORE_ITEMS;
    const VIDEOINFOHEADER* pviIn = GetVideoInfo(&InputPin()->MediaType());
    if (pviIn == nullptr)
        return VFW_S_NO_MORE_ITEMS;
    auto* pvi = reinterpret_cast<VIDEOINFOHEADER*>(pmt->AllocFormat(sizeof(VIDEOINFOHEADER)));
    if (pvi == nullptr)
        return E_OUTOFMEMORY;
    *pvi = *pviIn;
    pvi->dwBitRate = m_dwBitRate;
    pvi->bmiHeader.biCompression = m_dwFourCC;
    pvi->bmiHeader.biBitCount = 24;
    pvi->bmiHeader.biSizeImage = m_coder.MaxCodedSize();
    pmt->majortype = MEDIATYPE_Video;
    pmt->subtype = m_subtypeOut;
    pmt->formattype = FORMAT_VideoInfo;
    pmt->bFixedSizeSamples = FALSE;
    pmt->bTemporalCompression = TRUE;
    pmt->lSampleSize = 0;
    return S_OK;
}

HRESULT CVideoEncoderFilter::GetOutputBufferSize(ALLOCATOR_PROPERTIES* pRequest)
{
    pRequest->cBuffers = 4;
    pRequest->cbBuffer = static_cast<long>(m_coder.MaxCodedSize());
    return S_OK;
}

void CVideoEncoderFilter::OnStreamReset()
{
    m_coder.Reset();
    m_iSinceKey = 0;
}

HRESULT CVideoEncoderFilter::Transform(IMediaSample* pIn, IMediaSample* pOut)
{
    BYTE* pbIn = nullptr;
    BYTE* pbOut = nullptr;
    HRESULT hr = pIn->GetPointer(&pbIn);
    if (SUCCEEDED(hr))
        hr = pOut->GetPointer(&pbOut);
    if (FAILED(hr))
        return hr;
    const VIDEOINFOHEADER* pvi = GetVideoInfo(&InputPin()->MediaType());
    if (static_cast<DWORD>(pIn->GetActualDataLength()) < pvi->bmiHeader.biSizeImage)
        return VFW_E_BUFFER_UNDERFLOW;

    // A request is used up by any key frame, so that it brings at most one.
    bool bRequested = m_bKeyRequested.exchange(false);
    bool bKey = bRequested || m_iSinceKey == 0 || m_iSinceKey >= m_nKeyFrameInterval;
    DWORD cb = m_coder.Encode(pbIn, bKey, pbOut, static_cast<DWORD>(pOut->GetSize()));
    if (cb == 0)
        return VFW_E_BUFFER_OVERFLOW;
    if (bKey)
    {
        m_iSinceKey = 0;
        ++m_cKeyFrames;
    }
    ++m_iSinceKey;
    ++m_cFrames;
    pOut->SetActualDataLength(static_cast<long>(cb));
    pOut->SetSyncPoint(bKey);
    return S_OK;
}
