// Settings kept in saved graphs: a stand-in with settings writes them through
// IPersistStream, and a new instance loaded from those bytes offers the same
// media types and takes the connections saved with them. Malformed records,
// a running filter and format changes under a connected pin are refused.
#include "StandinTestSupport.h"

#include "EncoderIds.h"
#include "FaultSwitch.h"
#include "TestPattern.h"
#include "dshow/MediaFormat.h"
#include "dshow/PersistBytes.h"
#include "components/Ormidex.h"
#include "components/VP8Encoder.h"
#include "VP8Settings.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace {

const wchar_t c_szGenerator[] = L"Ormidex Video Generator";
const wchar_t c_szQS[] = L"Ormidex QS Encoder";

ULONGLONG SizeMax(IUnknown* pFilter)
{
    CComQIPtr<IPersistStream> spPersist(pFilter);
    ULARGE_INTEGER uliSize = {};
    EXPECT_EQ(S_OK, spPersist->GetSizeMax(&uliSize));
    return uliSize.QuadPart;
}

HRESULT IsDirty(IUnknown* pFilter)
{
    CComQIPtr<IPersistStream> spPersist(pFilter);
    return spPersist->IsDirty();
}

CComPtr<IBaseFilter> NewStandin(REFCLSID clsid)
{
    CComPtr<IBaseFilter> spFilter;
    EXPECT_EQ(S_OK, CreateStandin(clsid, &spFilter));
    return spFilter;
}

CMediaType PinType(IBaseFilter* pFilter, const wchar_t* pszPin)
{
    CMediaType mt;
    EXPECT_EQ(S_OK, FirstMediaType(FindPin(pFilter, pszPin), &mt));
    return mt;
}

DWORD SampleRate(IBaseFilter* pGenerator)
{
    CMediaType mt = PinType(pGenerator, L"Audio");
    const WAVEFORMATEX* pwfx = GetWaveFormat(&mt);
    return pwfx ? pwfx->nSamplesPerSec : 0;
}

LONG VideoWidth(IBaseFilter* pGenerator)
{
    CMediaType mt = PinType(pGenerator, L"Video");
    const VIDEOINFOHEADER* pvi = GetVideoInfo(&mt);
    return pvi ? pvi->bmiHeader.biWidth : 0;
}

// A generator's record after the calls.
std::vector<BYTE> GeneratorRecord(const std::function<void(IVideoGenerator*)>& setUp)
{
    CComPtr<IBaseFilter> spGenerator = NewStandin(CLSID_OrmidexVideoGenerator);
    CComQIPtr<IVideoGenerator> spControl(spGenerator);
    setUp(spControl);
    std::vector<BYTE> record;
    EXPECT_EQ(S_OK, SavePersistBytes(spGenerator, &record));
    return record;
}

TEST(PersistTest, OnlyFiltersWithSettingsOfferIt)
{
    struct
    {
        const GUID* pclsid;
        const char* pszName;
        bool bSettings;
    } rgCases[] = {
        {&CLSID_OrmidexVideoGenerator, "generator", true},
        {&CLSID_OrmidexQSEncoder, "QS", true},
        {&CLSID_VP8Encoder, "VP8", true},
        {&CLSID_OrmidexOpusEncoder, "Opus", false},
        {&CLSID_CCITTALawEncoder, "A-law", false},
        {&CLSID_CCITTMuLawEncoder, "u-law", false},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        CComPtr<IBaseFilter> spFilter = NewStandin(*test.pclsid);
        ASSERT_TRUE(spFilter != nullptr);
        CComPtr<IPersistStream> spPersist;
        EXPECT_EQ(test.bSettings ? S_OK : E_NOINTERFACE, spFilter->QueryInterface(&spPersist));
        CComPtr<IPersist> spPersistBase;
        ASSERT_EQ(S_OK, spFilter->QueryInterface(&spPersistBase));
        CLSID clsid = GUID_NULL;
        EXPECT_EQ(S_OK, spPersistBase->GetClassID(&clsid));
        EXPECT_EQ(*test.pclsid, clsid);
        if (spPersist)
        {
            EXPECT_EQ(S_OK, spPersist->GetClassID(&clsid));
            EXPECT_EQ(*test.pclsid, clsid);
        }
    }
}

class GeneratorPersistTest : public StandinGraphTest
{
};

// The example of a saved graph: a generator at 8000 Hz and 640x480 YUY2 whose
// pins were connected with those types. A default generator refuses them.
TEST_F(GeneratorPersistTest, SettingsComeBackInANewGeneratorThatTakesTheSavedConnections)
{
    CComPtr<IBaseFilter> spSaved = NewStandin(CLSID_OrmidexVideoGenerator);
    CComQIPtr<IVideoGenerator> spControl(spSaved);
    // None of these is the generator's default.
    ASSERT_EQ(S_OK, spControl->SetPattern(ePatternColorBars));
    ASSERT_EQ(S_OK, spControl->SetOverlay(eOverlayNone));
    ASSERT_EQ(S_OK, spControl->SetVideoFormat(1, 0, 640, 480, 30.0, 0));
    ASSERT_EQ(S_OK, spControl->SetSamplingRate(8000));
    std::vector<BYTE> record;
    ASSERT_EQ(S_OK, SavePersistBytes(spSaved, &record));
    ASSERT_EQ(40u, record.size());
    EXPECT_EQ(record.size(), SizeMax(spSaved));
    const BYTE rgbHeader[] = {'O', 'G', 'E', 'N', 1, 0, 32, 0};
    EXPECT_EQ(0, memcmp(rgbHeader, record.data(), sizeof(rgbHeader)));
    const BYTE rgbRate[] = {0x40, 0x1F, 0, 0}; // 8000, the last field
    EXPECT_EQ(0, memcmp(rgbRate, &record[36], sizeof(rgbRate)));

    CMediaType mtVideo = PinType(spSaved, L"Video"), mtAudio = PinType(spSaved, L"Audio");
    AddSink(2);
    CComPtr<IBaseFilter> spDefault = Add(CLSID_OrmidexVideoGenerator, L"Default");
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED,
              m_spGraph->ConnectDirect(FindPin(spDefault, L"Audio"), m_pSink->InputPin(1), &mtAudio));

    CComPtr<IBaseFilter> spLoaded = NewStandin(CLSID_OrmidexVideoGenerator);
    ASSERT_EQ(S_OK, LoadPersistBytes(spLoaded, record));
    EXPECT_TRUE(PinType(spLoaded, L"Video").Equals(&mtVideo));
    EXPECT_TRUE(PinType(spLoaded, L"Audio").Equals(&mtAudio));
    std::vector<BYTE> resaved;
    ASSERT_EQ(S_OK, SavePersistBytes(spLoaded, &resaved));
    EXPECT_EQ(record, resaved);

    ASSERT_EQ(S_OK, m_spGraph->AddFilter(spLoaded, c_szGenerator));
    ASSERT_EQ(S_OK, m_spGraph->ConnectDirect(FindPin(spLoaded, L"Video"), m_pSink->InputPin(0),
                                             &mtVideo));
    ASSERT_EQ(S_OK, m_spGraph->ConnectDirect(FindPin(spLoaded, L"Audio"), m_pSink->InputPin(1),
                                             &mtAudio));
    // Pattern and overlay reach the pictures.
    ASSERT_EQ(S_OK, Run());
    ASSERT_TRUE(m_pSink->WaitForSamples(0, 1, 10000));
    ASSERT_EQ(S_OK, Stop());
    CFrameLayout layout = CFrameLayout::Make(640, 480, true);
    std::vector<BYTE> expected(layout.ImageSize());
    DrawPattern(expected.data(), layout, ePatternColorBars, 0);
    EXPECT_TRUE(expected == m_pSink->Input(0).rgPayloads.at(0));
}

TEST(GeneratorRecordTest, MalformedRecordsAreRefusedAndChangeNothing)
{
    const std::vector<BYTE> valid = GeneratorRecord([](IVideoGenerator* pControl) {
        EXPECT_EQ(S_OK, pControl->SetVideoFormat(0, 0, 640, 480, 25.0, 0));
        EXPECT_EQ(S_OK, pControl->SetSamplingRate(8000));
    });
    ASSERT_EQ(40u, valid.size());
    std::vector<BYTE> qsRecord;
    ASSERT_EQ(S_OK, SavePersistBytes(NewStandin(CLSID_OrmidexQSEncoder), &qsRecord));
    using Edit = std::function<void(std::vector<BYTE>&)>;
    struct
    {
        const char* pszName;
        Edit edit;
    } rgCases[] = {
        {"empty", [](std::vector<BYTE>& r) { r.clear(); }},
        {"half a header", [](std::vector<BYTE>& r) { r.resize(4); }},
        {"values cut short", [](std::vector<BYTE>& r) { r.resize(r.size() - 2); }},
        {"another filter's tag", [&](std::vector<BYTE>& r) { r = qsRecord; }},
        {"a later version", [](std::vector<BYTE>& r) { r[4] = 2; }},
        {"version 0", [](std::vector<BYTE>& r) { r[4] = 0; }},
        {"size beyond the bytes", [](std::vector<BYTE>& r) { r[6] = 34; }},
        {"size short of the values", [](std::vector<BYTE>& r) { r[6] = 28; r.resize(36); }},
        {"values past the size", [](std::vector<BYTE>& r) { r[6] = 36; r.resize(44, 0); }},
        {"pattern out of range", [](std::vector<BYTE>& r) { r[8] = ePatternCount; }},
        {"odd width", [](std::vector<BYTE>& r) { r[20] |= 1; }},
        {"frame rate not a number",
         [](std::vector<BYTE>& r) {
             const BYTE rgbNaN[8] = {0, 0, 0, 0, 0, 0, 0xF8, 0x7F};
             memcpy(&r[28], rgbNaN, sizeof(rgbNaN));
         }},
        {"sampling rate too low", [](std::vector<BYTE>& r) { r[36] = 0x3F; }},
        {"garbage", [](std::vector<BYTE>& r) { r.assign(r.size(), 0xA5); }},
        {"garbage values", [](std::vector<BYTE>& r) { std::fill(r.begin() + 8, r.end(), 0xA5); }},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        std::vector<BYTE> record = valid;
        test.edit(record);
        CComPtr<IBaseFilter> spGenerator = NewStandin(CLSID_OrmidexVideoGenerator);
        const DWORD nRate = SampleRate(spGenerator);
        const LONG nWidth = VideoWidth(spGenerator);
        EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT, LoadPersistBytes(spGenerator, record));
        EXPECT_EQ(nRate, SampleRate(spGenerator));
        EXPECT_EQ(nWidth, VideoWidth(spGenerator));
        EXPECT_EQ(S_FALSE, IsDirty(spGenerator));
    }
}

// Loading follows the setters' rules: a connected pin keeps its format, and
// a record that would change it changes nothing at all.
TEST_F(GeneratorPersistTest, LoadIsRefusedWhileRunningAndWhenItWouldChangeAConnectedPin)
{
    // The generator's own sampling rate, so that only the 8 kHz record
    // would change the connected audio pin.
    const std::vector<BYTE> small = GeneratorRecord([](IVideoGenerator* pControl) {
        EXPECT_EQ(S_OK, pControl->SetVideoFormat(0, 0, 320, 240, 25.0, 0));
    });
    const std::vector<BYTE> smallAt8k = GeneratorRecord([](IVideoGenerator* pControl) {
        EXPECT_EQ(S_OK, pControl->SetVideoFormat(0, 0, 320, 240, 25.0, 0));
        EXPECT_EQ(S_OK, pControl->SetSamplingRate(8000));
    });
    CComPtr<IBaseFilter> spGenerator = Add(CLSID_OrmidexVideoGenerator, c_szGenerator);
    AddSink(1);
    ASSERT_EQ(S_OK, ConnectToSink(spGenerator, L"Audio"));
    const LONG nWidth = VideoWidth(spGenerator);
    ASSERT_NE(320, nWidth);

    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, LoadPersistBytes(spGenerator, smallAt8k));
    EXPECT_EQ(nWidth, VideoWidth(spGenerator));
    EXPECT_EQ(S_OK, LoadPersistBytes(spGenerator, small));
    EXPECT_EQ(320, VideoWidth(spGenerator));

    ASSERT_EQ(S_OK, Run());
    EXPECT_EQ(VFW_E_WRONG_STATE, LoadPersistBytes(spGenerator, small));
    ASSERT_EQ(S_OK, Stop());
    EXPECT_EQ(S_OK, LoadPersistBytes(spGenerator, small));
}

TEST(GeneratorRecordTest, IsDirtyTracksChangesSinceTheLastSaveOrLoad)
{
    CComPtr<IBaseFilter> spGenerator = NewStandin(CLSID_OrmidexVideoGenerator);
    CComQIPtr<IVideoGenerator> spControl(spGenerator);
    CComQIPtr<IPersistStream> spPersist(spGenerator);
    EXPECT_EQ(S_FALSE, spPersist->IsDirty());
    ASSERT_EQ(S_OK, spControl->SetPattern(ePatternMovingBars));
    EXPECT_EQ(S_OK, spPersist->IsDirty());

    std::vector<BYTE> record;
    ASSERT_EQ(S_OK, SavePersistBytes(spGenerator, &record, FALSE));
    EXPECT_EQ(S_OK, spPersist->IsDirty());
    ASSERT_EQ(S_OK, SavePersistBytes(spGenerator, &record, TRUE));
    EXPECT_EQ(S_FALSE, spPersist->IsDirty());
    ASSERT_EQ(S_OK, spControl->SetPattern(ePatternChecker)); // the default again
    EXPECT_EQ(S_OK, spPersist->IsDirty());
    ASSERT_EQ(S_OK, spControl->SetPattern(ePatternMovingBars));
    EXPECT_EQ(S_FALSE, spPersist->IsDirty());

    ASSERT_EQ(S_OK, spControl->SetOverlay(eOverlayNone));
    EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT, LoadPersistBytes(spGenerator, std::vector<BYTE>(40, 0xA5)));
    EXPECT_EQ(S_OK, spPersist->IsDirty());
    ASSERT_EQ(S_OK, LoadPersistBytes(spGenerator, record));
    EXPECT_EQ(S_FALSE, spPersist->IsDirty());

    EXPECT_EQ(E_POINTER, spPersist->Load(nullptr));
    EXPECT_EQ(E_POINTER, spPersist->Save(nullptr, TRUE));
    EXPECT_EQ(E_POINTER, spPersist->GetSizeMax(nullptr));
}

TEST(GeneratorRecordTest, FaultSwitchesFailLoadAndSaveAndHideTheInterface)
{
    const std::vector<BYTE> record = GeneratorRecord([](IVideoGenerator*) {});
    for (const wchar_t* pszMethod : {L"Load", L"Save"})
    {
        CFaultSwitch fault(c_szGenerator, pszMethod, static_cast<DWORD>(STG_E_ACCESSDENIED));
        CComPtr<IBaseFilter> spGenerator = NewStandin(CLSID_OrmidexVideoGenerator);
        std::vector<BYTE> saved;
        bool bLoad = wcscmp(pszMethod, L"Load") == 0;
        EXPECT_EQ(bLoad ? STG_E_ACCESSDENIED : S_OK, LoadPersistBytes(spGenerator, record));
        EXPECT_EQ(bLoad ? S_OK : STG_E_ACCESSDENIED, SavePersistBytes(spGenerator, &saved));
    }
    CFaultSwitch hidden(c_szGenerator, L"NoInterface:IPersistStream", 1);
    CComPtr<IBaseFilter> spGenerator = NewStandin(CLSID_OrmidexVideoGenerator);
    CComPtr<IPersistStream> spPersist;
    EXPECT_EQ(E_NOINTERFACE, spGenerator->QueryInterface(&spPersist));
    CComPtr<IPersist> spPersistBase;
    EXPECT_EQ(S_OK, spGenerator->QueryInterface(&spPersistBase));
}

// The saved encoder takes its bit rate once connected; a new one takes the
// record unconnected, as a saved graph's filters are loaded before their
// pins are connected.
TEST_F(StandinGraphTest, QSSettingsComeBackInANewEncoder)
{
    CComPtr<IBaseFilter> spSaved = Add(CLSID_OrmidexQSEncoder, c_szQS);
    ASSERT_EQ(S_OK, Connect(Add(CLSID_OrmidexVideoGenerator, c_szGenerator), L"Video", spSaved, L"Input"));
    CComQIPtr<IQSEncoder> spEncoder(spSaved);
    ASSERT_EQ(S_OK, spEncoder->SelectEncoder(QSEnc_H264_Hardware));
    ASSERT_EQ(S_OK, spEncoder->SetTargetUsage(6));
    ASSERT_EQ(S_OK, spEncoder->SetBitrate(1500));
    ASSERT_EQ(S_OK, spEncoder->SetBFrames(0));
    std::vector<BYTE> record;
    ASSERT_EQ(S_OK, SavePersistBytes(spSaved, &record));
    EXPECT_EQ(24u, record.size());
    EXPECT_EQ(record.size(), SizeMax(spSaved));

    CComPtr<IBaseFilter> spLoaded = NewStandin(CLSID_OrmidexQSEncoder);
    ASSERT_EQ(S_OK, LoadPersistBytes(spLoaded, record));
    CComQIPtr<IQSEncoderStatus> spStatus(spLoaded);
    QS_ENCODER_STATUS status = {};
    ASSERT_EQ(S_OK, spStatus->GetStatus(&status));
    EXPECT_EQ(QSEnc_H264_Hardware, status.nSelectedEncoder);
    EXPECT_EQ(6, status.nTargetUsage);
    EXPECT_EQ(0, status.nBFrames);
    EXPECT_EQ(1500, status.nBitrateKbps);
    EXPECT_EQ(S_FALSE, IsDirty(spLoaded));

    // A machine without the hardware encoder refuses it, as SelectEncoder does.
    CFaultSwitch softwareOnly(c_szQS, L"SupportedEncoders", QSEnc_H264_Software);
    CComPtr<IBaseFilter> spSoftware = NewStandin(CLSID_OrmidexQSEncoder);
    EXPECT_EQ(E_INVALIDARG, LoadPersistBytes(spSoftware, record));
    spStatus = spSoftware;
    ASSERT_EQ(S_OK, spStatus->GetStatus(&status));
    EXPECT_EQ(0, status.nSelectedEncoder);
    EXPECT_EQ(4000, status.nBitrateKbps);
}

// Version 2 keeps the deadline, the bit rate and the key-frame interval;
// a version 1 record (the deadline alone, from graphs saved before) still
// loads, with the other two at their defaults.
TEST(EncoderRecordTest, VP8SettingsComeBackInANewEncoder)
{
    CComPtr<IBaseFilter> spSaved = NewStandin(CLSID_VP8Encoder);
    CComQIPtr<IVP8Encoder> spEncoder(spSaved);
    CComQIPtr<IVP8EncoderSettings> spSettings(spSaved);
    ASSERT_EQ(S_OK, spEncoder->SetDeadline(1));
    ASSERT_EQ(S_OK, spSettings->SetBitrate(750));
    ASSERT_EQ(S_OK, spSettings->SetKeyFrameInterval(90));
    std::vector<BYTE> record;
    ASSERT_EQ(S_OK, SavePersistBytes(spSaved, &record));
    EXPECT_EQ(20u, record.size());
    EXPECT_EQ(record.size(), SizeMax(spSaved));

    CComPtr<IBaseFilter> spLoaded = NewStandin(CLSID_VP8Encoder);
    ASSERT_EQ(S_OK, LoadPersistBytes(spLoaded, record));
    spSettings = spLoaded;
    VP8_ENCODER_STATUS status = {};
    ASSERT_EQ(S_OK, spSettings->GetStatus(&status));
    EXPECT_EQ(1, status.nDeadline);
    EXPECT_EQ(750, status.nBitrateKbps);
    EXPECT_EQ(90, status.nKeyFrameInterval);

    std::vector<BYTE> rgNegative = record;
    rgNegative[11] = 0x80; // a negative deadline
    EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT, LoadPersistBytes(spLoaded, rgNegative));
    std::vector<BYTE> rgNoInterval = record;
    std::fill(rgNoInterval.begin() + 16, rgNoInterval.end(), 0);
    EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT, LoadPersistBytes(spLoaded, rgNoInterval));
    ASSERT_EQ(S_OK, spSettings->GetStatus(&status));
    EXPECT_EQ(1, status.nDeadline);
    EXPECT_EQ(90, status.nKeyFrameInterval);

    // 'VP8E', version 1, 4 bytes: a deadline of 0.
    const std::vector<BYTE> rgVersion1 = {'V', 'P', '8', 'E', 1, 0, 4, 0, 0, 0, 0, 0};
    CComPtr<IBaseFilter> spOld = NewStandin(CLSID_VP8Encoder);
    ASSERT_EQ(S_OK, LoadPersistBytes(spOld, rgVersion1));
    spSettings = spOld;
    ASSERT_EQ(S_OK, spSettings->GetStatus(&status));
    EXPECT_EQ(0, status.nDeadline);
    EXPECT_EQ(1000, status.nBitrateKbps);
    EXPECT_EQ(60, status.nKeyFrameInterval);
}

} // namespace
