#include "GraphPainter.h"

#include <gdiplus.h>

namespace {

namespace gp = Gdiplus;

const COLORREF crBackground = RGB(243, 245, 249);
const COLORREF crMessage = RGB(110, 120, 135);
const COLORREF crPinText = RGB(45, 52, 64);
const COLORREF crTitleText = RGB(255, 255, 255);

const gp::Color clrLine(255, 98, 112, 134);
const gp::Color clrSelected(255, 226, 122, 28);
const gp::Color clrBox(255, 255, 255, 255);
const gp::Color clrBorder(255, 170, 180, 196);
const gp::Color clrShadow(36, 20, 30, 50);
const gp::Color clrTitle(255, 44, 82, 148);
const gp::Color clrInput(255, 62, 150, 92);
const gp::Color clrOutput(255, 52, 116, 196);

const int nRadius = 7;

gp::Rect ToRect(const RECT& rc, POINT ptOrigin)
{
    return gp::Rect(rc.left + ptOrigin.x, rc.top + ptOrigin.y, rc.right - rc.left, rc.bottom - rc.top);
}

// A rectangle with rounded corners; bBottom false keeps the bottom corners
// square (for a title band).
void AddRoundRect(gp::GraphicsPath* pPath, const gp::Rect& rc, int nR, bool bBottom = true)
{
    int d = 2 * nR;
    pPath->AddArc(rc.X, rc.Y, d, d, 180, 90);
    pPath->AddArc(rc.X + rc.Width - d, rc.Y, d, d, 270, 90);
    if (bBottom)
    {
        pPath->AddArc(rc.X + rc.Width - d, rc.Y + rc.Height - d, d, d, 0, 90);
        pPath->AddArc(rc.X, rc.Y + rc.Height - d, d, d, 90, 90);
    }
    else
    {
        pPath->AddLine(rc.X + rc.Width, rc.Y + nR, rc.X + rc.Width, rc.Y + rc.Height);
        pPath->AddLine(rc.X + rc.Width, rc.Y + rc.Height, rc.X, rc.Y + rc.Height);
    }
    pPath->CloseFigure();
}

void DrawConnection(gp::Graphics& g, const ConnectionPlace& place, POINT ptOrigin, bool bSelected)
{
    gp::Point rgpt[4];
    for (int i = 0; i < 4; ++i)
        rgpt[i] = gp::Point(place.rgpt[i].x + ptOrigin.x, place.rgpt[i].y + ptOrigin.y);
    const gp::Color& clr = bSelected ? clrSelected : clrLine;
    gp::Pen pen(clr, bSelected ? 3.0f : 2.0f);
    // The curve stops short of the arrow's tip.
    rgpt[3].X -= 5;
    rgpt[2].X -= 5;
    g.DrawBeziers(&pen, rgpt, 4);
    gp::SolidBrush brush(clr);
    gp::Point rgptArrow[3] = {gp::Point(rgpt[3].X + 5, rgpt[3].Y), gp::Point(rgpt[3].X - 3, rgpt[3].Y - 5),
                              gp::Point(rgpt[3].X - 3, rgpt[3].Y + 5)};
    g.FillPolygon(&brush, rgptArrow, 3);
}

void DrawFilterShape(gp::Graphics& g, const FilterPlace& place, POINT ptOrigin, bool bSelected)
{
    gp::Rect rcBox = ToRect(place.rcBox, ptOrigin);
    gp::Rect rcShadow = rcBox;
    rcShadow.Offset(2, 3);
    gp::GraphicsPath shadow;
    AddRoundRect(&shadow, rcShadow, nRadius);
    gp::SolidBrush brushShadow(clrShadow);
    g.FillPath(&brushShadow, &shadow);

    gp::GraphicsPath box;
    AddRoundRect(&box, rcBox, nRadius);
    gp::SolidBrush brushBox(clrBox);
    g.FillPath(&brushBox, &box);

    gp::GraphicsPath title;
    AddRoundRect(&title, ToRect(place.rcTitle, ptOrigin), nRadius, false);
    gp::SolidBrush brushTitle(bSelected ? clrSelected : clrTitle);
    g.FillPath(&brushTitle, &title);

    gp::Pen penBorder(bSelected ? clrSelected : clrBorder, bSelected ? 2.0f : 1.0f);
    g.DrawPath(&penBorder, &box);
}

void DrawPinTab(gp::Graphics& g, const PinData& pin, const PinPlace& place, POINT ptOrigin, bool bSelected)
{
    gp::Rect rcTab = ToRect(place.rcTab, ptOrigin);
    if (bSelected)
    {
        gp::Rect rcRing = rcTab;
        rcRing.Inflate(3, 3);
        gp::GraphicsPath ring;
        AddRoundRect(&ring, rcRing, 4);
        gp::Pen penRing(clrSelected, 2.0f);
        g.DrawPath(&penRing, &ring);
    }
    gp::GraphicsPath tab;
    AddRoundRect(&tab, rcTab, 3);
    const gp::Color& clr = pin.bInput ? clrInput : clrOutput;
    // A connected pin is filled, an open one hollow.
    gp::SolidBrush brush(pin.peer.IsValid() ? clr : clrBox);
    g.FillPath(&brush, &tab);
    gp::Pen pen(clr, 1.5f);
    g.DrawPath(&pen, &tab);
}

void DrawText(HDC hdc, const std::wstring& text, RECT rc, POINT ptOrigin, UINT uFormat)
{
    ::OffsetRect(&rc, ptOrigin.x, ptOrigin.y);
    ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc,
                uFormat | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

} // namespace

void PaintGraph(HDC hdc, POINT ptOrigin, const GraphData& graph, const GraphLayout& layout,
                const PaintSelection& selection, const PaintFonts& fonts)
{
    {
        gp::Graphics g(hdc);
        g.SetSmoothingMode(gp::SmoothingModeAntiAlias);
        g.SetPixelOffsetMode(gp::PixelOffsetModeHalf);
        for (int i = 0; i < static_cast<int>(layout.connections.size()); ++i)
            DrawConnection(g, layout.connections[i], ptOrigin, i == selection.nConnection);
        for (int i = 0; i < static_cast<int>(layout.filters.size()); ++i)
        {
            const FilterPlace& place = layout.filters[i];
            DrawFilterShape(g, place, ptOrigin, i == selection.nFilter);
            for (size_t nPin = 0; nPin < place.pins.size(); ++nPin)
                DrawPinTab(g, graph.filters[i].pins[nPin], place.pins[nPin], ptOrigin,
                           selection.pin == PinRef{i, static_cast<int>(nPin)});
        }
        if (selection.bRubber)
        {
            gp::Pen pen(clrSelected, 2.0f);
            pen.SetDashStyle(gp::DashStyleDash);
            g.DrawLine(&pen, static_cast<INT>(selection.rgptRubber[0].x + ptOrigin.x),
                       static_cast<INT>(selection.rgptRubber[0].y + ptOrigin.y),
                       static_cast<INT>(selection.rgptRubber[1].x + ptOrigin.x),
                       static_cast<INT>(selection.rgptRubber[1].y + ptOrigin.y));
        }
    }

    int nOldMode = ::SetBkMode(hdc, TRANSPARENT);
    HGDIOBJ hOldFont = ::SelectObject(hdc, fonts.hTitle);
    COLORREF crOld = ::SetTextColor(hdc, crTitleText);
    for (size_t i = 0; i < layout.filters.size(); ++i)
    {
        RECT rc = layout.filters[i].rcTitle;
        ::InflateRect(&rc, -6, 0);
        DrawText(hdc, graph.filters[i].name, rc, ptOrigin, DT_CENTER);
    }
    ::SelectObject(hdc, fonts.hPin);
    ::SetTextColor(hdc, crPinText);
    for (size_t i = 0; i < layout.filters.size(); ++i)
    {
        const FilterPlace& place = layout.filters[i];
        for (size_t nPin = 0; nPin < place.pins.size(); ++nPin)
        {
            const PinData& pin = graph.filters[i].pins[nPin];
            DrawText(hdc, pin.name, place.pins[nPin].rcLabel, ptOrigin, pin.bInput ? DT_LEFT : DT_RIGHT);
        }
    }
    ::SetTextColor(hdc, crOld);
    ::SelectObject(hdc, hOldFont);
    ::SetBkMode(hdc, nOldMode);
}

void PaintBackground(HDC hdc, const RECT& rc, LPCWSTR pszMessage, HFONT hFont)
{
    COLORREF crOld = ::SetBkColor(hdc, crBackground);
    ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(hdc, crOld);
    if (pszMessage == nullptr || *pszMessage == L'\0')
        return;
    int nOldMode = ::SetBkMode(hdc, TRANSPARENT);
    HGDIOBJ hOldFont = ::SelectObject(hdc, hFont);
    COLORREF crOldText = ::SetTextColor(hdc, crMessage);
    RECT rcText = rc;
    ::InflateRect(&rcText, -24, -24);
    ::DrawTextW(hdc, pszMessage, -1, &rcText, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::SetTextColor(hdc, crOldText);
    ::SelectObject(hdc, hOldFont);
    ::SetBkMode(hdc, nOldMode);
}
