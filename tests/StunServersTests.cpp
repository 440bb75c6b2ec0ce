#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/StunServers.h"
#include "tests/support/ReportCapture.h"

namespace {

TEST(StunServers, FormOfTheBuiltInList)
{
    // Entries 1 on are strictly ascending by character code.
    for (UINT i = 0; i < nStunServers; ++i)
    {
        ASSERT_NE(nullptr, g_rgpszStunServers[i]) << i;
        if (i > 1)
        {
            EXPECT_LT(strcmp(g_rgpszStunServers[i - 1], g_rgpszStunServers[i]), 0) << i;
        }
    }

    int nDots = 0, nPort10000 = 0, nDefault = 0;
    for (UINT i = 0; i < nStunServers; ++i)
    {
        const std::string entry = g_rgpszStunServers[i];
        EXPECT_EQ(std::string::npos, entry.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-.:")) << entry;
        EXPECT_EQ(0u, entry.find("stun")) << entry;
        size_t nColon = entry.find(':');
        ASSERT_NE(std::string::npos, nColon) << entry;
        EXPECT_EQ(nColon, entry.rfind(':')) << entry;
        const std::string port = entry.substr(nColon + 1);
        if (port == "10000")
            ++nPort10000;
        else
        {
            EXPECT_EQ("3478", port) << entry;
        }
        if (i > 0)
        {
            nDots += entry.compare(0, 5, "stun.") == 0;
            nDefault += entry == g_rgpszStunServers[0];
        }
    }
    EXPECT_EQ(1, nPort10000);
    EXPECT_EQ(1, nDefault) << "the default is also at its sorted place";
    EXPECT_GT(nDots, static_cast<int>(nStunServers - 1) / 2) << "most hosts begin with stun.";
}

TEST(StunServers, WideEntries)
{
    for (UINT i = 0; i < nStunServers; ++i)
    {
        const std::string narrow = g_rgpszStunServers[i];
        EXPECT_EQ(std::wstring(narrow.begin(), narrow.end()), std::wstring(GetStunServer(i))) << i;
    }
    EXPECT_EQ(std::wstring(GetStunServer(0)), std::wstring(GetDefaultIceServer()));

    CReportCapture capture;
    EXPECT_EQ(nullptr, GetStunServer(nStunServers).m_str);
    EXPECT_TRUE(capture.HasAssert(L"nIndex < nStunServers"));
}

} // namespace
