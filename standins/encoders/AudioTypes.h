// Media types of the audio encoders: their 16-bit PCM input and the
// WAVEFORMATEX types they put out.
#pragma once

#include "dshow/MediaType.h"

// The format of a 16-bit PCM type with one or two channels, else null.
const WAVEFORMATEX* Pcm16Format(const AM_MEDIA_TYPE* pmt);

HRESULT MakeAudioType(CMediaType* pmt, REFGUID subtype, WORD wFormatTag, DWORD nSamplesPerSec,
                      WORD nChannels, WORD wBitsPerSample, WORD nBlockAlign,
                      DWORD nAvgBytesPerSec);
