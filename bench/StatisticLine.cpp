#include "StatisticLine.h"

#include <cwchar>

std::wstring WindowText(HWND hWnd)
{
    wchar_t sz[512] = L"";
    DWORD_PTR dwResult = 0;
    if (hWnd != nullptr)
        ::SendMessageTimeoutW(hWnd, WM_GETTEXT, ARRAYSIZE(sz), reinterpret_cast<LPARAM>(sz), SMTO_ABORTIFHUNG,
                              1000, &dwResult);
    return sz;
}

long ShownConnections(const std::wstring& strLine)
{
    static const wchar_t szHead[] = L"Connections: ";
    if (strLine.compare(0, ARRAYSIZE(szHead) - 1, szHead) != 0)
        return -1;
    return std::wcstol(strLine.c_str() + ARRAYSIZE(szHead) - 1, nullptr, 10);
}
