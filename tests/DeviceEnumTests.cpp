// Walking a device category registered for the test through the real system
// device enumerator: order, names, class ids, filters, and each step's
// failure on its own.
#include <gtest/gtest.h>

#include "dshow/DeviceEnum.h"
#include "tests/support/DevEnumFixture.h"

#include <string>

namespace {

// A class id that nothing registers.
GUID NewGuid()
{
    GUID guid = GUID_NULL;
    ::CoCreateGuid(&guid);
    return guid;
}

} // namespace

TEST(DeviceEnumTest, WalksTheCategoryInOrderWithNamesAndClassIds)
{
    const GUID clsidA = NewGuid();
    CTestCategory cat;
    cat.Add(L"Camera A", clsidA);
    cat.Add(L"Camera B"); // CLSID {00000000-...}

    CDeviceEnum devices;
    ASSERT_EQ(S_OK, devices.Open(cat.Id())); // creates the system device enumerator itself

    ASSERT_EQ(S_OK, devices.Next());
    CComBSTR bstrName;
    EXPECT_EQ(S_OK, devices.ReadName(&bstrName));
    EXPECT_STREQ(L"Camera A", bstrName);
    CLSID clsid = GUID_NULL;
    EXPECT_EQ(S_OK, devices.ReadClsid(&clsid));
    EXPECT_EQ(clsidA, clsid);

    ASSERT_EQ(S_OK, devices.Next());
    CComBSTR bstrSecond;
    EXPECT_EQ(S_OK, devices.ReadName(&bstrSecond));
    EXPECT_STREQ(L"Camera B", bstrSecond);
    clsid = clsidA;
    EXPECT_EQ(S_OK, devices.ReadClsid(&clsid));
    EXPECT_EQ(GUID_NULL, clsid);

    // The end stays the end; nothing is current any more.
    EXPECT_EQ(S_FALSE, devices.Next());
    EXPECT_EQ(S_FALSE, devices.Next());
    CComBSTR bstrNone;
    EXPECT_EQ(E_UNEXPECTED, devices.ReadName(&bstrNone));
    EXPECT_TRUE(bstrNone.m_str == nullptr);
    EXPECT_EQ(E_UNEXPECTED, devices.BindProperties());

    // Opened again, the walk starts over.
    ASSERT_EQ(S_OK, devices.Open(cat.Id()));
    ASSERT_EQ(S_OK, devices.Next());
    CComBSTR bstrAgain;
    EXPECT_EQ(S_OK, devices.ReadName(&bstrAgain));
    EXPECT_STREQ(L"Camera A", bstrAgain);
}

TEST(DeviceEnumTest, EmptyCategoryAndNothingOpen)
{
    CDeviceEnum devices;
    // Before any category: no device, and no step on a device.
    EXPECT_EQ(S_FALSE, devices.Next());
    CComPtr<IBaseFilter> spFilter;
    EXPECT_EQ(E_UNEXPECTED, devices.BindFilter(&spFilter));
    EXPECT_EQ(E_POINTER, devices.BindFilter(nullptr));
    EXPECT_EQ(E_POINTER, devices.ReadName(nullptr));
    EXPECT_EQ(E_POINTER, devices.ReadClsid(nullptr));

    ASSERT_EQ(S_OK, devices.Create());
    CTestCategory empty; // not even its key exists
    EXPECT_EQ(S_FALSE, devices.Open(empty.Id()));
    EXPECT_EQ(S_FALSE, devices.Next());
}

TEST(DeviceEnumTest, UnreadableEntryFailsOnItsOwnAndTheWalkGoesOn)
{
    CTestCategory cat;
    cat.AddUnreadable(true);  // no FriendlyName, no CLSID
    cat.AddUnreadable(false); // FriendlyName is a number, no CLSID
    cat.Add(L"Camera A");

    // The property bag's own codes: a missing value, and a number asked for
    // as a string (which the platform refuses to convert).
    const HRESULT rghrName[] = {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), E_INVALIDARG};
    CDeviceEnum devices;
    ASSERT_EQ(S_OK, devices.Open(cat.Id()));
    for (HRESULT hrName : rghrName)
    {
        SCOPED_TRACE(testing::Message() << std::hex << hrName);
        ASSERT_EQ(S_OK, devices.Next());
        EXPECT_EQ(S_OK, devices.BindProperties()); // the entry's key is there
        CComBSTR bstrName;
        EXPECT_EQ(hrName, devices.ReadName(&bstrName));
        EXPECT_TRUE(bstrName.m_str == nullptr);
        CLSID clsid = CLSID_SystemDeviceEnum;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), devices.ReadClsid(&clsid));
        EXPECT_EQ(GUID_NULL, clsid);
    }
    ASSERT_EQ(S_OK, devices.Next());
    CComBSTR bstrName;
    EXPECT_EQ(S_OK, devices.ReadName(&bstrName));
    EXPECT_STREQ(L"Camera A", bstrName);
    EXPECT_EQ(S_FALSE, devices.Next());
}

TEST(DeviceEnumTest, BindsEachDeviceToItsFilter)
{
    CTestCategory cat;
    cat.Add(L"Reader", CLSID_AsyncReader);
    cat.Add(L"Nowhere", NewGuid());

    CDeviceEnum devices;
    ASSERT_EQ(S_OK, devices.Open(cat.Id()));
    ASSERT_EQ(S_OK, devices.Next());
    CComPtr<IBaseFilter> spFilter;
    ASSERT_EQ(S_OK, devices.BindFilter(&spFilter));
    CLSID clsid = GUID_NULL;
    EXPECT_EQ(S_OK, spFilter->GetClassID(&clsid));
    EXPECT_EQ(CLSID_AsyncReader, clsid);
    // The walker keeps no reference on the filter.
    EXPECT_EQ(0u, spFilter.Detach()->Release());

    ASSERT_EQ(S_OK, devices.Next());
    IBaseFilter* pFilter = reinterpret_cast<IBaseFilter*>(1);
    EXPECT_EQ(REGDB_E_CLASSNOTREG, devices.BindFilter(&pFilter));
    EXPECT_EQ(nullptr, pFilter);
}
