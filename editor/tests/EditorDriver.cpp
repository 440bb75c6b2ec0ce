#include "EditorDriver.h"

#include "editor/EditorIds.h"
#include "tests/support/WindowDriver.h"

namespace {

const LONG lMainStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

struct Search
{
    DWORD dwProcessId;
    const std::function<bool(HWND)>* pPred;
    bool bVisibleOnly;
    HWND hFound;
};

BOOL CALLBACK SearchProc(HWND hWnd, LPARAM lParam)
{
    Search* pSearch = reinterpret_cast<Search*>(lParam);
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcessId);
    if (dwProcessId != pSearch->dwProcessId || (pSearch->bVisibleOnly && !::IsWindowVisible(hWnd)) ||
        !(*pSearch->pPred)(hWnd))
        return TRUE;
    pSearch->hFound = hWnd;
    return FALSE;
}

HWND FindTopLevel(DWORD dwProcessId, const std::function<bool(HWND)>& pred, DWORD dwTimeoutMs)
{
    HWND hFound = nullptr;
    PumpUntil(
        [&] {
            Search search = {dwProcessId, &pred, true, nullptr};
            ::EnumWindows(SearchProc, reinterpret_cast<LPARAM>(&search));
            hFound = search.hFound;
            return hFound != nullptr;
        },
        dwTimeoutMs);
    return hFound;
}

} // namespace

bool PumpUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        if (pred())
            return true;
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

bool ReadText(HWND hWnd, std::wstring* pText, DWORD dwTimeoutMs)
{
    wchar_t sz[512] = L"";
    DWORD_PTR dwResult = 0;
    if (!::SendMessageTimeoutW(hWnd, WM_GETTEXT, ARRAYSIZE(sz), reinterpret_cast<LPARAM>(sz), SMTO_ABORTIFHUNG,
                               dwTimeoutMs, &dwResult))
        return false;
    *pText = sz;
    return true;
}

std::wstring ReadText(HWND hWnd)
{
    std::wstring text;
    ReadText(hWnd, &text);
    return text;
}

CEditorProcess::~CEditorProcess()
{
    if (m_pi.hProcess == nullptr)
        return;
    // A test that failed half-way leaves no editor behind.
    if (Quit() == STILL_ACTIVE)
        ::TerminateProcess(m_pi.hProcess, 99);
    ::CloseHandle(m_pi.hThread);
    ::CloseHandle(m_pi.hProcess);
}

HRESULT CEditorProcess::Start(const std::wstring& args)
{
    std::wstring path = BesideThisProgram(L"graphedt.exe");
    std::wstring commandLine = L"\"" + path + L"\" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    if (!::CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                          nullptr, &si, &m_pi))
        return HRESULT_FROM_WIN32(::GetLastError());
    // As the harness finds it: once the editor waits for input, its main
    // window is there at the first look.
    if (::WaitForInputIdle(m_pi.hProcess, 10000) != 0)
        return E_FAIL;
    std::function<bool(HWND)> isMain = [](HWND hWnd) {
        return (::GetWindowLongW(hWnd, GWL_STYLE) & lMainStyle) == lMainStyle;
    };
    Search search = {m_pi.dwProcessId, &isMain, false, nullptr};
    ::EnumWindows(SearchProc, reinterpret_cast<LPARAM>(&search));
    m_hWndMain = search.hFound;
    return m_hWndMain != nullptr && ::IsWindowVisible(m_hWndMain) ? S_OK : E_FAIL;
}

HWND CEditorProcess::StatusBar() const
{
    return ::GetDlgItem(m_hWndMain, IDC_STATUS);
}

HWND CEditorProcess::Canvas() const
{
    return ::GetDlgItem(m_hWndMain, IDC_CANVAS);
}

HWND CEditorProcess::OpenConnectDialog()
{
    // The command in the low word, 1 (as from an accelerator) in the high word.
    ::PostMessageW(m_hWndMain, WM_COMMAND, MAKEWPARAM(ID_FILE_CONNECT, 1), 0);
    HWND hDlg = FindOwned([](HWND hWnd) { return FindChildOfClass(hWnd, L"ListBox") != nullptr; });
    return hDlg != nullptr ? FindChildOfClass(hDlg, L"ListBox") : nullptr;
}

std::vector<std::wstring> CEditorProcess::Items(HWND hList)
{
    std::vector<std::wstring> items;
    DWORD_PTR dwCount = 0;
    if (!::SendMessageTimeoutW(hList, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &dwCount))
        return items;
    for (int i = 0; i < static_cast<int>(dwCount); ++i)
    {
        wchar_t sz[256] = L"";
        DWORD_PTR dwLen = 0;
        ::SendMessageTimeoutW(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(sz), SMTO_ABORTIFHUNG, 2000, &dwLen);
        items.push_back(sz);
    }
    return items;
}

bool CEditorProcess::Choose(HWND hList, int nItem)
{
    DWORD_PTR dwResult = 0;
    if (!::SendMessageTimeoutW(hList, LB_SETCURSEL, nItem, 0, SMTO_ABORTIFHUNG, 2000, &dwResult) ||
        static_cast<LRESULT>(dwResult) == LB_ERR)
        return false;
    return ::PostMessageW(::GetParent(hList), WM_COMMAND, IDOK, 0) != FALSE;
}

HWND CEditorProcess::FindOwned(const std::function<bool(HWND)>& pred, DWORD dwTimeoutMs) const
{
    HWND hWndMain = m_hWndMain;
    return FindTopLevel(
        m_pi.dwProcessId, [&](HWND hWnd) { return ::GetParent(hWnd) == hWndMain && pred(hWnd); }, dwTimeoutMs);
}

DWORD CEditorProcess::Quit(DWORD dwTimeoutMs)
{
    ::PostThreadMessageW(m_pi.dwThreadId, WM_QUIT, 0, 0);
    return WaitForExit(dwTimeoutMs);
}

DWORD CEditorProcess::WaitForExit(DWORD dwTimeoutMs)
{
    HANDLE hProcess = m_pi.hProcess;
    PumpUntil([hProcess] { return ::WaitForSingleObject(hProcess, 0) == WAIT_OBJECT_0; }, dwTimeoutMs);
    DWORD dwExitCode = STILL_ACTIVE;
    ::GetExitCodeProcess(m_pi.hProcess, &dwExitCode);
    return dwExitCode;
}

std::wstring BesideThisProgram(LPCWSTR pszFile)
{
    wchar_t szPath[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, szPath, ARRAYSIZE(szPath));
    std::wstring path = szPath;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + pszFile;
}

std::wstring ThisProgramName()
{
    wchar_t szPath[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, szPath, ARRAYSIZE(szPath));
    std::wstring path = szPath;
    return path.substr(path.find_last_of(L"\\/") + 1);
}
