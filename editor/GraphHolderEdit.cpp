// Editing the held graph: filters added and removed, pins connected,
// rendered and disconnected. Each reads the graph again when it succeeds.
#include "GraphHolder.h"

IPin* CGraphHolder::HeldPin(const PinRef& pin) const
{
    // m_graph and m_held are read together: a pin of one is a pin of the
    // other, and an index past the last read is none.
    if (m_graph.Pin(pin) == nullptr || pin.nFilter >= static_cast<int>(m_held.size()) ||
        pin.nPin >= static_cast<int>(m_held[pin.nFilter].pins.size()))
        return nullptr;
    return m_held[pin.nFilter].pins[pin.nPin];
}

HRESULT CGraphHolder::AddFilter(const FilterChoice& choice, std::wstring* pName)
{
    if (pName != nullptr)
        pName->clear();
    if (!IsAttached())
        return E_UNEXPECTED;
    if (!IsOwn())
        return E_ACCESSDENIED;

    CComPtr<IBaseFilter> spFilter;
    HRESULT hr = S_OK;
    if (!choice.monikerName.empty())
    {
        CComPtr<IBindCtx> spBindCtx;
        CComPtr<IMoniker> spMoniker;
        ULONG cchEaten = 0;
        if (FAILED(hr = ::CreateBindCtx(0, &spBindCtx)) ||
            FAILED(hr = ::MkParseDisplayName(spBindCtx, choice.monikerName.c_str(), &cchEaten, &spMoniker)))
            return hr;
        if (spMoniker == nullptr)
            return MK_E_SYNTAX;
        if (FAILED(hr = spMoniker->BindToObject(spBindCtx, nullptr, __uuidof(IBaseFilter),
                                                reinterpret_cast<void**>(&spFilter))))
            return hr;
    }
    else if (FAILED(hr = spFilter.CoCreateInstance(choice.clsid, nullptr, CLSCTX_INPROC_SERVER)))
        return hr;
    if (spFilter == nullptr)
        return E_NOINTERFACE;

    CComPtr<IFilterGraph> spGraph = m_spGraph;
    // A taken name gets a new one from the graph manager
    // (VFW_S_DUPLICATE_NAME), which the filter knows.
    HRESULT hrAdd = spGraph->AddFilter(spFilter, choice.name.empty() ? nullptr : choice.name.c_str());
    if (FAILED(hrAdd))
        return Checked(hrAdd);
    if (pName != nullptr)
    {
        FILTER_INFO info = {};
        if (SUCCEEDED(spFilter->QueryFilterInfo(&info)))
        {
            if (info.pGraph != nullptr)
                info.pGraph->Release();
            *pName = info.achName;
        }
        else
            *pName = choice.name;
    }
    if (FAILED(hr = Refresh()))
        return hr;
    return hrAdd;
}

HRESULT CGraphHolder::Connect(const PinRef& from, const PinRef& to, bool bDirect)
{
    if (!IsAttached())
        return E_UNEXPECTED;
    CComPtr<IPin> spOut = HeldPin(from), spIn = HeldPin(to);
    if (spOut == nullptr || spIn == nullptr)
        return E_INVALIDARG;
    bool bFromInput = m_graph.Pin(from)->bInput, bToInput = m_graph.Pin(to)->bInput;
    if (bFromInput == bToInput)
        return E_INVALIDARG;
    // Dragged from the input to the output: the same connection.
    if (bFromInput)
        std::swap(spOut, spIn);

    CComPtr<IFilterGraph> spGraph = m_spGraph;
    HRESULT hr = S_OK;
    if (bDirect)
        hr = spGraph->ConnectDirect(spOut, spIn, nullptr);
    else
    {
        CComQIPtr<IGraphBuilder> spBuilder(spGraph);
        if (spBuilder == nullptr)
            return E_NOINTERFACE;
        hr = spBuilder->Connect(spOut, spIn);
    }
    if (FAILED(hr))
        return Checked(hr);
    HRESULT hrRead = Refresh();
    return FAILED(hrRead) ? hrRead : hr;
}

HRESULT CGraphHolder::Render(const PinRef& pin)
{
    if (!IsAttached())
        return E_UNEXPECTED;
    CComPtr<IPin> spPin = HeldPin(pin);
    if (spPin == nullptr || m_graph.Pin(pin)->bInput)
        return E_INVALIDARG;
    CComQIPtr<IGraphBuilder> spBuilder(m_spGraph);
    if (spBuilder == nullptr)
        return E_NOINTERFACE;
    // Partly rendered (VFW_S_PARTIAL_RENDER) is still a change to show.
    HRESULT hr = spBuilder->Render(spPin);
    if (FAILED(hr))
        return Checked(hr);
    HRESULT hrRead = Refresh();
    return FAILED(hrRead) ? hrRead : hr;
}

HRESULT CGraphHolder::RemoveFilter(int nFilter)
{
    if (!IsAttached())
        return E_UNEXPECTED;
    if (nFilter < 0 || nFilter >= static_cast<int>(m_held.size()))
        return E_INVALIDARG;
    // No filter is removed from the other process's graph.
    if (!IsOwn())
        return E_ACCESSDENIED;
    CComPtr<IBaseFilter> spFilter = m_held[nFilter].spFilter;
    CComPtr<IFilterGraph> spGraph = m_spGraph;
    // The graph manager disconnects its pins first.
    HRESULT hr = spGraph->RemoveFilter(spFilter);
    if (FAILED(hr))
        return Checked(hr);
    HRESULT hrRead = Refresh();
    return FAILED(hrRead) ? hrRead : hr;
}

HRESULT CGraphHolder::Disconnect(const PinRef& pin)
{
    if (!IsAttached())
        return E_UNEXPECTED;
    CComPtr<IPin> spPin = HeldPin(pin);
    if (spPin == nullptr)
        return E_INVALIDARG;
    // The pin as it is connected now, not as last read.
    CComPtr<IPin> spPeer;
    HRESULT hr = spPin->ConnectedTo(&spPeer);
    if (hr == VFW_E_NOT_CONNECTED || (SUCCEEDED(hr) && spPeer == nullptr))
        return S_FALSE;
    if (FAILED(hr))
        return Checked(hr);
    CComPtr<IFilterGraph> spGraph = m_spGraph;
    // Both sides: a pin disconnects only itself.
    hr = spGraph->Disconnect(spPin);
    if (SUCCEEDED(hr))
        hr = spGraph->Disconnect(spPeer);
    if (FAILED(hr))
    {
        if (IsPeerGone(hr))
            return Checked(hr);
        // One side may be disconnected already: show it as it is.
        Refresh();
        return hr;
    }
    HRESULT hrRead = Refresh();
    return FAILED(hrRead) ? hrRead : S_OK;
}
