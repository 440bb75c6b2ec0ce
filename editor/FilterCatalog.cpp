#include "FilterCatalog.h"

#include "atlbase.h"

#include "atldshow.h"
#include "atlreg.h"

#include <algorithm>

namespace {

// The categories the harness builds from, listed even where the system's
// list of categories lacks them.
struct FixedCategory
{
    const wchar_t* pszName;
    const GUID* pId;
};
const FixedCategory c_rgFixedCategories[] = {
    {L"DirectShow Filters", &CLSID_LegacyAmFilterCategory},
    {L"Video Capture Sources", &CLSID_VideoInputDeviceCategory},
    {L"Video Compressors", &CLSID_VideoCompressorCategory},
    {L"Audio Compressors", &CLSID_AudioCompressorCategory},
};

// One entry of a category as the device enumerator gives it.
struct DeviceEntry
{
    std::wstring name;
    CLSID clsid = GUID_NULL;
    std::wstring monikerName;
};

HRESULT ReadString(IPropertyBag* pBag, LPCOLESTR pszProperty, std::wstring* pValue)
{
    CComVariant var;
    HRESULT hr = pBag->Read(pszProperty, &var, nullptr);
    if (FAILED(hr))
        return hr;
    if (var.vt != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    *pValue = var.bstrVal != nullptr ? var.bstrVal : L"";
    return S_OK;
}

// Reads every entry of the category whose name can be read; CDeviceEnum
// does not give out its moniker, whose display name is needed here.
HRESULT ReadCategory(REFCLSID category, std::vector<DeviceEntry>* pEntries)
{
    pEntries->clear();
    CComPtr<ICreateDevEnum> spDevEnum;
    HRESULT hr = spDevEnum.CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER);
    if (FAILED(hr))
        return hr;
    CComPtr<IEnumMoniker> spEnum;
    if (FAILED(hr = spDevEnum->CreateClassEnumerator(category, &spEnum, 0)))
        return hr;
    if (hr == S_FALSE || spEnum == nullptr)
        return S_FALSE;
    CComPtr<IBindCtx> spBindCtx;
    if (FAILED(hr = ::CreateBindCtx(0, &spBindCtx)))
        return hr;
    for (;;)
    {
        CComPtr<IMoniker> spMoniker;
        if (FAILED(hr = spEnum->Next(1, &spMoniker, nullptr)))
            return hr;
        if (hr != S_OK || spMoniker == nullptr)
            break;
        CComPtr<IPropertyBag> spBag;
        DeviceEntry entry;
        if (FAILED(spMoniker->BindToStorage(spBindCtx, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&spBag))) ||
            FAILED(ReadString(spBag, L"FriendlyName", &entry.name)))
            continue;
        std::wstring clsidText;
        if (FAILED(ReadString(spBag, L"CLSID", &clsidText)) ||
            FAILED(::CLSIDFromString(clsidText.c_str(), &entry.clsid)))
            entry.clsid = GUID_NULL;
        LPOLESTR pszDisplayName = nullptr;
        if (SUCCEEDED(spMoniker->GetDisplayName(spBindCtx, nullptr, &pszDisplayName)) && pszDisplayName != nullptr)
            entry.monikerName = pszDisplayName;
        ::CoTaskMemFree(pszDisplayName);
        pEntries->push_back(std::move(entry));
    }
    return pEntries->empty() ? S_FALSE : S_OK;
}

bool NameLess(const std::wstring& a, const std::wstring& b)
{
    return ::lstrcmpiW(a.c_str(), b.c_str()) < 0;
}

std::wstring Lowered(const std::wstring& text)
{
    std::wstring lowered = text;
    if (!lowered.empty())
        ::CharLowerBuffW(&lowered[0], static_cast<DWORD>(lowered.size()));
    return lowered;
}

} // namespace

FilterChoice CatalogFilter::ToChoice() const
{
    FilterChoice choice;
    choice.name = name;
    choice.clsid = clsid;
    choice.monikerName = monikerName;
    return choice;
}

HRESULT ListFilterCategories(std::vector<FilterCategory>* pCategories)
{
    if (pCategories == nullptr)
        return E_POINTER;
    pCategories->clear();
    std::vector<DeviceEntry> entries;
    HRESULT hr = ReadCategory(CLSID_ActiveMovieCategories, &entries);
    for (const DeviceEntry& entry : entries)
    {
        bool bKnown = entry.clsid == GUID_NULL;
        for (const FilterCategory& category : *pCategories)
            bKnown = bKnown || category.id == entry.clsid;
        if (!bKnown)
            pCategories->push_back({entry.name, entry.clsid});
    }
    for (const FixedCategory& fixed : c_rgFixedCategories)
    {
        auto it = std::find_if(pCategories->begin(), pCategories->end(),
                               [&](const FilterCategory& category) { return category.id == *fixed.pId; });
        if (it == pCategories->end())
            pCategories->push_back({fixed.pszName, *fixed.pId});
    }
    std::stable_sort(pCategories->begin(), pCategories->end(),
                     [](const FilterCategory& a, const FilterCategory& b) { return NameLess(a.name, b.name); });
    return FAILED(hr) ? hr : S_OK;
}

HRESULT ListCategoryFilters(REFCLSID category, std::vector<CatalogFilter>* pFilters)
{
    if (pFilters == nullptr)
        return E_POINTER;
    pFilters->clear();
    std::vector<DeviceEntry> entries;
    HRESULT hr = ReadCategory(category, &entries);
    for (DeviceEntry& entry : entries)
    {
        CatalogFilter filter;
        filter.name = std::move(entry.name);
        filter.clsid = entry.clsid;
        filter.monikerName = std::move(entry.monikerName);
        if (filter.clsid != GUID_NULL)
            filter.file = FindFilterFile(filter.clsid);
        pFilters->push_back(std::move(filter));
    }
    std::stable_sort(pFilters->begin(), pFilters->end(),
                     [](const CatalogFilter& a, const CatalogFilter& b) { return NameLess(a.name, b.name); });
    return hr;
}

std::wstring FindFilterFile(REFCLSID clsid)
{
    wchar_t szClsid[40] = L"";
    if (::StringFromGUID2(clsid, szClsid, ARRAYSIZE(szClsid)) == 0)
        return L"";
    CRegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + szClsid + L"\\InprocServer32").c_str(), KEY_READ) !=
        ERROR_SUCCESS)
        return L"";
    ULONG nChars = 0;
    if (key.QueryStringValue(nullptr, nullptr, &nChars) != ERROR_SUCCESS || nChars == 0)
        return L"";
    std::wstring file(nChars, L'\0');
    if (key.QueryStringValue(nullptr, &file[0], &nChars) != ERROR_SUCCESS || nChars == 0)
        return L"";
    file.resize(nChars - 1); // without its terminator
    return file;
}

bool FilterNameMatches(const std::wstring& name, const std::wstring& search)
{
    return Lowered(name).find(Lowered(search)) != std::wstring::npos;
}
