// The Ormidex Video Generator: its interface by slot, its formats, what it
// streams live and as a clip, and its fault switches.
#include "StandinTestSupport.h"

#include "FaultSwitch.h"
#include "TestPattern.h"
#include "dshow/MediaFormat.h"
#include "GeneratorStatus.h"
#include "components/Ormidex.h"

namespace {

const wchar_t c_szGenerator[] = L"Ormidex Video Generator";
const REFERENCE_TIME c_tFrame25 = 400000;

enum EGeneratorSlot
{
    eSlotSetPattern = 3,
    eSlotSetOverlay = 11,
    eSlotSetVideoFormat = 37,
    eSlotSetSamplingRate = 39,
};

class GeneratorTest : public StandinGraphTest
{
protected:
    void SetUp() override
    {
        StandinGraphTest::SetUp();
        m_spGenerator.Attach(Add(CLSID_OrmidexVideoGenerator, c_szGenerator).Detach());
        ASSERT_TRUE(m_spGenerator != nullptr);
        ASSERT_EQ(S_OK, m_spGenerator->QueryInterface(&m_spControl));
    }
    void TearDown() override
    {
        m_spControl.Release();
        m_spGenerator.Release();
        StandinGraphTest::TearDown();
    }

    CMediaType PinType(const wchar_t* pszPin)
    {
        CMediaType mt;
        EXPECT_EQ(S_OK, FirstMediaType(FindPin(m_spGenerator, pszPin), &mt));
        return mt;
    }

    CComPtr<IBaseFilter> m_spGenerator;
    CComPtr<IVideoGenerator> m_spControl;
};

// Its defaults are none of the values the program sets, so that a set-up call
// that never arrived shows: 640x480 at 30 fps, the checkerboard with frame
// numbers, 16 kHz.
TEST_F(GeneratorTest, DefaultsDifferFromWhatTheProgramSets)
{
    CMediaType mtVideo = PinType(L"Video");
    EXPECT_EQ(MEDIATYPE_Video, mtVideo.majortype);
    EXPECT_EQ(MEDIASUBTYPE_RGB32, mtVideo.subtype);
    const VIDEOINFOHEADER* pvi = GetVideoInfo(&mtVideo);
    ASSERT_TRUE(pvi != nullptr);
    EXPECT_EQ(640, pvi->bmiHeader.biWidth);
    EXPECT_EQ(480, pvi->bmiHeader.biHeight);
    EXPECT_EQ(333333, pvi->AvgTimePerFrame);

    CMediaType mtAudio = PinType(L"Audio");
    EXPECT_EQ(MEDIATYPE_Audio, mtAudio.majortype);
    const WAVEFORMATEX* pwfx = GetWaveFormat(&mtAudio);
    ASSERT_TRUE(pwfx != nullptr);
    EXPECT_EQ(WAVE_FORMAT_PCM, pwfx->wFormatTag);
    EXPECT_EQ(16000u, pwfx->nSamplesPerSec);
    EXPECT_EQ(16, pwfx->wBitsPerSample);

    // What no media type says, the status does; it follows the setters.
    CComQIPtr<IGeneratorStatus> spStatus(m_spGenerator);
    ASSERT_TRUE(spStatus != nullptr);
    GENERATOR_STATUS status = {};
    ASSERT_EQ(S_OK, spStatus->GetStatus(&status));
    EXPECT_EQ(ePatternChecker, status.nPattern);
    EXPECT_EQ(eOverlayFrameNumber, status.nOverlay);
    SetUpGeneratorAsTheProgram(m_spGenerator);
    ASSERT_EQ(S_OK, spStatus->GetStatus(&status));
    EXPECT_EQ(ePatternMovingBars, status.nPattern);
    EXPECT_EQ(eOverlayNone, status.nOverlay);
    EXPECT_EQ(0, status.nColorSpace);
    EXPECT_EQ(720, status.nWidth);
    EXPECT_EQ(576, status.nHeight);
    EXPECT_EQ(25.0, status.dFrameRate);
    EXPECT_EQ(48000, status.nSampleRate);
    EXPECT_EQ(E_POINTER, spStatus->GetStatus(nullptr));
}

TEST_F(GeneratorTest, SlotsReachTheirMethods)
{
    EXPECT_EQ(S_OK, CallSlot(m_spControl, eSlotSetPattern, LONG(1)));
    EXPECT_EQ(E_INVALIDARG, CallSlot(m_spControl, eSlotSetPattern, LONG(7)));
    EXPECT_EQ(S_OK, CallSlot(m_spControl, eSlotSetOverlay, LONG(0)));
    EXPECT_EQ(E_INVALIDARG, CallSlot(m_spControl, eSlotSetOverlay, LONG(-1)));
    EXPECT_EQ(S_OK, CallSlot(m_spControl, eSlotSetVideoFormat, LONG(1), LONG(0), LONG(320),
                             LONG(240), 30.0, LONG(0)));
    EXPECT_EQ(S_OK, CallSlot(m_spControl, eSlotSetSamplingRate, LONG(8000)));
    for (int nSlot : {4, 10, 12, 36, 38})
        EXPECT_EQ(E_NOTIMPL, CallSlot(m_spControl, nSlot)) << "slot " << nSlot;

    CMediaType mtVideo = PinType(L"Video");
    EXPECT_EQ(MEDIASUBTYPE_YUY2, mtVideo.subtype);
    EXPECT_EQ(320, GetVideoInfo(&mtVideo)->bmiHeader.biWidth);
    EXPECT_EQ(333333, GetVideoInfo(&mtVideo)->AvgTimePerFrame);
    CMediaType mtAudio = PinType(L"Audio");
    EXPECT_EQ(8000u, GetWaveFormat(&mtAudio)->nSamplesPerSec);
}

TEST_F(GeneratorTest, RefusesFormatsItCannotMake)
{
    struct
    {
        LONG nColorSpace, nInterlace, nWidth, nHeight;
        double dRate;
        LONG nFlags;
    } rgBad[] = {
        {2, 0, 720, 576, 25.0, 0}, {0, 1, 720, 576, 25.0, 0}, {0, 0, 721, 576, 25.0, 0},
        {0, 0, 0, 576, 25.0, 0},   {0, 0, 720, 8, 25.0, 0},   {0, 0, 720, 576, 0.0, 0},
        {0, 0, 720, 576, 25.0, 1},
    };
    for (const auto& bad : rgBad)
        EXPECT_EQ(E_INVALIDARG, m_spControl->SetVideoFormat(bad.nColorSpace, bad.nInterlace,
                                                            bad.nWidth, bad.nHeight, bad.dRate,
                                                            bad.nFlags));
    for (LONG nHz : {0L, 7999L, 192001L})
        EXPECT_EQ(E_INVALIDARG, m_spControl->SetSamplingRate(nHz)) << nHz;
}

TEST_F(GeneratorTest, ConnectedAudioKeepsItsRate)
{
    AddSink(2);
    ASSERT_EQ(S_OK, m_spControl->SetSamplingRate(8000));
    ASSERT_EQ(S_OK, ConnectToSink(m_spGenerator, L"Audio", 0));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, m_spControl->SetSamplingRate(48000));
    EXPECT_EQ(S_OK, m_spControl->SetSamplingRate(8000));
    ASSERT_EQ(S_OK, ConnectToSink(m_spGenerator, L"Video", 1));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, m_spControl->SetVideoFormat(0, 0, 720, 576, 25.0, 0));
    EXPECT_EQ(S_OK, m_spControl->SetVideoFormat(0, 0, 640, 480, 30.0, 0));
}

TEST_F(GeneratorTest, LiveSourceStreamsNumberedFramesAndToneWithoutDuration)
{
    SetUpGeneratorAsTheProgram(m_spGenerator);
    AddSink(2);
    ASSERT_EQ(S_OK, m_spControl->SetOverlay(1));
    ASSERT_EQ(S_OK, ConnectToSink(m_spGenerator, L"Video", 0));
    ASSERT_EQ(S_OK, ConnectToSink(m_spGenerator, L"Audio", 1));
    CComQIPtr<IMediaSeeking> spSeeking(m_spGraph);
    LONGLONG llDuration = 0;
    EXPECT_EQ(E_NOTIMPL, spSeeking->GetDuration(&llDuration));
    spSeeking.Release();

    ASSERT_EQ(S_OK, Run());
    ASSERT_TRUE(m_pSink->WaitForSamples(0, 4, 10000));
    ASSERT_TRUE(m_pSink->WaitForSamples(1, 4, 10000));
    ASSERT_EQ(S_OK, Stop());

    CTestSinkInput video = m_pSink->Input(0);
    CFrameLayout layout = CFrameLayout::Make(720, 576, false);
    for (ULONG i = 0; i < 4; ++i)
    {
        EXPECT_EQ(static_cast<REFERENCE_TIME>(i) * c_tFrame25, video.rgStarts[i]);
        ASSERT_EQ(layout.ImageSize(), video.rgPayloads[i].size());
        EXPECT_EQ(i, ReadFrameNumber(video.rgPayloads[i].data(), layout));
    }
    // Moving bars: consecutive frames differ.
    EXPECT_NE(video.rgPayloads[0], video.rgPayloads[1]);

    CTestSinkInput audio = m_pSink->Input(1);
    ASSERT_EQ(1920u * sizeof(short), audio.rgPayloads[0].size());
    std::vector<short> expected(1920);
    FillTone(expected.data(), expected.size(), 1920, 48000, 1000.0);
    EXPECT_EQ(400000, audio.rgStarts[1]);
    EXPECT_EQ(0, memcmp(expected.data(), audio.rgPayloads[1].data(), 1920 * sizeof(short)));
}

TEST_F(GeneratorTest, FaultSwitchesMakeCallsFailAndLeaveThingsOut)
{
    struct
    {
        const wchar_t* pszValue;
        DWORD dwValue;
    } rgCases[] = {
        {L"SetPattern", static_cast<DWORD>(E_FAIL)},
        {L"SetOverlay", static_cast<DWORD>(E_ACCESSDENIED)},
        {L"SetVideoFormat", static_cast<DWORD>(E_OUTOFMEMORY)},
        {L"SetSamplingRate", static_cast<DWORD>(VFW_E_WRONG_STATE)},
    };
    for (const auto& test : rgCases)
    {
        CFaultSwitch fault(c_szGenerator, test.pszValue, test.dwValue);
        CComPtr<IBaseFilter> spFilter;
        ASSERT_EQ(S_OK, CreateStandin(CLSID_OrmidexVideoGenerator, &spFilter));
        CComQIPtr<IVideoGenerator> spControl(spFilter);
        HRESULT rgResults[] = {spControl->SetPattern(1), spControl->SetOverlay(0),
                               spControl->SetVideoFormat(0, 0, 720, 576, 25.0, 0),
                               spControl->SetSamplingRate(8000)};
        for (size_t i = 0; i < ARRAYSIZE(rgResults); ++i)
            EXPECT_EQ(&test == &rgCases[i] ? static_cast<HRESULT>(test.dwValue) : S_OK,
                      rgResults[i])
                << test.pszValue << " / call " << i;
    }

    CFaultSwitch noAudio(c_szGenerator, L"NoPin:Audio", 1);
    CFaultSwitch noControl(c_szGenerator, L"NoInterface:IVideoGenerator", 1);
    CComPtr<IBaseFilter> spFilter;
    ASSERT_EQ(S_OK, CreateStandin(CLSID_OrmidexVideoGenerator, &spFilter));
    EXPECT_TRUE(FindPin(spFilter, L"Video") != nullptr);
    EXPECT_TRUE(FindPin(spFilter, L"Audio") == nullptr);
    CComPtr<IVideoGenerator> spControl;
    EXPECT_EQ(E_NOINTERFACE, spFilter->QueryInterface(&spControl));
}

// The clip setting makes a seekable stream of that length that ends.
TEST_F(GeneratorTest, ClipHasADurationAndEndsWithCompletion)
{
    CFaultSwitch clip(c_szGenerator, L"ClipLength", 600);
    m_spControl.Release();
    ASSERT_EQ(S_OK, m_spGraph->RemoveFilter(m_spGenerator));
    m_spGenerator.Release();
    m_spGenerator.Attach(Add(CLSID_OrmidexVideoGenerator, c_szGenerator).Detach());
    SetUpGeneratorAsTheProgram(m_spGenerator);
    AddSink(2);
    ASSERT_EQ(S_OK, ConnectToSink(m_spGenerator, L"Video", 0));
    ASSERT_EQ(S_OK, ConnectToSink(m_spGenerator, L"Audio", 1));

    CComQIPtr<IMediaSeeking> spSeeking(m_spGraph);
    LONGLONG llDuration = 0;
    EXPECT_EQ(S_OK, spSeeking->GetDuration(&llDuration));
    EXPECT_EQ(6000000, llDuration);
    DWORD dwCaps = 0;
    EXPECT_EQ(S_OK, spSeeking->GetCapabilities(&dwCaps));
    EXPECT_TRUE(dwCaps & AM_SEEKING_CanSeekAbsolute);
    LONGLONG llStart = 4000000;
    ASSERT_EQ(S_OK, spSeeking->SetPositions(&llStart, AM_SEEKING_AbsolutePositioning, nullptr,
                                            AM_SEEKING_NoPositioning));
    spSeeking.Release();

    ASSERT_EQ(S_OK, Run());
    ASSERT_EQ(S_OK, WaitForComplete());
    CTestSinkInput video = m_pSink->Input(0), audio = m_pSink->Input(1);
    EXPECT_EQ(5u, video.cSamples); // frames 10 to 14
    EXPECT_EQ(1u, video.cEndOfStream);
    size_t cbAudio = 0;
    for (const auto& payload : audio.rgPayloads)
        cbAudio += payload.size();
    EXPECT_EQ(48000u / 5 * sizeof(short), cbAudio); // the last 200 ms
    EXPECT_EQ(1u, audio.cEndOfStream);
}

} // namespace
