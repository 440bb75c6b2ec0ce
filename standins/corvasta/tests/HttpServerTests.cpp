#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "standins/corvasta/HttpServer.h"
#include "tests/support/LoopbackClient.h"
#include "tests/support/RtcUdpClient.h"

namespace {

// Polls, since the server reports from its own thread.
bool WaitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 500 && !condition(); ++i)
        ::Sleep(10);
    return condition();
}

// What the server reported, for the test thread to wait on.
class CRecordingEvents : public IHttpServerEvents
{
public:
    static const char szPage[];
    static const char szJson[];
    static const char szLater[]; // an offer answered later

    void OnClientCount(UINT nCount, bool bArrived) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_counts.emplace_back(nCount, bArrived);
    }
    void OnDelivered(const CDelivery& delivery) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_delivered.push_back(delivery);
    }
    std::string GetStatus(EStatusDocument eDocument) override
    {
        return eDocument == eStatusJson ? szJson : szPage;
    }
    // An owner that takes the offer "v=0", knows the session "s1" and
    // answers the offer "later" when the test makes its answer ready.
    CWhepAnswer OnWhep(const CWhepRequest& request) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_whep.push_back(request);
        }
        if (request.m_strMethod == "DELETE")
            return request.m_strSession == "s1" ? CWhepAnswer{200, "", "ended"} : CWhepAnswer{404, "", "no such session"};
        if (request.m_strBody == szLater)
            return CWhepAnswer{0, "", ""};
        return request.m_strBody == "v=0\r\n" ? CWhepAnswer{201, "s1", "v=0\r\nanswer"}
                                               : CWhepAnswer{400, "", "the offer is refused"};
    }
    bool TakeWhepAnswer(uint64_t nTicket, CWhepAnswer* pAnswer) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_asks[nTicket];
        auto it = m_ready.find(nTicket);
        if (it == m_ready.end())
            return false;
        *pAnswer = it->second;
        m_ready.erase(it);
        return true;
    }
    void OnWhepAbandoned(uint64_t nTicket) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_abandoned.push_back(nTicket);
    }
    std::vector<CWhepRequest> Whep()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_whep;
    }
    void MakeReady(uint64_t nTicket, const CWhepAnswer& answer)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ready[nTicket] = answer;
    }
    // How often the server asked for the ticket's answer.
    int Asks(uint64_t nTicket)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_asks[nTicket];
    }
    // The ticket of the request that came from the port (network order), or 0.
    uint64_t TicketFrom(USHORT nPort)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const CWhepRequest& request : m_whep)
        {
            if (request.m_clientAddress.sin_port == nPort)
                return request.m_nTicket;
        }
        return 0;
    }
    std::vector<uint64_t> Abandoned()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_abandoned;
    }

    std::vector<std::pair<UINT, bool>> Counts()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_counts;
    }
    std::vector<CDelivery> Delivered()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_delivered;
    }
    bool WaitForCounts(size_t nCounts)
    {
        return WaitFor([&] { return Counts().size() >= nCounts; });
    }
    bool WaitForDeliveries(size_t nDelivered)
    {
        return WaitFor([&] { return Delivered().size() >= nDelivered; });
    }
    bool WaitForWhep(size_t nRequests)
    {
        return WaitFor([&] { return Whep().size() >= nRequests; });
    }

private:
    std::mutex m_mutex;
    std::vector<std::pair<UINT, bool>> m_counts;
    std::vector<CDelivery> m_delivered;
    std::vector<CWhepRequest> m_whep;
    std::map<uint64_t, CWhepAnswer> m_ready;
    std::map<uint64_t, int> m_asks;
    std::vector<uint64_t> m_abandoned;
};

const char CRecordingEvents::szPage[] = "<html>status</html>";
const char CRecordingEvents::szJson[] = "{\"state\":\"Running\"}";
const char CRecordingEvents::szLater[] = "later\r\n";

// Audio parts tell their rate and channels.
std::shared_ptr<const CStreamChunk> Chunk(EMediaKind eKind, const std::string& strData)
{
    CPartType type = eKind == eMediaVideo ? CPartType{"video/x-test", 0, 0} : CPartType{"audio/x-test", 48000, 2};
    return CStreamChunk::Make(eKind, type,
                              reinterpret_cast<const BYTE*>(strData.data()), static_cast<UINT>(strData.size()),
                              400000, eKind == eMediaVideo, CurrentTicks());
}

// An offer, without Connection: close, for a client that waits for its answer.
std::string OfferRequest(const std::string& strTarget, const std::string& strBody)
{
    return "POST " + strTarget + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/sdp\r\nContent-Length: " +
           std::to_string(strBody.size()) + "\r\n\r\n" + strBody;
}

// The client's own port, in network order.
USHORT LocalPort(const CLoopbackClient& client)
{
    sockaddr_in local = {};
    int cbLocal = sizeof(local);
    return ::getsockname(client.Socket(), reinterpret_cast<sockaddr*>(&local), &cbLocal) == 0 ? local.sin_port : 0;
}

// A UDP socket on 127.0.0.1.
class CUdpSocket
{
public:
    CUdpSocket() : m_socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)), m_addr()
    {
        m_addr.sin_family = AF_INET;
        m_addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int cb = sizeof(m_addr);
        u_long nOn = 1;
        if (::bind(m_socket, reinterpret_cast<const sockaddr*>(&m_addr), sizeof(m_addr)) != 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&m_addr), &cb) != 0 ||
            ::ioctlsocket(m_socket, FIONBIO, &nOn) != 0)
            m_addr.sin_port = 0;
    }
    ~CUdpSocket() { ::closesocket(m_socket); }
    CUdpSocket(const CUdpSocket&) = delete;
    CUdpSocket& operator=(const CUdpSocket&) = delete;

    SOCKET Socket() const { return m_socket; }
    bool IsBound() const { return m_addr.sin_port != 0; }
    bool SendTo(const CUdpSocket& to, const std::string& str) const
    {
        return ::sendto(m_socket, str.data(), static_cast<int>(str.size()), 0,
                        reinterpret_cast<const sockaddr*>(&to.m_addr), sizeof(to.m_addr)) == static_cast<int>(str.size());
    }

private:
    SOCKET m_socket;
    sockaddr_in m_addr;
};

// An owner of datagram sockets that watches more of them as the test adds
// them, and notes which socket each datagram came in on.
class CDatagramOwner : public IHttpServerDatagrams
{
public:
    void DatagramSockets(std::vector<SOCKET>* pSockets) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        *pSockets = m_watched;
    }
    void OnDatagrams(SOCKET s) override
    {
        char rgBuf[64];
        int cb = ::recv(s, rgBuf, sizeof(rgBuf), 0);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (cb > 0)
            m_received.emplace_back(s, std::string(rgBuf, static_cast<size_t>(cb)));
    }
    DWORD OnDatagramTimer() override { return 1000; }

    void Watch(SOCKET s)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_watched.push_back(s);
    }
    std::vector<std::pair<SOCKET, std::string>> Received()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }

private:
    std::mutex m_mutex;
    std::vector<SOCKET> m_watched;
    std::vector<std::pair<SOCKET, std::string>> m_received;
};

class HttpServerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, m_winsock.Result());
        m_nPort = FindFreePort();
        ASSERT_NE(0, m_nPort);
    }

    CServerUrl Url(const std::wstring& strPath)
    {
        CServerUrl url;
        std::wstring strUrl = L"http://127.0.0.1:" + std::to_wstring(m_nPort) + strPath;
        EXPECT_EQ(S_OK, CServerUrl::Parse(strUrl.c_str(), &url));
        return url;
    }

    std::string Request(const std::string& strLine)
    {
        return HttpExchange(m_nPort, strLine + "\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    }

    CWinsock m_winsock;
    USHORT m_nPort = 0;
    CRecordingEvents m_events;
    CHttpServer m_server;
};

TEST_F(HttpServerTest, AnswersStatusPageAndRefusals)
{
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/live/"), &m_events));

    const std::pair<const char*, int> rgCases[] = {
        {"GET /live/ HTTP/1.1", 200},
        {"GET /LIVE HTTP/1.1", 200},
        {"GET /live/?refresh=1 HTTP/1.0", 200},
        {"GET / HTTP/1.1", 404},
        {"GET /live/streams HTTP/1.1", 404},
        {"GET /live/status.json HTTP/1.1", 200},
        {"GET /status.json HTTP/1.1", 404},
        {"POST /live/ HTTP/1.1", 405},
        {"DELETE /live/stream HTTP/1.1", 405},
        {"GET /live/ HTTP/2.0", 400},
        {"nonsense", 400},
    };
    for (const auto& c : rgCases)
    {
        std::string strResponse = Request(c.first);
        EXPECT_EQ(c.second, HttpStatus(strResponse)) << c.first << "\n" << strResponse;
    }

    std::string strPage = Request("GET /live/ HTTP/1.1");
    size_t nBody = strPage.find("\r\n\r\n");
    ASSERT_NE(std::string::npos, nBody);
    EXPECT_EQ(CRecordingEvents::szPage, strPage.substr(nBody + 4));
    EXPECT_NE(std::string::npos, strPage.find("Content-Type: text/html"));
    EXPECT_NE(std::string::npos,
              strPage.find("Content-Length: " + std::to_string(strlen(CRecordingEvents::szPage)) + "\r\n"));

    std::string strJson = Request("GET /LIVE/status.json HTTP/1.1");
    EXPECT_EQ(CRecordingEvents::szJson, strJson.substr(strJson.find("\r\n\r\n") + 4));
    EXPECT_NE(std::string::npos, strJson.find("Content-Type: application/json\r\n"));

    std::string strHead = Request("HEAD /live/ HTTP/1.1");
    EXPECT_EQ(200, HttpStatus(strHead));
    EXPECT_EQ(strHead.size(), strHead.find("\r\n\r\n") + 4) << "HEAD must not carry a body";

    // A HEAD of the stream shows its type but is no client.
    std::string strStreamHead = Request("HEAD /live/stream HTTP/1.1");
    EXPECT_NE(std::string::npos, strStreamHead.find("multipart/mixed; boundary=corvasta-sample"));
    EXPECT_TRUE(m_events.Counts().empty());
    EXPECT_EQ(0u, m_server.ClientCount());
}

TEST_F(HttpServerTest, RoutesWhepAndRefusesWhatItCanTellAlone)
{
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/live/"), &m_events));
    m_server.SetClientFilter("Viewer");
    const std::string strSdp = "v=0\r\n";
    auto post = [&](const char* pszType, const std::string& strBody, const char* pszAgent) {
        return "POST /live/whep HTTP/1.1\r\nHost: x\r\nUser-Agent: " + std::string(pszAgent) +
               "\r\nContent-Type: " + pszType + "\r\nContent-Length: " + std::to_string(strBody.size()) +
               "\r\n\r\n" + strBody;
    };
    struct CCase
    {
        std::string strRequest;
        const char* pszStatus;
        const char* pszInAnswer; // a header or the reason
    };
    const CCase rgCases[] = {
        {post("application/sdp", strSdp, "Viewer/1"), "201 Created", "Location: /live/whep/s1\r\n"},
        {post("Application/SDP; charset=utf-8", strSdp, "Viewer/1"), "201 Created", "\r\n\r\nv=0\r\nanswer"},
        {post("application/sdp", "x", "Viewer/1"), "400 Bad Request", "the offer is refused"},
        {post("text/plain", strSdp, "Viewer/1"), "415 Unsupported Media Type", "must be application/sdp"},
        {post("application/sdp", strSdp, "Other/1"), "403 Forbidden", "application filter"},
        {post("application/sdp", std::string(CHttpRequest::nMaxBody + 1, 'a'), "Viewer/1"), "413 Content Too Large",
         "larger than 65536 bytes"},
        {"POST /live/whep HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", "411 Length Required", ""},
        {"POST /live/whep HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", "400 Bad Request", ""},
        {"GET /live/whep HTTP/1.1\r\n\r\n", "405 Method Not Allowed", "Allow: POST, OPTIONS\r\n"},
        {"OPTIONS /live/whep HTTP/1.1\r\n\r\n", "204 No Content", "Accept-Post: application/sdp\r\n"},
        {"OPTIONS /live/whep/s1 HTTP/1.1\r\n\r\n", "204 No Content", "Access-Control-Allow-Methods: DELETE, OPTIONS"},
        {"DELETE /live/whep/s1 HTTP/1.1\r\n\r\n", "200 OK", "ended"},
        {"DELETE /live/whep/s2 HTTP/1.1\r\n\r\n", "404 Not Found", "no such session"},
        {"DELETE /live/whep/s1/x HTTP/1.1\r\n\r\n", "404 Not Found", ""},
        {"POST /live/whep/s1 HTTP/1.1\r\n\r\n", "405 Method Not Allowed", "Allow: DELETE, OPTIONS"},
    };
    for (const CCase& c : rgCases)
    {
        SCOPED_TRACE(c.strRequest.substr(0, 80));
        std::string strAnswer = HttpExchange(m_nPort, c.strRequest);
        EXPECT_EQ(0u, strAnswer.find(std::string("HTTP/1.1 ") + c.pszStatus)) << strAnswer.substr(0, 200);
        EXPECT_NE(std::string::npos, strAnswer.find(c.pszInAnswer)) << strAnswer;
        // What fails to parse is answered before any path is known.
        if (*c.pszInAnswer != '\0')
        {
            EXPECT_NE(std::string::npos, strAnswer.find("Access-Control-Allow-Origin: *\r\n")) << strAnswer;
        }
    }
    // Only what the server could not answer alone reached the owner.
    std::vector<CWhepRequest> whep = m_events.Whep();
    ASSERT_EQ(5u, whep.size());
    EXPECT_EQ(strSdp, whep[0].m_strBody);
    EXPECT_EQ("Viewer/1", whep[0].m_strUserAgent);
    EXPECT_EQ("s2", whep[4].m_strSession);
    EXPECT_TRUE(m_events.Counts().empty()) << "an offer is not a connection";
}

// The owner answers an offer some turns after it came. Meanwhile the
// connection outlasts a flood of half requests, which drops the oldest
// connection still reading.
TEST_F(HttpServerTest, PendingWhepAnswerGoesOutWhenTheOwnerHasIt)
{
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/live/"), &m_events));
    CLoopbackClient client;
    ASSERT_EQ(0, client.Connect(m_nPort));
    ASSERT_TRUE(client.Send(OfferRequest("/live/whep", CRecordingEvents::szLater)));
    ASSERT_TRUE(m_events.WaitForWhep(1));
    uint64_t nTicket = m_events.TicketFrom(LocalPort(client));
    ASSERT_NE(0u, nTicket);
    ASSERT_TRUE(WaitFor([&] { return m_events.Asks(nTicket) >= 3; })) << "the server asks each turn";

    std::vector<std::unique_ptr<CLoopbackClient>> flood;
    for (size_t i = 0; i < CHttpServer::nMaxPending + 2; ++i)
    {
        flood.push_back(std::make_unique<CLoopbackClient>());
        ASSERT_EQ(0, flood.back()->Connect(m_nPort)) << i;
        ASSERT_TRUE(flood.back()->Send("GET /li")) << i;
    }
    // Accepted after the flood, so the flood has been read when it is answered.
    EXPECT_EQ(200, HttpStatus(HttpGet(m_nPort, "/live/")));
    EXPECT_TRUE(client.ReadSome(1)) << "the waiting request is no half request";
    EXPECT_EQ("", client.Received());

    const std::string strSdp = "v=0\r\nlater answer";
    m_events.MakeReady(nTicket, {201, "s2", strSdp});
    ASSERT_TRUE(client.ReadToEnd());
    const std::string& strAnswer = client.Received();
    EXPECT_EQ(0u, strAnswer.find("HTTP/1.1 201 Created\r\n")) << strAnswer;
    EXPECT_NE(std::string::npos, strAnswer.find("Location: /live/whep/s2\r\n")) << strAnswer;
    EXPECT_NE(std::string::npos, strAnswer.find("Content-Type: application/sdp\r\n")) << strAnswer;
    EXPECT_NE(std::string::npos, strAnswer.find("Access-Control-Allow-Origin: *\r\n")) << strAnswer;
    EXPECT_EQ(strSdp, strAnswer.substr(strAnswer.find("\r\n\r\n") + 4));
    EXPECT_TRUE(m_events.Abandoned().empty()) << "an answered client is no abandoned one";
}

// A client that leaves before its answer is reported once, by its ticket,
// and not asked about again; Stop drops the one still waiting unreported.
TEST_F(HttpServerTest, ClientThatLeavesBeforeItsAnswerAbandonsIt)
{
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/live/"), &m_events));
    CLoopbackClient leaving;
    CLoopbackClient staying;
    for (CLoopbackClient* pClient : {&leaving, &staying})
    {
        ASSERT_EQ(0, pClient->Connect(m_nPort));
        ASSERT_TRUE(pClient->Send(OfferRequest("/live/whep", CRecordingEvents::szLater)));
    }
    ASSERT_TRUE(m_events.WaitForWhep(2));
    uint64_t nLeaving = m_events.TicketFrom(LocalPort(leaving));
    uint64_t nStaying = m_events.TicketFrom(LocalPort(staying));
    ASSERT_NE(0u, nLeaving);
    ASSERT_NE(0u, nStaying);
    EXPECT_NE(nLeaving, nStaying);

    leaving.Close();
    ASSERT_TRUE(WaitFor([&] { return !m_events.Abandoned().empty(); }));
    int nAsks = m_events.Asks(nLeaving);
    int nStayingAsks = m_events.Asks(nStaying);
    ASSERT_TRUE(WaitFor([&] { return m_events.Asks(nStaying) >= nStayingAsks + 2; }));
    EXPECT_EQ(nAsks, m_events.Asks(nLeaving)) << "an abandoned request is not asked about";
    EXPECT_EQ(std::vector<uint64_t>{nLeaving}, m_events.Abandoned());

    m_server.Stop();
    EXPECT_TRUE(staying.ReadToEnd());
    EXPECT_EQ("", staying.Received());
    EXPECT_EQ(1u, m_events.Abandoned().size()) << "Stop reports none";
}

// Past the bound the server refuses an offer before the owner sees it; an
// answer frees a place.
TEST_F(HttpServerTest, WaitingWhepRequestsAreBounded)
{
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/live/"), &m_events));
    std::vector<std::unique_ptr<CLoopbackClient>> clients;
    for (size_t i = 0; i < CHttpServer::nMaxWaitingWhep; ++i)
    {
        clients.push_back(std::make_unique<CLoopbackClient>());
        ASSERT_EQ(0, clients.back()->Connect(m_nPort)) << i;
        ASSERT_TRUE(clients.back()->Send(OfferRequest("/live/whep", CRecordingEvents::szLater))) << i;
    }
    ASSERT_TRUE(m_events.WaitForWhep(CHttpServer::nMaxWaitingWhep));

    std::string strBusy = HttpExchange(m_nPort, OfferRequest("/live/whep", "v=0\r\n"));
    EXPECT_EQ(0u, strBusy.find("HTTP/1.1 503 Service Unavailable\r\n")) << strBusy;
    EXPECT_NE(std::string::npos, strBusy.find("too many WHEP requests wait for their answers (64)")) << strBusy;
    EXPECT_EQ(CHttpServer::nMaxWaitingWhep, m_events.Whep().size()) << "the owner never saw it";

    m_events.MakeReady(m_events.TicketFrom(LocalPort(*clients.front())), {400, "", "refused later"});
    ASSERT_TRUE(clients.front()->ReadToEnd());
    EXPECT_EQ(0u, clients.front()->Received().find("HTTP/1.1 400 Bad Request\r\n"));
    EXPECT_NE(std::string::npos, clients.front()->Received().find("\r\n\r\nrefused later\r\n"));
    EXPECT_EQ(201, HttpStatus(HttpExchange(m_nPort, OfferRequest("/live/whep", "v=0\r\n"))));
}

TEST_F(HttpServerTest, OwnerLearnsTheQueryAndTheClientAddress)
{
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/live/"), &m_events));
    CLoopbackClient client;
    ASSERT_EQ(0, client.Connect(m_nPort));
    ASSERT_TRUE(client.Send(OfferRequest("/live/whep?iceTransportPolicy=relay", "v=0\r\n")));
    ASSERT_TRUE(client.ReadToEnd());
    EXPECT_EQ(201, HttpStatus(client.Received()));

    std::vector<CWhepRequest> whep = m_events.Whep();
    ASSERT_EQ(1u, whep.size());
    EXPECT_EQ("iceTransportPolicy=relay", whep[0].m_strQuery);
    EXPECT_EQ(AF_INET, whep[0].m_clientAddress.sin_family);
    EXPECT_EQ(htonl(INADDR_LOOPBACK), whep[0].m_clientAddress.sin_addr.s_addr);
    EXPECT_EQ(LocalPort(client), whep[0].m_clientAddress.sin_port);
}

// Each datagram reaches the owner with the socket it came in on, also on a
// socket that the owner added while the server ran.
TEST_F(HttpServerTest, ServesEveryDatagramSocketTheOwnerHas)
{
    if (!InNetNamespace())
        GTEST_SKIP() << "UDP goes only inside the test run's own network namespace (scripts/test makes it as root)";
    CUdpSocket first;
    CUdpSocket second;
    CUdpSocket sender;
    ASSERT_TRUE(first.IsBound() && second.IsBound() && sender.IsBound());
    CDatagramOwner owner;
    owner.Watch(first.Socket());
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/"), &m_events, &owner));

    ASSERT_TRUE(sender.SendTo(first, "to-first"));
    ASSERT_TRUE(WaitFor([&] { return owner.Received().size() >= 1; }));
    owner.Watch(second.Socket());
    ASSERT_TRUE(sender.SendTo(second, "to-second"));
    ASSERT_TRUE(sender.SendTo(first, "first-again"));
    ASSERT_TRUE(WaitFor([&] { return owner.Received().size() >= 3; }));
    m_server.Stop();

    std::vector<std::pair<SOCKET, std::string>> received = owner.Received();
    std::vector<std::pair<SOCKET, std::string>> expected = {
        {first.Socket(), "to-first"}, {second.Socket(), "to-second"}, {first.Socket(), "first-again"}};
    std::sort(received.begin() + 1, received.end());
    std::sort(expected.begin() + 1, expected.end());
    EXPECT_EQ(expected, received);
}

TEST_F(HttpServerTest, StreamCarriesSamplesAndCountsClients)
{
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/"), &m_events));

    CLoopbackClient first;
    ASSERT_EQ(0, first.Connect(m_nPort));
    ASSERT_TRUE(first.Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    ASSERT_TRUE(first.ReadUntil("\r\n\r\n"));
    EXPECT_EQ(200, HttpStatus(first.Received()));
    EXPECT_NE(std::string::npos, first.Received().find("Transfer-Encoding: chunked"));
    ASSERT_TRUE(m_events.WaitForCounts(1));
    EXPECT_EQ(1u, m_server.ClientCount());

    m_server.Send(Chunk(eMediaVideo, "frame-1"));
    ASSERT_TRUE(first.ReadUntil("frame-1\r\n"));
    EXPECT_NE(std::string::npos, first.Received().find("X-Media: video"));
    EXPECT_NE(std::string::npos, first.Received().find("X-Start-Time: 400000"));

    CLoopbackClient second;
    ASSERT_EQ(0, second.Connect(m_nPort));
    ASSERT_TRUE(second.Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    ASSERT_TRUE(m_events.WaitForCounts(2));

    m_server.Send(Chunk(eMediaAudio, "sound-2"));
    EXPECT_TRUE(first.ReadUntil("sound-2\r\n"));
    EXPECT_TRUE(second.ReadUntil("sound-2\r\n"));
    EXPECT_NE(std::string::npos, second.Received().find("X-Start-Time: 400000\r\nX-Sample-Rate: 48000\r\n"
                                                        "X-Channels: 2\r\n\r\nsound-2"))
        << second.Received();
    EXPECT_EQ(std::string::npos, first.Received().find("X-Key-Frame: 1\r\nX-Start-Time: 400000\r\nX-Sample-Rate"))
        << "video parts have no rate";
    EXPECT_EQ(std::string::npos, second.Received().find("frame-1")) << "a late client gets no old samples";

    first.Close();
    ASSERT_TRUE(m_events.WaitForCounts(3));
    second.Close();
    ASSERT_TRUE(m_events.WaitForCounts(4));
    std::vector<std::pair<UINT, bool>> expected = {{1, true}, {2, true}, {1, false}, {0, false}};
    EXPECT_EQ(expected, m_events.Counts());
    EXPECT_EQ(0u, m_server.ClientCount());

    ASSERT_TRUE(m_events.WaitForDeliveries(3));
    std::vector<CDelivery> delivered = m_events.Delivered();
    ASSERT_EQ(3u, delivered.size());
    EXPECT_EQ(eMediaVideo, delivered[0].m_eKind);
    EXPECT_EQ(7u, delivered[0].m_cbSample);
    EXPECT_EQ(eMediaAudio, delivered[1].m_eKind);
    EXPECT_EQ(eMediaAudio, delivered[2].m_eKind);
    for (const CDelivery& delivery : delivered)
        EXPECT_GE(delivery.m_llMicroseconds, 0);
}

TEST_F(HttpServerTest, ClientFilterAdmitsMatchingUserAgentsOnly)
{
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/"), &m_events));
    m_server.SetClientFilter("viewer");

    EXPECT_EQ(403, HttpStatus(Request("GET /stream HTTP/1.1\r\nUser-Agent: Other/1.0")));
    EXPECT_EQ(403, HttpStatus(Request("GET /stream HTTP/1.1")));
    EXPECT_EQ(200, HttpStatus(Request("GET / HTTP/1.1"))) << "the status page is for everyone";
    EXPECT_TRUE(m_events.Counts().empty());

    CLoopbackClient client;
    ASSERT_EQ(0, client.Connect(m_nPort));
    ASSERT_TRUE(client.Send("GET /stream HTTP/1.1\r\nUser-Agent: Corvasta-Viewer/1.0\r\n\r\n"));
    ASSERT_TRUE(client.ReadUntil("\r\n\r\n"));
    EXPECT_EQ(200, HttpStatus(client.Received()));
    EXPECT_TRUE(m_events.WaitForCounts(1));
}

TEST_F(HttpServerTest, StopEndsTheStreamTheThreadAndTheListener)
{
    int nThreadsBefore = CountThreads();
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/"), &m_events));
    EXPECT_EQ(nThreadsBefore + 1, CountThreads());
    EXPECT_EQ(E_UNEXPECTED, m_server.Start(Url(L"/"), &m_events));

    CLoopbackClient client;
    ASSERT_EQ(0, client.Connect(m_nPort));
    ASSERT_TRUE(client.Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    ASSERT_TRUE(m_events.WaitForCounts(1));

    m_server.Stop();
    EXPECT_FALSE(m_server.IsRunning());
    EXPECT_EQ(nThreadsBefore, CountThreads());
    EXPECT_TRUE(client.ReadToEnd());
    EXPECT_NE(std::string::npos, client.Received().find("--corvasta-sample--\r\n"));
    EXPECT_EQ(client.Received().size(), client.Received().rfind("\r\n0\r\n\r\n") + 7)
        << "the chunked body ends properly";
    EXPECT_EQ(1u, m_events.Counts().size()) << "a shutdown reports no count";

    CLoopbackClient late;
    EXPECT_EQ(WSAECONNREFUSED, late.Connect(m_nPort));

    // The same port is served again at once, as a graph that stops and runs
    // again needs.
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/"), &m_events));
    EXPECT_EQ(200, HttpStatus(HttpGet(m_nPort, "/")));
    m_server.Stop();
}

TEST_F(HttpServerTest, ServesTwoHundredStreamClientsAtOnceAndStopsWithThemAttached)
{
    const size_t nClients = 200;
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/"), &m_events));
    std::vector<std::unique_ptr<CLoopbackClient>> clients;
    for (size_t i = 0; i < nClients; ++i)
    {
        clients.push_back(std::make_unique<CLoopbackClient>());
        ASSERT_EQ(0, clients.back()->Connect(m_nPort)) << i;
        ASSERT_TRUE(clients.back()->Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")) << i;
    }
    ASSERT_TRUE(m_events.WaitForCounts(nClients)) << m_events.Counts().size();
    EXPECT_EQ(nClients, m_server.ClientCount());

    m_server.Send(Chunk(eMediaVideo, "frame-1"));
    for (size_t i = 0; i < nClients; ++i)
    {
        ASSERT_TRUE(clients[i]->ReadUntil("frame-1\r\n")) << i;
        EXPECT_EQ(200, HttpStatus(clients[i]->Received())) << i;
    }
    EXPECT_TRUE(m_events.WaitForDeliveries(nClients));
    EXPECT_EQ(nClients, m_events.Delivered().size());

    m_server.Stop();
    for (size_t i = 0; i < nClients; ++i)
        EXPECT_TRUE(clients[i]->ReadToEnd()) << "every stream ends with the server: " << i;
}

// Past the limit a client is told that the server is busy, the clients it
// holds go on streaming, and a place that comes free is taken again.
TEST_F(HttpServerTest, ClientPastTheLimitIsToldTheServerIsBusy)
{
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/"), &m_events));
    std::vector<std::unique_ptr<CLoopbackClient>> clients;
    for (size_t i = 0; i < CHttpServer::nMaxConnections; ++i)
    {
        clients.push_back(std::make_unique<CLoopbackClient>());
        ASSERT_EQ(0, clients.back()->Connect(m_nPort)) << i;
        ASSERT_TRUE(clients.back()->Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")) << i;
    }
    for (int i = 0; i < 6 && m_server.ClientCount() < CHttpServer::nMaxConnections; ++i)
        m_events.WaitForCounts(CHttpServer::nMaxConnections);
    ASSERT_EQ(CHttpServer::nMaxConnections, m_server.ClientCount());

    EXPECT_EQ(503, HttpStatus(HttpGet(m_nPort, "/stream")));
    m_server.Send(Chunk(eMediaVideo, "after-the-refusal"));
    EXPECT_TRUE(clients.back()->ReadUntil("after-the-refusal")) << "the held clients still stream";

    clients.front()->Close();
    for (int i = 0; i < 500 && m_server.ClientCount() == CHttpServer::nMaxConnections; ++i)
        ::Sleep(10);
    EXPECT_EQ(200, HttpStatus(HttpGet(m_nPort, "/"))) << "a place that came free is taken";
}

TEST_F(HttpServerTest, HalfOpenFloodGivesWayToARealRequest)
{
    // More clients that send half a request line and then nothing than the
    // server would hold if each waited for its time-out.
    const size_t nFlood = CHttpServer::nMaxConnections + 20;
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/"), &m_events));
    std::vector<std::unique_ptr<CLoopbackClient>> flood;
    for (size_t i = 0; i < nFlood; ++i)
    {
        flood.push_back(std::make_unique<CLoopbackClient>());
        ASSERT_EQ(0, flood.back()->Connect(m_nPort)) << i;
        ASSERT_TRUE(flood.back()->Send("GET /str")) << i;
    }

    EXPECT_EQ(200, HttpStatus(HttpGet(m_nPort, "/")));
    EXPECT_FALSE(flood.front()->ReadSome(CLoopbackClient::dwTimeout)) << "the oldest half request is dropped";
    size_t nStillOpen = 0;
    for (const auto& spClient : flood)
        nStillOpen += spClient->ReadSome(1) ? 1 : 0;
    EXPECT_LE(nStillOpen, CHttpServer::nMaxPending);
    EXPECT_TRUE(m_events.Counts().empty()) << "no half request counts as a client";
}

TEST_F(HttpServerTest, ClientThatLeavesMidChunkIsGoneAndItsChunkUncounted)
{
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/"), &m_events));
    CLoopbackClient client;
    ASSERT_EQ(0, client.Connect(m_nPort));
    ASSERT_TRUE(client.Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    ASSERT_TRUE(client.ReadUntil("\r\n\r\n"));
    ASSERT_TRUE(m_events.WaitForCounts(1));

    // Far more than the socket buffers hold, so that it is still going out
    // when the client leaves.
    m_server.Send(Chunk(eMediaVideo, std::string(6 * 1024 * 1024, 'v')));
    ASSERT_TRUE(client.ReadUntil("vvvv"));
    client.Close();

    ASSERT_TRUE(m_events.WaitForCounts(2));
    EXPECT_EQ(std::make_pair(0u, false), m_events.Counts()[1]);
    EXPECT_EQ(0u, m_server.ClientCount());
    EXPECT_TRUE(m_events.Delivered().empty()) << "a sample that did not go out whole is not delivered";

    CLoopbackClient fresh;
    ASSERT_EQ(0, fresh.Connect(m_nPort));
    ASSERT_TRUE(fresh.Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    EXPECT_TRUE(fresh.ReadUntil("\r\n\r\n"));
}

TEST_F(HttpServerTest, StalledReaderLosesSamplesWithoutHoldingUpOthers)
{
    ASSERT_EQ(S_OK, m_server.Start(Url(L"/"), &m_events));
    CLoopbackClient stalled;
    CLoopbackClient reader;
    for (CLoopbackClient* pClient : {&stalled, &reader})
    {
        ASSERT_EQ(0, pClient->Connect(m_nPort));
        ASSERT_TRUE(pClient->Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    }
    ASSERT_TRUE(m_events.WaitForCounts(2));

    // Twice what the server queues for one client, in samples the reader
    // takes one by one.
    const size_t cbSample = 1024 * 1024;
    const int nSamples = static_cast<int>(2 * CHttpConnection::nMaxQueued / cbSample);
    for (int i = 0; i < nSamples; ++i)
    {
        std::string strSample(cbSample, 'a');
        std::string strTag = "sample-" + std::to_string(i) + "-end";
        strSample.replace(strSample.size() - strTag.size(), strTag.size(), strTag);
        m_server.Send(Chunk(eMediaVideo, strSample));
        ASSERT_TRUE(reader.ReadUntil(strTag)) << i;
        reader.ClearReceived();
    }

    size_t nDelivered = m_events.Delivered().size();
    EXPECT_GE(nDelivered, static_cast<size_t>(nSamples)) << "the reader got every sample";
    EXPECT_LT(nDelivered, static_cast<size_t>(2 * nSamples)) << "what the stalled client never took is not counted";
    EXPECT_EQ(2u, m_server.ClientCount());
}

TEST_F(HttpServerTest, RefusedAddressesTellRightsFromUse)
{
    // A socket that holds the port without exclusive use: the port is in use.
    SOCKET sHolder = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(m_nPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, ::bind(sHolder, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)));
    EXPECT_EQ(HRESULT_FROM_WIN32(WSAEADDRINUSE), m_server.Start(Url(L"/"), &m_events));
    EXPECT_FALSE(m_server.IsRunning());
    ::closesocket(sHolder);

    // A socket that holds every address of the port for its own exclusive
    // use: the system refuses the bind as one of rights (WSAEACCES). It only
    // binds; nothing is sent to those addresses.
    sHolder = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    BOOL bExclusive = TRUE;
    ASSERT_EQ(0, ::setsockopt(sHolder, SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                              reinterpret_cast<const char*>(&bExclusive), sizeof(bExclusive)));
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(0, ::bind(sHolder, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), m_server.Start(Url(L"/"), &m_events));
    EXPECT_FALSE(m_server.IsRunning());
    ::closesocket(sHolder);

    EXPECT_EQ(S_OK, m_server.Start(Url(L"/"), &m_events));
}

} // namespace
