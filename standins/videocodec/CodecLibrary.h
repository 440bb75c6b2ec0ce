// How the encoder stand-ins tell their pages which library codes and what
// it last complained of.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

// A library's own (ASCII) words as a wide string; null gives empty.
std::wstring WidenLibraryText(const char* psz);

// Both strings or neither: E_POINTER for a null out-pointer, E_OUTOFMEMORY
// with both set to null.
HRESULT CopyLibraryStrings(const std::wstring& version, const std::wstring& error,
                           BSTR* pbstrVersion, BSTR* pbstrError);
