// What the editor knows of a graph: plain data that the graph holder reads
// and the view shows. It holds no COM pointer, so the view can keep it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct PinRef
{
    int nFilter = -1;
    int nPin = -1;

    bool IsValid() const { return nFilter >= 0 && nPin >= 0; }
    bool operator==(const PinRef& other) const { return nFilter == other.nFilter && nPin == other.nPin; }
    bool operator!=(const PinRef& other) const { return !(*this == other); }
};

struct PinData
{
    std::wstring name;
    bool bInput = false;
    PinRef peer; // the pin it is connected to; invalid when unconnected
};

struct FilterData
{
    std::wstring name;
    std::vector<PinData> pins; // in the filter's own order
};

// A connection runs from an output pin to an input pin.
struct ConnectionData
{
    PinRef from;
    PinRef to;
};

struct GraphData
{
    std::vector<FilterData> filters;

    const PinData* Pin(const PinRef& ref) const
    {
        if (!ref.IsValid() || ref.nFilter >= static_cast<int>(filters.size()))
            return nullptr;
        const FilterData& filter = filters[ref.nFilter];
        return ref.nPin < static_cast<int>(filter.pins.size()) ? &filter.pins[ref.nPin] : nullptr;
    }
    // Each connection once, from its output pin, in filter and pin order.
    std::vector<ConnectionData> Connections() const;
};

// An event of the graph as IMediaEvent::GetEvent gave it.
struct GraphEvent
{
    long lCode = 0;
    LONG_PTR lParam1 = 0;
    LONG_PTR lParam2 = 0;
};

// "EC_COMPLETE (0x01): 0x00000000, 0x00000000": the code's name where it has
// one, and its parameters.
std::wstring DescribeEvent(const GraphEvent& event);

// "4 filters, 4 connections"
std::wstring DescribeCounts(const GraphData& graph);
