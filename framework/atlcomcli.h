// COM smart pointers and the BSTR and VARIANT wrappers.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include "atldef.h"

#include <memory>

namespace ATL {

// Each pointer owns one reference. operator& may only be used on an empty
// pointer, so that an out-parameter never overwrites a reference.
template <class T>
class CComPtr
{
public:
    CComPtr() : p(nullptr) {}
    CComPtr(T* lp) : p(lp) { if (p) p->AddRef(); }
    CComPtr(const CComPtr& lp) : CComPtr(lp.p) {}
    CComPtr(CComPtr&& lp) noexcept : p(lp.p) { lp.p = nullptr; }
    ~CComPtr() { if (p) p->Release(); }

    CComPtr& operator=(T* lp)
    {
        if (lp) lp->AddRef();
        T* pOld = p;
        p = lp;
        if (pOld) pOld->Release();
        return *this;
    }
    CComPtr& operator=(const CComPtr& lp) { return *this = lp.p; }
    CComPtr& operator=(CComPtr&& lp) noexcept
    {
        if (this != std::addressof(lp)) // operator& is taken
        {
            Release();
            p = lp.p;
            lp.p = nullptr;
        }
        return *this;
    }

    operator T*() const { return p; }
    T& operator*() const { ATLASSERT(p != nullptr); return *p; }
    T** operator&() { ATLASSERT(p == nullptr); return &p; }
    T* operator->() const { ATLASSERT(p != nullptr); return p; }
    bool operator!() const { return p == nullptr; }
    bool operator==(T* pT) const { return p == pT; }
    bool operator!=(T* pT) const { return p != pT; }

    void Release()
    {
        T* pTemp = p;
        if (pTemp)
        {
            p = nullptr;
            pTemp->Release();
        }
    }
    void Attach(T* p2)
    {
        if (p) p->Release();
        p = p2;
    }
    T* Detach()
    {
        T* pt = p;
        p = nullptr;
        return pt;
    }
    HRESULT CopyTo(T** ppT) const
    {
        ATLASSERT(ppT != nullptr);
        if (ppT == nullptr) return E_POINTER;
        *ppT = p;
        if (p) p->AddRef();
        return S_OK;
    }
    // COM identity: both point to the same object when their IUnknowns match.
    bool IsEqualObject(IUnknown* pOther) const
    {
        if (p == nullptr || pOther == nullptr)
            return p == nullptr && pOther == nullptr;
        IUnknown* pUnk1 = nullptr;
        IUnknown* pUnk2 = nullptr;
        p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnk1));
        pOther->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnk2));
        bool bEqual = pUnk1 != nullptr && pUnk1 == pUnk2;
        if (pUnk1 != nullptr)
            pUnk1->Release();
        if (pUnk2 != nullptr)
            pUnk2->Release();
        return bEqual;
    }
    HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter = nullptr,
                             DWORD dwClsContext = CLSCTX_ALL)
    {
        ATLASSERT(p == nullptr);
        return ::CoCreateInstance(rclsid, pUnkOuter, dwClsContext, __uuidof(T),
                                  reinterpret_cast<void**>(&p));
    }
    template <class Q>
    HRESULT QueryInterface(Q** pp) const
    {
        ATLASSERT(pp != nullptr);
        return p->QueryInterface(__uuidof(Q), reinterpret_cast<void**>(pp));
    }

    T* p;
};

template <class T>
class CComQIPtr : public CComPtr<T>
{
public:
    CComQIPtr() {}
    CComQIPtr(T* lp) : CComPtr<T>(lp) {}
    CComQIPtr(const CComQIPtr& lp) : CComPtr<T>(lp.p) {}
    CComQIPtr(IUnknown* lp)
    {
        if (lp != nullptr)
            lp->QueryInterface(__uuidof(T), reinterpret_cast<void**>(&this->p));
    }
    CComQIPtr& operator=(T* lp) { CComPtr<T>::operator=(lp); return *this; }
    CComQIPtr& operator=(const CComQIPtr& lp) { CComPtr<T>::operator=(lp.p); return *this; }
    CComQIPtr& operator=(IUnknown* lp)
    {
        this->Release();
        if (lp != nullptr)
            lp->QueryInterface(__uuidof(T), reinterpret_cast<void**>(&this->p));
        return *this;
    }
};

// IUnknown can't be queried through the template above (the two conversions
// would collide), as in ATL.
template <>
class CComQIPtr<IUnknown> : public CComPtr<IUnknown>
{
public:
    CComQIPtr() {}
    CComQIPtr(IUnknown* lp)
    {
        if (lp != nullptr)
            lp->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&p));
    }
};

class CComBSTR
{
public:
    BSTR m_str;

    CComBSTR() : m_str(nullptr) {}
    CComBSTR(LPCOLESTR pSrc) : m_str(nullptr)
    {
        if (pSrc != nullptr)
        {
            m_str = ::SysAllocString(pSrc);
            if (m_str == nullptr) AtlThrow(E_OUTOFMEMORY);
        }
    }
    CComBSTR(int nSize, LPCOLESTR sz) : m_str(nullptr)
    {
        if (nSize < 0) AtlThrow(E_INVALIDARG);
        if (nSize == 0 && sz == nullptr) return;
        m_str = ::SysAllocStringLen(sz, nSize);
        if (m_str == nullptr) AtlThrow(E_OUTOFMEMORY);
    }
    CComBSTR(const CComBSTR& src) : m_str(src.Copy())
    {
        if (src.m_str != nullptr && m_str == nullptr) AtlThrow(E_OUTOFMEMORY);
    }
    CComBSTR(CComBSTR&& src) noexcept : m_str(src.m_str) { src.m_str = nullptr; }
    ~CComBSTR() { ::SysFreeString(m_str); }

    CComBSTR& operator=(const CComBSTR& src)
    {
        if (m_str != src.m_str)
        {
            BSTR bs = src.Copy();
            if (src.m_str != nullptr && bs == nullptr) AtlThrow(E_OUTOFMEMORY);
            ::SysFreeString(m_str);
            m_str = bs;
        }
        return *this;
    }
    CComBSTR& operator=(LPCOLESTR pSrc)
    {
        if (pSrc != m_str)
        {
            BSTR bs = nullptr;
            if (pSrc != nullptr)
            {
                bs = ::SysAllocString(pSrc);
                if (bs == nullptr) AtlThrow(E_OUTOFMEMORY);
            }
            ::SysFreeString(m_str);
            m_str = bs;
        }
        return *this;
    }

    operator BSTR() const { return m_str; }
    BSTR* operator&() { ATLASSERT(m_str == nullptr); return &m_str; }
    bool operator!() const { return m_str == nullptr; }

    unsigned int Length() const { return ::SysStringLen(m_str); }
    BSTR Copy() const
    {
        if (m_str == nullptr) return nullptr;
        return ::SysAllocStringByteLen(reinterpret_cast<char*>(m_str), ::SysStringByteLen(m_str));
    }
    HRESULT CopyTo(BSTR* pbstr) const
    {
        ATLASSERT(pbstr != nullptr);
        if (pbstr == nullptr) return E_POINTER;
        *pbstr = Copy();
        if (*pbstr == nullptr && m_str != nullptr) return E_OUTOFMEMORY;
        return S_OK;
    }
    void Empty()
    {
        ::SysFreeString(m_str);
        m_str = nullptr;
    }
    void Attach(BSTR src)
    {
        if (m_str != src)
        {
            ::SysFreeString(m_str);
            m_str = src;
        }
    }
    BSTR Detach()
    {
        BSTR s = m_str;
        m_str = nullptr;
        return s;
    }
    HRESULT Append(LPCOLESTR lpsz)
    {
        if (lpsz == nullptr) return S_OK;
        return AppendLen(lpsz, static_cast<int>(wcslen(lpsz)));
    }
    HRESULT Append(const CComBSTR& bs) { return AppendLen(bs.m_str, static_cast<int>(bs.Length())); }
    CComBSTR& operator+=(LPCOLESTR lpsz)
    {
        HRESULT hr = Append(lpsz);
        if (FAILED(hr)) AtlThrow(hr);
        return *this;
    }

private:
    HRESULT AppendLen(LPCOLESTR lpsz, int nLen)
    {
        if (nLen == 0) return S_OK;
        unsigned int nOld = Length();
        BSTR b = ::SysAllocStringLen(nullptr, nOld + nLen);
        if (b == nullptr) return E_OUTOFMEMORY;
        if (nOld) memcpy(b, m_str, nOld * sizeof(OLECHAR));
        memcpy(b + nOld, lpsz, nLen * sizeof(OLECHAR));
        b[nOld + nLen] = 0;
        ::SysFreeString(m_str);
        m_str = b;
        return S_OK;
    }
};

class CComVariant : public tagVARIANT
{
public:
    CComVariant() { ::VariantInit(this); }
    ~CComVariant() { Clear(); }
    CComVariant(const CComVariant&) = delete;
    CComVariant& operator=(const CComVariant&) = delete;

    HRESULT Clear() { return ::VariantClear(this); }
};

} // namespace ATL
