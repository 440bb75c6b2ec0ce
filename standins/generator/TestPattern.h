// What the Ormidex Video Generator draws and plays: moving test patterns in
// RGB32 or YUY2, a frame-number strip, and a sine tone in 16-bit PCM.
#pragma once

#include <windows.h>

struct CFrameLayout
{
    int nWidth;
    int nHeight;
    bool bYUY2;     // else RGB32, bottom-up as a DIB
    LONG cbStride;  // bytes per row

    static CFrameLayout Make(int nWidth, int nHeight, bool bYUY2);
    DWORD ImageSize() const { return static_cast<DWORD>(cbStride) * nHeight; }
};

enum EPattern
{
    ePatternColorBars = 0,   // still bars
    ePatternMovingBars = 1,  // bars that scroll left, 4 pixels a frame
    ePatternChecker = 2,     // a checkerboard that moves diagonally
    ePatternCount
};

enum EOverlay
{
    eOverlayNone = 0,
    eOverlayFrameNumber = 1, // the frame number as 32 black and white cells
    eOverlayCount
};

void DrawPattern(BYTE* pbFrame, const CFrameLayout& layout, LONG nPattern, ULONGLONG iFrame);
void DrawFrameNumber(BYTE* pbFrame, const CFrameLayout& layout, ULONGLONG iFrame);
// The frame number that DrawFrameNumber left in a frame.
DWORD ReadFrameNumber(const BYTE* pbFrame, const CFrameLayout& layout);

// cSamples of a mono sine of dHz at quarter scale, the first being sample
// iFirst of the stream, so that consecutive buffers join without a click.
void FillTone(short* psSamples, size_t cSamples, ULONGLONG iFirst, int nRate, double dHz);
