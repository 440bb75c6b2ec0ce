// The benchmark's reference for starting: the main dialog's own template,
// shown and closed as the harness is, with no work of its own. Started with
// "lists" it also does the platform's part of the harness's start, COM and
// the three device lists, to tell that share from the harness's own. Started
// with "lines" it draws what the harness's display refresh changes, the
// position and statistics lines and the slider's progress, ten times a
// second with no graph: the platform's cost of showing them.
#include <windows.h>
#include <commctrl.h>

#include <cwchar>

#include "app/resource.h"
#include "dshow/DeviceEnum.h"
#include "ui/SliderSelection.h"

namespace {

bool g_bLists = false;
bool g_bLines = false;
int g_nTick = 0;

// Texts of the same length and rate of change as the harness's.
void DrawLines(HWND hDlg)
{
    ++g_nTick;
    wchar_t sz[256];
    std::swprintf(sz, ARRAYSIZE(sz), L"%d.%03d from 600.000", g_nTick / 10, g_nTick % 10 * 100);
    ::SetDlgItemTextW(hDlg, IDC_POSITIONS, sz);
    std::swprintf(sz, ARRAYSIZE(sz), L"Connections: 0, %d packs, %d KB, RTP transfer (vid): 0.000 ms", g_nTick * 7,
                  g_nTick * 7);
    ::SetDlgItemTextW(hDlg, IDC_STATISTIC, sz);
    ::SendDlgItemMessageW(hDlg, IDC_SLIDER, TBM_SETSEL, TRUE, MAKELPARAM(0, g_nTick % 1000));
}

// Every name of the category into the combo box, as the harness lists them.
void FillNames(HWND hDlg, int nID, REFCLSID clsidCategory)
{
    CDeviceEnum devices;
    if (devices.Open(clsidCategory) != S_OK)
        return;
    while (devices.Next() == S_OK)
    {
        CComBSTR bstrName;
        if (SUCCEEDED(devices.ReadName(&bstrName)))
            ::SendDlgItemMessageW(hDlg, nID, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(bstrName.m_str));
    }
}

INT_PTR CALLBACK DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM /*lParam*/)
{
    if (uMsg == WM_INITDIALOG)
    {
        if (g_bLists)
        {
            FillNames(hDlg, IDC_SOURCE, CLSID_VideoInputDeviceCategory);
            FillNames(hDlg, IDC_ENC_VIDEO, CLSID_VideoCompressorCategory);
            FillNames(hDlg, IDC_ENC_AUDIO, CLSID_AudioCompressorCategory);
        }
        if (g_bLines)
        {
            ShowSliderSelection(::GetDlgItem(hDlg, IDC_SLIDER));
            ::SendDlgItemMessageW(hDlg, IDC_SLIDER, TBM_SETRANGE, FALSE, MAKELPARAM(0, 1000));
            ::SetTimer(hDlg, 1, 100, nullptr);
        }
        return TRUE;
    }
    if (uMsg == WM_TIMER)
    {
        DrawLines(hDlg);
        return TRUE;
    }
    if (uMsg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
    {
        ::EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

extern "C" int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR pszCmdLine, int)
{
    g_bLists = std::wcscmp(pszCmdLine, L"lists") == 0;
    g_bLines = std::wcscmp(pszCmdLine, L"lines") == 0;
    if (g_bLists && FAILED(::CoInitialize(nullptr)))
        return 1;
    // The template's trackbar needs its class.
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    int nResult = static_cast<int>(::DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, DialogProc, 0));
    if (g_bLists)
        ::CoUninitialize();
    return nResult;
}
