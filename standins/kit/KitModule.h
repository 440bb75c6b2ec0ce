// The COM server side of a stand-in DLL: its table of classes, the class
// factory, the four exported entry points and the registration they do.
#pragma once

#include "KitCore.h"

struct KIT_CLASS_ENTRY
{
    const CLSID* pclsid;
    const wchar_t* pszName;       // friendly name, also the class key's default value
    HRESULT (*pfnCreate)(REFIID riid, void** ppv);
    const GUID* pCategory;        // device category of a filter; null for a property page
};

HRESULT KitGetClassObject(const KIT_CLASS_ENTRY* rgClasses, size_t cClasses, REFCLSID rclsid,
                          REFIID riid, void** ppv);
HRESULT KitCanUnloadNow();
// HKCR\CLSID\{clsid} with InprocServer32 (this DLL, ThreadingModel Both),
// and for a filter HKCR\CLSID\{category}\Instance\{clsid} with FriendlyName
// and CLSID, where the system device enumerator finds it.
HRESULT KitRegisterServer(const KIT_CLASS_ENTRY* rgClasses, size_t cClasses);
HRESULT KitUnregisterServer(const KIT_CLASS_ENTRY* rgClasses, size_t cClasses);

HRESULT KitRegisterClass(REFCLSID clsid, const wchar_t* pszName, const wchar_t* pszModulePath);
HRESULT KitUnregisterClass(REFCLSID clsid);
HRESULT KitRegisterDevice(REFGUID category, REFCLSID clsid, const wchar_t* pszFriendlyName);
HRESULT KitUnregisterDevice(REFGUID category, REFCLSID clsid);

// Defines the DLL's exports (DllGetClassObject, DllCanUnloadNow,
// DllRegisterServer, DllUnregisterServer) over a KIT_CLASS_ENTRY array.
#define KIT_DLL_EXPORTS(rgClasses)                                                      \
    STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)                  \
    {                                                                                   \
        return KitGetClassObject(rgClasses, ARRAYSIZE(rgClasses), rclsid, riid, ppv);   \
    }                                                                                   \
    STDAPI DllCanUnloadNow() { return KitCanUnloadNow(); }                              \
    STDAPI DllRegisterServer() { return KitRegisterServer(rgClasses, ARRAYSIZE(rgClasses)); } \
    STDAPI DllUnregisterServer()                                                        \
    {                                                                                   \
        return KitUnregisterServer(rgClasses, ARRAYSIZE(rgClasses));                    \
    }
