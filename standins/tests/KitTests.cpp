// The kit's filters in the platform's filter graph: connection, streaming,
// seeking through the sink, completion, fault switches and references.
#include <gtest/gtest.h>

#include "FaultSwitch.h"
#include "KitModule.h"
#include "TestFilters.h"
#include "dshow/DeviceEnum.h"

namespace {

const REFERENCE_TIME c_tSample = 20 * 10000; // 20 ms
const DWORD c_dwTimeout = 10000;

class KitGraphTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, m_spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr,
                                                   CLSCTX_INPROC_SERVER));
    }

    // Adds a source and a one-input sink and connects them directly.
    void BuildChain(ULONG cSamples, REFGUID majortype = MEDIATYPE_Video)
    {
        ASSERT_EQ(S_OK, CTestSource::Create(cSamples, c_tSample, majortype, &m_spSource));
        ASSERT_EQ(S_OK, CTestSink::Create(1, GUID_NULL, &m_pSink));
        ASSERT_EQ(S_OK, m_spGraph->AddFilter(m_spSource, L"Source"));
        ASSERT_EQ(S_OK, m_spGraph->AddFilter(m_pSink, L"Sink"));
        ASSERT_EQ(S_OK, m_spGraph->ConnectDirect(SourcePin(m_spSource), m_pSink->InputPin(0),
                                                 nullptr));
    }

    static CComPtr<IPin> SourcePin(IBaseFilter* pFilter)
    {
        CComPtr<IPin> spPin;
        pFilter->FindPin(L"Out", &spPin);
        return spPin;
    }

    HRESULT Control(HRESULT (STDMETHODCALLTYPE IMediaControl::*pfn)())
    {
        CComQIPtr<IMediaControl> spControl(m_spGraph);
        return (spControl.p->*pfn)();
    }

    // Releases the graph, then our own references, which must be the last.
    void ReleaseAll()
    {
        if (m_spGraph)
        {
            Control(&IMediaControl::Stop);
            EXPECT_EQ(0u, m_spGraph.Detach()->Release());
        }
        if (m_spSource)
        {
            EXPECT_EQ(0u, m_spSource.Detach()->Release());
        }
        if (m_pSink)
        {
            EXPECT_EQ(0u, m_pSink->Release());
            m_pSink = nullptr;
        }
    }

    void TearDown() override { ReleaseAll(); }

    CComPtr<IGraphBuilder> m_spGraph;
    CComPtr<IBaseFilter> m_spSource;
    CTestSink* m_pSink = nullptr;
};

TEST_F(KitGraphTest, ClipStreamsInOrderAndCompletes)
{
    BuildChain(10);
    AM_MEDIA_TYPE mt = {};
    ASSERT_EQ(S_OK, m_pSink->InputPin(0)->ConnectionMediaType(&mt));
    EXPECT_EQ(MEDIATYPE_Video, mt.majortype);
    FreeMediaType(mt);

    ASSERT_EQ(S_OK, Control(&IMediaControl::Run));
    ASSERT_EQ(S_OK, WaitForGraphEvent(m_spGraph, EC_COMPLETE, c_dwTimeout));

    CTestSinkInput input = m_pSink->Input(0);
    ASSERT_EQ(10u, input.cSamples);
    EXPECT_EQ(1u, input.cEndOfStream);
    for (ULONG i = 0; i < input.cSamples; ++i)
    {
        DWORD dwIndex = 0;
        ASSERT_EQ(sizeof(DWORD), input.rgPayloads[i].size());
        memcpy(&dwIndex, input.rgPayloads[i].data(), sizeof(dwIndex));
        EXPECT_EQ(i, dwIndex);
        EXPECT_EQ(i * c_tSample, input.rgStarts[i]);
    }
    ReleaseAll();
}

TEST_F(KitGraphTest, GraphSeesTheClipLengthThroughTheSinkAndNoneForALiveSource)
{
    BuildChain(10);
    CComQIPtr<IMediaSeeking> spSeeking(m_spGraph);
    LONGLONG llDuration = -1;
    EXPECT_EQ(S_OK, spSeeking->GetDuration(&llDuration));
    EXPECT_EQ(10 * c_tSample, llDuration);
    FILTER_STATE state = State_Stopped;
    ASSERT_EQ(S_OK, m_spSource->Pause());
    EXPECT_EQ(S_OK, m_spSource->GetState(0, &state));
    m_spSource->Stop();
    spSeeking.Release();
    ReleaseAll();

    SetUp();
    BuildChain(0);
    spSeeking = m_spGraph;
    EXPECT_EQ(E_NOTIMPL, spSeeking->GetDuration(&llDuration));
    ASSERT_EQ(S_OK, m_spSource->Pause());
    EXPECT_EQ(VFW_S_CANT_CUE, m_spSource->GetState(0, &state));
    EXPECT_EQ(State_Paused, state);
    m_spSource->Stop();
}

TEST_F(KitGraphTest, SeekWhilePausedFlushesAndRestartsFromThePosition)
{
    BuildChain(50);
    ASSERT_EQ(S_OK, Control(&IMediaControl::Pause));
    CComQIPtr<IMediaSeeking> spSeeking(m_spGraph);
    LONGLONG llPosition = 30 * c_tSample;
    ASSERT_EQ(S_OK, spSeeking->SetPositions(&llPosition, AM_SEEKING_AbsolutePositioning, nullptr,
                                            AM_SEEKING_NoPositioning));
    ASSERT_EQ(S_OK, Control(&IMediaControl::Run));
    ASSERT_EQ(S_OK, WaitForGraphEvent(m_spGraph, EC_COMPLETE, c_dwTimeout));

    CTestSinkInput input = m_pSink->Input(0);
    EXPECT_EQ(1u, input.cFlushes);
    EXPECT_EQ(30 * c_tSample, input.tSegmentStart);
    ASSERT_EQ(20u, input.cSamples);
    DWORD dwFirst = 0;
    memcpy(&dwFirst, input.rgPayloads[0].data(), sizeof(dwFirst));
    EXPECT_EQ(30u, dwFirst);
    EXPECT_EQ(0, input.rgStarts[0]);
}

TEST_F(KitGraphTest, CompletionWaitsForEveryConnectedInput)
{
    CComPtr<IBaseFilter> spShort;
    ASSERT_EQ(S_OK, CTestSource::Create(3, c_tSample, MEDIATYPE_Video, &spShort));
    ASSERT_EQ(S_OK, CTestSource::Create(15, c_tSample, MEDIATYPE_Audio, &m_spSource));
    ASSERT_EQ(S_OK, CTestSink::Create(2, GUID_NULL, &m_pSink));
    ASSERT_EQ(S_OK, m_spGraph->AddFilter(spShort, L"Short"));
    ASSERT_EQ(S_OK, m_spGraph->AddFilter(m_spSource, L"Long"));
    ASSERT_EQ(S_OK, m_spGraph->AddFilter(m_pSink, L"Sink"));
    ASSERT_EQ(S_OK, m_spGraph->ConnectDirect(SourcePin(spShort), m_pSink->InputPin(0), nullptr));
    ASSERT_EQ(S_OK, m_spGraph->ConnectDirect(SourcePin(m_spSource), m_pSink->InputPin(1), nullptr));

    ASSERT_EQ(S_OK, Control(&IMediaControl::Run));
    ASSERT_EQ(S_OK, WaitForGraphEvent(m_spGraph, EC_COMPLETE, c_dwTimeout));
    EXPECT_EQ(1u, m_pSink->Input(0).cEndOfStream);
    EXPECT_EQ(1u, m_pSink->Input(1).cEndOfStream);
    EXPECT_EQ(15u, m_pSink->Input(1).cSamples);
    ReleaseAll();
    EXPECT_EQ(0u, spShort.Detach()->Release());
}

TEST_F(KitGraphTest, ConnectionRulesAndRefusals)
{
    ASSERT_EQ(S_OK, CTestSource::Create(5, c_tSample, MEDIATYPE_Video, &m_spSource));
    ASSERT_EQ(S_OK, CTestSink::Create(1, MEDIATYPE_Audio, &m_pSink));
    ASSERT_EQ(S_OK, m_spGraph->AddFilter(m_spSource, L"Source"));
    ASSERT_EQ(S_OK, m_spGraph->AddFilter(m_pSink, L"Sink"));
    CComPtr<IPin> spOut = SourcePin(m_spSource);
    IPin* pIn = m_pSink->InputPin(0);

    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, m_spGraph->ConnectDirect(spOut, pIn, nullptr));
    CComPtr<IPin> spPeer;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, spOut->ConnectedTo(&spPeer));
    EXPECT_EQ(E_UNEXPECTED, pIn->Connect(spOut, nullptr));

    spOut.Release();
    ReleaseAll();
    SetUp();
    BuildChain(5);
    spOut.Attach(SourcePin(m_spSource).Detach());
    pIn = m_pSink->InputPin(0);
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, m_spGraph->ConnectDirect(spOut, pIn, nullptr));
    ASSERT_EQ(S_OK, Control(&IMediaControl::Pause));
    EXPECT_EQ(VFW_E_NOT_STOPPED, pIn->Disconnect());
    ASSERT_EQ(S_OK, Control(&IMediaControl::Stop));
    EXPECT_EQ(S_OK, pIn->Disconnect());
    EXPECT_EQ(S_FALSE, pIn->Disconnect());
    EXPECT_EQ(S_OK, spOut->Disconnect());

    CComPtr<IEnumMediaTypes> spTypes;
    ASSERT_EQ(S_OK, spOut->EnumMediaTypes(&spTypes));
    AM_MEDIA_TYPE* rgTypes[2] = {};
    ULONG cFetched = 0;
    EXPECT_EQ(S_FALSE, spTypes->Next(2, rgTypes, &cFetched));
    ASSERT_EQ(1u, cFetched);
    EXPECT_EQ(MEDIATYPE_Video, rgTypes[0]->majortype);
    DeleteMediaType(rgTypes[0]);
    spOut.Release();
}

// Each switch changes only the filter created after it is set.
TEST(KitFaultTest, SwitchesAreReadWhenTheFilterIsCreated)
{
    enum EExpect { eNoPin, eNoSeeking, eClassIdFails };
    struct
    {
        const wchar_t* pszValue;
        DWORD dwValue;
        EExpect eExpect;
    } rgCases[] = {
        {L"NoPin:Out", 1, eNoPin},
        {L"NoInterface:IMediaSeeking", 1, eNoSeeking},
        {L"GetClassID", static_cast<DWORD>(E_ACCESSDENIED), eClassIdFails},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(testing::Message() << test.pszValue);
        CComPtr<IBaseFilter> spBefore;
        ASSERT_EQ(S_OK, CTestSource::Create(5, c_tSample, MEDIATYPE_Video, &spBefore));
        CComPtr<IBaseFilter> spAfter;
        {
            CFaultSwitch fault(L"Test Source", test.pszValue, test.dwValue);
            ASSERT_EQ(ERROR_SUCCESS, fault.Result());
            ASSERT_EQ(S_OK, CTestSource::Create(5, c_tSample, MEDIATYPE_Video, &spAfter));
        }

        CComPtr<IPin> spPinBefore, spPinAfter;
        ASSERT_EQ(S_OK, spBefore->FindPin(L"Out", &spPinBefore));
        HRESULT hrPin = spAfter->FindPin(L"Out", &spPinAfter);
        EXPECT_EQ(test.eExpect == eNoPin ? VFW_E_NOT_FOUND : S_OK, hrPin);

        CComPtr<IMediaSeeking> spSeekingBefore, spSeekingAfter;
        EXPECT_EQ(S_OK, spPinBefore->QueryInterface(&spSeekingBefore));
        if (spPinAfter)
        {
            EXPECT_EQ(test.eExpect == eNoSeeking ? E_NOINTERFACE : S_OK,
                      spPinAfter->QueryInterface(&spSeekingAfter));
        }

        CLSID clsid = GUID_NULL;
        EXPECT_EQ(S_OK, spBefore->GetClassID(&clsid));
        EXPECT_EQ(test.eExpect == eClassIdFails ? E_ACCESSDENIED : S_OK,
                  spAfter->GetClassID(&clsid));
    }
}

// A device registered with the kit's helpers is what the system device
// enumerator lists, with its name and class id, until it is unregistered.
TEST(KitRegistrationTest, DeviceEntryIsListedUntilRemoved)
{
    GUID category = GUID_NULL, clsid = GUID_NULL;
    ASSERT_EQ(S_OK, ::CoCreateGuid(&category));
    ASSERT_EQ(S_OK, ::CoCreateGuid(&clsid));
    auto listed = [&](std::wstring* pName, GUID* pClsid) {
        CDeviceEnum devices;
        if (devices.Open(category) != S_OK)
            return 0;
        int cDevices = 0;
        while (devices.Next() == S_OK)
        {
            ++cDevices;
            CComBSTR bstrName;
            EXPECT_EQ(S_OK, devices.ReadName(&bstrName));
            EXPECT_EQ(S_OK, devices.ReadClsid(pClsid));
            *pName = bstrName.m_str != nullptr ? bstrName.m_str : L"";
        }
        return cDevices;
    };

    ASSERT_EQ(S_OK, KitRegisterDevice(category, clsid, L"Kit Test Device"));
    std::wstring name;
    GUID clsidListed = GUID_NULL;
    EXPECT_EQ(1, listed(&name, &clsidListed));
    EXPECT_EQ(L"Kit Test Device", name);
    EXPECT_EQ(clsid, clsidListed);

    ASSERT_EQ(S_OK, KitUnregisterDevice(category, clsid));
    EXPECT_EQ(0, listed(&name, &clsidListed));
    EXPECT_EQ(S_OK, KitUnregisterDevice(category, clsid));
    wchar_t szCategory[40] = {};
    ::StringFromGUID2(category, szCategory, ARRAYSIZE(szCategory));
    EXPECT_EQ(ERROR_SUCCESS,
              ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + szCategory).c_str()));
}

} // namespace
