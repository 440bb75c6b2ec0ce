// The "Graph creation" and "Property pages" commands.
#include "MainDialog.h"

#include <commdlg.h>
#include <strsafe.h>
#include <string>

#include "framework/OnDemand.h"
#include "ui/StunServers.h"

LRESULT CMainDialog::OnLoad(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    wchar_t szFile[MAX_PATH];
    ::lstrcpynW(szFile, m_szGrfFile, MAX_PATH);
    if (!SelectGrfFile(szFile))
        return 0;
    ::lstrcpynW(m_szGrfFile, szFile, MAX_PATH);
    SetDlgItemText(IDC_GRF_FILE, m_szGrfFile);
    CheckDlgButton(IDC_SOURCE_CHECK, BST_UNCHECKED);
    EnableSelection(false);
    return 0;
}

bool CMainDialog::SelectGrfFile(wchar_t* pszFile)
{
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = L"GRF files (.grf)\0*.grf\0All files\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = pszFile;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = L"Select GRF file or All file";
    ofn.lpstrDefExt = L"grf";
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    // Loaded for the first Load..., not at every start.
    static const auto pfnGetOpenFileName =
        OnDemand<decltype(&::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
    // A failure of the dialog itself counts as a cancelled choice.
    return pfnGetOpenFileName != nullptr && pfnGetOpenFileName(&ofn) == TRUE;
}

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

// The text of the selected list entry; entries before nFirst (the "Not
// selected" entry) leave the name empty. Names longer than the buffer are
// cut rather than written past it.
void CMainDialog::GetSelectedName(int nID, int nFirst, wchar_t* pszName, int cchName)
{
    pszName[0] = L'\0';
    LRESULT nSel = SendDlgItemMessage(nID, CB_GETCURSEL);
    if (nSel == CB_ERR || nSel < nFirst)
        return;
    LRESULT nLen = SendDlgItemMessage(nID, CB_GETLBTEXTLEN, nSel);
    if (nLen == CB_ERR)
        return;
    if (nLen < cchName)
    {
        SendDlgItemMessage(nID, CB_GETLBTEXT, nSel, reinterpret_cast<LPARAM>(pszName));
        return;
    }
    std::wstring name(nLen + 1, L'\0');
    SendDlgItemMessage(nID, CB_GETLBTEXT, nSel, reinterpret_cast<LPARAM>(&name[0]));
    ::lstrcpynW(pszName, name.c_str(), cchName);
}

LRESULT CMainDialog::OnBuildGraph(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    KillTimer(nDisplayTimer);

    wchar_t szUrl[256] = L"";
    SendDlgItemMessage(IDC_URL, WM_GETTEXT, ARRAYSIZE(szUrl), reinterpret_cast<LPARAM>(szUrl));
    if (::lstrcmpiW(szUrl, L"auto") == 0)
        szUrl[0] = L'\0';

    HRESULT hr;
    if (IsDlgButtonChecked(IDC_SOURCE_CHECK) == BST_CHECKED)
    {
        wchar_t szSource[256], szEncVid[256], szEncAud[256];
        GetSelectedName(IDC_SOURCE, 0, szSource, ARRAYSIZE(szSource));
        GetSelectedName(IDC_ENC_VIDEO, 1, szEncVid, ARRAYSIZE(szEncVid));
        GetSelectedName(IDC_ENC_AUDIO, 1, szEncAud, ARRAYSIZE(szEncAud));
        if (szEncVid[0] == L'\0' && szEncAud[0] == L'\0')
        {
            ErrorMessageBox(L"Encoders are not selected.", S_FALSE);
            return 0;
        }
        hr = m_graph.BuildGraph(szSource, m_hWnd, WM_GRAPHNOTIFY, szEncVid, szEncAud, szUrl);
    }
    else
    {
        if (m_szGrfFile[0] == L'\0')
        {
            EnableControls(false);
            ErrorMessageBox(L".grf file not selected", E_INVALIDARG);
            return 0;
        }
        hr = m_graph.BuildGraph(m_szGrfFile, m_hWnd, WM_GRAPHNOTIFY, nullptr, nullptr, szUrl);
    }

    if (hr != S_OK)
    {
        EnableControls(false);
        ErrorMessageBox(hr == S_FALSE ? L"Can't insert server or source filter to graph" : L"Can't build graph", hr);
        return 0;
    }

    CComBSTR cbsVersion;
    if (m_graph.GetVersion(cbsVersion) == S_OK && cbsVersion.Length() > 0)
    {
        wchar_t szTitle[512];
        ::StringCchPrintfW(szTitle, ARRAYSIZE(szTitle), L"Test for %s", cbsVersion.m_str);
        SetChangedText(m_hWnd, szTitle);
    }
    else
    {
        SetChangedText(m_hWnd, L"Corvasta Test");
    }

    ShowCurrentUrl();

    if (m_graph.GetIceServerCount() == 0)
    {
        CComBSTR cbsURI = GetDefaultIceServer();
        hr = m_graph.AddIceServer(cbsURI, nullptr, nullptr);
        if (hr != S_OK)
            ErrorMessageBox(L"Can't add ICE Server", hr);
    }
    RefreshIceList();
    ShowPositions();
    EnableControls(true);
    SetTimer(nDisplayTimer, 100);
    return 0;
}

LRESULT CMainDialog::OnShowGraph(WORD /*wNotifyCode*/, WORD /*wID*/, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    HRESULT hr = m_graph.ShowGraph();
    if (hr != S_OK)
        ErrorMessageBox(L"Can't show graph", hr);
    return 0;
}

LRESULT CMainDialog::OnPropPage(WORD /*wNotifyCode*/, WORD wID, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    EFilter eFlt;
    switch (wID)
    {
    case IDC_PP_SOURCE:
        eFlt = eFltSource;
        break;
    case IDC_PP_ENC_VIDEO:
        eFlt = eFltEncoderVid;
        break;
    case IDC_PP_ENC_AUDIO:
        eFlt = eFltEncoderAud;
        break;
    case IDC_PP_SERVER:
        eFlt = eFltServer;
        break;
    default:
        ATLASSERT(!L"CMainDialog::OnPropPage(): unknown control ID");
        return 0;
    }
    m_graph.ShowPropertyPage(eFlt, m_hWnd);
    return 0;
}
