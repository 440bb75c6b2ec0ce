#include "TestPattern.h"

#include <cmath>
#include <vector>

namespace {

struct CRgb
{
    BYTE r, g, b;
};

// 75% bars, in the usual order.
const CRgb c_rgBars[] = {
    {191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
    {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0},
};

const int c_cxChecker = 32;
const int c_cFrameNumberCells = 32;
const int c_cyFrameNumber = 8;

BYTE Clip(int n)
{
    return static_cast<BYTE>(n < 0 ? 0 : n > 255 ? 255 : n);
}

// BT.601 studio range.
void ToYuv(const CRgb& c, BYTE* pY, BYTE* pU, BYTE* pV)
{
    *pY = Clip(((66 * c.r + 129 * c.g + 25 * c.b + 128) >> 8) + 16);
    *pU = Clip(((-38 * c.r - 74 * c.g + 112 * c.b + 128) >> 8) + 128);
    *pV = Clip(((112 * c.r - 94 * c.g - 18 * c.b + 128) >> 8) + 128);
}

// Row y counted from the top of the picture.
BYTE* Row(BYTE* pbFrame, const CFrameLayout& layout, int y)
{
    int yBuffer = layout.bYUY2 ? y : layout.nHeight - 1 - y;
    return pbFrame + static_cast<size_t>(yBuffer) * layout.cbStride;
}

void WriteRow(BYTE* pbRow, const CFrameLayout& layout, const std::vector<CRgb>& rgPixels)
{
    if (!layout.bYUY2)
    {
        for (int x = 0; x < layout.nWidth; ++x)
        {
            pbRow[4 * x + 0] = rgPixels[x].b;
            pbRow[4 * x + 1] = rgPixels[x].g;
            pbRow[4 * x + 2] = rgPixels[x].r;
            pbRow[4 * x + 3] = 0;
        }
        return;
    }
    for (int x = 0; x + 1 < layout.nWidth; x += 2)
    {
        BYTE y0, u0, v0, y1, u1, v1;
        ToYuv(rgPixels[x], &y0, &u0, &v0);
        ToYuv(rgPixels[x + 1], &y1, &u1, &v1);
        BYTE* pb = pbRow + 2 * x;
        pb[0] = y0;
        pb[1] = static_cast<BYTE>((u0 + u1) / 2);
        pb[2] = y1;
        pb[3] = static_cast<BYTE>((v0 + v1) / 2);
    }
}

} // namespace

CFrameLayout CFrameLayout::Make(int nWidth, int nHeight, bool bYUY2)
{
    CFrameLayout layout = {nWidth, nHeight, bYUY2, 0};
    layout.cbStride = bYUY2 ? nWidth * 2 : nWidth * 4;
    return layout;
}

void DrawPattern(BYTE* pbFrame, const CFrameLayout& layout, LONG nPattern, ULONGLONG iFrame)
{
    std::vector<CRgb> rgRow(layout.nWidth);
    if (nPattern != ePatternChecker)
    {
        // Bars change along a row only: one row, copied down the picture.
        int nShift = nPattern == ePatternMovingBars ? static_cast<int>(iFrame * 4 % layout.nWidth) : 0;
        for (int x = 0; x < layout.nWidth; ++x)
        {
            int xSource = (x + nShift) % layout.nWidth;
            rgRow[x] = c_rgBars[xSource * 8 / layout.nWidth];
        }
        WriteRow(Row(pbFrame, layout, 0), layout, rgRow);
        for (int y = 1; y < layout.nHeight; ++y)
            memcpy(Row(pbFrame, layout, y), Row(pbFrame, layout, 0), layout.cbStride);
        return;
    }
    int nOffset = static_cast<int>(iFrame * 2 % (2 * c_cxChecker));
    for (int y = 0; y < layout.nHeight; ++y)
    {
        int yCell = (y + nOffset) / c_cxChecker;
        for (int x = 0; x < layout.nWidth; ++x)
        {
            bool bLight = (((x + nOffset) / c_cxChecker + yCell) & 1) != 0;
            rgRow[x] = bLight ? CRgb{235, 235, 235} : CRgb{16, 16, 16};
        }
        WriteRow(Row(pbFrame, layout, y), layout, rgRow);
    }
}

void DrawFrameNumber(BYTE* pbFrame, const CFrameLayout& layout, ULONGLONG iFrame)
{
    std::vector<CRgb> rgRow(layout.nWidth);
    int cxCell = layout.nWidth / c_cFrameNumberCells;
    for (int x = 0; x < layout.nWidth; ++x)
    {
        int iBit = x / (cxCell ? cxCell : 1);
        bool bSet = iBit < c_cFrameNumberCells && ((iFrame >> (c_cFrameNumberCells - 1 - iBit)) & 1);
        rgRow[x] = bSet ? CRgb{255, 255, 255} : CRgb{0, 0, 0};
    }
    int cy = layout.nHeight < c_cyFrameNumber ? layout.nHeight : c_cyFrameNumber;
    for (int y = layout.nHeight - cy; y < layout.nHeight; ++y)
        WriteRow(Row(pbFrame, layout, y), layout, rgRow);
}

DWORD ReadFrameNumber(const BYTE* pbFrame, const CFrameLayout& layout)
{
    const BYTE* pbRow = Row(const_cast<BYTE*>(pbFrame), layout, layout.nHeight - 1);
    int cxCell = layout.nWidth / c_cFrameNumberCells;
    DWORD dwNumber = 0;
    for (int iBit = 0; iBit < c_cFrameNumberCells; ++iBit)
    {
        int x = iBit * cxCell + cxCell / 2;
        // Luma of the cell's middle pixel (G of RGB32, Y of YUY2).
        BYTE bLuma = layout.bYUY2 ? pbRow[2 * x] : pbRow[4 * x + 1];
        dwNumber = (dwNumber << 1) | (bLuma > 128 ? 1u : 0u);
    }
    return dwNumber;
}

void FillTone(short* psSamples, size_t cSamples, ULONGLONG iFirst, int nRate, double dHz)
{
    const double c_dTwoPi = 6.283185307179586;
    for (size_t i = 0; i < cSamples; ++i)
    {
        // The phase from the sample number alone keeps buffers continuous
        // after a seek as well.
        double dCycles = std::fmod(dHz * static_cast<double>(iFirst + i) / nRate, 1.0);
        psSamples[i] = static_cast<short>(std::lround(8191.0 * std::sin(c_dTwoPi * dCycles)));
    }
}
