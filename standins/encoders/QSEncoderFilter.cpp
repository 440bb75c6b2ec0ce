#include "QSEncoderFilter.h"

#include "CodecLibrary.h"

const wchar_t CQSEncoder::c_szName[] = L"Ormidex QS Encoder";

namespace {

const ULONG c_nKeyFrameInterval = 50; // two seconds at 25 fps
const LONG c_nDefaultKbps = 4000;
const DWORD c_dwSettingsTag = MAKEFOURCC('O', 'Q', 'S', 'E');
const WORD c_wSettingsVersion = 1;

bool IsEncoderKind(LONG nEncoder)
{
    return nEncoder == QSEnc_H264_Software || nEncoder == QSEnc_H264_Hardware;
}

bool IsTargetUsage(LONG nUsage)
{
    return nUsage >= 1 && nUsage <= 7;
}

bool IsBitrate(LONG nKbps)
{
    return nKbps >= 1 && nKbps <= 100000;
}

// The count of B frames between reference frames. openh264's constrained
// baseline codes none whatever is set; the default differs from the program's 0 so that a missing
// set-up call shows in its status.
const LONG c_nDefaultBFrames = 2;
bool IsBFrames(LONG nCount)
{
    return nCount >= 0 && nCount <= 7;
}

} // namespace

CQSEncoder::CQSEncoder()
    : CVideoEncoderFilter(c_szName, CLSID_OrmidexQSEncoder, MEDIASUBTYPE_StandinH264,
                          MAKEFOURCC('H', '2', '6', '4'), c_nKeyFrameInterval),
      m_nSupported(static_cast<LONG>(Faults().Setting(L"SupportedEncoders", QSEnc_H264_Any))),
      m_nSelected(0), m_nTargetUsage(0), m_nBitrateKbps(c_nDefaultKbps), m_nBFrames(c_nDefaultBFrames)
{
    SetTargetUsageValue(4);
    SetOutputBitRate(static_cast<DWORD>(m_nBitrateKbps) * 1000);
}

int CQSEncoder::ComplexityOf(LONG nTargetUsage)
{
    return nTargetUsage <= 2 ? 2 : nTargetUsage <= 5 ? 1 : 0;
}

// Taken by the codec when the next stream starts.
void CQSEncoder::SetTargetUsageValue(LONG nUsage)
{
    m_nTargetUsage = nUsage;
    m_codec.SetComplexity(ComplexityOf(nUsage));
}

HRESULT CQSEncoder::Init()
{
    HRESULT hr = CVideoEncoderFilter::Init();
    AddPropertyPage(CLSID_QSEncoderPropertyPage);
    KeepSettings(c_dwSettingsTag, c_wSettingsVersion);
    return hr;
}

void* CQSEncoder::GetInterface(REFIID riid)
{
    KIT_INTERFACE(IQSEncoder);
    KIT_INTERFACE(IQSEncoderStatus);
    return CVideoEncoderFilter::GetInterface(riid);
}

STDMETHODIMP CQSEncoder::GetSupportedEncoders(LONG* pnMask)
{
    if (pnMask == nullptr)
        return E_POINTER;
    KIT_FAULT(L"GetSupportedEncoders");
    *pnMask = m_nSupported;
    return S_OK;
}

STDMETHODIMP CQSEncoder::SelectEncoder(LONG nEncoder)
{
    KIT_FAULT(L"SelectEncoder");
    if (!IsEncoderKind(nEncoder) || (nEncoder & m_nSupported) == 0)
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    if (State() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    m_nSelected = nEncoder;
    return S_OK;
}

STDMETHODIMP CQSEncoder::SetTargetUsage(LONG nUsage)
{
    KIT_FAULT(L"SetTargetUsage");
    if (!IsTargetUsage(nUsage))
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    SetTargetUsageValue(nUsage);
    return S_OK;
}

STDMETHODIMP CQSEncoder::SetBitrate(LONG nKbps)
{
    KIT_FAULT(L"SetBitrate");
    if (!IsBitrate(nKbps))
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    // The rate is planned for the input's format: the encoder takes it only
    // once its input is connected.
    if (InputPin() == nullptr || !InputPin()->IsConnected())
        return VFW_E_NOT_CONNECTED;
    m_nBitrateKbps = nKbps;
    SetOutputBitRate(static_cast<DWORD>(nKbps) * 1000);
    return S_OK;
}

STDMETHODIMP CQSEncoder::SetBFrames(LONG nCount)
{
    KIT_FAULT(L"SetBFrames");
    if (!IsBFrames(nCount))
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    m_nBFrames = nCount;
    return S_OK;
}

STDMETHODIMP CQSEncoder::RequestKeyFrame()
{
    KIT_FAULT(L"RequestKeyFrame");
    CVideoEncoderFilter::RequestKeyFrame();
    return S_OK;
}

// Record version 1: selected encoder (0 when none was selected), target
// usage, B-frames, bit rate in kbps; 4 bytes each.
void CQSEncoder::SaveSettings(CKitSettingsWriter& writer)
{
    writer.PutLong(m_nSelected);
    writer.PutLong(m_nTargetUsage);
    writer.PutLong(m_nBFrames);
    writer.PutLong(m_nBitrateKbps);
}

// An encoder kind this machine lacks is refused as SelectEncoder refuses it.
HRESULT CQSEncoder::LoadSettings(CKitSettingsReader& reader)
{
    LONG nSelected = reader.GetLong();
    LONG nTargetUsage = reader.GetLong();
    LONG nBFrames = reader.GetLong();
    LONG nBitrateKbps = reader.GetLong();
    HRESULT hr = reader.Finish();
    if (FAILED(hr))
        return hr;
    if ((nSelected != 0 && !IsEncoderKind(nSelected)) || !IsTargetUsage(nTargetUsage) ||
        !IsBFrames(nBFrames) || !IsBitrate(nBitrateKbps))
        return VFW_E_INVALID_FILE_FORMAT;
    if (nSelected != 0 && (nSelected & m_nSupported) == 0)
        return E_INVALIDARG;
    m_nSelected = nSelected;
    SetTargetUsageValue(nTargetUsage);
    m_nBFrames = nBFrames;
    m_nBitrateKbps = nBitrateKbps;
    SetOutputBitRate(static_cast<DWORD>(nBitrateKbps) * 1000);
    return S_OK;
}

STDMETHODIMP CQSEncoder::GetStatus(QS_ENCODER_STATUS* pStatus)
{
    if (pStatus == nullptr)
        return E_POINTER;
    CKitAutoLock lock(FilterLock());
    pStatus->nSupportedEncoders = m_nSupported;
    pStatus->nSelectedEncoder = m_nSelected;
    pStatus->nTargetUsage = m_nTargetUsage;
    pStatus->nBitrateKbps = m_nBitrateKbps;
    pStatus->nBFrames = m_nBFrames;
    pStatus->cFrames = FramesCoded();
    pStatus->cKeyFrames = KeyFramesCoded();
    return S_OK;
}

STDMETHODIMP CQSEncoder::GetLibrary(BSTR* pbstrVersion, BSTR* pbstrError)
{
    return CopyLibraryStrings(m_codec.LibraryVersion(), CodecError(), pbstrVersion, pbstrError);
}
