#include "RtcEndpoint.h"
#include "SocketAddress.h"

#include "rtc/Stun.h"

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

// A STUN request or response (RFC 7983's demultiplexing, then the class).
bool IsStunOfClass(const uint8_t* pb, size_t cb, bool bRequest)
{
    if (!rtc::LooksLikeStun(pb, cb))
        return false;
    rtc::StunClass nClass = rtc::StunClassOf(static_cast<uint16_t>((pb[0] << 8) | pb[1]));
    return bRequest ? nClass == rtc::StunClass::Request
                    : nClass == rtc::StunClass::Success || nClass == rtc::StunClass::Error;
}

// The query's iceTransportPolicy=relay: the client wants our relayed
// candidates alone.
bool AsksRelayOnly(const std::string& strQuery)
{
    size_t nStart = 0;
    while (nStart <= strQuery.size())
    {
        size_t nEnd = strQuery.find('&', nStart);
        if (nEnd == std::string::npos)
            nEnd = strQuery.size();
        if (strQuery.compare(nStart, nEnd - nStart, "iceTransportPolicy=relay") == 0)
            return true;
        nStart = nEnd + 1;
    }
    return false;
}

uint64_t RefusedChecks(const rtc::IceCounters& counters)
{
    uint64_t n = 0;
    for (rtc::IceDrop drop : {rtc::IceDrop::BadUsername, rtc::IceDrop::BadIntegrity, rtc::IceDrop::NoFingerprint,
                              rtc::IceDrop::Malformed})
        n += counters.rgcDropped[static_cast<size_t>(drop)];
    return n;
}

} // namespace

CRtcEndpoint::CRtcEndpoint()
    : m_socket(INVALID_SOCKET), m_bWinsock(false), m_pEvents(nullptr), m_relayBind(),
      m_video(rtc::EMediaCodec::None), m_audio(rtc::EMediaCodec::None), m_bGathered(false), m_nConnected(0),
      m_stunRate(nStunPerSecond, nStunBurst)
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
    m_hosts.clear();
    m_strAddress = "0.0.0.0";
    for (size_t i = 0; i < addresses.size(); ++i)
    {
        sockaddr_in host = addr;
        host.sin_addr = addresses[i];
        m_hosts.push_back(ToNetAddress(host));
        std::string strHost = rtc::IpText(m_hosts.back());
        if (i == 0)
            m_strAddress = strHost;
        // Host candidates, the first preferred (RFC 8445, 5.1.2).
        uint32_t nPriority = rtc::IceCandidatePriority(rtc::c_nIcePreferenceHost, static_cast<uint16_t>(65535 - i));
        m_candidates.push_back(std::to_string(i + 1) + " 1 udp " + std::to_string(nPriority) + " " + strHost + " " +
                               std::to_string(ntohs(addr.sin_port)) + " typ host");
    }
    m_local = ToNetAddress(addr);
    m_relayBind = addr;
    m_relayBind.sin_port = 0;
    m_video = video;
    m_audio = audio;
    m_pEvents = pEvents;
    m_strVideoUnsent = strVideoUnsent;
    m_strAudioUnsent = strAudioUnsent;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nConnected = 0;
    m_rejections.clear();
    m_outcomes.clear();
    m_bGathered = false;
    m_answers.clear();
    m_dropped = CDropCounts();
    return S_OK;
}

void CRtcEndpoint::Stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ULONGLONG nNow = NowMs();
    for (const auto& spSession : m_sessions)
        spSession->End("the server stopped", nNow);
    m_sessions.clear();
    m_answers.clear();
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

void CRtcEndpoint::SetIceServers(std::vector<CIceServerConfig> servers)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_iceServers = std::move(servers);
}

void CRtcEndpoint::DatagramSockets(std::vector<SOCKET>* pSockets)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_socket == INVALID_SOCKET)
        return;
    pSockets->push_back(m_socket);
    for (const auto& spSession : m_sessions)
        if (spSession->RelaySocket() != INVALID_SOCKET)
            pSockets->push_back(spSession->RelaySocket());
}

CRtcSession* CRtcEndpoint::FindSession(const uint8_t* pb, size_t cb, const rtc::NetAddress& from)
{
    for (const auto& spSession : m_sessions)
    {
        if (spSession->Peer() != nullptr && spSession->Peer()->Knows(rtc::PeerPath(from)))
            return spSession.get();
    }
    // A check from an address no session knows yet names its session.
    std::string_view ufrag;
    if (!rtc::IceLocalUfragOf(pb, cb, &ufrag))
        return nullptr;
    for (const auto& spSession : m_sessions)
    {
        if (spSession->Peer() != nullptr && spSession->Ufrag() == ufrag)
            return spSession.get();
    }
    return nullptr;
}

void CRtcEndpoint::ReceiveHost(const uint8_t* pb, size_t cb, const rtc::NetAddress& from, ULONGLONG nNowMs,
                               CFired* pFired)
{
    if (IsStunOfClass(pb, cb, true) && !m_stunRate.Allow(from, nNowMs))
    {
        m_dropped.m_nRateLimited++;
        return;
    }
    // Answers of the STUN servers to the sessions' Binding requests.
    if (IsStunOfClass(pb, cb, false))
    {
        for (const auto& spSession : m_sessions)
            if (spSession->ReceiveHost(pb, cb, from, nNowMs))
                return;
    }
    CRtcSession* pSession = FindSession(pb, cb, from);
    if (pSession == nullptr)
    {
        std::string_view ufrag;
        if (rtc::IceLocalUfragOf(pb, cb, &ufrag))
            m_dropped.m_nBadChecks++;
        else
            m_dropped.m_nDatagrams++;
        return;
    }
    rtc::RtcPeer& peer = *pSession->Peer();
    bool bWasConnected = peer.State() == rtc::PeerState::Connected;
    rtc::PeerEvents events;
    peer.Receive(pb, cb, rtc::PeerPath(from), nNowMs, &events);
    Apply(bWasConnected, events, pFired);
}

void CRtcEndpoint::OnDatagrams(SOCKET s)
{
    CFired fired;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        CRtcSession* pRelayed = nullptr;
        if (s != m_socket)
        {
            auto it = std::find_if(m_sessions.begin(), m_sessions.end(),
                                   [&](const auto& sp) { return sp->RelaySocket() == s; });
            // A socket closed earlier in this turn.
            if (it == m_sessions.end())
                return;
            pRelayed = it->get();
        }
        uint8_t rgb[cbMaxReceive];
        for (int i = 0; i < nMaxReadsPerTurn; ++i)
        {
            sockaddr_in from = {};
            int cbFrom = sizeof(from);
            int cb = ::recvfrom(s, reinterpret_cast<char*>(rgb), sizeof(rgb), 0, reinterpret_cast<sockaddr*>(&from),
                                &cbFrom);
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
            ULONGLONG nNow = NowMs();
            if (pRelayed == nullptr)
            {
                ReceiveHost(rgb, static_cast<size_t>(cb), ToNetAddress(from), nNow, &fired);
                continue;
            }
            rtc::RtcPeer* pPeer = pRelayed->Peer();
            bool bWasConnected = pPeer != nullptr && pPeer->State() == rtc::PeerState::Connected;
            rtc::PeerEvents events;
            if (!pRelayed->ReceiveRelay(rgb, static_cast<size_t>(cb), ToNetAddress(from), nNow, &events))
                m_dropped.m_nDatagrams++;
            Apply(bWasConnected, events, &fired);
            // The relay socket closes when its session ends.
            if (pRelayed->RelaySocket() == INVALID_SOCKET)
                break;
        }
        ULONGLONG nNow = NowMs();
        // Answers to Binding requests and allocations may end a gathering.
        for (const auto& spSession : m_sessions)
            if (!spSession->Answered())
                Service(*spSession, nNow);
        RemoveEnded();
    }
    Fire(fired);
}

void CRtcEndpoint::Service(CRtcSession& session, ULONGLONG nNowMs)
{
    if (session.Service(m_lookup, nNowMs))
        m_answers[session.Ticket()] = Complete(session, nNowMs);
}

CWhepAnswer CRtcEndpoint::Complete(CRtcSession& session, ULONGLONG nNowMs)
{
    std::vector<std::string> rejections;
    CWhepAnswer answer = session.Answer(*m_spCertificate, m_local, nNowMs, &rejections);
    m_outcomes = session.Outcomes();
    m_bGathered = true;
    if (answer.m_nStatus == 201)
        m_rejections = rejections;
    return answer;
}

void CRtcEndpoint::Apply(bool bWasConnected, const rtc::PeerEvents& events, CFired* pFired)
{
    if (events.bConnected && !bWasConnected)
        pFired->counts.emplace_back(++m_nConnected, true);
    if (events.bEnded && bWasConnected)
        pFired->counts.emplace_back(--m_nConnected, false);
    pFired->bKeyFrame = pFired->bKeyFrame || events.bKeyFrameRequest;
}

void CRtcEndpoint::EndSession(CRtcSession& session, const char* pszReason, ULONGLONG nNowMs, CFired* pFired)
{
    rtc::RtcPeer* pPeer = session.Peer();
    bool bWasConnected = pPeer != nullptr && pPeer->State() == rtc::PeerState::Connected;
    session.End(pszReason, nNowMs);
    rtc::PeerEvents events;
    events.bEnded = true;
    Apply(bWasConnected, events, pFired);
}

void CRtcEndpoint::RemoveEnded()
{
    ULONGLONG nNow = NowMs();
    m_sessions.erase(std::remove_if(m_sessions.begin(), m_sessions.end(),
                                    [&](const auto& sp) {
                                        if (!sp->HasEnded())
                                            return false;
                                        rtc::RtcPeer* pPeer = sp->Peer();
                                        if (pPeer != nullptr)
                                            m_dropped.m_nBadChecks += RefusedChecks(pPeer->IceCounts());
                                        // Allocations go back with the session.
                                        sp->End("ended", nNow);
                                        return true;
                                    }),
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
            Service(*spSession, nNow);
            rtc::RtcPeer* pPeer = spSession->Peer();
            if (pPeer != nullptr && !pPeer->HasEnded())
            {
                bool bWasConnected = pPeer->State() == rtc::PeerState::Connected;
                rtc::PeerEvents events;
                if (!bWasConnected && nNow - spSession->CreatedMs() > nConnectTimeoutMs)
                {
                    m_dropped.m_nUnconnected++;
                    EndSession(*spSession, "the client did not connect within 30 s", nNow, &fired);
                }
                else if (pPeer->NextTimerMs() <= nNow)
                {
                    pPeer->OnTimer(nNow, &events);
                    Apply(bWasConnected, events, &fired);
                }
            }
            nNext = std::min<ULONGLONG>(nNext, spSession->NextServiceMs(nNow));
        }
        RemoveEnded();
    }
    Fire(fired);
    if (nNext == UINT64_MAX)
        return 1000;
    return nNext <= nNow ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(nNext - nNow, 1000));
}

bool CRtcEndpoint::MakeRoom(ULONGLONG nNowMs, CFired* pFired, std::string* pReason)
{
    std::vector<CRtcSession*> halfOpen;
    for (const auto& spSession : m_sessions)
    {
        rtc::RtcPeer* pPeer = spSession->Peer();
        if (!spSession->HasEnded() && (pPeer == nullptr || pPeer->State() != rtc::PeerState::Connected))
            halfOpen.push_back(spSession.get());
    }
    if (halfOpen.size() >= nMaxHalfOpen)
    {
        // Sessions are kept in the order they came: the first is the oldest.
        CRtcSession& oldest = *halfOpen.front();
        if (!oldest.Answered())
            m_answers[oldest.Ticket()] = {503, std::string(), "too many offers waiting to connect; this one gave way"};
        m_dropped.m_nUnconnected++;
        EndSession(oldest, "too many offers waiting to connect", nNowMs, pFired);
        RemoveEnded();
    }
    if (m_sessions.size() >= nMaxSessions)
    {
        m_dropped.m_nRefused++;
        *pReason = "the server holds " + std::to_string(nMaxSessions) + " peers, its most";
        return false;
    }
    return true;
}

CWhepAnswer CRtcEndpoint::Offer(const CWhepRequest& request)
{
    CRtcSession::COffer offer;
    std::string strReason;
    if (!rtc::ParseSdp(request.m_strBody.data(), request.m_strBody.size(), &offer.offer, &strReason) ||
        !rtc::CheckWebRtcOffer(offer.offer, &strReason))
        return {400, std::string(), "the offer is refused: " + strReason};

    rtc::AnswerParameters& parameters = offer.parameters;
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
    // An offer that cannot be answered is refused now, before any gathering.
    rtc::SdpAnswer answer;
    if (!rtc::MakeSdpAnswer(offer.offer, parameters, &answer, &strReason))
        return {400, std::string(), strReason};
    offer.bRelayOnly = AsksRelayOnly(request.m_strQuery);
    offer.clientAddresses = {ToNetAddress(request.m_clientAddress)};

    CFired fired;
    CWhepAnswer result;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_socket == INVALID_SOCKET)
            return {503, std::string(), "the server is stopping"};
        ULONGLONG nNow = NowMs();
        if (!MakeRoom(nNow, &fired, &strReason))
            result = {503, std::string(), strReason};
        else
        {
            auto spSession = std::make_unique<CRtcSession>(RandomHex(16), request.m_nTicket, m_socket,
                                                           std::move(offer), nNow);
            CRtcSession& session = *spSession;
            m_sessions.push_back(std::move(spSession));
            session.StartGathering(m_iceServers, m_hosts, m_relayBind, nNow);
            m_outcomes = session.Outcomes();
            m_bGathered = true;
            // Nothing to wait for (no server, or none usable): at once.
            result = session.Service(m_lookup, nNow) ? Complete(session, nNow) : CWhepAnswer{0, {}, {}};
            RemoveEnded();
        }
    }
    Fire(fired);
    return result;
}

bool CRtcEndpoint::TakeAnswer(uint64_t nTicket, CWhepAnswer* pAnswer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_answers.find(nTicket);
    if (it == m_answers.end())
        return false;
    *pAnswer = std::move(it->second);
    m_answers.erase(it);
    return true;
}

void CRtcEndpoint::Abandon(uint64_t nTicket)
{
    CFired fired;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answers.erase(nTicket);
        for (const auto& spSession : m_sessions)
        {
            rtc::RtcPeer* pPeer = spSession->Peer();
            if (spSession->Ticket() == nTicket && (pPeer == nullptr || pPeer->State() != rtc::PeerState::Connected))
                EndSession(*spSession, "the client left before its answer", NowMs(), &fired);
        }
        RemoveEnded();
    }
    Fire(fired);
}

CWhepAnswer CRtcEndpoint::End(const std::string& strSession)
{
    CFired fired;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = std::find_if(m_sessions.begin(), m_sessions.end(),
                               [&](const auto& sp) { return sp->Id() == strSession && sp->Answered(); });
        if (it == m_sessions.end())
            return {404, std::string(), "no such session"};
        EndSession(**it, "the client ended the session", NowMs(), &fired);
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
            rtc::RtcPeer* pPeer = spSession->Peer();
            if (pPeer == nullptr)
                continue;
            uint32_t nBefore = 0;
            uint64_t cbBefore = 0;
            pPeer->SentTotals(&nBefore, &cbBefore);
            bool bSent = eKind == eMediaVideo ? pPeer->SendVideo(pData, cbData, llStart, nNow)
                                              : pPeer->SendAudio(pData, cbData, llStart, nNow);
            if (!bSent)
                continue;
            uint32_t nAfter = 0;
            uint64_t cbAfter = 0;
            pPeer->SentTotals(&nAfter, &cbAfter);
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
        if (spSession->Peer() == nullptr)
            continue;
        rtc::PeerFigures figures = spSession->Peer()->Figures();
        if (strJson.size() > 1)
            strJson += ",";
        strJson += "{\"state\":" + JsonString(rtc::PeerStateName(figures.state)) +
                   ",\"pair\":" + JsonString(figures.pair) + ",\"relayed\":" + (figures.bRelayed ? "true" : "false") +
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

std::vector<CIceServerStatus> CRtcEndpoint::IceServers() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<CIceServerStatus> servers;
    if (!m_bGathered)
    {
        for (const CIceServerConfig& config : m_iceServers)
            servers.push_back({config.m_strUri, "waiting for a client", std::string(), std::string()});
        return servers;
    }
    for (const rtc::IceServerOutcome& outcome : m_outcomes)
        servers.push_back({outcome.uri, outcome.state, outcome.error, outcome.address});
    return servers;
}

CDropCounts CRtcEndpoint::Dropped() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    CDropCounts dropped = m_dropped;
    for (const auto& spSession : m_sessions)
        if (spSession->Peer() != nullptr)
            dropped.m_nBadChecks += RefusedChecks(spSession->Peer()->IceCounts());
    return dropped;
}
