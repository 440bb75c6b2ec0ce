// Playback commands, graph events and the position and statistics display.
#include "MainDialog.h"

#include <commctrl.h>
#include <strsafe.h>

#include "ui/SizeFormat.h"

namespace {

const LONGLONG llOpenEnded = 0x7FFFFFFFFFFFFFFFLL;
const LONGLONG llOneHour = 36000000000LL;

const wchar_t szPlayAccessDenied[] =
    L"Can't play. Please restart the application with\n"
    L"administrator rigths (\"Run as administrator\").\n"
    L"You can also use approaches with netsh.exe\n"
    L"or ports in the range 49152 \u2013 65535.\n"
    L"See Corvasta.idl.\n";

const wchar_t szPauseAccessDenied[] =
    L"Can't pause.\n"
    L"Please restart the application with\n"
    L"administrator rigths (\"Run as administrator\").";

} // namespace

LRESULT CMainDialog::OnGraphNotify(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& /*bHandled*/)
{
    long lEvent;
    while ((lEvent = m_graph.GetGraphEvent()) != 0)
    {
        switch (lEvent)
        {
        case EC_COMPLETE:
            m_graph.Stop();
            m_graph.SetPosition(0);
            ErrorMessageBox(L"The end", 0);
            break;
        case EC_USER:
            m_graph.ForceKeyFrame();
            break;
        case EC_USER + 1:
            OnConnectionCount();
            break;
        default:
            ATLTRACE2(atlTraceGeneral, 2, L"CMainDialog::OnGraphNotify(): event 0x%X\n", lEvent);
            break;
        }
    }
    return 0;
}

void CMainDialog::OnConnectionCount()
{
    if (m_graph.IsEmpty())
        return;
    // A stopped graph reads as no connections and is left as it is.
    if (m_graph.GetConnections() != 0)
        m_graph.Run();
    else if (!m_graph.IsStopped())
        m_graph.Pause();
    ShowStatistics();
}

LRESULT CMainDialog::OnTimer(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& /*bHandled*/)
{
    if (m_graph.IsEmpty())
    {
        KillTimer(nDisplayTimer);
        return 0;
    }
    ShowPositions();
    ShowStatistics();
    return 0;
}

LRESULT CMainDialog::OnPlay(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    if (m_graph.IsEmpty())
    {
        ErrorMessageBox(L"Graph not exist", E_FAIL);
        return 0;
    }
    HRESULT hr = m_graph.Run();
    if (hr == E_ACCESSDENIED)
        ErrorMessageBox(szPlayAccessDenied, hr);
    else if (FAILED(hr))
        ErrorMessageBox(L"Can't play", hr);
    ShowCurrentUrl();
    return 0;
}

LRESULT CMainDialog::OnPause(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    if (m_graph.IsEmpty())
    {
        ErrorMessageBox(L"Graph not exist", E_FAIL);
        return 0;
    }
    HRESULT hr = m_graph.Pause();
    if (hr == E_ACCESSDENIED)
        ErrorMessageBox(szPauseAccessDenied, hr);
    else if (FAILED(hr))
        ErrorMessageBox(L"Can't pause", hr);
    return 0;
}

LRESULT CMainDialog::OnStop(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    if (m_graph.IsEmpty())
        return 0;
    HRESULT hr = m_graph.Stop();
    ATLASSERT(SUCCEEDED(hr));
    (void)hr;
    m_graph.SetPosition(0);
    ShowPositions();
    ShowStatistics();
    return 0;
}

LRESULT CMainDialog::OnHScroll(UINT /*uMsg*/, WPARAM wParam, LPARAM lParam, BOOL& /*bHandled*/)
{
    HWND hSlider = GetDlgItem(IDC_SLIDER);
    if (m_graph.IsEmpty() || reinterpret_cast<HWND>(lParam) != hSlider)
        return 0;
    LRESULT nPos = LOWORD(wParam) == TB_THUMBPOSITION ? HIWORD(wParam) : SendDlgItemMessage(IDC_SLIDER, TBM_GETPOS);
    m_graph.SeekToRatio(nPos / 1000.0);
    ShowPositions();
    return 0;
}

LRESULT CMainDialog::OnShowBrowser(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    m_graph.ShowBrowser();
    return 0;
}

void CMainDialog::ShowPositions()
{
    if (m_graph.IsEmpty())
        return;

    LONGLONG llDuration = 0;
    HRESULT hr = m_graph.GetDuration(&llDuration);
    if (hr == E_NOTIMPL)
        llDuration = llOpenEnded;
    if (llDuration > 0)
    {
        LONGLONG llPos = 0;
        hr = m_graph.GetPosition(&llPos);
        if (hr == S_OK)
        {
            // A live stream is shown against an hour past its position.
            bool bLive = false;
            if (llDuration == llOpenEnded && llPos != llOpenEnded)
            {
                llDuration = llPos + llOneHour;
                bLive = true;
            }
            WORD nSel = static_cast<WORD>(static_cast<long long>(1000.0 * llPos / llDuration + 0.5));
            // Redrawn only when it moves: at ten refreshes a second an
            // unchanged repaint was most of the display's cost.
            if (SendDlgItemMessage(IDC_SLIDER, TBM_GETSELSTART) != 0 ||
                SendDlgItemMessage(IDC_SLIDER, TBM_GETSELEND) != nSel)
                SendDlgItemMessage(IDC_SLIDER, TBM_SETSEL, TRUE, MAKELPARAM(0, nSel));

            int nPosSec = static_cast<int>(llPos / 10000000);
            int nPosMs = static_cast<int>((llPos - nPosSec * 10000000LL) / 10000);
            int nDurSec = static_cast<int>(llDuration / 10000000);
            int nDurMs = static_cast<int>((llDuration - nDurSec * 10000000LL) / 10000);
            wchar_t szText[72];
            if (bLive)
                ::StringCchPrintfW(szText, ARRAYSIZE(szText), L"%i.%03i", nPosSec, nPosMs);
            else
                ::StringCchPrintfW(szText, ARRAYSIZE(szText), L"%i.%03i from %i.%03i", nPosSec, nPosMs, nDurSec,
                                   nDurMs);
            SetChangedText(IDC_POSITIONS, szText);
        }
    }
    if (hr != S_OK)
        SetChangedText(IDC_POSITIONS, L"");
}

void CMainDialog::ShowStatistics()
{
    ServerStats stats;
    ZeroMemory(&stats, sizeof(stats));
    if (m_graph.GetStatistics(&stats) != S_OK)
        return;
    wchar_t szSize[cchSizeText];
    FormatSize(stats.nBytes, szSize);
    int nMs = stats.nRtpTransferVid / 1000;
    int nRest = stats.nRtpTransferVid - nMs * 1000;
    wchar_t szLine[256];
    // A longer line is cut to the buffer, not dropped.
    ::StringCchPrintfW(szLine, ARRAYSIZE(szLine), L"Connections: %u, %u packs, %s, RTP transfer (vid): %u.%03u ms",
                       stats.nConnections, stats.nPacks, szSize, nMs, nRest);
    SetChangedText(IDC_STATISTIC, szLine);
}

void CMainDialog::SetChangedText(int nID, const wchar_t* pszText)
{
    SetChangedText(GetDlgItem(nID), pszText);
}

void CMainDialog::SetChangedText(HWND hWnd, const wchar_t* pszText)
{
    wchar_t szOld[512];
    if (::GetWindowTextW(hWnd, szOld, ARRAYSIZE(szOld)) + 1 >= static_cast<int>(ARRAYSIZE(szOld)) ||
        wcscmp(szOld, pszText) != 0)
        ::SetWindowTextW(hWnd, pszText);
}
