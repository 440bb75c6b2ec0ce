// The "URL" and "ICE Servers" commands.
#include "MainDialog.h"

#include "ui/IceDlg.h"

void CMainDialog::ShowCurrentUrl()
{
    wchar_t szUrl[256];
    if (m_graph.GetURL(szUrl, ARRAYSIZE(szUrl)) == S_OK)
        SetChangedText(IDC_URL_CURRENT, szUrl);
}

LRESULT CMainDialog::OnUrlSet(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    if (!m_graph.HasGraph())
        return 0;
    wchar_t szURL[256] = L"";
    SendDlgItemMessage(IDC_URL, WM_GETTEXT, ARRAYSIZE(szURL), reinterpret_cast<LPARAM>(szURL));
    if (szURL[0] == L'\0')
    {
        ErrorMessageBox(L"Invalid URL", E_INVALIDARG);
        return 0;
    }
    HRESULT hr = m_graph.SetURL(szURL);
    if (hr != S_OK)
    {
        ErrorMessageBox(L"Can't set URL", hr);
        return 0;
    }
    hr = m_graph.GetURL(szURL, ARRAYSIZE(szURL));
    if (hr != S_OK)
    {
        ErrorMessageBox(L"Can't get new URL from filter", hr);
        return 0;
    }
    SetDlgItemText(IDC_URL_CURRENT, szURL);
    return 0;
}

LRESULT CMainDialog::OnFilterApply(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    wchar_t szNamePart[256] = L"";
    GetDlgItemText(IDC_FILTER, szNamePart, ARRAYSIZE(szNamePart));
    bool bEnabled = IsDlgButtonChecked(IDC_FILTER_ENABLED) == BST_CHECKED;

    HRESULT hr = m_graph.SetFilter(szNamePart, bEnabled);
    if (hr != S_OK)
    {
        ErrorMessageBox(L"m_graph.SetFilter() FAILED", hr);
        return 0;
    }
    hr = m_graph.GetFilter(szNamePart, ARRAYSIZE(szNamePart), &bEnabled);
    if (hr != S_OK)
    {
        ErrorMessageBox(L"m_graph.GetFilter() FAILED", hr);
        return 0;
    }
    // Show what the filter holds, not what was typed; the edit's own change
    // notification enables Apply again, so disable it last.
    SetDlgItemText(IDC_FILTER, szNamePart);
    CheckDlgButton(IDC_FILTER_ENABLED, bEnabled ? BST_CHECKED : BST_UNCHECKED);
    GetDlgItem(IDC_FILTER_APPLY).EnableWindow(FALSE);
    return 0;
}

LRESULT CMainDialog::OnFilterChange(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    GetDlgItem(IDC_FILTER_APPLY).EnableWindow(TRUE);
    return 0;
}

LRESULT CMainDialog::OnIceAdd(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    CIceDlg dlg;
    if (dlg.DoModal(&m_graph, m_hWnd) == IDOK)
        RefreshIceList();
    return 0;
}

LRESULT CMainDialog::OnIceRemove(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    if (!m_graph.HasGraph())
        return 0;
    LRESULT nSel = SendDlgItemMessage(IDC_ICE_LIST, LB_GETCURSEL);
    if (nSel == LB_ERR)
        return 0;
    // Each line keeps the filter's index of its server (RefreshIceList), so
    // the selected server is removed even when an unreadable one was left out.
    LRESULT nIndex = SendDlgItemMessage(IDC_ICE_LIST, LB_GETITEMDATA, nSel);
    if (nIndex == LB_ERR)
        return 0;
    if (m_graph.RemoveIceServer(static_cast<LONG>(nIndex)) == S_OK)
        RefreshIceList();
    return 0;
}

void CMainDialog::RefreshIceList()
{
    if (!m_graph.HasGraph())
        return;
    SendDlgItemMessage(IDC_ICE_LIST, LB_RESETCONTENT);
    int nCount = m_graph.GetIceServerCount();
    for (int i = 0; i < nCount; i++)
    {
        CComBSTR cbsURI, cbsUser, cbsPwd;
        if (m_graph.GetIceServer(i, &cbsURI, &cbsUser, &cbsPwd) != S_OK || cbsURI.m_str == nullptr)
            continue;
        CComBSTR cbsLine(cbsURI);
        if (cbsUser.m_str != nullptr)
        {
            cbsLine += L" [";
            cbsLine += cbsUser;
            if (cbsPwd.m_str != nullptr)
            {
                cbsLine += L" | ";
                cbsLine += cbsPwd;
            }
            cbsLine += L"]";
        }
        LRESULT nItem = SendDlgItemMessage(IDC_ICE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(cbsLine.m_str));
        if (nItem >= 0)
            SendDlgItemMessage(IDC_ICE_LIST, LB_SETITEMDATA, nItem, i);
    }
}
