// The name a graph is published under, and reading it back as a graph editor
// does from the Running Object Table's display names.
#include <gtest/gtest.h>

#include "dshow/PublishedGraph.h"

#include <strsafe.h>

namespace {
const void* Address(ULONG_PTR nAddress)
{
    return reinterpret_cast<const void*>(nAddress);
}
} // namespace

TEST(PublishedGraphTest, NameCarriesTheLowHalfOfTheAddressAndTheProcess)
{
    wchar_t szName[cchPublishedGraphName];
    ASSERT_EQ(S_OK, FormatPublishedGraphName(Address(0x7ff60012ab34ull), 0x1f2c, szName, ARRAYSIZE(szName)));
    EXPECT_STREQ(L"FilterGraph 0012ab34 pid 00001f2c", szName);
    ASSERT_EQ(S_OK, FormatPublishedGraphName(Address(0x1fedcba98ull), 0xffffffff, szName, ARRAYSIZE(szName)));
    EXPECT_STREQ(L"FilterGraph fedcba98 pid ffffffff", szName);
    EXPECT_EQ(33u, wcslen(szName));

    // Cut, never overrun.
    wchar_t szShort[12] = L"";
    EXPECT_EQ(STRSAFE_E_INSUFFICIENT_BUFFER, FormatPublishedGraphName(Address(1), 2, szShort, ARRAYSIZE(szShort)));
    EXPECT_STREQ(L"FilterGraph", szShort);
    EXPECT_EQ(E_POINTER, FormatPublishedGraphName(Address(1), 2, nullptr, 64));
}

TEST(PublishedGraphTest, ReadsDisplayNamesBack)
{
    struct Case
    {
        const wchar_t* pszName;
        bool bPublished;
        DWORD dwGraph;
        DWORD dwProcessId;
    } cases[] = {
        {L"!FilterGraph 0012ab34 pid 00001f2c", true, 0x0012ab34, 0x1f2c},
        {L"FilterGraph 0012ab34 pid 00001f2c", true, 0x0012ab34, 0x1f2c},
        {L"!FilterGraph FEDCBA98 pid 0000ABCD", true, 0xfedcba98, 0xabcd},
        {L"!FilterGraph 0012ab34 pid 00001f2c ", false},
        {L"!FilterGraph 12ab34 pid 00001f2c", false},
        {L"!FilterGraph 0012ab34 pid 1f2c", false},
        {L"!FilterGraph 0012ab3g pid 00001f2c", false},
        {L"!FilterGraph  0012ab34 pid 00001f2c", false},
        {L"!filtergraph 0012ab34 pid 00001f2c", false},
        {L"!FilterGraph 0012ab34 PID 00001f2c", false},
        {L"!!FilterGraph 0012ab34 pid 00001f2c", false},
        {L"!FilterGraph 0012ab34", false},
        {L"!FilterGraph 0012ab34 pid 00001f2", false},
        {L"", false},
    };
    for (const Case& c : cases)
    {
        DWORD dwGraph = 7, dwProcessId = 7;
        EXPECT_EQ(c.bPublished, ParsePublishedGraphName(c.pszName, &dwGraph, &dwProcessId)) << c.pszName;
        EXPECT_EQ(c.dwGraph, dwGraph) << c.pszName;
        EXPECT_EQ(c.dwProcessId, dwProcessId) << c.pszName;
    }
    DWORD dwGraph = 7, dwProcessId = 7;
    EXPECT_FALSE(ParsePublishedGraphName(nullptr, &dwGraph, &dwProcessId));
    EXPECT_EQ(0u, dwGraph);
    EXPECT_EQ(0u, dwProcessId);
    EXPECT_FALSE(ParsePublishedGraphName(L"FilterGraph 0012ab34 pid 00001f2c", nullptr, &dwProcessId));
    EXPECT_FALSE(ParsePublishedGraphName(L"FilterGraph 0012ab34 pid 00001f2c", &dwGraph, nullptr));

    // What is written is read back.
    wchar_t szName[cchPublishedGraphName];
    ASSERT_EQ(S_OK, FormatPublishedGraphName(Address(0xabc80000001ull), 0x10, szName, ARRAYSIZE(szName)));
    EXPECT_TRUE(ParsePublishedGraphName(szName, &dwGraph, &dwProcessId));
    EXPECT_EQ(0x80000001u, dwGraph);
    EXPECT_EQ(0x10u, dwProcessId);
}
