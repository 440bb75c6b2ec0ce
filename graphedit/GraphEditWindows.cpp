// Driving the editor through its windows: its main window, its "Connect to
// Graph" dialog and the dialog's list of published graphs.
#include "GraphEdit.h"

#include <cwchar>
#include <vector>

namespace {

// The editor opens its windows at its own pace; these bound the waits.
const int nMainWindowPasses = 9;
const DWORD dwVisibleWaitMs = 100;
const DWORD dwVisiblePollMs = 10;
const int nConnectAttempts = 9;
const DWORD dwConnectPauseMs = 10;

const DWORD dwMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
// The editor's menu command "Connect to Remote Graph...", sent as from an
// accelerator.
const WPARAM wpConnectCommand = MAKEWPARAM(0x8034, 1);
const wchar_t szListBoxClass[] = L"ListBox";
const wchar_t szPidMarker[] = L"pid ";
const wchar_t szGraphMarker[] = L"IFilterGraph = ";
// The item text buffer; longer items are read into a larger one.
const int cchCookieName = 64;

DWORD ProcessOf(HWND hWnd)
{
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcessId);
    return dwProcessId;
}

} // namespace

template <BOOL (CGraphEdit::*pfnTest)(HWND)>
BOOL CALLBACK CGraphEdit::EnumProc(HWND hWnd, LPARAM lParam)
{
    ATLASSERT(lParam != 0);
    if (lParam == 0)
        return FALSE;
    return (reinterpret_cast<CGraphEdit*>(lParam)->*pfnTest)(hWnd);
}

bool CGraphEdit::FindMainWindow()
{
    ATLASSERT(m_rgPI.hProcess != 0 && m_rgPI.hThread != 0);
    m_hWndMain = nullptr;
    for (int i = 0; i < nMainWindowPasses && m_hWndMain == nullptr; i++)
        ::EnumWindows(EnumProc<&CGraphEdit::TestMainWindow>, reinterpret_cast<LPARAM>(this));
    if (m_hWndMain != nullptr && !WaitWhileHidden())
        m_hWndMain = nullptr;
    if (m_hWndMain == nullptr)
        ATLTRACE2(atlTraceGeneral, 2, L"###Err### CGraphEdit::FindMainWindow(): GraphEdit window not found\n");
    return m_hWndMain != nullptr;
}

BOOL CGraphEdit::TestMainWindow(HWND hWnd)
{
    ATLASSERT(hWnd != 0);
    if (ProcessOf(hWnd) == m_rgPI.dwProcessId &&
        (static_cast<DWORD>(::GetWindowLongW(hWnd, GWL_STYLE)) & dwMainWindowStyle) == dwMainWindowStyle)
    {
        m_hWndMain = hWnd;
        return FALSE;
    }
    return TRUE;
}

bool CGraphEdit::WaitWhileHidden()
{
    if (m_hWndMain == nullptr)
        return false;
    // Elapsed time rather than a deadline, so that the tick count's wrap
    // does not end the wait early.
    const DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        DWORD dwElapsed = ::GetTickCount() - dwStart;
        if (dwElapsed > dwVisibleWaitMs)
        {
            ATLTRACE2(atlTraceGeneral, 2, L"###Err### CGraphEdit::WaitWhileHidden(): Wait time is ending\n");
            return false;
        }
        if ((::GetWindowLongW(m_hWndMain, GWL_STYLE) & WS_VISIBLE) != 0)
            return true;
        ATLTRACE2(atlTraceGeneral, 10, L"CGraphEdit::WaitWhileHidden(): wait time rest is %i ms\n",
                  static_cast<int>(dwVisibleWaitMs - dwElapsed));
        ::Sleep(dwVisiblePollMs);
    }
}

void CGraphEdit::OpenConnectDialog()
{
    if (m_hWndMain != nullptr)
        ::PostMessageW(m_hWndMain, WM_COMMAND, wpConnectCommand, 0);
}

void CGraphEdit::ConnectToGraph(IUnknown* pGraph)
{
    if (!::IsWindow(m_hWndMain))
        return;
    m_hWndListBox = nullptr;
    for (int i = 0; i < nConnectAttempts; i++)
    {
        ::EnumWindows(EnumProc<&CGraphEdit::TestConnectDialog>, reinterpret_cast<LPARAM>(this));
        if (::IsWindow(m_hWndListBox))
        {
            int nItem = FindGraphItem(pGraph);
            if (nItem >= 0)
            {
                if (::SendMessageW(m_hWndListBox, LB_SETCURSEL, nItem, 0) != LB_ERR)
                    ::PostMessageW(::GetParent(m_hWndListBox), WM_COMMAND, IDOK, 0);
                return;
            }
        }
        ::Sleep(dwConnectPauseMs);
    }
}

BOOL CGraphEdit::TestConnectDialog(HWND hWnd)
{
    ATLASSERT(hWnd != 0);
    // GetParent gives a top-level popup's owner: the dialog is owned by the
    // main window.
    if (!::IsWindow(hWnd) || ProcessOf(hWnd) != m_rgPI.dwProcessId || ::GetParent(hWnd) != m_hWndMain)
        return TRUE;
    return ::EnumChildWindows(hWnd, EnumProc<&CGraphEdit::TestListBox>, reinterpret_cast<LPARAM>(this));
}

BOOL CGraphEdit::TestListBox(HWND hWnd)
{
    ATLASSERT(hWnd != 0);
    wchar_t szClass[256] = L"";
    if (::IsWindow(hWnd) && ::GetClassNameW(hWnd, szClass, ARRAYSIZE(szClass)) > 0 &&
        wcscmp(szClass, szListBoxClass) == 0)
    {
        m_hWndListBox = hWnd;
        return FALSE;
    }
    return TRUE;
}

int CGraphEdit::FindGraphItem(IUnknown* pGraph)
{
    if (!::IsWindow(m_hWndListBox))
        return -1;
    LRESULT nCount = ::SendMessageW(m_hWndListBox, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < nCount; i++)
    {
        // LB_GETTEXT writes the whole item: its length decides the buffer.
        LRESULT nLen = ::SendMessageW(m_hWndListBox, LB_GETTEXTLEN, i, 0);
        if (nLen <= 0)
            continue;
        wchar_t szCookieName[cchCookieName] = L"";
        std::vector<wchar_t> longItem;
        LPWSTR pszItem = szCookieName;
        if (nLen >= cchCookieName)
        {
            longItem.assign(static_cast<size_t>(nLen) + 1, L'\0');
            pszItem = longItem.data();
        }
        if (::SendMessageW(m_hWndListBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(pszItem)) > 0 &&
            IsGraphItem(pszItem, pGraph))
            return i;
    }
    return -1;
}

bool CGraphEdit::IsGraphItem(LPCWSTR pszCookieName, IUnknown* pGraph)
{
    ATLASSERT(pszCookieName != 0);
    if (pszCookieName == nullptr)
        return false;

    LPCWSTR pszPid = wcsstr(pszCookieName, szPidMarker);
    if (pszPid == nullptr)
        return false;
    pszPid += ARRAYSIZE(szPidMarker) - 1;
    wchar_t* pszEnd = nullptr;
    long nPid = wcstol(pszPid, &pszEnd, 16);
    if (pszEnd == pszPid || static_cast<DWORD>(nPid) != ::GetCurrentProcessId() || *pszEnd != L' ')
        return false;

    LPCWSTR pszGraph = wcsstr(pszEnd + 1, szGraphMarker);
    if (pszGraph == nullptr)
        return false;
    pszGraph += ARRAYSIZE(szGraphMarker) - 1;
    // Read at 64 bits: a 32-bit read would saturate at 7fffffff and miss
    // every graph whose number has the top bit set. The cookie name carries
    // the low 32 bits of the address; a full address is taken as well.
    unsigned long long nGraph = wcstoull(pszGraph, &pszEnd, 16);
    if (pszEnd == pszGraph || *pszEnd != L'\0')
        return false;
    const ULONG_PTR nAddress = reinterpret_cast<ULONG_PTR>(pGraph);
    return nGraph <= 0xFFFFFFFFull ? nGraph == static_cast<DWORD>(nAddress) : nGraph == nAddress;
}
