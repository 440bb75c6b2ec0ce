// Registry key wrapper.
#pragma once

#include <windows.h>

namespace ATL {

class CRegKey
{
public:
    CRegKey() : m_hKey(nullptr) {}
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    operator HKEY() const { return m_hKey; }

    LONG Open(HKEY hKeyParent, LPCWSTR lpszKeyName, REGSAM samDesired = KEY_READ | KEY_WRITE)
    {
        HKEY hKey = nullptr;
        LONG lRes = ::RegOpenKeyExW(hKeyParent, lpszKeyName, 0, samDesired, &hKey);
        if (lRes == ERROR_SUCCESS)
        {
            Close();
            m_hKey = hKey;
        }
        return lRes;
    }
    LONG Create(HKEY hKeyParent, LPCWSTR lpszKeyName, REGSAM samDesired = KEY_READ | KEY_WRITE)
    {
        HKEY hKey = nullptr;
        LONG lRes = ::RegCreateKeyExW(hKeyParent, lpszKeyName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      samDesired, nullptr, &hKey, nullptr);
        if (lRes == ERROR_SUCCESS)
        {
            Close();
            m_hKey = hKey;
        }
        return lRes;
    }
    LONG Close()
    {
        LONG lRes = ERROR_SUCCESS;
        if (m_hKey != nullptr)
        {
            lRes = ::RegCloseKey(m_hKey);
            m_hKey = nullptr;
        }
        return lRes;
    }

    // A string is accepted when it is REG_SZ or REG_EXPAND_SZ (not expanded),
    // ends in a terminator and fits; *pnChars holds the capacity on entry and
    // the length with the terminator on return.
    LONG QueryStringValue(LPCWSTR pszValueName, LPWSTR pszValue, ULONG* pnChars)
    {
        ATLASSERT(pnChars != nullptr);
        DWORD dwType = 0;
        DWORD cb = *pnChars * sizeof(WCHAR);
        *pnChars = 0;
        LONG lRes = ::RegQueryValueExW(m_hKey, pszValueName, nullptr, &dwType,
                                       reinterpret_cast<LPBYTE>(pszValue), &cb);
        if (lRes != ERROR_SUCCESS)
            return lRes;
        if (dwType != REG_SZ && dwType != REG_EXPAND_SZ)
            return ERROR_INVALID_DATA;
        if (pszValue != nullptr)
        {
            if (cb < sizeof(WCHAR) || (cb % sizeof(WCHAR)) != 0 || pszValue[cb / sizeof(WCHAR) - 1] != 0)
                return ERROR_INVALID_DATA;
        }
        *pnChars = cb / sizeof(WCHAR);
        return ERROR_SUCCESS;
    }
    LONG SetStringValue(LPCWSTR pszValueName, LPCWSTR pszValue, DWORD dwType = REG_SZ)
    {
        return ::RegSetValueExW(m_hKey, pszValueName, 0, dwType,
                                reinterpret_cast<const BYTE*>(pszValue),
                                static_cast<DWORD>((wcslen(pszValue) + 1) * sizeof(WCHAR)));
    }
    LONG SetDWORDValue(LPCWSTR pszValueName, DWORD dwValue)
    {
        return ::RegSetValueExW(m_hKey, pszValueName, 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&dwValue), sizeof(DWORD));
    }
    LONG QueryDWORDValue(LPCWSTR pszValueName, DWORD& dwValue)
    {
        DWORD dwType = 0, cb = sizeof(DWORD);
        LONG lRes = ::RegQueryValueExW(m_hKey, pszValueName, nullptr, &dwType,
                                       reinterpret_cast<LPBYTE>(&dwValue), &cb);
        if (lRes == ERROR_SUCCESS && dwType != REG_DWORD)
            return ERROR_INVALID_DATA;
        return lRes;
    }
    LONG RecurseDeleteKey(LPCWSTR lpszKey) { return ::RegDeleteTreeW(m_hKey, lpszKey); }

    HKEY m_hKey;
};

} // namespace ATL
