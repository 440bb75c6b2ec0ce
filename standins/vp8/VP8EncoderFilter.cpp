#include "VP8EncoderFilter.h"

#include "dshow/FourCCSubtype.h"

#include "CodecLibrary.h"

const wchar_t CVP8Encoder::c_szName[] = L"WebM VP8 Encoder Filter";

namespace {

constexpr GUID MEDIASUBTYPE_StandinVP80 = FourCCSubtype(MAKEFOURCC('V', 'P', '8', '0'));
const ULONG c_nKeyFrameInterval = 60;
const LONG c_nDefaultKbps = 1000;
// The WebM filter's default: good quality.
const int c_nDefaultDeadline = 1000000;
const DWORD c_dwSettingsTag = MAKEFOURCC('V', 'P', '8', 'E');
// 1: the deadline; 2: then the bit rate and the key-frame interval.
const WORD c_wSettingsVersion = 2;

bool IsBitrate(LONG nKbps)
{
    return nKbps >= 1 && nKbps <= 100000;
}

bool IsKeyFrameInterval(LONG nFrames)
{
    return nFrames >= 1 && nFrames <= 100000;
}

} // namespace

CVP8Encoder::CVP8Encoder()
    : CVideoEncoderFilter(c_szName, CLSID_VP8Encoder, MEDIASUBTYPE_StandinVP80,
                          MAKEFOURCC('V', 'P', '8', '0'), c_nKeyFrameInterval),
      m_nDeadline(c_nDefaultDeadline), m_nBitrateKbps(c_nDefaultKbps)
{
    m_codec.SetDeadline(m_nDeadline);
    SetOutputBitRate(static_cast<DWORD>(m_nBitrateKbps) * 1000);
}

HRESULT CVP8Encoder::Init()
{
    HRESULT hr = CVideoEncoderFilter::Init();
    AddPropertyPage(CLSID_VP8EncoderPropertyPage);
    KeepSettings(c_dwSettingsTag, c_wSettingsVersion);
    return hr;
}

void* CVP8Encoder::GetInterface(REFIID riid)
{
    KIT_INTERFACE(IVP8Encoder);
    KIT_INTERFACE(IVP8EncoderSettings);
    return CVideoEncoderFilter::GetInterface(riid);
}

STDMETHODIMP CVP8Encoder::SetDeadline(int nDeadline)
{
    KIT_FAULT(L"SetDeadline");
    if (nDeadline < 0)
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    m_nDeadline = nDeadline;
    m_codec.SetDeadline(nDeadline);
    return S_OK;
}

STDMETHODIMP CVP8Encoder::GetDeadline(int* pnDeadline)
{
    if (pnDeadline == nullptr)
        return E_POINTER;
    CKitAutoLock lock(FilterLock());
    *pnDeadline = m_nDeadline;
    return S_OK;
}

STDMETHODIMP CVP8Encoder::SetForceKeyframe()
{
    KIT_FAULT(L"SetForceKeyframe");
    RequestKeyFrame();
    return S_OK;
}

STDMETHODIMP CVP8Encoder::GetStatus(VP8_ENCODER_STATUS* pStatus)
{
    if (pStatus == nullptr)
        return E_POINTER;
    CKitAutoLock lock(FilterLock());
    pStatus->nDeadline = m_nDeadline;
    pStatus->nBitrateKbps = m_nBitrateKbps;
    pStatus->nKeyFrameInterval = static_cast<LONG>(KeyFrameInterval());
    pStatus->cFrames = FramesCoded();
    pStatus->cKeyFrames = KeyFramesCoded();
    return S_OK;
}

// Taken by a running encoder before its next frame.
STDMETHODIMP CVP8Encoder::SetBitrate(LONG nKbps)
{
    if (!IsBitrate(nKbps))
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    m_nBitrateKbps = nKbps;
    SetOutputBitRate(static_cast<DWORD>(nKbps) * 1000);
    return S_OK;
}

STDMETHODIMP CVP8Encoder::SetKeyFrameInterval(LONG nFrames)
{
    if (!IsKeyFrameInterval(nFrames))
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    CVideoEncoderFilter::SetKeyFrameInterval(static_cast<ULONG>(nFrames));
    return S_OK;
}

STDMETHODIMP CVP8Encoder::GetLibrary(BSTR* pbstrVersion, BSTR* pbstrError)
{
    return CopyLibraryStrings(m_codec.LibraryVersion(), CodecError(), pbstrVersion, pbstrError);
}

// Record version 2: the deadline in microseconds, the bit rate in kbps, the
// key-frame interval in frames; 4 bytes each. Version 1 has the deadline
// alone, and loads with the other two at their defaults.
void CVP8Encoder::SaveSettings(CKitSettingsWriter& writer)
{
    writer.PutLong(m_nDeadline);
    writer.PutLong(m_nBitrateKbps);
    writer.PutLong(static_cast<LONG>(KeyFrameInterval()));
}

HRESULT CVP8Encoder::LoadSettings(CKitSettingsReader& reader)
{
    LONG nDeadline = reader.GetLong();
    LONG nBitrateKbps = c_nDefaultKbps;
    LONG nInterval = static_cast<LONG>(c_nKeyFrameInterval);
    if (reader.Version() >= 2)
    {
        nBitrateKbps = reader.GetLong();
        nInterval = reader.GetLong();
    }
    HRESULT hr = reader.Finish();
    if (FAILED(hr))
        return hr;
    if (nDeadline < 0 || !IsBitrate(nBitrateKbps) || !IsKeyFrameInterval(nInterval))
        return VFW_E_INVALID_FILE_FORMAT;
    m_nDeadline = nDeadline;
    m_codec.SetDeadline(nDeadline);
    m_nBitrateKbps = nBitrateKbps;
    SetOutputBitRate(static_cast<DWORD>(nBitrateKbps) * 1000);
    CVideoEncoderFilter::SetKeyFrameInterval(static_cast<ULONG>(nInterval));
    return S_OK;
}
