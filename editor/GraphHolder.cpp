#include "GraphHolder.h"

#include "proppage/PinPageIds.h"

#include <olectl.h>

namespace {

// An enumeration that the graph changed under us is started again, a few
// times at most.
const int cMaxRestarts = 3;

// Calls f with each element of the enumeration, one at a time: asking the
// other process for more than one filter at once crashes its thread. When
// the enumeration starts again, f is called with null. f returns S_OK to go
// on, S_FALSE to stop, or a failure, which is returned.
template <class TEnum, class T, class F>
HRESULT ForEach(TEnum* pEnum, F f)
{
    for (int cRestarts = 0;;)
    {
        CComPtr<T> sp;
        ULONG cFetched = 0;
        HRESULT hr = pEnum->Next(1, &sp, &cFetched);
        if (hr == VFW_E_ENUM_OUT_OF_SYNC && ++cRestarts <= cMaxRestarts)
        {
            if (FAILED(hr = pEnum->Reset()))
                return hr;
            if ((hr = f(nullptr)) != S_OK)
                return FAILED(hr) ? hr : S_OK;
            continue;
        }
        if (FAILED(hr))
            return hr;
        if (hr != S_OK || cFetched != 1 || sp == nullptr)
            return S_OK;
        if ((hr = f(sp.p)) != S_OK)
            return FAILED(hr) ? hr : S_OK;
    }
}

// The pages whose classes can be created here: a frame whose every page
// failed stays open empty and cannot be closed.
std::vector<CLSID> CreatablePages(const CLSID* pPages, ULONG cPages)
{
    std::vector<CLSID> pages;
    for (ULONG i = 0; i < cPages; ++i)
    {
        CComPtr<IClassFactory> spFactory;
        if (SUCCEEDED(::CoGetClassObject(pPages[i], CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                         reinterpret_cast<void**>(&spFactory))))
            pages.push_back(pPages[i]);
    }
    return pages;
}

HRESULT ShowFrame(HWND hWndOwner, const std::wstring& caption, IUnknown* pObject, const std::vector<CLSID>& pages)
{
    if (pages.empty())
        return REGDB_E_CLASSNOTREG;
    return ::OleCreatePropertyFrame(hWndOwner, 0, 0, caption.c_str(), 1, &pObject, static_cast<ULONG>(pages.size()),
                                    const_cast<CLSID*>(pages.data()), 0, 0, nullptr);
}

} // namespace

bool IsPeerGone(HRESULT hr)
{
    switch (hr)
    {
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case RPC_E_CONNECTION_TERMINATED:
    case CO_E_OBJNOTCONNECTED:
    case CO_E_SERVER_STOPPING:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
        return true;
    default:
        return false;
    }
}

CGraphHolder::CGraphHolder(IGraphEvents* pEvents)
    : m_pEvents(pEvents), m_state(State_Stopped), m_bAttached(false), m_bOwn(false)
{
    ATLASSERT(pEvents != nullptr);
}

CGraphHolder::~CGraphHolder()
{
    Detach();
}

HRESULT CGraphHolder::Attach(IUnknown* pGraph)
{
    return Hold(pGraph, false);
}

HRESULT CGraphHolder::Hold(IUnknown* pGraph, bool bOwn)
{
    Detach();
    if (pGraph == nullptr)
        return E_POINTER;
    HRESULT hr = pGraph->QueryInterface(__uuidof(IFilterGraph), reinterpret_cast<void**>(&m_spGraph));
    if (FAILED(hr))
        return hr;
    // A graph without run control is still shown.
    pGraph->QueryInterface(__uuidof(IMediaControl), reinterpret_cast<void**>(&m_spControl));
    if (FAILED(hr = Read()) || FAILED(hr = ReadState(false)))
    {
        Detach();
        return hr;
    }
    m_bAttached = true;
    m_bOwn = bOwn;
    m_pEvents->OnGraphRead(m_graph);
    m_pEvents->OnStateChanged(m_state);
    return S_OK;
}

void CGraphHolder::Detach()
{
    // The own graph ends here: its filters stop before they are let go of.
    if (m_bOwn && m_spControl != nullptr)
        m_spControl->Stop();
    // Proxies of a process that has gone fail their release at once.
    m_held.clear();
    m_spControl.Release();
    m_spGraph.Release();
    m_graph = GraphData();
    m_state = State_Stopped;
    m_bAttached = false;
    m_bOwn = false;
}

HRESULT CGraphHolder::Poll()
{
    if (!IsAttached())
        return S_FALSE;
    HRESULT hr = ReadState(true);
    if (FAILED(hr))
        return hr;
    bool bChanged = false;
    if (FAILED(hr = SignatureChanged(&bChanged)))
        return Checked(hr);
    return bChanged ? Refresh() : S_OK;
}

HRESULT CGraphHolder::Refresh()
{
    if (!IsAttached())
        return S_FALSE;
    HRESULT hr = Read();
    if (FAILED(hr))
        return hr;
    m_pEvents->OnGraphRead(m_graph);
    return S_OK;
}

HRESULT CGraphHolder::Read()
{
    CComPtr<IEnumFilters> spEnum;
    HRESULT hr = m_spGraph->EnumFilters(&spEnum);
    if (FAILED(hr))
        return Checked(hr);
    GraphData graph;
    std::vector<FilterHeld> held;
    hr = ForEach<IEnumFilters, IBaseFilter>(spEnum.p, [&](IBaseFilter* pFilter) -> HRESULT {
        if (pFilter == nullptr)
        {
            graph.filters.clear();
            held.clear();
            return S_OK;
        }
        FilterData data;
        FilterHeld filterHeld;
        HRESULT hrFilter = ReadFilter(pFilter, &data, &filterHeld);
        if (IsPeerGone(hrFilter))
            return hrFilter;
        // A filter that does not answer is left out; the rest is still shown.
        if (SUCCEEDED(hrFilter))
        {
            graph.filters.push_back(std::move(data));
            held.push_back(std::move(filterHeld));
        }
        return S_OK;
    });
    if (FAILED(hr))
        return Checked(hr);

    // Proxies of one object in one apartment are one pointer while they are
    // held: a peer is found among the pins by its address.
    for (size_t nFilter = 0; nFilter < held.size(); ++nFilter)
    {
        for (size_t nPin = 0; nPin < held[nFilter].peers.size(); ++nPin)
        {
            IPin* pPeer = held[nFilter].peers[nPin];
            if (pPeer == nullptr)
                continue;
            for (size_t nOther = 0; nOther < held.size(); ++nOther)
            {
                const std::vector<CComPtr<IPin>>& pins = held[nOther].pins;
                for (size_t nOtherPin = 0; nOtherPin < pins.size(); ++nOtherPin)
                {
                    if (pins[nOtherPin] != pPeer)
                        continue;
                    PinRef from = {static_cast<int>(nFilter), static_cast<int>(nPin)};
                    PinRef to = {static_cast<int>(nOther), static_cast<int>(nOtherPin)};
                    graph.filters[nFilter].pins[nPin].peer = to;
                    graph.filters[nOther].pins[nOtherPin].peer = from;
                }
            }
        }
    }
    m_held.swap(held);
    m_graph = std::move(graph);
    return S_OK;
}

HRESULT CGraphHolder::ReadFilter(IBaseFilter* pFilter, FilterData* pData, FilterHeld* pHeld)
{
    FILTER_INFO info = {};
    HRESULT hr = pFilter->QueryFilterInfo(&info);
    if (FAILED(hr))
        return hr;
    if (info.pGraph != nullptr)
        info.pGraph->Release();
    pData->name = info.achName;
    pHeld->spFilter = pFilter;

    CComPtr<IEnumPins> spPins;
    if (FAILED(hr = pFilter->EnumPins(&spPins)))
        return hr;
    return ForEach<IEnumPins, IPin>(spPins.p, [&](IPin* pPin) -> HRESULT {
        if (pPin == nullptr)
        {
            pData->pins.clear();
            pHeld->pins.clear();
            pHeld->peers.clear();
            return S_OK;
        }
        PIN_INFO info = {};
        HRESULT hrPin = pPin->QueryPinInfo(&info);
        if (FAILED(hrPin))
            return hrPin;
        if (info.pFilter != nullptr)
            info.pFilter->Release();
        PinData pin;
        pin.name = info.achName;
        pin.bInput = info.dir == PINDIR_INPUT;
        // Every connection has its output pin in the graph: asking the
        // outputs alone finds them all.
        CComPtr<IPin> spPeer;
        if (!pin.bInput)
        {
            hrPin = pPin->ConnectedTo(&spPeer);
            if (IsPeerGone(hrPin))
                return hrPin;
        }
        pData->pins.push_back(std::move(pin));
        pHeld->pins.push_back(pPin);
        pHeld->peers.push_back(spPeer);
        return S_OK;
    });
}

HRESULT CGraphHolder::ReadState(bool bReport)
{
    if (m_spControl == nullptr)
        return S_FALSE;
    OAFilterState state = State_Stopped;
    // No wait: a graph on its way to a state reports where it is going.
    HRESULT hr = m_spControl->GetState(0, &state);
    if (FAILED(hr))
        return Checked(hr);
    FILTER_STATE newState = static_cast<FILTER_STATE>(state);
    if (newState != m_state)
    {
        m_state = newState;
        if (bReport)
            m_pEvents->OnStateChanged(m_state);
    }
    return S_OK;
}

HRESULT CGraphHolder::SignatureChanged(bool* pbChanged)
{
    *pbChanged = false;
    CComPtr<IEnumFilters> spEnum;
    HRESULT hr = m_spGraph->EnumFilters(&spEnum);
    if (FAILED(hr))
        return hr;
    size_t nFilter = 0;
    bool bDiffers = false;
    hr = ForEach<IEnumFilters, IBaseFilter>(spEnum.p, [&](IBaseFilter* pFilter) -> HRESULT {
        if (pFilter == nullptr || nFilter >= m_held.size() || m_held[nFilter].spFilter != pFilter)
        {
            bDiffers = true;
            return S_FALSE;
        }
        ++nFilter;
        return S_OK;
    });
    if (FAILED(hr))
        return hr;
    if (bDiffers || nFilter != m_held.size())
    {
        *pbChanged = true;
        return S_OK;
    }
    for (size_t i = 0; i < m_held.size(); ++i)
    {
        const FilterHeld& held = m_held[i];
        for (size_t nPin = 0; nPin < held.pins.size(); ++nPin)
        {
            if (m_graph.filters[i].pins[nPin].bInput)
                continue;
            CComPtr<IPin> spPeer;
            hr = held.pins[nPin]->ConnectedTo(&spPeer);
            if (IsPeerGone(hr))
                return hr;
            if (spPeer != held.peers[nPin])
            {
                *pbChanged = true;
                return S_OK;
            }
        }
    }
    return S_OK;
}

HRESULT CGraphHolder::ControlCall(HRESULT (STDMETHODCALLTYPE IMediaControl::*pfn)())
{
    if (!IsAttached())
        return E_UNEXPECTED;
    if (m_spControl == nullptr)
        return E_NOINTERFACE;
    CComPtr<IMediaControl> spControl = m_spControl; // a lost graph lets go of its own
    HRESULT hr = (spControl.p->*pfn)();
    if (FAILED(hr))
        return Checked(hr);
    ReadState(true);
    return hr;
}

HRESULT CGraphHolder::Run()
{
    return ControlCall(&IMediaControl::Run);
}

HRESULT CGraphHolder::Pause()
{
    return ControlCall(&IMediaControl::Pause);
}

HRESULT CGraphHolder::Stop()
{
    return ControlCall(&IMediaControl::Stop);
}

HRESULT CGraphHolder::ShowFilterPages(int nFilter, HWND hWndOwner)
{
    if (nFilter < 0 || nFilter >= static_cast<int>(m_held.size()))
        return E_INVALIDARG;
    // The frame runs a message loop: a poll inside it may read the graph
    // again, so what the frame needs is held here.
    CComPtr<IBaseFilter> spFilter = m_held[nFilter].spFilter;
    std::wstring name = m_graph.filters[nFilter].name;
    CComQIPtr<ISpecifyPropertyPages> spSpecify(spFilter);
    if (spSpecify == nullptr)
        return S_FALSE;
    CAUUID pages = {};
    HRESULT hr = spSpecify->GetPages(&pages);
    if (FAILED(hr))
        return Checked(hr);
    if (pages.cElems == 0)
    {
        ::CoTaskMemFree(pages.pElems);
        return S_FALSE;
    }
    std::vector<CLSID> creatable = CreatablePages(pages.pElems, pages.cElems);
    ::CoTaskMemFree(pages.pElems);
    return ShowFrame(hWndOwner, name, spFilter, creatable);
}

HRESULT CGraphHolder::ShowPinPages(const PinRef& pin, HWND hWndOwner)
{
    if (m_graph.Pin(pin) == nullptr || pin.nFilter >= static_cast<int>(m_held.size()))
        return E_INVALIDARG;
    CComPtr<IPin> spPin = m_held[pin.nFilter].pins[pin.nPin];
    std::wstring caption = m_graph.filters[pin.nFilter].name + L": " + m_graph.Pin(pin)->name;

    // The pin page first, then whatever the pin offers itself.
    std::vector<CLSID> pages = {CLSID_PinPropertyPage};
    CComQIPtr<ISpecifyPropertyPages> spSpecify(spPin);
    if (spSpecify != nullptr)
    {
        CAUUID own = {};
        HRESULT hr = spSpecify->GetPages(&own);
        if (IsPeerGone(hr))
            return Checked(hr);
        for (ULONG i = 0; SUCCEEDED(hr) && i < own.cElems; ++i)
            if (own.pElems[i] != CLSID_PinPropertyPage)
                pages.push_back(own.pElems[i]);
        ::CoTaskMemFree(own.pElems);
    }
    return ShowFrame(hWndOwner, caption, spPin, CreatablePages(pages.data(), static_cast<ULONG>(pages.size())));
}

HRESULT CGraphHolder::Checked(HRESULT hr)
{
    // Attach reports its own failure.
    if (IsPeerGone(hr) && m_bAttached)
    {
        Detach();
        m_pEvents->OnGraphLost(hr);
    }
    return hr;
}
