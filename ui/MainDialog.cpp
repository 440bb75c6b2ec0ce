#include "MainDialog.h"

#include <commctrl.h>

#include "dshow/DeviceEnum.h"
#include "ui/ErrorMessageBox.h"
#include "ui/SliderSelection.h"

const wchar_t CMainDialog::s_szDefaultGrfFile[] = L"C:\\Corvasta\\Corvasta.grf";

const wchar_t* const CMainDialog::s_rgpszUrlPresets[6] = {
    L"http://+:50128/",          L"http://localhost:50128/",  L"http://127.0.0.1:50000/",
    L"https://localhost:443/",   L"https://127.0.0.1:50000/", L"https://localhost:50000/",
};

const wchar_t* const CMainDialog::s_rgpszVideoEncoders[4] = {
    L"Ormidex QS Encoder",
    L"WebM VP8 Encoder Filter",
    L"Elecard AVC Video Encoder",
    L"Elecard QS Video Encoder (AVC)",
};

const wchar_t* const CMainDialog::s_rgpszAudioEncoders[4] = {
    L"Ormidex Opus Encoder",
    L"CCITT A-Law",
    L"CCITT u-Law",
    L"Opus Encoder",
};

const wchar_t CMainDialog::s_szPreferredSource[] = L"Ormidex Video Generator";

namespace {

const wchar_t szNotSelected[] = L"Not selected";

} // namespace

CMainDialog::CMainDialog() : m_szGrfFile()
{
}

int CMainDialog::ErrorMessageBox(const wchar_t* pszText, HRESULT hr)
{
    return ::ErrorMessageBox(m_hWnd, pszText, L"Corvasta Test", hr, MB_OK);
}

LRESULT CMainDialog::OnInitDialog(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& /*bHandled*/)
{
    // Shared: the module's one icon, so that opening the dialog again leaves
    // no former icon behind on the class.
    HICON hIcon = static_cast<HICON>(::LoadImageW(AtlGetModuleInstance(), MAKEINTRESOURCEW(IDI_MAIN),
                                                  IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    SetClassLongPtr(GCLP_HICON, reinterpret_cast<LONG_PTR>(hIcon));

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
    BOOL bInit = ::InitCommonControlsEx(&icc);
    ATLASSERT(bInit);
    (void)bInit;
    ShowSliderSelection(GetDlgItem(IDC_SLIDER));

    // Centred horizontally, bottom edge on the bottom of the work area.
    RECT rcWork = {}, rc = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcWork, 0);
    GetWindowRect(&rc);
    int x = (rcWork.left + rcWork.right - (rc.right - rc.left)) / 2;
    int y = rcWork.bottom - (rc.bottom - rc.top);
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    CheckDlgButton(IDC_SOURCE_CHECK, BST_CHECKED);
    FillComboBox(IDC_SOURCE, CLSID_VideoInputDeviceCategory, nullptr, 0);
    FillComboBox(IDC_ENC_VIDEO, CLSID_VideoCompressorCategory, s_rgpszVideoEncoders, 4);
    FillComboBox(IDC_ENC_AUDIO, CLSID_AudioCompressorCategory, s_rgpszAudioEncoders, 4);
    EnableControls(false);

    ::lstrcpynW(m_szGrfFile, s_szDefaultGrfFile, MAX_PATH);
    SetDlgItemText(IDC_GRF_FILE, m_szGrfFile);

    FillUrlCombo();
    GetDlgItem(IDC_FILTER_APPLY).EnableWindow(FALSE);

    SendDlgItemMessage(IDC_SLIDER, TBM_SETRANGE, FALSE, MAKELPARAM(0, 1000));
    SendDlgItemMessage(IDC_SLIDER, TBM_SETSEL, FALSE, MAKELPARAM(0, 0));
    SetDlgItemText(IDC_POSITIONS, L"");
    return 1;
}

HRESULT CMainDialog::FillComboBox(int nID, REFCLSID clsidCategory, const wchar_t* const* rgpszPreferred,
                                  int nPreferred)
{
    SendDlgItemMessage(nID, CB_RESETCONTENT);
    if (nPreferred > 0)
        SendDlgItemMessage(nID, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(szNotSelected));

    CDeviceEnum devices;
    HRESULT hr = devices.Create();
    ATLASSERT(SUCCEEDED(hr));
    if (FAILED(hr))
        return hr;
    if ((hr = devices.Open(clsidCategory)) != S_OK)
        return hr; // S_FALSE: the category is empty

    LRESULT nSelected = 0;
    int nRead = 0;
    for (;;)
    {
        hr = devices.Next();
        if (hr == S_FALSE)
        {
            if (nRead == 0)
                return S_FALSE;
            SendDlgItemMessage(nID, CB_SETCURSEL, nSelected);
            return S_OK;
        }
        if (hr != S_OK)
            return hr;

        CComBSTR bstrName;
        if (FAILED(devices.ReadName(&bstrName)))
            continue;
        const wchar_t* pszName = bstrName;

        if (nPreferred == 0)
        {
            LRESULT nIndex = SendDlgItemMessage(nID, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszName));
            if (nID == IDC_SOURCE && wcscmp(pszName, s_szPreferredSource) == 0)
                nSelected = nIndex;
        }
        else
        {
            for (int i = 0; i < nPreferred; i++)
            {
                if (::lstrcmpiW(pszName, rgpszPreferred[i]) != 0)
                    continue;
                LRESULT nIndex = SendDlgItemMessage(nID, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszName));
                if (i == 0 && (nID == IDC_ENC_VIDEO || nID == IDC_ENC_AUDIO))
                    nSelected = nIndex;
            }
        }
        nRead++;
    }
}

void CMainDialog::FillUrlCombo()
{
    SendDlgItemMessage(IDC_URL, CB_RESETCONTENT);
    for (const wchar_t* pszUrl : s_rgpszUrlPresets)
        SendDlgItemMessage(IDC_URL, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszUrl));
    SendDlgItemMessage(IDC_URL, CB_SETCURSEL, 0);
    SetDlgItemText(IDC_FILTER, L"");
    CheckDlgButton(IDC_FILTER_ENABLED, BST_UNCHECKED);
}

void CMainDialog::EnableSelection(bool bEnable)
{
    for (int nID : {IDC_SOURCE, IDC_ENC_VIDEO, IDC_ENC_AUDIO})
        GetDlgItem(nID).EnableWindow(bEnable);
}

void CMainDialog::EnableControls(bool bEnable)
{
    unsigned int nMask = m_graph.GetPropPageMask();
    GetDlgItem(IDC_PP_SOURCE).EnableWindow(bEnable && (nMask & eFltSource));
    GetDlgItem(IDC_PP_ENC_VIDEO).EnableWindow(bEnable && (nMask & eFltEncoderVid));
    GetDlgItem(IDC_PP_ENC_AUDIO).EnableWindow(bEnable && (nMask & eFltEncoderAud));
    GetDlgItem(IDC_PP_SERVER).EnableWindow(bEnable && (nMask & eFltServer));
    for (int nID : {IDC_ICE_ADD, IDC_ICE_REMOVE, IDC_SLIDER, IDC_PLAY, IDC_PAUSE, IDC_STOP, IDC_BROWSER})
        GetDlgItem(nID).EnableWindow(bEnable);
}

LRESULT CMainDialog::OnClose(WORD /*wNotifyCode*/, WORD wID, HWND /*hWndCtl*/, BOOL& /*bHandled*/)
{
    KillTimer(nDisplayTimer);
    m_graph.ReleaseGraph();
    EndDialog(wID);
    return 0;
}
