// The server-reflexive address learnt from a STUN server: the answer
// taken only from the server and for our request, an error and silence
// told in words, the retransmissions within the deadline.
#include <gtest/gtest.h>

#include "rtc/StunBindingClient.h"
#include "tests/support/RtcSeededRandom.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const uint8_t c_rgbServer[4] = {198, 51, 100, 2};
const uint8_t c_rgbMapped[4] = {203, 0, 113, 7};
const rtc::NetAddress c_server = rtc::NetAddress::V4(c_rgbServer, 3478);
const rtc::NetAddress c_mapped = rtc::NetAddress::V4(c_rgbMapped, 41000);

class StunBindingTest : public testing::Test
{
protected:
    StunBindingTest() : client(c_server, 5000, 1000, SeededRandom(3)) {}

    Bytes Poll(uint64_t nNowMs)
    {
        uint8_t rgb[rtc::c_cbStunBindingRequest];
        size_t cb = 0;
        if (!client.Poll(nNowMs, rgb, sizeof(rgb), &cb))
            return Bytes();
        return Bytes(rgb, rgb + cb);
    }

    // The server's answer to the request, edited by the caller.
    static Bytes Answer(const Bytes& request, rtc::StunClass nClass = rtc::StunClass::Success,
                        int nCode = 0, bool bFingerprint = true)
    {
        rtc::StunMessage message;
        const char* pszReason = nullptr;
        EXPECT_TRUE(rtc::ParseStun(request.data(), request.size(), &message, &pszReason)) << pszReason;
        uint8_t rgb[128];
        rtc::StunWriter writer(rgb, sizeof(rgb));
        writer.Begin(message.nMethod, nClass, message.rgbTransactionId);
        if (nClass == rtc::StunClass::Error)
            writer.AddErrorCode(nCode, "");
        else
            writer.AddXorMappedAddress(c_mapped);
        if (bFingerprint)
            writer.AddFingerprint();
        EXPECT_FALSE(writer.Failed());
        return Bytes(rgb, rgb + writer.Size());
    }

    bool Receive(const Bytes& bytes, const rtc::NetAddress& from = c_server)
    {
        return client.Receive(bytes.data(), bytes.size(), from);
    }

    rtc::StunBindingClient client;
};

TEST_F(StunBindingTest, AnswerGivesTheMappedAddress)
{
    const Bytes request = Poll(5000);
    rtc::StunMessage message;
    const char* pszReason = nullptr;
    ASSERT_TRUE(rtc::ParseStun(request.data(), request.size(), &message, &pszReason)) << pszReason;
    EXPECT_EQ(rtc::c_nStunBinding, message.nMethod);
    EXPECT_EQ(rtc::StunClass::Request, message.nClass);
    EXPECT_TRUE(rtc::CheckFingerprint(message));
    EXPECT_EQ(nullptr, message.Find(rtc::c_nStunUsername)) << "no credentials";

    EXPECT_TRUE(Receive(Answer(request, rtc::StunClass::Success, 0, false)));
    EXPECT_EQ(rtc::StunBindingState::Done, client.State());
    EXPECT_TRUE(client.Mapped() == c_mapped);
    EXPECT_EQ("", client.Error());
    EXPECT_EQ(UINT64_MAX, client.NextPollMs());
    EXPECT_TRUE(Poll(5500).empty());
    EXPECT_FALSE(Receive(Answer(request))) << "nothing after the end";
}

// What is not the server's answer to our request changes nothing; the
// real answer still counts after it.
TEST_F(StunBindingTest, WhatIsNotTheAnswerIsIgnored)
{
    const Bytes request = Poll(5000);
    Bytes otherId = Answer(request);
    otherId[19] ^= 1;
    Bytes badFingerprint = Answer(request);
    badFingerprint.back() ^= 1;
    const Bytes asked = Answer(request, rtc::StunClass::Request);
    const uint8_t rgbOther[4] = {198, 51, 100, 3};
    const struct
    {
        const char* pszName;
        Bytes bytes;
        rtc::NetAddress from;
    } rgCases[] = {
        {"from another address", Answer(request), rtc::NetAddress::V4(rgbOther, 3478)},
        {"from another port", Answer(request), rtc::NetAddress::V4(c_rgbServer, 3479)},
        {"another transaction", otherId, c_server},
        {"a wrong fingerprint", badFingerprint, c_server},
        {"a request", asked, c_server},
        {"not STUN", Bytes(request.begin(), request.end() - 1), c_server},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        EXPECT_FALSE(Receive(test.bytes, test.from));
        EXPECT_EQ(rtc::StunBindingState::Running, client.State());
    }
    EXPECT_TRUE(Receive(Answer(request)));
    EXPECT_EQ(rtc::StunBindingState::Done, client.State());
    EXPECT_TRUE(client.Mapped() == c_mapped);
}

TEST_F(StunBindingTest, ErrorAnswersFailWithTheirCode)
{
    const Bytes request = Poll(5000);
    EXPECT_TRUE(Receive(Answer(request, rtc::StunClass::Error, 400)));
    EXPECT_EQ(rtc::StunBindingState::Failed, client.State());
    EXPECT_EQ("error 400 Bad Request", client.Error());
    EXPECT_EQ(UINT64_MAX, client.NextPollMs());
}

// Sent at 0, 125, 375 and 875 ms, the same request each time; given up at
// 1000 ms and not before.
TEST_F(StunBindingTest, SilenceEndsAtTheDeadline)
{
    std::vector<uint64_t> sendTimes;
    Bytes first;
    uint64_t nNowMs = 5000;
    while (nNowMs < 6000)
    {
        const Bytes request = Poll(nNowMs);
        if (!request.empty())
        {
            if (first.empty())
                first = request;
            EXPECT_EQ(first, request);
            sendTimes.push_back(nNowMs);
        }
        ASSERT_GT(client.NextPollMs(), nNowMs);
        nNowMs = client.NextPollMs();
    }
    EXPECT_EQ((std::vector<uint64_t>{5000, 5125, 5375, 5875}), sendTimes);
    EXPECT_EQ(6000u, nNowMs);
    EXPECT_TRUE(Poll(5999).empty());
    EXPECT_EQ(rtc::StunBindingState::Running, client.State());
    EXPECT_TRUE(Poll(6000).empty());
    EXPECT_EQ(rtc::StunBindingState::Failed, client.State());
    EXPECT_EQ("no answer in 1000 ms", client.Error());
    EXPECT_EQ(4u, client.SendCount());
    EXPECT_EQ(UINT64_MAX, client.NextPollMs());
}

} // namespace
