#include <gtest/gtest.h>

#include "standins/corvasta/StatusPage.h"

namespace {

TEST(StatusPage, ShowsStateUrlStreamAndCounts)
{
    ServerStats stats = {};
    stats.nConnections = 2;
    stats.nPacks = 345;
    stats.nRtpTransferVid = 1234;
    std::string strPage = MakeStatusPage(L"Running", L"http://+:50128/a&b/", L"/a&b/stream", stats);
    EXPECT_NE(std::string::npos, strPage.find("<th>State</th><td>Running</td>"));
    EXPECT_NE(std::string::npos, strPage.find("<td>http://+:50128/a&amp;b/</td>")) << strPage;
    EXPECT_NE(std::string::npos, strPage.find("<a href=\"/a&amp;b/stream\">"));
    EXPECT_NE(std::string::npos, strPage.find("<th>Connections</th><td>2</td>"));
    EXPECT_NE(std::string::npos, strPage.find("<th>Packets received</th><td>345</td>"));
    EXPECT_NE(std::string::npos, strPage.find("<th>Video transfer (us)</th><td>1234</td>"));
}

TEST(StatusPage, TextIsUtf8)
{
    EXPECT_EQ("caf\xC3\xA9", ToUtf8(L"caf\x00E9"));
    EXPECT_EQ("", ToUtf8(L""));
}

} // namespace
