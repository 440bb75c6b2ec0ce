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
    EXPECT_NE(std::string::npos, strJson.find(",\"rejected\":\"audio: the client offered no \\\"opus\\\"\","));
    const std::string strEnd = ",\"peers\":[{\"state\":\"connected\"}]}";
    EXPECT_EQ(strJson.size() - strEnd.size(), strJson.find(strEnd)) << strJson;

    // The ICE servers and the drops, quoted where a tester's text may need it.
    peers.m_iceServers = {
        {"turn:127.0.0.1:3478", "failed", "TURN 127.0.0.1:3478: 401 Unauthorized (wrong user name or password)", ""},
        {"stun:127.0.0.1", "done", "", "srflx 127.0.0.1:50200"}};
    peers.m_dropped.m_nDatagrams = 12;
    peers.m_dropped.m_nUnconnected = 200;
    strJson = MakeStatusJson(L"Paused", stats, peers);
    EXPECT_NE(std::string::npos,
              strJson.find(",\"iceServers\":[{\"uri\":\"turn:127.0.0.1:3478\",\"state\":\"failed\",\"error\":"
                           "\"TURN 127.0.0.1:3478: 401 Unauthorized (wrong user name or password)\",\"address\":\"\"},"
                           "{\"uri\":\"stun:127.0.0.1\",\"state\":\"done\",\"error\":\"\",\"address\":\"srflx "
                           "127.0.0.1:50200\"}],\"dropped\":{\"datagrams\":12,\"rateLimited\":0,\"badChecks\":0,"
                           "\"unconnected\":200,\"refused\":0},"))
        << strJson;

    // Every key at the top of the JSON names a row of the page.
    std::string strPage = MakeStatusPage(L"Paused", CServerUrl(), stats);
    int nDepth = 0;
    bool bInString = false;
    for (size_t n = 0; n < strJson.size(); ++n)
    {
        char ch = strJson[n];
        if (bInString)
        {
            n += ch == '\\' ? 1 : 0;
            bInString = ch != '"';
            continue;
        }
        if (ch == '"' && nDepth == 1 && (strJson[n - 1] == '{' || strJson[n - 1] == ','))
        {
            std::string strKey = strJson.substr(n + 1, strJson.find('"', n + 1) - n - 1);
            EXPECT_NE(std::string::npos, strPage.find("<tr data-key=\"" + strKey + "\">")) << strKey;
        }
        bInString = ch == '"';
        nDepth += ch == '{' || ch == '[' ? 1 : ch == '}' || ch == ']' ? -1 : 0;
    }
}

TEST(StatusPage, TextIsUtf8)
{
    EXPECT_EQ("caf\xC3\xA9", ToUtf8(L"caf\x00E9"));
    EXPECT_EQ("", ToUtf8(L""));
}

} // namespace
