// The video stand-ins' "codec": a frame becomes an 8x8-downscaled luma
// picture, sent whole in a key frame and as a run-length coded difference to
// the previous frame in a delta frame. Lossless on the small picture, so a
// decoder that misses a frame, or starts on a delta, shows it.
#pragma once

#include <windows.h>

#include <vector>

// Every coded frame starts with this header.
#pragma pack(push, 1)
struct CODED_FRAME_HEADER
{
    DWORD dwMagic;        // c_dwCodedFrameMagic
    DWORD dwFrame;        // frame number since the stream started
    WORD wWidth;          // of the small picture
    WORD wHeight;
    BYTE bKey;            // 1: key frame (the picture); 0: delta (runs)
    BYTE rgReserved[3];
};
#pragma pack(pop)

const DWORD c_dwCodedFrameMagic = 0x31465643; // "CVF1"

class CFrameCoder
{
public:
    static const int c_nScale = 8;

    // The source: RGB32 (bottom-up) or YUY2 frames of the given size.
    void SetSource(int nWidth, int nHeight, bool bYUY2);
    // The largest coded frame for this source.
    DWORD MaxCodedSize() const;
    // Forgets the reference: the next frame must be a key frame.
    void Reset();
    // Codes one frame; a delta frame without a reference becomes a key frame.
    // Returns the coded size, 0 when pbOut is too small.
    DWORD Encode(const BYTE* pbFrame, bool bKey, BYTE* pbOut, DWORD cbOut);

    // The small luma picture of a source frame, top row first.
    std::vector<BYTE> Picture(const BYTE* pbFrame) const;

private:
    int m_nWidth = 0;
    int m_nHeight = 0;
    bool m_bYUY2 = false;
    DWORD m_dwFrame = 0;
    std::vector<BYTE> m_reference;
};

// Decodes coded frames in order; false for a frame it cannot decode (bad
// header, or a delta without a key frame before it).
class CFrameDecoder
{
public:
    bool Decode(const BYTE* pb, DWORD cb);
    const std::vector<BYTE>& Picture() const { return m_picture; }
    const CODED_FRAME_HEADER& Header() const { return m_header; }

private:
    std::vector<BYTE> m_picture;
    CODED_FRAME_HEADER m_header = {};
};
