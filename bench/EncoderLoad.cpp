#include "EncoderLoad.h"

#include <windows.h>
#include <dshow.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "components/ComponentIds.h"
#include "components/Ormidex.h"
#include "components/VP8Encoder.h"
#include "H264Codec.h"
#include "HostCpu.h"
#include "Median.h"
#include "TestPattern.h"
#include "VP8Codec.h"
#include "framework/atlbase.h"

#include <opus/opus.h>

namespace {

// Wine's qedit registers it: a renderer of anything, paced by the clock.
constexpr GUID CLSID_NullRenderer = {
    0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

const int c_nWidth = 640;
const int c_nHeight = 480;
const int c_nFrameRate = 30;
const int c_nSampleRate = 48000;
const int c_nPairs = 3;
const DWORD c_dwSettleMs = 500;
const DWORD c_dwMeasureMs = 2500;
const int c_nBareSeconds = 3;

// This process's CPU in the host's nanoseconds: Wine's process times move in
// 10 ms ticks, too coarse for a few milliseconds a second.
double CpuMs()
{
    static const std::wstring self = [] {
        wchar_t sz[MAX_PATH];
        ::GetModuleFileNameW(nullptr, sz, MAX_PATH);
        return std::wstring(sz);
    }();
    return HostCpuMs(self);
}

HRESULT Connect(IGraphBuilder* pGraph, IBaseFilter* pFrom, const wchar_t* pszOut, IBaseFilter* pTo)
{
    CComPtr<IPin> spOut, spIn;
    CComPtr<IEnumPins> spPins;
    HRESULT hr = pFrom->FindPin(pszOut, &spOut);
    if (SUCCEEDED(hr))
        hr = pTo->EnumPins(&spPins);
    if (FAILED(hr))
        return hr;
    // The first input pin of the downstream filter.
    for (CComPtr<IPin> spPin; spPins->Next(1, &spPin, nullptr) == S_OK; spPin.Release())
    {
        PIN_DIRECTION dir;
        if (SUCCEEDED(spPin->QueryDirection(&dir)) && dir == PINDIR_INPUT)
        {
            spIn = spPin;
            break;
        }
    }
    return spIn ? pGraph->ConnectDirect(spOut, spIn, nullptr) : E_FAIL;
}

// CPU milliseconds per second of the generator's pin pszPin (the harness's
// format: moving bars, 640x480 RGB32 at 30 fps, 48 kHz) running into a null
// renderer, through the encoder when one is given. Negative when the graph
// could not be built or run.
double GraphCpuPerSecond(const CLSID* pclsidEncoder, const wchar_t* pszPin)
{
    CComPtr<IGraphBuilder> spGraph;
    CComPtr<IBaseFilter> spGenerator, spEncoder, spRenderer;
    HRESULT hr = spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER);
    if (SUCCEEDED(hr))
        hr = spGenerator.CoCreateInstance(CLSID_OrmidexVideoGenerator, nullptr, CLSCTX_INPROC_SERVER);
    if (SUCCEEDED(hr))
        hr = spRenderer.CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER);
    if (SUCCEEDED(hr) && pclsidEncoder != nullptr)
        hr = spEncoder.CoCreateInstance(*pclsidEncoder, nullptr, CLSCTX_INPROC_SERVER);
    CComQIPtr<IVideoGenerator> spControl(spGenerator);
    if (FAILED(hr) || spControl == nullptr)
        return -1.0;
    spControl->SetPattern(1);
    spControl->SetOverlay(0);
    spControl->SetVideoFormat(0, 0, c_nWidth, c_nHeight, c_nFrameRate, 0);
    spControl->SetSamplingRate(c_nSampleRate);
    // The harness's real-time deadline, as for the bare codec.
    CComQIPtr<IVP8Encoder> spVP8(spEncoder);
    if (spVP8 != nullptr)
        spVP8->SetDeadline(1);
    spGraph->AddFilter(spGenerator, L"Generator");
    spGraph->AddFilter(spRenderer, L"Renderer");
    if (spEncoder)
    {
        spGraph->AddFilter(spEncoder, L"Encoder");
        hr = Connect(spGraph, spGenerator, pszPin, spEncoder);
        if (SUCCEEDED(hr))
            hr = Connect(spGraph, spEncoder, L"Output", spRenderer);
    }
    else
    {
        hr = Connect(spGraph, spGenerator, pszPin, spRenderer);
    }
    CComQIPtr<IMediaControl> spControlGraph(spGraph);
    if (SUCCEEDED(hr))
        hr = spControlGraph->Run();
    if (FAILED(hr))
        return -1.0;
    ::Sleep(c_dwSettleMs);
    double dCpu0 = CpuMs();
    DWORD dwStart = ::GetTickCount();
    ::Sleep(c_dwMeasureMs);
    double dCpu = CpuMs() - dCpu0;
    DWORD dwElapsed = ::GetTickCount() - dwStart;
    spControlGraph->Stop();
    return dCpu * 1000.0 / dwElapsed;
}

// The generator's pictures as the encoder filter gets them, in 4:2:0, and
// what their conversion from RGB32 costs in CPU milliseconds per second.
std::vector<CI420Picture> Pictures(int cPictures, double* pdConversionMsPerSecond)
{
    CFrameLayout layout = CFrameLayout::Make(c_nWidth, c_nHeight, false);
    std::vector<std::vector<BYTE>> frames(cPictures, std::vector<BYTE>(layout.ImageSize()));
    std::vector<CI420Picture> pictures(cPictures);
    for (int i = 0; i < cPictures; i++)
    {
        DrawPattern(frames[i].data(), layout, ePatternMovingBars, i);
        pictures[i].SetSize(c_nWidth, c_nHeight);
    }
    double dCpu0 = CpuMs();
    for (int i = 0; i < cPictures; i++)
        pictures[i].FromRGB32(frames[i].data());
    *pdConversionMsPerSecond = (CpuMs() - dCpu0) * c_nFrameRate / cPictures;
    return pictures;
}

// CPU milliseconds per second of video for the codec alone: the pictures
// coded one after the other as fast as it goes, with the settings the
// filter gives it (the harness's real-time deadline for VP8).
double BareVideoCpuPerSecond(CVideoCodec& codec, const std::vector<CI420Picture>& pictures, DWORD dwBitRate)
{
    VIDEO_CODEC_SETTINGS settings = {c_nWidth, c_nHeight, 10000000 / c_nFrameRate, dwBitRate};
    if (FAILED(codec.Open(settings)))
        return -1.0;
    std::vector<BYTE> coded;
    bool bKey = false;
    double dCpu0 = CpuMs();
    for (size_t i = 0; i < pictures.size(); i++)
        if (FAILED(codec.Encode(pictures[i], static_cast<REFERENCE_TIME>(i) * settings.tFrame, i == 0, &coded,
                                &bKey)))
            return -1.0;
    double dCpu = CpuMs() - dCpu0;
    codec.Close();
    return dCpu * c_nFrameRate / static_cast<double>(pictures.size());
}

// The same for libopus on the generator's tone: 20 ms frames at 64 kbit/s.
double BareOpusCpuPerSecond()
{
    const int cFrame = c_nSampleRate / 50;
    std::vector<short> tone(static_cast<size_t>(cFrame) * 50 * c_nBareSeconds);
    FillTone(tone.data(), tone.size(), 0, c_nSampleRate, 1000.0);
    int nError = OPUS_OK;
    OpusEncoder* pEncoder = opus_encoder_create(c_nSampleRate, 1, OPUS_APPLICATION_AUDIO, &nError);
    if (pEncoder == nullptr)
        return -1.0;
    opus_encoder_ctl(pEncoder, OPUS_SET_BITRATE(64000));
    unsigned char rgbPacket[1275];
    double dCpu0 = CpuMs();
    bool bCoded = true;
    for (size_t i = 0; i + cFrame <= tone.size() && bCoded; i += cFrame)
        bCoded = opus_encode(pEncoder, &tone[i], cFrame, rgbPacket, sizeof(rgbPacket)) > 0;
    double dCpu = CpuMs() - dCpu0;
    opus_encoder_destroy(pEncoder);
    return bCoded ? dCpu / c_nBareSeconds : -1.0;
}

} // namespace

bool RunEncoderLoad()
{
    double dConversion = 0.0;
    const std::vector<CI420Picture> pictures = Pictures(c_nFrameRate * c_nBareSeconds, &dConversion);
    std::printf("RGB32 to 4:2:0 at 640x480 30 fps, the video encoders' own step before the codec: %.1f ms/s\n",
                dConversion);
    CVP8Codec vp8;
    vp8.SetDeadline(1);
    CH264Codec h264;
    struct
    {
        const char* pszName;
        const char* pszLibrary; // and what it codes bare
        const CLSID* pclsid;
        const wchar_t* pszPin;
        CVideoCodec* pCodec;
        DWORD dwBitRate;
    } rgEncoders[] = {
        {"Ormidex QS Encoder (H.264) 640x480 30 fps", "openh264 on the same pictures", &CLSID_OrmidexQSEncoder, L"Video", &h264, 4000000},
        {"WebM VP8 Encoder Filter 640x480 30 fps", "libvpx on the same pictures", &CLSID_VP8Encoder, L"Video", &vp8, 1000000},
        {"Ormidex Opus Encoder 48 kHz mono", "libopus on the same tone", &CLSID_OrmidexOpusEncoder, L"Audio", nullptr, 0},
    };
    bool bMeasured = true;
    for (const auto& encoder : rgEncoders)
    {
        // Turns of the three sides, so that drift falls on each alike.
        std::vector<double> rgGraph, rgSource, rgBare;
        for (int i = 0; i < c_nPairs; i++)
        {
            rgGraph.push_back(GraphCpuPerSecond(encoder.pclsid, encoder.pszPin));
            rgSource.push_back(GraphCpuPerSecond(nullptr, encoder.pszPin));
            rgBare.push_back(encoder.pCodec ? BareVideoCpuPerSecond(*encoder.pCodec, pictures, encoder.dwBitRate)
                                            : BareOpusCpuPerSecond());
        }
        if (*std::min_element(rgGraph.begin(), rgGraph.end()) < 0 ||
            *std::min_element(rgSource.begin(), rgSource.end()) < 0 ||
            *std::min_element(rgBare.begin(), rgBare.end()) < 0)
        {
            std::printf("%s: not measured (a graph or the bare %s failed)\n", encoder.pszName, encoder.pszLibrary);
            bMeasured = false;
            continue;
        }
        double dGraph = Median(rgGraph), dSource = Median(rgSource), dBare = Median(rgBare);
        double dEncoder = dGraph - dSource;
        std::printf("%s: %.1f ms/s CPU in the graph, the source alone %.1f ms/s, so the encoder %.1f ms/s; "
                    "bare %s %.1f ms/s, ratio %.2f\n",
                    encoder.pszName, dGraph, dSource, dEncoder, encoder.pszLibrary, dBare,
                    dBare > 0 ? dEncoder / dBare : 0.0);
    }
    return bMeasured;
}
