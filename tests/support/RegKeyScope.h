// Lends one registry key to a test: the key as it was is put aside and
// removed, the test writes what it needs, and on destruction the key as the
// test left it is dropped and the former one comes back (parent keys that
// only the test made go too). Scopes of one key nest. The former state is
// kept in the registry, so that a test process that dies leaves it behind
// and the next scope of that key puts it back first.
#pragma once

#include <windows.h>

#include <map>
#include <string>

class CRegKeyScope
{
public:
    CRegKeyScope(HKEY hRoot, const std::wstring& key) : m_hRoot(hRoot), m_key(key), m_lResult(ERROR_SUCCESS)
    {
        std::wstring name = key;
        for (wchar_t& ch : name)
            if (ch == L'\\')
                ch = L'/';
        m_base = std::wstring(L"Software\\CorvastaTest\\KeyBackup\\") + RootName(hRoot) + L"\\" + name;
        int& nDepth = Depths()[m_base];
        if (nDepth == 0)
            RestoreLeftOver();
        m_backup = m_base + L"\\" + std::to_wstring(nDepth++);

        HKEY hBackup = nullptr;
        m_lResult = ::RegCreateKeyExW(HKEY_CURRENT_USER, m_backup.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                      &hBackup, nullptr);
        if (m_lResult != ERROR_SUCCESS)
            return;
        HKEY hKey = nullptr;
        if (::RegOpenKeyExW(hRoot, key.c_str(), 0, KEY_READ, &hKey) == ERROR_SUCCESS)
        {
            HKEY hCopy = nullptr;
            m_lResult = ::RegCreateKeyExW(hBackup, L"Key", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hCopy, nullptr);
            if (m_lResult == ERROR_SUCCESS)
            {
                m_lResult = ::RegCopyTreeW(hKey, nullptr, hCopy);
                ::RegCloseKey(hCopy);
            }
            ::RegCloseKey(hKey);
            if (m_lResult == ERROR_SUCCESS)
                m_lResult = ::RegDeleteTreeW(hRoot, key.c_str());
        }
        else
        {
            std::wstring added = FirstMissing();
            m_lResult = ::RegSetValueExW(hBackup, L"Added", 0, REG_SZ, reinterpret_cast<const BYTE*>(added.c_str()),
                                         static_cast<DWORD>((added.size() + 1) * sizeof(wchar_t)));
        }
        ::RegCloseKey(hBackup);
    }
    ~CRegKeyScope()
    {
        // A key that could not be put aside was left as it was.
        if (m_lResult == ERROR_SUCCESS)
            Restore(m_backup);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_backup.c_str());
        if (--Depths()[m_base] == 0)
            ::RegDeleteTreeW(HKEY_CURRENT_USER, m_base.c_str());
        bool bLive = false;
        for (const auto& depth : Depths())
            bLive = bLive || depth.second != 0;
        if (!bLive)
            ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\CorvastaTest\\KeyBackup");
    }
    CRegKeyScope(const CRegKeyScope&) = delete;
    CRegKeyScope& operator=(const CRegKeyScope&) = delete;

    // ERROR_SUCCESS when the former key was put aside.
    LONG Result() const { return m_lResult; }

    // Makes the key, or its subkey pszSubKey, with its parents.
    LONG CreateKey(LPCWSTR pszSubKey)
    {
        HKEY hKey = nullptr;
        LONG lRes = Open(pszSubKey, &hKey);
        if (lRes == ERROR_SUCCESS)
            ::RegCloseKey(hKey);
        return lRes;
    }
    // Writes a value of the key, or of its subkey pszSubKey, making the keys.
    LONG SetValue(LPCWSTR pszSubKey, LPCWSTR pszName, DWORD dwType, const void* pData, DWORD cbData)
    {
        HKEY hKey = nullptr;
        LONG lRes = Open(pszSubKey, &hKey);
        if (lRes != ERROR_SUCCESS)
            return lRes;
        lRes = ::RegSetValueExW(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData);
        ::RegCloseKey(hKey);
        return lRes;
    }
    LONG SetString(LPCWSTR pszSubKey, LPCWSTR pszName, const std::wstring& value, DWORD dwType = REG_SZ)
    {
        return SetValue(pszSubKey, pszName, dwType, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }

private:
    static std::map<std::wstring, int>& Depths()
    {
        static std::map<std::wstring, int> s_depths;
        return s_depths;
    }
    static const wchar_t* RootName(HKEY hRoot)
    {
        return hRoot == HKEY_CLASSES_ROOT ? L"HKCR" : hRoot == HKEY_LOCAL_MACHINE ? L"HKLM" : L"HKCU";
    }

    LONG Open(LPCWSTR pszSubKey, HKEY* phKey)
    {
        std::wstring path = m_key;
        if (pszSubKey != nullptr && pszSubKey[0] != L'\0')
            path += std::wstring(L"\\") + pszSubKey;
        return ::RegCreateKeyExW(m_hRoot, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, phKey, nullptr);
    }

    // The first key on the way down that does not exist yet.
    std::wstring FirstMissing() const
    {
        size_t nEnd = 0;
        do
        {
            nEnd = m_key.find(L'\\', nEnd + 1);
            std::wstring part = m_key.substr(0, nEnd);
            HKEY hKey = nullptr;
            if (::RegOpenKeyExW(m_hRoot, part.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
                return part;
            ::RegCloseKey(hKey);
        } while (nEnd != std::wstring::npos);
        return m_key;
    }

    // Puts the key back as the backup holds it: its copy, or its absence.
    void Restore(const std::wstring& backup)
    {
        HKEY hBackup = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, backup.c_str(), 0, KEY_READ, &hBackup) != ERROR_SUCCESS)
            return;
        HKEY hCopy = nullptr;
        if (::RegOpenKeyExW(hBackup, L"Key", 0, KEY_READ, &hCopy) == ERROR_SUCCESS)
        {
            ::RegDeleteTreeW(m_hRoot, m_key.c_str());
            HKEY hKey = nullptr;
            if (::RegCreateKeyExW(m_hRoot, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                                  nullptr) == ERROR_SUCCESS)
            {
                ::RegCopyTreeW(hCopy, nullptr, hKey);
                ::RegCloseKey(hKey);
            }
            ::RegCloseKey(hCopy);
        }
        else
        {
            wchar_t szAdded[1024] = L"";
            DWORD cb = sizeof(szAdded) - sizeof(wchar_t);
            if (::RegQueryValueExW(hBackup, L"Added", nullptr, nullptr, reinterpret_cast<BYTE*>(szAdded), &cb) ==
                    ERROR_SUCCESS &&
                szAdded[0] != L'\0')
                ::RegDeleteTreeW(m_hRoot, szAdded);
        }
        ::RegCloseKey(hBackup);
    }

    // The outermost backup of a test process that died.
    void RestoreLeftOver()
    {
        HKEY hBase = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_base.c_str(), 0, KEY_READ, &hBase) != ERROR_SUCCESS)
            return;
        ::RegCloseKey(hBase);
        Restore(m_base + L"\\0");
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_base.c_str());
    }

    HKEY m_hRoot;
    std::wstring m_key;
    std::wstring m_base;
    std::wstring m_backup;
    LONG m_lResult;
};
