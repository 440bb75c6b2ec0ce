#include "EncoderPages.h"

#include "dshow/MediaFormat.h"
#include "dshow/MediaType.h"
#include "QSEncoderFilter.h"

#include <cwchar>
#include <string>

CQSEncoderPage::CQSEncoderPage() : CKitPropertyPage(L"QS Encoder", 260, 190) {}

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

// What openh264 cannot honour is said next to the setting: both kinds run
// in software, and constrained baseline has no B frames.
void CQSEncoderPage::OnCreateControls()
{
    QS_ENCODER_STATUS status = {};
    CComBSTR bstrVersion, bstrError;
    if (m_spStatus)
    {
        m_spStatus->GetStatus(&status);
        m_spStatus->GetLibrary(&bstrVersion, &bstrError);
    }
    AddLabel(8, 8, 240, 16, bstrVersion ? bstrVersion.m_str : L"");
    wchar_t sz[160];
    swprintf(sz, ARRAYSIZE(sz), L"Supported encoders: %ld, selected: %ld", status.nSupportedEncoders,
             status.nSelectedEncoder);
    AddLabel(8, 28, 240, 16, sz);
    if (status.nSelectedEncoder == QSEnc_H264_Hardware)
        AddLabel(8, 46, 240, 16, L"Hardware kind: coded in software");
    if (bstrError && bstrError.Length() > 0)
        swprintf(sz, ARRAYSIZE(sz), L"Error: %ls", bstrError.m_str);
    else
        swprintf(sz, ARRAYSIZE(sz), L"Frames: %lu, key frames: %lu", status.cFrames, status.cKeyFrames);
    AddLabel(8, 64, 240, 16, sz);
    AddLabel(8, 90, 120, 16, L"Bit rate (kbps):");
    swprintf(sz, ARRAYSIZE(sz), L"%ld", status.nBitrateKbps);
    AddEdit(c_idBitrate, 130, 88, 80, 20, sz);
    AddLabel(8, 116, 120, 16, L"Target usage (1-7):");
    swprintf(sz, ARRAYSIZE(sz), L"%ld", status.nTargetUsage);
    AddEdit(c_idTargetUsage, 130, 114, 80, 20, sz);
    static const wchar_t* const rgpszComplexity[] = {L"low", L"medium", L"high"};
    swprintf(sz, ARRAYSIZE(sz), L"OpenH264 complexity: %ls",
             rgpszComplexity[CQSEncoder::ComplexityOf(status.nTargetUsage)]);
    AddLabel(8, 138, 240, 16, sz);
    if (status.nBFrames > 0)
        swprintf(sz, ARRAYSIZE(sz), L"B frames: %ld (none coded: baseline)", status.nBFrames);
    else
        swprintf(sz, ARRAYSIZE(sz), L"B frames: 0");
    AddLabel(8, 158, 240, 16, sz);
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

COpusEncoderPage::COpusEncoderPage() : CKitPropertyPage(L"Opus Encoder", 260, 110) {}

HRESULT COpusEncoderPage::OnConnect(IUnknown* pObject)
{
    HRESULT hr = pObject->QueryInterface(&m_spFilter);
    if (SUCCEEDED(hr))
        hr = pObject->QueryInterface(&m_spSettings);
    if (FAILED(hr))
        OnDisconnect();
    return hr;
}

void COpusEncoderPage::OnDisconnect()
{
    m_spFilter.Release();
    m_spSettings.Release();
}

void COpusEncoderPage::OnCreateControls()
{
    OPUS_ENCODER_STATUS status = {};
    CComBSTR bstrVersion, bstrError;
    if (m_spSettings)
    {
        m_spSettings->GetStatus(&status);
        m_spSettings->GetLibrary(&bstrVersion, &bstrError);
    }
    AddLabel(8, 8, 240, 16, bstrVersion ? bstrVersion.m_str : L"");
    std::wstring text = L"Input not connected";
    CComPtr<IPin> spInput;
    CMediaType mt;
    wchar_t sz[160];
    if (m_spFilter && SUCCEEDED(m_spFilter->FindPin(L"Input", &spInput)) &&
        spInput->ConnectionMediaType(&mt) == S_OK)
    {
        if (const WAVEFORMATEX* pwfx = GetWaveFormat(&mt))
        {
            swprintf(sz, ARRAYSIZE(sz), L"Input: %lu Hz, %u channel(s); 20 ms frames",
                     pwfx->nSamplesPerSec, pwfx->nChannels);
            text = sz;
        }
    }
    AddLabel(8, 28, 240, 16, text.c_str());
    if (bstrError && bstrError.Length() > 0)
        AddLabel(8, 46, 240, 16, bstrError);
    AddLabel(8, 70, 120, 16, L"Bit rate (bit/s):");
    swprintf(sz, ARRAYSIZE(sz), L"%ld", status.nBitrate);
    AddEdit(c_idBitrate, 130, 68, 80, 20, sz);
}

HRESULT COpusEncoderPage::OnApply()
{
    if (!m_spSettings)
        return E_UNEXPECTED;
    return m_spSettings->SetBitrate(wcstol(ControlText(c_idBitrate).c_str(), nullptr, 10));
}
