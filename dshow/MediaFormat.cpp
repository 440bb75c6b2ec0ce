#include "MediaFormat.h"

namespace {

const BYTE* FormatBlock(const AM_MEDIA_TYPE* pmt, REFGUID formattype)
{
    if (pmt == nullptr || pmt->formattype != formattype || pmt->pbFormat == nullptr ||
        pmt->cbFormat < FormatStructSize(formattype))
        return nullptr;
    return pmt->pbFormat;
}

} // namespace

ULONG FormatStructSize(REFGUID formattype)
{
    if (formattype == FORMAT_VideoInfo)
        return sizeof(VIDEOINFOHEADER);
    if (formattype == FORMAT_VideoInfo2)
        return sizeof(VIDEOINFOHEADER2);
    if (formattype == FORMAT_WaveFormatEx)
        return sizeof(WAVEFORMATEX);
    return 0;
}

const VIDEOINFOHEADER* GetVideoInfo(const AM_MEDIA_TYPE* pmt)
{
    return reinterpret_cast<const VIDEOINFOHEADER*>(FormatBlock(pmt, FORMAT_VideoInfo));
}

const VIDEOINFOHEADER2* GetVideoInfo2(const AM_MEDIA_TYPE* pmt)
{
    return reinterpret_cast<const VIDEOINFOHEADER2*>(FormatBlock(pmt, FORMAT_VideoInfo2));
}

const WAVEFORMATEX* GetWaveFormat(const AM_MEDIA_TYPE* pmt)
{
    return reinterpret_cast<const WAVEFORMATEX*>(FormatBlock(pmt, FORMAT_WaveFormatEx));
}
