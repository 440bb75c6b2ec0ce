#include "RemoteGraph.h"

#include "dshow/PublishedGraph.h"

#include <cwchar>
#include <string>

namespace {

const DWORD c_dwStartMs = 30000;
const DWORD c_dwStopMs = 10000;

std::wstring HostPath()
{
    wchar_t szPath[MAX_PATH] = L"";
    DWORD cch = ::GetModuleFileNameW(nullptr, szPath, ARRAYSIZE(szPath));
    std::wstring path(szPath, cch);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"RemoteGraphHost.exe";
}

} // namespace

CRemoteGraph::~CRemoteGraph()
{
    Stop();
}

HRESULT CRemoteGraph::Start()
{
    if (m_pi.hProcess != nullptr)
        return E_UNEXPECTED;
    wchar_t szEvent[64];
    swprintf(szEvent, ARRAYSIZE(szEvent), L"CorvastaTest.RemoteGraph.%lu.%lu", ::GetCurrentProcessId(),
             ::GetTickCount());
    HANDLE hReady = ::CreateEventW(nullptr, TRUE, FALSE, szEvent);
    if (hReady == nullptr)
        return HRESULT_FROM_WIN32(::GetLastError());
    std::wstring commandLine = L"\"" + HostPath() + L"\" " + szEvent;
    STARTUPINFOW si = {sizeof(si)};
    HRESULT hr = S_OK;
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
        hr = HRESULT_FROM_WIN32(::GetLastError());
    else
    {
        HANDLE rgWait[] = {hReady, m_pi.hProcess};
        DWORD dwWait = ::WaitForMultipleObjects(2, rgWait, FALSE, c_dwStartMs);
        if (dwWait != WAIT_OBJECT_0)
            hr = dwWait == WAIT_OBJECT_0 + 1 ? E_FAIL : HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    ::CloseHandle(hReady);
    return hr;
}

HRESULT CRemoteGraph::GetGraph(IFilterGraph** ppGraph) const
{
    if (ppGraph == nullptr)
        return E_POINTER;
    *ppGraph = nullptr;
    CComPtr<IRunningObjectTable> spROT;
    CComPtr<IEnumMoniker> spEnum;
    CComPtr<IBindCtx> spBindCtx;
    HRESULT hr = ::GetRunningObjectTable(0, &spROT);
    if (SUCCEEDED(hr))
        hr = spROT->EnumRunning(&spEnum);
    if (SUCCEEDED(hr))
        hr = ::CreateBindCtx(0, &spBindCtx);
    if (FAILED(hr))
        return hr;
    CComPtr<IMoniker> spMoniker;
    ULONG cFetched = 0;
    while (spEnum->Next(1, &spMoniker, &cFetched) == S_OK)
    {
        LPOLESTR pszName = nullptr;
        DWORD dwGraph = 0, dwProcessId = 0;
        bool bOurs = SUCCEEDED(spMoniker->GetDisplayName(spBindCtx, nullptr, &pszName)) &&
                     ParsePublishedGraphName(pszName, &dwGraph, &dwProcessId) &&
                     dwProcessId == m_pi.dwProcessId;
        ::CoTaskMemFree(pszName);
        if (bOurs)
        {
            CComPtr<IUnknown> spUnknown;
            if (FAILED(hr = spROT->GetObject(spMoniker, &spUnknown)))
                return hr;
            return spUnknown->QueryInterface(ppGraph);
        }
        spMoniker.Release();
    }
    return MK_E_UNAVAILABLE;
}

DWORD CRemoteGraph::Stop()
{
    if (m_pi.hProcess == nullptr)
        return 0;
    ::PostThreadMessageW(m_pi.dwThreadId, WM_QUIT, 0, 0);
    DWORD dwExit = STILL_ACTIVE;
    if (::WaitForSingleObject(m_pi.hProcess, c_dwStopMs) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(m_pi.hProcess, &dwExit);
    ::CloseHandle(m_pi.hThread);
    ::CloseHandle(m_pi.hProcess);
    m_pi = {};
    return dwExit;
}
