// The audio encoders: G.711 against the standard's code words, the CCITT
// filters and the Opus encoder fed by the generator in a graph.
#include "StandinTestSupport.h"

#include "FaultSwitch.h"
#include "G711.h"
#include "TestPattern.h"
#include "EncoderIds.h"
#include "EncoderCaptures.h"
#include "OpusSettings.h"
#include "dshow/MediaFormat.h"
#include "components/Ormidex.h"

namespace {

// Code words of the ITU reference coder (G.191), worked out by hand from its
// segment rules: one's complement for negative input, A-law XOR 0x55.
TEST(G711Test, EncodesKnownSamples)
{
    struct
    {
        short sSample;
        BYTE bALaw;
        BYTE bMuLaw;
    } rgCases[] = {
        {0, 0xD5, 0xFF},      {1, 0xD5, 0xFF},         {-1, 0x55, 0x7F},
        {1000, 0xFA, 0xCE},   {-1000, 0x7A, 0x4E},     {32767, 0xAA, 0x80},
        {-32768, 0x2A, 0x00}, {16, 0xD4, 0xFD},        {-8, 0x55, 0x7E},
    };
    for (const auto& test : rgCases)
    {
        EXPECT_EQ(test.bALaw, LinearToALaw(test.sSample)) << "A-law of " << test.sSample;
        EXPECT_EQ(test.bMuLaw, LinearToMuLaw(test.sSample)) << "u-law of " << test.sSample;
    }
}

class AudioEncoderTest : public StandinGraphTest
{
protected:
    // Generator (rate nHz) -> encoder -> sink; returns the encoder.
    CComPtr<IBaseFilter> BuildChain(REFCLSID clsidEncoder, LONG nHz)
    {
        m_spGenerator.Attach(Add(CLSID_OrmidexVideoGenerator, L"Ormidex Video Generator").Detach());
        CComQIPtr<IVideoGenerator> spControl(m_spGenerator);
        EXPECT_EQ(S_OK, spControl->SetSamplingRate(nHz));
        CComPtr<IBaseFilter> spEncoder = Add(clsidEncoder, L"Encoder");
        AddSink();
        EXPECT_EQ(S_OK, Connect(m_spGenerator, L"Audio", spEncoder, L"Input"));
        EXPECT_EQ(S_OK, ConnectToSink(spEncoder, L"Output"));
        return spEncoder;
    }
    void TearDown() override
    {
        m_spGenerator.Release();
        StandinGraphTest::TearDown();
    }

    CComPtr<IBaseFilter> m_spGenerator;
};

TEST_F(AudioEncoderTest, CcittEncodersCompandTheTone)
{
    struct
    {
        const GUID* pclsid;
        WORD wTag;
        BYTE (*pfnEncode)(short);
    } rgCases[] = {{&CLSID_CCITTALawEncoder, WAVE_FORMAT_ALAW, LinearToALaw},
                   {&CLSID_CCITTMuLawEncoder, WAVE_FORMAT_MULAW, LinearToMuLaw}};
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.wTag);
        TearDown();
        SetUp();
        CComPtr<IBaseFilter> spEncoder = BuildChain(*test.pclsid, 8000);
        CTestSinkInput connected = m_pSink->Input(0);
        const WAVEFORMATEX* pwfx = GetWaveFormat(&connected.mt);
        ASSERT_TRUE(pwfx != nullptr);
        EXPECT_EQ(test.wTag, pwfx->wFormatTag);
        EXPECT_EQ(8000u, pwfx->nSamplesPerSec);
        EXPECT_EQ(8, pwfx->wBitsPerSample);

        ASSERT_EQ(S_OK, Run());
        ASSERT_TRUE(m_pSink->WaitForSamples(0, 2, 10000));
        ASSERT_EQ(S_OK, Stop());
        CTestSinkInput input = m_pSink->Input(0);
        std::vector<short> tone(320);
        FillTone(tone.data(), tone.size(), 320, 8000, 1000.0);
        ASSERT_EQ(320u, input.rgPayloads[1].size());
        EXPECT_EQ(400000, input.rgStarts[1]);
        for (size_t i = 0; i < tone.size(); ++i)
            ASSERT_EQ(test.pfnEncode(tone[i]), input.rgPayloads[1][i]) << "sample " << i;
    }
}

// A packet's TOC byte (RFC 6716, 3.1): one frame of 20 ms, in whichever
// mode libopus chose, and the channel count.
void ExpectOneTwentyMillisecondFrame(const std::vector<BYTE>& packet, bool bStereo)
{
    ASSERT_GE(packet.size(), 2u);
    ASSERT_LE(packet.size(), 1275u);
    BYTE bConfig = packet[0] >> 3;
    bool bTwentyMs = bConfig < 12 ? bConfig % 4 == 1 : bConfig < 16 ? bConfig % 2 == 1 : bConfig % 4 == 3;
    EXPECT_TRUE(bTwentyMs) << "config " << int(bConfig);
    EXPECT_EQ(bStereo, (packet[0] & 0x04) != 0);
    EXPECT_EQ(0, packet[0] & 0x03) << "one frame per packet";
}

// The clip's 610 ms become 31 real Opus packets of 20 ms, the last padded,
// timed from the first sample. An independent decoder reads the capture
// (tests/codecs/check-captures): Opus at 48 kHz and the generator's tone.
TEST_F(AudioEncoderTest, OpusCodesTwentyMillisecondPacketsToTheEnd)
{
    struct
    {
        LONG nHz;
        const wchar_t* pszCapture;
    } rgCases[] = {{48000, L"opus-48k"}, {16000, L"opus-16k"}};
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.nHz);
        TearDown();
        SetUp();
        CFaultSwitch clip(L"Ormidex Video Generator", L"ClipLength", 610);
        CComPtr<IBaseFilter> spEncoder = BuildChain(CLSID_OrmidexOpusEncoder, test.nHz);
        CTestSinkInput connected = m_pSink->Input(0);
        EXPECT_EQ(MEDIASUBTYPE_StandinOpus, connected.mt.subtype);
        const WAVEFORMATEX* pwfx = GetWaveFormat(&connected.mt);
        ASSERT_TRUE(pwfx != nullptr);
        EXPECT_EQ(c_wWaveFormatOpus, pwfx->wFormatTag);
        EXPECT_EQ(static_cast<DWORD>(test.nHz), pwfx->nSamplesPerSec);
        EXPECT_EQ(1, pwfx->nChannels);
        // The clip's length reaches the graph through the encoder's output pin.
        CComQIPtr<IMediaSeeking> spSeeking(m_spGraph);
        LONGLONG llDuration = 0;
        EXPECT_EQ(S_OK, spSeeking->GetDuration(&llDuration));
        EXPECT_EQ(6100000, llDuration);
        spSeeking.Release();
        ASSERT_EQ(S_OK, Run());
        ASSERT_EQ(S_OK, WaitForComplete());

        CTestSinkInput input = m_pSink->Input(0);
        ASSERT_EQ(31u, input.cSamples);
        for (ULONG i = 0; i < input.cSamples; ++i)
        {
            ExpectOneTwentyMillisecondFrame(input.rgPayloads[i], false);
            EXPECT_EQ(static_cast<REFERENCE_TIME>(i) * 200000, input.rgStarts[i]);
            EXPECT_TRUE(input.rgSyncPoints[i]);
        }
        CComQIPtr<IOpusEncoderSettings> spSettings(spEncoder);
        OPUS_ENCODER_STATUS status = {};
        ASSERT_EQ(S_OK, spSettings->GetStatus(&status));
        EXPECT_EQ(31u, status.cPackets);
        WriteAudioCapture(test.pszCapture, input.rgPayloads, 1, static_cast<DWORD>(test.nHz), 1000);
    }
}

// The rate is refused when the pins connect, and the page can say why.
TEST_F(AudioEncoderTest, OpusRefusesRatesOpusDoesNotHave)
{
    m_spGenerator.Attach(Add(CLSID_OrmidexVideoGenerator, L"Ormidex Video Generator").Detach());
    CComQIPtr<IVideoGenerator> spControl(m_spGenerator);
    ASSERT_EQ(S_OK, spControl->SetSamplingRate(44100));
    CComPtr<IBaseFilter> spEncoder = Add(CLSID_OrmidexOpusEncoder, L"Opus");
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, Connect(m_spGenerator, L"Audio", spEncoder, L"Input"));
    CComQIPtr<IOpusEncoderSettings> spSettings(spEncoder);
    CComBSTR bstrVersion, bstrError;
    ASSERT_EQ(S_OK, spSettings->GetLibrary(&bstrVersion, &bstrError));
    EXPECT_STREQ(L"libopus 1.3.1", bstrVersion);
    EXPECT_STREQ(L"44100 Hz refused: Opus takes 8, 12, 16, 24 or 48 kHz", bstrError);
    // A rate Opus takes connects, and the refusal is no longer the news.
    ASSERT_EQ(S_OK, spControl->SetSamplingRate(24000));
    EXPECT_EQ(S_OK, Connect(m_spGenerator, L"Audio", spEncoder, L"Input"));
    bstrVersion.Empty();
    bstrError.Empty();
    ASSERT_EQ(S_OK, spSettings->GetLibrary(&bstrVersion, &bstrError));
    EXPECT_EQ(0u, bstrError.Length());
    EXPECT_EQ(E_INVALIDARG, spSettings->SetBitrate(5999));
    EXPECT_EQ(S_OK, spSettings->SetBitrate(32000));
}

TEST(AudioEncoderPagesTest, OnlyTheCcittEncodersHaveNoPages)
{
    struct
    {
        const GUID* pclsid;
        const GUID* pPage;
    } rgCases[] = {{&CLSID_OrmidexOpusEncoder, &CLSID_OpusEncoderPropertyPage},
                   {&CLSID_CCITTALawEncoder, nullptr},
                   {&CLSID_CCITTMuLawEncoder, nullptr}};
    for (const auto& test : rgCases)
    {
        CComPtr<IBaseFilter> spFilter;
        ASSERT_EQ(S_OK, CreateStandin(*test.pclsid, &spFilter));
        CComPtr<ISpecifyPropertyPages> spPages;
        HRESULT hr = spFilter->QueryInterface(&spPages);
        if (test.pPage == nullptr)
        {
            EXPECT_EQ(E_NOINTERFACE, hr);
            continue;
        }
        ASSERT_EQ(S_OK, hr);
        CAUUID pages = {};
        ASSERT_EQ(S_OK, spPages->GetPages(&pages));
        ASSERT_EQ(1u, pages.cElems);
        EXPECT_EQ(*test.pPage, pages.pElems[0]);
        ::CoTaskMemFree(pages.pElems);
    }
}

} // namespace
