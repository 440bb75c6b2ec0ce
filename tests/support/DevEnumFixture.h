// A device category of the test's own, registered where the system device
// enumerator reads it (HKCR\CLSID\{category}\Instance) and removed afterwards.
#pragma once

#include <windows.h>

#include <string>

class CTestCategory
{
public:
    // A new category with a fresh identifier, or an existing one (its entries
    // added here are removed again, the category itself stays).
    CTestCategory();
    explicit CTestCategory(const GUID& category);
    ~CTestCategory();
    CTestCategory(const CTestCategory&) = delete;
    CTestCategory& operator=(const CTestCategory&) = delete;

    const GUID& Id() const { return m_category; }
    // Registers a device under the friendly name; entries are enumerated in
    // the order of their instance key names, which Add keeps increasing.
    void Add(const wchar_t* pszFriendlyName, const GUID& clsid = GUID_NULL);
    // A device whose FriendlyName is missing (bNoName) or not a string.
    void AddUnreadable(bool bNoName);

private:
    std::wstring NextInstanceKey();

    GUID m_category;
    bool m_bOwnCategory;
    int m_nNext;
    std::wstring m_prefix;
};
