// Whether the stand-in filters' DLLs still hold objects: a reference that
// the program forgot keeps its DLL from unloading.
#pragma once

#include <windows.h>

const wchar_t* const rgszStandinDlls[] = {L"Corvasta.dll", L"OrmidexGenerator.dll", L"StandinEncoders.dll",
                                          L"vp8encoder.dll"};

// The DLL's DllCanUnloadNow: S_OK once its last object and lock are gone.
// E_FAIL when it is not loaded or has no such export.
inline HRESULT StandinCanUnload(const wchar_t* pszDll)
{
    HMODULE hDll = ::GetModuleHandleW(pszDll);
    if (hDll == nullptr)
        return E_FAIL;
    auto pfnCanUnload =
        reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(::GetProcAddress(hDll, "DllCanUnloadNow")));
    return pfnCanUnload != nullptr ? pfnCanUnload() : E_FAIL;
}
