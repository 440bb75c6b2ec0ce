// The URL that the Corvasta stand-in serves: http or https, a host (the
// wildcard "+" or "*", a name or a dotted IPv4 address), a port and a path.
#pragma once

#include <winsock2.h>

#include <string>

class CServerUrl
{
public:
    // "+" is the wildcard that the harness looks for in the served URL.
    static const wchar_t szDefault[];
    static const size_t nMaxLength = 255; // the harness reads URLs into 256 units

    CServerUrl();

    // E_INVALIDARG for NULL, empty, too long, malformed text, a scheme other
    // than http or https, user information, a query or fragment, or a port
    // outside 1 to 65535. *pUrl is changed only on success.
    static HRESULT Parse(LPCWSTR pszUrl, CServerUrl* pUrl);

    // The canonical text: lower-case scheme and host, the port as given
    // (without leading zeros), the path with at least "/".
    const std::wstring& Text() const { return m_strText; }
    bool IsSecure() const { return m_bSecure; }
    const std::wstring& Host() const { return m_strHost; }
    USHORT Port() const { return m_nPort; }
    const std::wstring& Path() const { return m_strPath; }
    bool IsWildcardHost() const;

    // The stream lives at "stream" below the status page's path, the
    // page's live figures at "status.json" beside it.
    std::wstring StreamPath() const;
    std::wstring StatusJsonPath() const;
    // WHEP's endpoint, "whep" below the path; its sessions below it.
    std::wstring WhepPath() const;

    // The address to listen on: the wildcard is every address of the
    // machine, "localhost" the loopback address, anything else is looked up
    // as an IPv4 name. Winsock must be started.
    HRESULT GetBindAddress(sockaddr_in* pAddr) const;

private:
    // A name below the path, with one slash between them.
    std::wstring Below(LPCWSTR pszName) const;

    std::wstring m_strText;
    std::wstring m_strHost;
    std::wstring m_strPath;
    USHORT m_nPort;
    bool m_bSecure;
};

// Host names and dotted IPv4 addresses as URLs and ICE server URIs write
// them; no wildcard.
bool IsValidHostName(const std::wstring& strHost);
// A decimal port from 1 to 65535, at most five digits.
bool ParsePort(const std::wstring& strPort, USHORT* pnPort);
// Schemes and host names compare without regard to ASCII case.
std::wstring ToLowerAscii(std::wstring str);
