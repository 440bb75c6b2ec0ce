// Texts for DirectShow's result codes.
#pragma once

#include <windows.h>

// Copies the description of a DirectShow code into pszBuf (at most cchMax
// units with the terminator) and returns its length; 0 when the code has no
// description. The platform's service is asked first; where it answers only
// with its generic "Error: 0x..." text, the program's own table is used.
DWORD GetDirectShowErrorText(HRESULT hr, wchar_t* pszBuf, DWORD cchMax);
