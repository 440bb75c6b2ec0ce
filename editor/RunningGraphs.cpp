#include "RunningGraphs.h"

#include "dshow/PublishedGraph.h"

#include <strsafe.h>
#include <tlhelp32.h>

namespace {

// Calls f with each moniker of the table and its display name until f
// returns false.
template <class F>
HRESULT ForEachRunning(IRunningObjectTable* pROT, F f)
{
    CComPtr<IEnumMoniker> spEnum;
    HRESULT hr = pROT->EnumRunning(&spEnum);
    if (FAILED(hr))
        return hr;
    CComPtr<IBindCtx> spBindCtx;
    if (FAILED(hr = ::CreateBindCtx(0, &spBindCtx)))
        return hr;
    for (;;)
    {
        CComPtr<IMoniker> spMoniker;
        ULONG cFetched = 0;
        if (spEnum->Next(1, &spMoniker, &cFetched) != S_OK || cFetched != 1)
            return S_OK;
        LPOLESTR pszName = nullptr;
        if (FAILED(spMoniker->GetDisplayName(spBindCtx, nullptr, &pszName)) || pszName == nullptr)
            continue;
        std::wstring name = pszName;
        ::CoTaskMemFree(pszName);
        if (!f(spMoniker.p, name))
            return S_OK;
    }
}

// Wine's table can answer a success without an object while the entry's
// previous clients still let go of it: that is a failure, tried again a few
// times.
const int nObjectAttempts = 5;
const DWORD dwObjectPauseMs = 100;

HRESULT GetObjectOfEntry(IRunningObjectTable* pROT, IMoniker* pMoniker, IUnknown** ppUnk)
{
    for (int i = 0; i < nObjectAttempts; i++)
    {
        if (i > 0)
            ::Sleep(dwObjectPauseMs);
        HRESULT hr = pROT->GetObject(pMoniker, ppUnk);
        if (FAILED(hr) || *ppUnk != nullptr)
            return hr;
    }
    return MK_E_UNAVAILABLE;
}

} // namespace

HRESULT ListRunningGraphs(std::vector<RunningGraph>* pGraphs)
{
    if (pGraphs == nullptr)
        return E_POINTER;
    pGraphs->clear();
    CComPtr<IRunningObjectTable> spROT;
    HRESULT hr = ::GetRunningObjectTable(0, &spROT);
    if (FAILED(hr))
        return hr;
    return ForEachRunning(spROT, [pGraphs](IMoniker*, const std::wstring& name) {
        RunningGraph graph;
        if (!ParsePublishedGraphName(name.c_str(), &graph.dwGraph, &graph.dwProcessId))
            return true;
        // The table keeps the entries of processes that were killed; a new
        // process may have the same id and publish under the same name.
        graph.program = ProgramName(graph.dwProcessId);
        if (graph.program.empty())
            return true;
        for (const RunningGraph& listed : *pGraphs)
            if (listed.displayName == name)
                return true;
        graph.displayName = name;
        pGraphs->push_back(graph);
        return true;
    });
}

std::wstring RunningGraphItemText(const RunningGraph& graph)
{
    wchar_t sz[64];
    ::StringCchPrintfW(sz, ARRAYSIZE(sz), L"pid %08x IFilterGraph = %08x", graph.dwProcessId, graph.dwGraph);
    return graph.program + L" " + sz;
}

HRESULT GetRunningGraph(const std::wstring& displayName, IUnknown** ppUnk)
{
    if (ppUnk == nullptr)
        return E_POINTER;
    *ppUnk = nullptr;
    CComPtr<IRunningObjectTable> spROT;
    HRESULT hr = ::GetRunningObjectTable(0, &spROT);
    if (FAILED(hr))
        return hr;
    // An entry that a killed process left may carry the same name: the
    // first that answers is the one.
    HRESULT hrFound = MK_E_UNAVAILABLE;
    hr = ForEachRunning(spROT, [&](IMoniker* pMoniker, const std::wstring& name) {
        if (name != displayName)
            return true;
        hrFound = GetObjectOfEntry(spROT, pMoniker, ppUnk);
        return FAILED(hrFound);
    });
    return FAILED(hr) ? hr : hrFound;
}

std::wstring ProgramName(DWORD dwProcessId)
{
    HANDLE hSnapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return std::wstring();
    std::wstring name;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL bMore = ::Process32FirstW(hSnapshot, &entry); bMore; bMore = ::Process32NextW(hSnapshot, &entry))
    {
        if (entry.th32ProcessID == dwProcessId)
        {
            name = entry.szExeFile;
            break;
        }
    }
    ::CloseHandle(hSnapshot);
    // Some systems give the whole path.
    size_t nSlash = name.find_last_of(L"\\/");
    return nSlash == std::wstring::npos ? name : name.substr(nSlash + 1);
}
