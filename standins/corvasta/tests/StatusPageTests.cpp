#include <gtest/gtest.h>

#include "standins/corvasta/StatusPage.h"

namespace {

TEST(StatusPage, ShowsStateUrlStreamAndCounts)
{
    ServerStats stats = {};
    stats.nConnections = 2;
    stats.nPacks = 345;
    stats.nRtpTransferVid = 1234;
    CServerUrl url;
    ASSERT_EQ(S_OK, CServerUrl::Parse(L"http://+:50128/a&b/", &url));
    std::string strPage = MakeStatusPage(L"Running", url, stats);
    EXPECT_NE(std::string::npos, strPage.find("<th>State</th><td>Running</td>"));
    EXPECT_NE(std::string::npos, strPage.find("<td>http://+:50128/a&amp;b/</td>")) << strPage;
    EXPECT_NE(std::string::npos, strPage.find("<a href=\"/a&amp;b/stream\">"));
    EXPECT_NE(std::string::npos, strPage.find("<th>Connections</th><td>2</td>"));
    EXPECT_NE(std::string::npos, strPage.find("<th>Packets received</th><td>345</td>"));
    EXPECT_NE(std::string::npos, strPage.find("<th>Video transfer (us)</th><td>1234</td>"));
    // The player finds the stream and the figures it polls on its element,
    // and the rows it refreshes by their keys.
    EXPECT_NE(std::string::npos, strPage.find("data-stream=\"/a&amp;b/stream\" data-whep=\"/a&amp;b/whep\" "
                                              "data-status=\"/a&amp;b/status.json\""));
    EXPECT_NE(std::string::npos, strPage.find("<tr data-key=\"connections\"><th>Connections</th>"));
    EXPECT_NE(std::string::npos, strPage.find("<video id=\"video\""));
    EXPECT_NE(std::string::npos, strPage.find("startViewer("));
}

TEST(StatusPage, JsonCarriesTheRowsKeys)
{
    ServerStats stats = {};
    stats.nConnections = 3;
    stats.nConnectionsTotal = 7;
    stats.nBytesSent = 2147483647;
    stats.nRtpTransferAud = 55;
    CPeerStatus peers;
    peers.m_strPeersJson = "[{\"state\":\"connected\"}]";
    peers.m_strRejections = "audio: the client offered no \"opus\"";
    std::string strJson = MakeStatusJson(L"Paused", stats, peers);
    EXPECT_EQ(0u, strJson.find("{\"state\":\"Paused\",\"connections\":3,\"connectionsServed\":7,")) << strJson;
    EXPECT_NE(std::string::npos, strJson.find(",\"bytesSent\":2147483647,"));
    EXPECT_NE(std::string::npos, strJson.find(",\"audioTransferUs\":55,")) << strJson;
    const std::string strEnd =
        ",\"rejected\":\"audio: the client offered no \\\"opus\\\"\",\"peers\":[{\"state\":\"connected\"}]}";
    EXPECT_EQ(strJson.size() - strEnd.size(), strJson.find(strEnd)) << strJson;
    // Every key of the JSON names a row of the page.
    std::string strPage = MakeStatusPage(L"Paused", CServerUrl(), stats);
    strJson = MakeStatusJson(L"Paused", stats);
    for (size_t n = strJson.find("\""); n != std::string::npos; n = strJson.find(",\"", n + 1))
    {
        size_t nKey = strJson[n] == ',' ? n + 2 : n + 1;
        std::string strKey = strJson.substr(nKey, strJson.find('"', nKey) - nKey);
        EXPECT_NE(std::string::npos, strPage.find("<tr data-key=\"" + strKey + "\">")) << strKey;
    }
}

TEST(StatusPage, TextIsUtf8)
{
    EXPECT_EQ("caf\xC3\xA9", ToUtf8(L"caf\x00E9"));
    EXPECT_EQ("", ToUtf8(L""));
}

} // namespace
