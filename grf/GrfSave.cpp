#include "GrfSave.h"

#include <algorithm>

#include "atlbase.h"

#include "dshow/MediaType.h"
#include "dshow/PersistBytes.h"
#include "grf/GrfCom.h"

namespace grf {

namespace {

struct SavedFilter
{
    CComPtr<IBaseFilter> spFilter;
    int nId;
};

// A filter without IPersistStream keeps no data.
HRESULT SaveFilterData(IBaseFilter* pFilter, std::vector<uint8_t>* pData)
{
    pData->clear();
    CComQIPtr<IPersistStream> spPersist(pFilter);
    return spPersist != nullptr ? SavePersistBytes(spPersist, pData) : S_OK;
}

HRESULT SaveFileName(IBaseFilter* pFilter, Filter* pOut)
{
    LPOLESTR pszName = nullptr;
    HRESULT hr = S_OK;
    CComQIPtr<IFileSourceFilter> spSource(pFilter);
    CComQIPtr<IFileSinkFilter> spSink(pFilter);
    if (spSource != nullptr)
    {
        pOut->fileKind = FileKind::Source;
        hr = spSource->GetCurFile(&pszName, nullptr);
    }
    else if (spSink != nullptr)
    {
        pOut->fileKind = FileKind::Sink;
        hr = spSink->GetCurFile(&pszName, nullptr);
    }
    // A filter without a file yet is saved without the name.
    if (FAILED(hr) || pszName == nullptr)
        pOut->fileKind = FileKind::None;
    else
        pOut->fileName = FromWide(pszName);
    ::CoTaskMemFree(pszName);
    return S_OK;
}

// The pin's id names it in the file (ids are what IBaseFilter::FindPin
// takes); a pin without one is named by its display name.
HRESULT PinName(IPin* pPin, std::u16string* pName)
{
    LPWSTR pszId = nullptr;
    if (SUCCEEDED(pPin->QueryId(&pszId)) && pszId != nullptr)
    {
        *pName = FromWide(pszId);
        ::CoTaskMemFree(pszId);
        return S_OK;
    }
    PIN_INFO info = {};
    HRESULT hr = pPin->QueryPinInfo(&info);
    if (FAILED(hr))
        return hr;
    if (info.pFilter != nullptr)
        info.pFilter->Release();
    *pName = FromWide(info.achName);
    return S_OK;
}

HRESULT SaveMediaType(IPin* pPin, MediaType* pOut)
{
    CMediaType mt;
    HRESULT hr = pPin->ConnectionMediaType(&mt);
    if (FAILED(hr))
        return hr;
    pOut->majortype = FromGUID(mt.majortype);
    pOut->subtype = FromGUID(mt.subtype);
    pOut->bFixedSizeSamples = mt.bFixedSizeSamples != FALSE;
    pOut->bTemporalCompression = mt.bTemporalCompression != FALSE;
    pOut->lSampleSize = mt.lSampleSize;
    pOut->formattype = FromGUID(mt.formattype);
    if (mt.cbFormat != 0 && mt.pbFormat != nullptr)
        pOut->format.assign(mt.pbFormat, mt.pbFormat + mt.cbFormat);
    return S_OK;
}

int FindId(const std::vector<SavedFilter>& filters, IBaseFilter* pFilter)
{
    for (const SavedFilter& f : filters)
    {
        if (f.spFilter.IsEqualObject(pFilter))
            return f.nId;
    }
    return 0;
}

// The connections that leave one filter, with the ids of the filters they
// reach; a connection to a filter outside the graph is left out.
HRESULT SaveOutputs(const SavedFilter& from, const std::vector<SavedFilter>& filters,
                    std::vector<Connection>* pOut)
{
    CComPtr<IEnumPins> spEnum;
    HRESULT hr = from.spFilter->EnumPins(&spEnum);
    if (FAILED(hr))
        return hr;
    for (;;)
    {
        CComPtr<IPin> spPin;
        if (spEnum->Next(1, &spPin, nullptr) != S_OK)
            return S_OK;
        PIN_DIRECTION dir = PINDIR_INPUT;
        if (FAILED(spPin->QueryDirection(&dir)) || dir != PINDIR_OUTPUT)
            continue;
        CComPtr<IPin> spTo;
        if (spPin->ConnectedTo(&spTo) != S_OK)
            continue;
        PIN_INFO info = {};
        if (FAILED(hr = spTo->QueryPinInfo(&info)))
            return hr;
        CComPtr<IBaseFilter> spToFilter;
        spToFilter.Attach(info.pFilter);
        int nToId = FindId(filters, spToFilter);
        if (nToId == 0)
            continue;
        Connection c;
        c.nFromId = from.nId;
        c.nToId = nToId;
        if (FAILED(hr = PinName(spPin, &c.fromPin)) || FAILED(hr = PinName(spTo, &c.toPin)) ||
            FAILED(hr = SaveMediaType(spPin, &c.mt)))
            return hr;
        pOut->push_back(std::move(c));
    }
}

// Upstream first: a filter's connections are written once every connection
// into it has been; what a loop leaves over follows in the filters' order.
std::vector<Connection> UpstreamFirst(std::vector<Connection> all, size_t nFilters)
{
    std::vector<Connection> ordered;
    std::vector<bool> written(all.size(), false);
    auto ready = [&](int nId) {
        for (size_t i = 0; i < all.size(); i++)
        {
            if (!written[i] && all[i].nToId == nId)
                return false;
        }
        return true;
    };
    for (bool bProgress = true; bProgress;)
    {
        bProgress = false;
        for (int nId = 1; nId <= static_cast<int>(nFilters); nId++)
        {
            if (!ready(nId))
                continue;
            for (size_t i = 0; i < all.size(); i++)
            {
                if (written[i] || all[i].nFromId != nId)
                    continue;
                ordered.push_back(all[i]);
                written[i] = true;
                bProgress = true;
            }
        }
    }
    for (size_t i = 0; i < all.size(); i++)
    {
        if (!written[i])
            ordered.push_back(all[i]);
    }
    return ordered;
}

HRESULT SaveClock(IFilterGraph* pGraph, const std::vector<SavedFilter>& filters, Clock* pOut)
{
    *pOut = Clock();
    pOut->bPresent = true;
    CComQIPtr<IMediaFilter> spMediaFilter(pGraph);
    if (spMediaFilter == nullptr)
        return S_OK;
    CComPtr<IReferenceClock> spClock;
    if (FAILED(spMediaFilter->GetSyncSource(&spClock)) || spClock == nullptr)
        return S_OK;
    CComQIPtr<IBaseFilter> spClockFilter(spClock);
    if (spClockFilter != nullptr && (pOut->nFilterId = FindId(filters, spClockFilter)) != 0)
    {
        pOut->kind = ClockKind::Filter;
        return S_OK;
    }
    CComQIPtr<IPersist> spPersist(spClock);
    CLSID clsid = GUID_NULL;
    if (spPersist != nullptr && SUCCEEDED(spPersist->GetClassID(&clsid)) && clsid != GUID_NULL)
    {
        pOut->kind = ClockKind::Class;
        pOut->clsid = FromGUID(clsid);
    }
    // A clock that can't be named again is saved as the graph's default.
    return S_OK;
}

} // namespace

HRESULT SaveGraph(IFilterGraph* pGraph, Graph* pOut)
{
    if (pGraph == nullptr || pOut == nullptr)
        return E_POINTER;
    *pOut = Graph();
    Graph graph;

    CComPtr<IEnumFilters> spEnum;
    HRESULT hr = pGraph->EnumFilters(&spEnum);
    if (FAILED(hr))
        return hr;
    std::vector<SavedFilter> filters;
    for (;;)
    {
        // One at a time: a graph in another process takes no more.
        CComPtr<IBaseFilter> spFilter;
        hr = spEnum->Next(1, &spFilter, nullptr);
        if (hr != S_OK)
            break;
        Filter filter;
        filter.nId = static_cast<int>(filters.size()) + 1;
        FILTER_INFO info = {};
        if (FAILED(hr = spFilter->QueryFilterInfo(&info)))
            return hr;
        if (info.pGraph != nullptr)
            info.pGraph->Release();
        filter.name = FromWide(info.achName);
        CLSID clsid = GUID_NULL;
        if (FAILED(hr = spFilter->GetClassID(&clsid)))
            return hr;
        filter.clsid = FromGUID(clsid);
        if (FAILED(hr = SaveFileName(spFilter, &filter)) || FAILED(hr = SaveFilterData(spFilter, &filter.data)))
            return hr;
        graph.filters.push_back(std::move(filter));
        filters.push_back(SavedFilter{spFilter, graph.filters.back().nId});
    }
    if (FAILED(hr))
        return hr;

    std::vector<Connection> all;
    for (const SavedFilter& f : filters)
    {
        if (FAILED(hr = SaveOutputs(f, filters, &all)))
            return hr;
    }
    graph.connections = UpstreamFirst(std::move(all), filters.size());
    if (FAILED(hr = SaveClock(pGraph, filters, &graph.clock)))
        return hr;
    *pOut = std::move(graph);
    return S_OK;
}

} // namespace grf
