#include "GraphEdit.h"

#include "dshow/PublishedGraph.h"

namespace {
// How long the editor is given to end after WM_QUIT.
const DWORD dwQuitWaitMs = 1000;
} // namespace

HRESULT AddGraphToRot(IUnknown* pGraph, DWORD* pdwCookie)
{
    ATLASSERT(pGraph != 0);
    if (pGraph == nullptr)
        return E_INVALIDARG;
    ATLASSERT(pdwCookie != 0);
    if (pdwCookie == nullptr)
        return E_POINTER;
    *pdwCookie = 0;

    CComPtr<IRunningObjectTable> spROT;
    HRESULT hr = ::GetRunningObjectTable(0, &spROT);
    if (FAILED(hr))
        return hr;

    wchar_t szCookieName[cchPublishedGraphName];
    if (FAILED(hr = FormatPublishedGraphName(pGraph, ::GetCurrentProcessId(), szCookieName,
                                             ARRAYSIZE(szCookieName))))
        return hr;

    CComPtr<IMoniker> spMoniker;
    if (FAILED(hr = ::CreateItemMoniker(szPublishedGraphDelimiter, szCookieName, &spMoniker)))
        return hr;
    // No keep-alive: the table must not hold the graph beyond its owner.
    return spROT->Register(0, pGraph, spMoniker, pdwCookie);
}

void RemoveGraphFromRot(DWORD dwCookie)
{
    if (dwCookie == 0)
        return;
    CComPtr<IRunningObjectTable> spROT;
    if (SUCCEEDED(::GetRunningObjectTable(0, &spROT)))
        spROT->Revoke(dwCookie);
}

CGraphEdit::CGraphEdit(bool bCloseOnDestroy)
    : m_dwCookie(0), m_rgPI(), m_hWndMain(nullptr), m_hWndListBox(nullptr),
      m_bCloseOnDestroy(bCloseOnDestroy)
{
}

CGraphEdit::~CGraphEdit()
{
    if (m_bCloseOnDestroy)
        Close();
}

HRESULT CGraphEdit::ShowGraph(IUnknown* pGraph)
{
    Close();

    wchar_t szProppage_dll[MAX_PATH];
    if (!IsProppageRegistered(szProppage_dll))
    {
        ATLASSERT(!L"CGraphEdit::ShowGraph(): Proppage.dll is not registered");
        return REGDB_E_CLASSNOTREG;
    }
    HRESULT hr = AddGraphToRot(pGraph, &m_dwCookie);
    if (FAILED(hr))
        return hr;
    if ((hr = LoadGraphEdit(szProppage_dll)) != S_OK)
        return hr;
    if (!FindMainWindow())
        return S_FALSE;
    OpenConnectDialog();
    // The editor's dialog stays open for the user when this does not get
    // through; that is no failure of showing the graph.
    ConnectToGraph(pGraph);
    return S_OK;
}

void CGraphEdit::Close()
{
    RemoveGraphFromRot(m_dwCookie);
    m_dwCookie = 0;
    m_hWndListBox = nullptr;
    m_hWndMain = nullptr;
    CloseProcess();
}

void CGraphEdit::CloseProcess()
{
    // The editor is asked to quit, never terminated: after the wait its
    // handles are closed whether or not it has ended.
    if (m_rgPI.hThread != nullptr)
    {
        ::PostThreadMessageW(m_rgPI.dwThreadId, WM_QUIT, 0, 0);
        // The editor lets go of this thread's graph as it ends; those calls
        // must get through while we wait, or it cannot end in time.
        DWORD dwIndex = 0;
        ::CoWaitForMultipleHandles(0, dwQuitWaitMs, 1, &m_rgPI.hThread, &dwIndex);
        ::CloseHandle(m_rgPI.hThread);
    }
    if (m_rgPI.hProcess != nullptr)
        ::CloseHandle(m_rgPI.hProcess);
    ZeroMemory(&m_rgPI, sizeof(m_rgPI));
}
