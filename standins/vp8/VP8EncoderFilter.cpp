#include "VP8EncoderFilter.h"

#include "dshow/FourCCSubtype.h"

const wchar_t CVP8Encoder::c_szName[] = L"WebM VP8 Encoder Filter";

namespace {

constexpr GUID MEDIASUBTYPE_StandinVP80 = FourCCSubtype(MAKEFOURCC('V', 'P', '8', '0'));
const ULONG c_nKeyFrameInterval = 60;
// The WebM filter's default: good quality.
const int c_nDefaultDeadline = 1000000;
const DWORD c_dwSettingsTag = MAKEFOURCC('V', 'P', '8', 'E');
const WORD c_wSettingsVersion = 1;

} // namespace

CVP8Encoder::CVP8Encoder()
    : CVideoEncoderFilter(c_szName, CLSID_VP8Encoder, MEDIASUBTYPE_StandinVP80,
                          MAKEFOURCC('V', 'P', '8', '0'), c_nKeyFrameInterval),
      m_nDeadline(c_nDefaultDeadline)
{
}

HRESULT CVP8Encoder::Init()
{
    HRESULT hr = CVideoEncoderFilter::Init();
    KeepSettings(c_dwSettingsTag, c_wSettingsVersion);
    return hr;
}

void* CVP8Encoder::GetInterface(REFIID riid)
{
    KIT_INTERFACE(IVP8Encoder);
    return CVideoEncoderFilter::GetInterface(riid);
}

STDMETHODIMP CVP8Encoder::SetDeadline(int nDeadline)
{
    KIT_FAULT(L"SetDeadline");
    if (nDeadline < 0)
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    m_nDeadline = nDeadline;
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

// Record version 1: the deadline in microseconds, 4 bytes.
void CVP8Encoder::SaveSettings(CKitSettingsWriter& writer)
{
    writer.PutLong(m_nDeadline);
}

HRESULT CVP8Encoder::LoadSettings(CKitSettingsReader& reader)
{
    LONG nDeadline = reader.GetLong();
    HRESULT hr = reader.Finish();
    if (FAILED(hr))
        return hr;
    if (nDeadline < 0)
        return VFW_E_INVALID_FILE_FORMAT;
    m_nDeadline = nDeadline;
    return S_OK;
}
