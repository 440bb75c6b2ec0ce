#include "SendSchedule.h"

#include <cstdio>
#include <sstream>

namespace {

const size_t c_nMaxPorts = 200;
const size_t c_nMaxSamples = 100000;
const size_t c_nMaxPerSample = 1000;
const uint32_t c_cbMinDatagram = 12; // an RTP header
const uint32_t c_cbMaxDatagram = 2048;
const double c_dMaxOffsetMs = 600000.0;
const size_t c_cbMaxFile = 16 << 20;

} // namespace

std::vector<CSendSample> SamplesOf(const std::vector<CArrival>& arrivals)
{
    std::vector<CSendSample> samples;
    const CArrival* pLast = nullptr;
    for (const CArrival& arrival : arrivals)
    {
        if (pLast == nullptr || arrival.bVideo != pLast->bVideo || arrival.nTimestamp != pLast->nTimestamp)
        {
            samples.emplace_back();
            samples.back().dOffsetMs = arrival.dMs - arrivals.front().dMs;
            samples.back().bVideo = arrival.bVideo;
        }
        samples.back().sizes.push_back(arrival.cb);
        pLast = &arrival;
    }
    return samples;
}

bool WriteSchedule(const std::wstring& path, const CSendSchedule& schedule)
{
    FILE* pFile = _wfopen(path.c_str(), L"wb");
    if (pFile == nullptr)
        return false;
    std::fprintf(pFile, "ports");
    for (USHORT nPort : schedule.ports)
        std::fprintf(pFile, " %u", static_cast<unsigned>(nPort));
    std::fprintf(pFile, "\n");
    for (const CSendSample& sample : schedule.samples)
    {
        std::fprintf(pFile, "%c %.3f", sample.bVideo ? 'v' : 'a', sample.dOffsetMs);
        for (uint32_t cb : sample.sizes)
            std::fprintf(pFile, " %u", static_cast<unsigned>(cb));
        std::fprintf(pFile, "\n");
    }
    return std::fclose(pFile) == 0;
}

bool ReadSchedule(const std::wstring& path, CSendSchedule* pSchedule, std::string* pReason)
{
    *pSchedule = CSendSchedule();
    FILE* pFile = _wfopen(path.c_str(), L"rb");
    if (pFile == nullptr)
    {
        *pReason = "the schedule cannot be opened";
        return false;
    }
    std::string text;
    char rgch[65536];
    size_t cb;
    while ((cb = std::fread(rgch, 1, sizeof(rgch), pFile)) > 0 && text.size() <= c_cbMaxFile)
        text.append(rgch, cb);
    std::fclose(pFile);
    if (text.size() > c_cbMaxFile)
    {
        *pReason = "the schedule is larger than 16 MB";
        return false;
    }

    std::istringstream lines(text);
    std::string line;
    std::string word;
    if (!std::getline(lines, line) || line.compare(0, 6, "ports ") != 0)
    {
        *pReason = "the schedule does not start with its ports";
        return false;
    }
    std::istringstream ports(line.substr(6));
    unsigned long nPort = 0;
    while (ports >> nPort)
    {
        if (nPort == 0 || nPort > 65535 || pSchedule->ports.size() == c_nMaxPorts)
        {
            *pReason = "a port out of range, or more than 200";
            return false;
        }
        pSchedule->ports.push_back(static_cast<USHORT>(nPort));
    }
    if (!ports.eof() || pSchedule->ports.empty())
    {
        *pReason = "the ports line is not a list of ports";
        return false;
    }
    double dLastMs = 0.0;
    while (std::getline(lines, line))
    {
        std::istringstream fields(line);
        CSendSample sample;
        char chKind = 0;
        if (!(fields >> chKind >> sample.dOffsetMs) || (chKind != 'v' && chKind != 'a') ||
            !(sample.dOffsetMs >= dLastMs && sample.dOffsetMs <= c_dMaxOffsetMs))
        {
            *pReason = "a sample line without its kind, or out of order: " + line.substr(0, 40);
            return false;
        }
        sample.bVideo = chKind == 'v';
        dLastMs = sample.dOffsetMs;
        unsigned long cbDatagram = 0;
        while (fields >> cbDatagram)
        {
            if (cbDatagram < c_cbMinDatagram || cbDatagram > c_cbMaxDatagram ||
                sample.sizes.size() == c_nMaxPerSample)
            {
                *pReason = "a datagram size out of range, or too many in a sample: " + line.substr(0, 40);
                return false;
            }
            sample.sizes.push_back(static_cast<uint32_t>(cbDatagram));
        }
        if (!fields.eof() || sample.sizes.empty() || pSchedule->samples.size() == c_nMaxSamples)
        {
            *pReason = "a sample without sizes, or more than 100000 samples: " + line.substr(0, 40);
            return false;
        }
        pSchedule->samples.push_back(std::move(sample));
    }
    return true;
}
