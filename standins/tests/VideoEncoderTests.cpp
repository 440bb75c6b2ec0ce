// The video encoders: IQSEncoder and IVP8Encoder by slot, the QS encoder's
// mask rules and fault switches, their pages, and the real VP8 and H.264
// they code from the generator's pictures: key frames where they must be,
// read from the bitstream here and decoded by Debian's decoders from the
// captures (tests/codecs/check-captures).
#include "StandinTestSupport.h"

#include "EncoderCaptures.h"
#include "EncoderIds.h"
#include "FaultSwitch.h"
#include "VP8Settings.h"
#include "components/Ormidex.h"
#include "components/VP8Encoder.h"

namespace {

const wchar_t c_szQS[] = L"Ormidex QS Encoder";
const wchar_t c_szVP8[] = L"WebM VP8 Encoder Filter";

testing::AssertionResult HasChildWithText(HWND hParent, const wchar_t* pszText)
{
    std::wstring texts;
    for (HWND hwnd = ::GetWindow(hParent, GW_CHILD); hwnd != nullptr; hwnd = ::GetWindow(hwnd, GW_HWNDNEXT))
    {
        wchar_t sz[128] = {};
        ::GetWindowTextW(hwnd, sz, ARRAYSIZE(sz));
        if (wcscmp(sz, pszText) == 0)
            return testing::AssertionSuccess();
        texts += std::wstring(L" \"") + sz + L"\"";
    }
    return testing::AssertionFailure() << "no child has the text; they have" << texts;
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

// VP8 (RFC 6386, 9.1): bit 0 of the frame tag is clear for a key frame,
// which then has the start code and the picture's size.
bool IsVP8KeyFrame(const std::vector<BYTE>& frame, int* pnWidth, int* pnHeight)
{
    if (frame.size() < 10 || (frame[0] & 1) != 0)
        return false;
    if (frame[3] != 0x9D || frame[4] != 0x01 || frame[5] != 0x2A)
        return false;
    *pnWidth = (frame[6] | frame[7] << 8) & 0x3FFF;
    *pnHeight = (frame[8] | frame[9] << 8) & 0x3FFF;
    return true;
}

// The NAL unit types of an Annex B frame, in order.
std::vector<int> NalTypes(const std::vector<BYTE>& frame)
{
    std::vector<int> types;
    for (size_t i = 0; i + 3 < frame.size(); ++i)
        if (frame[i] == 0 && frame[i + 1] == 0 && frame[i + 2] == 1)
            types.push_back(frame[i + 3] & 0x1F);
    return types;
}

struct CVideoEncoderCase
{
    const GUID* pclsid;
    const wchar_t* pszName;
    GUID subtype;
    HRESULT (*pfnRequestKey)(IBaseFilter*);
    const char* pszCodec;
    const wchar_t* pszCapture;
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
// sync points exactly where the bitstream has them: a VP8 key frame of the
// picture's size, an H.264 IDR led by its parameter sets.
TEST_P(VideoEncoderStreamTest, KeyFramesAtIntervalAndOnRequestAreKeyFramesOfTheBitstream)
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

    bool bVP8 = std::string(test.pszCodec) == "vp8";
    for (ULONG i = 0; i < input.cSamples; ++i)
    {
        const std::vector<BYTE>& frame = input.rgPayloads[i];
        if (bVP8)
        {
            int nWidth = 0, nHeight = 0;
            EXPECT_EQ(input.rgSyncPoints[i], IsVP8KeyFrame(frame, &nWidth, &nHeight)) << "frame " << i;
            if (input.rgSyncPoints[i])
            {
                EXPECT_TRUE(nWidth == 720 && nHeight == 576) << nWidth << "x" << nHeight;
            }
        }
        else
        {
            std::vector<int> types = NalTypes(frame);
            EXPECT_EQ(input.rgSyncPoints[i] ? std::vector<int>({7, 8, 5}) : std::vector<int>({1}), types)
                << "frame " << i;
        }
    }
    CodedFrames frames(input.rgPayloads.begin(), input.rgPayloads.end());
    WriteVideoCapture(test.pszCapture, test.pszCodec, frames, input.rgSyncPoints, 720, 576, 25);
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, VideoEncoderStreamTest,
    testing::Values(CVideoEncoderCase{&CLSID_OrmidexQSEncoder, c_szQS, MEDIASUBTYPE_StandinH264,
                                      RequestQSKey, "h264", L"qs-h264"},
                    CVideoEncoderCase{&CLSID_VP8Encoder, c_szVP8,
                                      FourCCSubtype(MAKEFOURCC('V', 'P', '8', '0')), RequestVP8Key,
                                      "vp8", L"vp8"}));

// A filter's one property page, active in a window of its own.
class CActivePage
{
public:
    CActivePage(IBaseFilter* pFilter, const wchar_t* pszTitle) { Open(pFilter, pszTitle); }
    ~CActivePage()
    {
        if (m_hwndPage != nullptr)
        {
            EXPECT_EQ(S_OK, m_spPage->Deactivate());
        }
        if (m_spPage)
        {
            EXPECT_EQ(S_OK, m_spPage->SetObjects(0, nullptr));
            EXPECT_EQ(0u, m_spPage.Detach()->Release());
        }
        if (m_hwndParent != nullptr)
            ::DestroyWindow(m_hwndParent);
    }

    IPropertyPage* Page() const { return m_spPage; }
    HWND Window() const { return m_hwndPage; }
    std::wstring Text(int nID) const
    {
        wchar_t sz[64] = {};
        ::GetWindowTextW(::GetDlgItem(m_hwndPage, nID), sz, ARRAYSIZE(sz));
        return sz;
    }
    void SetText(int nID, const wchar_t* pszText) const
    {
        ::SetWindowTextW(::GetDlgItem(m_hwndPage, nID), pszText);
    }

private:
    void Open(IBaseFilter* pFilter, const wchar_t* pszTitle)
    {
        CComQIPtr<ISpecifyPropertyPages> spPages(pFilter);
        ASSERT_TRUE(spPages != nullptr);
        CAUUID pages = {};
        ASSERT_EQ(S_OK, spPages->GetPages(&pages));
        ASSERT_EQ(1u, pages.cElems);
        CLSID clsidPage = pages.pElems[0];
        ::CoTaskMemFree(pages.pElems);
        ASSERT_EQ(S_OK, m_spPage.CoCreateInstance(clsidPage, nullptr, CLSCTX_INPROC_SERVER));
        IUnknown* rgObjects[] = {pFilter};
        ASSERT_EQ(S_OK, m_spPage->SetObjects(1, rgObjects));
        PROPPAGEINFO info = {};
        ASSERT_EQ(S_OK, m_spPage->GetPageInfo(&info));
        EXPECT_STREQ(pszTitle, info.pszTitle);
        ::CoTaskMemFree(info.pszTitle);
        m_hwndParent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 240, nullptr,
                                         nullptr, nullptr, nullptr);
        ASSERT_TRUE(m_hwndParent != nullptr);
        RECT rc = {0, 0, 260, 200};
        ASSERT_EQ(S_OK, m_spPage->Activate(m_hwndParent, &rc, TRUE));
        m_hwndPage = ::GetWindow(m_hwndParent, GW_CHILD);
    }

    CComPtr<IPropertyPage> m_spPage;
    HWND m_hwndParent = nullptr;
    HWND m_hwndPage = nullptr;
};

// The page names the library, says what openh264 cannot honour, and
// applies a bit rate the way the encoder takes it: refused until its input
// is connected.
TEST_F(StandinGraphTest, QSEncoderPageShowsAndAppliesTheBitrate)
{
    CComPtr<IBaseFilter> spGenerator = Add(CLSID_OrmidexVideoGenerator, L"Generator");
    CComPtr<IBaseFilter> spFilter = Add(CLSID_OrmidexQSEncoder, c_szQS);
    ASSERT_EQ(S_OK, CComQIPtr<IQSEncoder>(spFilter)->SelectEncoder(QSEnc_H264_Hardware));
    {
        CActivePage page(spFilter, L"QS Encoder");
        ASSERT_TRUE(page.Window() != nullptr);
        EXPECT_EQ(L"4000", page.Text(101));
        EXPECT_TRUE(HasChildWithText(page.Window(), L"OpenH264 2.3.1"));
        EXPECT_TRUE(HasChildWithText(page.Window(), L"Hardware kind: coded in software"));
        EXPECT_TRUE(HasChildWithText(page.Window(), L"B frames: 2 (none coded: baseline)"));
        EXPECT_TRUE(HasChildWithText(page.Window(), L"OpenH264 complexity: medium"));
        EXPECT_EQ(S_FALSE, page.Page()->IsPageDirty());

        page.SetText(101, L"1500");
        EXPECT_EQ(S_OK, page.Page()->IsPageDirty());
        EXPECT_EQ(VFW_E_NOT_CONNECTED, page.Page()->Apply());
        EXPECT_EQ(S_OK, page.Page()->IsPageDirty());
        ASSERT_EQ(S_OK, Connect(spGenerator, L"Video", spFilter, L"Input"));
        EXPECT_EQ(S_OK, page.Page()->Apply());
        EXPECT_EQ(S_FALSE, page.Page()->IsPageDirty());
    }
    CComQIPtr<IQSEncoderStatus> spStatus(spFilter);
    QS_ENCODER_STATUS status = {};
    ASSERT_EQ(S_OK, spStatus->GetStatus(&status));
    EXPECT_EQ(1500, status.nBitrateKbps);
}

// The VP8 page names libvpx as it reports itself and applies the bit rate,
// the key-frame interval and the deadline; a value the encoder refuses is
// refused by Apply.
TEST(VP8EncoderTest, PageShowsTheLibraryAndAppliesTheSettings)
{
    CComPtr<IBaseFilter> spFilter;
    ASSERT_EQ(S_OK, CreateStandin(CLSID_VP8Encoder, &spFilter));
    {
        CActivePage page(spFilter, L"VP8 Encoder");
        ASSERT_TRUE(page.Window() != nullptr);
        EXPECT_TRUE(HasChildWithText(page.Window(), L"WebM Project VP8 Encoder v1.12.0"));
        EXPECT_EQ(L"1000", page.Text(101));
        EXPECT_EQ(L"60", page.Text(102));
        EXPECT_EQ(L"1000000", page.Text(103));
        page.SetText(101, L"2500");
        page.SetText(102, L"0");
        EXPECT_EQ(E_INVALIDARG, page.Page()->Apply());
        page.SetText(102, L"30");
        page.SetText(103, L"1");
        EXPECT_EQ(S_OK, page.Page()->Apply());
    }
    CComQIPtr<IVP8EncoderSettings> spSettings(spFilter);
    VP8_ENCODER_STATUS status = {};
    ASSERT_EQ(S_OK, spSettings->GetStatus(&status));
    EXPECT_EQ(2500, status.nBitrateKbps);
    EXPECT_EQ(30, status.nKeyFrameInterval);
    EXPECT_EQ(1, status.nDeadline);
}

} // namespace
