#include "SizeFormat.h"

#include <cstdlib>
#include <strsafe.h>

#include "atlbase.h"

int RoundToDigits(int value, unsigned nRound, unsigned* pnDigits)
{
    ATLASSERT(1 < nRound && nRound < 10);
    ATLASSERT(pnDigits != 0);

    LONGLONG llLimit = 1;
    for (unsigned i = 0; i < nRound; ++i)
        llLimit *= 10;

    // 64 bits, so that neither |INT_MIN| nor the rounding sum overflows.
    LONGLONG llValue = value;
    LONGLONG a = llValue < 0 ? -llValue : llValue;
    unsigned nDigits = 0;
    LONGLONG llDivisor = 1;
    while (a >= 10)
    {
        a /= 10;
        ++nDigits;
        if (nDigits >= nRound)
            llDivisor *= 10;
    }

    if (llDivisor > 1)
    {
        llValue = llValue >= 0 ? (llValue + llDivisor / 2) / llDivisor
                               : (llValue - llDivisor / 2) / llDivisor;
        if (llValue == llLimit || llValue == -llLimit)
        {
            llValue /= 10;
            ++nDigits;
        }
    }

    if (pnDigits != nullptr)
        *pnDigits = nDigits + 1;
    return static_cast<int>(llValue);
}

wchar_t* FormatSize(int value, wchar_t* pszConv)
{
    if (pszConv == nullptr)
        return nullptr;

    static const wchar_t* const rgpszUnits[] = {L"KB", L"MB", L"GB", L"TB", L"PB", L"EB"};
    unsigned nDigits = 0;
    int r = RoundToDigits(value, 3, &nDigits);
    if (nDigits <= 3)
    {
        ::StringCchPrintfW(pszConv, cchSizeText, L"%i B", value);
        return pszConv;
    }

    const wchar_t* pszUnit = rgpszUnits[(nDigits - 1) / 3 - 1];
    switch (nDigits % 3)
    {
    case 1:
        ::StringCchPrintfW(pszConv, cchSizeText, L"%i.%02u %s", r / 100, static_cast<unsigned>(abs(r % 100)),
                           pszUnit);
        break;
    case 2:
        ::StringCchPrintfW(pszConv, cchSizeText, L"%i.%u %s", r / 10, static_cast<unsigned>(abs(r % 10)), pszUnit);
        break;
    default:
        ::StringCchPrintfW(pszConv, cchSizeText, L"%i %s", r, pszUnit);
        break;
    }
    return pszConv;
}
