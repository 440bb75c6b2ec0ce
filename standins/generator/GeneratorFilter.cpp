#include "GeneratorFilter.h"

#include <cmath>

const wchar_t COrmidexGenerator::c_szName[] = L"Ormidex Video Generator";
const wchar_t COrmidexGenerator::c_szVideoPin[] = L"Video";
const wchar_t COrmidexGenerator::c_szAudioPin[] = L"Audio";

namespace {

const REFERENCE_TIME c_tSecond = 10000000;
// Audio goes out in 40 ms buffers, a video frame's worth at 25 fps.
const DWORD c_nAudioChunksPerSecond = 25;
const DWORD c_dwSettingsTag = MAKEFOURCC('O', 'G', 'E', 'N');
const WORD c_wSettingsVersion = 1;

bool IsPattern(LONG nPattern)
{
    return nPattern >= 0 && nPattern < ePatternCount;
}

bool IsOverlay(LONG nOverlay)
{
    return nOverlay >= 0 && nOverlay < eOverlayCount;
}

bool IsColorSpace(LONG nColorSpace)
{
    return nColorSpace == 0 || nColorSpace == 1;
}

// Widths are even for YUY2's pixel pairs; a NaN rate fails the comparison.
bool IsVideoFormat(LONG nWidth, LONG nHeight, double dFrameRate)
{
    return nWidth >= 16 && nWidth <= 4096 && nHeight >= 16 && nHeight <= 4096 &&
           (nWidth & 1) == 0 && dFrameRate >= 1.0 && dFrameRate <= 120.0;
}

bool IsSamplingRate(LONG nHz)
{
    return nHz >= 8000 && nHz <= 192000;
}

} // namespace

COrmidexGenerator::COrmidexGenerator()
    : CKitSourceFilter(c_szName, CLSID_OrmidexVideoGenerator), m_pVideoPin(nullptr),
      m_pAudioPin(nullptr), m_tClipLength(0), m_bYUY2(false), m_nWidth(640), m_nHeight(480),
      m_dFrameRate(30.0), m_nSampleRate(16000), m_nPattern(ePatternChecker),
      m_nOverlay(eOverlayFrameNumber), m_iFrame(0), m_tVideoOrigin(0), m_tVideoStop(MAXLONGLONG),
      m_iAudioSample(0), m_tAudioOrigin(0), m_tAudioStop(MAXLONGLONG)
{
}

HRESULT COrmidexGenerator::Init()
{
    m_tClipLength = static_cast<REFERENCE_TIME>(Faults().Setting(L"ClipLength", 0)) * 10000;
    m_pVideoPin = AddPin(new (std::nothrow) CKitSourcePin(this, c_szVideoPin));
    m_pAudioPin = AddPin(new (std::nothrow) CKitSourcePin(this, c_szAudioPin));
    KeepSettings(c_dwSettingsTag, c_wSettingsVersion);
    return S_OK;
}

void* COrmidexGenerator::GetInterface(REFIID riid)
{
    KIT_INTERFACE(IVideoGenerator);
    KIT_INTERFACE(IGeneratorStatus);
    return CKitSourceFilter::GetInterface(riid);
}

STDMETHODIMP COrmidexGenerator::GetStatus(GENERATOR_STATUS* pStatus)
{
    if (pStatus == nullptr)
        return E_POINTER;
    CKitAutoLock lock(FilterLock());
    pStatus->nColorSpace = m_bYUY2 ? 1 : 0;
    pStatus->nWidth = m_nWidth;
    pStatus->nHeight = m_nHeight;
    pStatus->dFrameRate = m_dFrameRate;
    pStatus->nSampleRate = m_nSampleRate;
    pStatus->nPattern = m_nPattern;
    pStatus->nOverlay = m_nOverlay;
    return S_OK;
}

HRESULT COrmidexGenerator::GetStreamLength(REFERENCE_TIME* ptLength)
{
    if (m_tClipLength == 0)
        return E_NOTIMPL;
    *ptLength = m_tClipLength;
    return S_OK;
}

STDMETHODIMP COrmidexGenerator::SetPattern(LONG nPattern)
{
    KIT_FAULT(L"SetPattern");
    if (!IsPattern(nPattern))
        return E_INVALIDARG;
    m_nPattern = nPattern;
    return S_OK;
}

STDMETHODIMP COrmidexGenerator::SetOverlay(LONG nOverlay)
{
    KIT_FAULT(L"SetOverlay");
    if (!IsOverlay(nOverlay))
        return E_INVALIDARG;
    m_nOverlay = nOverlay;
    return S_OK;
}

STDMETHODIMP COrmidexGenerator::SetVideoFormat(LONG nColorSpace, LONG nInterlace, LONG nWidth,
                                               LONG nHeight, double dFrameRate, LONG nFlags)
{
    KIT_FAULT(L"SetVideoFormat");
    if (!IsColorSpace(nColorSpace) || nInterlace != 0 || nFlags != 0 ||
        !IsVideoFormat(nWidth, nHeight, dFrameRate))
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    bool bYUY2 = nColorSpace == 1;
    HRESULT hr = CheckVideoChange(bYUY2, nWidth, nHeight, dFrameRate);
    if (FAILED(hr))
        return hr;
    m_bYUY2 = bYUY2;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_dFrameRate = dFrameRate;
    return S_OK;
}

// The rate must be set before the audio pin connects: a connected pin keeps
// the rate it was connected with.
STDMETHODIMP COrmidexGenerator::SetSamplingRate(LONG nHz)
{
    KIT_FAULT(L"SetSamplingRate");
    if (!IsSamplingRate(nHz))
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    HRESULT hr = CheckRateChange(nHz);
    if (FAILED(hr))
        return hr;
    m_nSampleRate = nHz;
    return S_OK;
}

HRESULT COrmidexGenerator::CheckVideoChange(bool bYUY2, LONG nWidth, LONG nHeight,
                                            double dFrameRate) const
{
    bool bSame = bYUY2 == m_bYUY2 && nWidth == m_nWidth && nHeight == m_nHeight &&
                 dFrameRate == m_dFrameRate;
    if (!bSame && m_pVideoPin != nullptr && m_pVideoPin->IsConnected())
        return VFW_E_ALREADY_CONNECTED;
    return S_OK;
}

HRESULT COrmidexGenerator::CheckRateChange(LONG nHz) const
{
    if (nHz != m_nSampleRate && m_pAudioPin != nullptr && m_pAudioPin->IsConnected())
        return VFW_E_ALREADY_CONNECTED;
    return S_OK;
}

// Record version 1: pattern, overlay, colour space (0 RGB32, 1 YUY2), width,
// height (4 bytes each), frame rate (an 8-byte double), sampling rate.
void COrmidexGenerator::SaveSettings(CKitSettingsWriter& writer)
{
    writer.PutLong(m_nPattern);
    writer.PutLong(m_nOverlay);
    writer.PutLong(m_bYUY2 ? 1 : 0);
    writer.PutLong(m_nWidth);
    writer.PutLong(m_nHeight);
    writer.PutDouble(m_dFrameRate);
    writer.PutLong(m_nSampleRate);
}

HRESULT COrmidexGenerator::LoadSettings(CKitSettingsReader& reader)
{
    LONG nPattern = reader.GetLong();
    LONG nOverlay = reader.GetLong();
    LONG nColorSpace = reader.GetLong();
    LONG nWidth = reader.GetLong();
    LONG nHeight = reader.GetLong();
    double dFrameRate = reader.GetDouble();
    LONG nSampleRate = reader.GetLong();
    HRESULT hr = reader.Finish();
    if (FAILED(hr))
        return hr;
    if (!IsPattern(nPattern) || !IsOverlay(nOverlay) || !IsColorSpace(nColorSpace) ||
        !IsVideoFormat(nWidth, nHeight, dFrameRate) || !IsSamplingRate(nSampleRate))
        return VFW_E_INVALID_FILE_FORMAT;
    bool bYUY2 = nColorSpace == 1;
    if (FAILED(hr = CheckVideoChange(bYUY2, nWidth, nHeight, dFrameRate)) ||
        FAILED(hr = CheckRateChange(nSampleRate)))
        return hr;
    m_nPattern = nPattern;
    m_nOverlay = nOverlay;
    m_bYUY2 = bYUY2;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_dFrameRate = dFrameRate;
    m_nSampleRate = nSampleRate;
    return S_OK;
}

REFERENCE_TIME COrmidexGenerator::FrameLength() const
{
    return std::llround(c_tSecond / m_dFrameRate);
}

DWORD COrmidexGenerator::AudioChunkSamples() const
{
    return static_cast<DWORD>((m_nSampleRate + c_nAudioChunksPerSecond - 1) / c_nAudioChunksPerSecond);
}

HRESULT COrmidexGenerator::VideoType(bool bYUY2, CMediaType* pmt) const
{
    auto* pvi = reinterpret_cast<VIDEOINFOHEADER*>(pmt->AllocFormat(sizeof(VIDEOINFOHEADER)));
    if (pvi == nullptr)
        return E_OUTOFMEMORY;
    CFrameLayout layout = CFrameLayout::Make(m_nWidth, m_nHeight, bYUY2);
    pvi->AvgTimePerFrame = FrameLength();
    pvi->dwBitRate = static_cast<DWORD>(std::min(0xFFFFFFFF * 1.0, layout.ImageSize() * 8.0 * m_dFrameRate));
    pvi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    pvi->bmiHeader.biWidth = m_nWidth;
    pvi->bmiHeader.biHeight = m_nHeight;
    pvi->bmiHeader.biPlanes = 1;
    pvi->bmiHeader.biBitCount = bYUY2 ? 16 : 32;
    pvi->bmiHeader.biCompression = bYUY2 ? MAKEFOURCC('Y', 'U', 'Y', '2') : BI_RGB;
    pvi->bmiHeader.biSizeImage = layout.ImageSize();
    pmt->majortype = MEDIATYPE_Video;
    pmt->subtype = bYUY2 ? MEDIASUBTYPE_YUY2 : MEDIASUBTYPE_RGB32;
    pmt->formattype = FORMAT_VideoInfo;
    pmt->bFixedSizeSamples = TRUE;
    pmt->bTemporalCompression = FALSE;
    pmt->lSampleSize = layout.ImageSize();
    return S_OK;
}

HRESULT COrmidexGenerator::AudioType(CMediaType* pmt) const
{
    auto* pwfx = reinterpret_cast<WAVEFORMATEX*>(pmt->AllocFormat(sizeof(WAVEFORMATEX)));
    if (pwfx == nullptr)
        return E_OUTOFMEMORY;
    pwfx->wFormatTag = WAVE_FORMAT_PCM;
    pwfx->nChannels = 1;
    pwfx->nSamplesPerSec = static_cast<DWORD>(m_nSampleRate);
    pwfx->wBitsPerSample = 16;
    pwfx->nBlockAlign = 2;
    pwfx->nAvgBytesPerSec = pwfx->nSamplesPerSec * pwfx->nBlockAlign;
    pmt->majortype = MEDIATYPE_Audio;
    pmt->subtype = MEDIASUBTYPE_PCM;
    pmt->formattype = FORMAT_WaveFormatEx;
    pmt->bFixedSizeSamples = TRUE;
    pmt->lSampleSize = pwfx->nBlockAlign;
    return S_OK;
}

// The configured colour space first, then the other one at the same size.
HRESULT COrmidexGenerator::GetMediaType(CKitPin* pPin, ULONG iPosition, CMediaType* pmt)
{
    CKitAutoLock lock(FilterLock());
    if (pPin == m_pVideoPin && iPosition < 2)
        return VideoType(iPosition == 0 ? m_bYUY2 : !m_bYUY2, pmt);
    if (pPin == m_pAudioPin && iPosition == 0)
        return AudioType(pmt);
    return VFW_S_NO_MORE_ITEMS;
}

HRESULT COrmidexGenerator::CheckMediaType(CKitPin* pPin, const AM_MEDIA_TYPE* pmt)
{
    for (ULONG i = 0;; ++i)
    {
        CMediaType mt;
        if (GetMediaType(pPin, i, &mt) != S_OK)
            return VFW_E_TYPE_NOT_ACCEPTED;
        if (mt.Equals(pmt))
            return S_OK;
    }
}

HRESULT COrmidexGenerator::DecideBufferSize(CKitOutputPin* pPin, IMemAllocator* pAlloc,
                                            ALLOCATOR_PROPERTIES* pRequest)
{
    if (pPin == m_pVideoPin)
    {
        pRequest->cBuffers = 3;
        pRequest->cbBuffer = static_cast<long>(pPin->MediaType().lSampleSize);
    }
    else
    {
        pRequest->cBuffers = 4;
        pRequest->cbBuffer = static_cast<long>(AudioChunkSamples() * sizeof(short));
    }
    return CKitOutputPin::SetAllocatorProperties(pAlloc, pRequest);
}

HRESULT COrmidexGenerator::StartStream(CKitSourcePin* pPin, REFERENCE_TIME tPosition)
{
    REFERENCE_TIME tStart = 0, tStop = MAXLONGLONG;
    GetSegment(&tStart, &tStop);
    if (pPin == m_pVideoPin)
    {
        // The first frame that starts at or after the position.
        m_iFrame = static_cast<ULONGLONG>(std::ceil(tPosition * m_dFrameRate / c_tSecond - 1e-9));
        m_tVideoOrigin = tPosition;
        m_tVideoStop = tStop;
    }
    else
    {
        m_iAudioSample = static_cast<ULONGLONG>(tPosition) * m_nSampleRate / c_tSecond;
        m_tAudioOrigin = tPosition;
        m_tAudioStop = tStop;
    }
    return S_OK;
}

HRESULT COrmidexGenerator::FillSample(CKitSourcePin* pPin, IMediaSample* pSample)
{
    return pPin == m_pVideoPin ? FillVideo(pSample) : FillAudio(pSample);
}

HRESULT COrmidexGenerator::FillVideo(IMediaSample* pSample)
{
    REFERENCE_TIME tFrame = std::llround(m_iFrame * c_tSecond / m_dFrameRate);
    if (tFrame >= m_tVideoStop)
        return S_FALSE;
    CFrameLayout layout = CFrameLayout::Make(m_nWidth, m_nHeight,
                                             m_pVideoPin->MediaType().subtype == MEDIASUBTYPE_YUY2);
    BYTE* pb = nullptr;
    HRESULT hr = pSample->GetPointer(&pb);
    if (FAILED(hr))
        return hr;
    if (static_cast<DWORD>(pSample->GetSize()) < layout.ImageSize())
        return VFW_E_BUFFER_OVERFLOW;
    DrawPattern(pb, layout, m_nPattern, m_iFrame);
    if (m_nOverlay == eOverlayFrameNumber)
        DrawFrameNumber(pb, layout, m_iFrame);
    pSample->SetActualDataLength(static_cast<long>(layout.ImageSize()));
    REFERENCE_TIME tStart = tFrame - m_tVideoOrigin;
    REFERENCE_TIME tEnd = std::llround((m_iFrame + 1) * c_tSecond / m_dFrameRate) - m_tVideoOrigin;
    pSample->SetTime(&tStart, &tEnd);
    pSample->SetSyncPoint(TRUE);
    ++m_iFrame;
    return S_OK;
}

HRESULT COrmidexGenerator::FillAudio(IMediaSample* pSample)
{
    const ULONGLONG nRate = static_cast<ULONGLONG>(m_nSampleRate);
    REFERENCE_TIME tChunk = static_cast<REFERENCE_TIME>(m_iAudioSample * c_tSecond / nRate);
    if (tChunk >= m_tAudioStop)
        return S_FALSE;
    ULONGLONG cSamples = AudioChunkSamples();
    if (m_tAudioStop != MAXLONGLONG)
    {
        // The last buffer ends at the stop position, to the sample.
        ULONGLONG iStop = (static_cast<ULONGLONG>(m_tAudioStop) * nRate + c_tSecond - 1) / c_tSecond;
        cSamples = std::min(cSamples, iStop - m_iAudioSample);
    }
    BYTE* pb = nullptr;
    HRESULT hr = pSample->GetPointer(&pb);
    if (FAILED(hr))
        return hr;
    if (static_cast<ULONGLONG>(pSample->GetSize()) < cSamples * sizeof(short))
        return VFW_E_BUFFER_OVERFLOW;
    FillTone(reinterpret_cast<short*>(pb), static_cast<size_t>(cSamples), m_iAudioSample,
             m_nSampleRate, c_dwToneHz);
    pSample->SetActualDataLength(static_cast<long>(cSamples * sizeof(short)));
    REFERENCE_TIME tStart = tChunk - m_tAudioOrigin;
    REFERENCE_TIME tEnd =
        static_cast<REFERENCE_TIME>((m_iAudioSample + cSamples) * c_tSecond / nRate) - m_tAudioOrigin;
    pSample->SetTime(&tStart, &tEnd);
    pSample->SetSyncPoint(TRUE);
    m_iAudioSample += cSamples;
    return S_OK;
}
