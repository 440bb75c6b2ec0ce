// The "Graph creation" and "Property pages" commands.
#include "MainDialog.h"

LRESULT CMainDialog::OnGrfFileChange(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    GetDlgItemText(IDC_GRF_FILE, m_szGrfFile, MAX_PATH);
    return 0;
}

LRESULT CMainDialog::OnSourceCheck(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    EnableSelection(IsDlgButtonChecked(IDC_SOURCE_CHECK) == BST_CHECKED);
    return 0;
}

// Not built yet: loading, building and showing the graph and the property
// pages come with the graph builder.
LRESULT CMainDialog::OnLoad(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    return 0;
}

LRESULT CMainDialog::OnBuildGraph(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    return 0;
}

LRESULT CMainDialog::OnShowGraph(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    return 0;
}

LRESULT CMainDialog::OnPropPage(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    return 0;
}
