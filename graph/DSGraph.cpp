#include "DSGraph.h"

#include <olectl.h>

#include "grf/GrfFile.h"
#include "grf/GrfLoad.h"

HRESULT BuildFromGRF(IGraphBuilder* pGraph, LPCWSTR pszFile)
{
    if (pGraph == nullptr || pszFile == nullptr)
        return E_INVALIDARG;
    // A graph manager that can't load its own saved form (Wine's) leaves the
    // stream to our reader, with the same outcome.
    CComQIPtr<IPersistStream> spPersistStream(pGraph);

    const DWORD grfMode = STGM_READ | STGM_SHARE_EXCLUSIVE;
    CComPtr<IStorage> spStorage;
    HRESULT hr = ::StgOpenStorage(pszFile, nullptr, grfMode, nullptr, 0, &spStorage);
    if (FAILED(hr))
    {
        ATLASSERT(!L"BuildFromGRF(): Can't open .grf file");
        return hr;
    }
    CComPtr<IStream> spStream;
    hr = spStorage->OpenStream(grf::c_szStreamName, nullptr, grfMode, 0, &spStream);
    if (FAILED(hr))
    {
        ATLASSERT(!L"BuildFromGRF(): Invalid .grf file");
        return hr;
    }
    hr = spPersistStream != nullptr ? spPersistStream->Load(spStream) : grf::LoadGraphStream(pGraph, spStream);
    if (FAILED(hr))
    {
        ATLASSERT(!L"BuildFromGRF(): Can't load data from .grf file");
        return hr;
    }
    return S_OK;
}

HRESULT ShowPropertyPages(IUnknown* pUnknown, HWND hWndOwner)
{
    ATLASSERT(pUnknown != 0);
    if (pUnknown == nullptr)
        return E_INVALIDARG;
    CComQIPtr<IBaseFilter> spFilter(pUnknown);
    ATLASSERT(spFilter != 0);
    if (spFilter == nullptr)
        return E_FAIL;
    CComQIPtr<ISpecifyPropertyPages> spPropertyPages(pUnknown);
    if (spPropertyPages == nullptr)
        return S_FALSE;

    CAUUID pages = {};
    HRESULT hr = spPropertyPages->GetPages(&pages);
    if (hr != S_OK)
    {
        ATLASSERT(!L"CGraph::ShowPropertyPages(): spPropertyPages->GetPages() FAILED");
        return hr;
    }

    FILTER_INFO rgInfo = {};
    const wchar_t* pszCaption = L"Properties";
    if (spFilter->QueryFilterInfo(&rgInfo) == S_OK)
    {
        pszCaption = rgInfo.achName;
        if (rgInfo.pGraph != nullptr)
            rgInfo.pGraph->Release();
    }

    hr = ::OleCreatePropertyFrame(hWndOwner, 0, 0, pszCaption, 1, &pUnknown, pages.cElems, pages.pElems, 0, 0,
                                  nullptr);
    if (hr != S_OK)
        ATLASSERT(!L"ShowPropertyPages(): OleCreatePropertyFrame() FAILED");
    ::CoTaskMemFree(pages.pElems);
    return hr;
}
