// Sets one fault switch or setting of a stand-in filter for the life of the
// object (see KitFaults.h); the value, and the filter's key when it is left
// empty, are removed again. Filters read their switches when created, so
// create the filter after the switch.
#pragma once

#include <windows.h>

#include <string>

class CFaultSwitch
{
public:
    CFaultSwitch(const wchar_t* pszFilterName, const wchar_t* pszValueName, DWORD dwValue)
        : m_key(std::wstring(L"Software\\CorvastaTest\\Faults\\") + pszFilterName),
          m_valueName(pszValueName)
    {
        HKEY hKey = nullptr;
        m_lResult = ::RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0,
                                      KEY_SET_VALUE, nullptr, &hKey, nullptr);
        if (m_lResult != ERROR_SUCCESS)
            return;
        m_lResult = ::RegSetValueExW(hKey, m_valueName.c_str(), 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
        ::RegCloseKey(hKey);
    }
    ~CFaultSwitch()
    {
        HKEY hKey = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                            &hKey) != ERROR_SUCCESS)
            return;
        ::RegDeleteValueW(hKey, m_valueName.c_str());
        DWORD cValues = 0, cSubKeys = 0;
        ::RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, &cSubKeys, nullptr, nullptr, &cValues,
                           nullptr, nullptr, nullptr, nullptr);
        ::RegCloseKey(hKey);
        if (cValues == 0 && cSubKeys == 0)
            ::RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str());
    }
    CFaultSwitch(const CFaultSwitch&) = delete;
    CFaultSwitch& operator=(const CFaultSwitch&) = delete;

    // ERROR_SUCCESS when the value was written.
    LONG Result() const { return m_lResult; }

private:
    std::wstring m_key;
    std::wstring m_valueName;
    LONG m_lResult;
};
