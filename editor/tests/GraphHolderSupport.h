// What the graph holder's tests share: a recorder of its reports, references
// counted, and filters and pins of the plain graph found by name.
#pragma once

#include "editor/GraphHolder.h"

#include <string>
#include <vector>

class CRecorder : public IGraphEvents
{
public:
    void OnGraphRead(const GraphData& graph) override { m_reads.push_back(graph); }
    void OnStateChanged(FILTER_STATE state) override { m_states.push_back(state); }
    void OnGraphLost(HRESULT hr) override { m_losts.push_back(hr); }
    void Clear()
    {
        m_reads.clear();
        m_states.clear();
        m_losts.clear();
    }

    std::vector<GraphData> m_reads;
    std::vector<FILTER_STATE> m_states;
    std::vector<HRESULT> m_losts;
};

inline ULONG RefCount(IUnknown* pUnknown)
{
    pUnknown->AddRef();
    return pUnknown->Release();
}

inline PinRef FindPin(const GraphData& graph, const std::wstring& filter, const wchar_t* pszPin)
{
    for (int f = 0; f < static_cast<int>(graph.filters.size()); ++f)
        for (int p = 0; p < static_cast<int>(graph.filters[f].pins.size()); ++p)
            if (graph.filters[f].name == filter && graph.filters[f].pins[p].name == pszPin)
                return {f, p};
    return {};
}

inline int FindFilterIndex(const GraphData& graph, const std::wstring& filter)
{
    for (int f = 0; f < static_cast<int>(graph.filters.size()); ++f)
        if (graph.filters[f].name == filter)
            return f;
    return -1;
}
