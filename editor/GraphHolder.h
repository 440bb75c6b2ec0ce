// The graph the editor is attached to, usually in another process: the only
// owner of its COM pointers. It follows the graph with cheap checks, reads it
// again only when they show a change, and reports through IGraphEvents.
//
// Across processes every call costs milliseconds, and some calls must never
// cross: IEnumFilters::Next takes one filter at a time, no out-pointer is
// ever null, and no filter is removed from the other process's graph.
#pragma once

#include "GraphModel.h"

#include "atlbase.h"

#include "atldshow.h"

class IGraphEvents
{
public:
    virtual void OnGraphRead(const GraphData& graph) = 0;
    virtual void OnStateChanged(FILTER_STATE state) = 0;
    // The graph's process went away (or the object was disconnected); the
    // holder has let go of everything.
    virtual void OnGraphLost(HRESULT hr) = 0;

protected:
    ~IGraphEvents() = default;
};

// Whether hr says that the object's process or its connection is gone.
bool IsPeerGone(HRESULT hr);

class CGraphHolder
{
public:
    explicit CGraphHolder(IGraphEvents* pEvents);
    ~CGraphHolder();
    CGraphHolder(const CGraphHolder&) = delete;
    CGraphHolder& operator=(const CGraphHolder&) = delete;

    // Takes the graph (an IFilterGraph), reads it and its state and reports
    // both. Any earlier graph is let go of first.
    HRESULT Attach(IUnknown* pGraph);
    void Detach();
    bool IsAttached() const { return m_spGraph != nullptr; }

    // The state and a signature of the graph (its filters and where their
    // output pins are connected); the graph is read again only when the
    // signature changed. Reports what changed.
    HRESULT Poll();
    // Reads everything again and reports it.
    HRESULT Refresh();

    HRESULT Run();
    HRESULT Pause();
    HRESULT Stop();

    // The filter's own property pages; S_FALSE when it has none.
    HRESULT ShowFilterPages(int nFilter, HWND hWndOwner);
    // The pin page and the pin's own pages, if it has any.
    HRESULT ShowPinPages(const PinRef& pin, HWND hWndOwner);

    const GraphData& Graph() const { return m_graph; }
    FILTER_STATE State() const { return m_state; }

private:
    struct FilterHeld
    {
        CComPtr<IBaseFilter> spFilter;
        std::vector<CComPtr<IPin>> pins;
        std::vector<CComPtr<IPin>> peers; // of the output pins, for the signature
    };

    HRESULT Read();
    HRESULT ReadFilter(IBaseFilter* pFilter, FilterData* pData, FilterHeld* pHeld);
    HRESULT ReadState(bool bReport);
    HRESULT SignatureChanged(bool* pbChanged);
    HRESULT ControlCall(HRESULT (STDMETHODCALLTYPE IMediaControl::*pfn)());
    // A failure that says the peer is gone ends the attachment.
    HRESULT Checked(HRESULT hr);

    IGraphEvents* m_pEvents;
    CComPtr<IFilterGraph> m_spGraph;
    CComPtr<IMediaControl> m_spControl;
    std::vector<FilterHeld> m_held; // as in m_graph.filters
    GraphData m_graph;
    FILTER_STATE m_state;
    bool m_bAttached; // Attach has finished
};
