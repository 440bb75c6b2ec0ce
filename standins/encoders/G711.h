// G.711 companding of 16-bit linear PCM, as the ITU's reference coder does
// it: negative values by their one's complement, A-law with even bits
// inverted, u-law with all bits inverted.
#pragma once

#include <windows.h>

BYTE LinearToALaw(short sSample);
BYTE LinearToMuLaw(short sSample);
// Whole buffers: one byte out for each sample in.
void EncodeALaw(const short* psIn, size_t cSamples, BYTE* pbOut);
void EncodeMuLaw(const short* psIn, size_t cSamples, BYTE* pbOut);
