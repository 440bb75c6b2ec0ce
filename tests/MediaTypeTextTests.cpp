// Media types described for people: GUID names, the one-line description
// and the field list, with format blocks that are short or missing.
#include <gtest/gtest.h>

#include "dshow/FourCCSubtype.h"
#include "dshow/GuidNames.h"
#include "dshow/MediaFormat.h"
#include "dshow/MediaType.h"
#include "dshow/MediaTypeText.h"
#include "standins/encoders/EncoderIds.h"

#include <cstring>

namespace {

const GUID guidUnknown = {0x12345678, 0x9abc, 0xdef0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef}};
const wchar_t szUnknown[] = L"{12345678-9ABC-DEF0-0123-456789ABCDEF}";

CMediaType VideoType(REFGUID subtype, LONG nWidth, LONG nHeight, REFERENCE_TIME rtFrame)
{
    CMediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = subtype;
    mt.formattype = FORMAT_VideoInfo;
    auto* pvih = reinterpret_cast<VIDEOINFOHEADER*>(mt.AllocFormat(sizeof(VIDEOINFOHEADER)));
    pvih->AvgTimePerFrame = rtFrame;
    pvih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    pvih->bmiHeader.biWidth = nWidth;
    pvih->bmiHeader.biHeight = nHeight;
    return mt;
}

CMediaType AudioType(REFGUID subtype, WORD wTag, DWORD nRate, WORD nChannels, WORD wBits)
{
    CMediaType mt;
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = subtype;
    mt.formattype = FORMAT_WaveFormatEx;
    auto* pwfx = reinterpret_cast<WAVEFORMATEX*>(mt.AllocFormat(sizeof(WAVEFORMATEX)));
    pwfx->wFormatTag = wTag;
    pwfx->nChannels = nChannels;
    pwfx->nSamplesPerSec = nRate;
    pwfx->wBitsPerSample = wBits;
    pwfx->nBlockAlign = static_cast<WORD>(nChannels * wBits / 8);
    pwfx->nAvgBytesPerSec = nRate * pwfx->nBlockAlign;
    return mt;
}

CMediaType VideoInfo2Type()
{
    CMediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_NV12;
    mt.formattype = FORMAT_VideoInfo2;
    auto* pvih2 = reinterpret_cast<VIDEOINFOHEADER2*>(mt.AllocFormat(sizeof(VIDEOINFOHEADER2)));
    pvih2->rcSource = {0, 0, 1920, 1080};
    pvih2->AvgTimePerFrame = 400000;
    pvih2->dwInterlaceFlags = 0x21;
    pvih2->dwPictAspectRatioX = 16;
    pvih2->dwPictAspectRatioY = 9;
    pvih2->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    pvih2->bmiHeader.biWidth = 1920;
    pvih2->bmiHeader.biHeight = 1080;
    pvih2->bmiHeader.biPlanes = 1;
    pvih2->bmiHeader.biBitCount = 12;
    pvih2->bmiHeader.biCompression = MAKEFOURCC('N', 'V', '1', '2');
    pvih2->bmiHeader.biSizeImage = 1920 * 1080 * 3 / 2;
    return mt;
}

// The same type with only the first cb bytes of its format block.
CMediaType Cut(const CMediaType& mt, ULONG cb)
{
    CMediaType cut(mt);
    BYTE* pb = cut.AllocFormat(cb);
    memcpy(pb, mt.pbFormat, cb);
    return cut;
}

using Fields = std::vector<std::pair<std::wstring, std::wstring>>;

Fields FieldsOf(const AM_MEDIA_TYPE* pmt)
{
    Fields fields;
    for (const MediaTypeField& field : MediaTypeFields(pmt))
        fields.emplace_back(field.name, field.value);
    return fields;
}

} // namespace

TEST(MediaTypeTextTest, GuidNames)
{
    struct
    {
        std::wstring (*pfnName)(REFGUID);
        GUID guid;
        const wchar_t* pszName;
    } cases[] = {
        {MajorTypeName, MEDIATYPE_Video, L"Video"},
        {MajorTypeName, MEDIATYPE_Audio, L"Audio"},
        {MajorTypeName, MEDIATYPE_Stream, L"Stream"},
        {MajorTypeName, guidUnknown, szUnknown},
        {MajorTypeName, GUID_NULL, L"{00000000-0000-0000-0000-000000000000}"},
        {SubtypeName, MEDIASUBTYPE_RGB32, L"RGB32"},
        {SubtypeName, MEDIASUBTYPE_YUY2, L"YUY2"},
        {SubtypeName, MEDIASUBTYPE_PCM, L"PCM"},
        // The stand-ins' own subtypes: FOURCCs and wave format tags.
        {SubtypeName, MEDIASUBTYPE_StandinH264, L"H264"},
        {SubtypeName, FourCCSubtype(MAKEFOURCC('V', 'P', '8', '0')), L"VP80"},
        {SubtypeName, MEDIASUBTYPE_StandinALaw, L"A-law"},
        {SubtypeName, MEDIASUBTYPE_StandinMuLaw, L"mu-law"},
        {SubtypeName, MEDIASUBTYPE_StandinOpus, L"Opus"},
        // A tag nobody named, and a FOURCC with a byte that is no character.
        {SubtypeName, FourCCSubtype(0x1234), L"{00001234-0000-0010-8000-00AA00389B71}"},
        {SubtypeName, FourCCSubtype(MAKEFOURCC('H', '2', '6', 0x7F)), L"{7F363248-0000-0010-8000-00AA00389B71}"},
        {SubtypeName, guidUnknown, szUnknown},
        {FormatTypeName, FORMAT_VideoInfo, L"VideoInfo"},
        {FormatTypeName, FORMAT_VideoInfo2, L"VideoInfo2"},
        {FormatTypeName, FORMAT_WaveFormatEx, L"WaveFormatEx"},
        {FormatTypeName, FORMAT_None, L"None"},
        {FormatTypeName, MEDIATYPE_Video, L"{73646976-0000-0010-8000-00AA00389B71}"}, // no FOURCC here
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.pszName, c.pfnName(c.guid));

    DWORD dwFourCC = 0;
    EXPECT_TRUE(IsFourCCSubtype(MEDIASUBTYPE_StandinOpus, &dwFourCC));
    EXPECT_EQ(0x704Fu, dwFourCC);
    EXPECT_FALSE(IsFourCCSubtype(MEDIASUBTYPE_RGB32, &dwFourCC));
    EXPECT_EQ(0x704Fu, dwFourCC); // left alone
}

TEST(MediaTypeTextTest, OneLineDescriptions)
{
    const CMediaType vih = VideoType(MEDIASUBTYPE_StandinH264, 720, 576, 400000);
    const CMediaType pcm = AudioType(MEDIASUBTYPE_PCM, WAVE_FORMAT_PCM, 48000, 2, 16);
    auto formatted = [](CMediaType mt, REFGUID formattype) {
        mt.formattype = formattype;
        return mt;
    };
    CMediaType unknown = formatted(VideoType(guidUnknown, 720, 576, 400000), guidUnknown);
    unknown.majortype = guidUnknown;
    CMediaType noBlock = VideoType(MEDIASUBTYPE_RGB32, 720, 576, 400000);
    ::CoTaskMemFree(noBlock.pbFormat); // a size without a block
    noBlock.pbFormat = nullptr;

    struct Case
    {
        CMediaType mt;
        std::wstring line;
    };
    Case cases[] = {
        {vih, L"Video, H264, VideoInfo 720x576, 25.000 fps"},
        {pcm, L"Audio, PCM, WaveFormatEx 48000 Hz, 2 ch, 16 bit"},
        // A top-down picture; an NTSC rate.
        {VideoType(MEDIASUBTYPE_RGB32, 720, -480, 333667), L"Video, RGB32, VideoInfo 720x480, 29.970 fps"},
        // No frame rate given: none shown.
        {VideoType(MEDIASUBTYPE_YUY2, 320, 240, 0), L"Video, YUY2, VideoInfo 320x240"},
        {VideoInfo2Type(), L"Video, NV12, VideoInfo2 1920x1080, 25.000 fps, 16:9"},
        // Compressed audio has no sample size.
        {AudioType(MEDIASUBTYPE_StandinOpus, 0x704F, 48000, 1, 0), L"Audio, Opus, WaveFormatEx 48000 Hz, 1 ch"},
        // Without a format, or one that is not read: its name at most.
        {formatted(vih, GUID_NULL), L"Video, H264"},
        {formatted(vih, FORMAT_None), L"Video, H264"},
        {formatted(vih, FORMAT_MPEGVideo), L"Video, H264, MPEGVideo"},
        {std::move(unknown), std::wstring(szUnknown) + L", " + szUnknown + L", " + szUnknown},
        // Blocks too short for their structure are not read.
        {Cut(vih, 10), L"Video, H264, VideoInfo, format block too short (10 of 88 bytes)"},
        {Cut(vih, 0), L"Video, H264, VideoInfo, format block too short (0 of 88 bytes)"},
        {std::move(noBlock), L"Video, RGB32, VideoInfo, format block too short (0 of 88 bytes)"},
        {Cut(VideoInfo2Type(), sizeof(VIDEOINFOHEADER)),
         L"Video, NV12, VideoInfo2, format block too short (88 of 112 bytes)"},
        // The older 16-byte PCMWAVEFORMAT is no WAVEFORMATEX.
        {Cut(pcm, 16), L"Audio, PCM, WaveFormatEx, format block too short (16 of 18 bytes)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.line, DescribeMediaType(&c.mt));
    EXPECT_EQ(L"", DescribeMediaType(nullptr));
}

TEST(MediaTypeTextTest, FieldsOfAVideoInfoHeader)
{
    CMediaType mt = VideoType(MEDIASUBTYPE_RGB32, 720, -576, 400000);
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = 720 * 576 * 4;
    auto* pvih = reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat);
    pvih->rcTarget = {0, 0, 720, 576};
    pvih->dwBitRate = 331776000;
    pvih->bmiHeader.biPlanes = 1;
    pvih->bmiHeader.biBitCount = 32;
    pvih->bmiHeader.biSizeImage = 720 * 576 * 4;
    EXPECT_EQ((Fields{
                  {L"Major type", L"Video"},
                  {L"Subtype", L"RGB32"},
                  {L"Format type", L"VideoInfo"},
                  {L"bFixedSizeSamples", L"TRUE"},
                  {L"bTemporalCompression", L"FALSE"},
                  {L"lSampleSize", L"1658880"},
                  {L"cbFormat", L"88"},
                  {L"rcSource", L"0, 0, 0, 0"},
                  {L"rcTarget", L"0, 0, 720, 576"},
                  {L"dwBitRate", L"331776000"},
                  {L"dwBitErrorRate", L"0"},
                  {L"AvgTimePerFrame", L"400000 (25.000 fps)"},
                  {L"biSize", L"40"},
                  {L"biWidth", L"720"},
                  {L"biHeight", L"-576"},
                  {L"biPlanes", L"1"},
                  {L"biBitCount", L"32"},
                  {L"biCompression", L"BI_RGB"},
                  {L"biSizeImage", L"1658880"},
                  {L"biXPelsPerMeter", L"0"},
                  {L"biYPelsPerMeter", L"0"},
                  {L"biClrUsed", L"0"},
                  {L"biClrImportant", L"0"},
              }),
              FieldsOf(&mt));
}

TEST(MediaTypeTextTest, FieldsOfVideoInfo2AndWaveFormats)
{
    CMediaType vih2 = VideoInfo2Type();
    Fields fields = FieldsOf(&vih2);
    ASSERT_EQ(28u, fields.size());
    EXPECT_EQ((Fields{
                  {L"rcSource", L"0, 0, 1920, 1080"},
                  {L"rcTarget", L"0, 0, 0, 0"},
                  {L"dwBitRate", L"0"},
                  {L"dwBitErrorRate", L"0"},
                  {L"AvgTimePerFrame", L"400000 (25.000 fps)"},
                  {L"dwInterlaceFlags", L"0x00000021"},
                  {L"dwCopyProtectFlags", L"0x00000000"},
                  {L"dwPictAspectRatioX", L"16"},
                  {L"dwPictAspectRatioY", L"9"},
                  {L"dwControlFlags", L"0x00000000"},
                  {L"biSize", L"40"},
                  {L"biWidth", L"1920"},
                  {L"biHeight", L"1080"},
                  {L"biPlanes", L"1"},
                  {L"biBitCount", L"12"},
                  {L"biCompression", L"NV12"},
                  {L"biSizeImage", L"3110400"},
              }),
              Fields(fields.begin() + 7, fields.begin() + 24));

    CMediaType alaw = AudioType(MEDIASUBTYPE_StandinALaw, WAVE_FORMAT_ALAW, 8000, 1, 8);
    alaw.bTemporalCompression = TRUE;
    EXPECT_EQ((Fields{
                  {L"Major type", L"Audio"},
                  {L"Subtype", L"A-law"},
                  {L"Format type", L"WaveFormatEx"},
                  {L"bFixedSizeSamples", L"FALSE"},
                  {L"bTemporalCompression", L"TRUE"},
                  {L"lSampleSize", L"0"},
                  {L"cbFormat", L"18"},
                  {L"wFormatTag", L"0x0006"},
                  {L"nChannels", L"1"},
                  {L"nSamplesPerSec", L"8000"},
                  {L"nAvgBytesPerSec", L"8000"},
                  {L"nBlockAlign", L"1"},
                  {L"wBitsPerSample", L"8"},
                  {L"cbSize", L"0"},
              }),
              FieldsOf(&alaw));
}

TEST(MediaTypeTextTest, FieldsOfShortAndUnknownFormats)
{
    CMediaType shortBlock = Cut(VideoType(MEDIASUBTYPE_StandinH264, 720, 576, 400000), 40);
    Fields fields = FieldsOf(&shortBlock);
    ASSERT_EQ(8u, fields.size()); // nothing of the block is read
    EXPECT_EQ((Fields::value_type{L"cbFormat", L"40"}), fields[6]);
    EXPECT_EQ((Fields::value_type{L"Format block", L"too short (40 of 88 bytes)"}), fields[7]);

    CMediaType unknown = VideoType(guidUnknown, 720, 576, 400000);
    unknown.formattype = guidUnknown;
    fields = FieldsOf(&unknown);
    ASSERT_EQ(7u, fields.size());
    EXPECT_EQ((Fields::value_type{L"Subtype", szUnknown}), fields[1]);
    EXPECT_EQ((Fields::value_type{L"Format type", szUnknown}), fields[2]);

    EXPECT_TRUE(MediaTypeFields(nullptr).empty());
}
