// wndctl wait WINDOW [MS]   waits until the window is there and visible
// wndctl close WINDOW       asks the window to close (WM_CLOSE)
// wndctl caption WINDOW     prints the window's caption
// wndctl press WINDOW ID    clicks the window's button ID (posts its WM_COMMAND)
// wndctl text WINDOW ID     prints the text of the window's control ID
// WINDOW is a visible top-level window's exact caption, or exe:NAME for the
// main window of a program: the visible top-level window without an owner of
// a process whose executable is NAME (its file name, any letter case). The
// latter holds while the program changes its caption.
// Exit code 0 on success, 1 when the window was not found or did not answer,
// 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace {

const wchar_t c_szExePrefix[] = L"exe:";

bool IsProcessOf(DWORD dwProcessId, const wchar_t* pszExe)
{
    HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcessId);
    if (hProcess == nullptr)
        return false;
    wchar_t szPath[MAX_PATH] = {};
    DWORD cchPath = ARRAYSIZE(szPath);
    const BOOL bRead = ::QueryFullProcessImageNameW(hProcess, 0, szPath, &cchPath);
    ::CloseHandle(hProcess);
    if (!bRead)
        return false;
    const wchar_t* pszName = szPath;
    for (const wchar_t* p = szPath; *p != L'\0'; ++p)
        if (*p == L'\\' || *p == L'/')
            pszName = p + 1;
    return _wcsicmp(pszName, pszExe) == 0;
}

struct SMainWindowSearch
{
    const wchar_t* pszExe;
    HWND hWnd;
};

BOOL CALLBACK TestMainWindow(HWND hWnd, LPARAM lParam)
{
    auto* pSearch = reinterpret_cast<SMainWindowSearch*>(lParam);
    if (!::IsWindowVisible(hWnd) || ::GetWindow(hWnd, GW_OWNER) != nullptr)
        return TRUE;
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcessId);
    if (!IsProcessOf(dwProcessId, pSearch->pszExe))
        return TRUE;
    pSearch->hWnd = hWnd;
    return FALSE;
}

HWND FindVisibleWindow(const wchar_t* pszWindow)
{
    const size_t cchPrefix = ARRAYSIZE(c_szExePrefix) - 1;
    if (wcsncmp(pszWindow, c_szExePrefix, cchPrefix) == 0)
    {
        SMainWindowSearch search = {pszWindow + cchPrefix, nullptr};
        ::EnumWindows(TestMainWindow, reinterpret_cast<LPARAM>(&search));
        return search.hWnd;
    }
    HWND hWnd = nullptr;
    while ((hWnd = ::FindWindowExW(nullptr, hWnd, nullptr, pszWindow)) != nullptr)
        if (::IsWindowVisible(hWnd))
            return hWnd;
    return nullptr;
}

// WM_GETTEXT, not GetWindowText: for another process's window that reads only
// the text kept by the system, which an edit control does not update.
int PrintText(HWND hWnd)
{
    wchar_t szText[1024] = {};
    DWORD_PTR dwResult = 0;
    if (::SendMessageTimeoutW(hWnd, WM_GETTEXT, ARRAYSIZE(szText), reinterpret_cast<LPARAM>(szText),
                              SMTO_ABORTIFHUNG, 5000, &dwResult) == 0)
        return 1;
    wprintf(L"%ls\n", szText);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    const wchar_t* pszCommand = argv[1];
    const wchar_t* pszWindow = argv[2];

    if (wcscmp(pszCommand, L"wait") == 0)
    {
        DWORD dwTimeout = argc > 3 ? wcstoul(argv[3], nullptr, 10) : 30000;
        DWORD dwStart = ::GetTickCount();
        for (;;)
        {
            if (FindVisibleWindow(pszWindow) != nullptr)
                return 0;
            if (::GetTickCount() - dwStart > dwTimeout)
                return 1;
            ::Sleep(20);
        }
    }
    HWND hWnd = FindVisibleWindow(pszWindow);
    if (wcscmp(pszCommand, L"close") == 0)
    {
        if (hWnd == nullptr)
            return 1;
        ::PostMessageW(hWnd, WM_CLOSE, 0, 0);
        return 0;
    }
    if (wcscmp(pszCommand, L"caption") == 0)
        return hWnd != nullptr ? PrintText(hWnd) : 1;
    if (argc < 4)
        return 2;
    const int nID = static_cast<int>(wcstol(argv[3], nullptr, 10));
    HWND hControl = hWnd != nullptr ? ::GetDlgItem(hWnd, nID) : nullptr;
    if (hControl == nullptr)
        return 1;
    if (wcscmp(pszCommand, L"press") == 0)
    {
        ::PostMessageW(hWnd, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), reinterpret_cast<LPARAM>(hControl));
        return 0;
    }
    if (wcscmp(pszCommand, L"text") == 0)
        return PrintText(hControl);
    return 2;
}
