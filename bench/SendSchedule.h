// What the reference of the peer load sends: the datagrams that one peer
// received in the measured window, grouped into the samples they carried,
// at their times, to as many ports as there were peers. The benchmark
// writes it from its recording; BareSend reads it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One datagram as the peer received it.
struct CArrival
{
    double dMs;          // on the benchmark's clock
    bool bVideo;
    uint32_t nTimestamp; // RTP's: the datagrams of one sample share it
    uint32_t cb;         // as it came, SRTP's tag included
};

// One sample: its datagrams' sizes, and its time from the first sample's.
struct CSendSample
{
    double dOffsetMs = 0.0;
    bool bVideo = false;
    std::vector<uint32_t> sizes;
};

struct CSendSchedule
{
    std::vector<USHORT> ports;
    std::vector<CSendSample> samples;
};

// The datagrams of one stream with one timestamp, in a row, are a sample.
std::vector<CSendSample> SamplesOf(const std::vector<CArrival>& arrivals);

// Text: "ports P...", then "v|a OFFSET SIZE..." a sample per line.
bool WriteSchedule(const std::wstring& path, const CSendSchedule& schedule);
// Refuses, with the reason, what WriteSchedule would not have written.
bool ReadSchedule(const std::wstring& path, CSendSchedule* pSchedule, std::string* pReason);

// The payload types that the reference's datagrams carry, which its
// receivers tell the streams by.
const uint8_t c_nScheduleVideoType = 96;
const uint8_t c_nScheduleAudioType = 111;
