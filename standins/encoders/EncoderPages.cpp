#include "EncoderPages.h"

#include "dshow/MediaFormat.h"
#include "dshow/MediaType.h"

#include <cwchar>
#include <string>

CQSEncoderPage::CQSEncoderPage() : CKitPropertyPage(L"QS Encoder", 260, 130) {}

HRESULT CQSEncoderPage::OnConnect(IUnknown* pObject)
{
    HRESULT hr = pObject->QueryInterface(&m_spEncoder);
    if (SUCCEEDED(hr))
        hr = pObject->QueryInterface(&m_spStatus);
    if (FAILED(hr))
        OnDisconnect();
    return hr;
}

void CQSEncoderPage::OnDisconnect()
{
    m_spEncoder.Release();
    m_spStatus.Release();
}

void CQSEncoderPage::OnCreateControls()
{
    QS_ENCODER_STATUS status = {};
    if (m_spStatus)
        m_spStatus->GetStatus(&status);
    wchar_t sz[128];
    swprintf(sz, ARRAYSIZE(sz), L"Supported encoders: %ld, selected: %ld", status.nSupportedEncoders,
             status.nSelectedEncoder);
    AddLabel(8, 8, 240, 16, sz);
    swprintf(sz, ARRAYSIZE(sz), L"Frames: %lu, key frames: %lu", status.cFrames, status.cKeyFrames);
    AddLabel(8, 28, 240, 16, sz);
    AddLabel(8, 54, 120, 16, L"Bit rate (kbps):");
    swprintf(sz, ARRAYSIZE(sz), L"%ld", status.nBitrateKbps);
    AddEdit(c_idBitrate, 130, 52, 80, 20, sz);
    AddLabel(8, 80, 120, 16, L"Target usage (1-7):");
    swprintf(sz, ARRAYSIZE(sz), L"%ld", status.nTargetUsage);
    AddEdit(c_idTargetUsage, 130, 78, 80, 20, sz);
    swprintf(sz, ARRAYSIZE(sz), L"B frames: %ld", status.nBFrames);
    AddLabel(8, 106, 240, 16, sz);
}

HRESULT CQSEncoderPage::OnApply()
{
    if (!m_spEncoder)
        return E_UNEXPECTED;
    // Only a changed bit rate is set: the encoder refuses one until its input
    // is connected, and that must not block a change of the target usage.
    QS_ENCODER_STATUS status = {};
    HRESULT hr = m_spStatus->GetStatus(&status);
    LONG nKbps = wcstol(ControlText(c_idBitrate).c_str(), nullptr, 10);
    if (SUCCEEDED(hr) && nKbps != status.nBitrateKbps)
        hr = m_spEncoder->SetBitrate(nKbps);
    if (SUCCEEDED(hr))
        hr = m_spEncoder->SetTargetUsage(wcstol(ControlText(c_idTargetUsage).c_str(), nullptr, 10));
    return hr;
}

COpusEncoderPage::COpusEncoderPage() : CKitPropertyPage(L"Opus Encoder", 260, 60) {}

HRESULT COpusEncoderPage::OnConnect(IUnknown* pObject)
{
    return pObject->QueryInterface(&m_spFilter);
}

void COpusEncoderPage::OnDisconnect()
{
    m_spFilter.Release();
}

void COpusEncoderPage::OnCreateControls()
{
    std::wstring text = L"Input not connected";
    CComPtr<IPin> spInput;
    CMediaType mt;
    if (m_spFilter && SUCCEEDED(m_spFilter->FindPin(L"Input", &spInput)) &&
        spInput->ConnectionMediaType(&mt) == S_OK)
    {
        if (const WAVEFORMATEX* pwfx = GetWaveFormat(&mt))
        {
            wchar_t sz[128];
            swprintf(sz, ARRAYSIZE(sz), L"Input: %lu Hz, %u channel(s); 20 ms frames",
                     pwfx->nSamplesPerSec, pwfx->nChannels);
            text = sz;
        }
    }
    AddLabel(8, 8, 240, 16, text.c_str());
}
