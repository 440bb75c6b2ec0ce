// The video encoders: IQSEncoder and IVP8Encoder by slot, the QS encoder's
// mask rules and fault switches, and the key and delta frames both make from
// the generator's pictures, decoded again here.
#include "StandinTestSupport.h"

#include "FaultSwitch.h"
#include "FrameCoder.h"
#include "TestPattern.h"
#include "EncoderIds.h"
#include "components/Ormidex.h"
#include "components/VP8Encoder.h"

namespace {

const wchar_t c_szQS[] = L"Ormidex QS Encoder";
const wchar_t c_szVP8[] = L"WebM VP8 Encoder Filter";

bool HasChildWithText(HWND hParent, const wchar_t* pszText)
{
    for (HWND hwnd = ::GetWindow(hParent, GW_CHILD); hwnd != nullptr; hwnd = ::GetWindow(hwnd, GW_HWNDNEXT))
    {
        wchar_t sz[128] = {};
        ::GetWindowTextW(hwnd, sz, ARRAYSIZE(sz));
        if (wcscmp(sz, pszText) == 0)
            return true;
    }
    return false;
}

TEST(QSEncoderTest, SlotsReachTheirMethods)
{
    CComPtr<IBaseFilter> spFilter;
    ASSERT_EQ(S_OK, CreateStandin(CLSID_OrmidexQSEncoder, &spFilter));
    CComQIPtr<IQSEncoder> spEncoder(spFilter);
    ASSERT_TRUE(spEncoder != nullptr);
    LONG nMask = -1;
    EXPECT_EQ(S_OK, CallSlot(spEncoder, 3, &nMask));
    EXPECT_EQ(QSEnc_H264_Any, nMask);
    EXPECT_EQ(S_OK, CallSlot(spEncoder, 4, LONG(2)));
    EXPECT_EQ(S_OK, CallSlot(spEncoder, 7, LONG(3)));
    // The bit rate is taken only once the input is connected (tested below).
    EXPECT_EQ(VFW_E_NOT_CONNECTED, CallSlot(spEncoder, 13, LONG(1000)));
    EXPECT_EQ(S_OK, CallSlot(spEncoder, 22, LONG(0)));
    EXPECT_EQ(S_OK, CallSlot(spEncoder, 28));
    EXPECT_EQ(E_INVALIDARG, CallSlot(spEncoder, 7, LONG(0)));
    EXPECT_EQ(E_INVALIDARG, CallSlot(spEncoder, 13, LONG(0)));
    EXPECT_EQ(E_INVALIDARG, CallSlot(spEncoder, 22, LONG(8)));
    for (int nSlot : {5, 6, 8, 12, 14, 21, 23, 27})
        EXPECT_EQ(E_NOTIMPL, CallSlot(spEncoder, nSlot)) << "slot " << nSlot;

    CComQIPtr<IQSEncoderStatus> spStatus(spFilter);
    QS_ENCODER_STATUS status = {};
    ASSERT_EQ(S_OK, spStatus->GetStatus(&status));
    EXPECT_EQ(2, status.nSelectedEncoder);
    EXPECT_EQ(3, status.nTargetUsage);
    EXPECT_EQ(4000, status.nBitrateKbps);
    EXPECT_EQ(0, status.nBFrames);
}

// Defaults that differ from the program's values, so that a set-up call that
// never arrived shows; the bit rate is planned for the input's format.
TEST_F(StandinGraphTest, QSBitrateIsTakenOnceTheInputIsConnected)
{
    CComPtr<IBaseFilter> spGenerator = Add(CLSID_OrmidexVideoGenerator, L"Generator");
    CComPtr<IBaseFilter> spFilter = Add(CLSID_OrmidexQSEncoder, c_szQS);
    CComQIPtr<IQSEncoder> spEncoder(spFilter);
    CComQIPtr<IQSEncoderStatus> spStatus(spFilter);
    QS_ENCODER_STATUS status = {};
    ASSERT_EQ(S_OK, spStatus->GetStatus(&status));
    EXPECT_EQ(0, status.nSelectedEncoder);
    EXPECT_EQ(4, status.nTargetUsage);
    EXPECT_EQ(4000, status.nBitrateKbps);
    EXPECT_EQ(2, status.nBFrames);

    EXPECT_EQ(VFW_E_NOT_CONNECTED, spEncoder->SetBitrate(1000));
    ASSERT_EQ(S_OK, Connect(spGenerator, L"Video", spFilter, L"Input"));
    EXPECT_EQ(S_OK, spEncoder->SetBitrate(1000));
    ASSERT_EQ(S_OK, spStatus->GetStatus(&status));
    EXPECT_EQ(1000, status.nBitrateKbps);
}

// SelectEncoder takes a kind only when the mask has it; the mask is a setting.
TEST(QSEncoderTest, MaskDecidesWhichKindsAreAccepted)
{
    struct
    {
        DWORD dwMask;
        HRESULT hrKind1;
        HRESULT hrKind2;
    } rgCases[] = {
        {0, E_INVALIDARG, E_INVALIDARG},
        {1, S_OK, E_INVALIDARG},
        {2, E_INVALIDARG, S_OK},
        {3, S_OK, S_OK},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(testing::Message() << "mask " << test.dwMask);
        CFaultSwitch mask(c_szQS, L"SupportedEncoders", test.dwMask);
        CComPtr<IBaseFilter> spFilter;
        ASSERT_EQ(S_OK, CreateStandin(CLSID_OrmidexQSEncoder, &spFilter));
        CComQIPtr<IQSEncoder> spEncoder(spFilter);
        LONG nMask = -1;
        EXPECT_EQ(S_OK, spEncoder->GetSupportedEncoders(&nMask));
        EXPECT_EQ(static_cast<LONG>(test.dwMask), nMask);
        EXPECT_EQ(test.hrKind1, spEncoder->SelectEncoder(1));
        EXPECT_EQ(test.hrKind2, spEncoder->SelectEncoder(2));
        EXPECT_EQ(E_INVALIDARG, spEncoder->SelectEncoder(3));
    }
}

TEST(QSEncoderTest, FaultSwitchesFailTheirCalls)
{
    const wchar_t* rgMethods[] = {L"GetSupportedEncoders", L"SelectEncoder", L"SetTargetUsage",
                                  L"SetBitrate", L"SetBFrames", L"RequestKeyFrame", L"GetClassID"};
    for (const wchar_t* pszMethod : rgMethods)
    {
        SCOPED_TRACE(testing::Message() << pszMethod);
        CFaultSwitch fault(c_szQS, pszMethod, static_cast<DWORD>(E_FAIL));
        CComPtr<IBaseFilter> spFilter;
        ASSERT_EQ(S_OK, CreateStandin(CLSID_OrmidexQSEncoder, &spFilter));
        CComQIPtr<IQSEncoder> spEncoder(spFilter);
        LONG nMask = 0;
        CLSID clsid = GUID_NULL;
        std::wstring failed;
        if (spEncoder->GetSupportedEncoders(&nMask) == E_FAIL)
            failed += L"GetSupportedEncoders";
        if (spEncoder->SelectEncoder(1) == E_FAIL)
            failed += L"SelectEncoder";
        if (spEncoder->SetTargetUsage(3) == E_FAIL)
            failed += L"SetTargetUsage";
        if (spEncoder->SetBitrate(1000) == E_FAIL)
            failed += L"SetBitrate";
        if (spEncoder->SetBFrames(0) == E_FAIL)
            failed += L"SetBFrames";
        if (spEncoder->RequestKeyFrame() == E_FAIL)
            failed += L"RequestKeyFrame";
        if (spFilter->GetClassID(&clsid) == E_FAIL)
            failed += L"GetClassID";
        EXPECT_EQ(std::wstring(pszMethod), failed);
    }
    CFaultSwitch noControl(c_szQS, L"NoInterface:IQSEncoder", 1);
    CComPtr<IBaseFilter> spFilter;
    ASSERT_EQ(S_OK, CreateStandin(CLSID_OrmidexQSEncoder, &spFilter));
    CComPtr<IQSEncoder> spEncoder;
    EXPECT_EQ(E_NOINTERFACE, spFilter->QueryInterface(&spEncoder));
}

TEST(VP8EncoderTest, SlotsReachTheirMethods)
{
    CComPtr<IBaseFilter> spFilter;
    ASSERT_EQ(S_OK, CreateStandin(CLSID_VP8Encoder, &spFilter));
    CComQIPtr<IVP8Encoder> spEncoder(spFilter);
    ASSERT_TRUE(spEncoder != nullptr);
    EXPECT_EQ(S_OK, CallSlot(spEncoder, 5, 1));
    int nDeadline = 0;
    EXPECT_EQ(S_OK, CallSlot(spEncoder, 6, &nDeadline));
    EXPECT_EQ(1, nDeadline);
    EXPECT_EQ(S_OK, CallSlot(spEncoder, 57));
    EXPECT_EQ(E_INVALIDARG, CallSlot(spEncoder, 5, -1));
    for (int nSlot : {3, 4, 7, 30, 56, 58, 75})
        EXPECT_EQ(E_NOTIMPL, CallSlot(spEncoder, nSlot)) << "slot " << nSlot;

    for (bool bDeadline : {true, false})
    {
        CFaultSwitch fault(c_szVP8, bDeadline ? L"SetDeadline" : L"SetForceKeyframe",
                           static_cast<DWORD>(E_ACCESSDENIED));
        CComPtr<IBaseFilter> spFaulty;
        ASSERT_EQ(S_OK, CreateStandin(CLSID_VP8Encoder, &spFaulty));
        CComQIPtr<IVP8Encoder> spFaultyEncoder(spFaulty);
        EXPECT_EQ(bDeadline ? E_ACCESSDENIED : S_OK, spFaultyEncoder->SetDeadline(1));
        EXPECT_EQ(bDeadline ? S_OK : E_ACCESSDENIED, spFaultyEncoder->SetForceKeyframe());
    }
}

struct CVideoEncoderCase
{
    const GUID* pclsid;
    const wchar_t* pszName;
    GUID subtype;
    HRESULT (*pfnRequestKey)(IBaseFilter*);
};

HRESULT RequestQSKey(IBaseFilter* pFilter)
{
    CComQIPtr<IQSEncoder> spEncoder(pFilter);
    return spEncoder->RequestKeyFrame();
}

HRESULT RequestVP8Key(IBaseFilter* pFilter)
{
    CComQIPtr<IVP8Encoder> spEncoder(pFilter);
    return spEncoder->SetForceKeyframe();
}

class VideoEncoderStreamTest : public StandinGraphTest,
                               public testing::WithParamInterface<CVideoEncoderCase>
{
};

// Key frames at the interval (a setting, 10 here) and on request, marked as
// sync points; every frame decodes to the generator's picture.
TEST_P(VideoEncoderStreamTest, KeyFramesAtIntervalAndOnRequestAndFramesDecode)
{
    const CVideoEncoderCase& test = GetParam();
    CFaultSwitch interval(test.pszName, L"KeyFrameInterval", 10);
    CComPtr<IBaseFilter> spGenerator = Add(CLSID_OrmidexVideoGenerator, L"Generator");
    SetUpGeneratorAsTheProgram(spGenerator);
    CComPtr<IBaseFilter> spEncoder = Add(*test.pclsid, test.pszName);
    AddSink();
    ASSERT_EQ(S_OK, Connect(spGenerator, L"Video", spEncoder, L"Input"));
    ASSERT_EQ(S_OK, ConnectToSink(spEncoder, L"Output"));
    CTestSinkInput connected = m_pSink->Input(0);
    EXPECT_EQ(MEDIATYPE_Video, connected.mt.majortype);
    EXPECT_EQ(test.subtype, connected.mt.subtype);

    ASSERT_EQ(S_OK, Run());
    // The request goes out mid-interval, so that the key frame it brings
    // cannot be the interval's own.
    ULONG cBefore = 13;
    ASSERT_TRUE(m_pSink->WaitForSamples(0, cBefore, 15000));
    while ((cBefore = m_pSink->Input(0).cSamples) % 10 > 6)
        ASSERT_TRUE(m_pSink->WaitForSamples(0, cBefore + 1, 15000));
    ASSERT_EQ(S_OK, test.pfnRequestKey(spEncoder));
    ASSERT_TRUE(m_pSink->WaitForSamples(0, cBefore + 3, 15000));
    ASSERT_EQ(S_OK, Stop());

    CTestSinkInput input = m_pSink->Input(0);
    std::vector<ULONG> rgKeys;
    for (ULONG i = 0; i < input.cSamples; ++i)
        if (input.rgSyncPoints[i])
            rgKeys.push_back(i);
    ASSERT_GE(rgKeys.size(), 3u);
    EXPECT_EQ(0u, rgKeys[0]);
    EXPECT_EQ(10u, rgKeys[1]);
    // The next frame coded after the request; a frame or two may have been
    // on their way to the sink when it came.
    bool bRequested = false;
    for (ULONG iKey : rgKeys)
        bRequested = bRequested || (iKey >= cBefore && iKey <= cBefore + 2);
    EXPECT_TRUE(bRequested) << "no key frame after frame " << cBefore;

    CFrameCoder reference;
    reference.SetSource(720, 576, false);
    CFrameLayout layout = CFrameLayout::Make(720, 576, false);
    std::vector<BYTE> frame(layout.ImageSize());
    CFrameDecoder decoder;
    for (ULONG i = 0; i < input.cSamples; ++i)
    {
        const std::vector<BYTE>& payload = input.rgPayloads[i];
        ASSERT_TRUE(decoder.Decode(payload.data(), static_cast<DWORD>(payload.size()))) << i;
        EXPECT_EQ(input.rgSyncPoints[i], decoder.Header().bKey == 1) << i;
        DrawPattern(frame.data(), layout, ePatternMovingBars, i);
        ASSERT_EQ(reference.Picture(frame.data()), decoder.Picture()) << "frame " << i;
    }
    // Deltas are smaller than the picture: the coder does compress.
    EXPECT_LT(input.rgPayloads[1].size(), input.rgPayloads[0].size());
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, VideoEncoderStreamTest,
    testing::Values(CVideoEncoderCase{&CLSID_OrmidexQSEncoder, c_szQS, MEDIASUBTYPE_StandinH264,
                                      RequestQSKey},
                    CVideoEncoderCase{&CLSID_VP8Encoder, c_szVP8,
                                      FourCCSubtype(MAKEFOURCC('V', 'P', '8', '0')), RequestVP8Key}));

// The page shows what the encoder was given and applies a bit rate the way
// the encoder takes it: refused until its input is connected.
TEST_F(StandinGraphTest, QSEncoderPageShowsAndAppliesTheBitrate)
{
    CComPtr<IBaseFilter> spGenerator = Add(CLSID_OrmidexVideoGenerator, L"Generator");
    CComPtr<IBaseFilter> spFilter = Add(CLSID_OrmidexQSEncoder, c_szQS);
    CComQIPtr<ISpecifyPropertyPages> spPages(spFilter);
    ASSERT_TRUE(spPages != nullptr);
    CAUUID pages = {};
    ASSERT_EQ(S_OK, spPages->GetPages(&pages));
    ASSERT_EQ(1u, pages.cElems);
    CLSID clsidPage = pages.pElems[0];
    ::CoTaskMemFree(pages.pElems);

    CComPtr<IPropertyPage> spPage;
    ASSERT_EQ(S_OK, spPage.CoCreateInstance(clsidPage, nullptr, CLSCTX_INPROC_SERVER));
    IUnknown* rgObjects[] = {spFilter};
    ASSERT_EQ(S_OK, spPage->SetObjects(1, rgObjects));
    PROPPAGEINFO info = {};
    ASSERT_EQ(S_OK, spPage->GetPageInfo(&info));
    EXPECT_STREQ(L"QS Encoder", info.pszTitle);
    ::CoTaskMemFree(info.pszTitle);

    HWND hwndParent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_TRUE(hwndParent != nullptr);
    RECT rc = {0, 0, 260, 140};
    ASSERT_EQ(S_OK, spPage->Activate(hwndParent, &rc, TRUE));
    HWND hwndPage = ::GetWindow(hwndParent, GW_CHILD);
    HWND hwndBitrate = ::GetDlgItem(hwndPage, 101);
    ASSERT_TRUE(hwndBitrate != nullptr);
    wchar_t sz[64] = {};
    ::GetWindowTextW(hwndBitrate, sz, ARRAYSIZE(sz));
    EXPECT_STREQ(L"4000", sz);
    EXPECT_TRUE(HasChildWithText(hwndPage, L"B frames: 2"));
    EXPECT_EQ(S_FALSE, spPage->IsPageDirty());

    ::SetWindowTextW(hwndBitrate, L"1500");
    EXPECT_EQ(S_OK, spPage->IsPageDirty());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, spPage->Apply());
    EXPECT_EQ(S_OK, spPage->IsPageDirty());
    ASSERT_EQ(S_OK, Connect(spGenerator, L"Video", spFilter, L"Input"));
    EXPECT_EQ(S_OK, spPage->Apply());
    EXPECT_EQ(S_FALSE, spPage->IsPageDirty());
    EXPECT_EQ(S_OK, spPage->Deactivate());
    EXPECT_EQ(S_OK, spPage->SetObjects(0, nullptr));
    ::DestroyWindow(hwndParent);

    CComQIPtr<IQSEncoderStatus> spStatus(spFilter);
    QS_ENCODER_STATUS status = {};
    ASSERT_EQ(S_OK, spStatus->GetStatus(&status));
    EXPECT_EQ(1500, status.nBitrateKbps);
    EXPECT_EQ(0u, spPage.Detach()->Release());
}

} // namespace
