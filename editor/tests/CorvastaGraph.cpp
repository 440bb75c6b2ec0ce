#include "CorvastaGraph.h"

#include "components/ComponentIds.h"
#include "tests/support/SavedGraphs.h"

const wchar_t szGenerator[] = L"Ormidex Video Generator";
const wchar_t szQSEncoder[] = L"Ormidex QS Encoder";
const wchar_t szOpusEncoder[] = L"Ormidex Opus Encoder";
const wchar_t szCorvasta[] = L"Corvasta";

HRESULT BuildCorvastaGraph(IGraphBuilder** ppGraph)
{
    *ppGraph = nullptr;
    CComPtr<IGraphBuilder> spGraph;
    HRESULT hr = spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER);
    if (FAILED(hr))
        return hr;
    hr = ComposeGraph(spGraph,
                      {{szGenerator, CLSID_OrmidexVideoGenerator},
                       {szQSEncoder, CLSID_OrmidexQSEncoder},
                       {szOpusEncoder, CLSID_OrmidexOpusEncoder},
                       {szCorvasta, CLSID_CorvastaFilter}},
                      {{szGenerator, L"Video", szQSEncoder, L"Input"},
                       {szQSEncoder, L"Output", szCorvasta, L"Video"},
                       {szGenerator, L"Audio", szOpusEncoder, L"Input"},
                       {szOpusEncoder, L"Output", szCorvasta, L"Audio"}});
    if (FAILED(hr))
        return hr;
    *ppGraph = spGraph.Detach();
    return S_OK;
}

HRESULT SaveCorvastaGraph(const std::wstring& file)
{
    CComPtr<IGraphBuilder> spGraph;
    HRESULT hr = BuildCorvastaGraph(&spGraph);
    return FAILED(hr) ? hr : SaveGraphFile(spGraph, file);
}

CComPtr<IBaseFilter> FindFilter(IFilterGraph* pGraph, LPCWSTR pszName)
{
    CComPtr<IBaseFilter> spFilter;
    pGraph->FindFilterByName(pszName, &spFilter);
    return spFilter;
}
