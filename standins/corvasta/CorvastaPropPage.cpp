#include "CorvastaPropPage.h"

#include <cstdio>

#include "rtc/CryptoVersions.h"

const wchar_t CCorvastaPropPage::szTitle[] = L"Corvasta";

namespace {

const wchar_t* const rgpszState[] = {L"Stopped", L"Paused", L"Running"};

} // namespace

CCorvastaPropPage::CCorvastaPropPage()
    : CKitPropertyPage(szTitle, 320, 236), m_hwndStatistics(nullptr), m_hwndIceServers(nullptr)
{
}

HRESULT CCorvastaPropPage::OnConnect(IUnknown* pObject)
{
    CComQIPtr<IServerControl> spServer(pObject);
    if (spServer == nullptr)
        return E_NOINTERFACE;
    m_spServer = spServer;
    m_spIceStatus = CComQIPtr<IIceServerStatus>(pObject);
    return S_OK;
}

void CCorvastaPropPage::OnDisconnect()
{
    m_spServer.Release();
    m_spIceStatus.Release();
}

void CCorvastaPropPage::OnCreateControls()
{
    CComBSTR cbsUrl;
    if (m_spServer != nullptr)
        m_spServer->GetUrl(&cbsUrl);
    AddLabel(8, 10, 40, 16, L"URL:");
    AddEdit(IDC_PAGE_URL, 52, 8, 256, 20, cbsUrl.m_str != nullptr ? cbsUrl.m_str : L"");
    AddLabel(8, 40, 300, 16, L"Statistics:");
    m_hwndStatistics = AddLabel(8, 58, 300, 84, L"");
    if (m_hwndStatistics != nullptr)
        ::SetWindowLongPtrW(m_hwndStatistics, GWLP_ID, IDC_PAGE_STATISTICS);
    AddLabel(8, 146, 300, 16, L"ICE servers:");
    m_hwndIceServers = AddLabel(8, 164, 300, 40, L"");
    if (m_hwndIceServers != nullptr)
        ::SetWindowLongPtrW(m_hwndIceServers, GWLP_ID, IDC_PAGE_ICE_SERVERS);
    std::string strLibraries = std::string(rtc::OpenSslVersionText()) + "\r\n" + rtc::SrtpVersionText();
    HWND hwndLibraries = AddLabel(8, 204, 300, 30, std::wstring(strLibraries.begin(), strLibraries.end()).c_str());
    if (hwndLibraries != nullptr)
        ::SetWindowLongPtrW(hwndLibraries, GWLP_ID, IDC_PAGE_LIBRARIES);
    ShowStatistics();
    // The timer's id carries the page; the timer ends with the page's window.
    ::SetTimer(PageWindow(), reinterpret_cast<UINT_PTR>(this), 500, OnRefreshTimer);
}

HRESULT CCorvastaPropPage::OnApply()
{
    if (m_spServer == nullptr)
        return E_UNEXPECTED;
    // The filter refuses a URL it cannot serve, or any while it serves.
    return m_spServer->SetUrl(CComBSTR(ControlText(IDC_PAGE_URL).c_str()));
}

void CALLBACK CCorvastaPropPage::OnRefreshTimer(HWND, UINT, UINT_PTR nId, DWORD)
{
    reinterpret_cast<CCorvastaPropPage*>(nId)->ShowStatistics();
}

void CCorvastaPropPage::ShowStatistics()
{
    if (m_hwndStatistics == nullptr || m_spServer == nullptr)
        return;
    ServerStats stats = {};
    if (FAILED(m_spServer->GetStatistics(&stats)))
    {
        ::SetWindowTextW(m_hwndStatistics, L"Not available");
        return;
    }
    wchar_t szText[512];
    swprintf(szText, ARRAYSIZE(szText),
             L"State: %ls\r\nConnections: %u (%u served)\r\nPackets received: %u (%d bytes)\r\n"
             L"Packets sent: %u (%d bytes)\r\nVideo transfer: %d us, audio: %d us",
             stats.nState < ARRAYSIZE(rgpszState) ? rgpszState[stats.nState] : L"?", stats.nConnections,
             stats.nConnectionsTotal, stats.nPacks, stats.nBytes, stats.nPacksSent, stats.nBytesSent,
             stats.nRtpTransferVid, stats.nRtpTransferAud);
    ::SetWindowTextW(m_hwndStatistics, szText);

    CComBSTR cbsIce;
    if (m_hwndIceServers != nullptr && m_spIceStatus != nullptr &&
        SUCCEEDED(m_spIceStatus->GetIceServerStatus(&cbsIce)))
        ::SetWindowTextW(m_hwndIceServers, cbsIce.m_str != nullptr ? cbsIce.m_str : L"");
}
