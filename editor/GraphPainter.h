// Draws a laid-out graph: filters as rounded boxes with a title band, pins
// as tabs on the box's edge with their names, connections as curves from
// pin to pin. Shapes are drawn with GDI+ for smooth edges, texts with GDI in
// the system's own rendering of its fonts. No window, no COM pointer.
#pragma once

#include "GraphLayout.h"

#include <windows.h>

struct PaintFonts
{
    HFONT hTitle = nullptr;
    HFONT hPin = nullptr;
};

struct PaintSelection
{
    int nFilter = -1;
    int nConnection = -1;
    PinRef pin;            // a selected pin, on the selected filter
    bool bRubber = false;  // a connection being dragged from rgptRubber[0]
    POINT rgptRubber[2] = {};
};

// Draws onto hdc with the graph's (0, 0) at ptOrigin. GDI+ must be started.
void PaintGraph(HDC hdc, POINT ptOrigin, const GraphData& graph, const GraphLayout& layout,
                const PaintSelection& selection, const PaintFonts& fonts);

// Fills rc with the canvas's background, and writes pszMessage in its middle
// when there is one.
void PaintBackground(HDC hdc, const RECT& rc, LPCWSTR pszMessage, HFONT hFont);
