// Two DTLS transports, a client and a server, wired together in memory:
// the handshake for each SRTP profile with both ends on the same keys and
// media between them, the fingerprint check, close_notify, a lost flight
// sent again on the timer, and the certificate's fingerprint.
#include <gtest/gtest.h>

#include "rtc/DtlsCertificate.h"
#include "rtc/DtlsTransport.h"
#include "rtc/SrtpSession.h"
#include "tests/RtcSrtpCheck.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <thread>

namespace {

const char c_szGcmFirst[] = "SRTP_AEAD_AES_128_GCM:SRTP_AES128_CM_SHA1_80";
const char c_szCmFirst[] = "SRTP_AES128_CM_SHA1_80:SRTP_AEAD_AES_128_GCM";
const char c_szCmOnly[] = "SRTP_AES128_CM_SHA1_80";
const char c_szGcmOnly[] = "SRTP_AEAD_AES_128_GCM";

class CDatagramQueue : public rtc::IDatagramSink
{
public:
    void SendDatagram(const uint8_t* pb, size_t cb) override { datagrams.emplace_back(pb, pb + cb); }

    std::deque<std::vector<uint8_t>> datagrams;
};

std::vector<uint8_t> Bytes(const rtc::Sha256& digest)
{
    return std::vector<uint8_t>(digest.begin(), digest.end());
}

std::vector<uint8_t> Altered(const rtc::Sha256& digest)
{
    std::vector<uint8_t> bytes = Bytes(digest);
    bytes[5] ^= 0x40;
    return bytes;
}

class DtlsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string reason;
        s_pServerCertificate = rtc::DtlsCertificate::Generate(&reason);
        ASSERT_TRUE(s_pServerCertificate) << reason;
        s_pClientCertificate = rtc::DtlsCertificate::Generate(&reason);
        ASSERT_TRUE(s_pClientCertificate) << reason;
    }
    static void TearDownTestSuite()
    {
        s_pServerCertificate.reset();
        s_pClientCertificate.reset();
    }

    // Each end expects the other's true fingerprint unless told otherwise.
    void Create(const rtc::DtlsOptions& serverOptions = {}, const rtc::DtlsOptions& clientOptions = {},
                std::vector<uint8_t> serverExpects = {}, std::vector<uint8_t> clientExpects = {})
    {
        if (serverExpects.empty())
            serverExpects = Bytes(s_pClientCertificate->Fingerprint());
        if (clientExpects.empty())
            clientExpects = Bytes(s_pServerCertificate->Fingerprint());
        std::string reason;
        m_pServer = rtc::DtlsTransport::Create(*s_pServerCertificate, rtc::EDtlsRole::Server, serverExpects,
                                               m_toClient, &reason, serverOptions);
        ASSERT_TRUE(m_pServer) << reason;
        m_pClient = rtc::DtlsTransport::Create(*s_pClientCertificate, rtc::EDtlsRole::Client, clientExpects,
                                               m_toServer, &reason, clientOptions);
        ASSERT_TRUE(m_pClient) << reason;
    }

    // Hands each end what the other sent until neither sends more; keeps
    // the last event each end reported.
    void Exchange(uint64_t nNowMs = 0)
    {
        for (int nRound = 0; nRound < 32 && !(m_toServer.datagrams.empty() && m_toClient.datagrams.empty());
             nRound++)
        {
            Deliver(m_toServer, *m_pServer, &m_serverEvent, nNowMs);
            Deliver(m_toClient, *m_pClient, &m_clientEvent, nNowMs);
        }
        EXPECT_TRUE(m_toServer.datagrams.empty() && m_toClient.datagrams.empty()) << "the ends kept talking";
    }

    void Connect(const rtc::DtlsOptions& serverOptions = {}, const rtc::DtlsOptions& clientOptions = {})
    {
        ASSERT_NO_FATAL_FAILURE(Create(serverOptions, clientOptions));
        EXPECT_EQ(rtc::EDtlsEvent::None, m_pClient->Start(0));
        Exchange();
        ASSERT_EQ(rtc::EDtlsEvent::Connected, m_serverEvent) << m_pServer->Reason();
        ASSERT_EQ(rtc::EDtlsEvent::Connected, m_clientEvent) << m_pClient->Reason();
    }

    static std::unique_ptr<rtc::DtlsCertificate> s_pServerCertificate;
    static std::unique_ptr<rtc::DtlsCertificate> s_pClientCertificate;
    CDatagramQueue m_toServer;
    CDatagramQueue m_toClient;
    std::unique_ptr<rtc::DtlsTransport> m_pServer;
    std::unique_ptr<rtc::DtlsTransport> m_pClient;
    rtc::EDtlsEvent m_serverEvent = rtc::EDtlsEvent::None;
    rtc::EDtlsEvent m_clientEvent = rtc::EDtlsEvent::None;

private:
    static void Deliver(CDatagramQueue& queue, rtc::DtlsTransport& transport, rtc::EDtlsEvent* pEvent,
                        uint64_t nNowMs)
    {
        while (!queue.datagrams.empty())
        {
            std::vector<uint8_t> datagram = std::move(queue.datagrams.front());
            queue.datagrams.pop_front();
            rtc::EDtlsEvent event = transport.OnDatagram(datagram.data(), datagram.size(), nNowMs);
            if (event != rtc::EDtlsEvent::None)
                *pEvent = event;
        }
    }
};

std::unique_ptr<rtc::DtlsCertificate> DtlsTest::s_pServerCertificate;
std::unique_ptr<rtc::DtlsCertificate> DtlsTest::s_pClientCertificate;

// The server takes the first of its own profiles that the client offers.
TEST_F(DtlsTest, HandshakeAgreesOnTheProfileAndMirroredKeysThatCarryMedia)
{
    const struct
    {
        const char* pszServer;
        const char* pszClient;
        rtc::ESrtpProfile profile;
        size_t cbSalt;
        size_t cbRtpAdded;
        size_t cbRtcpAdded;
    } rgCases[] = {
        {c_szGcmFirst, c_szGcmFirst, rtc::ESrtpProfile::AeadAes128Gcm, 12, 16, 20},
        {c_szGcmFirst, c_szCmFirst, rtc::ESrtpProfile::AeadAes128Gcm, 12, 16, 20},
        {c_szGcmFirst, c_szCmOnly, rtc::ESrtpProfile::AesCm128HmacSha1_80, 14, 10, 14},
        {c_szCmOnly, c_szGcmFirst, rtc::ESrtpProfile::AesCm128HmacSha1_80, 14, 10, 14},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(std::string("server ") + test.pszServer + ", client " + test.pszClient);
        rtc::DtlsOptions serverOptions;
        serverOptions.pszSrtpProfiles = test.pszServer;
        rtc::DtlsOptions clientOptions;
        clientOptions.pszSrtpProfiles = test.pszClient;
        m_toServer.datagrams.clear();
        m_toClient.datagrams.clear();
        ASSERT_NO_FATAL_FAILURE(Connect(serverOptions, clientOptions));
        EXPECT_TRUE(m_pServer->IsConnected() && m_pClient->IsConnected());

        const rtc::SrtpKeys& server = m_pServer->Keys();
        const rtc::SrtpKeys& client = m_pClient->Keys();
        EXPECT_EQ(test.profile, server.profile);
        EXPECT_EQ(test.profile, client.profile);
        EXPECT_EQ(16u, server.cbKey);
        EXPECT_EQ(test.cbSalt, server.cbSalt);
        const size_t cb = server.cbKey + server.cbSalt;
        ASSERT_EQ(cb, client.cbKey + client.cbSalt);
        EXPECT_EQ(0, std::memcmp(server.rgbLocal, client.rgbRemote, cb));
        EXPECT_EQ(0, std::memcmp(server.rgbRemote, client.rgbLocal, cb));
        EXPECT_NE(0, std::memcmp(server.rgbLocal, server.rgbRemote, cb));
        EXPECT_EQ(rtc::c_nNoDtlsTimeout, m_pClient->NextTimeoutMs());
        EXPECT_EQ(rtc::c_nNoDtlsTimeout, m_pServer->NextTimeoutMs());

        std::string reason;
        std::unique_ptr<rtc::SrtpSession> pServerSrtp = rtc::SrtpSession::Create(server, &reason);
        ASSERT_TRUE(pServerSrtp) << reason;
        std::unique_ptr<rtc::SrtpSession> pClientSrtp = rtc::SrtpSession::Create(client, &reason);
        ASSERT_TRUE(pClientSrtp) << reason;
        // The server's media and sender reports out, the browser's reports back.
        ExpectSrtpRoundTrip(*pServerSrtp, *pClientSrtp, ESrtpPacket::Rtp, test.cbRtpAdded);
        ExpectSrtpRoundTrip(*pServerSrtp, *pClientSrtp, ESrtpPacket::Rtcp, test.cbRtcpAdded);
        ExpectSrtpRoundTrip(*pClientSrtp, *pServerSrtp, ESrtpPacket::Rtcp, test.cbRtcpAdded);
    }
}

TEST_F(DtlsTest, HandshakeFailsWithItsReason)
{
    const struct
    {
        const char* pszName;
        bool bServerExpectsOther;
        bool bClientExpectsOther;
        const char* pszServerProfiles;
        const char* pszClientProfiles;
        const char* pszServerReason;
        const char* pszClientReason;
    } rgCases[] = {
        {"the client's certificate is another", true, false, c_szGcmFirst, c_szGcmFirst,
         "the client's certificate does not match the offer's fingerprint",
         "the peer ended the association: bad certificate"},
        {"the server's certificate is another", false, true, c_szGcmFirst, c_szGcmFirst,
         "the peer ended the association: bad certificate",
         "the server's certificate does not match the offer's fingerprint"},
        {"no common SRTP profile", false, false, c_szCmOnly, c_szGcmOnly,
         "the peer agreed to none of the SRTP profiles SRTP_AES128_CM_SHA1_80",
         "the peer agreed to none of the SRTP profiles SRTP_AEAD_AES_128_GCM"},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        rtc::DtlsOptions serverOptions;
        serverOptions.pszSrtpProfiles = test.pszServerProfiles;
        rtc::DtlsOptions clientOptions;
        clientOptions.pszSrtpProfiles = test.pszClientProfiles;
        m_serverEvent = m_clientEvent = rtc::EDtlsEvent::None;
        ASSERT_NO_FATAL_FAILURE(
            Create(serverOptions, clientOptions,
                   test.bServerExpectsOther ? Altered(s_pClientCertificate->Fingerprint()) : std::vector<uint8_t>(),
                   test.bClientExpectsOther ? Altered(s_pServerCertificate->Fingerprint()) : std::vector<uint8_t>()));
        m_pClient->Start(0);
        Exchange();
        EXPECT_EQ(rtc::EDtlsEvent::Failed, m_serverEvent);
        EXPECT_EQ(test.pszServerReason, m_pServer->Reason());
        EXPECT_EQ(rtc::EDtlsEvent::Failed, m_clientEvent);
        EXPECT_EQ(test.pszClientReason, m_pClient->Reason());
        EXPECT_FALSE(m_pServer->IsConnected() || m_pClient->IsConnected());
        EXPECT_EQ(rtc::c_nNoDtlsTimeout, m_pClient->NextTimeoutMs());
    }
}

TEST_F(DtlsTest, CreateRefusesWhatItCannotUse)
{
    std::string reason;
    EXPECT_FALSE(rtc::DtlsTransport::Create(*s_pServerCertificate, rtc::EDtlsRole::Server,
                                            std::vector<uint8_t>(20, 0xAB), m_toClient, &reason));
    EXPECT_EQ("the peer's fingerprint has 20 bytes, not the 32 of a SHA-256", reason);
    rtc::DtlsOptions options;
    options.pszSrtpProfiles = "SRTP_NO_SUCH_PROFILE";
    EXPECT_FALSE(rtc::DtlsTransport::Create(*s_pServerCertificate, rtc::EDtlsRole::Server,
                                            Bytes(s_pClientCertificate->Fingerprint()), m_toClient, &reason,
                                            options));
    EXPECT_EQ(0u, reason.find("cannot offer the SRTP profiles SRTP_NO_SUCH_PROFILE")) << reason;
}

TEST_F(DtlsTest, CloseNotifyIsSeenAsClosed)
{
    ASSERT_NO_FATAL_FAILURE(Connect());
    m_pServer->Close();
    ASSERT_EQ(1u, m_toClient.datagrams.size());
    Exchange();
    EXPECT_EQ(rtc::EDtlsEvent::Closed, m_clientEvent) << m_pClient->Reason();
    EXPECT_FALSE(m_pClient->IsConnected());
    // Nothing more is read after the close.
    const std::vector<uint8_t> late(40, 0x17);
    EXPECT_EQ(rtc::EDtlsEvent::None, m_pClient->OnDatagram(late.data(), late.size(), 0));
    EXPECT_TRUE(m_toServer.datagrams.empty());
}

// Datagrams DTLS cannot take are refused whole, and the association goes on.
TEST_F(DtlsTest, DatagramsBeyondTheReadBufferAreRefused)
{
    ASSERT_NO_FATAL_FAILURE(Create());
    const std::vector<uint8_t> oversized(rtc::c_cbMaxDtlsDatagram + 1, 0x16);
    EXPECT_EQ(rtc::EDtlsEvent::Refused, m_pServer->OnDatagram(oversized.data(), oversized.size(), 0));
    EXPECT_EQ("a datagram of 2049 bytes; DTLS takes 1 to 2048", m_pServer->Reason());
    EXPECT_EQ(rtc::EDtlsEvent::Refused, m_pServer->OnDatagram(oversized.data(), 0, 0));
    EXPECT_TRUE(m_toClient.datagrams.empty());
    m_pClient->Start(0);
    Exchange();
    EXPECT_EQ(rtc::EDtlsEvent::Connected, m_serverEvent) << m_pServer->Reason();
    EXPECT_EQ(rtc::EDtlsEvent::Connected, m_clientEvent) << m_pClient->Reason();
}

// OpenSSL measures the timeout on the system clock, so this test waits
// for it in real time, kept short.
TEST_F(DtlsTest, LostFlightIsSentAgainOnTheTimer)
{
    using namespace std::chrono;
    auto now = [] {
        return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
    rtc::DtlsOptions clientOptions;
    clientOptions.nInitialTimeoutMs = 60;
    ASSERT_NO_FATAL_FAILURE(Create({}, clientOptions));
    const uint64_t nStartMs = now();
    m_pClient->Start(nStartMs);
    ASSERT_EQ(1u, m_toServer.datagrams.size());
    m_toServer.datagrams.clear(); // the ClientHello is lost
    const uint64_t nDueMs = m_pClient->NextTimeoutMs();
    EXPECT_GT(nDueMs, nStartMs);
    EXPECT_LE(nDueMs, nStartMs + 61);
    EXPECT_EQ(rtc::EDtlsEvent::None, m_pClient->OnTimer(now()));
    EXPECT_TRUE(m_toServer.datagrams.empty()) << "sent again before its time";

    for (int nTry = 0; nTry < 20 && m_toServer.datagrams.empty(); nTry++)
    {
        uint64_t nNowMs = now();
        if (nNowMs < m_pClient->NextTimeoutMs())
            std::this_thread::sleep_for(milliseconds(m_pClient->NextTimeoutMs() - nNowMs));
        EXPECT_EQ(rtc::EDtlsEvent::None, m_pClient->OnTimer(now()));
    }
    ASSERT_EQ(1u, m_toServer.datagrams.size());
    // The next timeout is twice the first.
    const uint64_t nAgainMs = now();
    EXPECT_GT(m_pClient->NextTimeoutMs(), nAgainMs + 60);
    EXPECT_LE(m_pClient->NextTimeoutMs(), nAgainMs + 121);
    Exchange(nAgainMs);
    EXPECT_EQ(rtc::EDtlsEvent::Connected, m_serverEvent) << m_pServer->Reason();
    EXPECT_EQ(rtc::EDtlsEvent::Connected, m_clientEvent) << m_pClient->Reason();
}

TEST(DtlsCertificateTest, FingerprintIsTheSha256OfTheDerForm)
{
    std::string reason;
    std::unique_ptr<rtc::DtlsCertificate> pFirst = rtc::DtlsCertificate::Generate(&reason);
    ASSERT_TRUE(pFirst) << reason;
    std::unique_ptr<rtc::DtlsCertificate> pSecond = rtc::DtlsCertificate::Generate(&reason);
    ASSERT_TRUE(pSecond) << reason;

    unsigned char* pbDer = nullptr;
    int cbDer = i2d_X509(pFirst->Certificate(), &pbDer);
    ASSERT_GT(cbDer, 0);
    unsigned char rgbDigest[EVP_MAX_MD_SIZE];
    unsigned int cbDigest = 0;
    bool bDigested = EVP_Digest(pbDer, static_cast<size_t>(cbDer), rgbDigest, &cbDigest, EVP_sha256(), nullptr) == 1;
    OPENSSL_free(pbDer);
    ASSERT_TRUE(bDigested);
    ASSERT_EQ(32u, cbDigest);
    EXPECT_EQ(std::vector<uint8_t>(rgbDigest, rgbDigest + cbDigest), Bytes(pFirst->Fingerprint()));

    std::string expected;
    for (unsigned int i = 0; i < cbDigest; i++)
    {
        char szByte[4];
        std::snprintf(szByte, sizeof(szByte), i == 0 ? "%02X" : ":%02X", rgbDigest[i]);
        expected += szByte;
    }
    EXPECT_EQ(expected, pFirst->FingerprintText());
    EXPECT_EQ(95u, pFirst->FingerprintText().size());

    // Valid now, and a key and serial of its own each time.
    EXPECT_LT(X509_cmp_current_time(X509_get0_notBefore(pFirst->Certificate())), 0);
    EXPECT_GT(X509_cmp_current_time(X509_get0_notAfter(pFirst->Certificate())), 0);
    EXPECT_NE(pFirst->Fingerprint(), pSecond->Fingerprint());
    EXPECT_NE(0, ASN1_INTEGER_cmp(X509_get0_serialNumber(pFirst->Certificate()),
                                  X509_get0_serialNumber(pSecond->Certificate())));
}

} // namespace
