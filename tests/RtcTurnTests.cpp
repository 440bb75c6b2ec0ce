// The TURN client against a server double that answers as RFC 8656 says:
// the credential exchange and its failures in words, the deadline, the
// refreshes, permissions and channels, data wrapped and unwrapped both
// ways, and the release. All in memory, on a clock the test moves.
#include <gtest/gtest.h>

#include "rtc/ChannelData.h"
#include "rtc/Stun.h"
#include "rtc/TurnClient.h"
#include "rtc/fuzz/TurnServerDouble.h"
#include "tests/support/RtcSeededRandom.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const uint8_t c_rgbClient[4] = {192, 0, 2, 10};
const uint8_t c_rgbServer[4] = {198, 51, 100, 1};
const uint8_t c_rgbPeerA[4] = {192, 0, 2, 77};
const uint8_t c_rgbPeerB[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x42};
const rtc::NetAddress c_client = rtc::NetAddress::V4(c_rgbClient, 50000);
const rtc::NetAddress c_server = rtc::NetAddress::V4(c_rgbServer, 3478);
const rtc::NetAddress c_peerA = rtc::NetAddress::V4(c_rgbPeerA, 61000);
const rtc::NetAddress c_peerB = rtc::NetAddress::V6(c_rgbPeerB, 61001);

rtc::StunMessage Parsed(const Bytes& bytes)
{
    rtc::StunMessage message;
    const char* pszReason = nullptr;
    EXPECT_TRUE(rtc::ParseStun(bytes.data(), bytes.size(), &message, &pszReason)) << pszReason;
    return message;
}

class TurnTest : public testing::Test
{
protected:
    void Start(rtc::TurnServerDouble::Config config = {}, std::string username = "user",
               std::string password = "secret")
    {
        server = std::make_unique<rtc::TurnServerDouble>(std::move(config));
        sent.clear();
        sendTimes.clear();
        client = std::make_unique<rtc::TurnClient>(c_server, std::move(username), std::move(password), nNowMs,
                                                   rtc::TurnClient::c_nDefaultTimeoutMs, SeededRandom(5));
    }

    // Sends what is due now; the server's answers come back at once.
    void Pump()
    {
        for (int i = 0; i < 100; i++)
        {
            uint8_t rgb[rtc::c_cbTurnMessageMax];
            size_t cb = 0;
            if (!client->Poll(nNowMs, rgb, sizeof(rgb), &cb))
                return;
            ASSERT_GT(cb, 0u);
            sent.emplace_back(rgb, rgb + cb);
            sendTimes.push_back(nNowMs);
            if (bServerSilent)
                continue;
            const Bytes answer = server->Receive(rgb, cb, c_client);
            rtc::TurnData data;
            if (!answer.empty())
            {
                EXPECT_EQ(rtc::TurnInput::Handled,
                          client->Receive(answer.data(), answer.size(), c_server, nNowMs, &data));
            }
        }
        FAIL() << "Poll never stopped";
    }

    // Moves the clock to nUntilMs, doing what falls due on the way.
    void RunUntil(uint64_t nUntilMs)
    {
        Pump();
        for (int i = 0; i < 10000 && client->NextPollMs() <= nUntilMs; i++)
        {
            nNowMs = std::max(nNowMs, client->NextPollMs());
            Pump();
        }
        nNowMs = nUntilMs;
        Pump();
    }

    rtc::TurnInput Deliver(const Bytes& bytes, rtc::TurnData* pData, const rtc::NetAddress& from = c_server)
    {
        return client->Receive(bytes.data(), bytes.size(), from, nNowMs, pData);
    }

    Bytes Wrapped(const rtc::NetAddress& peer, const Bytes& payload)
    {
        uint8_t rgb[1500];
        size_t cb = 0;
        if (!client->Wrap(peer, payload.data(), payload.size(), rgb, sizeof(rgb), &cb))
            return Bytes();
        return Bytes(rgb, rgb + cb);
    }

    uint32_t Requests(uint16_t nMethod) { return server->requests[nMethod]; }

    std::unique_ptr<rtc::TurnServerDouble> server;
    std::unique_ptr<rtc::TurnClient> client;
    uint64_t nNowMs = 1000000;
    bool bServerSilent = false;
    std::vector<Bytes> sent;
    std::vector<uint64_t> sendTimes;
};

TEST_F(TurnTest, AllocatesThroughTheChallenge)
{
    Start();
    Pump();
    ASSERT_EQ(rtc::TurnState::Allocated, client->State()) << client->Error();
    EXPECT_EQ("", client->Error());
    EXPECT_TRUE(client->Relayed() == server->relayed);
    EXPECT_TRUE(client->Mapped() == c_client);
    EXPECT_EQ(600u, client->LifetimeS());
    ASSERT_EQ(2u, sent.size());

    // First without credentials; then with the server's realm and nonce,
    // signed with MD5("user:realm:secret").
    const rtc::StunMessage first = Parsed(sent[0]);
    EXPECT_EQ(rtc::c_nStunAllocate, first.nMethod);
    EXPECT_EQ(nullptr, first.Find(rtc::c_nStunUsername));
    EXPECT_EQ(nullptr, first.Find(rtc::c_nStunMessageIntegrity));
    ASSERT_NE(nullptr, first.Find(rtc::c_nStunRequestedTransport));
    EXPECT_EQ(17, first.Find(rtc::c_nStunRequestedTransport)->pb[0]);
    const rtc::StunMessage second = Parsed(sent[1]);
    std::string_view text;
    ASSERT_TRUE(rtc::ReadStunUsername(second, &text));
    EXPECT_EQ("user", text);
    ASSERT_TRUE(rtc::ReadStunRealmOrNonce(second, rtc::c_nStunRealm, &text));
    EXPECT_EQ("corvasta.test", text);
    ASSERT_TRUE(rtc::ReadStunRealmOrNonce(second, rtc::c_nStunNonce, &text));
    EXPECT_EQ("nonce-0", text);
    uint8_t rgbKey[rtc::c_cbStunLongTermKey];
    ASSERT_TRUE(rtc::StunLongTermKey("user", "corvasta.test", "secret", rgbKey));
    EXPECT_TRUE(rtc::CheckMessageIntegrity(second, rgbKey, sizeof(rgbKey)));
    EXPECT_NE(0, std::memcmp(first.rgbTransactionId, second.rgbTransactionId, 12));
}

// Only the server's signed answer from its address allocates: a success
// without integrity, or the right one from elsewhere, is dropped.
TEST_F(TurnTest, OnlyTheServersSignedAnswerCounts)
{
    Start();
    uint8_t rgb[rtc::c_cbTurnMessageMax];
    size_t cb = 0;
    rtc::TurnData data;
    ASSERT_TRUE(client->Poll(nNowMs, rgb, sizeof(rgb), &cb));
    const Bytes challenge = server->Receive(rgb, cb, c_client);
    EXPECT_EQ(rtc::TurnInput::Dropped, Deliver(challenge, &data, c_peerA));
    EXPECT_EQ(rtc::TurnInput::Handled, Deliver(challenge, &data));
    ASSERT_TRUE(client->Poll(nNowMs, rgb, sizeof(rgb), &cb));
    const Bytes answer = server->Receive(rgb, cb, c_client);

    const rtc::StunMessage request = Parsed(Bytes(rgb, rgb + cb));
    uint8_t rgbForged[128];
    rtc::StunWriter writer(rgbForged, sizeof(rgbForged));
    writer.Begin(rtc::c_nStunAllocate, rtc::StunClass::Success, request.rgbTransactionId);
    writer.AddXorAddress(rtc::c_nStunXorRelayedAddress, c_peerA);
    writer.AddUint32(rtc::c_nStunLifetime, 600);
    ASSERT_FALSE(writer.Failed());
    EXPECT_EQ(rtc::TurnInput::Dropped, Deliver(Bytes(rgbForged, rgbForged + writer.Size()), &data));
    EXPECT_EQ(rtc::TurnInput::Dropped, Deliver(answer, &data, c_peerA));
    EXPECT_EQ(rtc::TurnState::Allocating, client->State());
    EXPECT_EQ(3u, client->Counters().cDropped);

    EXPECT_EQ(rtc::TurnInput::Handled, Deliver(answer, &data));
    EXPECT_EQ(rtc::TurnState::Allocated, client->State());
    EXPECT_TRUE(client->Relayed() == server->relayed);
}

TEST_F(TurnTest, RefusedCredentialsFailWithTheReason)
{
    const struct
    {
        const char* pszUser;
        const char* pszPassword;
        const char* pszError;
        uint32_t cAllocates;
    } rgCases[] = {
        {"user", "wrong", "401 Unauthorized (wrong user name or password)", 2},
        {"someone", "secret", "401 Unauthorized (wrong user name or password)", 2},
        {"", "", "401 Unauthorized (the server wants a user name and password; none was given)", 1},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszError);
        Start({}, test.pszUser, test.pszPassword);
        RunUntil(nNowMs + 5000);
        EXPECT_EQ(rtc::TurnState::Failed, client->State());
        EXPECT_EQ(test.pszError, client->Error());
        EXPECT_EQ(test.cAllocates, Requests(rtc::c_nStunAllocate));
        EXPECT_EQ(UINT64_MAX, client->NextPollMs());
    }
}

// A nonce gone stale is replaced and the request sent again; a server that
// never takes its own nonces is given up after three.
TEST_F(TurnTest, StaleNoncesAreFollowedAndBounded)
{
    const struct
    {
        uint32_t cStale;
        rtc::TurnState state;
        const char* pszError;
        uint32_t cAllocates;
    } rgCases[] = {
        {1, rtc::TurnState::Allocated, "", 3},
        {2, rtc::TurnState::Allocated, "", 4},
        {100, rtc::TurnState::Failed, "438 Stale Nonce (3 times in a row)", 4},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.cStale);
        rtc::TurnServerDouble::Config config;
        config.cStaleNonces = test.cStale;
        Start(config);
        RunUntil(nNowMs + 5000);
        EXPECT_EQ(test.state, client->State());
        EXPECT_EQ(test.pszError, client->Error());
        EXPECT_EQ(test.cAllocates, Requests(rtc::c_nStunAllocate));
    }
}

// Whether the server never answers or stops after the challenge, the
// allocation is given up at the deadline, not before, with four sends
// or fewer.
TEST_F(TurnTest, SilenceEndsAtTheDeadline)
{
    for (uint32_t cAnswers : {0u, 1u})
    {
        SCOPED_TRACE(cAnswers);
        rtc::TurnServerDouble::Config config;
        config.cAnswersMax = cAnswers;
        Start(config);
        const uint64_t nStartMs = nNowMs;
        RunUntil(nStartMs + 999);
        EXPECT_EQ(rtc::TurnState::Allocating, client->State());
        EXPECT_EQ(nStartMs + 1000, client->NextPollMs());
        RunUntil(nStartMs + 1000);
        EXPECT_EQ(rtc::TurnState::Failed, client->State());
        EXPECT_EQ("no answer in 1000 ms", client->Error());
        if (cAnswers == 0)
        {
            EXPECT_EQ((std::vector<uint64_t>{nStartMs, nStartMs + 125, nStartMs + 375, nStartMs + 875}),
                      sendTimes);
        }
        EXPECT_LE(sendTimes.size(), 5u);
        EXPECT_EQ(UINT64_MAX, client->NextPollMs());
    }
}

// A fifth of the lifetime early, at most a minute; the server's new
// lifetime then counts.
TEST_F(TurnTest, RefreshesBeforeTheLifetimeEnds)
{
    const struct
    {
        uint32_t nLifetimeS;
        uint64_t nRefreshMs;
    } rgCases[] = {{600, 540000}, {100, 80000}, {3600, 3540000}};
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.nLifetimeS);
        rtc::TurnServerDouble::Config config;
        config.nLifetimeS = test.nLifetimeS;
        Start(config);
        Pump();
        const uint64_t nAllocatedMs = nNowMs;
        ASSERT_EQ(test.nLifetimeS, client->LifetimeS());
        EXPECT_EQ(nAllocatedMs + test.nRefreshMs, client->NextPollMs());
        RunUntil(nAllocatedMs + test.nRefreshMs - 1);
        EXPECT_EQ(0u, Requests(rtc::c_nStunRefresh));
        RunUntil(nAllocatedMs + test.nRefreshMs);
        EXPECT_EQ(1u, Requests(rtc::c_nStunRefresh));
        const rtc::StunMessage refresh = Parsed(sent.back());
        uint32_t nRequestedS = 0;
        ASSERT_TRUE(rtc::ReadStunUint32(refresh, rtc::c_nStunLifetime, &nRequestedS));
        EXPECT_EQ(600u, nRequestedS);
        EXPECT_EQ(rtc::TurnState::Allocated, client->State());
        EXPECT_EQ(600u, client->LifetimeS());
        EXPECT_EQ(nNowMs + 540000, client->NextPollMs());
    }
}

// An unanswered refresh is tried again every few seconds while the old
// lifetime lasts; at its end the allocation is lost, and said so.
TEST_F(TurnTest, UnansweredRefreshesLoseTheAllocationAtItsEnd)
{
    Start();
    Pump();
    const uint64_t nAllocatedMs = nNowMs;
    bServerSilent = true;
    RunUntil(nAllocatedMs + 599999);
    EXPECT_EQ(rtc::TurnState::Allocated, client->State());
    const size_t cRefreshes = sent.size() - 2;
    EXPECT_GE(cRefreshes, 4u * 10);
    EXPECT_LE(cRefreshes, 4u * 12);
    RunUntil(nAllocatedMs + 600000);
    EXPECT_EQ(rtc::TurnState::Failed, client->State());
    EXPECT_EQ("refresh: unanswered until the lifetime ended", client->Error());
}

TEST_F(TurnTest, PermissionsAndChannelsAreAskedGrantedAndRefreshed)
{
    Start();
    // Asked for while allocating: sent once allocated.
    ASSERT_TRUE(client->Permit(c_peerA, nNowMs));
    EXPECT_EQ(rtc::TurnGrant::Pending, client->Permission(c_peerA));
    EXPECT_EQ(rtc::TurnGrant::None, client->Permission(c_peerB));
    EXPECT_TRUE(Wrapped(c_peerA, {1, 2, 3}).empty()) << "no permission yet";
    Pump();
    const uint64_t nAllocatedMs = nNowMs;
    EXPECT_EQ(rtc::TurnGrant::Granted, client->Permission(c_peerA));
    ASSERT_EQ(1u, server->permissions.size());
    EXPECT_TRUE(rtc::SameIp(c_peerA, server->permissions[0]));
    // Any port of a permitted address.
    rtc::NetAddress otherPort = c_peerA;
    otherPort.nPort = 9;
    EXPECT_EQ(rtc::TurnGrant::Granted, client->Permission(otherPort));

    ASSERT_TRUE(client->BindChannel(c_peerB, nNowMs));
    Pump();
    uint16_t nChannel = 0;
    EXPECT_EQ(rtc::TurnGrant::Granted, client->Channel(c_peerB, &nChannel));
    EXPECT_EQ(0x4000, nChannel);
    EXPECT_TRUE(server->channels[0x4000] == c_peerB);
    ASSERT_TRUE(client->BindChannel(c_peerA, nNowMs));
    Pump();
    EXPECT_EQ(rtc::TurnGrant::Granted, client->Channel(c_peerA, &nChannel));
    EXPECT_EQ(0x4001, nChannel);
    EXPECT_EQ(2u, Requests(rtc::c_nStunChannelBind));

    // Permissions last 300 s, channels 600 s: each refreshed a minute early.
    RunUntil(nAllocatedMs + 240000);
    EXPECT_EQ(2u, Requests(rtc::c_nStunCreatePermission));
    EXPECT_EQ(2u, Requests(rtc::c_nStunChannelBind));
    RunUntil(nAllocatedMs + 540000);
    EXPECT_EQ(4u, Requests(rtc::c_nStunChannelBind));
    EXPECT_EQ(1u, Requests(rtc::c_nStunRefresh));
    RunUntil(nAllocatedMs + 3600000);
    EXPECT_EQ(rtc::TurnState::Allocated, client->State());
    EXPECT_EQ(rtc::TurnGrant::Granted, client->Permission(c_peerA));
    EXPECT_EQ(rtc::TurnGrant::Granted, client->Channel(c_peerA));
    EXPECT_EQ("", client->PeerError());
}

// A refusal is the peer's alone and says so; asked again, it is sent again.
TEST_F(TurnTest, RefusedPermissionIsThePeersAlone)
{
    Start();
    Pump();
    ASSERT_TRUE(client->Permit(c_peerA, nNowMs));
    uint8_t rgb[rtc::c_cbTurnMessageMax];
    size_t cb = 0;
    ASSERT_TRUE(client->Poll(nNowMs, rgb, sizeof(rgb), &cb));
    const rtc::StunMessage request = Parsed(Bytes(rgb, rgb + cb));
    uint8_t rgbKey[rtc::c_cbStunLongTermKey];
    ASSERT_TRUE(rtc::StunLongTermKey("user", "corvasta.test", "secret", rgbKey));
    rtc::StunWriter writer(rgb, sizeof(rgb));
    writer.Begin(rtc::c_nStunCreatePermission, rtc::StunClass::Error, request.rgbTransactionId);
    writer.AddErrorCode(403, "Forbidden");
    writer.AddMessageIntegrity(rgbKey, sizeof(rgbKey));
    rtc::TurnData data;
    EXPECT_EQ(rtc::TurnInput::Handled, Deliver(Bytes(rgb, rgb + writer.Size()), &data));
    EXPECT_EQ(rtc::TurnGrant::Refused, client->Permission(c_peerA));
    EXPECT_EQ("permission for 192.0.2.77: 403 Forbidden", client->PeerError());
    EXPECT_EQ(rtc::TurnState::Allocated, client->State());

    ASSERT_TRUE(client->Permit(c_peerA, nNowMs));
    Pump();
    EXPECT_EQ(rtc::TurnGrant::Granted, client->Permission(c_peerA));
}

// Data to a peer as a Send indication while only its address is permitted,
// as ChannelData once its channel is bound; from a peer out of either,
// padded or not; nothing from a peer without permission or from elsewhere.
TEST_F(TurnTest, DataRoundTripsThroughTheRelay)
{
    Start();
    ASSERT_TRUE(client->Permit(c_peerA, nNowMs));
    ASSERT_TRUE(client->Permit(c_peerB, nNowMs));
    ASSERT_TRUE(client->BindChannel(c_peerB, nNowMs));
    Pump();
    const Bytes payload = {0x80, 0x60, 1, 2, 3};

    const Bytes toA = Wrapped(c_peerA, payload);
    EXPECT_EQ(rtc::c_cbStunHeader + 12 + 4 + 8, toA.size()) << "a Send indication";
    const Bytes toB = Wrapped(c_peerB, payload);
    EXPECT_EQ(rtc::c_cbChannelDataHeader + payload.size(), toB.size()) << "ChannelData, unpadded";
    server->Receive(toA.data(), toA.size(), c_client);
    server->Receive(toB.data(), toB.size(), c_client);
    ASSERT_EQ(2u, server->deliveries.size());
    EXPECT_TRUE(server->deliveries[0].peer == c_peerA);
    EXPECT_EQ(payload, server->deliveries[0].data);
    EXPECT_FALSE(server->deliveries[0].bChannel);
    EXPECT_TRUE(server->deliveries[1].peer == c_peerB);
    EXPECT_EQ(payload, server->deliveries[1].data);
    EXPECT_TRUE(server->deliveries[1].bChannel);
    EXPECT_EQ(2u, client->Counters().cDataSent);

    const struct
    {
        const char* pszName;
        Bytes bytes;
        rtc::NetAddress peer;
    } rgCases[] = {
        {"Data indication", server->FromPeer(c_peerA, payload, false), c_peerA},
        {"ChannelData", server->FromPeer(c_peerB, payload, true), c_peerB},
        {"padded ChannelData", server->FromPeer(c_peerB, payload, true, true), c_peerB},
        {"empty ChannelData", server->FromPeer(c_peerB, {}, true), c_peerB},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        ASSERT_FALSE(test.bytes.empty());
        rtc::TurnData data;
        ASSERT_EQ(rtc::TurnInput::Data, Deliver(test.bytes, &data));
        EXPECT_TRUE(data.peer == test.peer);
        const Bytes expected = std::string(test.pszName) == "empty ChannelData" ? Bytes() : payload;
        EXPECT_EQ(expected, Bytes(data.pb, data.pb + data.cb));
        EXPECT_TRUE(data.cb == 0 || (data.pb >= test.bytes.data() && data.pb + data.cb <= test.bytes.data() + test.bytes.size()))
            << "points into the datagram";
        EXPECT_EQ(rtc::TurnInput::Dropped, Deliver(test.bytes, &data, c_peerA)) << "not from the server";
    }

    // A peer the client never permitted, whatever the server says.
    const uint8_t rgbStranger[4] = {192, 0, 2, 99};
    const rtc::NetAddress stranger = rtc::NetAddress::V4(rgbStranger, 5000);
    server->permissions.push_back(stranger);
    rtc::TurnData data;
    EXPECT_EQ(rtc::TurnInput::Dropped, Deliver(server->FromPeer(stranger, payload, false), &data));
    EXPECT_TRUE(Wrapped(stranger, payload).empty());
    // No room: refused, nothing written past the buffer.
    uint8_t rgbSmall[16];
    size_t cb = 0;
    EXPECT_FALSE(client->Wrap(c_peerA, payload.data(), payload.size(), rgbSmall, sizeof(rgbSmall), &cb));
    EXPECT_EQ(0u, cb);
    EXPECT_EQ(2u, client->Counters().cWrapRefused);
}

TEST_F(TurnTest, ReleaseGivesTheAllocationBack)
{
    for (bool bSilent : {false, true})
    {
        SCOPED_TRACE(bSilent);
        Start();
        ASSERT_TRUE(client->BindChannel(c_peerA, nNowMs));
        Pump();
        ASSERT_TRUE(server->bAllocated);
        bServerSilent = bSilent;
        const uint64_t nReleaseMs = nNowMs;
        client->Release(nNowMs);
        EXPECT_EQ(rtc::TurnState::Releasing, client->State());
        EXPECT_TRUE(Wrapped(c_peerA, {1}).empty());
        RunUntil(nReleaseMs + 1000);
        EXPECT_EQ(rtc::TurnState::Released, client->State());
        const rtc::StunMessage release = Parsed(sent.back());
        EXPECT_EQ(rtc::c_nStunRefresh, release.nMethod);
        uint32_t nLifetimeS = 1;
        ASSERT_TRUE(rtc::ReadStunUint32(release, rtc::c_nStunLifetime, &nLifetimeS));
        EXPECT_EQ(0u, nLifetimeS);
        EXPECT_EQ(bSilent, server->bAllocated);
        EXPECT_EQ(bSilent ? "release: no answer in 1000 ms" : "", client->Error());
        EXPECT_EQ(UINT64_MAX, client->NextPollMs());
        EXPECT_FALSE(client->Permit(c_peerB, nNowMs));
        bServerSilent = false;
    }
}

TEST(TurnChannelData, FramesAreReadWholeOrRefused)
{
    const struct
    {
        const char* pszName;
        Bytes bytes;
        const char* pszReason;
        size_t cbData;
    } rgCases[] = {
        {"five bytes", {0x40, 0x00, 0x00, 0x05, 1, 2, 3, 4, 5}, "", 5},
        {"five bytes padded", {0x40, 0x01, 0x00, 0x05, 1, 2, 3, 4, 5, 0, 0, 0}, "", 5},
        {"the last channel", {0x4F, 0xFF, 0x00, 0x00}, "", 0},
        {"a short header", {0x40, 0x00, 0x00}, "shorter than a ChannelData header", 0},
        {"channel 0x3FFF", {0x3F, 0xFF, 0x00, 0x00}, "a channel number outside 0x4000..0x4FFF", 0},
        {"channel 0x5000", {0x50, 0x00, 0x00, 0x00}, "a channel number outside 0x4000..0x4FFF", 0},
        {"a length past the end", {0x40, 0x00, 0x00, 0x06, 1, 2, 3, 4, 5}, "a length past the datagram", 0},
        {"four bytes of padding", {0x40, 0x00, 0x00, 0x04, 1, 2, 3, 4, 0, 0, 0, 0}, "more than padding after the data",
         0},
        {"padding past 4", {0x40, 0x00, 0x00, 0x05, 1, 2, 3, 4, 5, 0, 0, 0, 0}, "more than padding after the data",
         0},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        uint16_t nChannel = 0;
        const uint8_t* pbData = nullptr;
        size_t cbData = 0;
        const char* pszReason = nullptr;
        const bool bRead = rtc::ReadChannelData(test.bytes.data(), test.bytes.size(), &nChannel, &pbData, &cbData,
                                                &pszReason);
        EXPECT_STREQ(test.pszReason, pszReason);
        EXPECT_EQ(*test.pszReason == '\0', bRead);
        if (bRead)
        {
            EXPECT_EQ((test.bytes[0] << 8) | test.bytes[1], nChannel);
            EXPECT_EQ(test.cbData, cbData);
            EXPECT_EQ(test.bytes.data() + 4, pbData);
        }
    }
}

} // namespace
