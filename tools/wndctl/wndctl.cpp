// wndctl wait CAPTION [MS]   waits until a visible top-level window has the caption
// wndctl close CAPTION       asks that window to close (WM_CLOSE)
// wndctl press CAPTION ID    clicks the window's button ID (posts its WM_COMMAND)
// wndctl text CAPTION ID     prints the text of the window's control ID
// Exit code 0 on success, 1 when the window was not found, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace {

HWND FindVisibleWindow(const wchar_t* pszCaption)
{
    HWND hWnd = nullptr;
    while ((hWnd = ::FindWindowExW(nullptr, hWnd, nullptr, pszCaption)) != nullptr)
        if (::IsWindowVisible(hWnd))
            return hWnd;
    return nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    const wchar_t* pszCommand = argv[1];
    const wchar_t* pszCaption = argv[2];

    if (wcscmp(pszCommand, L"wait") == 0)
    {
        DWORD dwTimeout = argc > 3 ? wcstoul(argv[3], nullptr, 10) : 30000;
        DWORD dwStart = ::GetTickCount();
        for (;;)
        {
            if (FindVisibleWindow(pszCaption) != nullptr)
                return 0;
            if (::GetTickCount() - dwStart > dwTimeout)
                return 1;
            ::Sleep(20);
        }
    }
    if (wcscmp(pszCommand, L"close") == 0)
    {
        HWND hWnd = FindVisibleWindow(pszCaption);
        if (hWnd == nullptr)
            return 1;
        ::PostMessageW(hWnd, WM_CLOSE, 0, 0);
        return 0;
    }
    if (argc < 4)
        return 2;
    const int nID = static_cast<int>(wcstol(argv[3], nullptr, 10));
    HWND hWnd = FindVisibleWindow(pszCaption);
    HWND hControl = hWnd != nullptr ? ::GetDlgItem(hWnd, nID) : nullptr;
    if (hControl == nullptr)
        return 1;
    if (wcscmp(pszCommand, L"press") == 0)
    {
        ::PostMessageW(hWnd, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), reinterpret_cast<LPARAM>(hControl));
        return 0;
    }
    if (wcscmp(pszCommand, L"text") == 0)
    {
        wchar_t szText[1024] = {};
        ::GetWindowTextW(hControl, szText, ARRAYSIZE(szText));
        wprintf(L"%ls\n", szText);
        return 0;
    }
    return 2;
}
