#include <gtest/gtest.h>

#include "rtc/SourceRateLimit.h"

namespace {

rtc::NetAddress Source(uint8_t nLast, uint16_t nPort = 5000)
{
    const uint8_t rgb[4] = {10, 0, 0, nLast};
    return rtc::NetAddress::V4(rgb, nPort);
}

// How many of nTries requests at one instant are allowed.
int Allowed(rtc::SourceRateLimit& limit, const rtc::NetAddress& source, int nTries, uint64_t nNowMs)
{
    int n = 0;
    for (int i = 0; i < nTries; ++i)
        n += limit.Allow(source, nNowMs) ? 1 : 0;
    return n;
}

TEST(SourceRateLimit, BurstThenRatePerAddress)
{
    rtc::SourceRateLimit limit(50, 10);
    EXPECT_EQ(10, Allowed(limit, Source(1), 100, 1000));
    // Another source, and another port of the same host, have buckets of their own.
    EXPECT_EQ(10, Allowed(limit, Source(2), 100, 1000));
    EXPECT_EQ(10, Allowed(limit, Source(1, 5001), 100, 1000));
    // 50 per second: one every 20 ms, and no more than the burst after a pause.
    EXPECT_EQ(0, Allowed(limit, Source(1), 1, 1019));
    EXPECT_EQ(1, Allowed(limit, Source(1), 5, 1020));
    EXPECT_EQ(5, Allowed(limit, Source(1), 5, 1120));
    EXPECT_EQ(10, Allowed(limit, Source(1), 100, 100000));
    // A clock that goes back gives nothing.
    EXPECT_EQ(0, Allowed(limit, Source(1), 1, 500));
}

TEST(SourceRateLimit, FullTableGivesWayToTheLeastRecentSource)
{
    rtc::SourceRateLimit limit(1, 2);
    EXPECT_EQ(2, Allowed(limit, Source(0), 2, 0));
    for (size_t i = 1; i < rtc::SourceRateLimit::c_cSourcesMax; ++i)
        ASSERT_TRUE(limit.Allow(Source(static_cast<uint8_t>(i), static_cast<uint16_t>(6000 + i)), 10));
    // Source 0, whose bucket is empty, is the least recent: a newcomer takes
    // its place, and 0 comes back with a full bucket.
    EXPECT_TRUE(limit.Allow(Source(200, 9), 20));
    EXPECT_EQ(2, Allowed(limit, Source(0), 5, 30));
}

} // namespace
