#include "GrfLoad.h"

#include <map>

#include "atlbase.h"

#include "dshow/PersistBytes.h"
#include "grf/GrfCom.h"
#include "grf/GrfFile.h"

namespace grf {

namespace {

// A SOURCE name that the editor wrote for a filter without a file.
const char16_t c_szNullName[] = u"(null)";

std::wstring GuidText(const Guid& guid)
{
    wchar_t sz[40] = L"";
    GUID g = ToGUID(guid);
    ::StringFromGUID2(g, sz, ARRAYSIZE(sz));
    return sz;
}

std::wstring FilterText(const Filter& filter)
{
    return L"filter " + std::to_wstring(filter.nId) + L" \"" + ToWide(filter.name) + L"\" " +
           GuidText(filter.clsid);
}

std::wstring ConnectionText(const Connection& c)
{
    return L"connection " + std::to_wstring(c.nFromId) + L" \"" + ToWide(c.fromPin) + L"\" to " +
           std::to_wstring(c.nToId) + L" \"" + ToWide(c.toPin) + L"\"";
}

// Hands the filter what the file keeps for it: its data and its file name.
HRESULT SetUpFilter(IBaseFilter* pFilter, const Filter& filter)
{
    HRESULT hr = S_OK;
    if (!filter.data.empty() && FAILED(hr = LoadPersistBytes(pFilter, filter.data)))
        return hr;
    if (filter.fileKind == FileKind::Source && filter.fileName != c_szNullName)
    {
        CComQIPtr<IFileSourceFilter> spSource(pFilter);
        if (spSource == nullptr)
            return E_NOINTERFACE;
        return spSource->Load(ToWide(filter.fileName), nullptr);
    }
    if (filter.fileKind == FileKind::Sink)
    {
        CComQIPtr<IFileSinkFilter> spSink(pFilter);
        if (spSink == nullptr)
            return E_NOINTERFACE;
        return spSink->SetFileName(ToWide(filter.fileName), nullptr);
    }
    return S_OK;
}

// A saved pin is named by its id; names are the fallback for filters whose
// ids differ from what they were when the graph was saved.
HRESULT FindSavedPin(IBaseFilter* pFilter, const std::u16string& pinName, IPin** ppPin)
{
    *ppPin = nullptr;
    if (SUCCEEDED(pFilter->FindPin(ToWide(pinName), ppPin)) && *ppPin != nullptr)
        return S_OK;
    CComPtr<IEnumPins> spEnum;
    HRESULT hr = pFilter->EnumPins(&spEnum);
    if (FAILED(hr))
        return hr;
    for (;;)
    {
        CComPtr<IPin> spPin;
        if (spEnum->Next(1, &spPin, nullptr) != S_OK)
            return VFW_E_NOT_FOUND;
        PIN_INFO info = {};
        if (FAILED(spPin->QueryPinInfo(&info)))
            continue;
        if (info.pFilter != nullptr)
            info.pFilter->Release();
        if (FromWide(info.achName) == pinName)
        {
            *ppPin = spPin.Detach();
            return S_OK;
        }
    }
}

HRESULT Connect(IFilterGraph* pGraph, IBaseFilter* pFrom, IBaseFilter* pTo, const Connection& c)
{
    CComPtr<IPin> spOut, spIn;
    HRESULT hr = FindSavedPin(pFrom, c.fromPin, &spOut);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = FindSavedPin(pTo, c.toPin, &spIn)))
        return hr;

    AM_MEDIA_TYPE mt = {};
    mt.majortype = ToGUID(c.mt.majortype);
    mt.subtype = ToGUID(c.mt.subtype);
    mt.bFixedSizeSamples = c.mt.bFixedSizeSamples;
    mt.bTemporalCompression = c.mt.bTemporalCompression;
    mt.lSampleSize = c.mt.lSampleSize;
    mt.formattype = ToGUID(c.mt.formattype);
    mt.cbFormat = static_cast<ULONG>(c.mt.format.size());
    // The pins copy what they keep; the description's bytes stay its own.
    mt.pbFormat = mt.cbFormat != 0 ? const_cast<BYTE*>(c.mt.format.data()) : nullptr;
    return pGraph->ConnectDirect(spOut, spIn, &mt);
}

HRESULT SetClock(IFilterGraph* pGraph, const Clock& clock, const std::map<int, CComPtr<IBaseFilter>>& filters)
{
    CComQIPtr<IMediaFilter> spMediaFilter(pGraph);
    if (spMediaFilter == nullptr)
        return E_NOINTERFACE;
    CComPtr<IReferenceClock> spClock;
    HRESULT hr = S_OK;
    switch (clock.kind)
    {
    case ClockKind::Default:
        return pGraph->SetDefaultSyncSource();
    case ClockKind::Filter:
    {
        auto it = filters.find(clock.nFilterId);
        if (it == filters.end())
            return VFW_E_NOT_FOUND;
        if (FAILED(hr = it->second->QueryInterface(IID_IReferenceClock, reinterpret_cast<void**>(&spClock))))
            return hr;
        break;
    }
    case ClockKind::Class:
        if (FAILED(hr = spClock.CoCreateInstance(ToGUID(clock.clsid), nullptr, CLSCTX_INPROC_SERVER)))
            return hr;
        break;
    }
    return spMediaFilter->SetSyncSource(spClock);
}

} // namespace

HRESULT LoadGraph(IFilterGraph* pGraph, const Graph& graph, std::vector<LoadProblem>* pProblems)
{
    if (pGraph == nullptr)
        return E_POINTER;
    HRESULT hrFirst = S_OK;
    // Records a failure; true when the load must stop here.
    auto fail = [&](HRESULT hr, const std::wstring& what) {
        if (SUCCEEDED(hrFirst))
            hrFirst = hr;
        ATLTRACE2(atlTraceGeneral, 2, L"###Err### grf::LoadGraph(): %s: 0x%08X\n", what.c_str(),
                  static_cast<unsigned>(hr));
        if (pProblems == nullptr)
            return true;
        pProblems->push_back(LoadProblem{hr, what});
        return false;
    };

    std::map<int, CComPtr<IBaseFilter>> filters;
    for (const Filter& filter : graph.filters)
    {
        CComPtr<IBaseFilter> spFilter;
        HRESULT hr = spFilter.CoCreateInstance(ToGUID(filter.clsid), nullptr, CLSCTX_INPROC_SERVER);
        if (FAILED(hr))
        {
            if (fail(hr, FilterText(filter)))
                return hr;
            continue;
        }
        // A filter that refuses its saved settings is still worth having in
        // a graph that is loaded with every failure listed.
        if (FAILED(hr = SetUpFilter(spFilter, filter)) && fail(hr, FilterText(filter) + L" settings"))
            return hr;
        if (FAILED(hr = pGraph->AddFilter(spFilter, ToWide(filter.name))))
        {
            if (fail(hr, FilterText(filter)))
                return hr;
            continue;
        }
        filters[filter.nId] = spFilter;
    }

    for (const Connection& c : graph.connections)
    {
        auto from = filters.find(c.nFromId);
        auto to = filters.find(c.nToId);
        // A connection of a filter that failed was reported with the filter.
        if (from == filters.end() || to == filters.end())
            continue;
        HRESULT hr = Connect(pGraph, from->second, to->second, c);
        if (FAILED(hr) && fail(hr, ConnectionText(c)))
            return hr;
    }

    if (graph.clock.bPresent)
    {
        HRESULT hr = SetClock(pGraph, graph.clock, filters);
        // A clock the file does not insist on is only worth a note.
        if (FAILED(hr) && graph.clock.nFlag != 0 && fail(hr, L"clock"))
            return hr;
    }
    return hrFirst;
}

HRESULT LoadGraphStream(IFilterGraph* pGraph, IStream* pStream, std::vector<LoadProblem>* pProblems)
{
    if (pGraph == nullptr || pStream == nullptr)
        return E_POINTER;
    Graph graph;
    ReadError error;
    HRESULT hr = ReadGraphStream(pStream, &graph, &error);
    if (FAILED(hr))
    {
        ATLTRACE2(atlTraceGeneral, 2, L"###Err### grf::LoadGraphStream(): offset %u: %S\n",
                  static_cast<unsigned>(error.nOffset), error.pszWhat);
        if (pProblems != nullptr)
            pProblems->push_back(LoadProblem{hr, L"stream"});
        return hr;
    }
    return LoadGraph(pGraph, graph, pProblems);
}

} // namespace grf
