// Winsock's headers must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "IceServerList.h"

#include "ServerUrl.h"
#include "StatusPage.h"

namespace {

bool IsValidIPv6(const std::wstring& strAddr)
{
    IN6_ADDR addr = {};
    return ::InetPtonW(AF_INET6, strAddr.c_str(), &addr) == 1;
}

// host, [v6], host:port or [v6]:port.
bool IsValidHostPort(const std::wstring& strHostPort, bool bPortRequired)
{
    std::wstring strHost;
    std::wstring strRest;
    if (!strHostPort.empty() && strHostPort[0] == L'[')
    {
        size_t nClose = strHostPort.find(L']');
        if (nClose == std::wstring::npos || !IsValidIPv6(strHostPort.substr(1, nClose - 1)))
            return false;
        strRest = strHostPort.substr(nClose + 1);
    }
    else
    {
        size_t nColon = strHostPort.find(L':');
        strHost = strHostPort.substr(0, nColon);
        if (!IsValidHostName(strHost))
            return false;
        if (nColon != std::wstring::npos)
            strRest = strHostPort.substr(nColon);
    }
    if (strRest.empty())
        return !bPortRequired;
    USHORT nPort = 0;
    return strRest[0] == L':' && ParsePort(strRest.substr(1), &nPort);
}

bool HasControlChars(BSTR bs)
{
    UINT nLen = ::SysStringLen(bs);
    for (UINT i = 0; i < nLen; ++i)
    {
        if (bs[i] < 0x20 || bs[i] == 0x7F)
            return true;
    }
    return false;
}

std::wstring FromBSTR(BSTR bs)
{
    return bs != nullptr ? std::wstring(bs, ::SysStringLen(bs)) : std::wstring();
}

HRESULT CopyOut(const std::wstring& str, BSTR* pbs)
{
    if (str.empty())
        return S_OK;
    *pbs = ::SysAllocStringLen(str.c_str(), static_cast<UINT>(str.size()));
    return *pbs != nullptr ? S_OK : E_OUTOFMEMORY;
}

} // namespace

bool CIceServerList::IsValidUri(LPCWSTR pszUri)
{
    if (pszUri == nullptr || pszUri[0] == L'\0' || wcslen(pszUri) > nMaxLength)
        return false;
    std::wstring strUri(pszUri);
    size_t nColon = strUri.find(L':');
    std::wstring strScheme = ToLowerAscii(strUri.substr(0, nColon));
    bool bStun = strScheme == L"stun" || strScheme == L"stuns";
    bool bTurn = strScheme == L"turn" || strScheme == L"turns";
    if (!bStun && !bTurn)
        return IsValidHostPort(strUri, true);

    std::wstring strRest = strUri.substr(nColon + 1);
    size_t nQuery = strRest.find(L'?');
    if (nQuery != std::wstring::npos)
    {
        std::wstring strQuery = ToLowerAscii(strRest.substr(nQuery + 1));
        if (!bTurn || (strQuery != L"transport=udp" && strQuery != L"transport=tcp"))
            return false;
        strRest.resize(nQuery);
    }
    return IsValidHostPort(strRest, false);
}

HRESULT CIceServerList::Add(BSTR bsUri, BSTR bsUser, BSTR bsPwd)
{
    // A BSTR may hold an embedded NUL; the URI must be all of it.
    if (bsUri == nullptr || wcslen(bsUri) != ::SysStringLen(bsUri) || !IsValidUri(bsUri))
        return E_INVALIDARG;
    if (HasControlChars(bsUser) || HasControlChars(bsPwd))
        return E_INVALIDARG;
    CEntry entry;
    entry.m_strUri = bsUri;
    entry.m_strUser = FromBSTR(bsUser);
    entry.m_strPwd = FromBSTR(bsPwd);
    m_entries.push_back(entry);
    return S_OK;
}

HRESULT CIceServerList::Get(LONG nIndex, BSTR* pbsUri, BSTR* pbsUser, BSTR* pbsPwd) const
{
    if (pbsUri == nullptr || pbsUser == nullptr || pbsPwd == nullptr)
        return E_POINTER;
    *pbsUri = nullptr;
    *pbsUser = nullptr;
    *pbsPwd = nullptr;
    if (!IsIndex(nIndex))
        return E_INVALIDARG;
    const CEntry& entry = m_entries[static_cast<size_t>(nIndex)];
    HRESULT hr = S_OK;
    if (FAILED(hr = CopyOut(entry.m_strUri, pbsUri)) || FAILED(hr = CopyOut(entry.m_strUser, pbsUser)) ||
        FAILED(hr = CopyOut(entry.m_strPwd, pbsPwd)))
    {
        ::SysFreeString(*pbsUri);
        ::SysFreeString(*pbsUser);
        *pbsUri = nullptr;
        *pbsUser = nullptr;
        return hr;
    }
    return S_OK;
}

HRESULT CIceServerList::Remove(LONG nIndex)
{
    if (!IsIndex(nIndex))
        return E_INVALIDARG;
    m_entries.erase(m_entries.begin() + nIndex);
    return S_OK;
}

std::vector<CIceServerConfig> CIceServerList::Configs() const
{
    std::vector<CIceServerConfig> configs;
    for (const CEntry& entry : m_entries)
        configs.push_back({ToUtf8(entry.m_strUri), ToUtf8(entry.m_strUser), ToUtf8(entry.m_strPwd)});
    return configs;
}
