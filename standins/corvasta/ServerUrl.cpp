#include "ServerUrl.h"

#include <ws2tcpip.h>

#include <cwchar>

const wchar_t CServerUrl::szDefault[] = L"http://+:50128/";

namespace {

bool IsAsciiAlnum(wchar_t ch)
{
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') || (ch >= L'0' && ch <= L'9');
}

bool IsHexDigit(wchar_t ch)
{
    return (ch >= L'0' && ch <= L'9') || (ch >= L'a' && ch <= L'f') || (ch >= L'A' && ch <= L'F');
}

bool IsDottedNumbers(const std::wstring& str)
{
    for (wchar_t ch : str)
    {
        if (ch != L'.' && (ch < L'0' || ch > L'9'))
            return false;
    }
    return true;
}

bool IsValidIPv4(const std::wstring& str)
{
    int nParts = 0;
    size_t nPos = 0;
    while (nPos <= str.size())
    {
        size_t nDot = str.find(L'.', nPos);
        if (nDot == std::wstring::npos)
            nDot = str.size();
        std::wstring strPart = str.substr(nPos, nDot - nPos);
        if (strPart.empty() || strPart.size() > 3)
            return false;
        if (std::stoi(strPart) > 255)
            return false;
        ++nParts;
        nPos = nDot + 1;
    }
    return nParts == 4;
}

// Printable ASCII that may stand in a path unescaped, and valid %XX escapes.
bool IsValidPath(const std::wstring& strPath)
{
    static const wchar_t szForbidden[] = L" \"<>\\^`{|}?#";
    for (size_t i = 0; i < strPath.size(); ++i)
    {
        wchar_t ch = strPath[i];
        if (ch <= 0x20 || ch >= 0x7F || wcschr(szForbidden, ch) != nullptr)
            return false;
        if (ch == L'%' && (i + 2 >= strPath.size() || !IsHexDigit(strPath[i + 1]) ||
                           !IsHexDigit(strPath[i + 2])))
            return false;
    }
    return true;
}

} // namespace

bool IsValidHostName(const std::wstring& strHost)
{
    if (strHost.empty() || strHost.size() > 253)
        return false;
    // Something that looks like an address must be one, so that a typo such
    // as 127.0.0.256 is refused instead of being looked up as a name.
    if (IsDottedNumbers(strHost))
        return IsValidIPv4(strHost);
    size_t nPos = 0;
    while (nPos <= strHost.size())
    {
        size_t nDot = strHost.find(L'.', nPos);
        if (nDot == std::wstring::npos)
            nDot = strHost.size();
        size_t nLen = nDot - nPos;
        if (nLen == 0 || nLen > 63 || strHost[nPos] == L'-' || strHost[nDot - 1] == L'-')
            return false;
        for (size_t i = nPos; i < nDot; ++i)
        {
            if (!IsAsciiAlnum(strHost[i]) && strHost[i] != L'-')
                return false;
        }
        nPos = nDot + 1;
    }
    return true;
}

std::wstring ToLowerAscii(std::wstring str)
{
    for (wchar_t& ch : str)
    {
        if (ch >= L'A' && ch <= L'Z')
            ch = static_cast<wchar_t>(ch - L'A' + L'a');
    }
    return str;
}

bool ParsePort(const std::wstring& strPort, USHORT* pnPort)
{
    if (strPort.empty() || strPort.size() > 5)
        return false;
    unsigned long nPort = 0;
    for (wchar_t ch : strPort)
    {
        if (ch < L'0' || ch > L'9')
            return false;
        nPort = nPort * 10 + (ch - L'0');
    }
    if (nPort == 0 || nPort > 65535)
        return false;
    *pnPort = static_cast<USHORT>(nPort);
    return true;
}

CServerUrl::CServerUrl() : m_strHost(L"+"), m_strPath(L"/"), m_nPort(50128), m_bSecure(false)
{
    m_strText = szDefault;
}

HRESULT CServerUrl::Parse(LPCWSTR pszUrl, CServerUrl* pUrl)
{
    if (pUrl == nullptr)
        return E_POINTER;
    if (pszUrl == nullptr || pszUrl[0] == L'\0' || wcslen(pszUrl) > nMaxLength)
        return E_INVALIDARG;
    std::wstring strUrl(pszUrl);

    size_t nSchemeEnd = strUrl.find(L"://");
    if (nSchemeEnd == std::wstring::npos)
        return E_INVALIDARG;
    std::wstring strScheme = ToLowerAscii(strUrl.substr(0, nSchemeEnd));
    bool bSecure = false;
    if (strScheme == L"https")
        bSecure = true;
    else if (strScheme != L"http")
        return E_INVALIDARG;

    size_t nAuthority = nSchemeEnd + 3;
    size_t nPathStart = strUrl.find(L'/', nAuthority);
    if (nPathStart == std::wstring::npos)
        nPathStart = strUrl.size();
    std::wstring strAuthority = strUrl.substr(nAuthority, nPathStart - nAuthority);
    std::wstring strPath = nPathStart < strUrl.size() ? strUrl.substr(nPathStart) : L"/";
    if (strAuthority.find(L'@') != std::wstring::npos || !IsValidPath(strPath))
        return E_INVALIDARG;

    std::wstring strHost = strAuthority;
    std::wstring strPortText;
    USHORT nPort = bSecure ? 443 : 80;
    size_t nColon = strAuthority.find(L':');
    if (nColon != std::wstring::npos)
    {
        strHost = strAuthority.substr(0, nColon);
        if (!ParsePort(strAuthority.substr(nColon + 1), &nPort))
            return E_INVALIDARG;
        strPortText = std::to_wstring(nPort);
    }
    strHost = ToLowerAscii(strHost);
    if (strHost != L"+" && strHost != L"*" && !IsValidHostName(strHost))
        return E_INVALIDARG;

    CServerUrl url;
    url.m_bSecure = bSecure;
    url.m_strHost = strHost;
    url.m_nPort = nPort;
    url.m_strPath = strPath;
    url.m_strText = strScheme + L"://" + strHost;
    if (!strPortText.empty())
        url.m_strText += L":" + strPortText;
    url.m_strText += strPath;
    *pUrl = url;
    return S_OK;
}

bool CServerUrl::IsWildcardHost() const
{
    return m_strHost == L"+" || m_strHost == L"*";
}

std::wstring CServerUrl::Below(LPCWSTR pszName) const
{
    if (!m_strPath.empty() && m_strPath.back() == L'/')
        return m_strPath + pszName;
    return m_strPath + L"/" + pszName;
}

std::wstring CServerUrl::StreamPath() const
{
    return Below(L"stream");
}

std::wstring CServerUrl::StatusJsonPath() const
{
    return Below(L"status.json");
}

std::wstring CServerUrl::WhepPath() const
{
    return Below(L"whep");
}

HRESULT CServerUrl::GetBindAddress(sockaddr_in* pAddr) const
{
    if (pAddr == nullptr)
        return E_POINTER;
    ZeroMemory(pAddr, sizeof(*pAddr));
    pAddr->sin_family = AF_INET;
    pAddr->sin_port = htons(m_nPort);
    if (IsWildcardHost())
    {
        pAddr->sin_addr.s_addr = htonl(INADDR_ANY);
        return S_OK;
    }
    if (m_strHost == L"localhost")
    {
        pAddr->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return S_OK;
    }
    ADDRINFOW hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* pInfo = nullptr;
    int nErr = ::GetAddrInfoW(m_strHost.c_str(), nullptr, &hints, &pInfo);
    if (nErr != 0)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(nErr));
    if (pInfo == nullptr || pInfo->ai_addr == nullptr)
    {
        if (pInfo != nullptr)
            ::FreeAddrInfoW(pInfo);
        return HRESULT_FROM_WIN32(WSAHOST_NOT_FOUND);
    }
    pAddr->sin_addr = reinterpret_cast<sockaddr_in*>(pInfo->ai_addr)->sin_addr;
    ::FreeAddrInfoW(pInfo);
    return S_OK;
}
