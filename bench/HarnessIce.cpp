#include "HarnessIce.h" // first: it brings winsock2.h

#include <windows.h>

#include "app/resource.h"
#include "tests/support/ProgramWindow.h"
#include "tests/support/WindowDriver.h"

namespace {

const DWORD dwDialogMs = 10000;

LRESULT ListCount(HWND hDlg)
{
    return ::SendDlgItemMessageW(hDlg, IDC_ICE_LIST, LB_GETCOUNT, 0, 0);
}

// The "Add ICE Server" dialog of the process, or null.
HWND FindIceDialog(DWORD dwPid)
{
    HWND hWnd = nullptr;
    while ((hWnd = ::FindWindowExW(nullptr, hWnd, L"#32770", L"Add ICE Server")) != nullptr)
    {
        DWORD dwOwner = 0;
        ::GetWindowThreadProcessId(hWnd, &dwOwner);
        if (dwOwner == dwPid && ::IsWindowVisible(hWnd))
            return hWnd;
    }
    return nullptr;
}

HWND WaitForIceDialog(DWORD dwPid)
{
    ULONGLONG nEnd = ::GetTickCount64() + dwDialogMs;
    HWND hWnd;
    while ((hWnd = FindIceDialog(dwPid)) == nullptr && ::GetTickCount64() < nEnd)
        ::Sleep(5);
    return hWnd;
}

void SetItemText(HWND hDlg, int nID, const std::string& text)
{
    std::wstring wide(text.begin(), text.end());
    ::SendDlgItemMessageW(hDlg, nID, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

// The message box that the dialog shows when the filter refuses the
// server, read and closed, then the dialog cancelled.
std::string CloseRefused(DWORD dwPid, HWND hIce)
{
    std::string reason = "the \"Add ICE Server\" dialog stayed open";
    HWND hBox = nullptr;
    while ((hBox = ::FindWindowExW(nullptr, hBox, L"#32770", nullptr)) != nullptr)
    {
        DWORD dwOwner = 0;
        ::GetWindowThreadProcessId(hBox, &dwOwner);
        if (dwOwner != dwPid || hBox == hIce || ::GetWindow(hBox, GW_OWNER) != hIce)
            continue;
        std::wstring text = ReadAndCloseMessageBox(hBox).text;
        reason += ": " + std::string(text.begin(), text.end());
        break;
    }
    ::PostMessageW(hIce, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    WaitForWindowGone(hIce, dwDialogMs);
    return reason;
}

bool AddServer(CProgram& harness, const CIceServer& server, std::string* pReason)
{
    // The dialog is modal: the click is posted, and the dialog found.
    ::PostMessageW(harness.hDlg, WM_COMMAND, MAKEWPARAM(IDC_ICE_ADD, BN_CLICKED), 0);
    HWND hIce = WaitForIceDialog(harness.pi.dwProcessId);
    if (hIce == nullptr)
    {
        *pReason = "\"Add...\" showed no \"Add ICE Server\" dialog";
        return false;
    }
    SetItemText(hIce, IDC_ICE_URI, server.uri);
    SetItemText(hIce, IDC_ICE_USER, server.user);
    SetItemText(hIce, IDC_ICE_PASSWORD, server.password);
    ::PostMessageW(hIce, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (!WaitForWindowGone(hIce, 3000))
    {
        *pReason = server.uri + ": " + CloseRefused(harness.pi.dwProcessId, hIce);
        return false;
    }
    // Returns once the dialog's handler has refreshed the list.
    ::SendMessageW(harness.hDlg, WM_NULL, 0, 0);
    return true;
}

} // namespace

bool SetHarnessIceServers(CProgram& harness, const std::vector<CIceServer>& servers, std::string* pReason)
{
    for (LRESULT nCount; (nCount = ListCount(harness.hDlg)) > 0;)
    {
        ::SendDlgItemMessageW(harness.hDlg, IDC_ICE_LIST, LB_SETCURSEL, 0, 0);
        harness.Click(IDC_ICE_REMOVE);
        if (ListCount(harness.hDlg) != nCount - 1)
        {
            *pReason = "\"Remove\" left the ICE server list as it was";
            return false;
        }
    }
    for (const CIceServer& server : servers)
    {
        if (!AddServer(harness, server, pReason))
            return false;
    }
    if (ListCount(harness.hDlg) != static_cast<LRESULT>(servers.size()))
    {
        *pReason = "the ICE server list shows " + std::to_string(ListCount(harness.hDlg)) + " lines, not " +
                   std::to_string(servers.size());
        return false;
    }
    return true;
}
