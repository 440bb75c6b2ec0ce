#include "GraphModel.h"

#include <string>

std::vector<ConnectionData> GraphData::Connections() const
{
    std::vector<ConnectionData> connections;
    for (int nFilter = 0; nFilter < static_cast<int>(filters.size()); ++nFilter)
    {
        const FilterData& filter = filters[nFilter];
        for (int nPin = 0; nPin < static_cast<int>(filter.pins.size()); ++nPin)
        {
            const PinData& pin = filter.pins[nPin];
            const PinData* pPeer = Pin(pin.peer);
            if (!pin.bInput && pPeer != nullptr && pPeer->bInput)
                connections.push_back({{nFilter, nPin}, pin.peer});
        }
    }
    return connections;
}

std::wstring DescribeCounts(const GraphData& graph)
{
    size_t cFilters = graph.filters.size(), cConnections = graph.Connections().size();
    return std::to_wstring(cFilters) + (cFilters == 1 ? L" filter, " : L" filters, ") +
           std::to_wstring(cConnections) + (cConnections == 1 ? L" connection" : L" connections");
}
