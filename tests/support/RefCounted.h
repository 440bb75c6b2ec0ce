// A minimal COM object whose reference count a test can read.
#pragma once

#include <windows.h>
#include <unknwn.h>

class CRefCounted : public IUnknown
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown)
            return E_NOINTERFACE;
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_nRefs; }

    // The count without the test's own reference.
    ULONG Refs() const { return m_nRefs; }

private:
    ULONG m_nRefs = 0;
};
