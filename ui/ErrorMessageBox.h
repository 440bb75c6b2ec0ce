// Message boxes that join the caller's text, the platform's text for a result
// code and the code itself.
#pragma once

#include <windows.h>

int ErrorMessageBox(HWND hWndOwner, const wchar_t* pszText, const wchar_t* pszCaption, HRESULT hr,
                    UINT uStyle);
