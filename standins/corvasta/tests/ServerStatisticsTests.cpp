#include <gtest/gtest.h>

#include <climits>

#include "atldshow.h"

#include "standins/corvasta/ServerStatistics.h"

namespace {

TEST(ServerStatistics, CountsWhatHappened)
{
    CServerStatistics stats;
    stats.OnSample(eMediaVideo, 1000);
    stats.OnSample(eMediaVideo, 500);
    stats.OnSample(eMediaAudio, 40);
    stats.OnConnections(1, true);
    stats.OnConnections(2, true);
    stats.OnConnections(1, false);
    stats.OnKeyFrameRequest();
    // A frame to two peers in 2 + 2 packets, each peer's last 300 and 101
    // us after its arrival; a sound to one.
    stats.OnRtpSent(eMediaVideo, 2, 4, 1500, 300 + 101);
    stats.OnRtpSent(eMediaAudio, 1, 1, 40, 7);

    ServerStats record;
    memset(&record, 0xCC, sizeof(record));
    stats.Fill(State_Running, &record);
    EXPECT_EQ(sizeof(ServerStats), record.cbSize);
    EXPECT_EQ(static_cast<UINT32>(State_Running), record.nState);
    EXPECT_EQ(1u, record.nConnections);
    EXPECT_EQ(2u, record.nConnectionsTotal);
    EXPECT_EQ(2u, record.nVideoSamples);
    EXPECT_EQ(1u, record.nAudioSamples);
    EXPECT_EQ(1u, record.nKeyFrameRequests);
    EXPECT_EQ(3u, record.nPacks);
    EXPECT_EQ(1540, record.nBytes);
    EXPECT_EQ(5u, record.nPacksSent);
    EXPECT_EQ(1540, record.nBytesSent);
    EXPECT_EQ(200, record.nRtpTransferVid); // (300 + 101) / 2
    EXPECT_EQ(7, record.nRtpTransferAud);
    for (UINT32 nReserved : record.rgReserved)
        EXPECT_EQ(0u, nReserved);

    stats.Reset();
    stats.Fill(State_Stopped, &record);
    EXPECT_EQ(0u, record.nPacks);
    EXPECT_EQ(0, record.nBytes);
    EXPECT_EQ(0u, record.nConnectionsTotal);
    EXPECT_EQ(0, record.nRtpTransferVid);
}

TEST(ServerStatistics, ByteCountsStopAtTheLargestValue)
{
    CServerStatistics stats;
    for (int i = 0; i < 3; ++i)
    {
        stats.OnSample(eMediaVideo, 1000000000u);
        stats.OnRtpSent(eMediaVideo, 1, 1, 1000000000u, 1);
    }
    ServerStats record = {};
    stats.Fill(State_Running, &record);
    EXPECT_EQ(INT_MAX, record.nBytes);
    EXPECT_EQ(INT_MAX, record.nBytesSent);
}

} // namespace
