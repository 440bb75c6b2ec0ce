// The graph's filter gathering with the ICE servers the harness gives it:
// Debian's coturn, which the test run starts in its namespace (STUN and
// TURN on 127.0.0.1:3478 behind a NAT that changes the source port, with a
// user and password of the run's own), and servers that fail: a wrong
// password, one that never answers, a name that does not resolve. Then the
// server under floods of offers and datagrams.
#include "tests/WebRtcServeFixture.h" // first: it brings winsock2.h

#include <regex>

#include "rtc/Stun.h"
#include "tests/support/TestIceServers.h"

namespace {

class IceServersTest : public WebRtcServeTest
{
protected:
    void SetUp() override
    {
        WebRtcServeTest::SetUp();
        if (IsSkipped())
            return;
        if (m_turn.uri.empty())
            GTEST_SKIP() << "no TURN server in this run (scripts/test starts coturn in its namespace)";
    }

    // The filter's list becomes these servers.
    void UseServers(const std::vector<CIceServer>& servers)
    {
        while (m_graph.GetIceServerCount() > 0)
            ASSERT_EQ(S_OK, m_graph.RemoveIceServer(0));
        for (const CIceServer& server : servers)
        {
            std::wstring uri(server.uri.begin(), server.uri.end());
            std::wstring user(server.user.begin(), server.user.end());
            std::wstring password(server.password.begin(), server.password.end());
            ASSERT_EQ(S_OK, m_graph.AddIceServer(CComBSTR(uri.c_str()), CComBSTR(user.c_str()),
                                                 CComBSTR(password.c_str())));
        }
    }

    CTurnAccount m_turn;
};

TEST_F(IceServersTest, EachServersOutcomeIsShownAndTheHostCandidatesStillPlay)
{
    Serve(szVP8, szOpus);
    CSilentServer silent;
    const std::string strSilent = "stun:127.0.0.1:" + std::to_string(silent.Port());
    const CIceServer stun = {"stun:127.0.0.1:3478", "", ""};
    const CIceServer turn = {m_turn.uri, m_turn.user, m_turn.password};
    const CIceServer wrong = {m_turn.uri, m_turn.user, m_turn.password + "x"};
    // Behind the namespace's NAT coturn sees another port than the host
    // candidate's; without it the mapped address is the host's, left out.
    const size_t cStunSrflx = EnvText("CORVASTA_STUN_NAT") == "1" ? 1 : 0;
    struct CExpected
    {
        const char* pszState;
        std::string error; // the start of it
    };
    struct CCase
    {
        const char* pszName;
        std::vector<CIceServer> servers;
        size_t cSrflx;
        size_t cRelay;
        std::vector<CExpected> outcomes;
    };
    const CCase rgCases[] = {
        {"STUN", {stun}, cStunSrflx, 0, {{"done", ""}}},
        {"TURN", {turn}, 0, 1, {{"done", ""}}},
        {"wrong password", {wrong}, 0, 0,
         {{"failed", "TURN 127.0.0.1:3478: 401 Unauthorized (wrong user name or password)"}}},
        {"silent server", {{strSilent, "", ""}}, 0, 0,
         {{"failed", "STUN 127.0.0.1:" + std::to_string(silent.Port()) + ": no answer in 1000 ms"}}},
        // Without a name server in the namespace the lookup fails at once
        // ("the name server did not answer"); with one, "name not found".
        {"unresolvable name", {{"stun:stun.invalid:3478", "", ""}}, 0, 0,
         {{"failed", "STUN stun.invalid:3478: "}}},
        {"a working and a failed server", {stun, turn, {strSilent, "", ""}}, cStunSrflx, 1,
         {{"done", ""}, {"done", ""}, {"failed", "STUN 127.0.0.1:"}}},
        // One socket holds one allocation per server.
        {"the same TURN server twice", {turn, wrong}, 0, 1,
         {{"done", ""}, {"not used", "TURN 127.0.0.1:3478: not used: the same address as "}}},
    };
    for (const CCase& c : rgCases)
    {
        SCOPED_TRACE(c.pszName);
        UseServers(c.servers);
        m_counts.clear();
        CRtcUdpClient client;
        CWhepExchange exchange;
        // The answer comes whatever the servers do: gathering gives up
        // after a second. The bound here only guards against a hang.
        DWORD dwStart = ::GetTickCount();
        ASSERT_TRUE(client.Open(m_nPort, "/live/whep", &exchange)) << exchange.nStatus << " " << exchange.body;
        EXPECT_LT(::GetTickCount() - dwStart, 5000u);
        EXPECT_EQ(1u, Candidates(exchange.body, "host").size()) << exchange.body;
        EXPECT_EQ(c.cSrflx, Candidates(exchange.body, "srflx").size()) << exchange.body;
        EXPECT_EQ(c.cRelay, Candidates(exchange.body, "relay").size()) << exchange.body;
        for (const std::string& line : Candidates(exchange.body, "srflx"))
            EXPECT_NE(std::string::npos, line.find(" 127.0.0.1 ")) << line;

        std::string strStatus = HttpGet(m_nPort, "/live/status.json");
        size_t nPos = strStatus.find("\"iceServers\":[");
        ASSERT_NE(std::string::npos, nPos) << strStatus;
        for (size_t i = 0; i < c.outcomes.size(); ++i)
        {
            nPos = strStatus.find("{\"uri\":\"" + c.servers[i].uri + "\",\"state\":\"" + c.outcomes[i].pszState +
                                      "\",\"error\":\"" + c.outcomes[i].error,
                                  nPos);
            EXPECT_NE(std::string::npos, nPos) << i << ": " << strStatus;
        }
        EXPECT_EQ(std::string::npos, strStatus.find("\"state\":\"gathering\"")) << strStatus;

        // The host candidate, first in the answer, is the one the client checks.
        CRtcTestClient& rtc = client.Client();
        ASSERT_TRUE(Pump(client, [&] { return rtc.Video().nFrames >= 5 && rtc.Audio().nFrames >= 5; }))
            << rtc.DtlsFailure();
        EXPECT_EQ(200, WhepDelete(m_nPort, exchange.location).nStatus);
        ASSERT_TRUE(Pump(client, [&] { return m_counts.size() == 2; }, 5000));
    }
}

TEST_F(IceServersTest, ARelayOnlySessionPlaysThroughCoturnAndTheListAppliesToTheNextPeer)
{
    Serve(szVP8, szOpus);
    UseServers({{m_turn.uri, m_turn.user, m_turn.password}});
    // The client asks for relayed candidates alone: its checks and all the
    // media then pass through coturn.
    CRtcUdpClient relayed;
    CWhepExchange exchange;
    ASSERT_TRUE(relayed.Open(m_nPort, "/live/whep?iceTransportPolicy=relay", &exchange)) << exchange.body;
    EXPECT_TRUE(Candidates(exchange.body, "host").empty()) << exchange.body;
    ASSERT_EQ(1u, Candidates(exchange.body, "relay").size()) << exchange.body;
    EXPECT_NE(m_nPort, relayed.Client().Server().nPort) << "the client checks the relay, not our port";
    CRtcTestClient& rtc = relayed.Client();
    ASSERT_TRUE(Pump(relayed, [&] { return rtc.Video().nFrames >= 25 && rtc.Audio().nFrames >= 25; }))
        << rtc.DtlsFailure();
    EXPECT_EQ(std::vector<int>{1}, m_counts);
    std::string strStatus = HttpGet(m_nPort, "/live/status.json");
    EXPECT_NE(std::string::npos, strStatus.find("\"pair\":\"relay 127.0.0.1:")) << strStatus;
    EXPECT_NE(std::string::npos, strStatus.find("\"relayed\":true")) << strStatus;
    // The key-frame road works through the relay too.
    uint32_t nKeyFrames = rtc.Video().nKeyFrames;
    rtc.SendPictureLoss();
    relayed.Flush();
    EXPECT_TRUE(Pump(relayed, [&] { return rtc.Video().nKeyFrames > nKeyFrames; }, 5000));

    // A change of the list is for the next peer; the relayed one plays on.
    UseServers({{m_turn.uri, m_turn.user, "not the password"}});
    CRtcUdpClient direct;
    CWhepExchange second;
    ASSERT_TRUE(direct.Open(m_nPort, "/live/whep", &second)) << second.body;
    EXPECT_TRUE(Candidates(second.body, "relay").empty()) << second.body;
    EXPECT_NE(std::string::npos, HttpGet(m_nPort, "/live/status.json").find("401 Unauthorized"));
    ASSERT_TRUE(Pump(direct, [&] { return direct.Client().Video().nFrames >= 5; }));
    uint32_t nFrames = rtc.Video().nFrames;
    ASSERT_TRUE(Pump(relayed, [&] { return rtc.Video().nFrames >= nFrames + 10; }));
    // A relay-only client when no relay can be had is told why.
    CWhepExchange refused = WhepPost(m_nPort, "/live/whep?iceTransportPolicy=relay", CRtcTestClient({}).Offer());
    EXPECT_EQ(503, refused.nStatus);
    EXPECT_NE(std::string::npos, refused.body.find("401 Unauthorized")) << refused.body;

    // coturn's own log: the allocation, the permission for our client, the
    // channel, the release with the session, and the traffic it relayed
    // both ways (its peer side: from and to our client).
    EXPECT_EQ(200, WhepDelete(m_nPort, exchange.location).nStatus);
    std::string strLog;
    const std::regex traffic("peer usage: realm=<corvasta\\.test>, username=<[^>]*>, rp=[1-9][0-9]*, rb=[0-9]+, "
                             "sp=[1-9][0-9]*, sb=[0-9]+");
    EXPECT_TRUE(direct.PumpUntil([&] { return std::regex_search(strLog = m_turn.Log(), traffic); }, 5000)) << strLog;
    for (const std::string& text : {std::string("ALLOCATE processed, success"),
                                    std::string("CREATE_PERMISSION processed, success"),
                                    std::string("CHANNEL_BIND processed, success"),
                                    "username=<" + m_turn.user + ">, lifetime=0"})
        EXPECT_NE(std::string::npos, strLog.find(text)) << text << "\n" << strLog;
}

// A STUN Binding request that names the ufrag but cannot pass its check.
std::vector<uint8_t> WrongCheck(const std::string& strUsername, uint32_t nSeed)
{
    uint8_t rgbId[rtc::c_cbStunTransactionId] = {};
    memcpy(rgbId, &nSeed, sizeof(nSeed));
    std::vector<uint8_t> bytes(256);
    rtc::StunWriter writer(bytes.data(), bytes.size());
    writer.Begin(rtc::c_nStunBinding, rtc::StunClass::Request, rgbId);
    writer.AddString(rtc::c_nStunUsername, strUsername);
    const uint8_t rgbKey[] = {'n', 'o', 't', ' ', 'i', 't'};
    writer.AddMessageIntegrity(rgbKey, sizeof(rgbKey));
    writer.AddFingerprint();
    bytes.resize(writer.Size());
    return bytes;
}

TEST_F(WebRtcServeTest, FloodsOfOffersAndDatagramsDoNotStopAPeerThatPlays)
{
    Serve(szVP8, szOpus);
    // Offers whose clients never come: each is answered, the oldest give
    // way, and a real client still gets in.
    CRtcTestClient ghost(rtc::NetAddress{});
    const std::string strGhostOffer = ghost.Offer();
    int nAnswered = 0;
    for (int i = 0; i < 200; ++i)
        nAnswered += WhepPost(m_nPort, "/live/whep", strGhostOffer).nStatus == 201 ? 1 : 0;
    EXPECT_EQ(200, nAnswered);
    CRtcUdpClient client;
    CWhepExchange exchange;
    ASSERT_TRUE(client.Open(m_nPort, "/live/whep", &exchange)) << exchange.nStatus << " " << exchange.body;
    CRtcTestClient& rtc = client.Client();
    ASSERT_TRUE(Pump(client, [&] { return rtc.Video().nFrames >= 10; })) << rtc.DtlsFailure();
    std::string strUfrag = exchange.body.substr(exchange.body.find("a=ice-ufrag:") + 12, 8);

    // While it plays: random bytes, and checks with wrong credentials for
    // its session and for none, from one address at a time.
    SOCKET flood = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in server = {};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server.sin_port = htons(m_nPort);
    uint32_t nSeed = 12345;
    auto next = [&] { return nSeed = nSeed * 1103515245 + 12345; };
    uint32_t nFrames = rtc.Video().nFrames;
    DWORD dwStart = ::GetTickCount();
    int nSent = 0;
    while (::GetTickCount() - dwStart < 3000)
    {
        for (int i = 0; i < 30; ++i, ++nSent)
        {
            std::vector<uint8_t> bytes;
            switch (i % 3)
            {
            case 0:
                bytes.resize(1 + next() % 1200);
                for (uint8_t& b : bytes)
                    b = static_cast<uint8_t>(next() >> 16);
                break;
            case 1: bytes = WrongCheck(strUfrag + ":abcd", next()); break;
            default: bytes = WrongCheck("nobodys:abcd", next()); break;
            }
            ::sendto(flood, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
                     reinterpret_cast<const sockaddr*>(&server), sizeof(server));
        }
        client.PumpUntil([] { return false; }, 10);
        HandleEvents();
    }
    ::closesocket(flood);
    EXPECT_GE(rtc.Video().nFrames, nFrames + 40) << "frames while " << nSent << " datagrams came";
    EXPECT_EQ(std::vector<int>{1}, m_counts);

    std::string strStatus = HttpGet(m_nPort, "/live/status.json");
    auto count = [&](const char* pszKey) {
        size_t nPos = strStatus.find(std::string("\"") + pszKey + "\":");
        return nPos == std::string::npos ? -1 : atoi(strStatus.c_str() + nPos + strlen(pszKey) + 3);
    };
    // All but the 64 half-open sessions the server keeps.
    EXPECT_GE(count("unconnected"), 200 - 64) << strStatus;
    EXPECT_GT(count("datagrams"), nSent / 6) << strStatus;
    EXPECT_GT(count("rateLimited"), 0) << strStatus;
    EXPECT_GT(count("badChecks"), 0) << strStatus;
}

} // namespace
