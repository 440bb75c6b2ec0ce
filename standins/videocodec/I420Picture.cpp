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
        // Each 2x2 block: four lumas, and the chroma of their mean.
        for (int x = 0; x < m_nWidth; x += 2)
        {
            const BYTE* pa = pbTop + 4 * x;
            const BYTE* pc = pbBottom + 4 * x;
            pbY0[x] = LumaOf(pa[2], pa[1], pa[0]);
            pbY0[x + 1] = LumaOf(pa[6], pa[5], pa[4]);
            pbY1[x] = LumaOf(pc[2], pc[1], pc[0]);
            pbY1[x + 1] = LumaOf(pc[6], pc[5], pc[4]);
            int b = (pa[0] + pa[4] + pc[0] + pc[4]) / 4;
            int g = (pa[1] + pa[5] + pc[1] + pc[5]) / 4;
            int r = (pa[2] + pa[6] + pc[2] + pc[6]) / 4;
            pbU[x / 2] = CbOf(r, g, b);
            pbV[x / 2] = CrOf(r, g, b);
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
