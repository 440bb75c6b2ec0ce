#include "QSEncoderFilter.h"

const wchar_t CQSEncoder::c_szName[] = L"Ormidex QS Encoder";

namespace {

const ULONG c_nKeyFrameInterval = 50; // two seconds at 25 fps
const LONG c_nDefaultKbps = 4000;

} // namespace

CQSEncoder::CQSEncoder()
    : CVideoEncoderFilter(c_szName, CLSID_OrmidexQSEncoder, MEDIASUBTYPE_StandinH264,
                          MAKEFOURCC('H', '2', '6', '4'), c_nKeyFrameInterval),
      m_nSupported(static_cast<LONG>(Faults().Setting(L"SupportedEncoders", QSEnc_H264_Any))),
      m_nSelected(0), m_nTargetUsage(4), m_nBitrateKbps(c_nDefaultKbps), m_nBFrames(0)
{
    SetOutputBitRate(static_cast<DWORD>(m_nBitrateKbps) * 1000);
}

HRESULT CQSEncoder::Init()
{
    HRESULT hr = CVideoEncoderFilter::Init();
    AddPropertyPage(CLSID_QSEncoderPropertyPage);
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
    if (nEncoder != QSEnc_H264_Software && nEncoder != QSEnc_H264_Hardware)
        return E_INVALIDARG;
    if ((nEncoder & m_nSupported) == 0)
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
    if (nUsage < 1 || nUsage > 7)
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    m_nTargetUsage = nUsage;
    return S_OK;
}

STDMETHODIMP CQSEncoder::SetBitrate(LONG nKbps)
{
    KIT_FAULT(L"SetBitrate");
    if (nKbps < 1 || nKbps > 100000)
        return E_INVALIDARG;
    CKitAutoLock lock(FilterLock());
    m_nBitrateKbps = nKbps;
    SetOutputBitRate(static_cast<DWORD>(nKbps) * 1000);
    return S_OK;
}

STDMETHODIMP CQSEncoder::SetBFrames(LONG nCount)
{
    KIT_FAULT(L"SetBFrames");
    if (nCount != 0)
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
