#include "SavedGraphs.h"

#include "grf/GrfFile.h"
#include "grf/GrfSave.h"

namespace {

CComPtr<IBaseFilter> FindByName(IGraphBuilder* pGraph, const wchar_t* pszName)
{
    CComPtr<IBaseFilter> spFilter;
    pGraph->FindFilterByName(pszName, &spFilter);
    return spFilter;
}

} // namespace

HRESULT ComposeGraph(IGraphBuilder* pGraph, const std::vector<SavedFilter>& filters,
                     const std::vector<SavedLink>& links)
{
    HRESULT hr = S_OK;
    for (const SavedFilter& f : filters)
    {
        CComPtr<IBaseFilter> spFilter;
        if (FAILED(hr = spFilter.CoCreateInstance(f.clsid, nullptr, CLSCTX_INPROC_SERVER)))
            return hr;
        if (FAILED(hr = pGraph->AddFilter(spFilter, f.pszName)))
            return hr;
    }
    for (const SavedLink& l : links)
    {
        CComPtr<IBaseFilter> spFrom = FindByName(pGraph, l.pszFrom), spTo = FindByName(pGraph, l.pszTo);
        if (spFrom == nullptr || spTo == nullptr)
            return VFW_E_NOT_FOUND;
        CComPtr<IPin> spOut, spIn;
        if (FAILED(hr = spFrom->FindPin(l.pszFromPin, &spOut)) || FAILED(hr = spTo->FindPin(l.pszToPin, &spIn)))
            return hr;
        if (FAILED(hr = pGraph->ConnectDirect(spOut, spIn, nullptr)))
            return hr;
    }
    return S_OK;
}

HRESULT SaveGraphFile(IFilterGraph* pGraph, const std::wstring& file)
{
    grf::Graph graph;
    HRESULT hr = grf::SaveGraph(pGraph, &graph);
    if (FAILED(hr))
        return hr;
    return grf::WriteGrfFile(file.c_str(), graph);
}

HRESULT SaveComposedGraph(const std::wstring& file, const std::vector<SavedFilter>& filters,
                          const std::vector<SavedLink>& links)
{
    CComPtr<IGraphBuilder> spGraph;
    HRESULT hr = spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = ComposeGraph(spGraph, filters, links)))
        return hr;
    return SaveGraphFile(spGraph, file);
}

HRESULT WriteCompoundFile(const std::wstring& file, const wchar_t* pszStream, const std::vector<uint8_t>& bytes)
{
    CComPtr<IStorage> spStorage;
    HRESULT hr = ::StgCreateDocfile(file.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                    &spStorage);
    if (FAILED(hr))
        return hr;
    if (pszStream != nullptr)
    {
        CComPtr<IStream> spStream;
        hr = spStorage->CreateStream(pszStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &spStream);
        if (FAILED(hr))
            return hr;
        if (!bytes.empty() && FAILED(hr = spStream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr)))
            return hr;
    }
    return spStorage->Commit(STGC_DEFAULT);
}

bool WritePlainFile(const std::wstring& file, const std::string& bytes)
{
    HANDLE hFile = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD cbWritten = 0;
    BOOL bOk = ::WriteFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &cbWritten, nullptr);
    ::CloseHandle(hFile);
    return bOk && cbWritten == bytes.size();
}

CTempFile::CTempFile(const wchar_t* pszName)
{
    wchar_t szDir[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, szDir);
    m_path = std::wstring(szDir) + L"corvasta-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + pszName;
    ::DeleteFileW(m_path.c_str());
}

CTempFile::~CTempFile()
{
    ::DeleteFileW(m_path.c_str());
}

std::wstring FixtureFolder()
{
    const char szFolder[] = CORVASTA_FIXTURES_DIR;
    return std::wstring(szFolder, szFolder + sizeof(szFolder) - 1);
}
