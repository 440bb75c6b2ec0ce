// Shared plumbing of the filter kit: locks, object counting for
// DllCanUnloadNow, and the macros a filter uses for its COM identity.
#pragma once

#include "atlbase.h"
#include "atldshow.h"

#include <new>

class CKitCritSec
{
public:
    CKitCritSec() { ::InitializeCriticalSection(&m_cs); }
    ~CKitCritSec() { ::DeleteCriticalSection(&m_cs); }
    CKitCritSec(const CKitCritSec&) = delete;
    CKitCritSec& operator=(const CKitCritSec&) = delete;

    void Lock() { ::EnterCriticalSection(&m_cs); }
    void Unlock() { ::LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class CKitAutoLock
{
public:
    explicit CKitAutoLock(CKitCritSec& cs) : m_cs(cs) { m_cs.Lock(); }
    ~CKitAutoLock() { m_cs.Unlock(); }
    CKitAutoLock(const CKitAutoLock&) = delete;
    CKitAutoLock& operator=(const CKitAutoLock&) = delete;

private:
    CKitCritSec& m_cs;
};

// Live objects and IClassFactory::LockServer locks of this DLL.
void KitObjectCreated();
void KitObjectDestroyed();
void KitServerLock(bool bLock);
bool KitCanUnload();

// Creates T (which must implement IUnknown and Init()) and hands out riid.
template <class T>
HRESULT KitCreateObject(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    T* pObject = new (std::nothrow) T();
    if (pObject == nullptr)
        return E_OUTOFMEMORY;
    pObject->AddRef();
    HRESULT hr = pObject->Init();
    if (SUCCEEDED(hr))
        hr = pObject->QueryInterface(riid, ppv);
    pObject->Release();
    return hr;
}


// A class that adds interfaces to a kit base forwards its IUnknown to the
// base, so that every interface shares one identity and one count.
#define KIT_DECLARE_IUNKNOWN(Base)                                                      \
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override                       \
    {                                                                                   \
        return Base::QueryInterface(riid, ppv);                                         \
    }                                                                                   \
    STDMETHODIMP_(ULONG) AddRef() override { return Base::AddRef(); }                   \
    STDMETHODIMP_(ULONG) Release() override { return Base::Release(); }

// Inside GetInterface(riid): answers riid with this object's I, unless the
// fault switch "NoInterface:I" of the filter leaves it out.
#define KIT_INTERFACE(I)                                                                \
    if (riid == __uuidof(I))                                                            \
        return HidesInterface(L## #I) ? nullptr : static_cast<I*>(this)
