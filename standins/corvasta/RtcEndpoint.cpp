#include "RtcEndpoint.h"
#include "StatusPage.h"

#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cstdio>

namespace {

const size_t cbMaxReceive = 2048;
// Datagrams read in one turn, so that HTTP clients are served meanwhile.
const int nMaxReadsPerTurn = 256;

ULONGLONG NowMs()
{
    return ::GetTickCount64();
}

rtc::NetAddress ToNetAddress(const sockaddr_in& addr)
{
    return rtc::NetAddress::V4(reinterpret_cast<const uint8_t*>(&addr.sin_addr), ntohs(addr.sin_port));
}

sockaddr_in ToSockAddr(const rtc::NetAddress& address)
{
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    memcpy(&addr.sin_addr, address.rgbAddress, 4);
    addr.sin_port = htons(address.nPort);
    return addr;
}

std::string RandomHex(size_t cb)
{
    std::vector<uint8_t> bytes(cb);
    rtc::CryptoRandom(bytes.data(), bytes.size());
    std::string str;
    char sz[3];
    for (uint8_t b : bytes)
    {
        std::snprintf(sz, sizeof(sz), "%02x", b);
        str += sz;
    }
    return str;
}

// Every IPv4 address of the machine's interfaces that are up.
std::vector<in_addr> MachineAddresses()
{
    std::vector<in_addr> addresses;
    ULONG cb = 16 * 1024;
    std::vector<BYTE> buffer(cb);
    auto* pAdapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    if (::GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                               nullptr, pAdapters, &cb) != NO_ERROR)
        return addresses;
    for (auto* pAdapter = pAdapters; pAdapter != nullptr; pAdapter = pAdapter->Next)
    {
        if (pAdapter->OperStatus != IfOperStatusUp)
            continue;
        for (auto* pUnicast = pAdapter->FirstUnicastAddress; pUnicast != nullptr; pUnicast = pUnicast->Next)
        {
            if (pUnicast->Address.lpSockaddr->sa_family == AF_INET)
                addresses.push_back(reinterpret_cast<sockaddr_in*>(pUnicast->Address.lpSockaddr)->sin_addr);
        }
    }
    return addresses;
}

} // namespace

CRtcEndpoint::CRtcEndpoint()
    : m_socket(INVALID_SOCKET), m_bWinsock(false), m_pEvents(nullptr), m_video(rtc::EMediaCodec::None),
      m_audio(rtc::EMediaCodec::None), m_nConnected(0)
{
}

CRtcEndpoint::~CRtcEndpoint()
{
    Stop();
}

HRESULT CRtcEndpoint::Start(const CServerUrl& url, rtc::EMediaCodec video, rtc::EMediaCodec audio,
                            const std::string& strVideoUnsent, const std::string& strAudioUnsent,
                            IRtcEndpointEvents* pEvents)
{
    WSADATA wsaData;
    int nStartup = ::WSAStartup(MAKEWORD(2, 2), &wsaData);
    if (nStartup != 0)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(nStartup));
    m_bWinsock = true;
    sockaddr_in addr;
    HRESULT hr = url.GetBindAddress(&addr);
    if (FAILED(hr))
    {
        Stop();
        return hr;
    }
    std::string strReason;
    m_spCertificate = rtc::DtlsCertificate::Generate(&strReason);
    if (m_spCertificate == nullptr)
    {
        Stop();
        return E_FAIL;
    }

    m_socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (m_socket == INVALID_SOCKET)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(::WSAGetLastError()));
    u_long nOn = 1;
    // Bursts of a key frame to many peers must not be dropped by a small
    // buffer before they leave.
    int cbBuffer = 4 * 1024 * 1024;
    ::setsockopt(m_socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&cbBuffer), sizeof(cbBuffer));
    if (::bind(m_socket, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::ioctlsocket(m_socket, FIONBIO, &nOn) != 0)
    {
        int nErr = ::WSAGetLastError();
        Stop();
        return nErr == WSAEACCES ? HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) : HRESULT_FROM_WIN32(static_cast<DWORD>(nErr));
    }

    std::vector<in_addr> addresses;
    if (addr.sin_addr.s_addr == htonl(INADDR_ANY))
        addresses = MachineAddresses();
    else
        addresses.push_back(addr.sin_addr);
    m_candidates.clear();
    m_strAddress = "0.0.0.0";
    for (size_t i = 0; i < addresses.size(); ++i)
    {
        sockaddr_in host = addr;
        host.sin_addr = addresses[i];
        std::string strHost = rtc::IpText(ToNetAddress(host));
        if (i == 0)
            m_strAddress = strHost;
        // Host candidates, the first preferred (RFC 8445, 5.1.2).
        uint32_t nPriority = (126u << 24) | (static_cast<uint32_t>(65535 - i) << 8) | 255u;
        m_candidates.push_back(std::to_string(i + 1) + " 1 udp " + std::to_string(nPriority) + " " + strHost + " " +
                               std::to_string(ntohs(addr.sin_port)) + " typ host");
    }
    m_local = ToNetAddress(addr);
    m_video = video;
    m_audio = audio;
    m_pEvents = pEvents;
    m_nConnected = 0;
    m_strVideoUnsent = strVideoUnsent;
    m_strAudioUnsent = strAudioUnsent;
    m_rejections.clear();
    return S_OK;
}

void CRtcEndpoint::Stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& spSession : m_sessions)
        spSession->m_spPeer->Close("the server stopped");
    m_sessions.clear();
    m_nConnected = 0;
    if (m_socket != INVALID_SOCKET)
    {
        ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
    if (m_bWinsock)
    {
        ::WSACleanup();
        m_bWinsock = false;
    }
}

void CRtcEndpoint::SendTo(const rtc::NetAddress& to, const uint8_t* pb, size_t cb)
{
    if (to.nFamily != 4)
        return;
    sockaddr_in addr = ToSockAddr(to);
    ::sendto(m_socket, reinterpret_cast<const char*>(pb), static_cast<int>(cb), 0,
             reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
}

CRtcEndpoint::CSession* CRtcEndpoint::FindSession(const uint8_t* pb, size_t cb, const rtc::NetAddress& from)
{
    for (const auto& spSession : m_sessions)
    {
        if (spSession->m_spPeer->Knows(from))
            return spSession.get();
    }
    // A check from an address no session knows yet names its session.
    std::string_view ufrag;
    if (!rtc::IceLocalUfragOf(pb, cb, &ufrag))
        return nullptr;
    for (const auto& spSession : m_sessions)
    {
        if (spSession->m_strUfrag == ufrag)
            return spSession.get();
    }
    return nullptr;
}

void CRtcEndpoint::DatagramSockets(std::vector<SOCKET>* pSockets)
{
    if (m_socket != INVALID_SOCKET)
        pSockets->push_back(m_socket);
}

void CRtcEndpoint::OnDatagrams(SOCKET s)
{
    if (s != m_socket)
        return;
    CFired fired;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        uint8_t rgb[cbMaxReceive];
        for (int i = 0; i < nMaxReadsPerTurn; ++i)
        {
            sockaddr_in from = {};
            int cbFrom = sizeof(from);
            int cb = ::recvfrom(m_socket, reinterpret_cast<char*>(rgb), sizeof(rgb), 0,
                                reinterpret_cast<sockaddr*>(&from), &cbFrom);
            if (cb == SOCKET_ERROR)
            {
                // A datagram too long for any of ours, or an ICMP port
                // unreachable of a peer gone: the next one may be fine.
                int nErr = ::WSAGetLastError();
                if (nErr == WSAEMSGSIZE || nErr == WSAECONNRESET)
                    continue;
                break;
            }
            if (cb <= 0 || from.sin_family != AF_INET)
                continue;
            rtc::NetAddress address = ToNetAddress(from);
            CSession* pSession = FindSession(rgb, static_cast<size_t>(cb), address);
            if (pSession == nullptr)
                continue;
            bool bWasConnected = pSession->m_spPeer->State() == rtc::PeerState::Connected;
            rtc::PeerEvents events;
            pSession->m_spPeer->Receive(rgb, static_cast<size_t>(cb), address, NowMs(), &events);
            Apply(bWasConnected, events, &fired);
        }
        RemoveEnded();
    }
    Fire(fired);
}

void CRtcEndpoint::Apply(bool bWasConnected, const rtc::PeerEvents& events, CFired* pFired)
{
    if (events.bConnected && !bWasConnected)
        pFired->counts.emplace_back(++m_nConnected, true);
    if (events.bEnded && bWasConnected)
        pFired->counts.emplace_back(--m_nConnected, false);
    pFired->bKeyFrame = pFired->bKeyFrame || events.bKeyFrameRequest;
}

void CRtcEndpoint::RemoveEnded()
{
    m_sessions.erase(std::remove_if(m_sessions.begin(), m_sessions.end(),
                                    [](const auto& sp) { return sp->m_spPeer->HasEnded(); }),
                     m_sessions.end());
}

void CRtcEndpoint::Fire(const CFired& fired)
{
    for (const auto& count : fired.counts)
        m_pEvents->OnPeerCount(count.first, count.second);
    if (fired.bKeyFrame)
        m_pEvents->OnKeyFrameRequest();
}

DWORD CRtcEndpoint::OnDatagramTimer()
{
    CFired fired;
    ULONGLONG nNext = UINT64_MAX;
    ULONGLONG nNow = NowMs();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& spSession : m_sessions)
        {
            rtc::RtcPeer& peer = *spSession->m_spPeer;
            bool bWasConnected = peer.State() == rtc::PeerState::Connected;
            rtc::PeerEvents events;
            if (!bWasConnected && nNow - spSession->m_nCreatedMs > nConnectTimeoutMs)
            {
                peer.Close("the client did not connect within 30 s");
                events.bEnded = true;
            }
            else if (peer.NextTimerMs() <= nNow)
                peer.OnTimer(nNow, &events);
            Apply(bWasConnected, events, &fired);
            nNext = std::min<ULONGLONG>(nNext, peer.NextTimerMs());
        }
        RemoveEnded();
    }
    Fire(fired);
    if (nNext == UINT64_MAX)
        return 1000;
    return nNext <= nNow ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(nNext - nNow, 1000));
}

bool CRtcEndpoint::TakeAnswer(uint64_t, CWhepAnswer*)
{
    return false;
}

void CRtcEndpoint::Abandon(uint64_t)
{
}

CWhepAnswer CRtcEndpoint::Offer(const std::string& strSdp)
{
    rtc::SdpSession offer;
    std::string strReason;
    if (!rtc::ParseSdp(strSdp.data(), strSdp.size(), &offer, &strReason) ||
        !rtc::CheckWebRtcOffer(offer, &strReason))
        return {400, std::string(), "the offer is refused: " + strReason};

    rtc::AnswerParameters parameters;
    parameters.iceUfrag = rtc::RandomIceText(8);
    parameters.icePwd = rtc::RandomIceText(24);
    parameters.fingerprint = m_spCertificate->FingerprintText();
    parameters.candidates = m_candidates;
    parameters.connectionAddress = m_strAddress;
    parameters.nPort = m_local.nPort;
    parameters.videoCodec = m_video;
    parameters.audioCodec = m_audio;
    parameters.videoAbsence = m_strVideoUnsent;
    parameters.audioAbsence = m_strAudioUnsent;
    parameters.nVideoSsrc = rtc::RandomWord();
    parameters.nAudioSsrc = rtc::RandomWord();
    parameters.cname = "corvasta";
    parameters.nSessionId = rtc::RandomWord();
    rtc::SdpAnswer answer;
    if (!rtc::MakeSdpAnswer(offer, parameters, &answer, &strReason))
        return {400, std::string(), strReason};

    std::vector<std::string> rejections;
    rtc::PeerConfig config = rtc::MakePeerConfig(offer, parameters, answer, &rejections);

    auto spSession = std::make_unique<CSession>();
    spSession->m_strId = RandomHex(16);
    spSession->m_strUfrag = parameters.iceUfrag;
    spSession->m_nCreatedMs = NowMs();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_socket == INVALID_SOCKET)
        return {503, std::string(), "the server is stopping"};
    if (m_sessions.size() >= nMaxPeers)
        return {503, std::string(), "the server holds " + std::to_string(nMaxPeers) + " peers, its most"};
    rtc::IPeerOutput& output = *this;
    spSession->m_spPeer = std::make_unique<rtc::RtcPeer>(config, *m_spCertificate, m_local, output, NowMs());
    m_rejections = rejections;
    std::string strId = spSession->m_strId;
    m_sessions.push_back(std::move(spSession));
    return {201, strId, answer.text};
}

CWhepAnswer CRtcEndpoint::End(const std::string& strSession)
{
    CFired fired;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = std::find_if(m_sessions.begin(), m_sessions.end(),
                               [&](const auto& sp) { return sp->m_strId == strSession; });
        if (it == m_sessions.end())
            return {404, std::string(), "no such session"};
        bool bWasConnected = (*it)->m_spPeer->State() == rtc::PeerState::Connected;
        (*it)->m_spPeer->Close("the client ended the session");
        rtc::PeerEvents events;
        events.bEnded = true;
        Apply(bWasConnected, events, &fired);
        RemoveEnded();
    }
    Fire(fired);
    return {200, std::string(), "the session ended"};
}

void CRtcEndpoint::Send(EMediaKind eKind, const BYTE* pData, UINT cbData, LONGLONG llStart, LONGLONG llArrival)
{
    UINT nPeers = 0;
    UINT nPackets = 0;
    UINT cbSent = 0;
    LONGLONG llMicroseconds = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ULONGLONG nNow = NowMs();
        for (const auto& spSession : m_sessions)
        {
            rtc::RtcPeer& peer = *spSession->m_spPeer;
            uint32_t nBefore = 0;
            uint64_t cbBefore = 0;
            peer.SentTotals(&nBefore, &cbBefore);
            bool bSent = eKind == eMediaVideo ? peer.SendVideo(pData, cbData, llStart, nNow)
                                              : peer.SendAudio(pData, cbData, llStart, nNow);
            if (!bSent)
                continue;
            uint32_t nAfter = 0;
            uint64_t cbAfter = 0;
            peer.SentTotals(&nAfter, &cbAfter);
            ++nPeers;
            nPackets += nAfter - nBefore;
            cbSent += static_cast<UINT>(cbAfter - cbBefore);
            llMicroseconds += TicksToMicroseconds(CurrentTicks() - llArrival);
        }
    }
    if (nPeers > 0)
        m_pEvents->OnRtpSent(eKind, nPeers, nPackets, cbSent, llMicroseconds);
}

bool CRtcEndpoint::HasPeers() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nConnected > 0;
}

std::string CRtcEndpoint::PeersJson() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string strJson = "[";
    for (const auto& spSession : m_sessions)
    {
        rtc::PeerFigures figures = spSession->m_spPeer->Figures();
        if (strJson.size() > 1)
            strJson += ",";
        strJson += "{\"state\":" + JsonString(rtc::PeerStateName(figures.state)) +
                   ",\"pair\":" + JsonString(figures.pair) +
                   ",\"packetsSent\":" + std::to_string(figures.nPacketsSent) +
                   ",\"packetsLost\":" + std::to_string(figures.nPacketsLost) +
                   ",\"rttMs\":" + std::to_string(figures.nRttMs) +
                   ",\"jitterMs\":" + std::to_string(figures.nJitterMs) +
                   ",\"nacks\":" + std::to_string(figures.nNacks) +
                   ",\"keyFrameRequests\":" + std::to_string(figures.nKeyFrameRequests) + "}";
    }
    return strJson + "]";
}

std::string CRtcEndpoint::Rejections() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Before any offer, what the graph cannot send; then the last answer's
    // rejections, which include it.
    std::vector<std::string> reasons = m_rejections;
    if (reasons.empty())
    {
        if (!m_strVideoUnsent.empty())
            reasons.push_back("video: " + m_strVideoUnsent);
        if (!m_strAudioUnsent.empty())
            reasons.push_back("audio: " + m_strAudioUnsent);
    }
    std::string str;
    for (const std::string& strReason : reasons)
        str += (str.empty() ? "" : "; ") + strReason;
    return str;
}
