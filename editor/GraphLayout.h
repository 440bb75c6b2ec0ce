// Where each filter, pin and connection of a graph goes: pure geometry, in
// pixels, with no window and no device context. Data flows left to right:
// a filter's column is the length of the longest path to it from a source.
#pragma once

#include "GraphModel.h"

#include <windows.h>

#include <functional>

struct LayoutMetrics
{
    int nMargin = 16;      // around the whole graph
    int nColumnGap = 72;   // between columns, room for the pin tabs and the curves
    int nRowGap = 24;      // between boxes of one column
    int nTitleHeight = 24; // the band with the filter's name
    int nPinPitch = 22;    // from one pin row to the next
    int nTabWidth = 10;    // how far a pin's tab stands out of the box
    int nTabHeight = 12;
    int nPadding = 10;     // inside the box, around texts
    int nMinWidth = 120;
    // Widths of texts as the canvas will draw them.
    std::function<int(const std::wstring&)> titleWidth;
    std::function<int(const std::wstring&)> pinWidth;
};

struct PinPlace
{
    RECT rcTab;      // the tab on the box's edge
    RECT rcLabel;    // the pin's name, inside the box
    POINT ptAnchor;  // where connections meet the tab: its outer edge
};

struct FilterPlace
{
    RECT rcBox;
    RECT rcTitle;
    int nColumn = 0;
    std::vector<PinPlace> pins; // as in FilterData::pins
};

struct ConnectionPlace
{
    ConnectionData connection;
    POINT rgpt[4]; // a cubic Bezier curve from the output anchor to the input anchor
};

struct GraphLayout
{
    std::vector<FilterPlace> filters; // as in GraphData::filters
    std::vector<ConnectionPlace> connections;
    SIZE size = {0, 0}; // everything lies inside (0, 0) to size
};

GraphLayout LayOutGraph(const GraphData& graph, const LayoutMetrics& metrics);

// The curve of pPlace->connection between its pins' anchors.
void PlaceCurve(const GraphLayout& layout, int nColumnGap, ConnectionPlace* pPlace);

// Moves a filter by ptOffset (kept inside the margins), with its pins and
// the curves of its connections; the layout grows to hold it.
void MoveFilterPlace(GraphLayout* pLayout, int nFilter, POINT ptOffset, const LayoutMetrics& metrics);

// Points along a connection's curve, for hit-testing and drawing alike.
std::vector<POINT> FlattenCurve(const POINT rgpt[4], int nSegments = 24);
