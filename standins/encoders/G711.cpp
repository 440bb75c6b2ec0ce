#include "G711.h"

BYTE LinearToALaw(short sSample)
{
    // 12-bit magnitude; segments double from 16 steps of 1 upward.
    int nMagnitude = (sSample < 0 ? ~sSample : sSample) >> 4;
    if (nMagnitude > 15)
    {
        int nExponent = 1;
        while (nMagnitude > 16 + 15)
        {
            nMagnitude >>= 1;
            ++nExponent;
        }
        nMagnitude = (nMagnitude - 16) + (nExponent << 4);
    }
    if (sSample >= 0)
        nMagnitude |= 0x80;
    return static_cast<BYTE>(nMagnitude ^ 0x55);
}

BYTE LinearToMuLaw(short sSample)
{
    // 14-bit magnitude plus the bias of 33, clipped to 13 bits.
    int nBiased = ((sSample < 0 ? ~sSample : sSample) >> 2) + 33;
    if (nBiased > 0x1FFF)
        nBiased = 0x1FFF;
    int nSegment = 1;
    for (int i = nBiased >> 6; i != 0; i >>= 1)
        ++nSegment;
    int nHigh = 8 - nSegment;
    int nLow = 0x0F - ((nBiased >> nSegment) & 0x0F);
    int nCode = (nHigh << 4) | nLow;
    if (sSample >= 0)
        nCode |= 0x80;
    return static_cast<BYTE>(nCode);
}

void EncodeALaw(const short* psIn, size_t cSamples, BYTE* pbOut)
{
    for (size_t i = 0; i < cSamples; ++i)
        pbOut[i] = LinearToALaw(psIn[i]);
}

void EncodeMuLaw(const short* psIn, size_t cSamples, BYTE* pbOut)
{
    for (size_t i = 0; i < cSamples; ++i)
        pbOut[i] = LinearToMuLaw(psIn[i]);
}
