#include "KitFaults.h"

#include "atlbase.h"

const wchar_t c_szKitFaultsKey[] = L"Software\\CorvastaTest\\Faults";

void CKitFaults::Load(const wchar_t* pszFilterName)
{
    m_rgValues.clear();
    std::wstring key = std::wstring(c_szKitFaultsKey) + L"\\" + pszFilterName;
    CRegKey regKey;
    if (regKey.Open(HKEY_CURRENT_USER, key.c_str(), KEY_READ) != ERROR_SUCCESS)
        return;
    for (DWORD dwIndex = 0;; ++dwIndex)
    {
        wchar_t szName[256];
        DWORD cchName = ARRAYSIZE(szName);
        DWORD dwType = 0, dwValue = 0, cbValue = sizeof(dwValue);
        LONG lRes = ::RegEnumValueW(regKey, dwIndex, szName, &cchName, nullptr, &dwType,
                                    reinterpret_cast<BYTE*>(&dwValue), &cbValue);
        if (lRes == ERROR_NO_MORE_ITEMS)
            break;
        // Values of other types (or too long) are not switches; skip them.
        if (lRes == ERROR_SUCCESS && dwType == REG_DWORD && cbValue == sizeof(DWORD))
            m_rgValues.emplace_back(szName, dwValue);
    }
}

const DWORD* CKitFaults::Find(const wchar_t* pszPrefix, const wchar_t* pszName) const
{
    std::wstring name = std::wstring(pszPrefix) + pszName;
    for (const auto& value : m_rgValues)
        if (::lstrcmpiW(value.first.c_str(), name.c_str()) == 0)
            return &value.second;
    return nullptr;
}

HRESULT CKitFaults::Fault(const wchar_t* pszMethod) const
{
    const DWORD* pdw = Find(L"", pszMethod);
    return pdw ? static_cast<HRESULT>(*pdw) : S_OK;
}

bool CKitFaults::HidesPin(const wchar_t* pszPin) const
{
    const DWORD* pdw = Find(L"NoPin:", pszPin);
    return pdw && *pdw != 0;
}

bool CKitFaults::HidesInterface(const wchar_t* pszInterface) const
{
    const DWORD* pdw = Find(L"NoInterface:", pszInterface);
    return pdw && *pdw != 0;
}

DWORD CKitFaults::Setting(const wchar_t* pszName, DWORD dwDefault) const
{
    const DWORD* pdw = Find(L"", pszName);
    return pdw ? *pdw : dwDefault;
}

