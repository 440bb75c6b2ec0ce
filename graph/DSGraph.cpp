#include "DSGraph.h"

#include <olectl.h>

// Not built yet: the saved-graph reader comes with a later change.
HRESULT BuildFromGRF(IGraphBuilder* pGraph, LPCWSTR pszFile)
{
    if (pGraph == nullptr || pszFile == nullptr)
        return E_INVALIDARG;
    return E_NOTIMPL;
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
