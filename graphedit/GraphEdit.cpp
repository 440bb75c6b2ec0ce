#include "GraphEdit.h"

#include <strsafe.h>

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

    // Only the low 32 bits of the address go into the name, as the editor
    // lists them.
    wchar_t szCookieName[64];
    ::StringCchPrintfW(szCookieName, ARRAYSIZE(szCookieName), L"FilterGraph %08x pid %08x",
                       static_cast<DWORD>(reinterpret_cast<DWORD_PTR>(pGraph)),
                       ::GetCurrentProcessId());

    CComPtr<IMoniker> spMoniker;
    hr = ::CreateItemMoniker(L"!", szCookieName, &spMoniker);
    if (FAILED(hr))
        return hr;
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
        ::WaitForSingleObject(m_rgPI.hThread, 1000);
        ::CloseHandle(m_rgPI.hThread);
    }
    if (m_rgPI.hProcess != nullptr)
        ::CloseHandle(m_rgPI.hProcess);
    ZeroMemory(&m_rgPI, sizeof(m_rgPI));
}
