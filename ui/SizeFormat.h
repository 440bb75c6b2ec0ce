// Byte counts as short texts with three significant digits and a decimal
// unit, as the statistics line shows them.
#pragma once

#include <windows.h>

// Room for the longest text FormatSize writes, terminator included.
const size_t cchSizeText = 48;

// value rounded half away from zero to nRound (2 to 9) significant digits.
// *pnDigits gets the number of decimal digits of value, plus one when the
// rounding carried into a new digit (9995 to 3 digits: 100, 5 digits).
int RoundToDigits(int value, unsigned nRound, unsigned* pnDigits);

// "999 B", "1.23 KB", "12.3 MB", "123 GB"; pszConv holds cchSizeText units.
// Returns pszConv.
wchar_t* FormatSize(int value, wchar_t* pszConv);
