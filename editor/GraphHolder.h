// The graph the editor is attached to, usually in another process: the only
// owner of its COM pointers. It follows the graph with cheap checks, reads it
// again only when they show a change, and reports through IGraphEvents.
//
// Across processes every call costs milliseconds, and some calls must never
// cross: IEnumFilters::Next takes one filter at a time, no out-pointer is
// ever null, and no filter is removed from the other process's graph.
#pragma once

#include "FilterChoice.h"
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

    // The editor's own graph, in this process: a new empty one, or one read
    // from a saved graph file. Loading goes on past a filter that cannot be
    // created or connected and lists each such problem in pProblems; it fails
    // only when the file cannot be read at all (and keeps the graph held
    // before). Any earlier graph is let go of when it succeeds.
    HRESULT CreateNew();
    HRESULT Load(LPCWSTR pszFile, std::vector<std::wstring>* pProblems);
    // Writes the held graph, as the graph manager holds it, to the file.
    HRESULT Save(LPCWSTR pszFile);
    // The graph was made here (CreateNew, Load), not attached to.
    bool IsOwn() const { return m_bOwn; }

    // Editing: each reads the graph again and reports it when it succeeds.
    // Filters are added to the editor's own graph only (E_ACCESSDENIED on an
    // attached one: the filter would live in this process and die with it).
    // pszName gets the name actually given (a new one when it was taken).
    HRESULT AddFilter(const FilterChoice& choice, std::wstring* pName);
    // From an output pin to an input pin: intelligently (the graph manager
    // may add filters between them) or directly (no filter added, no type
    // given).
    HRESULT Connect(const PinRef& from, const PinRef& to, bool bDirect);
    HRESULT Render(const PinRef& pin);
    HRESULT RemoveFilter(int nFilter);
    // The pin and its peer.
    HRESULT Disconnect(const PinRef& pin);

    // The graph's events since the last call, oldest first, each freed.
    HRESULT TakeEvents(std::vector<GraphEvent>* pEvents);
    // Position and duration in 100 ns units; S_FALSE when the graph cannot
    // seek (both 0 then).
    HRESULT GetPosition(LONGLONG* pllPosition, LONGLONG* pllDuration);
    HRESULT Seek(LONGLONG llPosition);

    const GraphData& Graph() const { return m_graph; }
    FILTER_STATE State() const { return m_state; }

private:
    struct FilterHeld
    {
        CComPtr<IBaseFilter> spFilter;
        std::vector<CComPtr<IPin>> pins;
        std::vector<CComPtr<IPin>> peers; // of the output pins, for the signature
    };

    // Attach, and CreateNew and Load with bOwn.
    HRESULT Hold(IUnknown* pGraph, bool bOwn);
    // The pins of a connection or a render, by the last read; null when the
    // index is not one of them.
    IPin* HeldPin(const PinRef& pin) const;
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
    bool m_bOwn;      // made here, not attached to

    // The editor's tests reach the own graph's COM object through it.
    friend class CGraphHolderProbe;
};
