// The harness's graph (generator, real encoders, the Corvasta stand-in)
// served over WebRTC to the test client across real UDP on 127.0.0.1, as
// the harness's dialog drives it: EC_USER asks the encoder for a key frame,
// EC_USER + 1 carries the count of peers. Runs only in the test run's own
// network namespace.
#include "tests/WebRtcServeFixture.h" // first: it brings winsock2.h

namespace {

TEST_F(WebRtcServeTest, APeerPlaysAsksForKeyFramesAndLeaves)
{
    struct CCase
    {
        LPCWSTR pszVideo;
        LPCWSTR pszAudio;
        int nVideoPt; // of the client's offer
        int nAudioPt;
    };
    const CCase rgCases[] = {
        {szVP8, szOpus, 96, 111},
        {szQS, szULaw, 102, 0},
        {szQS, szALaw, 102, 8},
    };
    for (const CCase& c : rgCases)
    {
        SCOPED_TRACE(testing::Message() << static_cast<const wchar_t*>(c.pszVideo) << " + "
                                        << static_cast<const wchar_t*>(c.pszAudio));
        m_counts.clear();
        m_nKeyFrameRequests = 0;
        Serve(c.pszVideo, c.pszAudio);
        CRtcUdpClient client;
        ASSERT_TRUE(client.IsOpen());
        CWhepExchange exchange;
        ASSERT_TRUE(client.Open(m_nPort, "/live/whep", &exchange)) << exchange.nStatus << " " << exchange.body;
        EXPECT_EQ(0u, exchange.location.find("/live/whep/")) << exchange.location;
        CRtcTestClient& rtc = client.Client();

        // Connected: the harness hears of one peer; media on both tracks.
        ASSERT_TRUE(Pump(client, [&] { return rtc.Video().nFrames >= 10 && rtc.Audio().nFrames >= 10; }))
            << "connected " << rtc.Connected() << ", video " << rtc.Video().nFrames << ", audio "
            << rtc.Audio().nFrames << " " << rtc.DtlsFailure();
        EXPECT_EQ(std::vector<int>{1}, m_counts);
        EXPECT_EQ(c.nVideoPt, rtc.Video().nPayloadType);
        EXPECT_EQ(c.nAudioPt, rtc.Audio().nPayloadType);
        EXPECT_LE(rtc.Video().cbLargestDatagram, 1200u);
        EXPECT_GE(rtc.Video().nKeyFrames, 1u);

        // The key-frame road: PLI, EC_USER, ForceKeyFrame, a key frame
        // within two frames of the request.
        ASSERT_TRUE(Pump(client, [&] { return rtc.Video().nFrames >= 40; }));
        uint32_t nKeyFrames = rtc.Video().nKeyFrames;
        uint32_t nFrames = rtc.Video().nFrames;
        int nRequests = m_nKeyFrameRequests;
        rtc.SendPictureLoss();
        client.Flush();
        ASSERT_TRUE(Pump(client, [&] { return rtc.Video().nKeyFrames > nKeyFrames; }, 5000));
        EXPECT_EQ(nRequests + 1, m_nKeyFrameRequests);
        EXPECT_LE(rtc.Video().nFrames - nFrames, 3u) << "frames until the key frame, the request's own in flight";

        // The statistics are RTP's.
        ServerStats stats = {};
        ASSERT_EQ(S_OK, m_graph.GetStatistics(&stats));
        EXPECT_GE(stats.nPacksSent, rtc.Video().nPackets + rtc.Audio().nPackets - 5);
        EXPECT_GT(stats.nRtpTransferVid, 0);

        // DELETE ends the session; the harness hears the count fall to 0.
        CWhepExchange end = WhepDelete(m_nPort, exchange.location);
        EXPECT_EQ(200, end.nStatus) << end.body;
        ASSERT_TRUE(Pump(client, [&] { return m_counts.size() == 2; }, 5000));
        EXPECT_EQ((std::vector<int>{1, 0}), m_counts);
        EXPECT_TRUE(Pump(client, [&] { return rtc.Closed(); }, 2000)) << "close_notify";
        EXPECT_EQ(404, WhepDelete(m_nPort, exchange.location).nStatus);
        ASSERT_EQ(S_OK, m_graph.Stop());
        m_graph.ReleaseGraph();
    }
}

TEST_F(WebRtcServeTest, MalformedOffersAreRefusedWhileAPeerPlaysOn)
{
    Serve(szVP8, szOpus);
    CRtcUdpClient client;
    CWhepExchange exchange;
    ASSERT_TRUE(client.Open(m_nPort, "/live/whep", &exchange)) << exchange.body;
    CRtcTestClient& rtc = client.Client();
    ASSERT_TRUE(Pump(client, [&] { return rtc.Video().nFrames >= 5; }));

    CRtcTestClient other(rtc::NetAddress{});
    std::string offer = other.Offer();
    auto without = [&](const char* pszLinePrefix) {
        std::string text = offer;
        for (size_t nPos; (nPos = text.find(pszLinePrefix)) != std::string::npos;)
            text.erase(nPos, text.find("\r\n", nPos) + 2 - nPos);
        return text;
    };
    struct CCase
    {
        const char* pszName;
        std::string body;
        const char* pszType;
        int nStatus;
        const char* pszReason;
    };
    const CCase rgCases[] = {
        {"no media", offer.substr(0, offer.find("m=video")), "application/sdp", 400, "no media section"},
        {"no fingerprint", without("a=fingerprint"), "application/sdp", 400, "no DTLS fingerprint"},
        {"no ICE credentials", without("a=ice-"), "application/sdp", 400, "no ICE user name and password"},
        {"only unknown codecs", other.Offer({100}, {9}), "application/sdp", 400, "nothing to send"},
        {"binary bytes", std::string("\x00\x01\xff\xfe v=0\r\n", 10), "application/sdp", 400, "refused"},
        {"a megabyte", std::string(1 << 20, 'a'), "application/sdp", 413, "larger than"},
        {"wrong type", offer, "application/json", 415, "application/sdp"},
    };
    for (const CCase& c : rgCases)
    {
        SCOPED_TRACE(c.pszName);
        CWhepExchange refused = WhepPost(m_nPort, "/live/whep", c.body, c.pszType);
        EXPECT_EQ(c.nStatus, refused.nStatus) << refused.body;
        EXPECT_NE(std::string::npos, refused.body.find(c.pszReason)) << refused.body;
    }
    EXPECT_EQ(404, WhepDelete(m_nPort, "/live/whep/0123456789abcdef").nStatus);

    // A client without the encoder's audio codec gets video alone, and the
    // status page says why.
    CWhepExchange partial = WhepPost(m_nPort, "/live/whep", other.Offer({96}, {9}));
    EXPECT_EQ(201, partial.nStatus) << partial.body;
    EXPECT_NE(std::string::npos, partial.body.find("m=audio 0 ")) << partial.body;
    std::string strStatus = HttpGet(m_nPort, "/live/status.json");
    EXPECT_NE(std::string::npos, strStatus.find("\"rejected\":\"audio: the client offered no opus\"")) << strStatus;
    EXPECT_EQ(200, WhepDelete(m_nPort, partial.location).nStatus);

    uint32_t nFrames = rtc.Video().nFrames;
    EXPECT_TRUE(Pump(client, [&] { return rtc.Video().nFrames >= nFrames + 10; })) << "the peer plays on";
    EXPECT_EQ(std::vector<int>{1}, m_counts);
}

TEST_F(WebRtcServeTest, PeersThatCloseOrFallSilentLeaveTheCount)
{
    Serve(szVP8, szOpus);
    CRtcUdpClient closing;
    CRtcUdpClient silent;
    for (CRtcUdpClient* pClient : {&closing, &silent})
    {
        CWhepExchange exchange;
        ASSERT_TRUE(pClient->Open(m_nPort, "/live/whep", &exchange)) << exchange.body;
        ASSERT_TRUE(Pump(*pClient, [&] { return pClient->Client().Video().nFrames >= 1; }));
    }
    ASSERT_TRUE(Pump(silent, [&] { return m_counts.size() == 2; }, 5000));

    // close_notify ends a session as DELETE does.
    closing.Client().Close();
    closing.Flush();
    ASSERT_TRUE(Pump(silent, [&] { return m_counts.size() == 3; }, 5000));
    EXPECT_EQ((std::vector<int>{1, 2, 1}), m_counts);

    // A client that stops answering the consent checks is dropped once 30 s
    // have passed since its last answer.
    silent.Client().AnswersConsent = false;
    DWORD dwStart = ::GetTickCount();
    ASSERT_TRUE(Pump(silent, [&] { return m_counts.size() == 4; }, 45000));
    EXPECT_EQ((std::vector<int>{1, 2, 1, 0}), m_counts);
    EXPECT_GE(::GetTickCount() - dwStart, 24000u) << "not before its consent ran out";
}

TEST_F(WebRtcServeTest, StopEndsEverySessionAtOnce)
{
    Serve(szVP8, szOpus);
    CRtcUdpClient rgClients[3];
    for (CRtcUdpClient& client : rgClients)
    {
        CWhepExchange exchange;
        ASSERT_TRUE(client.Open(m_nPort, "/live/whep", &exchange)) << exchange.body;
        ASSERT_TRUE(Pump(client, [&] { return client.Client().Video().nFrames >= 1; }));
    }
    ASSERT_TRUE(Pump(rgClients[0], [&] { return m_counts.size() >= 3; }, 5000));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), m_counts);

    int nThreads = CountThreads();
    ASSERT_EQ(S_OK, m_graph.Stop());
    for (CRtcUdpClient& client : rgClients)
        EXPECT_TRUE(client.PumpUntil([&] { return client.Client().Closed(); }, 2000)) << "close_notify at Stop";
    EXPECT_LT(CountThreads(), nThreads) << "the network thread ended with the graph";
    EXPECT_EQ(0, m_graph.GetConnections());
}

} // namespace
