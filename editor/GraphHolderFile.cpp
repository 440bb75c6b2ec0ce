// The editor's own graph: made new, loaded from a saved graph file, saved.
#include "GraphHolder.h"

#include "ErrorText.h"
#include "grf/GrfFile.h"
#include "grf/GrfLoad.h"
#include "grf/GrfSave.h"

#include <cwctype>

namespace {

// The whole number at pos, moving pos past it; -1 when there is none.
int ReadNumber(const std::wstring& text, size_t* pPos)
{
    size_t pos = *pPos;
    int n = 0;
    while (pos < text.size() && iswdigit(text[pos]) && n < 100000000)
        n = n * 10 + (text[pos++] - L'0');
    if (pos == *pPos)
        return -1;
    *pPos = pos;
    return n;
}

// The quoted text at pos, quotes and all, moving pos past it.
bool ReadQuoted(const std::wstring& text, size_t* pPos, std::wstring* pQuoted)
{
    if (*pPos >= text.size() || text[*pPos] != L'"')
        return false;
    size_t end = text.find(L'"', *pPos + 1);
    if (end == std::wstring::npos)
        return false;
    *pQuoted = text.substr(*pPos, end + 1 - *pPos);
    *pPos = end + 1;
    return true;
}

bool Skip(const std::wstring& text, size_t* pPos, const wchar_t* psz)
{
    if (text.compare(*pPos, wcslen(psz), psz) != 0)
        return false;
    *pPos += wcslen(psz);
    return true;
}

std::wstring FilterName(const grf::Graph& graph, int nId)
{
    for (const grf::Filter& filter : graph.filters)
        if (filter.nId == nId)
            return L"\"" + std::wstring(filter.name.begin(), filter.name.end()) + L"\"";
    return std::to_wstring(nId);
}

// What the loader says failed, for the user: the filter numbers of the file
// mean nothing to them, its names do.
//   filter 3 "Video Renderer" {B87BEB7B-...}
//     -> Filter "Video Renderer" {B87BEB7B-...}
//   connection 1 "Video" to 2 "Input"
//     -> Connection "Generator" pin "Video" to "Encoder" pin "Input"
std::wstring ProblemSubject(const grf::Graph& graph, const std::wstring& what)
{
    size_t pos = 0;
    if (Skip(what, &pos, L"filter ") && ReadNumber(what, &pos) >= 0 && Skip(what, &pos, L" "))
        return L"Filter " + what.substr(pos);
    pos = 0;
    int nFrom = -1, nTo = -1;
    std::wstring fromPin, toPin;
    if (Skip(what, &pos, L"connection ") && (nFrom = ReadNumber(what, &pos)) >= 0 && Skip(what, &pos, L" ") &&
        ReadQuoted(what, &pos, &fromPin) && Skip(what, &pos, L" to ") && (nTo = ReadNumber(what, &pos)) >= 0 &&
        Skip(what, &pos, L" ") && ReadQuoted(what, &pos, &toPin) && pos == what.size())
        return L"Connection " + FilterName(graph, nFrom) + L" pin " + fromPin + L" to " + FilterName(graph, nTo) +
               L" pin " + toPin;
    std::wstring subject = what;
    if (!subject.empty())
        subject[0] = static_cast<wchar_t>(towupper(subject[0]));
    return subject;
}

} // namespace

HRESULT CGraphHolder::CreateNew()
{
    CComPtr<IFilterGraph> spGraph;
    HRESULT hr = spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER);
    if (FAILED(hr))
        return hr;
    return Hold(spGraph, true);
}

HRESULT CGraphHolder::Load(LPCWSTR pszFile, std::vector<std::wstring>* pProblems)
{
    if (pProblems != nullptr)
        pProblems->clear();
    if (pszFile == nullptr)
        return E_POINTER;
    grf::Graph description;
    HRESULT hr = grf::ReadGrfFile(pszFile, &description);
    if (FAILED(hr))
        return hr;

    CComPtr<IFilterGraph> spGraph;
    if (FAILED(hr = spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER)))
        return hr;
    // Every failure listed, the rest loaded.
    std::vector<grf::LoadProblem> problems;
    grf::LoadGraph(spGraph, description, &problems);
    if (FAILED(hr = Hold(spGraph, true)))
        return hr;
    if (pProblems != nullptr)
        for (const grf::LoadProblem& problem : problems)
            pProblems->push_back(ProblemSubject(description, problem.what) + L": " + DescribeError(problem.hr));
    return problems.empty() ? S_OK : S_FALSE;
}

HRESULT CGraphHolder::Save(LPCWSTR pszFile)
{
    if (pszFile == nullptr)
        return E_POINTER;
    if (!IsAttached())
        return E_UNEXPECTED;
    // A read-only file is kept as it is. Windows refuses to replace it
    // anyway; Wine's MoveFileEx would replace it.
    DWORD dwAttributes = ::GetFileAttributesW(pszFile);
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY) != 0)
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    CComPtr<IFilterGraph> spGraph = m_spGraph; // a lost graph lets go of its own
    grf::Graph description;
    HRESULT hr = grf::SaveGraph(spGraph, &description);
    if (FAILED(hr))
        return Checked(hr);
    return grf::WriteGrfFile(pszFile, description);
}
