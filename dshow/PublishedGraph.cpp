#include "PublishedGraph.h"

#include <strsafe.h>

const wchar_t szPublishedGraphDelimiter[] = L"!";

namespace {

const wchar_t szGraphWord[] = L"FilterGraph ";
const wchar_t szPidWord[] = L" pid ";

// Exactly eight hexadecimal digits, as the name is written; the pointer moves
// past them.
bool ReadHex8(LPCWSTR& psz, DWORD* pdwValue)
{
    DWORD dwValue = 0;
    for (int i = 0; i < 8; i++)
    {
        wchar_t ch = psz[i];
        DWORD dwDigit;
        if (ch >= L'0' && ch <= L'9')
            dwDigit = ch - L'0';
        else if (ch >= L'a' && ch <= L'f')
            dwDigit = ch - L'a' + 10;
        else if (ch >= L'A' && ch <= L'F')
            dwDigit = ch - L'A' + 10;
        else
            return false;
        dwValue = (dwValue << 4) | dwDigit;
    }
    psz += 8;
    *pdwValue = dwValue;
    return true;
}

bool SkipWord(LPCWSTR& psz, LPCWSTR pszWord, size_t cchWord)
{
    if (wcsncmp(psz, pszWord, cchWord) != 0)
        return false;
    psz += cchWord;
    return true;
}

} // namespace

HRESULT FormatPublishedGraphName(const void* pGraph, DWORD dwProcessId, LPWSTR pszName,
                                 size_t cchName)
{
    if (pszName == nullptr)
        return E_POINTER;
    // Only the low 32 bits of the address: graph editors list the name so.
    return ::StringCchPrintfW(pszName, cchName, L"FilterGraph %08x pid %08x",
                              static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(pGraph)),
                              dwProcessId);
}

bool ParsePublishedGraphName(LPCWSTR pszName, DWORD* pdwGraph, DWORD* pdwProcessId)
{
    if (pdwGraph != nullptr)
        *pdwGraph = 0;
    if (pdwProcessId != nullptr)
        *pdwProcessId = 0;
    if (pszName == nullptr || pdwGraph == nullptr || pdwProcessId == nullptr)
        return false;

    LPCWSTR psz = pszName;
    SkipWord(psz, szPublishedGraphDelimiter, ARRAYSIZE(szPublishedGraphDelimiter) - 1);
    DWORD dwGraph = 0, dwProcessId = 0;
    if (!SkipWord(psz, szGraphWord, ARRAYSIZE(szGraphWord) - 1) || !ReadHex8(psz, &dwGraph) ||
        !SkipWord(psz, szPidWord, ARRAYSIZE(szPidWord) - 1) || !ReadHex8(psz, &dwProcessId) ||
        *psz != L'\0')
        return false;
    *pdwGraph = dwGraph;
    *pdwProcessId = dwProcessId;
    return true;
}
