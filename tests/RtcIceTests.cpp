// The controlled ICE agent against a browser's checks: valid ones answered
// with the source's address and our integrity, the rest dropped by reason,
// nomination selecting the path media goes by (the address, and our host
// socket or a relay), and consent kept only while that path answers.
#include <gtest/gtest.h>

#include "rtc/IceAgent.h"
#include "tests/support/RtcSeededRandom.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const char c_szLocalUfrag[] = "srv1";
const char c_szLocalPwd[] = "localPasswordOf22Chars";
const char c_szRemoteUfrag[] = "brws";
const char c_szRemotePwd[] = "remotePasswordOf22Char";
// GOOG-NETWORK-INFO: Chromium sends it; comprehension-optional, ignored.
const uint16_t c_nGoogNetworkInfo = 0xC057;

const uint8_t c_rgbHostA[4] = {192, 168, 1, 20};
const uint8_t c_rgbHostB[4] = {10, 0, 0, 7};
const uint8_t c_rgbHostV6[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5};
const rtc::NetAddress c_addressA = rtc::NetAddress::V4(c_rgbHostA, 50123);
const rtc::NetAddress c_addressB = rtc::NetAddress::V4(c_rgbHostB, 61000);
const rtc::NetAddress c_addressV6 = rtc::NetAddress::V6(c_rgbHostV6, 50124);

const uint8_t* Key(const char* psz)
{
    return reinterpret_cast<const uint8_t*>(psz);
}

// A connectivity check as a browser sends it; each field can be spoilt.
struct Check
{
    std::string username = std::string(c_szLocalUfrag) + ":" + c_szRemoteUfrag;
    std::string key = c_szLocalPwd;
    uint16_t nMethod = rtc::c_nStunBinding;
    rtc::StunClass nClass = rtc::StunClass::Request;
    bool bUseCandidate = false;
    bool bControlled = false; // ICE-CONTROLLED instead of ICE-CONTROLLING
    bool bIntegrity = true;
    bool bFingerprint = true;
    bool bBadFingerprint = false;
    uint8_t nId = 1;

    Bytes Write() const
    {
        uint8_t rgbId[rtc::c_cbStunTransactionId] = {0x5A, nId};
        uint8_t rgb[rtc::c_cbIceMessageMax];
        rtc::StunWriter writer(rgb, sizeof(rgb));
        writer.Begin(nMethod, nClass, rgbId);
        if (!username.empty())
            writer.AddString(rtc::c_nStunUsername, username);
        writer.AddUint32(c_nGoogNetworkInfo, 0x00010032);
        writer.AddUint64(bControlled ? rtc::c_nStunIceControlled : rtc::c_nStunIceControlling, 0x1122334455667788);
        if (bUseCandidate)
            writer.AddAttribute(rtc::c_nStunUseCandidate, nullptr, 0);
        writer.AddUint32(rtc::c_nStunPriority, 1853824767);
        if (bIntegrity)
            writer.AddMessageIntegrity(Key(key.c_str()), key.size());
        if (bFingerprint)
            writer.AddFingerprint();
        EXPECT_FALSE(writer.Failed());
        Bytes bytes(rgb, rgb + writer.Size());
        if (bBadFingerprint)
            bytes.back() ^= 1;
        return bytes;
    }
};

Check Nomination()
{
    Check check;
    check.bUseCandidate = true;
    return check;
}

// The peer's answer to one of our requests, with its password.
Bytes Answer(const Bytes& request, const rtc::NetAddress& to, rtc::StunClass nClass = rtc::StunClass::Success,
             const char* pszKey = c_szRemotePwd)
{
    rtc::StunMessage message;
    const char* pszReason = nullptr;
    EXPECT_TRUE(rtc::ParseStun(request.data(), request.size(), &message, &pszReason)) << pszReason;
    uint8_t rgb[128];
    rtc::StunWriter writer(rgb, sizeof(rgb));
    writer.Begin(rtc::c_nStunBinding, nClass, message.rgbTransactionId);
    if (nClass == rtc::StunClass::Error)
        writer.AddErrorCode(400, "Bad Request");
    else
        writer.AddXorMappedAddress(to);
    writer.AddMessageIntegrity(Key(pszKey), std::strlen(pszKey));
    writer.AddFingerprint();
    EXPECT_FALSE(writer.Failed());
    return Bytes(rgb, rgb + writer.Size());
}

class IceAgentTest : public testing::Test
{
protected:
    IceAgentTest() : agent(c_szLocalUfrag, c_szLocalPwd, c_szRemoteUfrag, c_szRemotePwd, SeededRandom(7)) {}

    rtc::IceResult Receive(const Bytes& bytes, const rtc::PeerPath& from, uint64_t nNowMs,
                           size_t cbOutMax = rtc::c_cbIceMessageMax)
    {
        return agent.Receive(bytes.data(), bytes.size(), from, nNowMs, rgbOut, cbOutMax, &cbOut);
    }

    // What the agent wrote last, read back.
    bool ReadOut(rtc::StunMessage* pMessage)
    {
        out.assign(rgbOut, rgbOut + cbOut);
        const char* pszReason = nullptr;
        bool bParsed = rtc::ParseStun(out.data(), out.size(), pMessage, &pszReason);
        EXPECT_TRUE(bParsed) << pszReason;
        return bParsed;
    }

    uint64_t Dropped(rtc::IceDrop drop) const { return agent.Counters().rgcDropped[static_cast<size_t>(drop)]; }

    rtc::IceAgent agent;
    uint8_t rgbOut[rtc::c_cbIceMessageMax] = {};
    size_t cbOut = 0;
    Bytes out;
};

// The answer carries the source's address and checks with our password;
// the source becomes a peer-reflexive remote.
TEST_F(IceAgentTest, ValidCheckIsAnsweredWithItsSource)
{
    for (const rtc::NetAddress& from : {c_addressA, c_addressV6})
    {
        SCOPED_TRACE(from.nFamily);
        Check check;
        check.nId = from.nFamily;
        ASSERT_EQ(rtc::IceResult::Answered, Receive(check.Write(), from, 1000));
        rtc::StunMessage answer;
        ASSERT_TRUE(ReadOut(&answer));
        EXPECT_EQ(rtc::c_nStunBinding, answer.nMethod);
        EXPECT_EQ(rtc::StunClass::Success, answer.nClass);
        EXPECT_EQ(check.nId, answer.rgbTransactionId[1]);
        rtc::NetAddress mapped;
        ASSERT_TRUE(rtc::ReadStunXorMappedAddress(answer, &mapped));
        EXPECT_TRUE(mapped == from);
        EXPECT_TRUE(rtc::CheckMessageIntegrity(answer, Key(c_szLocalPwd), std::strlen(c_szLocalPwd)));
        EXPECT_FALSE(rtc::CheckMessageIntegrity(answer, Key(c_szRemotePwd), std::strlen(c_szRemotePwd)));
        EXPECT_TRUE(rtc::CheckFingerprint(answer));
    }
    EXPECT_EQ(2u, agent.Counters().cAnswered);
    ASSERT_EQ(2u, agent.Remotes().size());
    EXPECT_TRUE(agent.Remotes()[0].path == c_addressA);
    EXPECT_TRUE(agent.Remotes()[0].bPeerReflexive);
    EXPECT_EQ(1853824767u, agent.Remotes()[0].nPriority);
    EXPECT_EQ(nullptr, agent.Selected());
    EXPECT_EQ(UINT64_MAX, agent.NextPollMs());
}

TEST_F(IceAgentTest, SignalledCandidateIsNotPeerReflexive)
{
    agent.AddRemoteCandidate(c_addressA, 2122260223);
    ASSERT_EQ(rtc::IceResult::Answered, Receive(Check().Write(), c_addressA, 0));
    ASSERT_EQ(1u, agent.Remotes().size());
    EXPECT_FALSE(agent.Remotes()[0].bPeerReflexive);
    EXPECT_EQ(2122260223u, agent.Remotes()[0].nPriority);
}

// A signalled address is no discovery by any of our candidates it reaches;
// one signalled only after its check stops being one.
TEST_F(IceAgentTest, ASignalledAddressIsNotPeerReflexiveOnAnyPath)
{
    agent.AddRemoteCandidate(c_addressA, 2122260223);
    ASSERT_EQ(rtc::IceResult::Answered, Receive(Check().Write(), rtc::PeerPath(c_addressA, 1), 0));
    ASSERT_EQ(rtc::IceResult::Answered, Receive(Check().Write(), c_addressA, 0));
    ASSERT_EQ(rtc::IceResult::Answered, Receive(Check().Write(), rtc::PeerPath(c_addressB, 1), 0));
    ASSERT_EQ(3u, agent.Remotes().size());
    const rtc::IceRemote& relayedA = agent.Remotes()[0];
    const rtc::IceRemote& directA = agent.Remotes()[1];
    const rtc::IceRemote& relayedB = agent.Remotes()[2];
    EXPECT_TRUE(relayedA.path == rtc::PeerPath(c_addressA, 1));
    EXPECT_TRUE(directA.path == rtc::PeerPath(c_addressA, 0));
    for (const rtc::IceRemote* pRemote : {&relayedA, &directA})
    {
        EXPECT_FALSE(pRemote->bPeerReflexive);
        EXPECT_EQ(2122260223u, pRemote->nPriority);
    }
    EXPECT_TRUE(relayedB.bPeerReflexive);
    EXPECT_EQ(1853824767u, relayedB.nPriority);
    agent.AddRemoteCandidate(c_addressB, 1686052607);
    EXPECT_FALSE(relayedB.bPeerReflexive);
    EXPECT_EQ(1686052607u, relayedB.nPriority);
}

// Each spoilt check (all nominating) is dropped silently under its reason,
// and selects nothing.
TEST_F(IceAgentTest, SpoiltChecksAreDroppedByReason)
{
    auto spoilt = [](auto edit) {
        Check check = Nomination();
        edit(check);
        return check.Write();
    };
    const struct
    {
        const char* pszName;
        Bytes bytes;
        rtc::IceDrop drop;
        size_t cbOutMax;
    } rgCases[] = {
        {"not STUN", Bytes(40, 0x17), rtc::IceDrop::Malformed, rtc::c_cbIceMessageMax},
        {"a wrong password", spoilt([](Check& c) { c.key = c_szRemotePwd; }), rtc::IceDrop::BadIntegrity,
         rtc::c_cbIceMessageMax},
        {"no integrity", spoilt([](Check& c) { c.bIntegrity = false; }), rtc::IceDrop::BadIntegrity,
         rtc::c_cbIceMessageMax},
        {"another session's ufrag", spoilt([](Check& c) { c.username = "srv2:brws"; }), rtc::IceDrop::BadUsername,
         rtc::c_cbIceMessageMax},
        {"the ufrags swapped", spoilt([](Check& c) { c.username = "brws:srv1"; }), rtc::IceDrop::BadUsername,
         rtc::c_cbIceMessageMax},
        {"no username", spoilt([](Check& c) { c.username.clear(); }), rtc::IceDrop::BadUsername,
         rtc::c_cbIceMessageMax},
        {"no fingerprint", spoilt([](Check& c) { c.bFingerprint = false; }), rtc::IceDrop::NoFingerprint,
         rtc::c_cbIceMessageMax},
        {"a wrong fingerprint", spoilt([](Check& c) { c.bBadFingerprint = true; }), rtc::IceDrop::NoFingerprint,
         rtc::c_cbIceMessageMax},
        {"an indication", spoilt([](Check& c) { c.nClass = rtc::StunClass::Indication; }),
         rtc::IceDrop::NotBinding, rtc::c_cbIceMessageMax},
        {"an Allocate request", spoilt([](Check& c) { c.nMethod = rtc::c_nStunAllocate; }),
         rtc::IceDrop::NotBinding, rtc::c_cbIceMessageMax},
        {"a response to nothing we asked", spoilt([](Check& c) { c.nClass = rtc::StunClass::Success; }),
         rtc::IceDrop::StrayResponse, rtc::c_cbIceMessageMax},
        {"no room for the answer", Nomination().Write(), rtc::IceDrop::NoRoom, 60},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        rtc::IceAgent fresh(c_szLocalUfrag, c_szLocalPwd, c_szRemoteUfrag, c_szRemotePwd, SeededRandom(1));
        uint8_t rgb[rtc::c_cbIceMessageMax];
        size_t cb = 99;
        EXPECT_EQ(rtc::IceResult::Dropped, fresh.Receive(test.bytes.data(), test.bytes.size(), c_addressA, 0, rgb,
                                                         test.cbOutMax, &cb));
        EXPECT_EQ(0u, cb);
        for (size_t i = 0; i < static_cast<size_t>(rtc::IceDrop::Count); i++)
            EXPECT_EQ(i == static_cast<size_t>(test.drop) ? 1u : 0u, fresh.Counters().rgcDropped[i])
                << rtc::IceDropName(static_cast<rtc::IceDrop>(i));
        EXPECT_EQ(0u, fresh.Counters().cAnswered);
        EXPECT_EQ(nullptr, fresh.Selected());
        EXPECT_TRUE(fresh.Remotes().empty());
    }
}

// USE-CANDIDATE selects its source; a later nomination of another address
// replaces it, a check without it does not.
TEST_F(IceAgentTest, NominationSelects)
{
    EXPECT_EQ(rtc::IceResult::Answered, Receive(Check().Write(), c_addressA, 0));
    EXPECT_EQ(nullptr, agent.Selected());
    EXPECT_EQ(rtc::IceResult::Selected, Receive(Nomination().Write(), c_addressA, 10));
    ASSERT_NE(nullptr, agent.Selected());
    EXPECT_TRUE(*agent.Selected() == c_addressA);
    EXPECT_EQ(rtc::IceResult::Answered, Receive(Nomination().Write(), c_addressA, 20));
    EXPECT_EQ(rtc::IceResult::Answered, Receive(Check().Write(), c_addressB, 30));
    EXPECT_TRUE(*agent.Selected() == c_addressA);
    EXPECT_EQ(rtc::IceResult::Selected, Receive(Nomination().Write(), c_addressB, 40));
    EXPECT_TRUE(*agent.Selected() == c_addressB);
    EXPECT_EQ(2u, agent.Remotes().size());
}

// The same address directly and by a relay are two pairs: each answered
// with the address, listed on its own, and selected only by its own
// nomination.
TEST_F(IceAgentTest, AnAddressByARelayIsAnotherPair)
{
    const rtc::PeerPath direct(c_addressA);
    const rtc::PeerPath relay1(c_addressA, 1);
    const rtc::PeerPath relay2(c_addressA, 2);
    const struct
    {
        const char* pszName;
        bool bNominates;
        rtc::PeerPath from;
        rtc::IceResult result;
        const rtc::PeerPath* pSelected; // afterwards
    } rgSteps[] = {
        {"a check by relay 1", false, relay1, rtc::IceResult::Answered, nullptr},
        {"a check direct", false, direct, rtc::IceResult::Answered, nullptr},
        {"a nomination by relay 1", true, relay1, rtc::IceResult::Selected, &relay1},
        {"it again", true, relay1, rtc::IceResult::Answered, &relay1},
        {"a check direct, selecting nothing", false, direct, rtc::IceResult::Answered, &relay1},
        {"a nomination direct", true, direct, rtc::IceResult::Selected, &direct},
        {"a nomination by relay 2", true, relay2, rtc::IceResult::Selected, &relay2},
    };
    uint64_t nNowMs = 0;
    for (const auto& step : rgSteps)
    {
        SCOPED_TRACE(step.pszName);
        Check check;
        check.bUseCandidate = step.bNominates;
        ASSERT_EQ(step.result, Receive(check.Write(), step.from, nNowMs += 10));
        rtc::StunMessage answer;
        ASSERT_TRUE(ReadOut(&answer));
        rtc::NetAddress mapped;
        ASSERT_TRUE(rtc::ReadStunXorMappedAddress(answer, &mapped));
        EXPECT_TRUE(mapped == c_addressA);
        if (step.pSelected == nullptr)
            EXPECT_EQ(nullptr, agent.Selected());
        else
            EXPECT_TRUE(agent.Selected() != nullptr && *agent.Selected() == *step.pSelected);
    }
    ASSERT_EQ(3u, agent.Remotes().size());
    EXPECT_TRUE(agent.Remotes()[0].path == relay1);
    EXPECT_TRUE(agent.Remotes()[1].path == direct);
    EXPECT_TRUE(agent.Remotes()[2].path == relay2);
}

// Both sides claiming controlled: 487, with our integrity, and the
// nomination in it not taken.
TEST_F(IceAgentTest, RoleConflictIsAnswered487)
{
    Check check = Nomination();
    check.bControlled = true;
    ASSERT_EQ(rtc::IceResult::Answered, Receive(check.Write(), c_addressA, 0));
    rtc::StunMessage answer;
    ASSERT_TRUE(ReadOut(&answer));
    EXPECT_EQ(rtc::StunClass::Error, answer.nClass);
    int nCode = 0;
    std::string_view reason;
    ASSERT_TRUE(rtc::ReadStunErrorCode(answer, &nCode, &reason));
    EXPECT_EQ(487, nCode);
    EXPECT_TRUE(rtc::CheckMessageIntegrity(answer, Key(c_szLocalPwd), std::strlen(c_szLocalPwd)));
    EXPECT_TRUE(rtc::CheckFingerprint(answer));
    EXPECT_EQ(nullptr, agent.Selected());
    EXPECT_EQ(1u, agent.Counters().cRoleConflicts);
}

// Our consent request: to the selected address, the names the other way
// round, our tiebreaker as the controlled side, the peer's password.
TEST_F(IceAgentTest, ConsentRequestIsDueAboutEveryFiveSeconds)
{
    ASSERT_EQ(rtc::IceResult::Selected, Receive(Nomination().Write(), c_addressA, 1000));
    uint64_t nPreviousMs = 1000, nShortestMs = UINT64_MAX, nLongestMs = 0;
    for (int i = 0; i < 40; i++)
    {
        const uint64_t nDueMs = agent.NextPollMs();
        ASSERT_GE(nDueMs, nPreviousMs + 4000);
        ASSERT_LE(nDueMs, nPreviousMs + 6000);
        nShortestMs = std::min(nShortestMs, nDueMs - nPreviousMs);
        nLongestMs = std::max(nLongestMs, nDueMs - nPreviousMs);
        rtc::PeerPath to;
        ASSERT_FALSE(agent.Poll(nDueMs - 1, rgbOut, sizeof(rgbOut), &cbOut, &to));
        ASSERT_TRUE(agent.Poll(nDueMs, rgbOut, sizeof(rgbOut), &cbOut, &to));
        EXPECT_TRUE(to == c_addressA);
        rtc::StunMessage request;
        ASSERT_TRUE(ReadOut(&request));
        EXPECT_EQ(rtc::c_nStunBinding, request.nMethod);
        EXPECT_EQ(rtc::StunClass::Request, request.nClass);
        std::string_view username;
        ASSERT_TRUE(rtc::ReadStunUsername(request, &username));
        EXPECT_EQ("brws:srv1", username);
        uint64_t nTiebreaker = 0;
        ASSERT_TRUE(rtc::ReadStunIceControlled(request, &nTiebreaker));
        EXPECT_EQ(agent.Tiebreaker(), nTiebreaker);
        uint32_t nPriority = 0;
        EXPECT_TRUE(rtc::ReadStunPriority(request, &nPriority));
        EXPECT_TRUE(rtc::CheckMessageIntegrity(request, Key(c_szRemotePwd), std::strlen(c_szRemotePwd)));
        EXPECT_TRUE(rtc::CheckFingerprint(request));
        ASSERT_EQ(rtc::IceResult::Response, Receive(Answer(out, c_addressA), c_addressA, nDueMs + 30));
        nPreviousMs = nDueMs;
    }
    // Spread over the range, not one fixed interval.
    EXPECT_LT(nShortestMs, 4500u);
    EXPECT_GT(nLongestMs, 5500u);
    EXPECT_EQ(40u, agent.Counters().cRequestsSent);
    EXPECT_EQ(40u, agent.Counters().cResponses);
}

TEST_F(IceAgentTest, NothingToPollBeforeNomination)
{
    rtc::PeerPath to;
    EXPECT_FALSE(agent.Poll(60000, rgbOut, sizeof(rgbOut), &cbOut, &to));
    EXPECT_FALSE(agent.ConsentExpired(60000));
    EXPECT_EQ(UINT64_MAX, agent.NextPollMs());
}

// Two minutes after nomination at 0, polling as a network thread does and
// the peer behaving as named: consent lasts exactly while something valid
// comes by the selected path within 30 s, and requests go by it.
TEST_F(IceAgentTest, ConsentExpiresOnlyWithoutValidTrafficFromTheSelected)
{
    enum class Peer
    {
        Silent,
        Answers,
        AnswersLate,          // each request when the next one goes out
        AnswersWithErrors,
        AnswersWithAWrongKey,
        AnswersFromElsewhere,
        KeepsChecking,        // its own checks every 10 s, no answers
        ChecksFromElsewhere,
    };
    const struct
    {
        const char* pszName;
        Peer peer;
        uint64_t nExpiresMs; // UINT64_MAX: never
        rtc::IceDrop drop;   // what the agent makes of the answers
        rtc::PeerPath nominated = c_addressA;
        rtc::PeerPath elsewhere = c_addressB;
    } rgCases[] = {
        {"silent", Peer::Silent, 30000, rtc::IceDrop::Count},
        {"answers", Peer::Answers, UINT64_MAX, rtc::IceDrop::Count},
        {"answers late", Peer::AnswersLate, UINT64_MAX, rtc::IceDrop::Count},
        {"answers with errors", Peer::AnswersWithErrors, 30000, rtc::IceDrop::ErrorResponse},
        {"answers with a wrong key", Peer::AnswersWithAWrongKey, 30000, rtc::IceDrop::BadIntegrity},
        {"answers from elsewhere", Peer::AnswersFromElsewhere, 30000, rtc::IceDrop::StrayResponse},
        {"keeps checking", Peer::KeepsChecking, UINT64_MAX, rtc::IceDrop::Count},
        {"checks from elsewhere", Peer::ChecksFromElsewhere, 30000, rtc::IceDrop::Count},
        // The same address by another of our candidates is elsewhere too.
        {"answers by relay 1", Peer::Answers, UINT64_MAX, rtc::IceDrop::Count, rtc::PeerPath(c_addressA, 1)},
        {"keeps checking by relay 1", Peer::KeepsChecking, UINT64_MAX, rtc::IceDrop::Count,
         rtc::PeerPath(c_addressA, 1)},
        {"answers directly what went by relay 1", Peer::AnswersFromElsewhere, 30000, rtc::IceDrop::StrayResponse,
         rtc::PeerPath(c_addressA, 1), c_addressA},
        {"checks directly, nominated by relay 1", Peer::ChecksFromElsewhere, 30000, rtc::IceDrop::Count,
         rtc::PeerPath(c_addressA, 1), c_addressA},
        {"answers by relay 2 what went by relay 1", Peer::AnswersFromElsewhere, 30000, rtc::IceDrop::StrayResponse,
         rtc::PeerPath(c_addressA, 1), rtc::PeerPath(c_addressA, 2)},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        rtc::IceAgent session(c_szLocalUfrag, c_szLocalPwd, c_szRemoteUfrag, c_szRemotePwd, SeededRandom(3));
        const Bytes nomination = Nomination().Write();
        uint8_t rgb[rtc::c_cbIceMessageMax];
        size_t cb = 0;
        ASSERT_EQ(rtc::IceResult::Selected,
                  session.Receive(nomination.data(), nomination.size(), test.nominated, 0, rgb, sizeof(rgb), &cb));
        uint64_t nExpiredMs = UINT64_MAX;
        Bytes previous;
        for (uint64_t nNowMs = 100; nNowMs <= 120000 && nExpiredMs == UINT64_MAX; nNowMs += 100)
        {
            if (session.ConsentExpired(nNowMs))
            {
                nExpiredMs = nNowMs;
                break;
            }
            if (nNowMs % 10000 == 0 && (test.peer == Peer::KeepsChecking || test.peer == Peer::ChecksFromElsewhere))
            {
                const Bytes check = Check().Write();
                const rtc::PeerPath from = test.peer == Peer::KeepsChecking ? test.nominated : test.elsewhere;
                ASSERT_EQ(rtc::IceResult::Answered,
                          session.Receive(check.data(), check.size(), from, nNowMs, rgb, sizeof(rgb), &cb));
            }
            rtc::PeerPath to;
            if (session.NextPollMs() > nNowMs || !session.Poll(nNowMs, rgb, sizeof(rgb), &cb, &to))
                continue;
            EXPECT_TRUE(to == test.nominated);
            const Bytes request(rgb, rgb + cb);
            Bytes answer;
            rtc::PeerPath from = to;
            switch (test.peer)
            {
            case Peer::Answers: answer = Answer(request, to.remote); break;
            case Peer::AnswersLate:
                if (!previous.empty())
                    answer = Answer(previous, to.remote);
                previous = request;
                break;
            case Peer::AnswersWithErrors: answer = Answer(request, to.remote, rtc::StunClass::Error); break;
            case Peer::AnswersWithAWrongKey:
                answer = Answer(request, to.remote, rtc::StunClass::Success, c_szLocalPwd);
                break;
            case Peer::AnswersFromElsewhere:
                answer = Answer(request, to.remote);
                from = test.elsewhere;
                break;
            default: break;
            }
            if (answer.empty())
                continue;
            const rtc::IceResult result =
                session.Receive(answer.data(), answer.size(), from, nNowMs + 50, rgb, sizeof(rgb), &cb);
            EXPECT_EQ(test.drop == rtc::IceDrop::Count ? rtc::IceResult::Response : rtc::IceResult::Dropped, result);
        }
        EXPECT_EQ(test.nExpiresMs, nExpiredMs);
        if (test.drop != rtc::IceDrop::Count)
        {
            EXPECT_GE(session.Counters().rgcDropped[static_cast<size_t>(test.drop)], 5u);
        }
        if (nExpiredMs == UINT64_MAX)
            continue;
        // Expiry is final: checks are still answered, but neither the
        // selected address nor a new nomination revives it.
        for (const rtc::PeerPath& from : {test.nominated, test.elsewhere})
        {
            EXPECT_EQ(rtc::IceResult::Answered, session.Receive(nomination.data(), nomination.size(), from,
                                                                nExpiredMs + 1000, rgb, sizeof(rgb), &cb));
        }
        EXPECT_TRUE(*session.Selected() == test.nominated);
        EXPECT_TRUE(session.ConsentExpired(nExpiredMs + 1000));
        // Requests went out while consent lasted, and none after.
        EXPECT_GE(session.Counters().cRequestsSent, 5u);
        EXPECT_LE(session.Counters().cRequestsSent, 7u);
        rtc::PeerPath to;
        EXPECT_FALSE(session.Poll(nExpiredMs + 10000, rgb, sizeof(rgb), &cb, &to));
        EXPECT_EQ(UINT64_MAX, session.NextPollMs());
    }
}

// The network thread may sleep until NextPollMs and still notice expiry on
// time, with no request due in between.
TEST_F(IceAgentTest, NextPollCoversExpiry)
{
    ASSERT_EQ(rtc::IceResult::Selected, Receive(Nomination().Write(), c_addressA, 0));
    uint64_t nNowMs = 0;
    rtc::PeerPath to;
    while (agent.NextPollMs() != UINT64_MAX)
    {
        ASSERT_GE(agent.NextPollMs(), nNowMs);
        nNowMs = agent.NextPollMs();
        agent.Poll(nNowMs, rgbOut, sizeof(rgbOut), &cbOut, &to);
    }
    EXPECT_EQ(30000u, nNowMs);
    EXPECT_TRUE(agent.ConsentExpired(nNowMs));
}

TEST(IceLocalUfragTest, ReadFromTheUsernameOfARequest)
{
    std::string_view ufrag;
    const Bytes request = Check().Write();
    ASSERT_TRUE(rtc::IceLocalUfragOf(request.data(), request.size(), &ufrag));
    EXPECT_EQ(c_szLocalUfrag, ufrag);

    auto edited = [](auto edit) {
        Check check;
        edit(check);
        return check.Write();
    };
    for (const Bytes& bytes : {edited([](Check& c) { c.username = "nocolon"; }),
                               edited([](Check& c) { c.username = ":brws"; }),
                               edited([](Check& c) { c.username.clear(); }),
                               edited([](Check& c) { c.nClass = rtc::StunClass::Success; }), Bytes(20, 0)})
        EXPECT_FALSE(rtc::IceLocalUfragOf(bytes.data(), bytes.size(), &ufrag));
}

} // namespace
