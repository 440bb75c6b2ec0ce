#include "KitModule.h"

#include <string>

namespace {

LONG s_cObjects = 0;
LONG s_cLocks = 0;

class CKitClassFactory : public IClassFactory
{
public:
    explicit CKitClassFactory(const KIT_CLASS_ENTRY* pEntry) : m_cRef(1), m_pEntry(pEntry)
    {
        KitObjectCreated();
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory)
        {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG cRef = ::InterlockedDecrement(&m_cRef);
        if (cRef == 0)
            delete this;
        return cRef;
    }
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (pUnkOuter != nullptr)
            return CLASS_E_NOAGGREGATION;
        return m_pEntry->pfnCreate(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL bLock) override
    {
        KitServerLock(bLock != FALSE);
        return S_OK;
    }

private:
    virtual ~CKitClassFactory() { KitObjectDestroyed(); }

    LONG m_cRef;
    const KIT_CLASS_ENTRY* m_pEntry;
};

std::wstring GuidString(REFGUID guid)
{
    wchar_t sz[40] = {};
    ::StringFromGUID2(guid, sz, ARRAYSIZE(sz));
    return sz;
}

HRESULT FromWin32(LONG lRes)
{
    return lRes == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(lRes);
}

} // namespace

void KitObjectCreated()
{
    ::InterlockedIncrement(&s_cObjects);
}

void KitObjectDestroyed()
{
    ::InterlockedDecrement(&s_cObjects);
}

void KitServerLock(bool bLock)
{
    if (bLock)
        ::InterlockedIncrement(&s_cLocks);
    else
        ::InterlockedDecrement(&s_cLocks);
}

bool KitCanUnload()
{
    return s_cObjects == 0 && s_cLocks == 0;
}

HRESULT KitCanUnloadNow()
{
    return KitCanUnload() ? S_OK : S_FALSE;
}

HRESULT KitGetClassObject(const KIT_CLASS_ENTRY* rgClasses, size_t cClasses, REFCLSID rclsid,
                          REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    for (size_t i = 0; i < cClasses; ++i)
    {
        if (*rgClasses[i].pclsid != rclsid)
            continue;
        CKitClassFactory* pFactory = new (std::nothrow) CKitClassFactory(&rgClasses[i]);
        if (pFactory == nullptr)
            return E_OUTOFMEMORY;
        HRESULT hr = pFactory->QueryInterface(riid, ppv);
        pFactory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT KitRegisterClass(REFCLSID clsid, const wchar_t* pszName, const wchar_t* pszModulePath)
{
    std::wstring key = L"CLSID\\" + GuidString(clsid);
    CRegKey regClass;
    HRESULT hr = FromWin32(regClass.Create(HKEY_CLASSES_ROOT, key.c_str()));
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = FromWin32(regClass.SetStringValue(nullptr, pszName))))
        return hr;
    CRegKey regServer;
    if (FAILED(hr = FromWin32(regServer.Create(regClass, L"InprocServer32"))))
        return hr;
    if (FAILED(hr = FromWin32(regServer.SetStringValue(nullptr, pszModulePath))))
        return hr;
    // The graph manager and the property frame call from their own threads.
    return FromWin32(regServer.SetStringValue(L"ThreadingModel", L"Both"));
}

HRESULT KitUnregisterClass(REFCLSID clsid)
{
    LONG lRes = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidString(clsid)).c_str());
    return lRes == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(lRes);
}

HRESULT KitRegisterDevice(REFGUID category, REFCLSID clsid, const wchar_t* pszFriendlyName)
{
    std::wstring clsidText = GuidString(clsid);
    std::wstring key = L"CLSID\\" + GuidString(category) + L"\\Instance\\" + clsidText;
    CRegKey regDevice;
    HRESULT hr = FromWin32(regDevice.Create(HKEY_CLASSES_ROOT, key.c_str()));
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = FromWin32(regDevice.SetStringValue(L"FriendlyName", pszFriendlyName))))
        return hr;
    return FromWin32(regDevice.SetStringValue(L"CLSID", clsidText.c_str()));
}

HRESULT KitUnregisterDevice(REFGUID category, REFCLSID clsid)
{
    std::wstring key = L"CLSID\\" + GuidString(category) + L"\\Instance\\" + GuidString(clsid);
    LONG lRes = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    return lRes == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(lRes);
}

HRESULT KitRegisterServer(const KIT_CLASS_ENTRY* rgClasses, size_t cClasses)
{
    wchar_t szPath[MAX_PATH];
    DWORD cch = ::GetModuleFileNameW(AtlGetModuleInstance(), szPath, ARRAYSIZE(szPath));
    if (cch == 0 || cch >= ARRAYSIZE(szPath))
        return E_FAIL;
    for (size_t i = 0; i < cClasses; ++i)
    {
        const KIT_CLASS_ENTRY& entry = rgClasses[i];
        HRESULT hr = KitRegisterClass(*entry.pclsid, entry.pszName, szPath);
        if (SUCCEEDED(hr) && entry.pCategory != nullptr)
            hr = KitRegisterDevice(*entry.pCategory, *entry.pclsid, entry.pszName);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT KitUnregisterServer(const KIT_CLASS_ENTRY* rgClasses, size_t cClasses)
{
    HRESULT hrResult = S_OK;
    for (size_t i = 0; i < cClasses; ++i)
    {
        const KIT_CLASS_ENTRY& entry = rgClasses[i];
        HRESULT hr = S_OK;
        if (entry.pCategory != nullptr)
            hr = KitUnregisterDevice(*entry.pCategory, *entry.pclsid);
        HRESULT hrClass = KitUnregisterClass(*entry.pclsid);
        if (SUCCEEDED(hrResult))
            hrResult = FAILED(hr) ? hr : hrClass;
    }
    return hrResult;
}
