// A server peer and a client of our own layers wired together in memory:
// the whole session (check and nomination, DTLS, SRTP media, RTCP both
// ways, the end) and the ways it ends early: silence past the consent time,
// a certificate that is not the offer's, the client closing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtc/RtcPeer.h"
#include "tests/support/RtcTestClient.h"

namespace {

const uint8_t c_rgbServer[4] = {127, 0, 0, 1};
const uint8_t c_rgbClient[4] = {10, 213, 0, 1};

struct CPeerDatagram
{
    rtc::PeerPath to;
    std::vector<uint8_t> bytes;
};

class CQueueOutput : public rtc::IPeerOutput
{
public:
    void SendTo(const rtc::PeerPath& to, const uint8_t* pb, size_t cb) override
    {
        sent.push_back({to, std::vector<uint8_t>(pb, pb + cb)});
    }
    std::vector<CPeerDatagram> sent;
};

// A VP8 key frame's first bytes (frame tag with the key-frame bit clear,
// start code, 720x576), then filler.
std::vector<uint8_t> Vp8KeyFrame(size_t cb)
{
    std::vector<uint8_t> frame(cb, 0x33);
    const uint8_t rgbHead[] = {0x50, 0x2a, 0x01, 0x9d, 0x01, 0x2a, 0xd0, 0x02, 0x40, 0x02};
    std::copy(std::begin(rgbHead), std::end(rgbHead), frame.begin());
    return frame;
}

class RtcPeerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string reason;
        m_spCertificate = rtc::DtlsCertificate::Generate(&reason);
        ASSERT_NE(nullptr, m_spCertificate) << reason;
    }

    // The client's offer answered as the server answers it.
    void Open(const char* pszSetup = "actpass", const std::vector<uint8_t>* pWrongFingerprint = nullptr)
    {
        std::string offerText = m_client.Offer({96, 102}, {111, 0, 8}, pszSetup);
        rtc::SdpSession offer;
        std::string reason;
        ASSERT_TRUE(rtc::ParseSdp(offerText.data(), offerText.size(), &offer, &reason)) << reason;
        rtc::AnswerParameters parameters;
        parameters.iceUfrag = "srv1";
        parameters.icePwd = "serverpassword0123456789";
        parameters.fingerprint = m_spCertificate->FingerprintText();
        parameters.candidates = {"1 1 udp 2130706431 127.0.0.1 50000 typ host"};
        parameters.connectionAddress = "127.0.0.1";
        parameters.nPort = 50000;
        parameters.videoCodec = rtc::EMediaCodec::VP8;
        parameters.audioCodec = m_audioCodec;
        parameters.nVideoSsrc = 1001;
        parameters.nAudioSsrc = 1002;
        parameters.cname = "test";
        rtc::SdpAnswer answer;
        ASSERT_TRUE(rtc::MakeSdpAnswer(offer, parameters, &answer, &reason)) << reason;
        std::vector<std::string> rejections;
        rtc::PeerConfig config = rtc::MakePeerConfig(offer, parameters, answer, &rejections);
        EXPECT_TRUE(rejections.empty());
        if (pWrongFingerprint != nullptr)
            config.remoteFingerprint = *pWrongFingerprint;
        m_spPeer = std::make_unique<rtc::RtcPeer>(config, *m_spCertificate, m_server, m_output, m_nNowMs);
        ASSERT_TRUE(m_client.Answer(answer.text, &reason)) << reason;
    }

    // Moves datagrams both ways until neither side has more.
    void Pump()
    {
        for (int i = 0; i < 50; ++i)
        {
            std::vector<CRtcDatagram> toServer = m_client.TakeOutgoing();
            std::vector<CPeerDatagram> toClient;
            toClient.swap(m_output.sent);
            if (toServer.empty() && toClient.empty())
                return;
            for (const CRtcDatagram& datagram : toServer)
                m_spPeer->Receive(datagram.bytes.data(), datagram.bytes.size(), m_clientPath, m_nNowMs, &m_events);
            for (const CPeerDatagram& datagram : toClient)
            {
                // The n-th datagram to the client lost on the way, once.
                if (m_nLoseToClient > 0 && --m_nLoseToClient == 0)
                    continue;
                EXPECT_TRUE(datagram.to == m_clientPath) << rtc::PathText(datagram.to);
                EXPECT_LE(datagram.bytes.size(), rtc::c_cbMaxDatagram);
                m_client.Receive(datagram.bytes.data(), datagram.bytes.size(), m_server, m_nNowMs);
            }
        }
    }

    void Connect(const char* pszSetup = "actpass")
    {
        Open(pszSetup);
        m_client.Check(m_nNowMs);
        Pump();
        ASSERT_TRUE(m_client.Connected()) << m_client.DtlsFailure();
        ASSERT_EQ(rtc::PeerState::Connected, m_spPeer->State());
        EXPECT_TRUE(m_events.bConnected);
    }

    // Runs the peer's timers over the span, the client answering as it does.
    void Pass(uint64_t nMs)
    {
        uint64_t nEnd = m_nNowMs + nMs;
        while (m_nNowMs < nEnd && !m_spPeer->HasEnded())
        {
            m_nNowMs = std::min(nEnd, std::max(m_nNowMs + 1, m_spPeer->NextTimerMs()));
            m_spPeer->OnTimer(m_nNowMs, &m_events);
            uint32_t nReports = m_client.SenderReports();
            Pump();
            if (m_client.SenderReports() != nReports)
                m_nLastReportMs = m_nNowMs;
        }
    }

    rtc::NetAddress m_server = rtc::NetAddress::V4(c_rgbServer, 50000);
    rtc::NetAddress m_clientAddress = rtc::NetAddress::V4(c_rgbClient, 40000);
    // How the client's datagrams reach the peer, and so how its must go.
    rtc::PeerPath m_clientPath = m_clientAddress;
    uint64_t m_nNowMs = 1000000;
    std::unique_ptr<rtc::DtlsCertificate> m_spCertificate;
    CQueueOutput m_output;
    CRtcTestClient m_client{rtc::NetAddress::V4(c_rgbClient, 40000)};
    std::unique_ptr<rtc::RtcPeer> m_spPeer;
    rtc::PeerEvents m_events;
    int m_nLoseToClient = 0;
    rtc::EMediaCodec m_audioCodec = rtc::EMediaCodec::Opus;
    uint64_t m_nLastReportMs = 0; // when the client last had a sender report
};

TEST_F(RtcPeerTest, ASessionCarriesMediaAndRtcpBothWaysUntilTheClientCloses)
{
    Connect();
    std::vector<uint8_t> frame = Vp8KeyFrame(5000);
    ASSERT_TRUE(m_spPeer->SendVideo(frame.data(), frame.size(), 400000, m_nNowMs));
    std::vector<uint8_t> opus(80, 0x78);
    ASSERT_TRUE(m_spPeer->SendAudio(opus.data(), opus.size(), 400000, m_nNowMs));
    m_nLoseToClient = 3;
    Pump();
    EXPECT_EQ(4u, m_client.Video().nPackets) << "the third lost";
    EXPECT_EQ(1u, m_client.Video().nFrames);
    EXPECT_EQ(1u, m_client.Video().nKeyFrames);
    EXPECT_EQ(1001u, m_client.Video().nSsrc);
    EXPECT_EQ(1u, m_client.Audio().nFrames);
    EXPECT_EQ(opus, m_client.Audio().lastPayload) << "decrypted as sent";

    // Sender reports every second.
    Pass(2100);
    EXPECT_GE(m_client.SenderReports(), 4u) << "two each second, one a stream";

    // A PLI asks for a key frame; a NACK brings the packet again.
    m_events = rtc::PeerEvents();
    m_client.SendPictureLoss();
    Pump();
    EXPECT_TRUE(m_events.bKeyFrameRequest);
    uint16_t nLast = m_client.Video().nLastSequence;
    m_client.SendNack(static_cast<uint16_t>(nLast - 2));
    Pump();
    EXPECT_EQ(5u, m_client.Video().nPackets) << "the lost packet came again";
    EXPECT_EQ(static_cast<uint16_t>(nLast - 2), m_client.Video().nLastSequence);
    m_client.SendNack(static_cast<uint16_t>(nLast - 1));
    Pump();
    EXPECT_EQ(5u, m_client.Video().nPackets) << "a packet that came already is a replay to SRTP";

    // A receiver report gives loss, jitter and, once it answers a sender
    // report, the round trip: the time since that report less the 50 ms
    // the client says it held it.
    m_client.SendReceiverReport(3, 0, 0);
    Pump();
    EXPECT_EQ(-1, m_spPeer->Figures().nRttMs) << "no sender report answered yet";
    Pass(1000);
    uint32_t nLastSenderReport = m_client.LastSenderReportMiddle();
    ASSERT_NE(0u, nLastSenderReport);
    m_nNowMs += 120;
    m_client.SendReceiverReport(3, nLastSenderReport, 50 * 65536 / 1000);
    Pump();
    rtc::PeerFigures figures = m_spPeer->Figures();
    EXPECT_NEAR(static_cast<double>(m_nNowMs - m_nLastReportMs - 50), figures.nRttMs, 1);
    EXPECT_EQ(3, figures.nPacketsLost);
    EXPECT_EQ(10u, figures.nJitterMs);
    EXPECT_EQ("127.0.0.1:50000 -> 10.213.0.1:40000", figures.pair);
    EXPECT_EQ(1u, figures.nKeyFrameRequests);
    EXPECT_EQ(2u, figures.nNacks);

    m_events = rtc::PeerEvents();
    m_client.Close();
    Pump();
    EXPECT_TRUE(m_events.bEnded);
    EXPECT_EQ(rtc::PeerState::Closed, m_spPeer->State());
    EXPECT_FALSE(m_spPeer->SendVideo(frame.data(), frame.size(), 800000, m_nNowMs));
}

TEST_F(RtcPeerTest, ConsentKeepsAnAnsweringClientAndDropsASilentOne)
{
    Connect();
    Pass(60000);
    EXPECT_FALSE(m_spPeer->HasEnded());
    EXPECT_GE(m_client.ConsentRequestsAnswered(), 8u);

    // The last answer was at most 6 s ago.
    m_client.AnswersConsent = false;
    Pass(23000);
    EXPECT_FALSE(m_spPeer->HasEnded()) << "within 30 s of the last answer";
    Pass(12000);
    EXPECT_TRUE(m_spPeer->HasEnded());
    EXPECT_TRUE(m_events.bEnded);
    EXPECT_EQ("no consent from the client for 30 s", m_spPeer->Figures().endReason);
}

TEST_F(RtcPeerTest, ACertificateThatIsNotTheOffersFailsTheSession)
{
    std::vector<uint8_t> wrong(32, 0xAB);
    Open("actpass", &wrong);
    m_client.Check(m_nNowMs);
    Pump();
    EXPECT_FALSE(m_client.Connected());
    EXPECT_EQ(rtc::PeerState::Failed, m_spPeer->State());
    EXPECT_TRUE(m_events.bEnded);
    EXPECT_FALSE(m_events.bConnected);
    EXPECT_NE(std::string::npos, m_spPeer->Figures().endReason.find("fingerprint")) << m_spPeer->Figures().endReason;
}

TEST_F(RtcPeerTest, APassiveClientMakesTheServerStartTheHandshake)
{
    Connect("passive");
    std::vector<uint8_t> frame = Vp8KeyFrame(300);
    ASSERT_TRUE(m_spPeer->SendVideo(frame.data(), frame.size(), 0, m_nNowMs));
    Pump();
    EXPECT_EQ(1u, m_client.Video().nKeyFrames);
}

TEST_F(RtcPeerTest, G711GoesInPacketsOfTwentyMilliseconds)
{
    m_audioCodec = rtc::EMediaCodec::PCMU;
    Connect();
    // 50 ms of 8 kHz u-law, as an encoder may deliver it: 20 + 20 + 10 ms.
    std::vector<uint8_t> sound(400, 0xFF);
    ASSERT_TRUE(m_spPeer->SendAudio(sound.data(), sound.size(), 0, m_nNowMs));
    Pump();
    EXPECT_EQ(0, m_client.Audio().nPayloadType);
    EXPECT_EQ(3u, m_client.Audio().nPackets);
    EXPECT_EQ(80u, m_client.Audio().lastPayload.size());
    uint32_t nFirst = m_client.Audio().nLastTimestamp - 320;
    ASSERT_TRUE(m_spPeer->SendAudio(sound.data(), 160, 500000, m_nNowMs));
    Pump();
    EXPECT_EQ(nFirst + 400, m_client.Audio().nLastTimestamp) << "50 ms on, in 8 kHz units";
}

// A client whose checks and DTLS reach us through relay 1 is answered,
// handshaken and sent media through it, and the figures name the relay;
// its nomination arriving directly moves the session to the host pair.
TEST_F(RtcPeerTest, ARelayedClientIsServedThroughItsRelay)
{
    const uint8_t rgbRelayed[4] = {127, 0, 0, 1};
    m_clientPath = rtc::PeerPath(m_clientAddress, 1);
    Open();
    m_spPeer->SetRelayAddress(1, rtc::NetAddress::V4(rgbRelayed, 49152));
    m_client.Check(m_nNowMs);
    Pump();
    ASSERT_TRUE(m_client.Connected()) << m_client.DtlsFailure();
    std::vector<uint8_t> frame = Vp8KeyFrame(300);
    ASSERT_TRUE(m_spPeer->SendVideo(frame.data(), frame.size(), 0, m_nNowMs));
    Pump();
    EXPECT_EQ(1u, m_client.Video().nKeyFrames);
    rtc::PeerFigures figures = m_spPeer->Figures();
    EXPECT_EQ("relay 127.0.0.1:49152 -> 10.213.0.1:40000", figures.pair);
    EXPECT_TRUE(figures.bRelayed);
    EXPECT_TRUE(m_spPeer->Knows(m_clientPath));
    EXPECT_FALSE(m_spPeer->Knows(m_clientAddress)) << "the address never checked directly";

    m_clientPath = m_clientAddress;
    m_client.Check(m_nNowMs);
    Pump();
    ASSERT_TRUE(m_spPeer->SendVideo(frame.data(), frame.size(), 400000, m_nNowMs));
    Pump();
    EXPECT_EQ(2u, m_client.Video().nKeyFrames);
    figures = m_spPeer->Figures();
    EXPECT_EQ("127.0.0.1:50000 -> 10.213.0.1:40000", figures.pair);
    EXPECT_FALSE(figures.bRelayed);
}

TEST_F(RtcPeerTest, OnlyAddressesThatPassedACheckAreHeard)
{
    Open();
    // DTLS from an address that never checked is dropped before OpenSSL.
    const uint8_t rgbHello[] = {22, 0xfe, 0xfd, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    m_spPeer->Receive(rgbHello, sizeof(rgbHello), m_clientAddress, m_nNowMs, &m_events);
    EXPECT_EQ(rtc::PeerState::Checking, m_spPeer->State());
    EXPECT_TRUE(m_output.sent.empty());
    EXPECT_FALSE(m_spPeer->Knows(m_clientAddress));
}

// The benchmark's loss figure: the test client counts a stream's missing
// packets from the gaps between its sequence numbers.
TEST(RtcTestStreamTest, LossComesFromTheSequenceNumbersGaps)
{
    struct CCase
    {
        const char* pszName;
        std::vector<uint16_t> sequence;
        uint32_t nLost;
    };
    const CCase rgCases[] = {
        {"in order", {7, 8, 9, 10}, 0},
        {"two gaps", {7, 9, 10, 14}, 4},
        {"late, filling its gap", {7, 9, 8, 10}, 0},
        {"across the wrap", {65534, 65535, 1, 2}, 1},
        {"a duplicate", {7, 8, 8, 9}, 0},
    };
    for (const CCase& c : rgCases)
    {
        SCOPED_TRACE(c.pszName);
        CRtcTestStream stream;
        for (uint16_t nSequence : c.sequence)
        {
            rtc::RtpHeader header;
            header.nSequence = nSequence;
            stream.Count(header, true);
        }
        EXPECT_EQ(c.nLost, stream.Lost());
        EXPECT_EQ(c.sequence.size(), stream.nPackets);
    }
}

} // namespace
