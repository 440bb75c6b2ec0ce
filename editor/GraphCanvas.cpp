#include "GraphCanvas.h"

#include <gdiplus.h>
#include <windowsx.h>

#include <algorithm>

namespace {

const int cyWheelStep = 60;
const int cyLineStep = 20;

int TextWidth(HDC hdc, HFONT hFont, const std::wstring& text)
{
    HGDIOBJ hOld = ::SelectObject(hdc, hFont);
    SIZE size = {};
    ::GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(hdc, hOld);
    return size.cx;
}

int TextHeight(HDC hdc, HFONT hFont)
{
    HGDIOBJ hOld = ::SelectObject(hdc, hFont);
    TEXTMETRICW tm = {};
    ::GetTextMetricsW(hdc, &tm);
    ::SelectObject(hdc, hOld);
    return tm.tmHeight;
}

} // namespace

CGraphCanvas::CGraphCanvas(ICanvasEvents* pEvents)
    : m_pEvents(pEvents), m_hMessageFont(nullptr), m_gdiplusToken(0), m_ptScroll{0, 0},
      m_bInScrollUpdate(false), m_drag(eDragNone), m_ptDragStart{0, 0}, m_ptMoveStart{0, 0}
{
}

CGraphCanvas::~CGraphCanvas()
{
    DeleteFonts();
}

void CGraphCanvas::SetGraph(const GraphData& graph)
{
    std::wstring selected, selectedPin;
    if (m_selection.nFilter >= 0)
        selected = m_graph.filters[m_selection.nFilter].name;
    if (const PinData* pPin = m_graph.Pin(m_selection.pin))
        selectedPin = pPin->name;
    if (m_drag != eDragNone)
        ::ReleaseCapture();
    m_graph = graph;
    m_selection = PaintSelection();
    for (int i = 0; i < static_cast<int>(m_graph.filters.size()); ++i)
    {
        if (selected.empty() || m_graph.filters[i].name != selected)
            continue;
        m_selection.nFilter = i;
        for (int p = 0; p < static_cast<int>(m_graph.filters[i].pins.size()); ++p)
            if (!selectedPin.empty() && m_graph.filters[i].pins[p].name == selectedPin)
                m_selection.pin = {i, p};
    }
    LayOut();
    UpdateScrollBars();
    Invalidate(FALSE);
    // The counts, for whoever reads the window's text (and for tests).
    SetWindowText(DescribeCounts(m_graph).c_str());
}

bool CGraphCanvas::SelectedConnection(ConnectionData* pConnection) const
{
    if (m_selection.nConnection < 0 || m_selection.nConnection >= static_cast<int>(m_layout.connections.size()))
        return false;
    *pConnection = m_layout.connections[m_selection.nConnection].connection;
    return true;
}

void CGraphCanvas::ForgetMoves()
{
    m_moves.clear();
}

void CGraphCanvas::SetMessage(const std::wstring& message)
{
    m_message = message;
    Invalidate(FALSE);
}

POINT CGraphCanvas::Origin() const
{
    RECT rc = {};
    ::GetClientRect(m_hWnd, &rc);
    // A graph smaller than the window sits in its middle.
    POINT pt;
    pt.x = m_layout.size.cx < rc.right ? (rc.right - m_layout.size.cx) / 2 : -m_ptScroll.x;
    pt.y = m_layout.size.cy < rc.bottom ? (rc.bottom - m_layout.size.cy) / 2 : -m_ptScroll.y;
    return pt;
}

LRESULT CGraphCanvas::OnCreate(UINT, WPARAM, LPARAM, BOOL&)
{
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Gdiplus::Ok)
        return -1;
    CreateFonts();
    LayOut();
    return 0;
}

LRESULT CGraphCanvas::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    if (m_gdiplusToken != 0)
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
    m_gdiplusToken = 0;
    return 0;
}

// The system's message font, as dialogs use it; titles in bold.
void CGraphCanvas::CreateFonts()
{
    DeleteFonts();
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof(ncm);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
    LOGFONTW lf = ncm.lfMessageFont;
    m_fonts.hPin = ::CreateFontIndirectW(&lf);
    lf.lfWeight = FW_BOLD;
    m_fonts.hTitle = ::CreateFontIndirectW(&lf);
    lf = ncm.lfMessageFont;
    lf.lfHeight = lf.lfHeight * 5 / 4;
    m_hMessageFont = ::CreateFontIndirectW(&lf);
}

void CGraphCanvas::DeleteFonts()
{
    for (HFONT* phFont : {&m_fonts.hPin, &m_fonts.hTitle, &m_hMessageFont})
    {
        if (*phFont != nullptr)
            ::DeleteObject(*phFont);
        *phFont = nullptr;
    }
}

// Sizes follow the fonts: the rows and bands are a little taller than text.
void CGraphCanvas::LayOut()
{
    HDC hdc = ::GetDC(m_hWnd);
    int cyText = TextHeight(hdc, m_fonts.hPin);
    LayoutMetrics metrics;
    metrics.nTitleHeight = TextHeight(hdc, m_fonts.hTitle) + 12;
    metrics.nPinPitch = cyText + 8;
    metrics.nTabHeight = cyText * 2 / 3 + 2;
    metrics.nTabWidth = metrics.nTabHeight;
    metrics.nPadding = cyText * 3 / 4 + 2;
    metrics.nRowGap = cyText * 2;
    metrics.nColumnGap = cyText * 7;
    metrics.nMargin = cyText * 3 / 2;
    metrics.nMinWidth = cyText * 8;
    metrics.titleWidth = [this, hdc](const std::wstring& text) { return TextWidth(hdc, m_fonts.hTitle, text); };
    metrics.pinWidth = [this, hdc](const std::wstring& text) { return TextWidth(hdc, m_fonts.hPin, text); };
    m_layout = LayOutGraph(m_graph, metrics);
    ::ReleaseDC(m_hWnd, hdc);
    metrics.titleWidth = nullptr;
    metrics.pinWidth = nullptr;
    m_metrics = metrics;
    for (int i = 0; i < static_cast<int>(m_graph.filters.size()); ++i)
    {
        auto it = m_moves.find(m_graph.filters[i].name);
        if (it != m_moves.end())
            MoveFilterPlace(&m_layout, i, it->second, m_metrics);
    }
}

LRESULT CGraphCanvas::OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&)
{
    return 1; // all of it is painted at once in OnPaint
}

LRESULT CGraphCanvas::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    RECT rc = {};
    GetClientRect(&rc);
    // Drawn into a bitmap first and copied in one go: no flicker.
    HDC hdcMem = ::CreateCompatibleDC(hdc);
    HBITMAP hbm = ::CreateCompatibleBitmap(hdc, std::max<LONG>(rc.right, 1), std::max<LONG>(rc.bottom, 1));
    HGDIOBJ hOld = ::SelectObject(hdcMem, hbm);
    LPCWSTR pszMessage = !m_message.empty() ? m_message.c_str() : nullptr;
    PaintBackground(hdcMem, rc, pszMessage, m_hMessageFont);
    if (pszMessage == nullptr)
        PaintGraph(hdcMem, Origin(), m_graph, m_layout, m_selection, m_fonts);
    ::BitBlt(hdc, 0, 0, rc.right, rc.bottom, hdcMem, 0, 0, SRCCOPY);
    ::SelectObject(hdcMem, hOld);
    ::DeleteObject(hbm);
    ::DeleteDC(hdcMem);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CGraphCanvas::OnSize(UINT, WPARAM, LPARAM, BOOL&)
{
    UpdateScrollBars();
    Invalidate(FALSE);
    return 0;
}

void CGraphCanvas::UpdateScrollBars()
{
    if (m_bInScrollUpdate)
        return;
    m_bInScrollUpdate = true;
    // Twice: a bar that appears narrows the area the other one scrolls.
    for (int nPass = 0; nPass < 2; ++nPass)
    {
        RECT rc = {};
        GetClientRect(&rc);
        const int rgnBar[] = {SB_HORZ, SB_VERT};
        const LONG rgcxSize[] = {m_layout.size.cx, m_layout.size.cy};
        const LONG rgcxPage[] = {rc.right, rc.bottom};
        LONG* rgpPos[] = {&m_ptScroll.x, &m_ptScroll.y};
        for (int i = 0; i < 2; ++i)
        {
            *rgpPos[i] = std::max<LONG>(0, std::min<LONG>(*rgpPos[i], rgcxSize[i] - rgcxPage[i]));
            SCROLLINFO si = {};
            si.cbSize = sizeof(si);
            si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
            si.nMin = 0;
            si.nMax = rgcxSize[i] - 1;
            si.nPage = static_cast<UINT>(std::max<LONG>(rgcxPage[i], 0));
            si.nPos = *rgpPos[i];
            ::SetScrollInfo(m_hWnd, rgnBar[i], &si, TRUE);
        }
    }
    m_bInScrollUpdate = false;
}

void CGraphCanvas::ScrollTo(int nBar, int nPos)
{
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE;
    ::GetScrollInfo(m_hWnd, nBar, &si);
    int nMax = std::max<int>(0, si.nMax - static_cast<int>(si.nPage) + 1);
    nPos = std::max(0, std::min(nPos, nMax));
    (nBar == SB_HORZ ? m_ptScroll.x : m_ptScroll.y) = nPos;
    ::SetScrollPos(m_hWnd, nBar, nPos, TRUE);
    Invalidate(FALSE);
}

LRESULT CGraphCanvas::OnScroll(UINT uMsg, WPARAM wParam, LPARAM, BOOL&)
{
    int nBar = uMsg == WM_HSCROLL ? SB_HORZ : SB_VERT;
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    ::GetScrollInfo(m_hWnd, nBar, &si);
    int nPos = si.nPos;
    switch (LOWORD(wParam))
    {
    case SB_LINEUP:
        nPos -= cyLineStep;
        break;
    case SB_LINEDOWN:
        nPos += cyLineStep;
        break;
    case SB_PAGEUP:
        nPos -= static_cast<int>(si.nPage);
        break;
    case SB_PAGEDOWN:
        nPos += static_cast<int>(si.nPage);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        nPos = si.nTrackPos;
        break;
    case SB_TOP:
        nPos = 0;
        break;
    case SB_BOTTOM:
        nPos = si.nMax;
        break;
    default:
        return 0;
    }
    ScrollTo(nBar, nPos);
    return 0;
}

LRESULT CGraphCanvas::OnMouseWheel(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    int nDelta = GET_WHEEL_DELTA_WPARAM(wParam);
    bool bHorizontal = (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) != 0;
    int nBar = bHorizontal ? SB_HORZ : SB_VERT;
    int nPos = bHorizontal ? m_ptScroll.x : m_ptScroll.y;
    ScrollTo(nBar, nPos - nDelta * cyWheelStep / WHEEL_DELTA);
    return 0;
}

GraphHit CGraphCanvas::HitTest(LPARAM lParam) const
{
    POINT ptOrigin = Origin();
    POINT pt = {GET_X_LPARAM(lParam) - ptOrigin.x, GET_Y_LPARAM(lParam) - ptOrigin.y};
    if (!m_message.empty())
        return GraphHit();
    return HitTestGraph(m_layout, pt);
}

POINT CGraphCanvas::GraphPoint(LPARAM lParam) const
{
    POINT ptOrigin = Origin();
    return {GET_X_LPARAM(lParam) - ptOrigin.x, GET_Y_LPARAM(lParam) - ptOrigin.y};
}

void CGraphCanvas::Select(const GraphHit& hit)
{
    m_selection = PaintSelection();
    if (hit.kind == HitKind::Filter || hit.kind == HitKind::Pin)
        m_selection.nFilter = hit.nFilter;
    if (hit.kind == HitKind::Pin)
        m_selection.pin = hit.pin;
    else if (hit.kind == HitKind::Connection)
        m_selection.nConnection = hit.nConnection;
    Invalidate(FALSE);
}

void CGraphCanvas::SelectNext(bool bBack)
{
    // Every filter, then each of its pins, in order.
    std::vector<PinRef> stops;
    for (int f = 0; f < static_cast<int>(m_graph.filters.size()); ++f)
    {
        stops.push_back({f, -1});
        for (int p = 0; p < static_cast<int>(m_graph.filters[f].pins.size()); ++p)
            stops.push_back({f, p});
    }
    if (stops.empty())
        return;
    PinRef current = m_selection.pin.IsValid() ? m_selection.pin : PinRef{m_selection.nFilter, -1};
    int nAt = -1;
    for (int i = 0; i < static_cast<int>(stops.size()); ++i)
        if (stops[i] == current && current.nFilter >= 0)
            nAt = i;
    int cStops = static_cast<int>(stops.size());
    nAt = nAt < 0 ? (bBack ? cStops - 1 : 0) : (nAt + (bBack ? cStops - 1 : 1)) % cStops;
    m_selection = PaintSelection();
    m_selection.nFilter = stops[nAt].nFilter;
    if (stops[nAt].nPin >= 0)
        m_selection.pin = stops[nAt];
    Invalidate(FALSE);
}

LRESULT CGraphCanvas::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    ::SetFocus(m_hWnd);
    GraphHit hit = HitTest(lParam);
    Select(hit);
    if (hit.kind == HitKind::Pin)
        m_drag = eDragPin, m_dragPin = hit.pin;
    else if (hit.kind == HitKind::Filter)
    {
        m_drag = eDragFilter;
        auto it = m_moves.find(m_graph.filters[hit.nFilter].name);
        m_ptMoveStart = it != m_moves.end() ? it->second : POINT{0, 0};
    }
    if (m_drag != eDragNone)
    {
        m_ptDragStart = GraphPoint(lParam);
        ::SetCapture(m_hWnd);
    }
    return 0;
}

LRESULT CGraphCanvas::OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    POINT pt = GraphPoint(lParam);
    if (m_drag == eDragPin)
    {
        const PinPlace& place = m_layout.filters[m_dragPin.nFilter].pins[m_dragPin.nPin];
        m_selection.bRubber = true;
        m_selection.rgptRubber[0] = place.ptAnchor;
        m_selection.rgptRubber[1] = pt;
        Invalidate(FALSE);
    }
    else if (m_drag == eDragFilter && m_selection.nFilter >= 0)
    {
        POINT ptMove = {m_ptMoveStart.x + pt.x - m_ptDragStart.x, m_ptMoveStart.y + pt.y - m_ptDragStart.y};
        m_moves[m_graph.filters[m_selection.nFilter].name] = ptMove;
        LayOut();
        UpdateScrollBars();
        Invalidate(FALSE);
    }
    return 0;
}

LRESULT CGraphCanvas::OnLButtonUp(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    EDrag drag = m_drag;
    PinRef from = m_dragPin;
    EndDrag();
    if (drag != eDragPin)
        return 0;
    GraphHit hit = HitTest(lParam);
    const PinData* pFrom = m_graph.Pin(from);
    const PinData* pTo = hit.kind == HitKind::Pin ? m_graph.Pin(hit.pin) : nullptr;
    if (pFrom == nullptr || pTo == nullptr || pFrom->bInput == pTo->bInput)
        return 0;
    if (pFrom->bInput)
        m_pEvents->OnConnectPins(hit.pin, from);
    else
        m_pEvents->OnConnectPins(from, hit.pin);
    return 0;
}

LRESULT CGraphCanvas::OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&)
{
    // Lost to another window: the drag ends where it is.
    m_drag = eDragNone;
    if (m_selection.bRubber)
    {
        m_selection.bRubber = false;
        Invalidate(FALSE);
    }
    return 0;
}

void CGraphCanvas::EndDrag()
{
    if (m_drag == eDragNone)
        return;
    ::ReleaseCapture(); // WM_CAPTURECHANGED clears the drag
    m_drag = eDragNone;
    m_selection.bRubber = false;
    Invalidate(FALSE);
}

LRESULT CGraphCanvas::OnContextMenu(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (pt.x == -1 && pt.y == -1)
    {
        // From the keyboard: at the selection, or the canvas's corner.
        POINT ptOrigin = Origin();
        pt = {8, 8};
        if (m_selection.nFilter >= 0)
        {
            const RECT& rc = m_layout.filters[m_selection.nFilter].rcTitle;
            pt = {rc.left + ptOrigin.x + 8, rc.bottom + ptOrigin.y};
        }
        ::ClientToScreen(m_hWnd, &pt);
    }
    else
    {
        POINT ptClient = pt;
        ::ScreenToClient(m_hWnd, &ptClient);
        Select(HitTest(MAKELPARAM(ptClient.x, ptClient.y)));
    }
    m_pEvents->OnCanvasMenu(pt);
    return 0;
}

LRESULT CGraphCanvas::OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&)
{
    return DLGC_WANTARROWS | DLGC_WANTTAB;
}

LRESULT CGraphCanvas::OnLButtonDblClk(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    GraphHit hit = HitTest(lParam);
    Select(hit);
    switch (hit.kind)
    {
    case HitKind::Filter:
        m_pEvents->OnOpenFilter(hit.nFilter);
        break;
    case HitKind::Pin:
        m_pEvents->OnOpenPin(hit.pin);
        break;
    case HitKind::Connection:
        m_pEvents->OnOpenPin(m_layout.connections[hit.nConnection].connection.from);
        break;
    case HitKind::None:
        break;
    }
    return 0;
}

LRESULT CGraphCanvas::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    struct Key
    {
        WPARAM vk;
        UINT uMsg;
        WORD wCode;
    };
    static const Key rgKeys[] = {
        {VK_LEFT, WM_HSCROLL, SB_LINEUP},   {VK_RIGHT, WM_HSCROLL, SB_LINEDOWN}, {VK_UP, WM_VSCROLL, SB_LINEUP},
        {VK_DOWN, WM_VSCROLL, SB_LINEDOWN}, {VK_PRIOR, WM_VSCROLL, SB_PAGEUP},   {VK_NEXT, WM_VSCROLL, SB_PAGEDOWN},
        {VK_HOME, WM_VSCROLL, SB_TOP},      {VK_END, WM_VSCROLL, SB_BOTTOM},
    };
    for (const Key& key : rgKeys)
    {
        if (key.vk == wParam)
        {
            SendMessage(key.uMsg, key.wCode);
            return 0;
        }
    }
    if (wParam == VK_RETURN && m_selection.pin.IsValid())
    {
        m_pEvents->OnOpenPin(m_selection.pin);
        return 0;
    }
    if (wParam == VK_RETURN && m_selection.nFilter >= 0)
    {
        m_pEvents->OnOpenFilter(m_selection.nFilter);
        return 0;
    }
    if (wParam == VK_TAB)
    {
        SelectNext(::GetKeyState(VK_SHIFT) < 0);
        return 0;
    }
    if (wParam == VK_ESCAPE && m_drag != eDragNone)
    {
        EndDrag();
        return 0;
    }
    bHandled = FALSE;
    return 0;
}
