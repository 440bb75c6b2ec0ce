#include <gtest/gtest.h>

#include <functional>

#include "dshow/FourCCSubtype.h"
#include "standins/corvasta/CorvastaPropPage.h"
#include "standins/corvasta/tests/CorvastaTestSupport.h"
#include "standins/kit/FaultSwitch.h"

namespace {

// The filter reads its fault switches under its name.
const wchar_t szFaultKey[] = L"Corvasta";

CComPtr<IBaseFilter> CreateCorvasta()
{
    CComPtr<IBaseFilter> spFilter;
    EXPECT_EQ(S_OK, spFilter.CoCreateInstance(CLSID_CorvastaFilter, nullptr, CLSCTX_INPROC_SERVER));
    return spFilter;
}

std::vector<std::wstring> PinNames(IBaseFilter* pFilter)
{
    std::vector<std::wstring> names;
    CComPtr<IEnumPins> spEnum;
    if (FAILED(pFilter->EnumPins(&spEnum)))
        return names;
    for (;;)
    {
        CComPtr<IPin> spPin;
        if (spEnum->Next(1, &spPin, nullptr) != S_OK)
            break;
        PIN_DIRECTION dir = PINDIR_OUTPUT;
        spPin->QueryDirection(&dir);
        LPWSTR pszId = nullptr;
        spPin->QueryId(&pszId);
        names.push_back(std::wstring(dir == PINDIR_INPUT ? L"in:" : L"out:") + (pszId ? pszId : L""));
        ::CoTaskMemFree(pszId);
    }
    return names;
}

TEST(CorvastaFilter, IsARendererWithAVideoAndAnAudioInput)
{
    IBaseFilter* pFilter = nullptr;
    ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_CorvastaFilter, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IBaseFilter),
                                       reinterpret_cast<void**>(&pFilter)));
    {
        EXPECT_EQ((std::vector<std::wstring>{L"in:Video", L"in:Audio"}), PinNames(pFilter));

        // Each input takes its medium, encoded or raw, and only that.
        CComPtr<IPin> spVideo, spAudio;
        ASSERT_EQ(S_OK, pFilter->FindPin(L"Video", &spVideo));
        ASSERT_EQ(S_OK, pFilter->FindPin(L"Audio", &spAudio));
        AM_MEDIA_TYPE mt = {};
        mt.majortype = MEDIATYPE_Video;
        mt.subtype = MEDIASUBTYPE_RGB24;
        EXPECT_EQ(S_OK, spVideo->QueryAccept(&mt));
        EXPECT_NE(S_OK, spAudio->QueryAccept(&mt));
        mt.subtype = FourCCSubtype(MAKEFOURCC('H', '2', '6', '4'));
        EXPECT_EQ(S_OK, spVideo->QueryAccept(&mt));
        mt.majortype = MEDIATYPE_Audio;
        mt.subtype = MEDIASUBTYPE_PCM;
        EXPECT_EQ(S_OK, spAudio->QueryAccept(&mt));
        EXPECT_NE(S_OK, spVideo->QueryAccept(&mt));
        mt.majortype = MEDIATYPE_Stream;
        EXPECT_NE(S_OK, spVideo->QueryAccept(&mt));
        EXPECT_NE(S_OK, spAudio->QueryAccept(&mt));

        CComQIPtr<IAMFilterMiscFlags> spFlags(pFilter);
        ASSERT_NE(nullptr, spFlags.p);
        EXPECT_EQ(static_cast<ULONG>(AM_FILTER_MISC_FLAGS_IS_RENDERER), spFlags->GetMiscFlags());

        CLSID clsid = GUID_NULL;
        EXPECT_EQ(S_OK, pFilter->GetClassID(&clsid));
        EXPECT_EQ(CLSID_CorvastaFilter, clsid);

        // The harness reaches the other interfaces through the control one.
        CComQIPtr<IServerControl> spControl(pFilter);
        ASSERT_NE(nullptr, spControl.p);
        CComQIPtr<IServerAppFilter> spAppFilter(spControl);
        CComQIPtr<IFilterVersion> spVersion(spControl);
        EXPECT_NE(nullptr, spAppFilter.p);
        EXPECT_NE(nullptr, spVersion.p);

        CComQIPtr<ISpecifyPropertyPages> spPages(pFilter);
        ASSERT_NE(nullptr, spPages.p);
        CAUUID pages = {};
        ASSERT_EQ(S_OK, spPages->GetPages(&pages));
        ASSERT_EQ(1u, pages.cElems);
        EXPECT_EQ(CLSID_CorvastaPropertyPage, pages.pElems[0]);
        ::CoTaskMemFree(pages.pElems);

        ServerStats stats = QueryStatistics(pFilter);
        EXPECT_EQ(sizeof(ServerStats), stats.cbSize);
        EXPECT_EQ(static_cast<UINT32>(State_Stopped), stats.nState);
        EXPECT_EQ(0u, stats.nPacks);
    }
    EXPECT_EQ(0u, pFilter->Release());
}

TEST(CorvastaFilter, VtableSlotsReachTheirMethods)
{
    CComPtr<IBaseFilter> spFilter = CreateCorvasta();
    CComQIPtr<IServerControl> spControl(spFilter);
    ASSERT_NE(nullptr, spControl.p);

    // IServerControl: 3 SetUrl, 4 GetUrl, 5 and 6 unused, 7 GetIceServerCount,
    // 8 AddIceServer, 9 GetIceServer, 10 RemoveIceServer, 11 GetStatistics.
    EXPECT_EQ(S_OK, CallSlot(spControl, 3, CComBSTR(L"http://localhost:5000/live").m_str));
    CComBSTR cbsUrl;
    EXPECT_EQ(S_OK, CallSlot(spControl, 4, &cbsUrl));
    EXPECT_STREQ(L"http://localhost:5000/live", cbsUrl);
    EXPECT_EQ(E_NOTIMPL, CallSlot(spControl, 5));
    EXPECT_EQ(E_NOTIMPL, CallSlot(spControl, 6));

    EXPECT_EQ(S_OK, CallSlot(spControl, 8, CComBSTR(L"stun:a.example:3478").m_str, BSTR(), BSTR()));
    EXPECT_EQ(S_OK, CallSlot(spControl, 8, CComBSTR(L"turn:b.example").m_str, CComBSTR(L"user").m_str,
                             CComBSTR(L"pwd").m_str));
    EXPECT_EQ(S_OK, CallSlot(spControl, 8, CComBSTR(L"c.example:3478").m_str, BSTR(), BSTR()));
    LONG nCount = -1;
    EXPECT_EQ(S_OK, CallSlot(spControl, 7, &nCount));
    EXPECT_EQ(3, nCount);
    EXPECT_EQ(S_OK, CallSlot(spControl, 10, LONG(0)));
    {
        CComBSTR cbsUri, cbsUser, cbsPwd;
        EXPECT_EQ(S_OK, CallSlot(spControl, 9, LONG(0), &cbsUri, &cbsUser, &cbsPwd));
        EXPECT_STREQ(L"turn:b.example", cbsUri);
        EXPECT_STREQ(L"user", cbsUser);
        EXPECT_STREQ(L"pwd", cbsPwd);
    }
    {
        CComBSTR cbsUri, cbsUser, cbsPwd;
        EXPECT_EQ(S_OK, CallSlot(spControl, 9, LONG(1), &cbsUri, &cbsUser, &cbsPwd));
        EXPECT_STREQ(L"c.example:3478", cbsUri);
        EXPECT_EQ(nullptr, cbsUser.m_str);
        EXPECT_EQ(nullptr, cbsPwd.m_str);
    }
    {
        CComBSTR cbsUri, cbsUser, cbsPwd;
        EXPECT_EQ(E_INVALIDARG, CallSlot(spControl, 9, LONG(2), &cbsUri, &cbsUser, &cbsPwd));
        EXPECT_EQ(nullptr, cbsUri.m_str);
    }
    ServerStats stats;
    memset(&stats, 0xCC, sizeof(stats));
    EXPECT_EQ(S_OK, CallSlot(spControl, 11, &stats));
    EXPECT_EQ(sizeof(ServerStats), stats.cbSize);
    EXPECT_EQ(0u, stats.nConnections);

    // IServerAppFilter: 3 to 9 unused, 10 SetAppFilter, 11 GetAppFilter.
    CComQIPtr<IServerAppFilter> spAppFilter(spControl);
    ASSERT_NE(nullptr, spAppFilter.p);
    for (int nSlot = 3; nSlot <= 9; ++nSlot)
        EXPECT_EQ(E_NOTIMPL, CallSlot(spAppFilter, nSlot)) << "slot " << nSlot;
    EXPECT_EQ(S_OK, CallSlot(spAppFilter, 10, CComBSTR(L"viewer").m_str, BOOL(TRUE)));
    CComBSTR cbsNamePart;
    BOOL bEnable = FALSE;
    EXPECT_EQ(S_OK, CallSlot(spAppFilter, 11, &cbsNamePart, &bEnable));
    EXPECT_STREQ(L"viewer", cbsNamePart);
    EXPECT_TRUE(bEnable);

    // IFilterVersion: 3 GetType, 4 GetOS, 5 GetName, 6 GetNumber, 7 GetDateTime.
    CComQIPtr<IFilterVersion> spVersion(spControl);
    ASSERT_NE(nullptr, spVersion.p);
    LONG eType = -1;
    LONG eOS = 0;
    EXPECT_EQ(S_OK, CallSlot(spVersion, 3, &eType));
    EXPECT_EQ(S_OK, CallSlot(spVersion, 4, &eOS));
#ifdef _DEBUG
    EXPECT_EQ(0, eType);
#else
    EXPECT_NE(0, eType);
#endif
    EXPECT_NE(0, eOS) << "a 64-bit build";
    CComBSTR cbsName, cbsNumber, cbsDate;
    EXPECT_EQ(S_OK, CallSlot(spVersion, 5, &cbsName));
    EXPECT_EQ(S_OK, CallSlot(spVersion, 6, &cbsNumber));
    EXPECT_EQ(S_OK, CallSlot(spVersion, 7, &cbsDate));
    EXPECT_STREQ(L"Corvasta", cbsName);
    EXPECT_STREQ(L"2.1.0", cbsNumber);
    EXPECT_NE(0u, cbsDate.Length());
}

TEST(CorvastaFilter, SetUrlRefusesWhatItCannotServe)
{
    CComPtr<IBaseFilter> spFilter = CreateCorvasta();
    CComQIPtr<IServerControl> spControl(spFilter);
    ASSERT_NE(nullptr, spControl.p);

    const wchar_t* rgpszRefused[] = {
        L"", L"localhost:5000", L"ftp://localhost/", L"http://+:0/", L"http://+:65536/",
        L"http://+:port/", L"http://a b/", L"http://[::1]:5000/", L"http://localhost/?x",
    };
    EXPECT_EQ(E_INVALIDARG, spControl->SetUrl(nullptr));
    for (const wchar_t* pszUrl : rgpszRefused)
        EXPECT_EQ(E_INVALIDARG, spControl->SetUrl(CComBSTR(pszUrl))) << pszUrl;
    CComBSTR cbsUrl;
    ASSERT_EQ(S_OK, spControl->GetUrl(&cbsUrl));
    EXPECT_STREQ(L"http://+:50128/", cbsUrl) << "the default, untouched by refusals";

    // Served as plain HTTP on its port: the stand-in has no TLS.
    EXPECT_EQ(S_OK, spControl->SetUrl(CComBSTR(L"https://localhost:50000/")));
    cbsUrl.Empty();
    ASSERT_EQ(S_OK, spControl->GetUrl(&cbsUrl));
    EXPECT_STREQ(L"https://localhost:50000/", cbsUrl);
}

TEST(CorvastaFilter, AppFilterRoundTrip)
{
    CComPtr<IBaseFilter> spFilter = CreateCorvasta();
    CComQIPtr<IServerAppFilter> spAppFilter(spFilter);
    ASSERT_NE(nullptr, spAppFilter.p);

    struct CCase
    {
        const wchar_t* pszSet;
        BOOL bSet;
        const wchar_t* pszGot; // null: no name part
        BOOL bGot;
    };
    const CCase rgCases[] = {
        {L"Viewer", TRUE, L"Viewer", TRUE},
        {L"Viewer", 7, L"Viewer", TRUE},
        {L"Viewer", FALSE, L"Viewer", FALSE},
        {nullptr, TRUE, nullptr, TRUE},
        {L"", FALSE, nullptr, FALSE},
    };
    for (const CCase& c : rgCases)
    {
        SCOPED_TRACE(testing::Message() << (c.pszSet ? c.pszSet : L"(null)") << " " << c.bSet);
        CComBSTR cbsSet(c.pszSet);
        ASSERT_EQ(S_OK, spAppFilter->SetAppFilter(cbsSet, c.bSet));
        CComBSTR cbsGot;
        BOOL bGot = 2;
        ASSERT_EQ(S_OK, spAppFilter->GetAppFilter(&cbsGot, &bGot));
        if (c.pszGot == nullptr)
            EXPECT_EQ(nullptr, cbsGot.m_str);
        else
            EXPECT_STREQ(c.pszGot, cbsGot);
        EXPECT_EQ(c.bGot, bGot);
    }
    EXPECT_EQ(E_INVALIDARG, spAppFilter->SetAppFilter(CComBSTR(L"a\tb"), TRUE));
    EXPECT_EQ(E_INVALIDARG, spAppFilter->SetAppFilter(CComBSTR(std::wstring(256, L'x').c_str()), TRUE));
}

// A value no call returns by itself.
const HRESULT hrFault = static_cast<HRESULT>(0x8004CAFE);

TEST(CorvastaFilter, FaultSwitchesFailTheirCalls)
{
    typedef std::function<HRESULT(IBaseFilter*)> FCall;
    auto Control = [](IBaseFilter* p) { return CComQIPtr<IServerControl>(p); };
    auto AppFilter = [](IBaseFilter* p) { return CComQIPtr<IServerAppFilter>(p); };
    auto Version = [](IBaseFilter* p) { return CComQIPtr<IFilterVersion>(p); };
    const std::pair<const wchar_t*, FCall> rgCases[] = {
        {L"SetUrl", [&](IBaseFilter* p) { return Control(p)->SetUrl(CComBSTR(L"http://localhost:5000/")); }},
        {L"GetUrl", [&](IBaseFilter* p) { CComBSTR cbs; return Control(p)->GetUrl(&cbs); }},
        {L"GetIceServerCount", [&](IBaseFilter* p) { LONG n = 0; return Control(p)->GetIceServerCount(&n); }},
        {L"AddIceServer",
         [&](IBaseFilter* p) { return Control(p)->AddIceServer(CComBSTR(L"stun:a.example"), nullptr, nullptr); }},
        {L"GetIceServer",
         [&](IBaseFilter* p) {
             CComBSTR cbsUri, cbsUser, cbsPwd;
             return Control(p)->GetIceServer(0, &cbsUri, &cbsUser, &cbsPwd);
         }},
        {L"RemoveIceServer", [&](IBaseFilter* p) { return Control(p)->RemoveIceServer(0); }},
        {L"GetStatistics", [&](IBaseFilter* p) { ServerStats s = {}; return Control(p)->GetStatistics(&s); }},
        {L"SetAppFilter", [&](IBaseFilter* p) { return AppFilter(p)->SetAppFilter(CComBSTR(L"x"), TRUE); }},
        {L"GetAppFilter",
         [&](IBaseFilter* p) { CComBSTR cbs; BOOL b = FALSE; return AppFilter(p)->GetAppFilter(&cbs, &b); }},
        {L"GetType", [&](IBaseFilter* p) { LONG e = 0; return Version(p)->GetType(&e); }},
        {L"GetOS", [&](IBaseFilter* p) { LONG e = 0; return Version(p)->GetOS(&e); }},
        {L"GetName", [&](IBaseFilter* p) { CComBSTR cbs; return Version(p)->GetName(&cbs); }},
        {L"GetNumber", [&](IBaseFilter* p) { CComBSTR cbs; return Version(p)->GetNumber(&cbs); }},
        {L"GetDateTime", [&](IBaseFilter* p) { CComBSTR cbs; return Version(p)->GetDateTime(&cbs); }},
        {L"Pause", [&](IBaseFilter* p) { return p->Pause(); }},
        {L"Run", [&](IBaseFilter* p) { return p->Run(0); }},
    };
    for (const auto& c : rgCases)
    {
        SCOPED_TRACE(testing::Message() << c.first);
        CFaultSwitch fault(szFaultKey, c.first, static_cast<DWORD>(hrFault));
        ASSERT_EQ(ERROR_SUCCESS, fault.Result());
        CComPtr<IBaseFilter> spFilter = CreateCorvasta();
        ASSERT_NE(nullptr, spFilter.p);
        EXPECT_EQ(hrFault, c.second(spFilter));
        FILTER_STATE state = State_Running;
        spFilter->GetState(0, &state);
        EXPECT_EQ(State_Stopped, state);
    }
}

TEST(CorvastaFilter, FaultSwitchesLeaveOutPinsAndInterfaces)
{
    {
        CFaultSwitch fault(szFaultKey, L"NoPin:Video", 1);
        EXPECT_EQ((std::vector<std::wstring>{L"in:Audio"}), PinNames(CreateCorvasta()));
    }
    {
        CFaultSwitch fault(szFaultKey, L"NoPin:Audio", 1);
        EXPECT_EQ((std::vector<std::wstring>{L"in:Video"}), PinNames(CreateCorvasta()));
    }
    const std::pair<const wchar_t*, IID> rgInterfaces[] = {
        {L"NoInterface:IServerControl", __uuidof(IServerControl)},
        {L"NoInterface:IServerAppFilter", __uuidof(IServerAppFilter)},
        {L"NoInterface:IFilterVersion", __uuidof(IFilterVersion)},
        {L"NoInterface:ISpecifyPropertyPages", __uuidof(ISpecifyPropertyPages)},
    };
    for (const auto& c : rgInterfaces)
    {
        CFaultSwitch fault(szFaultKey, c.first, 1);
        CComPtr<IBaseFilter> spFilter = CreateCorvasta();
        ASSERT_NE(nullptr, spFilter.p);
        CComPtr<IUnknown> spUnknown;
        EXPECT_EQ(E_NOINTERFACE, spFilter->QueryInterface(c.second, reinterpret_cast<void**>(&spUnknown)))
            << c.first;
        EXPECT_EQ(nullptr, spUnknown.p);
    }
}

} // namespace
