#include "WindowDriver.h"

namespace {

struct FindData
{
    const std::function<bool(HWND)>* pPred;
    HWND hWnd;
};

BOOL CALLBACK FindProc(HWND hWnd, LPARAM lParam)
{
    FindData* pData = reinterpret_cast<FindData*>(lParam);
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    if (dwPid != ::GetCurrentProcessId() || !::IsWindowVisible(hWnd))
        return TRUE;
    if ((*pData->pPred)(hWnd))
    {
        pData->hWnd = hWnd;
        return FALSE;
    }
    return TRUE;
}

const int nMsgBoxText = 0xFFFF;
const int nMsgBoxIcon = 0x0440;

} // namespace

HWND WaitForWindow(const std::function<bool(HWND)>& pred, DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        FindData data = {&pred, nullptr};
        ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&data));
        if (data.hWnd != nullptr)
            return data.hWnd;
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return nullptr;
        ::Sleep(10);
    }
}

HWND WaitForDialog(const wchar_t* pszCaption, DWORD dwTimeoutMs)
{
    return WaitForWindow(
        [pszCaption](HWND hWnd) { return GetClass(hWnd) == L"#32770" && GetText(hWnd) == pszCaption; },
        dwTimeoutMs);
}

bool WaitForWindowGone(HWND hWnd, DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    while (::IsWindow(hWnd))
    {
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        ::Sleep(10);
    }
    return true;
}

std::wstring GetText(HWND hWnd)
{
    wchar_t sz[4096] = L"";
    ::SendMessageW(hWnd, WM_GETTEXT, ARRAYSIZE(sz), reinterpret_cast<LPARAM>(sz));
    return sz;
}

std::wstring GetItemText(HWND hDlg, int nID)
{
    return GetText(::GetDlgItem(hDlg, nID));
}

HWND FindChildOfClass(HWND hParent, const wchar_t* pszClass)
{
    struct Search
    {
        const wchar_t* pszClass;
        HWND hFound;
    } search = {pszClass, nullptr};
    ::EnumChildWindows(
        hParent,
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            Search* p = reinterpret_cast<Search*>(lParam);
            if (GetClass(hWnd) != p->pszClass)
                return TRUE;
            p->hFound = hWnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

std::wstring GetClass(HWND hWnd)
{
    wchar_t sz[256] = L"";
    ::GetClassNameW(hWnd, sz, ARRAYSIZE(sz));
    return sz;
}

bool IsEnabled(HWND hDlg, int nID)
{
    return ::IsWindowEnabled(::GetDlgItem(hDlg, nID)) != FALSE;
}

MessageBoxInfo ReadAndCloseMessageBox(HWND hWnd)
{
    MessageBoxInfo info;
    info.caption = GetText(hWnd);
    info.text = GetItemText(hWnd, nMsgBoxText);
    HWND hIcon = ::GetDlgItem(hWnd, nMsgBoxIcon);
    info.bIcon = hIcon != nullptr && ::IsWindowVisible(hIcon) &&
                 ::SendMessageW(hIcon, STM_GETICON, 0, 0) != 0;
    info.hWndOwner = ::GetWindow(hWnd, GW_OWNER);
    ::PostMessageW(hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitForWindowGone(hWnd);
    return info;
}

bool WaitForMessageBox(const wchar_t* pszCaption, MessageBoxInfo* pInfo, DWORD dwTimeoutMs)
{
    HWND hWnd = WaitForWindow(
        [pszCaption](HWND h) {
            return GetClass(h) == L"#32770" && GetText(h) == pszCaption &&
                   ::GetDlgItem(h, nMsgBoxText) != nullptr;
        },
        dwTimeoutMs);
    if (hWnd == nullptr)
        return false;
    MessageBoxInfo info = ReadAndCloseMessageBox(hWnd);
    if (pInfo != nullptr)
        *pInfo = info;
    return true;
}

void RunOnWindowThread(HWND hWnd, const std::function<void()>& f)
{
    ::SendMessageW(hWnd, WM_TEST_INVOKE, 0, reinterpret_cast<LPARAM>(&f));
}
