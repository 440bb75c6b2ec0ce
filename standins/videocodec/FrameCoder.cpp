#include "FrameCoder.h"

#include <cstring>

void CFrameCoder::SetSource(int nWidth, int nHeight, bool bYUY2)
{
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_bYUY2 = bYUY2;
    Reset();
}

void CFrameCoder::Reset()
{
    m_dwFrame = 0;
    m_reference.clear();
}

DWORD CFrameCoder::MaxCodedSize() const
{
    // A delta of no zero differences is as long as the picture; runs never
    // grow it beyond twice.
    DWORD cPixels = static_cast<DWORD>((m_nWidth / c_nScale) * (m_nHeight / c_nScale));
    return sizeof(CODED_FRAME_HEADER) + 2 * cPixels;
}

std::vector<BYTE> CFrameCoder::Picture(const BYTE* pbFrame) const
{
    int cx = m_nWidth / c_nScale, cy = m_nHeight / c_nScale;
    std::vector<BYTE> picture(static_cast<size_t>(cx) * cy);
    int cbStride = m_bYUY2 ? m_nWidth * 2 : m_nWidth * 4;
    for (int y = 0; y < cy; ++y)
    {
        // The middle pixel of each block: RGB32 rows run bottom-up.
        int yFrame = y * c_nScale + c_nScale / 2;
        int yBuffer = m_bYUY2 ? yFrame : m_nHeight - 1 - yFrame;
        const BYTE* pbRow = pbFrame + static_cast<size_t>(yBuffer) * cbStride;
        for (int x = 0; x < cx; ++x)
        {
            int xFrame = x * c_nScale + c_nScale / 2;
            BYTE bLuma;
            if (m_bYUY2)
            {
                bLuma = pbRow[2 * xFrame];
            }
            else
            {
                const BYTE* pb = pbRow + 4 * xFrame;
                bLuma = static_cast<BYTE>((29 * pb[0] + 150 * pb[1] + 77 * pb[2]) >> 8);
            }
            picture[static_cast<size_t>(y) * cx + x] = bLuma;
        }
    }
    return picture;
}

DWORD CFrameCoder::Encode(const BYTE* pbFrame, bool bKey, BYTE* pbOut, DWORD cbOut)
{
    if (cbOut < MaxCodedSize())
        return 0;
    std::vector<BYTE> picture = Picture(pbFrame);
    if (m_reference.size() != picture.size())
        bKey = true;
    CODED_FRAME_HEADER header = {};
    header.dwMagic = c_dwCodedFrameMagic;
    header.dwFrame = m_dwFrame++;
    header.wWidth = static_cast<WORD>(m_nWidth / c_nScale);
    header.wHeight = static_cast<WORD>(m_nHeight / c_nScale);
    header.bKey = bKey ? 1 : 0;
    memcpy(pbOut, &header, sizeof(header));
    BYTE* pb = pbOut + sizeof(header);
    if (bKey)
    {
        memcpy(pb, picture.data(), picture.size());
        pb += picture.size();
    }
    else
    {
        // A difference of 0 is a run: 0x00 and a count of 1 to 255; any
        // other difference is itself.
        for (size_t i = 0; i < picture.size();)
        {
            BYTE bDiff = static_cast<BYTE>(picture[i] - m_reference[i]);
            if (bDiff != 0)
            {
                *pb++ = bDiff;
                ++i;
                continue;
            }
            BYTE cRun = 0;
            while (i < picture.size() && cRun < 255 && picture[i] == m_reference[i])
            {
                ++cRun;
                ++i;
            }
            *pb++ = 0;
            *pb++ = cRun;
        }
    }
    m_reference.swap(picture);
    return static_cast<DWORD>(pb - pbOut);
}

bool CFrameDecoder::Decode(const BYTE* pb, DWORD cb)
{
    if (cb < sizeof(CODED_FRAME_HEADER))
        return false;
    CODED_FRAME_HEADER header;
    memcpy(&header, pb, sizeof(header));
    if (header.dwMagic != c_dwCodedFrameMagic)
        return false;
    size_t cPixels = static_cast<size_t>(header.wWidth) * header.wHeight;
    const BYTE* pbData = pb + sizeof(header);
    const BYTE* pbEnd = pb + cb;
    if (header.bKey)
    {
        if (static_cast<size_t>(pbEnd - pbData) != cPixels)
            return false;
        m_picture.assign(pbData, pbEnd);
    }
    else
    {
        if (m_picture.size() != cPixels)
            return false;
        size_t i = 0;
        while (pbData < pbEnd && i < cPixels)
        {
            BYTE b = *pbData++;
            if (b != 0)
            {
                m_picture[i++] += b;
                continue;
            }
            if (pbData == pbEnd)
                return false;
            i += *pbData++;
        }
        if (i != cPixels || pbData != pbEnd)
            return false;
    }
    m_header = header;
    return true;
}
