// One session's gathering against STUN and TURN servers in memory (the
// TURN server double, which answers Binding requests too), on a clock the
// test moves: each server's outcome in words, the deadline, the candidate
// lines, the relays numbered and used for a peer's data both ways, and the
// release.
#include <gtest/gtest.h>

#include "rtc/IceGatherer.h"
#include "rtc/Stun.h"
#include "rtc/fuzz/TurnServerDouble.h"
#include "tests/support/RtcSeededRandom.h"

#include <deque>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

rtc::NetAddress V4(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t nPort)
{
    const uint8_t rgb[4] = {a, b, c, d};
    return rtc::NetAddress::V4(rgb, nPort);
}

rtc::NetAddress Server(uint8_t nLast)
{
    return V4(198, 51, 100, nLast, 3478);
}

const rtc::NetAddress c_host = V4(192, 0, 2, 10, 5000);
// How the NAT maps the host and the relay socket.
const rtc::NetAddress c_hostMapped = V4(203, 0, 113, 7, 41000);
const rtc::NetAddress c_relayMapped = V4(203, 0, 113, 7, 41001);
const rtc::NetAddress c_peer = V4(192, 0, 2, 77, 61000);
const uint64_t c_nStartMs = 100000;
const uint64_t c_nDeadlineMs = c_nStartMs + 1000;

// The servers on the far side of the NAT, answering after a delay or not
// at all, and the gatherer that talks to them.
class Network
{
public:
    struct Fake
    {
        std::unique_ptr<rtc::TurnServerDouble> pDouble;
        bool bSilent = false;
        uint64_t nDelayMs = 0;
        rtc::NetAddress hostSeen = c_hostMapped; // the host socket as this server sees it
    };

    struct Sent
    {
        Bytes bytes;
        rtc::NetAddress to;
        bool bRelaySocket = false;
    };

    struct Answer
    {
        uint64_t nDueMs;
        Bytes bytes;
        rtc::NetAddress from;
        bool bRelaySocket;
    };

    explicit Network(std::vector<rtc::NetAddress> hosts = {c_host})
        : gatherer(std::move(hosts), c_nStartMs, 1000, SeededRandom(7))
    {
    }

    Fake& AddFake(const rtc::NetAddress& address, rtc::TurnServerDouble::Config config = {})
    {
        Fake& fake = fakes[rtc::AddressText(address)];
        fake.pDouble = std::make_unique<rtc::TurnServerDouble>(std::move(config));
        return fake;
    }

    rtc::TurnServerDouble& Double(const rtc::NetAddress& address)
    {
        return *fakes.at(rtc::AddressText(address)).pDouble;
    }

    // Sends what is due; the servers' answers come back after their delay.
    void Pump()
    {
        for (int i = 0; i < 200; i++)
        {
            DeliverDue();
            uint8_t rgb[rtc::c_cbIceGatherOutMax];
            size_t cb = 0;
            Sent out;
            if (!gatherer.Poll(nNowMs, rgb, sizeof(rgb), &cb, &out.to, &out.bRelaySocket))
                return;
            out.bytes.assign(rgb, rgb + cb);
            sent.push_back(out);
            const auto it = fakes.find(rtc::AddressText(out.to));
            if (it == fakes.end() || it->second.bSilent)
                continue;
            const rtc::NetAddress from = out.bRelaySocket ? c_relayMapped : it->second.hostSeen;
            Bytes answer = it->second.pDouble->Receive(rgb, cb, from);
            if (!answer.empty())
                inFlight.push_back({nNowMs + it->second.nDelayMs, std::move(answer), out.to, out.bRelaySocket});
        }
        FAIL() << "Poll never stopped";
    }

    void DeliverDue()
    {
        while (!inFlight.empty() && inFlight.front().nDueMs <= nNowMs)
        {
            const Answer answer = inFlight.front();
            inFlight.pop_front();
            EXPECT_EQ(rtc::GatherInput::Handled, Deliver(answer.bRelaySocket, answer.bytes, answer.from));
        }
    }

    // Moves the clock a millisecond at a time: nothing falls due unseen.
    void RunUntil(uint64_t nUntilMs)
    {
        for (; nNowMs < nUntilMs; nNowMs++)
            Pump();
        Pump();
    }

    rtc::GatherInput Deliver(bool bRelaySocket, const Bytes& bytes, const rtc::NetAddress& from,
                             rtc::TurnData* pData = nullptr, uint8_t* pnRelay = nullptr)
    {
        rtc::TurnData data;
        uint8_t nRelay = 0;
        return gatherer.Receive(bRelaySocket, bytes.data(), bytes.size(), from, nNowMs, pData ? pData : &data,
                                pnRelay ? pnRelay : &nRelay);
    }

    std::vector<std::string> CandidateLines() const
    {
        std::vector<std::string> lines;
        for (const rtc::IceLocalCandidate& candidate : gatherer.Candidates())
            lines.push_back(rtc::IceCandidateLine(candidate));
        return lines;
    }

    rtc::IceGatherer gatherer;
    uint64_t nNowMs = c_nStartMs;
    std::map<std::string, Fake> fakes; // by address
    std::deque<Answer> inFlight;
    std::vector<Sent> sent;
};

enum class Lookup
{
    None,     // an IP address
    At300,    // answers 300 ms in with 198.51.100.1
    At600,
    NotFound, // fails at once
    Never,
};

TEST(RtcIceGatherer, EachServersOutcomeIsToldInWords)
{
    const struct
    {
        const char* pszUri;
        const char* pszPassword;
        Lookup lookup;
        bool bSilent;
        uint64_t nDelayMs;
        const char* pszState;
        const char* pszError;
        const char* pszAddress;
        bool bUntilDeadline;    // settles only at the deadline
        const char* pszCandidate; // "" for none
    } rgCases[] = {
        {"stun:198.51.100.1", "", Lookup::None, false, 0, "done", "", "203.0.113.7:41000", false,
         "s1 1 udp 1694498815 203.0.113.7 41000 typ srflx raddr 192.0.2.10 rport 5000"},
        {"turn:198.51.100.1?transport=udp", "secret", Lookup::None, false, 0, "done", "", "203.0.113.50:49152", false,
         "r1 1 udp 16777215 203.0.113.50 49152 typ relay raddr 203.0.113.7 rport 41001"},
        {"stun:stun.example.org", "", Lookup::At300, false, 0, "done", "", "203.0.113.7:41000", false,
         "s1 1 udp 1694498815 203.0.113.7 41000 typ srflx raddr 192.0.2.10 rport 5000"},
        {"turn:198.51.100.1", "wrong", Lookup::None, false, 0, "failed",
         "TURN 198.51.100.1:3478: 401 Unauthorized (wrong user name or password)", "", false, ""},
        {"stun:198.51.100.1", "", Lookup::None, true, 0, "failed", "STUN 198.51.100.1:3478: no answer in 1000 ms", "",
         true, ""},
        {"turn:198.51.100.1", "secret", Lookup::None, true, 0, "failed",
         "TURN 198.51.100.1:3478: no answer in 1000 ms", "", true, ""},
        // Started with the time left, but told against the whole second.
        {"stun:stun.example.org:3478", "", Lookup::At600, true, 0, "failed",
         "STUN stun.example.org:3478: no answer in 1000 ms", "", true, ""},
        // The allocation comes after the deadline but within the client's
        // own second: not used, and given back.
        {"turn:turn.example.org", "secret", Lookup::At300, false, 450, "failed",
         "TURN turn.example.org:3478: no answer in 1000 ms", "", true, ""},
        {"stun:stun.invalid", "", Lookup::NotFound, false, 0, "failed", "STUN stun.invalid:3478: name not found", "",
         false, ""},
        {"stun:stun.example.org", "", Lookup::Never, false, 0, "failed",
         "STUN stun.example.org:3478: name lookup took over 1000 ms", "", true, ""},
        {"turns:198.51.100.1", "secret", Lookup::None, false, 0, "failed",
         "TURNS 198.51.100.1:5349: TURN over TLS (turns:) is not supported", "", false, ""},
        {"turn:198.51.100.1?transport=tcp", "secret", Lookup::None, false, 0, "failed",
         "TURN 198.51.100.1:3478: TURN over TCP is not supported", "", false, ""},
        {"stun:", "", Lookup::None, false, 0, "failed", "no host", "", false, ""},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszUri + std::string(" ") + test.pszPassword);
        Network net;
        Network::Fake& fake = net.AddFake(Server(1));
        fake.bSilent = test.bSilent;
        fake.nDelayMs = test.nDelayMs;
        const size_t i = net.gatherer.AddServer(test.pszUri, "user", test.pszPassword);
        EXPECT_EQ(0u, i);
        std::string host;
        uint16_t nPort = 0;
        EXPECT_EQ(test.lookup != Lookup::None, net.gatherer.NeedsLookup(i, &host, &nPort));
        if (test.lookup == Lookup::NotFound)
            net.gatherer.Unresolved(i, "name not found");
        uint64_t nFinishedMs = 0;
        for (; net.nNowMs <= c_nDeadlineMs && nFinishedMs == 0; net.nNowMs++)
        {
            if ((test.lookup == Lookup::At300 && net.nNowMs == c_nStartMs + 300) ||
                (test.lookup == Lookup::At600 && net.nNowMs == c_nStartMs + 600))
            {
                EXPECT_EQ(3478u, nPort);
                net.gatherer.Resolved(i, V4(198, 51, 100, 1, 0), net.nNowMs);
            }
            net.Pump();
            if (net.gatherer.Finished(net.nNowMs))
                nFinishedMs = net.nNowMs;
            else
                EXPECT_LE(net.gatherer.NextPollMs(), c_nDeadlineMs);
        }
        if (test.bUntilDeadline)
            EXPECT_EQ(c_nDeadlineMs, nFinishedMs);
        else
            EXPECT_LT(nFinishedMs, c_nDeadlineMs);
        // What comes late changes nothing.
        net.RunUntil(c_nDeadlineMs + 1000);

        const std::vector<rtc::IceServerOutcome> outcomes = net.gatherer.Outcomes();
        ASSERT_EQ(1u, outcomes.size());
        EXPECT_EQ(test.pszUri, outcomes[0].uri);
        EXPECT_EQ(test.pszState, outcomes[0].state);
        EXPECT_EQ(test.pszError, outcomes[0].error);
        EXPECT_EQ(test.pszAddress, outcomes[0].address);
        const std::vector<std::string> lines = net.CandidateLines();
        EXPECT_EQ(*test.pszCandidate ? std::vector<std::string>{test.pszCandidate} : std::vector<std::string>{},
                  lines);
        const bool bRelay = std::string(test.pszCandidate).find(" relay ") != std::string::npos;
        EXPECT_EQ(bRelay, net.gatherer.Relay(1) != nullptr);
        EXPECT_EQ(bRelay, net.Double(Server(1)).bAllocated);
    }
}

// Eight servers at most, four of them TURN; one server per address and
// kind, IP address or name; STUN and TURN may share one.
TEST(RtcIceGatherer, ServersAreBoundedAndUsedOnce)
{
    Network net;
    for (uint8_t n = 1; n <= 7; n++)
        net.AddFake(Server(n));
    const char* const rgpszUris[] = {
        "stun:198.51.100.1",     "198.51.100.1:3478", "stun:stun.example.org", "turn:198.51.100.1",
        "turn:198.51.100.2",     "turn:198.51.100.3", "turn:turn.example.org", "turn:198.51.100.4",
        "turns:198.51.100.5",    "stun:198.51.100.6", "stun:198.51.100.7",
    };
    for (const char* pszUri : rgpszUris)
        net.gatherer.AddServer(pszUri, "user", "secret");
    std::string host;
    uint16_t nPort = 0;
    ASSERT_TRUE(net.gatherer.NeedsLookup(2, &host, &nPort));
    EXPECT_EQ("stun.example.org", host);
    ASSERT_TRUE(net.gatherer.NeedsLookup(6, &host, &nPort));
    EXPECT_EQ("turn.example.org", host);
    EXPECT_FALSE(net.gatherer.NeedsLookup(0, &host, &nPort));
    net.gatherer.Resolved(2, Server(1), net.nNowMs);
    net.gatherer.Resolved(6, Server(2), net.nNowMs);
    net.Pump();
    EXPECT_TRUE(net.gatherer.Finished(net.nNowMs));

    const struct
    {
        const char* pszState;
        const char* pszError;
    } rgExpected[] = {
        {"done", ""},
        {"not used", "STUN 198.51.100.1:3478: not used: the same address as stun:198.51.100.1"},
        {"not used", "STUN stun.example.org:3478: not used: the same address as stun:198.51.100.1"},
        {"done", ""},
        {"done", ""},
        {"done", ""},
        {"not used", "TURN turn.example.org:3478: not used: the same address as turn:198.51.100.2"},
        {"not used", "TURN 198.51.100.4:3478: not used: at most 4 TURN servers"},
        {"failed", "TURNS 198.51.100.5:5349: TURN over TLS (turns:) is not supported"},
        {"done", ""},
        {"not used", "STUN 198.51.100.7:3478: not used: at most 8 servers"},
    };
    const std::vector<rtc::IceServerOutcome> outcomes = net.gatherer.Outcomes();
    ASSERT_EQ(std::size(rgExpected), outcomes.size());
    for (size_t i = 0; i < outcomes.size(); i++)
    {
        SCOPED_TRACE(rgpszUris[i]);
        EXPECT_EQ(rgExpected[i].pszState, outcomes[i].state);
        EXPECT_EQ(rgExpected[i].pszError, outcomes[i].error);
    }
    // Relays by the order added; the duplicate's number stays unused.
    for (uint8_t nRelay = 1; nRelay <= 3; nRelay++)
    {
        ASSERT_NE(nullptr, net.gatherer.Relay(nRelay));
        EXPECT_TRUE(net.gatherer.Relay(nRelay)->Server() == Server(nRelay));
    }
    EXPECT_EQ(nullptr, net.gatherer.Relay(4));
    EXPECT_EQ(nullptr, net.gatherer.Relay(0));
    EXPECT_EQ(0u, net.Double(Server(4)).requests[rtc::c_nStunAllocate]);
    EXPECT_EQ(0u, net.Double(Server(7)).requests[rtc::c_nStunBinding]);
}

// RFC 8445, 5.1.2.1: type preference 126, 100 or 0, the local preference
// from 65535 down, component 1. A mapping seen twice, or equal to a host
// address (no NAT), is listed once or not at all.
TEST(RtcIceGatherer, CandidatesCarryTheirPriorityAndFoundation)
{
    EXPECT_EQ(2130706431u, rtc::IceCandidatePriority(rtc::c_nIcePreferenceHost, 65535));

    const rtc::NetAddress secondHost = V4(192, 0, 2, 11, 5000);
    Network net({c_host, secondHost});
    net.AddFake(Server(1));
    net.AddFake(Server(2));
    net.AddFake(Server(3)).hostSeen = secondHost;
    net.AddFake(Server(4)).hostSeen = V4(203, 0, 113, 8, 42000);
    net.AddFake(Server(5));
    rtc::TurnServerDouble::Config second;
    second.nRelayedPort = 49153;
    net.AddFake(Server(6), second);
    for (const char* pszUri : {"stun:198.51.100.1", "stun:198.51.100.2", "stun:198.51.100.3", "stun:198.51.100.4",
                               "turn:198.51.100.5", "turn:198.51.100.6"})
        net.gatherer.AddServer(pszUri, "user", "secret");
    net.Pump();
    ASSERT_TRUE(net.gatherer.Finished(net.nNowMs));

    const std::vector<std::string> expected = {
        "s1 1 udp 1694498815 203.0.113.7 41000 typ srflx raddr 192.0.2.10 rport 5000",
        "s4 1 udp 1694498559 203.0.113.8 42000 typ srflx raddr 192.0.2.10 rport 5000",
        "r1 1 udp 16777215 203.0.113.50 49152 typ relay raddr 203.0.113.7 rport 41001",
        "r2 1 udp 16776959 203.0.113.50 49153 typ relay raddr 203.0.113.7 rport 41001",
    };
    EXPECT_EQ(expected, net.CandidateLines());
    const std::vector<rtc::IceLocalCandidate> candidates = net.gatherer.Candidates();
    ASSERT_EQ(4u, candidates.size());
    EXPECT_EQ(3u, candidates[1].iServer);
    EXPECT_EQ(0, candidates[1].nRelay);
    EXPECT_EQ(5u, candidates[3].iServer);
    EXPECT_EQ(2, candidates[3].nRelay);
}

// Answers count only on their own socket, from their server, for their
// request; anything else is for the peers.
TEST(RtcIceGatherer, AnswersAreTakenOnlyOnTheirSocket)
{
    Network net;
    net.AddFake(Server(1)).bSilent = true;
    net.AddFake(Server(2)).bSilent = true;
    net.gatherer.AddServer("stun:198.51.100.1", "", "");
    net.gatherer.AddServer("turn:198.51.100.2", "user", "secret");
    net.Pump();
    ASSERT_EQ(2u, net.sent.size());
    ASSERT_FALSE(net.sent[0].bRelaySocket);
    ASSERT_TRUE(net.sent[1].bRelaySocket);
    const Bytes binding = net.Double(Server(1)).Receive(net.sent[0].bytes.data(), net.sent[0].bytes.size(),
                                                        c_hostMapped);
    const Bytes challenge = net.Double(Server(2)).Receive(net.sent[1].bytes.data(), net.sent[1].bytes.size(),
                                                          c_relayMapped);
    // The right answer but for another transaction.
    rtc::StunMessage request;
    const char* pszReason = nullptr;
    ASSERT_TRUE(rtc::ParseStun(net.sent[0].bytes.data(), net.sent[0].bytes.size(), &request, &pszReason));
    request.rgbTransactionId[0] ^= 1;
    uint8_t rgb[64];
    rtc::StunWriter writer(rgb, sizeof(rgb));
    writer.Begin(rtc::c_nStunBinding, rtc::StunClass::Success, request.rgbTransactionId);
    writer.AddXorMappedAddress(c_hostMapped);
    writer.AddFingerprint();
    const Bytes otherId(rgb, rgb + writer.Size());

    EXPECT_EQ(rtc::GatherInput::NotMine, net.Deliver(true, binding, Server(1)));
    EXPECT_EQ(rtc::GatherInput::NotMine, net.Deliver(false, binding, Server(2)));
    EXPECT_EQ(rtc::GatherInput::NotMine, net.Deliver(false, otherId, Server(1)));
    EXPECT_EQ(rtc::GatherInput::NotMine, net.Deliver(false, challenge, Server(2)));
    EXPECT_EQ(rtc::GatherInput::NotMine, net.Deliver(true, challenge, c_peer));
    EXPECT_EQ("gathering", net.gatherer.Outcomes()[0].state);
    EXPECT_EQ(0u, net.gatherer.Counters().cHandled);

    EXPECT_EQ(rtc::GatherInput::Handled, net.Deliver(false, binding, Server(1)));
    EXPECT_EQ(rtc::GatherInput::Handled, net.Deliver(true, challenge, Server(2)));
    EXPECT_EQ("done", net.gatherer.Outcomes()[0].state);
    EXPECT_EQ(2u, net.gatherer.Counters().cHandled);
    // The server's stray on the relay socket is its, dropped.
    EXPECT_EQ(rtc::GatherInput::Handled, net.Deliver(true, Bytes(20, 0), Server(2)));
    EXPECT_EQ(1u, net.gatherer.Counters().cDropped);
}

// The deadline binds gathering alone: a relay found late keeps the whole
// second for each request of the session's, here a permission the server
// answers in 300 ms.
TEST(RtcIceGatherer, ARelayFoundLateKeepsTheWholeTimeoutForLaterRequests)
{
    Network net;
    Network::Fake& fake = net.AddFake(Server(1));
    net.gatherer.AddServer("turn:turn.example.org", "user", "secret");
    net.RunUntil(c_nStartMs + 900);
    net.gatherer.Resolved(0, Server(1), net.nNowMs);
    net.Pump();
    ASSERT_NE(nullptr, net.gatherer.Relay(1));

    fake.nDelayMs = 300;
    net.RunUntil(c_nStartMs + 5000);
    net.gatherer.Permit(c_peer, net.nNowMs);
    net.RunUntil(c_nStartMs + 6000);
    EXPECT_EQ(rtc::TurnGrant::Granted, net.gatherer.Relay(1)->Permission(c_peer));
}

class GatherRelays : public testing::Test
{
protected:
    void SetUp() override
    {
        net.AddFake(Server(1));
        rtc::TurnServerDouble::Config second;
        second.nRelayedPort = 49153;
        net.AddFake(Server(2), second);
        net.gatherer.AddServer("turn:198.51.100.1", "user", "secret");
        net.gatherer.AddServer("turn:198.51.100.2", "user", "secret");
        net.Pump();
        ASSERT_TRUE(net.gatherer.Finished(net.nNowMs));
        ASSERT_NE(nullptr, net.gatherer.Relay(1));
        ASSERT_NE(nullptr, net.gatherer.Relay(2));
    }

    bool Wrap(uint8_t nRelay, const Bytes& payload, Bytes* pOut, rtc::NetAddress* pServer)
    {
        uint8_t rgb[rtc::c_cbIceGatherOutMax];
        size_t cb = 0;
        const bool bWrapped = net.gatherer.Wrap(nRelay, c_peer, payload.data(), payload.size(), net.nNowMs, rgb,
                                                sizeof(rgb), &cb, pServer);
        pOut->assign(rgb, rgb + cb);
        return bWrapped;
    }

    Network net;
};

TEST_F(GatherRelays, PeersDataComesUnwrappedWithItsRelay)
{
    const Bytes payload = {0x80, 1, 2, 3, 4, 5};
    EXPECT_TRUE(net.Double(Server(2)).FromPeer(c_peer, payload, false).empty()) << "not permitted yet";
    net.gatherer.Permit(c_peer, net.nNowMs);
    net.Pump();
    EXPECT_EQ(1u, net.Double(Server(1)).permissions.size());
    EXPECT_EQ(1u, net.Double(Server(2)).permissions.size());

    const Bytes indication = net.Double(Server(2)).FromPeer(c_peer, payload, false);
    rtc::TurnData data;
    uint8_t nRelay = 0;
    ASSERT_EQ(rtc::GatherInput::Data, net.Deliver(true, indication, Server(2), &data, &nRelay));
    EXPECT_EQ(2, nRelay);
    EXPECT_TRUE(data.peer == c_peer);
    EXPECT_EQ(payload, Bytes(data.pb, data.pb + data.cb));
    EXPECT_EQ(1u, net.gatherer.Counters().cData);
    EXPECT_EQ(rtc::GatherInput::NotMine, net.Deliver(false, indication, Server(2), &data, &nRelay));
    EXPECT_EQ(0, nRelay);
}

// A Send indication once permitted; the first one asks for a channel, and
// ChannelData follows once it is bound.
TEST_F(GatherRelays, WrapAfterPermitPrefersAChannel)
{
    const Bytes payload = {0x80, 9, 8, 7};
    Bytes out;
    rtc::NetAddress to;
    EXPECT_FALSE(Wrap(1, payload, &out, &to)) << "not permitted";
    net.gatherer.Permit(c_peer, net.nNowMs);
    net.Pump();

    ASSERT_TRUE(Wrap(1, payload, &out, &to));
    EXPECT_TRUE(to == Server(1));
    rtc::TurnServerDouble& server = net.Double(Server(1));
    EXPECT_TRUE(server.Receive(out.data(), out.size(), c_relayMapped).empty());
    net.Pump();
    EXPECT_EQ(1u, server.channels.size());
    ASSERT_TRUE(Wrap(1, payload, &out, &to));
    server.Receive(out.data(), out.size(), c_relayMapped);

    ASSERT_EQ(2u, server.deliveries.size());
    EXPECT_FALSE(server.deliveries[0].bChannel);
    EXPECT_TRUE(server.deliveries[1].bChannel);
    for (const auto& delivery : server.deliveries)
    {
        EXPECT_TRUE(delivery.peer == c_peer);
        EXPECT_EQ(payload, delivery.data);
    }
    EXPECT_TRUE(net.Double(Server(2)).deliveries.empty());
    EXPECT_FALSE(Wrap(3, payload, &out, &to));
}

TEST_F(GatherRelays, ReleaseGivesEveryAllocationBack)
{
    net.sent.clear();
    net.gatherer.Release(net.nNowMs);
    EXPECT_FALSE(net.gatherer.Released()) << "the requests are yet to go";
    net.Pump();
    ASSERT_EQ(2u, net.sent.size());
    for (const Network::Sent& sent : net.sent)
    {
        EXPECT_TRUE(sent.bRelaySocket);
        rtc::StunMessage message;
        const char* pszReason = nullptr;
        ASSERT_TRUE(rtc::ParseStun(sent.bytes.data(), sent.bytes.size(), &message, &pszReason)) << pszReason;
        EXPECT_EQ(rtc::c_nStunRefresh, message.nMethod);
        uint32_t nLifetimeS = 1;
        EXPECT_TRUE(rtc::ReadStunUint32(message, rtc::c_nStunLifetime, &nLifetimeS));
        EXPECT_EQ(0u, nLifetimeS);
    }
    EXPECT_TRUE(net.gatherer.Released());
    EXPECT_FALSE(net.Double(Server(1)).bAllocated);
    EXPECT_FALSE(net.Double(Server(2)).bAllocated);
    EXPECT_EQ(nullptr, net.gatherer.Relay(1));
    EXPECT_EQ(UINT64_MAX, net.gatherer.NextPollMs());
}

} // namespace
