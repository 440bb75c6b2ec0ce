#include "ErrorMessageBox.h"

#include <strsafe.h>

#include "dshow/DSErrorText.h"

int ErrorMessageBox(HWND hWndOwner, const wchar_t* pszText, const wchar_t* pszCaption, HRESULT hr,
                    UINT uStyle)
{
    const size_t cchMsg = 1024;
    wchar_t msg[cchMsg] = L"";
    wchar_t str[cchMsg] = L"";
    size_t nLen = 0;

    if (pszText != nullptr)
    {
        ::StringCchCopyW(msg, cchMsg, pszText); // cuts to 1023 units
        nLen = wcslen(msg);
    }

    if (hr != 0)
    {
        DWORD cchErr = 0;
        if (((static_cast<DWORD>(hr) >> 16) & 0x1FFF) == FACILITY_ITF)
            cchErr = GetDirectShowErrorText(hr, str, cchMsg - 1);
        if (cchErr == 0)
            cchErr = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(hr), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      str, cchMsg - 1, nullptr);
        if (cchErr > 0)
        {
            if (nLen > 0 && nLen < cchMsg - 1)
            {
                msg[nLen++] = L'\n';
                msg[nLen] = L'\0';
            }
            ::StringCchCopyW(msg + nLen, cchMsg - nLen, str);
            nLen = wcslen(msg);
        }

        ::StringCchPrintfW(str, cchMsg, L"%sError 0x%X", nLen > 0 ? L"\n" : L"", static_cast<UINT>(hr));
        ::StringCchCopyW(msg + nLen, cchMsg - nLen, str);

        if (uStyle == 0)
            uStyle = MB_ICONERROR;
    }

    HWND hWnd = ::IsWindow(hWndOwner) ? hWndOwner : ::GetActiveWindow();
    return ::MessageBoxW(hWnd, msg, pszCaption, uStyle);
}
