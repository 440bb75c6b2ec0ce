// Walking a device category of the system device enumerator one device at a
// time: the friendly name and class id of each, and its filter.
#pragma once

#include "atlbase.h"

#include "atldshow.h"

// Every step returns its own result, so that a caller can tell apart which
// one failed; a step does the earlier ones it needs when they were not called.
class CDeviceEnum
{
public:
    // Creates the system device enumerator.
    HRESULT Create();
    // Opens the category's class enumerator: S_OK, or S_FALSE for a category
    // without entries (there is nothing to walk then).
    HRESULT Open(REFCLSID clsidCategory);
    // Moves to the next device: S_OK, S_FALSE after the last one or when no
    // category is open, or the enumerator's failure.
    HRESULT Next();

    // The current device's property bag (IMoniker::BindToStorage).
    HRESULT BindProperties();
    // Its FriendlyName, never a null string; the caller frees it. Fails with
    // the property bag's code, or DISP_E_TYPEMISMATCH for a value that is not
    // a string.
    HRESULT ReadName(BSTR* pbstrName);
    // Its CLSID value; GUID_NULL and a failure when it is missing or no class id.
    HRESULT ReadClsid(CLSID* pclsid);
    // Creates its filter (IMoniker::BindToObject).
    HRESULT BindFilter(IBaseFilter** ppFilter);

private:
    HRESULT ReadString(LPCOLESTR pszProperty, BSTR* pbstr);

    CComPtr<ICreateDevEnum> m_spDevEnum;
    CComPtr<IEnumMoniker> m_spEnum;
    CComPtr<IMoniker> m_spMoniker;
    CComPtr<IPropertyBag> m_spBag;
};
