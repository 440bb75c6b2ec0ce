// Building the graph from components with the stand-in filters in the real
// graph manager: creation order, special set-up, connections, failures.
#include <gtest/gtest.h>

#include "dshow/MediaFormat.h"
#include "dshow/MediaType.h"
#include "graph/Graph.h"
#include "components/Ormidex.h"
#include "components/VP8Encoder.h"
#include "standins/generator/GeneratorStatus.h"
#include "standins/encoders/EncoderIds.h"
#include "standins/kit/FaultSwitch.h"
#include "tests/support/DevEnumFixture.h"
#include "tests/support/GraphInspector.h"
#include "tests/support/ReportCapture.h"
#include "tests/support/ResourceUse.h"
#include "tests/support/StandinDlls.h"

#include <vector>

namespace {

const wchar_t szGenerator[] = L"Ormidex Video Generator";
const wchar_t szQS[] = L"Ormidex QS Encoder";
const wchar_t szVP8[] = L"WebM VP8 Encoder Filter";
const wchar_t szOpus[] = L"Ormidex Opus Encoder";
const wchar_t szALaw[] = L"CCITT A-Law";

class BuildGraphTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        m_graph.ReleaseGraph();
        ::DestroyWindow(m_hWnd);
    }

    HRESULT Build(LPCWSTR pszSource, LPCWSTR pszEncVid, LPCWSTR pszEncAud)
    {
        return m_graph.BuildGraph(pszSource, m_hWnd, WM_APP + 123, pszEncVid, pszEncAud, nullptr);
    }

    std::vector<std::wstring> FilterNames()
    {
        std::vector<std::wstring> names;
        IGraphBuilder* pGraph = CGraphInspector::Graph(m_graph);
        if (pGraph == nullptr)
            return names;
        CComPtr<IEnumFilters> spEnum;
        pGraph->EnumFilters(&spEnum);
        CComPtr<IBaseFilter> spFilter;
        while (spEnum->Next(1, &spFilter, nullptr) == S_OK)
        {
            FILTER_INFO info = {};
            spFilter->QueryFilterInfo(&info);
            if (info.pGraph != nullptr)
                info.pGraph->Release();
            names.push_back(info.achName);
            spFilter.Release();
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    CComPtr<IBaseFilter> Filter(const wchar_t* pszName)
    {
        CComPtr<IBaseFilter> spFilter;
        CGraphInspector::Graph(m_graph)->FindFilterByName(pszName, &spFilter);
        return spFilter;
    }

    // The media type on a connected pin of the named filter.
    bool ConnectionType(const wchar_t* pszFilter, const wchar_t* pszPin, AM_MEDIA_TYPE* pmt)
    {
        CComPtr<IBaseFilter> spFilter = Filter(pszFilter);
        CComPtr<IPin> spPin;
        if (spFilter == nullptr || spFilter->FindPin(pszPin, &spPin) != S_OK)
            return false;
        return spPin->ConnectionMediaType(pmt) == S_OK;
    }

    DWORD AudioRate()
    {
        CMediaType mt;
        if (!ConnectionType(szGenerator, L"Audio", &mt))
            return 0;
        const WAVEFORMATEX* pwfx = GetWaveFormat(&mt);
        return pwfx != nullptr ? pwfx->nSamplesPerSec : 0;
    }

    QS_ENCODER_STATUS QSStatus()
    {
        QS_ENCODER_STATUS status = {};
        CComQIPtr<IQSEncoderStatus> spStatus(Filter(szQS));
        if (spStatus != nullptr)
            spStatus->GetStatus(&status);
        return status;
    }

    CGraph m_graph;
    HWND m_hWnd = nullptr;
};

using Names = std::vector<std::wstring>;

// Filter names compare as sets.
Names Sorted(Names names)
{
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(BuildGraphTest, GeneratorQSAndOpusOnBothMedia)
{
    ASSERT_EQ(S_OK, Build(szGenerator, szQS, szOpus));
    EXPECT_EQ(Sorted({L"Corvasta", szGenerator, szOpus, szQS}), FilterNames());
    EXPECT_TRUE(CGraphInspector::Server(m_graph) != nullptr);
    EXPECT_TRUE(CGraphInspector::Source(m_graph) == Filter(szGenerator));
    EXPECT_TRUE(CGraphInspector::EncoderVid(m_graph) == Filter(szQS));
    EXPECT_TRUE(CGraphInspector::EncoderAud(m_graph) == Filter(szOpus));

    // Direct connections: source -> encoder -> Corvasta, nothing between.
    auto peerOf = [this](const wchar_t* pszFilter, const wchar_t* pszPin) {
        CComPtr<IPin> spPin, spPeer;
        Filter(pszFilter)->FindPin(pszPin, &spPin);
        PIN_INFO info = {};
        if (spPin == nullptr || spPin->ConnectedTo(&spPeer) != S_OK || spPeer->QueryPinInfo(&info) != S_OK)
            return std::wstring();
        FILTER_INFO fi = {};
        info.pFilter->QueryFilterInfo(&fi);
        if (fi.pGraph != nullptr)
            fi.pGraph->Release();
        info.pFilter->Release();
        return std::wstring(fi.achName) + L"." + info.achName;
    };
    EXPECT_EQ(std::wstring(szQS) + L".Input", peerOf(szGenerator, L"Video"));
    EXPECT_EQ(std::wstring(szOpus) + L".Input", peerOf(szGenerator, L"Audio"));
    EXPECT_EQ(std::wstring(szQS) + L".Output", peerOf(L"Corvasta", L"Video"));
    EXPECT_EQ(std::wstring(szOpus) + L".Output", peerOf(L"Corvasta", L"Audio"));

    // The generator's format and the QS encoder's set-up.
    CMediaType mt;
    ASSERT_TRUE(ConnectionType(szGenerator, L"Video", &mt));
    ASSERT_EQ(FORMAT_VideoInfo, mt.formattype);
    const VIDEOINFOHEADER* pvih = GetVideoInfo(&mt);
    ASSERT_TRUE(pvih != nullptr);
    EXPECT_EQ(720, pvih->bmiHeader.biWidth);
    EXPECT_EQ(576, std::abs(pvih->bmiHeader.biHeight));
    EXPECT_EQ(400000, pvih->AvgTimePerFrame); // 25 fps
    EXPECT_EQ(48000u, AudioRate());
    // The pattern and overlay show in no media type: the generator says them.
    CComQIPtr<IGeneratorStatus> spGenerator(Filter(szGenerator));
    ASSERT_NE(nullptr, spGenerator.p);
    GENERATOR_STATUS generator = {};
    ASSERT_EQ(S_OK, spGenerator->GetStatus(&generator));
    EXPECT_EQ(0, generator.nColorSpace);
    EXPECT_EQ(1, generator.nPattern);
    EXPECT_EQ(0, generator.nOverlay);

    QS_ENCODER_STATUS status = QSStatus();
    EXPECT_EQ(QSEnc_H264_Hardware, status.nSelectedEncoder); // mask 3
    EXPECT_EQ(3, status.nTargetUsage);
    EXPECT_EQ(1000, status.nBitrateKbps);
    EXPECT_EQ(0, status.nBFrames);
}

// The VP8 encoder's own default deadline is not the one the build sets.
TEST_F(BuildGraphTest, VP8DeadlineIsSet)
{
    ASSERT_EQ(S_OK, Build(szGenerator, szVP8, nullptr));
    CComQIPtr<IVP8Encoder> spVP8(Filter(szVP8));
    ASSERT_NE(nullptr, spVP8.p);
    int nDeadline = 0;
    ASSERT_EQ(S_OK, spVP8->GetDeadline(&nDeadline));
    EXPECT_EQ(1, nDeadline);
}

TEST_F(BuildGraphTest, SamplingRateFollowsTheAudioEncoder)
{
    ASSERT_EQ(S_OK, Build(szGenerator, nullptr, szALaw));
    EXPECT_EQ(8000u, AudioRate());
    EXPECT_TRUE(CGraphInspector::EncoderVid(m_graph) == nullptr);
    ASSERT_EQ(S_OK, Build(szGenerator, L"", L"ccitt u-law"));
    EXPECT_EQ(8000u, AudioRate());
    // Only the video chain: the generator is never asked for a rate, so its
    // audio output stays unconnected.
    ASSERT_EQ(S_OK, Build(szGenerator, szVP8, nullptr));
    EXPECT_EQ(0u, AudioRate());
    EXPECT_EQ(Sorted({L"Corvasta", szGenerator, szVP8}), FilterNames());
}

TEST_F(BuildGraphTest, NamesAreMatchedWholeAndWithoutCase)
{
    CReportCapture capture;
    EXPECT_EQ(S_OK, Build(L"ORMIDEX video GENERATOR", L"ormidex qs encoder", nullptr));

    EXPECT_EQ(E_FAIL, Build(L"Ormidex Video", szQS, nullptr));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::CreateFilterByName(): filter not found"));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::CreateGraph(): Can't create source filter"));
    // The Corvasta filter was already inserted; nothing is assigned.
    EXPECT_EQ(Sorted({L"Corvasta"}), FilterNames());
    EXPECT_TRUE(CGraphInspector::Server(m_graph) == nullptr);

    EXPECT_EQ(E_FAIL, Build(szGenerator, L"Ormidex QS", nullptr));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::CreateGraph(): Can't create video encoder filter"));
}

// Each step of the search reports its own failure: an entry whose name can't
// be read is passed over, a device that can't be created ends the search.
TEST_F(BuildGraphTest, CreateFilterByNameFlagsEachStep)
{
    GUID clsidNowhere = GUID_NULL;
    ASSERT_EQ(S_OK, ::CoCreateGuid(&clsidNowhere));
    CTestCategory cat;
    cat.AddUnreadable(true);
    cat.AddUnreadable(false);
    cat.Add(L"Nowhere", clsidNowhere);
    cat.Add(L"Reader", CLSID_AsyncReader);
    CTestCategory empty;

    auto flag = [](const wchar_t* pszStep) {
        return L"!L\"CGraph::CreateFilterByName(): " + std::wstring(pszStep) + L"\"";
    };
    const std::wstring unreadable = flag(L"spPropBag->Read() FAILED");
    struct
    {
        const wchar_t* pszName;
        const GUID* pCategory;
        HRESULT hr;
        std::vector<std::wstring> asserts;
    } cases[] = {
        {L"reader", &cat.Id(), S_OK, {unreadable, unreadable}},
        {L"Nowhere", &cat.Id(), REGDB_E_CLASSNOTREG,
         {unreadable, unreadable, flag(L"spMoniker->BindToObject() FAILED")}},
        {L"Camera", &cat.Id(), E_FAIL, {unreadable, unreadable, flag(L"filter not found")}},
        {L"Reader", &empty.Id(), S_FALSE, {flag(L"Can't create enumerator for filter category")}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.pszName);
        CReportCapture capture;
        CComPtr<IBaseFilter> spFilter;
        EXPECT_EQ(c.hr, CGraph::CreateFilterByName(c.pszName, *c.pCategory, &spFilter));
        EXPECT_EQ(c.hr == S_OK, spFilter != nullptr);
        EXPECT_EQ(c.asserts, capture.Asserts());
    }
}

TEST_F(BuildGraphTest, BothEncodersEmptyCreatesNothing)
{
    EXPECT_EQ(E_INVALIDARG, Build(szGenerator, L"", nullptr));
    EXPECT_TRUE(m_graph.HasGraph());
    EXPECT_TRUE(FilterNames().empty());
    EXPECT_EQ(E_INVALIDARG, Build(szGenerator, nullptr, L""));
    EXPECT_TRUE(FilterNames().empty());
}

TEST_F(BuildGraphTest, FirstOfTwoDevicesWithTheSameNameWins)
{
    CTestCategory compressors(CLSID_VideoCompressorCategory);
    compressors.Add(L"Twin Encoder", CLSID_VP8Encoder);
    compressors.Add(L"Twin Encoder", CLSID_OrmidexQSEncoder);
    ASSERT_EQ(S_OK, Build(szGenerator, L"Twin Encoder", nullptr));
    CLSID clsid = GUID_NULL;
    CGraphInspector::EncoderVid(m_graph)->GetClassID(&clsid);
    EXPECT_TRUE(clsid == CLSID_VP8Encoder);
}

// The graph manager adds a filter whose name is taken under another name and
// says so with a success code, VFW_S_DUPLICATE_NAME: the build takes that as
// the failure it is, as any result but S_OK.
TEST_F(BuildGraphTest, AFriendlyNameAlreadyInTheGraphFailsTheBuild)
{
    const struct
    {
        const GUID* pCategory;
        const GUID* pclsid;
        bool bSource;
        const wchar_t* pszFlag;
    } rgCases[] = {
        {&CLSID_VideoInputDeviceCategory, &CLSID_OrmidexVideoGenerator, true,
         L"CGraph::CreateGraph(): Can't insert source filter to graph"},
        {&CLSID_VideoCompressorCategory, &CLSID_OrmidexQSEncoder, false,
         L"CGraph::CreateGraph(): Can't insert video encoder to graph"},
    };
    for (const auto& c : rgCases)
    {
        SCOPED_TRACE(c.pszFlag);
        CTestCategory category(*c.pCategory);
        category.Add(L"Corvasta", *c.pclsid);
        CReportCapture capture;
        EXPECT_EQ(VFW_S_DUPLICATE_NAME, c.bSource ? Build(L"Corvasta", szQS, nullptr) : Build(szGenerator, L"Corvasta", nullptr));
        EXPECT_TRUE(capture.HasFlag(c.pszFlag));
        EXPECT_EQ(nullptr, CGraphInspector::Server(m_graph).p);
        m_graph.ReleaseGraph();
    }
}

TEST_F(BuildGraphTest, PinShortagesBecomeFailures)
{
    CReportCapture capture;
    {
        CFaultSwitch noAudioPin(L"Corvasta", L"NoPin:Audio", 1);
        EXPECT_EQ(E_FAIL, Build(szGenerator, szQS, szOpus));
        EXPECT_TRUE(capture.HasFlag(L"CGraph::CreateGraph(): GetPins( server ) FAILED"));
        EXPECT_EQ(Sorted({L"Corvasta"}), FilterNames());
    }
    {
        CFaultSwitch noVideo(szGenerator, L"NoPin:Video", 1);
        CFaultSwitch noAudio(szGenerator, L"NoPin:Audio", 1);
        EXPECT_EQ(E_FAIL, Build(szGenerator, szQS, szOpus));
        EXPECT_TRUE(capture.HasFlag(L"CGraph::CreateGraph(): GetPins( source ) FAILED"));
    }
    {
        // A video-only source builds the video chain alone.
        CFaultSwitch noAudio(szGenerator, L"NoPin:Audio", 1);
        capture.Clear();
        EXPECT_EQ(S_OK, Build(szGenerator, szQS, szOpus));
        EXPECT_EQ(Sorted({L"Corvasta", szGenerator, szQS}), FilterNames());
        EXPECT_TRUE(CGraphInspector::EncoderAud(m_graph) == nullptr);
        // An audio encoder named for a source without audio: no message.
        EXPECT_TRUE(capture.Asserts().empty());
    }
    {
        // An audio-only source with only a video encoder: just the two
        // filters, unconnected, and still a success.
        CFaultSwitch noVideo(szGenerator, L"NoPin:Video", 1);
        EXPECT_EQ(S_OK, Build(szGenerator, szQS, nullptr));
        EXPECT_EQ(Sorted({L"Corvasta", szGenerator}), FilterNames());
    }
}

TEST_F(BuildGraphTest, QSEncoderKindFollowsTheMask)
{
    struct Case
    {
        DWORD dwMask;
        HRESULT hrExpected;
        LONG nSelected;
    } cases[] = {
        {3, S_OK, QSEnc_H264_Hardware},
        {2, S_OK, QSEnc_H264_Hardware},
        {1, S_OK, QSEnc_H264_Software},
        // Nothing reported: the software kind is still tried, and refused.
        {0, E_INVALIDARG, 0},
    };
    for (const Case& c : cases)
    {
        CFaultSwitch mask(szQS, L"SupportedEncoders", c.dwMask);
        EXPECT_EQ(c.hrExpected, Build(szGenerator, szQS, nullptr)) << c.dwMask;
        EXPECT_EQ(c.nSelected, QSStatus().nSelectedEncoder) << c.dwMask;
    }
    CReportCapture capture;
    CFaultSwitch refuse(szQS, L"SelectEncoder", static_cast<DWORD>(VFW_E_WRONG_STATE));
    EXPECT_EQ(VFW_E_WRONG_STATE, Build(szGenerator, szQS, szOpus));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::CreateGraph(): Can't select H264 encoder"));
    // The extra settings are asserted only: their failure does not stop a build.
    CFaultSwitch usage(szQS, L"SetTargetUsage", static_cast<DWORD>(E_FAIL));
    CFaultSwitch select(szQS, L"SelectEncoder", 0);
    EXPECT_EQ(S_OK, Build(szGenerator, szQS, nullptr));
}

TEST_F(BuildGraphTest, VP8EncoderWithoutItsInterface)
{
    CReportCapture capture;
    CFaultSwitch noInterface(szVP8, L"NoInterface:IVP8Encoder", 1);
    EXPECT_EQ(E_NOINTERFACE, Build(szGenerator, szVP8, nullptr));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::CreateGraph(): Can't QI(IVP8Encoder)"));
}

TEST_F(BuildGraphTest, AudioChainFailureKeepsTheVideoEncoder)
{
    CReportCapture capture;
    CFaultSwitch rate(szGenerator, L"SetSamplingRate", static_cast<DWORD>(E_INVALIDARG));
    EXPECT_EQ(E_INVALIDARG, Build(szGenerator, szQS, szOpus));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::CreateGraph(): spVidGen->SetSamplingRate() FAILED"));
    EXPECT_TRUE(CGraphInspector::EncoderVid(m_graph) == Filter(szQS));
    EXPECT_TRUE(CGraphInspector::EncoderAud(m_graph) == nullptr);
    EXPECT_TRUE(CGraphInspector::Server(m_graph) == nullptr);
    EXPECT_TRUE(CGraphInspector::Source(m_graph) == nullptr);
    // The filters stay in the half-built graph.
    EXPECT_EQ(Sorted({L"Corvasta", szGenerator, szOpus, szQS}), FilterNames());
}

TEST_F(BuildGraphTest, ClassIdFailureOfAnEncoder)
{
    CReportCapture capture;
    CFaultSwitch classId(szOpus, L"GetClassID", static_cast<DWORD>(E_UNEXPECTED));
    EXPECT_EQ(E_UNEXPECTED, Build(szGenerator, nullptr, szOpus));
    EXPECT_TRUE(capture.HasFlag(L"CGraph::CreateGraph(): spEncoder->GetClassID() FAILED for audio encoder"));
}

TEST_F(BuildGraphTest, CollectPinsArguments)
{
    CComPtr<IPin> spPin;
    EXPECT_EQ(E_INVALIDARG, CGraph::CollectPins(nullptr, eFltSource, &spPin, nullptr));
    CComPtr<IBaseFilter> spServer;
    ASSERT_EQ(S_OK, spServer.CoCreateInstance(CLSID_CorvastaFilter, nullptr, CLSCTX_INPROC_SERVER));
    EXPECT_EQ(E_INVALIDARG, CGraph::CollectPins(spServer, static_cast<EFilter>(3), &spPin, nullptr));
    EXPECT_EQ(E_INVALIDARG, CGraph::CollectPins(spServer, eFltServer, nullptr, nullptr));
    // A sink has no output pins: nothing for the source role.
    EXPECT_EQ(S_FALSE, CGraph::CollectPins(spServer, eFltSource, &spPin, nullptr));
    EXPECT_TRUE(spPin == nullptr);
    CComPtr<IPin> spSecond;
    EXPECT_EQ(S_OK, CGraph::CollectPins(spServer, eFltServer, nullptr, &spSecond));
    PIN_INFO info = {};
    spSecond->QueryPinInfo(&info);
    info.pFilter->Release();
    EXPECT_STREQ(L"Audio", info.achName);

    CComPtr<IBaseFilter> spFilter;
    EXPECT_EQ(E_INVALIDARG, CGraph::CreateFilterByName(L"", CLSID_VideoInputDeviceCategory, &spFilter));
    EXPECT_EQ(E_POINTER, CGraph::CreateFilterByName(szGenerator, CLSID_VideoInputDeviceCategory, nullptr));
    CTestCategory empty;
    EXPECT_EQ(S_FALSE, CGraph::CreateFilterByName(szGenerator, empty.Id(), &spFilter));
}

TEST_F(BuildGraphTest, ManyBuildsLeaveNoObjectOrHandle)
{
    auto cycle = [this] {
        EXPECT_EQ(S_OK, Build(szGenerator, szQS, szOpus));
        EXPECT_EQ(S_OK, Build(szGenerator, szVP8, szALaw)); // a rebuild
        {
            CFaultSwitch rate(szGenerator, L"SetSamplingRate", static_cast<DWORD>(E_FAIL));
            EXPECT_EQ(E_FAIL, Build(szGenerator, szQS, szOpus)); // a failed build
        }
        m_graph.ReleaseGraph();
    };
    cycle(); // loads the DLLs and warms the platform's caches
    ResourceUse before = MeasureResourceUse();
    CReportCapture capture; // the failed builds flag their failure
    for (int i = 0; i < 20; i++)
        cycle();
    ResourceUse after = MeasureResourceUse();
    ASSERT_GT(before.nHandles, 0u) << "no handle was counted";
    // One handle lost per cycle would show as 20 or more; the graph manager's
    // own loss (three graphs a cycle) is the platform's.
    long lPlatform = GraphManagerHandleLoss(3 * 20);
    EXPECT_LT(static_cast<long>(after.OwnHandles()), static_cast<long>(before.OwnHandles()) + 10 + lPlatform)
        << ResourceUseText(before, after) << "the platform's own handle loss: " << lPlatform;

    // Every filter object of the stand-ins is gone again.
    for (const wchar_t* pszDll : rgszStandinDlls)
        EXPECT_EQ(S_OK, StandinCanUnload(pszDll)) << pszDll;
}
