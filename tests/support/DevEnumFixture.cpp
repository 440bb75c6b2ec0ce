#include "DevEnumFixture.h"

#include <objbase.h>
#include <cstdio>

namespace {

std::wstring GuidText(const GUID& guid)
{
    wchar_t sz[64] = L"";
    ::StringFromGUID2(guid, sz, ARRAYSIZE(sz));
    return sz;
}

std::wstring InstancePath(const GUID& category)
{
    return L"CLSID\\" + GuidText(category) + L"\\Instance";
}

} // namespace

CTestCategory::CTestCategory() : m_bOwnCategory(true), m_nNext(0)
{
    ::CoCreateGuid(&m_category);
    m_prefix = L"{00000000-0000-0000-0000-0000";
}

CTestCategory::CTestCategory(const GUID& category) : m_category(category), m_bOwnCategory(false), m_nNext(0)
{
    // Instance keys that sort after anything a real installation registers.
    m_prefix = L"{FFFFFFFF-0000-0000-0000-0000";
}

CTestCategory::~CTestCategory()
{
    if (m_bOwnCategory)
    {
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(m_category)).c_str());
        return;
    }
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, InstancePath(m_category).c_str(), 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < m_nNext; i++)
    {
        wchar_t sz[64];
        swprintf(sz, ARRAYSIZE(sz), L"%ls%08X}", m_prefix.c_str(), i);
        ::RegDeleteTreeW(hKey, sz);
    }
    ::RegCloseKey(hKey);
}

std::wstring CTestCategory::NextInstanceKey()
{
    wchar_t sz[64];
    swprintf(sz, ARRAYSIZE(sz), L"%ls%08X}", m_prefix.c_str(), m_nNext++);
    return InstancePath(m_category) + L"\\" + sz;
}

void CTestCategory::Add(const wchar_t* pszFriendlyName, const GUID& clsid)
{
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, NextInstanceKey().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &hKey, nullptr) != ERROR_SUCCESS)
        return;
    ::RegSetValueExW(hKey, L"FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(pszFriendlyName),
                     static_cast<DWORD>((wcslen(pszFriendlyName) + 1) * sizeof(wchar_t)));
    std::wstring clsidText = GuidText(clsid);
    ::RegSetValueExW(hKey, L"CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(clsidText.c_str()),
                     static_cast<DWORD>((clsidText.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(hKey);
}

void CTestCategory::AddUnreadable(bool bNoName)
{
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, NextInstanceKey().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &hKey, nullptr) != ERROR_SUCCESS)
        return;
    if (!bNoName)
    {
        DWORD dw = 7;
        ::RegSetValueExW(hKey, L"FriendlyName", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dw), sizeof(dw));
    }
    ::RegCloseKey(hKey);
}
