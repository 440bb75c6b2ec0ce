#include "ProgramWindow.h"

#include "app/resource.h"

HWND FindMainDialog(DWORD dwPid)
{
    HWND hWnd = nullptr;
    while ((hWnd = ::FindWindowExW(nullptr, hWnd, L"#32770", nullptr)) != nullptr)
    {
        DWORD dwOwner = 0;
        ::GetWindowThreadProcessId(hWnd, &dwOwner);
        if (dwOwner == dwPid && ::IsWindowVisible(hWnd) && ::GetDlgItem(hWnd, IDC_BUILD_GRAPH) != nullptr)
            return hWnd;
    }
    return nullptr;
}

bool CProgram::Start(const std::wstring& path, DWORD dwTimeoutMs, HWND (*pfnFind)(DWORD), const wchar_t* pszArgs)
{
    STARTUPINFOW si = {sizeof(si)};
    // CreateProcess may write into the command line.
    std::wstring strCmdLine = L"\"" + path + L"\" " + pszArgs;
    if (!::CreateProcessW(path.c_str(), &strCmdLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    DWORD dwStart = ::GetTickCount();
    while ((hDlg = pfnFind(pi.dwProcessId)) == nullptr)
    {
        if (::GetTickCount() - dwStart > dwTimeoutMs ||
            ::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0)
            return false;
        ::Sleep(1);
    }
    return true;
}

void CProgram::Click(int nID)
{
    ::SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), 0);
}

bool CProgram::Close(DWORD dwTimeoutMs)
{
    if (hDlg != nullptr)
        ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    bool bEnded = true;
    if (pi.hProcess != nullptr)
    {
        bEnded = ::WaitForSingleObject(pi.hProcess, dwTimeoutMs) == WAIT_OBJECT_0;
        if (!bEnded)
            ::TerminateProcess(pi.hProcess, 1);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    pi = {};
    hDlg = nullptr;
    return bEnded;
}
