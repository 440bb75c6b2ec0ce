#include "VideoEncoderFilter.h"

#include "dshow/MediaFormat.h"

namespace {

const REFERENCE_TIME c_tDefaultFrame = 333333; // 30 fps when the type has no rate

} // namespace

CVideoEncoderFilter::CVideoEncoderFilter(const wchar_t* pszFaultName, REFCLSID clsid,
                                         REFGUID subtypeOut, DWORD dwFourCC,
                                         ULONG ulKeyFrameInterval)
    : CKitTransformFilter(pszFaultName, clsid), m_subtypeOut(subtypeOut), m_dwFourCC(dwFourCC),
      m_nKeyFrameInterval(ulKeyFrameInterval), m_dwBitRate(0), m_iSinceKey(0),
      m_dwCodecBitRate(0), m_bKeyRequested(false), m_cFrames(0), m_cKeyFrames(0)
{
    SetKeyFrameInterval(Faults().Setting(L"KeyFrameInterval", ulKeyFrameInterval));
}

std::wstring CVideoEncoderFilter::CodecError() const
{
    CKitAutoLock lock(m_csError);
    return m_error;
}

void CVideoEncoderFilter::SetCodecError(const std::wstring& error)
{
    CKitAutoLock lock(m_csError);
    m_error = error;
}

HRESULT CVideoEncoderFilter::CheckInputType(const AM_MEDIA_TYPE* pmt)
{
    const VIDEOINFOHEADER* pvi = GetVideoInfo(pmt);
    if (pmt->majortype != MEDIATYPE_Video || pvi == nullptr)
        return VFW_E_TYPE_NOT_ACCEPTED;
    if (pmt->subtype != MEDIASUBTYPE_YUY2 && pmt->subtype != MEDIASUBTYPE_RGB32)
        return VFW_E_TYPE_NOT_ACCEPTED;
    const BITMAPINFOHEADER& bmi = pvi->bmiHeader;
    // Bottom-up RGB and top-down YUY2, as DIBs and capture sources give them;
    // 4:2:0 pictures need even sizes.
    if (bmi.biWidth < 16 || bmi.biHeight < 16 || bmi.biWidth > 4096 || bmi.biHeight > 4096 ||
        (bmi.biWidth | bmi.biHeight) & 1)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

DWORD CVideoEncoderFilter::MaxCodedSize() const
{
    // A coded frame stays below its raw 4:2:0 picture; the headers of a key
    // frame are the margin.
    const VIDEOINFOHEADER* pvi = GetVideoInfo(&InputPin()->MediaType());
    DWORD cPixels = static_cast<DWORD>(pvi->bmiHeader.biWidth * pvi->bmiHeader.biHeight);
    return cPixels * 3 / 2 + 4096;
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
    pvi->bmiHeader.biSizeImage = MaxCodedSize();
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
    pRequest->cbBuffer = static_cast<long>(MaxCodedSize());
    return S_OK;
}

// A new stream starts with a new codec, and so with a key frame.
void CVideoEncoderFilter::OnStreamReset()
{
    Codec().Close();
    m_iSinceKey = 0;
}

// The stream stops with hr; the codec's words stay for the property page.
HRESULT CVideoEncoderFilter::CodecFailed(HRESULT hr)
{
    std::wstring error = Codec().LastError();
    SetCodecError(error);
    ::OutputDebugStringW((FaultName() + L": " + error + L"\n").c_str());
    return hr;
}

HRESULT CVideoEncoderFilter::OpenCodec()
{
    const VIDEOINFOHEADER* pvi = GetVideoInfo(&InputPin()->MediaType());
    VIDEO_CODEC_SETTINGS settings = {};
    settings.nWidth = pvi->bmiHeader.biWidth;
    settings.nHeight = pvi->bmiHeader.biHeight;
    settings.tFrame = pvi->AvgTimePerFrame > 0 ? pvi->AvgTimePerFrame : c_tDefaultFrame;
    settings.dwBitRate = m_dwBitRate;
    m_picture.SetSize(settings.nWidth, settings.nHeight);
    HRESULT hr = Codec().Open(settings);
    if (FAILED(hr))
        return CodecFailed(hr);
    m_dwCodecBitRate = settings.dwBitRate;
    return hr;
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

    CVideoCodec& codec = Codec();
    if (!codec.IsOpen() && FAILED(hr = OpenCodec()))
        return hr;
    if (m_dwCodecBitRate != m_dwBitRate && SUCCEEDED(codec.SetBitRate(m_dwBitRate)))
        m_dwCodecBitRate = m_dwBitRate;
    if (InputPin()->MediaType().subtype == MEDIASUBTYPE_YUY2)
        m_picture.FromYUY2(pbIn);
    else
        m_picture.FromRGB32(pbIn);

    // A request is used up by any key frame, so that it brings at most one.
    bool bRequested = m_bKeyRequested.exchange(false);
    bool bKey = bRequested || m_iSinceKey == 0 || m_iSinceKey >= m_nKeyFrameInterval;
    REFERENCE_TIME tStart = 0, tEnd = 0;
    pIn->GetTime(&tStart, &tEnd);
    bool bCodedKey = false;
    if (FAILED(hr = codec.Encode(m_picture, tStart, bKey, &m_coded, &bCodedKey)))
        return CodecFailed(hr);
    if (m_coded.empty())
    {
        // A dropped picture leaves a pending key frame pending.
        if (bRequested)
            m_bKeyRequested = true;
        return S_FALSE;
    }
    if (m_coded.size() > static_cast<size_t>(pOut->GetSize()))
        return VFW_E_BUFFER_OVERFLOW;
    memcpy(pbOut, m_coded.data(), m_coded.size());
    if (bCodedKey)
    {
        m_iSinceKey = 0;
        ++m_cKeyFrames;
    }
    ++m_iSinceKey;
    ++m_cFrames;
    pOut->SetActualDataLength(static_cast<long>(m_coded.size()));
    pOut->SetSyncPoint(bCodedKey);
    return S_OK;
}
