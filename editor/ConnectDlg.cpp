#include "ConnectDlg.h"

#include "CentreOnOwner.h"
#include "ErrorText.h"

#include <strsafe.h>

LRESULT CConnectDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    CentreOnOwner(m_hWnd);
    Fill();
    return TRUE;
}

void CConnectDlg::Fill()
{
    CWindow list = GetDlgItem(IDC_GRAPH_LIST);
    list.SendMessage(LB_RESETCONTENT);
    HRESULT hr = ListRunningGraphs(&m_graphs);
    for (size_t i = 0; i < m_graphs.size(); ++i)
    {
        std::wstring text = RunningGraphItemText(m_graphs[i]);
        LRESULT nItem = list.SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (nItem >= 0)
            list.SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(nItem), static_cast<LPARAM>(i));
    }
    if (!m_graphs.empty())
        list.SendMessage(LB_SETCURSEL, 0);

    wchar_t szNote[256];
    if (FAILED(hr))
    {
        ::StringCchPrintfW(szNote, ARRAYSIZE(szNote), L"The Running Object Table cannot be read: %ls",
                           DescribeError(hr).c_str());
    }
    else if (m_graphs.empty())
        ::StringCchCopyW(szNote, ARRAYSIZE(szNote), L"No program has published a filter graph.");
    else
        szNote[0] = L'\0';
    SetDlgItemText(IDC_GRAPH_NOTE, szNote);
    UpdateOK();
}

void CConnectDlg::UpdateOK()
{
    GetDlgItem(IDOK).EnableWindow(SendDlgItemMessage(IDC_GRAPH_LIST, LB_GETCURSEL) != LB_ERR);
}

// Also reached by a posted IDOK after a program selected an item.
LRESULT CConnectDlg::OnOK(WORD, WORD, HWND, BOOL&)
{
    LRESULT nItem = SendDlgItemMessage(IDC_GRAPH_LIST, LB_GETCURSEL);
    if (nItem == LB_ERR)
        return 0;
    LRESULT nIndex = SendDlgItemMessage(IDC_GRAPH_LIST, LB_GETITEMDATA, static_cast<WPARAM>(nItem));
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_graphs.size())
        return 0;
    m_chosen = m_graphs[static_cast<size_t>(nIndex)];
    EndDialog(IDOK);
    return 0;
}

LRESULT CConnectDlg::OnCancel(WORD, WORD, HWND, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}

LRESULT CConnectDlg::OnRefresh(WORD, WORD, HWND, BOOL&)
{
    Fill();
    return 0;
}

LRESULT CConnectDlg::OnSelChange(WORD, WORD, HWND, BOOL&)
{
    UpdateOK();
    return 0;
}
