// A function of a system DLL that is loaded when first wanted: the program
// starts without the DLLs of its rarely used commands, each of which costs
// milliseconds to load. The DLL then stays for the life of the process.
#pragma once

#include <windows.h>

// Null when the DLL or the function is missing.
template <class TFunc>
TFunc OnDemand(const wchar_t* pszDll, const char* pszName)
{
    HMODULE hModule = ::LoadLibraryW(pszDll);
    if (hModule == nullptr)
        return nullptr;
    // Through the generic function type, which any function pointer may be
    // cast to and from.
    return reinterpret_cast<TFunc>(reinterpret_cast<void (*)()>(::GetProcAddress(hModule, pszName)));
}
