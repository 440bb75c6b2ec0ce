#include "GuidNames.h"

#include "atldshow.h"
#include "dshow/FourCCSubtype.h"

#include <mmreg.h>
#include <uuids.h>

namespace {

struct GuidName
{
    const GUID* pGuid;
    const wchar_t* pszName;
};

const GuidName s_rgMajorTypes[] = {
    {&MEDIATYPE_Video, L"Video"},
    {&MEDIATYPE_Audio, L"Audio"},
    {&MEDIATYPE_Text, L"Text"},
    {&MEDIATYPE_Midi, L"Midi"},
    {&MEDIATYPE_Stream, L"Stream"},
    {&MEDIATYPE_Interleaved, L"Interleaved"},
    {&MEDIATYPE_File, L"File"},
    {&MEDIATYPE_ScriptCommand, L"ScriptCommand"},
    {&MEDIATYPE_AUXLine21Data, L"AUXLine21Data"},
    {&MEDIATYPE_VBI, L"VBI"},
    {&MEDIATYPE_Timecode, L"Timecode"},
    {&MEDIATYPE_LMRT, L"LMRT"},
    {&MEDIATYPE_URL_STREAM, L"URL_STREAM"},
    {&MEDIATYPE_AnalogVideo, L"AnalogVideo"},
    {&MEDIATYPE_AnalogAudio, L"AnalogAudio"},
    {&MEDIATYPE_MPEG1SystemStream, L"MPEG1SystemStream"},
};

// Subtypes that are no FOURCC.
const GuidName s_rgSubtypes[] = {
    {&MEDIASUBTYPE_None, L"None"},
    {&MEDIASUBTYPE_RGB1, L"RGB1"},
    {&MEDIASUBTYPE_RGB4, L"RGB4"},
    {&MEDIASUBTYPE_RGB8, L"RGB8"},
    {&MEDIASUBTYPE_RGB555, L"RGB555"},
    {&MEDIASUBTYPE_RGB565, L"RGB565"},
    {&MEDIASUBTYPE_RGB24, L"RGB24"},
    {&MEDIASUBTYPE_RGB32, L"RGB32"},
    {&MEDIASUBTYPE_ARGB32, L"ARGB32"},
    {&MEDIASUBTYPE_MPEG1Packet, L"MPEG1Packet"},
    {&MEDIASUBTYPE_MPEG1Payload, L"MPEG1Payload"},
    {&MEDIASUBTYPE_MPEG1System, L"MPEG1System"},
    {&MEDIASUBTYPE_MPEG1VideoCD, L"MPEG1VideoCD"},
    {&MEDIASUBTYPE_MPEG1Video, L"MPEG1Video"},
    {&MEDIASUBTYPE_MPEG1Audio, L"MPEG1Audio"},
    {&MEDIASUBTYPE_Avi, L"Avi"},
    {&MEDIASUBTYPE_Asf, L"Asf"},
    {&MEDIASUBTYPE_WAVE, L"WAVE"},
    {&MEDIASUBTYPE_AIFF, L"AIFF"},
};

// Audio subtypes made from a wave format tag, whose codes are no text; the
// stand-in encoders' A-law, mu-law and Opus among them.
const struct
{
    DWORD dwTag;
    const wchar_t* pszName;
} s_rgWaveTags[] = {
    {WAVE_FORMAT_PCM, L"PCM"},
    {WAVE_FORMAT_IEEE_FLOAT, L"IEEE_FLOAT"},
    {WAVE_FORMAT_ALAW, L"A-law"},
    {WAVE_FORMAT_MULAW, L"mu-law"},
    {0x0050, L"MPEG1AudioPayload"},
    {WAVE_FORMAT_MPEGLAYER3, L"MP3"},
    {0x00FF, L"AAC"},
    {0x1610, L"HE-AAC"},
    {0x704F, L"Opus"},
};

// ksuuids.h's, which needs the kernel streaming headers.
constexpr GUID FORMAT_MPEG2VideoInfo = {
    0xe06d80e3, 0xdb46, 0x11cf, {0xb4, 0xd1, 0x00, 0x80, 0x5f, 0x6c, 0xbb, 0xea}};

const GuidName s_rgFormatTypes[] = {
    {&FORMAT_None, L"None"},
    {&FORMAT_VideoInfo, L"VideoInfo"},
    {&FORMAT_VideoInfo2, L"VideoInfo2"},
    {&FORMAT_WaveFormatEx, L"WaveFormatEx"},
    {&FORMAT_MPEGVideo, L"MPEGVideo"},
    {&FORMAT_MPEGStreams, L"MPEGStreams"},
    {&FORMAT_DvInfo, L"DvInfo"},
    {&FORMAT_AnalogVideo, L"AnalogVideo"},
    {&FORMAT_MPEG2VideoInfo, L"MPEG2Video"},
};

template <size_t N>
const wchar_t* FindName(const GuidName (&rgNames)[N], REFGUID guid)
{
    for (const GuidName& entry : rgNames)
        if (*entry.pGuid == guid)
            return entry.pszName;
    return nullptr;
}

const wchar_t* FindWaveTag(DWORD dwTag)
{
    for (const auto& entry : s_rgWaveTags)
        if (entry.dwTag == dwTag)
            return entry.pszName;
    return nullptr;
}

std::wstring NameOrText(const wchar_t* pszName, REFGUID guid)
{
    return pszName != nullptr ? std::wstring(pszName) : GuidText(guid);
}

} // namespace

std::wstring GuidText(REFGUID guid)
{
    wchar_t sz[40] = L"";
    ::StringFromGUID2(guid, sz, ARRAYSIZE(sz));
    return sz;
}

std::wstring FourCCText(DWORD dwFourCC)
{
    std::wstring text;
    for (int i = 0; i < 4; i++)
    {
        wchar_t ch = static_cast<wchar_t>((dwFourCC >> (8 * i)) & 0xFF);
        if (ch < 0x20 || ch > 0x7E)
            return std::wstring();
        text += ch;
    }
    return text;
}

std::wstring MajorTypeName(REFGUID majortype)
{
    return NameOrText(FindName(s_rgMajorTypes, majortype), majortype);
}

std::wstring SubtypeName(REFGUID subtype)
{
    if (const wchar_t* pszName = FindName(s_rgSubtypes, subtype))
        return pszName;
    DWORD dwFourCC = 0;
    if (IsFourCCSubtype(subtype, &dwFourCC))
    {
        if (const wchar_t* pszName = FindWaveTag(dwFourCC))
            return pszName;
        std::wstring text = FourCCText(dwFourCC);
        if (!text.empty())
            return text;
    }
    return GuidText(subtype);
}

std::wstring FormatTypeName(REFGUID formattype)
{
    return NameOrText(FindName(s_rgFormatTypes, formattype), formattype);
}
