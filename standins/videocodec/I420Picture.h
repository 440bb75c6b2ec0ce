// A picture in planar 4:2:0 YUV (I420), the input that the video codec
// libraries take, and its conversion from the RGB32 and YUY2 frames that
// capture sources and the generator give.
#pragma once

#include <windows.h>

#include <vector>

class CI420Picture
{
public:
    // Even sizes only: each chroma sample covers 2x2 luma samples.
    void SetSize(int nWidth, int nHeight);
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }

    BYTE* Y() { return m_buffer.data(); }
    BYTE* U() { return Y() + LumaSize(); }
    BYTE* V() { return U() + LumaSize() / 4; }
    const BYTE* Y() const { return m_buffer.data(); }
    const BYTE* U() const { return Y() + LumaSize(); }
    const BYTE* V() const { return U() + LumaSize() / 4; }
    int StrideY() const { return m_nWidth; }
    int StrideUV() const { return m_nWidth / 2; }

    // BT.601 limited range, as the codecs and their decoders assume.
    // RGB32 rows run bottom-up (a DIB); YUY2 rows top-down.
    void FromRGB32(const BYTE* pbFrame);
    void FromYUY2(const BYTE* pbFrame);

private:
    size_t LumaSize() const { return static_cast<size_t>(m_nWidth) * m_nHeight; }

    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<BYTE> m_buffer;
};
