#include "IceDlg.h"

#include <vector>

#include "graph/Graph.h"
#include "ui/ErrorMessageBox.h"
#include "ui/StunServers.h"

namespace {

// The control's text; NULL for an empty field, which the filter reads as
// "none".
CComBSTR GetItemBSTR(HWND hDlg, int nID)
{
    HWND hCtl = ::GetDlgItem(hDlg, nID);
    int cch = ::GetWindowTextLengthW(hCtl);
    if (cch <= 0)
        return CComBSTR();
    std::vector<wchar_t> text(cch + 1, L'\0');
    ::GetWindowTextW(hCtl, text.data(), cch + 1);
    return text[0] != L'\0' ? CComBSTR(text.data()) : CComBSTR();
}

} // namespace

INT_PTR CIceDlg::DoModal(CGraph* pGraph, HWND hWndParent)
{
    if (pGraph == nullptr)
        return 3;
    m_pGraph = pGraph;
    return CDialogImpl<CIceDlg>::DoModal(hWndParent);
}

LRESULT CIceDlg::OnInitDialog(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& /*bHandled*/)
{
    // CB_ADDSTRING on an unsorted combo box keeps the list's order.
    for (UINT i = 0; i < nStunServers; ++i)
        SendDlgItemMessage(IDC_ICE_URI, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GetStunServer(i).m_str));
    SendDlgItemMessage(IDC_ICE_URI, CB_SETCURSEL, 0);
    return TRUE;
}

LRESULT CIceDlg::OnOK(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    // Only emptiness is checked here; the filter alone judges a URI.
    CComBSTR cbsURI = GetItemBSTR(m_hWnd, IDC_ICE_URI);
    if (!cbsURI || m_pGraph == nullptr)
        return 0;
    CComBSTR cbsUser = GetItemBSTR(m_hWnd, IDC_ICE_USER);
    CComBSTR cbsPwd = GetItemBSTR(m_hWnd, IDC_ICE_PASSWORD);

    HRESULT hr = m_pGraph->AddIceServer(cbsURI, cbsUser, cbsPwd);
    if (hr != S_OK)
    {
        // The dialog stays open with the fields as typed, for another try.
        ::ErrorMessageBox(m_hWnd, L"Add ICE Server error", L"Https Test", hr, MB_OK);
        return 0;
    }
    EndDialog(IDOK);
    return 0;
}

LRESULT CIceDlg::OnCancel(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    EndDialog(IDCANCEL);
    return 0;
}
