// The benchmark's reference for starting: the main dialog's own template,
// shown and closed as the harness is, with no work of its own.
#include <windows.h>
#include <commctrl.h>

#include "app/resource.h"

namespace {

INT_PTR CALLBACK DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM /*lParam*/)
{
    if (uMsg == WM_INITDIALOG)
        return TRUE;
    if (uMsg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
    {
        ::EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

extern "C" int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    // The template's trackbar needs its class.
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    return static_cast<int>(::DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, DialogProc, 0));
}
