// The format block of a media type as its structure: null when the type has
// another format type, or a block too short for the structure.
#pragma once

#include "atldshow.h"

#include <dvdmedia.h>

const VIDEOINFOHEADER* GetVideoInfo(const AM_MEDIA_TYPE* pmt);
const VIDEOINFOHEADER2* GetVideoInfo2(const AM_MEDIA_TYPE* pmt);
const WAVEFORMATEX* GetWaveFormat(const AM_MEDIA_TYPE* pmt);

// The size of the structure that a format type's block holds; 0 for format
// types without one that we read.
ULONG FormatStructSize(REFGUID formattype);
