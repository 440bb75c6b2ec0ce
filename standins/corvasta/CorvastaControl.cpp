// The settings and status interfaces of the Corvasta stand-in: the served
// URL, the ICE servers, the application filter, the statistics and the
// version.
#include "CorvastaFilter.h"

#include "StatusPage.h"

const wchar_t CCorvastaFilter::szVersion[] = L"2.1.0";

namespace {

const size_t nMaxAppFilter = 255;

#ifdef _DEBUG
const LONG eBuildType = 0; // "D" in the harness's version text
#else
const LONG eBuildType = 1; // "R"
#endif

HRESULT CopyOut(LPCWSTR psz, BSTR* pbs)
{
    *pbs = ::SysAllocString(psz);
    return *pbs != nullptr ? S_OK : E_OUTOFMEMORY;
}

} // namespace

STDMETHODIMP CCorvastaFilter::SetUrl(BSTR bsUrl)
{
    CKitAutoLock lock(FilterLock());
    KIT_FAULT(L"SetUrl");
    // The listening socket is bound to the URL for as long as the graph
    // runs or pauses; a new one takes effect from the next start.
    if (State() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (bsUrl != nullptr && wcslen(bsUrl) != ::SysStringLen(bsUrl))
        return E_INVALIDARG;
    return CServerUrl::Parse(bsUrl, &m_url);
}

STDMETHODIMP CCorvastaFilter::GetUrl(BSTR* pbsUrl)
{
    if (pbsUrl == nullptr)
        return E_POINTER;
    *pbsUrl = nullptr;
    CKitAutoLock lock(FilterLock());
    KIT_FAULT(L"GetUrl");
    // A filter that answers without a URL (a null BSTR), as a faulty one might.
    if (Faults().Setting(L"NullUrl", 0) != 0)
        return S_OK;
    return CopyOut(m_url.Text().c_str(), pbsUrl);
}

STDMETHODIMP CCorvastaFilter::GetIceServerCount(LONG* pnCount)
{
    if (pnCount == nullptr)
        return E_POINTER;
    *pnCount = 0;
    CKitAutoLock lock(FilterLock());
    KIT_FAULT(L"GetIceServerCount");
    *pnCount = m_iceServers.Count();
    return S_OK;
}

STDMETHODIMP CCorvastaFilter::AddIceServer(BSTR bsURI, BSTR bsUser, BSTR bsPwd)
{
    CKitAutoLock lock(FilterLock());
    KIT_FAULT(L"AddIceServer");
    HRESULT hr = m_iceServers.Add(bsURI, bsUser, bsPwd);
    // The next offer gathers with the new list; sessions keep theirs.
    if (SUCCEEDED(hr))
        m_rtc.SetIceServers(m_iceServers.Configs());
    return hr;
}

STDMETHODIMP CCorvastaFilter::GetIceServer(LONG nIndex, BSTR* pbsURI, BSTR* pbsUser, BSTR* pbsPwd)
{
    if (pbsURI == nullptr || pbsUser == nullptr || pbsPwd == nullptr)
        return E_POINTER;
    *pbsURI = *pbsUser = *pbsPwd = nullptr;
    CKitAutoLock lock(FilterLock());
    KIT_FAULT(L"GetIceServer");
    return m_iceServers.Get(nIndex, pbsURI, pbsUser, pbsPwd);
}

STDMETHODIMP CCorvastaFilter::RemoveIceServer(LONG nIndex)
{
    CKitAutoLock lock(FilterLock());
    KIT_FAULT(L"RemoveIceServer");
    HRESULT hr = m_iceServers.Remove(nIndex);
    if (SUCCEEDED(hr))
        m_rtc.SetIceServers(m_iceServers.Configs());
    return hr;
}

STDMETHODIMP CCorvastaFilter::GetStatistics(ServerStats* pStats)
{
    if (pStats == nullptr)
        return E_POINTER;
    KIT_FAULT(L"GetStatistics");
    m_stats.Fill(State(), pStats);
    return S_OK;
}

STDMETHODIMP CCorvastaFilter::GetIceServerStatus(BSTR* pbsText)
{
    if (pbsText == nullptr)
        return E_POINTER;
    std::string strText;
    for (const CIceServerStatus& server : m_rtc.IceServers())
        strText += (strText.empty() ? "" : "\r\n") + IceServerLine(server);
    *pbsText = ::SysAllocString(FromUtf8(strText.empty() ? "none" : strText).c_str());
    return *pbsText != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CCorvastaFilter::SetAppFilter(BSTR bsNamePart, BOOL bEnable)
{
    CKitAutoLock lock(FilterLock());
    KIT_FAULT(L"SetAppFilter");
    std::wstring strNamePart = bsNamePart != nullptr ? std::wstring(bsNamePart, ::SysStringLen(bsNamePart))
                                                     : std::wstring();
    if (strNamePart.size() > nMaxAppFilter)
        return E_INVALIDARG;
    for (wchar_t ch : strNamePart)
    {
        if (ch < 0x20 || ch == 0x7F)
            return E_INVALIDARG;
    }
    m_strAppFilter = strNamePart;
    m_bAppFilter = bEnable ? TRUE : FALSE;
    // Clients that already stream stay; the filter decides who may start.
    m_server.SetClientFilter(m_bAppFilter ? ToUtf8(m_strAppFilter) : std::string());
    return S_OK;
}

STDMETHODIMP CCorvastaFilter::GetAppFilter(BSTR* pbsNamePart, BOOL* pbEnable)
{
    if (pbsNamePart == nullptr || pbEnable == nullptr)
        return E_POINTER;
    *pbsNamePart = nullptr;
    *pbEnable = FALSE;
    CKitAutoLock lock(FilterLock());
    KIT_FAULT(L"GetAppFilter");
    if (!m_strAppFilter.empty())
    {
        HRESULT hr = CopyOut(m_strAppFilter.c_str(), pbsNamePart);
        if (FAILED(hr))
            return hr;
    }
    *pbEnable = m_bAppFilter;
    return S_OK;
}

STDMETHODIMP CCorvastaFilter::GetType(LONG* peType)
{
    if (peType == nullptr)
        return E_POINTER;
    *peType = 0;
    KIT_FAULT(L"GetType");
    *peType = eBuildType;
    return S_OK;
}

STDMETHODIMP CCorvastaFilter::GetOS(LONG* peOS)
{
    if (peOS == nullptr)
        return E_POINTER;
    *peOS = 0;
    KIT_FAULT(L"GetOS");
    *peOS = sizeof(void*) == 8 ? 64 : 0;
    return S_OK;
}

STDMETHODIMP CCorvastaFilter::GetName(BSTR* pbsName)
{
    if (pbsName == nullptr)
        return E_POINTER;
    *pbsName = nullptr;
    KIT_FAULT(L"GetName");
    return CopyOut(szName, pbsName);
}

STDMETHODIMP CCorvastaFilter::GetNumber(BSTR* pbsNumber)
{
    if (pbsNumber == nullptr)
        return E_POINTER;
    *pbsNumber = nullptr;
    KIT_FAULT(L"GetNumber");
    return CopyOut(szVersion, pbsNumber);
}

STDMETHODIMP CCorvastaFilter::GetDateTime(BSTR* pbsDateTime)
{
    if (pbsDateTime == nullptr)
        return E_POINTER;
    *pbsDateTime = nullptr;
    KIT_FAULT(L"GetDateTime");
    return CopyOut(ATL_WIDEN(__DATE__) L" " ATL_WIDEN(__TIME__), pbsDateTime);
}
