// What crosses the process boundary through corvastaps.dll: the graph's
// events, the filters' flags and the outside components' interfaces, each
// answered as the same call is answered inside the process. The graph's
// owner is RemoteGraphHost.exe; every test ends it and expects its graph to
// have no reference left.
#include <gtest/gtest.h>

#include "components/Corvasta.h"
#include "components/Ormidex.h"
#include "dshow/MediaType.h"
#include "components/VP8Encoder.h"
#include "standins/encoders/EncoderIds.h"
#include "standins/vp8/VP8Settings.h"
#include "tests/remotegraph/RemoteGraph.h"
#include "tests/remotegraph/StandinGraph.h"

#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t c_szProxyClsid[] = L"{57306B4D-1F73-40FC-A2DF-B2DD531A1659}";

using Transcript = std::vector<std::wstring>;

std::wstring Hex(HRESULT hr)
{
    wchar_t sz[16];
    swprintf(sz, ARRAYSIZE(sz), L"0x%08lX", static_cast<unsigned long>(hr));
    return sz;
}

// One line of a transcript: the call, its result and what it handed out.
// The call is made before: arguments are evaluated in no fixed order.
void Log(Transcript& lines, const wchar_t* pszCall, HRESULT hr, const std::wstring& out = L"")
{
    lines.push_back(std::wstring(pszCall) + L" -> " + Hex(hr) + (out.empty() ? L"" : L" " + out));
}

std::wstring Text(BSTR bs)
{
    return bs != nullptr ? L"\"" + std::wstring(bs, ::SysStringLen(bs)) + L"\"" : L"null";
}

std::wstring Number(long long n)
{
    return std::to_wstring(n);
}

// Calls a reserved slot as a caller that knows only the slot order does.
HRESULT CallSlot(IUnknown* pItf, int nSlot)
{
    using PFN = HRESULT(STDMETHODCALLTYPE*)(IUnknown*);
    return reinterpret_cast<PFN*>(*reinterpret_cast<void***>(pItf))[nSlot](pItf);
}

void LogReservedSlots(Transcript& lines, IUnknown* pItf, std::initializer_list<std::pair<int, int>> ranges)
{
    for (const auto& range : ranges)
        for (int nSlot = range.first; nSlot <= range.second; nSlot++)
            Log(lines, (L"slot " + Number(nSlot)).c_str(), CallSlot(pItf, nSlot));
}

// The filter's interface I; the query's result is the transcript's first line.
template <class I>
CComPtr<I> Query(Transcript& lines, IFilterGraph* pGraph, LPCWSTR pszFilter)
{
    CComPtr<IBaseFilter> spFilter;
    CComPtr<I> spItf;
    HRESULT hr = pGraph->FindFilterByName(pszFilter, &spFilter);
    if (SUCCEEDED(hr))
        hr = spFilter->QueryInterface(&spItf);
    Log(lines, L"QueryInterface", hr);
    return spItf;
}

Transcript ServerControlCalls(IFilterGraph* pGraph)
{
    Transcript lines;
    CComPtr<IServerControl> sp = Query<IServerControl>(lines, pGraph, szCorvastaFilter);
    if (sp == nullptr)
        return lines;
    CComBSTR bsUrl, bsUri, bsUser, bsPwd;
    HRESULT hr = sp->GetUrl(&bsUrl);
    Log(lines, L"GetUrl", hr, Text(bsUrl));
    Log(lines, L"SetUrl valid", sp->SetUrl(CComBSTR(L"http://127.0.0.1:8191/live")));
    Log(lines, L"SetUrl invalid", sp->SetUrl(CComBSTR(L"not a url")));
    bsUrl.Empty();
    hr = sp->GetUrl(&bsUrl);
    Log(lines, L"GetUrl", hr, Text(bsUrl));
    LONG nCount = -1;
    Log(lines, L"AddIceServer", sp->AddIceServer(CComBSTR(L"stun:127.0.0.1:3478"), CComBSTR(L""), CComBSTR(L"")));
    Log(lines, L"AddIceServer",
        sp->AddIceServer(CComBSTR(L"turn:127.0.0.1:3478"), CComBSTR(L"user"), CComBSTR(L"secret")));
    hr = sp->GetIceServerCount(&nCount);
    Log(lines, L"GetIceServerCount", hr, Number(nCount));
    hr = sp->GetIceServer(1, &bsUri, &bsUser, &bsPwd);
    Log(lines, L"GetIceServer 1", hr, Text(bsUri) + L" " + Text(bsUser) + L" " + Text(bsPwd));
    bsUri.Empty();
    bsUser.Empty();
    bsPwd.Empty();
    hr = sp->GetIceServer(7, &bsUri, &bsUser, &bsPwd);
    Log(lines, L"GetIceServer 7", hr, Text(bsUri));
    Log(lines, L"RemoveIceServer 0", sp->RemoveIceServer(0));
    Log(lines, L"RemoveIceServer 5", sp->RemoveIceServer(5));
    hr = sp->GetIceServerCount(&nCount);
    Log(lines, L"GetIceServerCount", hr, Number(nCount));
    ServerStats stats;
    memset(&stats, 0xCC, sizeof(stats));
    hr = sp->GetStatistics(&stats);
    std::wstring fields;
    const UINT32* pField = reinterpret_cast<const UINT32*>(&stats);
    for (size_t i = 0; i < sizeof(stats) / sizeof(UINT32); i++)
        fields += Number(pField[i]) + L" ";
    Log(lines, L"GetStatistics", hr, fields);
    LogReservedSlots(lines, sp, {{5, 6}});
    return lines;
}

Transcript AppFilterAndVersionCalls(IFilterGraph* pGraph)
{
    Transcript lines;
    CComPtr<IServerAppFilter> spApp = Query<IServerAppFilter>(lines, pGraph, szCorvastaFilter);
    CComPtr<IFilterVersion> spVersion = Query<IFilterVersion>(lines, pGraph, szCorvastaFilter);
    if (spApp == nullptr || spVersion == nullptr)
        return lines;
    CComBSTR bsName;
    BOOL bEnable = 2;
    HRESULT hr = spApp->GetAppFilter(&bsName, &bEnable);
    Log(lines, L"GetAppFilter", hr, Text(bsName) + L" " + Number(bEnable));
    Log(lines, L"SetAppFilter", spApp->SetAppFilter(CComBSTR(L"Firefox"), TRUE));
    Log(lines, L"SetAppFilter too long", spApp->SetAppFilter(CComBSTR(std::wstring(4096, L'x').c_str()), TRUE));
    bsName.Empty();
    hr = spApp->GetAppFilter(&bsName, &bEnable);
    Log(lines, L"GetAppFilter", hr, Text(bsName) + L" " + Number(bEnable));
    LogReservedSlots(lines, spApp, {{3, 9}});

    LONG nValue = -1;
    CComBSTR bsText;
    hr = spVersion->GetType(&nValue);
    Log(lines, L"GetType", hr, Number(nValue));
    hr = spVersion->GetOS(&nValue);
    Log(lines, L"GetOS", hr, Number(nValue));
    hr = spVersion->GetName(&bsText);
    Log(lines, L"GetName", hr, Text(bsText));
    bsText.Empty();
    hr = spVersion->GetNumber(&bsText);
    Log(lines, L"GetNumber", hr, Text(bsText));
    bsText.Empty();
    hr = spVersion->GetDateTime(&bsText);
    Log(lines, L"GetDateTime", hr, Text(bsText));
    return lines;
}

Transcript QSEncoderCalls(IFilterGraph* pGraph)
{
    Transcript lines;
    CComPtr<IQSEncoder> sp = Query<IQSEncoder>(lines, pGraph, szQSEncoderFilter);
    CComPtr<IQSEncoderStatus> spStatus = Query<IQSEncoderStatus>(lines, pGraph, szQSEncoderFilter);
    if (sp == nullptr || spStatus == nullptr)
        return lines;
    LONG nMask = -1;
    HRESULT hr = sp->GetSupportedEncoders(&nMask);
    Log(lines, L"GetSupportedEncoders", hr, Number(nMask));
    Log(lines, L"SelectEncoder 2", sp->SelectEncoder(QSEnc_H264_Hardware));
    Log(lines, L"SelectEncoder 9", sp->SelectEncoder(9));
    Log(lines, L"SetTargetUsage 3", sp->SetTargetUsage(3));
    Log(lines, L"SetTargetUsage 0", sp->SetTargetUsage(0));
    Log(lines, L"SetBitrate 2500", sp->SetBitrate(2500));
    Log(lines, L"SetBitrate -1", sp->SetBitrate(-1));
    Log(lines, L"SetBFrames 2", sp->SetBFrames(2));
    Log(lines, L"RequestKeyFrame", sp->RequestKeyFrame());
    QS_ENCODER_STATUS status;
    memset(&status, 0xCC, sizeof(status));
    hr = spStatus->GetStatus(&status);
    Log(lines, L"GetStatus", hr,
        Number(status.nSupportedEncoders) + L" " + Number(status.nSelectedEncoder) + L" " +
            Number(status.nTargetUsage) + L" " + Number(status.nBitrateKbps) + L" " + Number(status.nBFrames) +
            L" " + Number(status.cFrames) + L" " + Number(status.cKeyFrames));
    CComBSTR bsVersion, bsError;
    hr = spStatus->GetLibrary(&bsVersion, &bsError);
    Log(lines, L"GetLibrary", hr, Text(bsVersion) + L" " + Text(bsError));
    LogReservedSlots(lines, sp, {{5, 6}, {8, 12}, {14, 21}, {23, 27}});
    return lines;
}

// The rate of the generator's open audio pin, as its first media type says.
std::wstring AudioRate(IFilterGraph* pGraph)
{
    CComPtr<IPin> spAudio;
    CComPtr<IEnumMediaTypes> spTypes;
    if (FAILED(FindFilterPin(pGraph, szGeneratorFilter, L"Audio", &spAudio)) ||
        FAILED(spAudio->EnumMediaTypes(&spTypes)))
        return L"no types";
    AM_MEDIA_TYPE* pmt = nullptr;
    ULONG cFetched = 0;
    if (spTypes->Next(1, &pmt, &cFetched) != S_OK)
        return L"no type";
    std::wstring rate = L"no wave format";
    if (pmt->formattype == FORMAT_WaveFormatEx && pmt->cbFormat >= sizeof(WAVEFORMATEX))
        rate = Number(reinterpret_cast<const WAVEFORMATEX*>(pmt->pbFormat)->nSamplesPerSec);
    DeleteMediaType(pmt);
    return rate;
}

Transcript VideoGeneratorCalls(IFilterGraph* pGraph)
{
    Transcript lines;
    CComPtr<IVideoGenerator> sp = Query<IVideoGenerator>(lines, pGraph, szGeneratorFilter);
    if (sp == nullptr)
        return lines;
    Log(lines, L"SetPattern 1", sp->SetPattern(1));
    Log(lines, L"SetPattern -1", sp->SetPattern(-1));
    Log(lines, L"SetOverlay 1", sp->SetOverlay(1));
    // The video pin is connected at 720x576, 25 fps: only that exact rate is
    // accepted, so the double must arrive bit for bit.
    Log(lines, L"SetVideoFormat 25", sp->SetVideoFormat(0, 0, 720, 576, 25.0, 0));
    Log(lines, L"SetVideoFormat 25+", sp->SetVideoFormat(0, 0, 720, 576, 25.000000001, 0));
    Log(lines, L"SetVideoFormat 121", sp->SetVideoFormat(0, 0, 720, 576, 121.0, 0));
    HRESULT hr = sp->SetSamplingRate(44100);
    Log(lines, L"SetSamplingRate 44100", hr, AudioRate(pGraph));
    hr = sp->SetSamplingRate(1);
    Log(lines, L"SetSamplingRate 1", hr, AudioRate(pGraph));
    LogReservedSlots(lines, sp, {{4, 10}, {12, 36}, {38, 38}});
    return lines;
}

Transcript VP8EncoderCalls(IFilterGraph* pGraph)
{
    Transcript lines;
    CComPtr<IVP8Encoder> sp = Query<IVP8Encoder>(lines, pGraph, szVP8EncoderFilter);
    if (sp == nullptr)
        return lines;
    int nDeadline = -7;
    HRESULT hr = sp->GetDeadline(&nDeadline);
    Log(lines, L"GetDeadline", hr, Number(nDeadline));
    Log(lines, L"SetDeadline 1", sp->SetDeadline(1));
    hr = sp->GetDeadline(&nDeadline);
    Log(lines, L"GetDeadline", hr, Number(nDeadline));
    Log(lines, L"SetDeadline -3", sp->SetDeadline(-3));
    Log(lines, L"SetForceKeyframe", sp->SetForceKeyframe());
    Log(lines, L"ApplySettings", sp->ApplySettings());
    Log(lines, L"ResetSettings", sp->ResetSettings());
    hr = sp->GetDeadline(&nDeadline);
    Log(lines, L"GetDeadline", hr, Number(nDeadline));
    LogReservedSlots(lines, sp, {{7, 56}, {58, 75}});

    CComPtr<IVP8EncoderSettings> spSettings = Query<IVP8EncoderSettings>(lines, pGraph, szVP8EncoderFilter);
    if (spSettings == nullptr)
        return lines;
    Log(lines, L"SetBitrate 800", spSettings->SetBitrate(800));
    Log(lines, L"SetBitrate 0", spSettings->SetBitrate(0));
    Log(lines, L"SetKeyFrameInterval 45", spSettings->SetKeyFrameInterval(45));
    VP8_ENCODER_STATUS status;
    memset(&status, 0xCC, sizeof(status));
    hr = spSettings->GetStatus(&status);
    Log(lines, L"GetStatus", hr,
        Number(status.nDeadline) + L" " + Number(status.nBitrateKbps) + L" " + Number(status.nKeyFrameInterval) +
            L" " + Number(status.cFrames) + L" " + Number(status.cKeyFrames));
    CComBSTR bsVersion, bsError;
    hr = spSettings->GetLibrary(&bsVersion, &bsError);
    Log(lines, L"GetLibrary", hr, Text(bsVersion) + L" " + Text(bsError));
    return lines;
}

std::wstring RegValue(const std::wstring& key, const wchar_t* pszValue)
{
    wchar_t sz[MAX_PATH] = L"";
    DWORD cb = sizeof(sz);
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), pszValue, RRF_RT_REG_SZ, nullptr, sz, &cb) != ERROR_SUCCESS)
        return L"(none)";
    return sz;
}

class ProxyTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, m_host.Start());
        ASSERT_EQ(S_OK, m_host.GetGraph(&m_spRemote));
        ASSERT_EQ(S_OK, m_spLocal.CoCreateInstance(CLSID_FilterGraph));
        ASSERT_EQ(S_OK, BuildStandinGraph(m_spLocal));
    }

    void TearDown() override
    {
        m_spRemote.Release();
        m_spLocal.Release();
        EXPECT_EQ(0u, m_host.Stop()) << "the host's graph kept references, or the host hung";
    }

    CRemoteGraph m_host;
    CComPtr<IFilterGraph> m_spRemote;
    CComPtr<IGraphBuilder> m_spLocal;
};

} // namespace

TEST(ProxyRegistrationTest, EachInterfaceNamesTheProxyDllWithItsSlotCount)
{
    // Slot counts as the C++ declarations number them, IUnknown's three included.
    const struct
    {
        const wchar_t* pszIid;
        const wchar_t* pszName;
        const wchar_t* pszMethods;
    } rgCases[] = {
        {L"{56A868C0-0AD4-11CE-B03A-0020AF0BA770}", L"IMediaEventEx", L"16"},
        {L"{2DD74950-A890-11D1-ABE8-00A0C905F375}", L"IAMFilterMiscFlags", L"4"},
        {L"{2A4E238B-071F-4135-8009-5474FD6A346C}", L"IServerControl", L"12"},
        {L"{4BB13D88-3FC8-4EBE-9C94-BD7B80DB8391}", L"IServerAppFilter", L"12"},
        {L"{22935A92-1D7A-410D-90C3-8B868291E527}", L"IFilterVersion", L"8"},
        {L"{B3519B1D-E4AF-44D3-81EA-9D21E1656B96}", L"IIceServerStatus", L"4"},
        {L"{8DC3350F-8F3F-48B9-A1BA-2CF9C705937B}", L"IQSEncoder", L"29"},
        {L"{E2764848-76DB-4095-B53C-D0E37AEC3325}", L"IQSEncoderStatus", L"5"},
        {L"{5F1D2C3B-8E47-4A09-B61E-937C204DA86F}", L"IOpusEncoderSettings", L"6"},
        {L"{7D0B6A2E-1F43-4C8E-8A5D-2E9601C47B3A}", L"IVP8EncoderSettings", L"7"},
        {L"{CE17DBD0-43DA-4F79-84E6-C9F0FDA160A1}", L"IVideoGenerator", L"40"},
        {L"{ED311151-5211-11DF-94AF-0026B977EEAA}", L"IVP8Encoder", L"76"},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(testing::Message() << test.pszName);
        std::wstring key = std::wstring(L"Interface\\") + test.pszIid;
        EXPECT_EQ(test.pszName, RegValue(key, nullptr));
        EXPECT_EQ(c_szProxyClsid, RegValue(key + L"\\ProxyStubClsid32", nullptr));
        EXPECT_EQ(test.pszMethods, RegValue(key + L"\\NumMethods", nullptr));
    }
    std::wstring server = RegValue(std::wstring(L"CLSID\\") + c_szProxyClsid + L"\\InprocServer32", nullptr);
    EXPECT_EQ(L"\\corvastaps.dll", server.substr(server.find_last_of(L'\\')));
    // IMediaEvent, the base of IMediaEventEx, keeps the platform's own proxy.
    EXPECT_EQ(L"{00020424-0000-0000-C000-000000000046}",
              RegValue(L"Interface\\{56A868B6-0AD4-11CE-B03A-0020AF0BA770}\\ProxyStubClsid32", nullptr));
}

TEST_F(ProxyTest, GraphEventsCrossFromTheOwner)
{
    CComQIPtr<IMediaEventEx> spEvents(m_spRemote);
    ASSERT_NE(nullptr, spEvents);

    // The owner's EC_USER + 1 comes after whatever the graph queued itself.
    LONG lCode = 0;
    LONG_PTR lParam1 = 0, lParam2 = 0;
    HRESULT hr = S_OK;
    while ((hr = spEvents->GetEvent(&lCode, &lParam1, &lParam2, 0)) == S_OK && lCode != lRemoteEventCode)
        spEvents->FreeEventParams(lCode, lParam1, lParam2);
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(lRemoteEventParam, lParam1);
    EXPECT_EQ(static_cast<LONG_PTR>(m_host.ProcessId()), lParam2);
    EXPECT_EQ(S_OK, spEvents->FreeEventParams(lCode, lParam1, lParam2));
    EXPECT_EQ(E_ABORT, spEvents->GetEvent(&lCode, &lParam1, &lParam2, 0));

    LONG lFlags = -1;
    EXPECT_EQ(S_OK, spEvents->GetNotifyFlags(&lFlags));
    EXPECT_EQ(0, lFlags);
    EXPECT_EQ(S_OK, spEvents->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY));
    EXPECT_EQ(S_OK, spEvents->GetNotifyFlags(&lFlags));
    EXPECT_EQ(AM_MEDIAEVENT_NONOTIFY, lFlags);
    EXPECT_EQ(E_INVALIDARG, spEvents->SetNotifyFlags(2));
    EXPECT_EQ(S_OK, spEvents->SetNotifyFlags(0));
}

TEST_F(ProxyTest, NotifyWindowInThisProcessGetsTheOwnersEvents)
{
    HWND hWnd = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hWnd);
    const UINT uMsg = WM_APP + 17;
    {
        CComQIPtr<IMediaEventEx> spEvents(m_spRemote);
        CComQIPtr<IMediaEventSink> spSink(m_spRemote);
        ASSERT_NE(nullptr, spEvents);
        ASSERT_NE(nullptr, spSink);
        ASSERT_EQ(S_OK, spEvents->SetNotifyWindow(reinterpret_cast<OAHWND>(hWnd), uMsg, 0x77));
        ASSERT_EQ(S_OK, spSink->Notify(EC_USER + 2, 3, 4));

        MSG msg = {};
        DWORD dwStart = ::GetTickCount();
        bool bPosted = false;
        while (!bPosted && ::GetTickCount() - dwStart < 5000)
        {
            if (::PeekMessageW(&msg, hWnd, uMsg, uMsg, PM_REMOVE))
                bPosted = true;
            else
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        ASSERT_TRUE(bPosted);
        EXPECT_EQ(0x77, msg.lParam);
        EXPECT_EQ(S_OK, spEvents->SetNotifyWindow(0, 0, 0));
    }
    ::DestroyWindow(hWnd);
}

TEST_F(ProxyTest, FilterMiscFlagsAsInProcess)
{
    for (const wchar_t* pszFilter : {szGeneratorFilter, szQSEncoderFilter, szVP8EncoderFilter, szCorvastaFilter})
    {
        SCOPED_TRACE(testing::Message() << pszFilter);
        std::wstring rgAnswers[2];
        IFilterGraph* rgGraphs[2] = {m_spLocal, m_spRemote};
        for (int i = 0; i < 2; i++)
        {
            CComPtr<IBaseFilter> spFilter;
            ASSERT_EQ(S_OK, rgGraphs[i]->FindFilterByName(pszFilter, &spFilter));
            CComQIPtr<IAMFilterMiscFlags> spFlags(spFilter);
            rgAnswers[i] = spFlags != nullptr ? Number(spFlags->GetMiscFlags()) : L"no interface";
        }
        EXPECT_EQ(rgAnswers[0], rgAnswers[1]);
    }
    // The server filter is the renderer that EC_COMPLETE waits for.
    CComPtr<IBaseFilter> spServer;
    ASSERT_EQ(S_OK, m_spRemote->FindFilterByName(szCorvastaFilter, &spServer));
    CComQIPtr<IAMFilterMiscFlags> spFlags(spServer);
    ASSERT_NE(nullptr, spFlags);
    EXPECT_EQ(static_cast<ULONG>(AM_FILTER_MISC_FLAGS_IS_RENDERER), spFlags->GetMiscFlags());
}

TEST_F(ProxyTest, ComponentInterfacesAnswerAsInProcess)
{
    const struct
    {
        const char* pszName;
        Transcript (*pfnCalls)(IFilterGraph*);
    } rgCases[] = {
        {"IServerControl", ServerControlCalls},
        {"IServerAppFilter, IFilterVersion", AppFilterAndVersionCalls},
        {"IQSEncoder, IQSEncoderStatus", QSEncoderCalls},
        {"IVideoGenerator", VideoGeneratorCalls},
        {"IVP8Encoder, IVP8EncoderSettings", VP8EncoderCalls},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        Transcript local = test.pfnCalls(m_spLocal);
        Transcript remote = test.pfnCalls(m_spRemote);
        ASSERT_GT(local.size(), 2u);
        EXPECT_EQ(L"QueryInterface -> 0x00000000", local[0]);
        ASSERT_EQ(local.size(), remote.size());
        for (size_t i = 0; i < local.size(); i++)
            EXPECT_EQ(local[i], remote[i]);
    }
}
