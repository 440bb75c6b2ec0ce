// Plays the graph editor's part in the bridge's tests, for the cases that a
// real editor cannot be made to show. The bridge starts it as graphedt.exe
// without a command line, so it takes its part from the inherited variable
// CORVASTA_FAKEEDIT: "key=value" pairs separated by ';', items by '|'.
//   out=<file>     what happened, written when the message loop ends
//   frame=thin     the main window has no thick frame
//   splash=1       a tool window without thick frame lies above the main window
//   hidden=<ms>    the main window shows only after ms; -1: never
//   busy=<ms>      sleeps before its first message, then ends without a window
//   dialog=start   the connect dialog is open from the start, not on 0x8034
//   quit=ignore    WM_QUIT does not end it
//   items=a|b      the list's items
//   at=<n>, late=a|b  items added when the list is asked for its count the
//                  n-th time, that is at the bridge's n-th look at the list
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "FakeGraphEdit.h"

namespace {

std::map<std::wstring, std::wstring> g_config;
std::vector<std::wstring> g_items;
std::vector<std::wstring> g_lateItems;
int g_nAt = 0;

HWND g_hWndMain = nullptr;
HWND g_hDlg = nullptr;
WNDPROC g_pfnListProc = nullptr;
// What the bridge did.
WPARAM g_wpCommand = 0;
int g_nCounts = 0;
int g_nSelected = -1;
bool g_bOk = false;

std::vector<std::wstring> Split(const std::wstring& text, wchar_t chSep)
{
    std::vector<std::wstring> parts;
    size_t nStart = 0;
    for (;;)
    {
        size_t nEnd = text.find(chSep, nStart);
        parts.push_back(text.substr(nStart, nEnd - nStart));
        if (nEnd == std::wstring::npos)
            return parts;
        nStart = nEnd + 1;
    }
}

void ReadConfig()
{
    wchar_t szConfig[4096] = L"";
    ::GetEnvironmentVariableW(L"CORVASTA_FAKEEDIT", szConfig, ARRAYSIZE(szConfig));
    for (const std::wstring& pair : Split(szConfig, L';'))
    {
        size_t nEq = pair.find(L'=');
        if (nEq != std::wstring::npos)
            g_config[pair.substr(0, nEq)] = pair.substr(nEq + 1);
    }
    if (g_config.count(L"items"))
        g_items = Split(g_config[L"items"], L'|');
    if (g_config.count(L"late"))
        g_lateItems = Split(g_config[L"late"], L'|');
    g_nAt = _wtoi(g_config[L"at"].c_str());
}

bool Is(const wchar_t* pszKey, const wchar_t* pszValue)
{
    auto it = g_config.find(pszKey);
    return it != g_config.end() && it->second == pszValue;
}

void WriteRecord()
{
    auto it = g_config.find(L"out");
    if (it == g_config.end())
        return;
    FILE* pFile = _wfopen(it->second.c_str(), L"w");
    if (pFile == nullptr)
        return;
    fprintf(pFile, "command=%x\ncounts=%d\nselected=%d\nok=%d\n", static_cast<unsigned>(g_wpCommand), g_nCounts,
            g_nSelected, g_bOk ? 1 : 0);
    fclose(pFile);
}

void AddItems(HWND hWndList, const std::vector<std::wstring>& items)
{
    for (const std::wstring& item : items)
        ::SendMessageW(hWndList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

LRESULT CALLBACK ListProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == LB_GETCOUNT && ++g_nCounts == g_nAt)
        AddItems(hWnd, g_lateItems);
    return ::CallWindowProcW(g_pfnListProc, hWnd, uMsg, wParam, lParam);
}

INT_PTR CALLBACK ConnectProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (uMsg)
    {
    case WM_INITDIALOG:
    {
        HWND hWndList = ::GetDlgItem(hDlg, IDC_GRAPHS);
        AddItems(hWndList, g_items);
        g_pfnListProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hWndList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc)));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
        {
            g_nSelected = static_cast<int>(::SendDlgItemMessageW(hDlg, IDC_GRAPHS, LB_GETCURSEL, 0, 0));
            g_bOk = true;
        }
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
        {
            ::DestroyWindow(hDlg);
            g_hDlg = nullptr;
        }
        return TRUE;
    }
    return FALSE;
}

void OpenConnectDialog()
{
    if (g_hDlg == nullptr)
        g_hDlg = ::CreateDialogW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONNECT), g_hWndMain,
                                 ConnectProc);
}

LRESULT CALLBACK MainProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_COMMAND:
        if (LOWORD(wParam) == 0x8034)
        {
            g_wpCommand = wParam;
            OpenConnectDialog();
        }
        return 0;
    case WM_TIMER:
        ::KillTimer(hWnd, wParam);
        ::ShowWindow(hWnd, SW_SHOWNORMAL);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int nShowCmd)
{
    ReadConfig();
    if (g_config.count(L"busy"))
    {
        ::Sleep(_wtoi(g_config[L"busy"].c_str()));
        return 0;
    }

    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = hInstance;
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"FakeGraphEditMain";
    if (::RegisterClassW(&wc) == 0)
        return 1;

    DWORD dwStyle = Is(L"frame", L"thin") ? WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU : WS_OVERLAPPEDWINDOW;
    g_hWndMain = ::CreateWindowExW(0, wc.lpszClassName, L"Filter Graph - GraphEdit", dwStyle, 40, 40, 480,
                                   320, nullptr, nullptr, hInstance, nullptr);
    if (g_hWndMain == nullptr)
        return 1;
    if (Is(L"splash", L"1"))
        ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, wc.lpszClassName, L"GraphEdit",
                          WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 60, 60, 200, 80, nullptr, nullptr,
                          hInstance, nullptr);

    int nHidden = g_config.count(L"hidden") ? _wtoi(g_config[L"hidden"].c_str()) : 0;
    if (nHidden == 0)
        ::ShowWindow(g_hWndMain, nShowCmd);
    else if (nHidden > 0)
        ::SetTimer(g_hWndMain, 1, static_cast<UINT>(nHidden), nullptr);
    if (Is(L"dialog", L"start"))
        OpenConnectDialog();

    MSG msg;
    BOOL bResult;
    while ((bResult = ::GetMessageW(&msg, nullptr, 0, 0)) != -1)
    {
        if (bResult == 0)
        {
            if (Is(L"quit", L"ignore"))
                continue;
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    WriteRecord();
    return 0;
}
