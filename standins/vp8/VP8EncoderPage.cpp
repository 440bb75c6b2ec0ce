#include "VP8EncoderPage.h"

#include <cwchar>

CVP8EncoderPage::CVP8EncoderPage() : CKitPropertyPage(L"VP8 Encoder", 260, 150) {}

HRESULT CVP8EncoderPage::OnConnect(IUnknown* pObject)
{
    HRESULT hr = pObject->QueryInterface(&m_spEncoder);
    if (SUCCEEDED(hr))
        hr = pObject->QueryInterface(&m_spSettings);
    if (FAILED(hr))
        OnDisconnect();
    return hr;
}

void CVP8EncoderPage::OnDisconnect()
{
    m_spEncoder.Release();
    m_spSettings.Release();
}

void CVP8EncoderPage::OnCreateControls()
{
    VP8_ENCODER_STATUS status = {};
    CComBSTR bstrVersion, bstrError;
    if (m_spSettings)
    {
        m_spSettings->GetStatus(&status);
        m_spSettings->GetLibrary(&bstrVersion, &bstrError);
    }
    AddLabel(8, 8, 240, 16, bstrVersion ? bstrVersion.m_str : L"");
    wchar_t sz[160];
    if (bstrError && bstrError.Length() > 0)
        swprintf(sz, ARRAYSIZE(sz), L"Error: %ls", bstrError.m_str);
    else
        swprintf(sz, ARRAYSIZE(sz), L"Frames: %lu, key frames: %lu", status.cFrames, status.cKeyFrames);
    AddLabel(8, 28, 240, 16, sz);
    AddLabel(8, 54, 130, 16, L"Bit rate (kbps):");
    swprintf(sz, ARRAYSIZE(sz), L"%ld", status.nBitrateKbps);
    AddEdit(c_idBitrate, 140, 52, 80, 20, sz);
    AddLabel(8, 80, 130, 16, L"Key-frame interval:");
    swprintf(sz, ARRAYSIZE(sz), L"%ld", status.nKeyFrameInterval);
    AddEdit(c_idKeyFrameInterval, 140, 78, 80, 20, sz);
    AddLabel(8, 106, 130, 16, L"Deadline (us):");
    swprintf(sz, ARRAYSIZE(sz), L"%d", status.nDeadline);
    AddEdit(c_idDeadline, 140, 104, 80, 20, sz);
    AddLabel(8, 128, 240, 16, L"0 best quality, 1 real time");
}

HRESULT CVP8EncoderPage::OnApply()
{
    if (!m_spSettings)
        return E_UNEXPECTED;
    HRESULT hr = m_spSettings->SetBitrate(wcstol(ControlText(c_idBitrate).c_str(), nullptr, 10));
    if (SUCCEEDED(hr))
        hr = m_spSettings->SetKeyFrameInterval(
            wcstol(ControlText(c_idKeyFrameInterval).c_str(), nullptr, 10));
    if (SUCCEEDED(hr))
        hr = m_spEncoder->SetDeadline(static_cast<int>(wcstol(ControlText(c_idDeadline).c_str(), nullptr, 10)));
    return hr;
}
