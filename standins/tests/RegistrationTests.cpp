// After set-up the system device enumerator lists every stand-in in its
// category, and each is created by its class id; the DLLs unload when idle.
#include "StandinTestSupport.h"

#include "EncoderIds.h"
#include "dshow/DeviceEnum.h"

namespace {

struct CStandin
{
    const GUID* pCategory;
    const wchar_t* pszName;
    const GUID* pclsid;
};

const CStandin c_rgStandins[] = {
    {&CLSID_VideoInputDeviceCategory, L"Ormidex Video Generator", &CLSID_OrmidexVideoGenerator},
    {&CLSID_VideoCompressorCategory, L"Ormidex QS Encoder", &CLSID_OrmidexQSEncoder},
    {&CLSID_VideoCompressorCategory, L"WebM VP8 Encoder Filter", &CLSID_VP8Encoder},
    {&CLSID_AudioCompressorCategory, L"Ormidex Opus Encoder", &CLSID_OrmidexOpusEncoder},
    {&CLSID_AudioCompressorCategory, L"CCITT A-Law", &CLSID_CCITTALawEncoder},
    {&CLSID_AudioCompressorCategory, L"CCITT u-Law", &CLSID_CCITTMuLawEncoder},
    {&CLSID_LegacyAmFilterCategory, L"Corvasta", &CLSID_CorvastaFilter},
};

// Creates the filter of the device with that friendly name, found as CGraph
// finds it.
HRESULT BindDevice(REFGUID category, const wchar_t* pszName, IBaseFilter** ppFilter)
{
    CDeviceEnum devices;
    HRESULT hr = devices.Open(category);
    while (hr == S_OK && (hr = devices.Next()) == S_OK)
    {
        CComBSTR bstrName;
        if (SUCCEEDED(devices.ReadName(&bstrName)) && lstrcmpiW(bstrName, pszName) == 0)
            return devices.BindFilter(ppFilter);
    }
    return FAILED(hr) ? hr : VFW_E_NOT_FOUND;
}

TEST(RegistrationTest, DeviceEnumeratorListsEachStandinAndBindsIt)
{
    for (const CStandin& standin : c_rgStandins)
    {
        SCOPED_TRACE(testing::Message() << standin.pszName);
        CComPtr<IBaseFilter> spFilter;
        ASSERT_EQ(S_OK, BindDevice(*standin.pCategory, standin.pszName, &spFilter));
        CLSID clsid = GUID_NULL;
        EXPECT_EQ(S_OK, spFilter->GetClassID(&clsid));
        EXPECT_EQ(*standin.pclsid, clsid);
        EXPECT_EQ(0u, spFilter.Detach()->Release());
    }
}

TEST(RegistrationTest, EachStandinIsCreatedByClassIdWithItsPins)
{
    struct
    {
        const GUID* pclsid;
        const wchar_t* pszFirst;
        PIN_DIRECTION dirFirst;
        ULONG cPins;
    } rgCases[] = {
        {&CLSID_OrmidexVideoGenerator, L"Video", PINDIR_OUTPUT, 2},
        {&CLSID_OrmidexQSEncoder, L"Input", PINDIR_INPUT, 2},
        {&CLSID_VP8Encoder, L"Input", PINDIR_INPUT, 2},
        {&CLSID_OrmidexOpusEncoder, L"Input", PINDIR_INPUT, 2},
        {&CLSID_CCITTALawEncoder, L"Input", PINDIR_INPUT, 2},
        {&CLSID_CCITTMuLawEncoder, L"Input", PINDIR_INPUT, 2},
    };
    for (const auto& test : rgCases)
    {
        CComPtr<IBaseFilter> spFilter;
        ASSERT_EQ(S_OK, CreateStandin(*test.pclsid, &spFilter));
        CComPtr<IEnumPins> spPins;
        ASSERT_EQ(S_OK, spFilter->EnumPins(&spPins));
        IPin* rgPins[3] = {};
        ULONG cFetched = 0;
        EXPECT_EQ(S_FALSE, spPins->Next(3, rgPins, &cFetched));
        ASSERT_EQ(test.cPins, cFetched);
        PIN_INFO info = {};
        ASSERT_EQ(S_OK, rgPins[0]->QueryPinInfo(&info));
        EXPECT_STREQ(test.pszFirst, info.achName);
        EXPECT_EQ(test.dirFirst, info.dir);
        EXPECT_EQ(spFilter.p, info.pFilter);
        info.pFilter->Release();
        for (ULONG i = 0; i < cFetched; ++i)
            rgPins[i]->Release();
        spPins.Release();
        EXPECT_EQ(0u, spFilter.Detach()->Release());
    }
    // Aggregation is refused, as the kit's factory does not support it.
    CComPtr<IUnknown> spOuter;
    ASSERT_EQ(S_OK, CreateStandin(CLSID_OrmidexQSEncoder, reinterpret_cast<IBaseFilter**>(&spOuter)));
    IUnknown* pInner = nullptr;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              ::CoCreateInstance(CLSID_OrmidexQSEncoder, spOuter, CLSCTX_INPROC_SERVER,
                                 IID_IUnknown, reinterpret_cast<void**>(&pInner)));
}

} // namespace
