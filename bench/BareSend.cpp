// The reference of the peers held at once: the datagrams that a peer of the
// server received, at the same times and of the same sizes, to as many
// ports of 127.0.0.1 as there were peers, from one non-blocking socket with
// the server's send buffer, with plain sendto: no SRTP, no sessions, no
// graph. What its receivers lose is the platform's share of the peers'.
// Usage: BareSend SCHEDULE (SendSchedule.h); the exit code is 0 when every
// datagram went, 1 when some were refused (they count as lost), 2 when it
// could not start.
#include <winsock2.h>

#include <cstdio>
#include <vector>

#include "rtc/RtpPacketizer.h"

#include "BenchClock.h"
#include "SendSchedule.h"

int wmain(int argc, wchar_t** argv)
{
    CSendSchedule schedule;
    std::string strReason;
    if (argc != 2 || !ReadSchedule(argv[1], &schedule, &strReason))
    {
        std::printf("BareSend: %s\n", argc != 2 ? "usage: BareSend SCHEDULE" : strReason.c_str());
        return 2;
    }
    WSADATA wsaData;
    if (::WSAStartup(MAKEWORD(2, 2), &wsaData) != 0)
        return 2;
    SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    int cbBuffer = 4 * 1024 * 1024; // as the server's
    u_long nOn = 1;
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    if (s == INVALID_SOCKET ||
        ::setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&cbBuffer), sizeof(cbBuffer)) != 0 ||
        ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0 ||
        ::ioctlsocket(s, FIONBIO, &nOn) != 0)
    {
        ::WSACleanup();
        return 2;
    }
    std::vector<sockaddr_in> to(schedule.ports.size());
    for (size_t i = 0; i < to.size(); ++i)
    {
        to[i].sin_family = AF_INET;
        to[i].sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to[i].sin_port = htons(schedule.ports[i]);
    }

    std::vector<uint8_t> datagram(2048, 0);
    uint16_t rgnSequence[2] = {0, 0};
    uint32_t nRefused = 0;
    double dStartMs = NowMs();
    for (const CSendSample& sample : schedule.samples)
    {
        while (NowMs() - dStartMs < sample.dOffsetMs - 1.0)
            ::Sleep(1);
        // As the server sends a sample: all of its datagrams to one peer,
        // then to the next.
        rtc::RtpHeader header;
        header.nPayloadType = sample.bVideo ? c_nScheduleVideoType : c_nScheduleAudioType;
        header.nSsrc = sample.bVideo ? 1 : 2;
        header.nTimestamp = static_cast<uint32_t>(sample.dOffsetMs * 90.0);
        uint16_t& nSequence = rgnSequence[sample.bVideo ? 0 : 1];
        for (const sockaddr_in& addr : to)
        {
            for (size_t i = 0; i < sample.sizes.size(); ++i)
            {
                header.nSequence = static_cast<uint16_t>(nSequence + i);
                header.bMarker = sample.bVideo && i + 1 == sample.sizes.size();
                rtc::WriteRtpHeader(header, datagram.data());
                if (::sendto(s, reinterpret_cast<const char*>(datagram.data()), static_cast<int>(sample.sizes[i]), 0,
                             reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == SOCKET_ERROR)
                    ++nRefused;
            }
        }
        nSequence = static_cast<uint16_t>(nSequence + sample.sizes.size());
    }
    ::closesocket(s);
    ::WSACleanup();
    return nRefused == 0 ? 0 : 1;
}
