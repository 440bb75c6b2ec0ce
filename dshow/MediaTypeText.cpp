#include "MediaTypeText.h"

#include "dshow/GuidNames.h"
#include "dshow/MediaFormat.h"

#include <cstdarg>
#include <strsafe.h>

namespace {

std::wstring Printf(const wchar_t* pszFormat, ...)
{
    wchar_t sz[128] = L"";
    va_list args;
    va_start(args, pszFormat);
    ::StringCchVPrintfW(sz, ARRAYSIZE(sz), pszFormat, args);
    va_end(args);
    return sz;
}

// 0 when the format type has a structure and the block can hold it;
// otherwise the structure's size.
ULONG MissingStruct(const AM_MEDIA_TYPE& mt)
{
    ULONG cbNeeded = FormatStructSize(mt.formattype);
    ULONG cbHave = mt.pbFormat != nullptr ? mt.cbFormat : 0;
    return cbHave < cbNeeded ? cbNeeded : 0;
}

std::wstring TooShort(const AM_MEDIA_TYPE& mt)
{
    return Printf(L"too short (%lu of %lu bytes)", mt.pbFormat != nullptr ? mt.cbFormat : 0, MissingStruct(mt));
}

std::wstring FrameRate(REFERENCE_TIME rtAvgTimePerFrame)
{
    return Printf(L"%.3f fps", 10000000.0 / static_cast<double>(rtAvgTimePerFrame));
}

// "720x576, 25.000 fps"; the height without its sign (negative: top-down).
std::wstring Picture(const BITMAPINFOHEADER& bmi, REFERENCE_TIME rtAvgTimePerFrame)
{
    std::wstring text = Printf(L"%ldx%ld", bmi.biWidth, bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight);
    if (rtAvgTimePerFrame > 0)
        text += L", " + FrameRate(rtAvgTimePerFrame);
    return text;
}

std::wstring FormatDetails(const AM_MEDIA_TYPE& mt)
{
    if (const VIDEOINFOHEADER* pvih = GetVideoInfo(&mt))
        return Picture(pvih->bmiHeader, pvih->AvgTimePerFrame);
    if (const VIDEOINFOHEADER2* pvih2 = GetVideoInfo2(&mt))
    {
        std::wstring text = Picture(pvih2->bmiHeader, pvih2->AvgTimePerFrame);
        if (pvih2->dwPictAspectRatioX != 0 && pvih2->dwPictAspectRatioY != 0)
            text += Printf(L", %lu:%lu", pvih2->dwPictAspectRatioX, pvih2->dwPictAspectRatioY);
        return text;
    }
    if (const WAVEFORMATEX* pwfx = GetWaveFormat(&mt))
    {
        std::wstring text = Printf(L"%lu Hz, %u ch", pwfx->nSamplesPerSec, static_cast<UINT>(pwfx->nChannels));
        if (pwfx->wBitsPerSample != 0)
            text += Printf(L", %u bit", static_cast<UINT>(pwfx->wBitsPerSample));
        return text;
    }
    return std::wstring();
}

std::wstring Signed(LONG nValue)
{
    return Printf(L"%ld", nValue);
}

std::wstring Unsigned(DWORD dwValue)
{
    return Printf(L"%lu", dwValue);
}

std::wstring Hex(DWORD dwValue)
{
    return Printf(L"0x%08lX", dwValue);
}

std::wstring Rect(const RECT& rc)
{
    return Printf(L"%ld, %ld, %ld, %ld", rc.left, rc.top, rc.right, rc.bottom);
}

std::wstring Compression(DWORD dwCompression)
{
    if (dwCompression == BI_RGB)
        return L"BI_RGB";
    if (dwCompression == BI_BITFIELDS)
        return L"BI_BITFIELDS";
    std::wstring text = FourCCText(dwCompression);
    return text.empty() ? Hex(dwCompression) : text;
}

using Fields = std::vector<MediaTypeField>;

void AddVideoFields(Fields& fields, const RECT& rcSource, const RECT& rcTarget, DWORD dwBitRate,
                    DWORD dwBitErrorRate, REFERENCE_TIME rtAvgTimePerFrame)
{
    fields.push_back({L"rcSource", Rect(rcSource)});
    fields.push_back({L"rcTarget", Rect(rcTarget)});
    fields.push_back({L"dwBitRate", Unsigned(dwBitRate)});
    fields.push_back({L"dwBitErrorRate", Unsigned(dwBitErrorRate)});
    std::wstring time = Printf(L"%I64d", rtAvgTimePerFrame);
    if (rtAvgTimePerFrame > 0)
        time += L" (" + FrameRate(rtAvgTimePerFrame) + L")";
    fields.push_back({L"AvgTimePerFrame", time});
}

void AddBitmapFields(Fields& fields, const BITMAPINFOHEADER& bmi)
{
    fields.push_back({L"biSize", Unsigned(bmi.biSize)});
    fields.push_back({L"biWidth", Signed(bmi.biWidth)});
    fields.push_back({L"biHeight", Signed(bmi.biHeight)});
    fields.push_back({L"biPlanes", Unsigned(bmi.biPlanes)});
    fields.push_back({L"biBitCount", Unsigned(bmi.biBitCount)});
    fields.push_back({L"biCompression", Compression(bmi.biCompression)});
    fields.push_back({L"biSizeImage", Unsigned(bmi.biSizeImage)});
    fields.push_back({L"biXPelsPerMeter", Signed(bmi.biXPelsPerMeter)});
    fields.push_back({L"biYPelsPerMeter", Signed(bmi.biYPelsPerMeter)});
    fields.push_back({L"biClrUsed", Unsigned(bmi.biClrUsed)});
    fields.push_back({L"biClrImportant", Unsigned(bmi.biClrImportant)});
}

void AddFormatFields(Fields& fields, const AM_MEDIA_TYPE& mt)
{
    if (const VIDEOINFOHEADER* pvih = GetVideoInfo(&mt))
    {
        AddVideoFields(fields, pvih->rcSource, pvih->rcTarget, pvih->dwBitRate, pvih->dwBitErrorRate,
                       pvih->AvgTimePerFrame);
        AddBitmapFields(fields, pvih->bmiHeader);
    }
    else if (const VIDEOINFOHEADER2* pvih2 = GetVideoInfo2(&mt))
    {
        AddVideoFields(fields, pvih2->rcSource, pvih2->rcTarget, pvih2->dwBitRate, pvih2->dwBitErrorRate,
                       pvih2->AvgTimePerFrame);
        fields.push_back({L"dwInterlaceFlags", Hex(pvih2->dwInterlaceFlags)});
        fields.push_back({L"dwCopyProtectFlags", Hex(pvih2->dwCopyProtectFlags)});
        fields.push_back({L"dwPictAspectRatioX", Unsigned(pvih2->dwPictAspectRatioX)});
        fields.push_back({L"dwPictAspectRatioY", Unsigned(pvih2->dwPictAspectRatioY)});
        fields.push_back({L"dwControlFlags", Hex(pvih2->dwControlFlags)});
        AddBitmapFields(fields, pvih2->bmiHeader);
    }
    else if (const WAVEFORMATEX* pwfx = GetWaveFormat(&mt))
    {
        fields.push_back({L"wFormatTag", Printf(L"0x%04X", static_cast<UINT>(pwfx->wFormatTag))});
        fields.push_back({L"nChannels", Unsigned(pwfx->nChannels)});
        fields.push_back({L"nSamplesPerSec", Unsigned(pwfx->nSamplesPerSec)});
        fields.push_back({L"nAvgBytesPerSec", Unsigned(pwfx->nAvgBytesPerSec)});
        fields.push_back({L"nBlockAlign", Unsigned(pwfx->nBlockAlign)});
        fields.push_back({L"wBitsPerSample", Unsigned(pwfx->wBitsPerSample)});
        fields.push_back({L"cbSize", Unsigned(pwfx->cbSize)});
    }
}

} // namespace

std::wstring DescribeMediaType(const AM_MEDIA_TYPE* pmt)
{
    if (pmt == nullptr)
        return std::wstring();
    std::wstring text = MajorTypeName(pmt->majortype) + L", " + SubtypeName(pmt->subtype);
    if (pmt->formattype == GUID_NULL || pmt->formattype == FORMAT_None)
        return text;

    text += L", " + FormatTypeName(pmt->formattype);
    if (MissingStruct(*pmt) != 0)
        return text + L", format block " + TooShort(*pmt);
    std::wstring details = FormatDetails(*pmt);
    return details.empty() ? text : text + L" " + details;
}

std::vector<MediaTypeField> MediaTypeFields(const AM_MEDIA_TYPE* pmt)
{
    Fields fields;
    if (pmt == nullptr)
        return fields;
    fields.push_back({L"Major type", MajorTypeName(pmt->majortype)});
    fields.push_back({L"Subtype", SubtypeName(pmt->subtype)});
    fields.push_back({L"Format type", FormatTypeName(pmt->formattype)});
    fields.push_back({L"bFixedSizeSamples", pmt->bFixedSizeSamples ? L"TRUE" : L"FALSE"});
    fields.push_back({L"bTemporalCompression", pmt->bTemporalCompression ? L"TRUE" : L"FALSE"});
    fields.push_back({L"lSampleSize", Unsigned(pmt->lSampleSize)});
    fields.push_back({L"cbFormat", Unsigned(pmt->cbFormat)});
    if (MissingStruct(*pmt) != 0)
        fields.push_back({L"Format block", TooShort(*pmt)});
    else
        AddFormatFields(fields, *pmt);
    return fields;
}
