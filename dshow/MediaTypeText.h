// A media type described for people: in one line for lists, and field by
// field for a pin's property page.
#pragma once

#include "atldshow.h"

#include <string>
#include <vector>

// "Video, H264, VideoInfo 720x576, 25.000 fps" or
// "Audio, PCM, WaveFormatEx 48000 Hz, 2 ch, 16 bit"; empty for null.
std::wstring DescribeMediaType(const AM_MEDIA_TYPE* pmt);

struct MediaTypeField
{
    std::wstring name;
    std::wstring value;
};

// Major type, subtype and format type, the sample fields, then those of the
// format block (VIDEOINFOHEADER, VIDEOINFOHEADER2, WAVEFORMATEX) by their
// structure names. A block shorter than its structure is named as such and
// not read. Empty for null.
std::vector<MediaTypeField> MediaTypeFields(const AM_MEDIA_TYPE* pmt);
