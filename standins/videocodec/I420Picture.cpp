#include "I420Picture.h"

namespace {

// Fixed-point BT.601 studio-swing coefficients (scaled by 256).
inline BYTE LumaOf(int r, int g, int b)
{
    return static_cast<BYTE>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}

inline BYTE CbOf(int r, int g, int b)
{
    return static_cast<BYTE>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
}

inline BYTE CrOf(int r, int g, int b)
{
    return static_cast<BYTE>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

} // namespace

void CI420Picture::SetSize(int nWidth, int nHeight)
{
    m_nWidth = nWidth & ~1;
    m_nHeight = nHeight & ~1;
    m_buffer.assign(LumaSize() * 3 / 2, 0);
}

void CI420Picture::FromRGB32(const BYTE* pbFrame)
{
    const size_t cbRow = static_cast<size_t>(m_nWidth) * 4;
    for (int y = 0; y < m_nHeight; y += 2)
    {
        // Two picture rows from the bottom-up buffer.
        const BYTE* pbTop = pbFrame + (m_nHeight - 1 - y) * cbRow;
        const BYTE* pbBottom = pbTop - cbRow;
        BYTE* pbY0 = Y() + static_cast<size_t>(y) * StrideY();
        BYTE* pbY1 = pbY0 + StrideY();
        BYTE* pbU = U() + static_cast<size_t>(y / 2) * StrideUV();
        BYTE* pbV = V() + static_cast<size_t>(y / 2) * StrideUV();
        for (int x = 0; x < m_nWidth; x += 2)
        {
            int r = 0, g = 0, b = 0;
            for (const BYTE* pb : {pbTop + 4 * x, pbTop + 4 * x + 4, pbBottom + 4 * x, pbBottom + 4 * x + 4})
            {
                b += pb[0];
                g += pb[1];
                r += pb[2];
            }
            pbY0[x] = LumaOf(pbTop[4 * x + 2], pbTop[4 * x + 1], pbTop[4 * x]);
            pbY0[x + 1] = LumaOf(pbTop[4 * x + 6], pbTop[4 * x + 5], pbTop[4 * x + 4]);
            pbY1[x] = LumaOf(pbBottom[4 * x + 2], pbBottom[4 * x + 1], pbBottom[4 * x]);
            pbY1[x + 1] = LumaOf(pbBottom[4 * x + 6], pbBottom[4 * x + 5], pbBottom[4 * x + 4]);
            pbU[x / 2] = CbOf(r / 4, g / 4, b / 4);
            pbV[x / 2] = CrOf(r / 4, g / 4, b / 4);
        }
    }
}

void CI420Picture::FromYUY2(const BYTE* pbFrame)
{
    const size_t cbRow = static_cast<size_t>(m_nWidth) * 2;
    for (int y = 0; y < m_nHeight; y += 2)
    {
        const BYTE* pbTop = pbFrame + y * cbRow;
        const BYTE* pbBottom = pbTop + cbRow;
        BYTE* pbY0 = Y() + static_cast<size_t>(y) * StrideY();
        BYTE* pbY1 = pbY0 + StrideY();
        BYTE* pbU = U() + static_cast<size_t>(y / 2) * StrideUV();
        BYTE* pbV = V() + static_cast<size_t>(y / 2) * StrideUV();
        // Y0 U Y1 V per pixel pair; the two rows' chroma are averaged.
        for (int x = 0; x < m_nWidth; x += 2)
        {
            pbY0[x] = pbTop[2 * x];
            pbY0[x + 1] = pbTop[2 * x + 2];
            pbY1[x] = pbBottom[2 * x];
            pbY1[x + 1] = pbBottom[2 * x + 2];
            pbU[x / 2] = static_cast<BYTE>((pbTop[2 * x + 1] + pbBottom[2 * x + 1] + 1) / 2);
            pbV[x / 2] = static_cast<BYTE>((pbTop[2 * x + 3] + pbBottom[2 * x + 3] + 1) / 2);
        }
    }
}
