#include "ErrorText.h"

#include "dshow/DSErrorText.h"

#include <strsafe.h>

std::wstring DescribeError(HRESULT hr)
{
    wchar_t szText[256] = L"";
    DWORD cch = GetDirectShowErrorText(hr, szText, ARRAYSIZE(szText));
    if (cch == 0)
        cch = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               static_cast<DWORD>(hr), 0, szText, ARRAYSIZE(szText), nullptr);
    // The system's texts end in a line break.
    while (cch > 0 && (szText[cch - 1] == L'\n' || szText[cch - 1] == L'\r' || szText[cch - 1] == L' '))
        szText[--cch] = L'\0';
    wchar_t szCode[16];
    ::StringCchPrintfW(szCode, ARRAYSIZE(szCode), L"0x%08X", static_cast<unsigned>(hr));
    return cch == 0 ? std::wstring(L"Error ") + szCode : std::wstring(szText) + L" (" + szCode + L")";
}
