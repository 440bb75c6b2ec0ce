// The window that shows a graph: lays it out for its fonts, draws it without
// flicker (into a bitmap first), scrolls when it is larger than the window
// (also with the arrow and page keys), selects what is clicked and reports
// what is double-clicked (or the selected filter on Enter). It holds the
// graph as plain data, never a COM pointer.
#pragma once

#include "GraphHitTest.h"
#include "GraphPainter.h"

#include "atlwin.h"

#include <map>

class ICanvasEvents
{
public:
    virtual void OnOpenFilter(int nFilter) = 0;
    // A pin, or the output pin of a connection.
    virtual void OnOpenPin(const PinRef& pin) = 0;
    // A drag from one pin to another: from is the output pin.
    virtual void OnConnectPins(const PinRef& from, const PinRef& to) = 0;
    // The context menu for the selection, at ptScreen.
    virtual void OnCanvasMenu(POINT ptScreen) = 0;

protected:
    ~ICanvasEvents() = default;
};

class CGraphCanvas : public CWindowImpl<CGraphCanvas>
{
public:
    DECLARE_WND_CLASS_EX(L"CorvastaGraphCanvas", CS_DBLCLKS, COLOR_WINDOW)

    explicit CGraphCanvas(ICanvasEvents* pEvents);
    ~CGraphCanvas();

    // Shows graph; the selection stays on a filter of the same name.
    void SetGraph(const GraphData& graph);
    // A line in the middle of the canvas, for an empty or lost graph.
    void SetMessage(const std::wstring& message);

    const GraphData& Graph() const { return m_graph; }
    const GraphLayout& Layout() const { return m_layout; }
    int SelectedFilter() const { return m_selection.nFilter; }
    // The selected pin (on the selected filter), or an invalid one.
    PinRef SelectedPin() const { return m_selection.pin; }
    // The selected connection; false when none is.
    bool SelectedConnection(ConnectionData* pConnection) const;
    // Where filters were dragged to is kept by name until this is called
    // (for a graph that is not the same one).
    void ForgetMoves();
    // Where the graph's (0, 0) is in the client area.
    POINT Origin() const;

    BEGIN_MSG_MAP(CGraphCanvas)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_HSCROLL, OnScroll)
        MESSAGE_HANDLER(WM_VSCROLL, OnScroll)
        MESSAGE_HANDLER(WM_MOUSEWHEEL, OnMouseWheel)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
        MESSAGE_HANDLER(WM_CAPTURECHANGED, OnCaptureChanged)
        MESSAGE_HANDLER(WM_CONTEXTMENU, OnContextMenu)
        MESSAGE_HANDLER(WM_GETDLGCODE, OnGetDlgCode)
        MESSAGE_HANDLER(WM_LBUTTONDBLCLK, OnLButtonDblClk)
        MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
    END_MSG_MAP()

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnScroll(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseWheel(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnContextMenu(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDblClk(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnKeyDown(UINT, WPARAM, LPARAM, BOOL&);

    void CreateFonts();
    void DeleteFonts();
    void LayOut();
    void UpdateScrollBars();
    void ScrollTo(int nBar, int nPos);
    GraphHit HitTest(LPARAM lParam) const;
    POINT GraphPoint(LPARAM lParam) const;
    void Select(const GraphHit& hit);
    // Tab and Shift+Tab: through each filter and its pins.
    void SelectNext(bool bBack);
    void EndDrag();

    enum EDrag
    {
        eDragNone,
        eDragPin,    // drawing a connection from m_dragPin
        eDragFilter, // moving m_selection.nFilter
    };

    ICanvasEvents* m_pEvents;
    GraphData m_graph;
    GraphLayout m_layout;
    PaintSelection m_selection;
    std::wstring m_message;
    PaintFonts m_fonts;
    HFONT m_hMessageFont;
    ULONG_PTR m_gdiplusToken;
    POINT m_ptScroll; // the graph's point at the client area's top left
    bool m_bInScrollUpdate; // showing a scroll bar resizes the client area
    LayoutMetrics m_metrics;
    std::map<std::wstring, POINT> m_moves; // filter name -> where it was dragged, from its laid-out place
    EDrag m_drag;
    PinRef m_dragPin;
    POINT m_ptDragStart; // in graph coordinates
    POINT m_ptMoveStart; // the filter's move when the drag began
};
