// One select waits on every receiver: the sets hold them all (the server
// takes 100 peers at most).
#define FD_SETSIZE 512
#include "PeerPump.h"

#include "BenchClock.h"

namespace {

rtc::NetAddress ToNetAddress(const sockaddr_in& addr)
{
    return rtc::NetAddress::V4(reinterpret_cast<const uint8_t*>(&addr.sin_addr), ntohs(addr.sin_port));
}

// Waits up to dwWaitMs for any socket to be readable, then calls
// onReadable with the index of each that is; answers how many were.
size_t SelectReadable(const std::vector<SOCKET>& sockets, DWORD dwWaitMs,
                      const std::function<void(size_t)>& onReadable)
{
    fd_set read;
    FD_ZERO(&read);
    for (SOCKET s : sockets)
    {
        if (s != INVALID_SOCKET)
            FD_SET(s, &read);
    }
    if (read.fd_count == 0)
    {
        ::Sleep(dwWaitMs);
        return 0;
    }
    timeval tv = {0, static_cast<long>(dwWaitMs) * 1000};
    if (::select(0, &read, nullptr, nullptr, &tv) <= 0)
        return 0;
    for (size_t i = 0; i < sockets.size(); ++i)
    {
        if (sockets[i] != INVALID_SOCKET && FD_ISSET(sockets[i], &read))
            onReadable(i);
    }
    return read.fd_count;
}

// Every datagram waiting on the socket.
template <class F>
void ReadDry(SOCKET s, F onDatagram)
{
    for (;;)
    {
        alignas(8) uint8_t rgb[2048];
        sockaddr_in from = {};
        int cbFrom = sizeof(from);
        int cb = ::recvfrom(s, reinterpret_cast<char*>(rgb), sizeof(rgb), 0, reinterpret_cast<sockaddr*>(&from),
                            &cbFrom);
        if (cb == SOCKET_ERROR && ::WSAGetLastError() == WSAECONNRESET)
            continue;
        if (cb <= 0)
            return;
        onDatagram(rgb, static_cast<size_t>(cb), from);
    }
}

CReceived Tally(const CRtcTestStream& video, const CRtcTestStream& audio)
{
    CReceived received;
    received.nPackets = video.nPackets + audio.nPackets;
    received.nLost = video.Lost() + audio.Lost();
    received.nFrames = video.nFrames;
    return received;
}

} // namespace

bool CPeerPump::Make(size_t nPeers)
{
    for (size_t i = 0; i < nPeers; ++i)
    {
        m_peers.push_back(std::make_unique<CRtcUdpClient>());
        m_locations.emplace_back();
        if (!m_peers.back()->IsOpen())
            return false;
    }
    return true;
}

bool CPeerPump::Offer(size_t i, USHORT nPort, const std::string& strWhepPath, CWhepExchange* pExchange)
{
    m_nPort = nPort;
    if (!m_peers[i]->Open(nPort, strWhepPath, pExchange))
        return false;
    m_locations[i] = pExchange->location;
    return true;
}

bool CPeerPump::PumpUntil(const std::function<bool()>& condition, DWORD dwTimeoutMs, DWORD dwWaitMs)
{
    ULONGLONG nEnd = ::GetTickCount64() + dwTimeoutMs;
    std::vector<SOCKET> sockets;
    for (const auto& spPeer : m_peers)
        sockets.push_back(spPeer->Socket());
    for (;;)
    {
        if (condition())
            return true;
        ULONGLONG nNow = ::GetTickCount64();
        if (nNow >= nEnd)
            return false;
        for (const auto& spPeer : m_peers)
            spPeer->Service(nNow);
        m_nLastReadable = SelectReadable(sockets, dwWaitMs, [&](size_t i) {
            CRtcTestClient& client = m_peers[i]->Client();
            bool bRecord = m_bRecording && i == 0;
            ReadDry(sockets[i], [&](const uint8_t* pb, size_t cb, const sockaddr_in& from) {
                uint32_t nVideo = client.Video().nPackets;
                uint32_t nAudio = client.Audio().nPackets;
                client.Receive(pb, cb, ToNetAddress(from), ::GetTickCount64());
                bool bVideo = client.Video().nPackets != nVideo;
                if (bRecord && (bVideo || client.Audio().nPackets != nAudio))
                    Record(bVideo ? client.Video() : client.Audio(), bVideo, cb);
            });
            m_peers[i]->Flush();
        });
    }
}

bool CPeerPump::Drain(DWORD dwTimeoutMs)
{
    m_nLastReadable = m_peers.size();
    return PumpUntil([&] { return m_nLastReadable == 0; }, dwTimeoutMs, 0);
}

size_t CPeerPump::Connected() const
{
    size_t n = 0;
    for (const auto& spPeer : m_peers)
        n += spPeer->Client().Connected() ? 1 : 0;
    return n;
}

std::vector<CReceived> CPeerPump::Counts() const
{
    std::vector<CReceived> counts;
    for (const auto& spPeer : m_peers)
        counts.push_back(Tally(spPeer->Client().Video(), spPeer->Client().Audio()));
    return counts;
}

void CPeerPump::StartRecording()
{
    m_recording.clear();
    m_rgbRecorded[0] = m_rgbRecorded[1] = false;
    m_bRecording = true;
}

void CPeerPump::Record(const CRtcTestStream& stream, bool bVideo, size_t cb)
{
    CArrival arrival = {NowMs(), bVideo, stream.nLastTimestamp, static_cast<uint32_t>(cb)};
    uint16_t& nLast = m_rgnRecordedSequence[bVideo ? 0 : 1];
    bool& bRecorded = m_rgbRecorded[bVideo ? 0 : 1];
    uint16_t nStep = static_cast<uint16_t>(stream.nLastSequence - nLast);
    if (bRecorded && nStep >= 0x8000)
        return; // late: it was recorded in its gap
    // What the server sent and the peer lost goes into the recording as
    // the datagram after it, so that the reference sends as many.
    for (uint16_t i = 1; bRecorded && i < nStep; ++i)
        m_recording.push_back(arrival);
    m_recording.push_back(arrival);
    nLast = stream.nLastSequence;
    bRecorded = true;
}

std::vector<CArrival> CPeerPump::TakeRecording()
{
    m_bRecording = false;
    std::vector<CArrival> recording;
    recording.swap(m_recording);
    return recording;
}

void CPeerPump::Leave()
{
    for (const std::string& location : m_locations)
    {
        if (!location.empty())
            WhepDelete(m_nPort, location);
    }
    m_locations.clear();
    m_peers.clear();
}

CPlainPump::CPlainPump(size_t nCount) : m_sockets(nCount)
{
    for (CSocket& socket : m_sockets)
    {
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int cbAddr = sizeof(addr);
        u_long nOn = 1;
        socket.s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (socket.s == INVALID_SOCKET || ::bind(socket.s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
            ::getsockname(socket.s, reinterpret_cast<sockaddr*>(&addr), &cbAddr) != 0 ||
            ::ioctlsocket(socket.s, FIONBIO, &nOn) != 0)
        {
            if (socket.s != INVALID_SOCKET)
                ::closesocket(socket.s);
            socket.s = INVALID_SOCKET;
            continue;
        }
        socket.nPort = ntohs(addr.sin_port);
    }
}

CPlainPump::~CPlainPump()
{
    for (const CSocket& socket : m_sockets)
    {
        if (socket.s != INVALID_SOCKET)
            ::closesocket(socket.s);
    }
}

bool CPlainPump::IsOpen() const
{
    for (const CSocket& socket : m_sockets)
    {
        if (socket.s == INVALID_SOCKET)
            return false;
    }
    return true;
}

std::vector<USHORT> CPlainPump::Ports() const
{
    std::vector<USHORT> ports;
    for (const CSocket& socket : m_sockets)
        ports.push_back(socket.nPort);
    return ports;
}

bool CPlainPump::PumpUntil(const std::function<bool()>& condition, DWORD dwTimeoutMs, DWORD dwWaitMs)
{
    ULONGLONG nEnd = ::GetTickCount64() + dwTimeoutMs;
    std::vector<SOCKET> sockets;
    for (const CSocket& socket : m_sockets)
        sockets.push_back(socket.s);
    for (;;)
    {
        if (condition())
            return true;
        if (::GetTickCount64() >= nEnd)
            return false;
        SelectReadable(sockets, dwWaitMs, [&](size_t i) {
            CSocket& socket = m_sockets[i];
            ReadDry(socket.s, [&](const uint8_t* pb, size_t cb, const sockaddr_in&) {
                rtc::RtpHeader header;
                size_t cbHeader = 0;
                if (!rtc::ReadRtpHeader(pb, cb, &header, &cbHeader))
                    return;
                bool bVideo = header.nPayloadType == c_nScheduleVideoType;
                (bVideo ? socket.video : socket.audio).Count(header, bVideo && header.bMarker);
                m_dLastMs = NowMs();
                if (m_dFirstMs == 0.0)
                    m_dFirstMs = m_dLastMs;
            });
        });
    }
}

std::vector<CReceived> CPlainPump::Counts() const
{
    std::vector<CReceived> counts;
    for (const CSocket& socket : m_sockets)
        counts.push_back(Tally(socket.video, socket.audio));
    return counts;
}
