// Subtypes made from a FOURCC or a wave format tag: the code in Data1 and a
// tail they all share (MEDIASUBTYPE_YUY2, MEDIASUBTYPE_PCM, 'H264', ...).
#pragma once

#include <windows.h>

constexpr GUID FourCCSubtype(DWORD dwFourCC)
{
    return GUID{dwFourCC, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}

// true and the code for a subtype of that family; otherwise *pdwFourCC is
// left alone.
inline bool IsFourCCSubtype(REFGUID subtype, DWORD* pdwFourCC)
{
    if (subtype != FourCCSubtype(subtype.Data1))
        return false;
    *pdwFourCC = subtype.Data1;
    return true;
}
