// The Corvasta filter's settings and status: version, served URL, ICE
// servers, application filter and statistics; and the local address that
// replaces the wildcard host of the served URL.
//
// When the graph exists but holds no Corvasta filter (a failed build leaves
// the graph in place and the dialogs still reach these methods), or the
// filter lacks its application filter interface, the methods return
// E_NOINTERFACE; without a graph they return E_FAIL. Neither calls into the
// filter.

// Winsock 2 must come before windows.h, which would pull in version 1.
#include <winsock2.h>

#include "Graph.h"

#include <strsafe.h>

namespace {

// E_FAIL without a graph, E_NOINTERFACE for a graph without the filter.
HRESULT CheckServer(IGraphBuilder* pGraph, IServerControl* pServer)
{
    if (pGraph == nullptr)
        return E_FAIL;
    if (pServer == nullptr)
        return E_NOINTERFACE;
    return S_OK;
}

// Winsock is started without looking at the result and cleaned up on every
// way out of the scope.
class CWinsockScope
{
public:
    CWinsockScope()
    {
        WSADATA wsaData;
        ::WSAStartup(MAKEWORD(2, 2), &wsaData);
    }
    ~CWinsockScope() { ::WSACleanup(); }
    CWinsockScope(const CWinsockScope&) = delete;
    CWinsockScope& operator=(const CWinsockScope&) = delete;
};

// A failed socket call that left no error code must still read as failure.
HRESULT LastSocketError()
{
    int nError = ::WSAGetLastError();
    return nError != 0 ? HRESULT_FROM_WIN32(nError) : E_FAIL;
}

} // namespace

HRESULT GetHostAddr(LPWSTR pszAddr, UINT cchAddr)
{
    ATLASSERT(pszAddr != 0);
    if (pszAddr == nullptr)
        return E_POINTER;

    CWinsockScope winsock;

    char szHost[256] = {};
    if (::gethostname(szHost, sizeof(szHost)) != 0)
    {
        HRESULT hr = LastSocketError();
        ATLTRACE2(atlTraceGeneral, 2, L"###Err### GetHostAddr(): gethostname()=0x%X\n", hr);
        return hr;
    }

    hostent* pHost = ::gethostbyname(szHost);
    if (pHost == nullptr)
    {
        HRESULT hr = LastSocketError();
        wchar_t szHostW[256] = L"";
        ::MultiByteToWideChar(CP_THREAD_ACP, 0, szHost, -1, szHostW, ARRAYSIZE(szHostW));
        ATLTRACE2(atlTraceGeneral, 2, L"###Err### GetHostAddr(): gethostbyname(%s)=0x%X\n", szHostW, hr);
        return hr;
    }
    if (pHost->h_addr_list == nullptr || pHost->h_addr_list[0] == nullptr)
        return S_FALSE;

    in_addr addr;
    memcpy(&addr, pHost->h_addr_list[0], sizeof(addr));
    wchar_t szAddr[16] = L"";
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, ::inet_ntoa(addr), -1, szAddr, ARRAYSIZE(szAddr));
    // A buffer too small for the address keeps what it held.
    if (wcslen(szAddr) >= cchAddr)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    ::StringCchCopyW(pszAddr, cchAddr, szAddr);
    return S_OK;
}

HRESULT CGraph::ResolveUrl(LPWSTR pszOut, UINT cchOut, LPCWSTR pszUrl, LPCWSTR pszAddr)
{
    ATLASSERT(pszOut != 0);
    ATLASSERT(pszUrl != 0);
    ATLASSERT(pszAddr != 0);
    if (pszOut == nullptr)
        return E_POINTER;
    if (pszUrl == nullptr || pszAddr == nullptr)
        return E_INVALIDARG;

    static const wchar_t szWildcard[] = L"http://+";
    size_t cchUrl = wcslen(pszUrl);
    const wchar_t* pszFound = wcsstr(pszUrl, szWildcard);
    if (pszFound != nullptr)
    {
        if (cchOut < cchUrl + wcslen(pszAddr))
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        ::StringCchPrintfW(pszOut, cchOut, L"http://%s%s", pszAddr, pszFound + ARRAYSIZE(szWildcard) - 1);
        return S_OK;
    }
    if (cchOut < cchUrl + 1)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    ::StringCchCopyW(pszOut, cchOut, pszUrl);
    return S_OK;
}

HRESULT CGraph::GetVersion(CComBSTR& cbsVersion)
{
    cbsVersion.Empty();
    if (m_spServer == nullptr)
        return S_FALSE;
    CComQIPtr<IFilterVersion> spVersion(m_spServer);
    if (spVersion == nullptr)
        return S_FALSE;

    // Each part is optional: what a failing call delivers counts as nothing.
    LONG eType = 0, eOS = 0;
    if (spVersion->GetType(&eType) != S_OK)
        eType = 0;
    if (spVersion->GetOS(&eOS) != S_OK)
        eOS = 0;
    CComBSTR cbsName, cbsNumber, cbsDateTime;
    if (spVersion->GetName(&cbsName) != S_OK)
        cbsName.Empty();
    if (spVersion->GetNumber(&cbsNumber) != S_OK)
        cbsNumber.Empty();
    if (spVersion->GetDateTime(&cbsDateTime) != S_OK)
        cbsDateTime.Empty();

    auto text = [](const CComBSTR& cbs) { return cbs.m_str != nullptr ? cbs.m_str : L""; };
    // A longer text is cut to the buffer.
    wchar_t szVersion[512] = L"";
    ::StringCchPrintfW(szVersion, ARRAYSIZE(szVersion), L"%s [%s%s v.%s %s]", text(cbsName),
                       eType != 0 ? L"R" : L"D", eOS != 0 ? L"64" : L"32", text(cbsNumber), text(cbsDateTime));
    cbsVersion = szVersion;
    return S_OK;
}

HRESULT CGraph::SetURL(LPCWSTR pszUrl)
{
    ATLASSERT(pszUrl != 0);
    if (pszUrl == nullptr)
        return E_INVALIDARG;
    ATLASSERT(m_spGraph != 0);
    ATLASSERT(m_spServer != 0);
    HRESULT hr = CheckServer(m_spGraph, m_spServer);
    if (hr != S_OK)
        return hr;

    hr = m_spServer->SetUrl(CComBSTR(pszUrl));
    if (hr != S_OK)
        ATLASSERT(!L"CGraph::SetURL(): m_spServer->SetUrl() FAILED");
    return hr;
}

HRESULT CGraph::GetURL(LPWSTR pszUrl, UINT cchUrl)
{
    ATLASSERT(pszUrl != 0);
    if (pszUrl == nullptr)
        return E_POINTER;
    ATLASSERT(m_spGraph != 0);
    ATLASSERT(m_spServer != 0);
    HRESULT hr = CheckServer(m_spGraph, m_spServer);
    if (hr != S_OK)
        return hr;

    CComBSTR cbsUrl;
    hr = m_spServer->GetUrl(&cbsUrl);
    if (hr != S_OK)
    {
        ATLASSERT(!L"CGraph::GetURL(): m_spServer->GetUrl() FAILED");
        return hr;
    }

    // Looked up on every call, so that a broken name lookup shows at once
    // and not only with a wildcard URL.
    wchar_t szAddr[256] = L"";
    hr = GetHostAddr(szAddr, ARRAYSIZE(szAddr));
    if (hr != S_OK)
        return hr;
    // A filter that answers without a URL gets E_INVALIDARG from here.
    return ResolveUrl(pszUrl, cchUrl, cbsUrl.m_str, szAddr);
}

int CGraph::GetIceServerCount()
{
    if (CheckServer(m_spGraph, m_spServer) != S_OK)
        return -1;
    LONG nCount = 0;
    if (m_spServer->GetIceServerCount(&nCount) != S_OK)
    {
        ATLASSERT(!L"CGraph::GetIceServerCount(): m_spServer->GetIceServerCount() FAILED");
        return -1;
    }
    return nCount;
}

HRESULT CGraph::GetIceServer(LONG nIndex, BSTR* pbsURI, BSTR* pbsUser, BSTR* pbsPwd)
{
    // Each out-string in turn: a missing one stops here, a present one is
    // cleared, so that the caller frees nothing that it did not get.
    for (BSTR* pbs : {pbsURI, pbsUser, pbsPwd})
    {
        ATLASSERT(pbs != 0);
        if (pbs == nullptr)
            return E_POINTER;
        ATLASSERT(*pbs == 0);
        *pbs = nullptr;
    }
    if (CheckServer(m_spGraph, m_spServer) != S_OK)
        return E_FAIL;

    HRESULT hr = m_spServer->GetIceServer(nIndex, pbsURI, pbsUser, pbsPwd);
    if (hr != S_OK)
        ATLASSERT(!L"CGraph::GetIceServer(): m_spServer->GetIceServer() FAILED");
    return hr;
}

HRESULT CGraph::AddIceServer(BSTR bsURI, BSTR bsUser, BSTR bsPwd)
{
    ATLASSERT(bsURI != 0);
    if (bsURI == nullptr)
        return E_INVALIDARG;
    ATLASSERT(m_spGraph != 0);
    ATLASSERT(m_spServer != 0);
    HRESULT hr = CheckServer(m_spGraph, m_spServer);
    if (hr != S_OK)
        return hr;

    hr = m_spServer->AddIceServer(bsURI, bsUser, bsPwd);
    if (hr != S_OK)
        ATLASSERT(!L"CGraph::AddIceServer(): m_spServer->AddIceServer() FAILED");
    return hr;
}

HRESULT CGraph::RemoveIceServer(LONG nIndex)
{
    ATLASSERT(m_spGraph != 0);
    ATLASSERT(m_spServer != 0);
    HRESULT hr = CheckServer(m_spGraph, m_spServer);
    if (hr != S_OK)
        return hr;

    hr = m_spServer->RemoveIceServer(nIndex);
    if (hr != S_OK)
        ATLASSERT(!L"CGraph::RemoveIceServer(): m_spServer->RemoveIceServer() FAILED");
    return hr;
}

HRESULT CGraph::SetFilter(LPCWSTR pszNamePart, bool bEnable)
{
    ATLASSERT(m_spGraph != 0);
    ATLASSERT(m_spServer != 0);
    HRESULT hr = CheckServer(m_spGraph, m_spServer);
    if (hr != S_OK)
        return hr;
    CComQIPtr<IServerAppFilter> spS(m_spServer);
    if (spS == nullptr)
    {
        ATLASSERT(!L"CGraph::SetFilter(): IServerAppFilter NOT FOUND");
        return E_NOINTERFACE;
    }

    // An empty name part travels as a NULL string.
    CComBSTR cbsNamePart;
    if (pszNamePart != nullptr && pszNamePart[0] != L'\0')
        cbsNamePart = pszNamePart;
    hr = spS->SetAppFilter(cbsNamePart, bEnable ? TRUE : FALSE);
    if (hr != S_OK)
        ATLASSERT(!L"CGraph::SetFilter(): spS->SetAppFilter() FAILED");
    return hr;
}

HRESULT CGraph::GetFilter(LPWSTR pszNamePart, UINT cchNamePart, bool* pbEnable)
{
    ATLASSERT(pszNamePart != 0);
    ATLASSERT(pbEnable != 0);
    if (pszNamePart == nullptr || pbEnable == nullptr)
        return E_POINTER;
    ATLASSERT(cchNamePart > 0);
    if (cchNamePart == 0)
        return E_INVALIDARG;
    pszNamePart[0] = L'\0';
    *pbEnable = false;

    ATLASSERT(m_spGraph != 0);
    ATLASSERT(m_spServer != 0);
    HRESULT hr = CheckServer(m_spGraph, m_spServer);
    if (hr != S_OK)
        return hr;
    CComQIPtr<IServerAppFilter> spS(m_spServer);
    if (spS == nullptr)
    {
        ATLASSERT(!L"CGraph::GetFilter(): IServerAppFilter NOT FOUND");
        return E_NOINTERFACE;
    }

    CComBSTR cbsNamePart;
    BOOL bEnabled = 0;
    hr = spS->GetAppFilter(&cbsNamePart, &bEnabled);
    if (hr != S_OK)
    {
        ATLASSERT(!L"CGraph::GetFilter(): spS->GetAppFilter() FAILED");
        return hr;
    }
    // A flag without a name part filters nothing: it comes back as off.
    if (cbsNamePart.m_str != nullptr && cbsNamePart.m_str[0] != L'\0')
    {
        ::StringCchCopyW(pszNamePart, cchNamePart, cbsNamePart); // cut to fit
        *pbEnable = bEnabled != 0;
    }
    return S_OK;
}

HRESULT CGraph::GetStatistics(ServerStats* pStats)
{
    ATLASSERT(pStats != 0);
    if (pStats == nullptr)
        return E_POINTER;
    if (CheckServer(m_spGraph, m_spServer) != S_OK)
        return S_FALSE;

    HRESULT hr = m_spServer->GetStatistics(pStats);
    if (hr != S_OK)
        ATLASSERT(!L"CGraph::GetStatistics(): m_spServer->GetStatistics() FAILED");
    return hr;
}
