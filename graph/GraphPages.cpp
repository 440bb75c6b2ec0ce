// Property pages of the graph's filters, the browser, and the graph editor.
#include "Graph.h"

#include <shellapi.h>

#include "graph/DSGraph.h"

HRESULT CGraph::ShowPropertyPage(EFilter eFlt, HWND hWndOwner)
{
    ATLASSERT(IsFilter(eFlt));
    if (!IsFilter(eFlt))
        return E_INVALIDARG;

    CComPtr<IBaseFilter> spFilter;
    switch (eFlt)
    {
    case eFltSource:
        spFilter = m_spSource;
        break;
    case eFltEncoderVid:
        spFilter = m_spEncoderVid;
        break;
    case eFltEncoderAud:
        spFilter = m_spEncoderAud;
        break;
    case eFltServer:
        if (m_spServer != nullptr)
            m_spServer.QueryInterface(&spFilter);
        break;
    }
    if (spFilter == nullptr)
    {
        ATLASSERT(!L"CGraph::ShowPropertyPage(): IBaseFilter NOT FOUND");
        return S_FALSE;
    }
    return ShowPropertyPages(spFilter, hWndOwner);
}

HRESULT CGraph::ShowBrowser()
{
    if (m_spServer == nullptr || IsStopped())
        return S_FALSE;

    CComBSTR cbsUrl;
    HRESULT hr = m_spServer->GetUrl(&cbsUrl);
    if (hr != S_OK)
        return hr;
    wchar_t szBuf[256];
    if ((hr = ResolveUrl(szBuf, ARRAYSIZE(szBuf), cbsUrl, L"localhost")) != S_OK)
        return hr;

    HINSTANCE hInst = ::ShellExecuteW(nullptr, nullptr, szBuf, nullptr, nullptr, SW_SHOWNORMAL);
    INT_PTR nResult = reinterpret_cast<INT_PTR>(hInst);
    if (nResult <= 32)
    {
        ATLASSERT(!L"CGraph::ShowBrowser(): ShellExecute() FAILED");
        return HRESULT_FROM_WIN32(static_cast<DWORD>(nResult));
    }
    return S_OK;
}

HRESULT CGraph::ShowGraph()
{
    m_graphEdit.Close();
    if (m_spGraph == nullptr)
        return E_FAIL;
    return m_graphEdit.ShowGraph(m_spGraph);
}
