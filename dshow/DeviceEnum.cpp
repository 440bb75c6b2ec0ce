#include "DeviceEnum.h"

HRESULT CDeviceEnum::Create()
{
    m_spEnum.Release();
    m_spMoniker.Release();
    m_spBag.Release();
    m_spDevEnum.Release();
    return m_spDevEnum.CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER);
}

HRESULT CDeviceEnum::Open(REFCLSID clsidCategory)
{
    HRESULT hr = S_OK;
    if (m_spDevEnum == nullptr && FAILED(hr = Create()))
        return hr;
    m_spEnum.Release();
    m_spMoniker.Release();
    m_spBag.Release();
    // S_FALSE (and no enumerator) for a category without entries.
    return m_spDevEnum->CreateClassEnumerator(clsidCategory, &m_spEnum, 0);
}

HRESULT CDeviceEnum::Next()
{
    m_spMoniker.Release();
    m_spBag.Release();
    if (m_spEnum == nullptr)
        return S_FALSE;
    return m_spEnum->Next(1, &m_spMoniker, nullptr);
}

HRESULT CDeviceEnum::BindProperties()
{
    if (m_spMoniker == nullptr)
        return E_UNEXPECTED;
    m_spBag.Release();
    return m_spMoniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&m_spBag));
}

HRESULT CDeviceEnum::ReadString(LPCOLESTR pszProperty, BSTR* pbstr)
{
    *pbstr = nullptr;
    HRESULT hr = S_OK;
    if (m_spBag == nullptr && FAILED(hr = BindProperties()))
        return hr;

    CComVariant var;
    var.vt = VT_BSTR;
    if (FAILED(hr = m_spBag->Read(pszProperty, &var, nullptr)))
        return hr;
    if (var.vt != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    *pbstr = var.bstrVal;
    var.vt = VT_EMPTY; // the caller owns the string now
    return S_OK;
}

HRESULT CDeviceEnum::ReadName(BSTR* pbstrName)
{
    if (pbstrName == nullptr)
        return E_POINTER;
    HRESULT hr = ReadString(L"FriendlyName", pbstrName);
    if (SUCCEEDED(hr) && *pbstrName == nullptr && (*pbstrName = ::SysAllocString(L"")) == nullptr)
        return E_OUTOFMEMORY;
    return hr;
}

HRESULT CDeviceEnum::ReadClsid(CLSID* pclsid)
{
    if (pclsid == nullptr)
        return E_POINTER;
    *pclsid = GUID_NULL;
    CComBSTR bstrClsid;
    HRESULT hr = ReadString(L"CLSID", &bstrClsid);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = ::CLSIDFromString(bstrClsid.m_str != nullptr ? bstrClsid.m_str : L"", pclsid)))
        *pclsid = GUID_NULL;
    return hr;
}

HRESULT CDeviceEnum::BindFilter(IBaseFilter** ppFilter)
{
    if (ppFilter == nullptr)
        return E_POINTER;
    *ppFilter = nullptr;
    if (m_spMoniker == nullptr)
        return E_UNEXPECTED;
    return m_spMoniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(ppFilter));
}
