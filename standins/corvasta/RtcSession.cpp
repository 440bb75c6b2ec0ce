#include "RtcSession.h"
#include "SocketAddress.h"

#include <algorithm>

CRtcSession::CRtcSession(std::string strId, uint64_t nTicket, SOCKET hostSocket, COffer offer, ULONGLONG nNowMs)
    : m_strId(std::move(strId)), m_nTicket(nTicket), m_hostSocket(hostSocket), m_nCreatedMs(nNowMs),
      m_offer(std::move(offer)), m_relaySocket(INVALID_SOCKET), m_bRefused(false)
{
}

CRtcSession::~CRtcSession()
{
    CloseRelaySocket();
}

void CRtcSession::CloseRelaySocket()
{
    if (m_relaySocket != INVALID_SOCKET)
    {
        ::closesocket(m_relaySocket);
        m_relaySocket = INVALID_SOCKET;
    }
}

void CRtcSession::StartGathering(const std::vector<CIceServerConfig>& servers,
                                 const std::vector<rtc::NetAddress>& hosts, const sockaddr_in& relayBind,
                                 ULONGLONG nNowMs)
{
    m_spGatherer = std::make_unique<rtc::IceGatherer>(hosts, nNowMs);
    for (const CIceServerConfig& server : servers)
        m_spGatherer->AddServer(server.m_strUri, server.m_strUser, server.m_strPassword);
    // A TURN server the gatherer will use needs the socket.
    if (m_spGatherer->RelayCount() > 0)
    {
        m_relaySocket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        u_long nOn = 1;
        if (m_relaySocket == INVALID_SOCKET ||
            ::bind(m_relaySocket, reinterpret_cast<const sockaddr*>(&relayBind), sizeof(relayBind)) != 0 ||
            ::ioctlsocket(m_relaySocket, FIONBIO, &nOn) != 0)
        {
            // The TURN servers then fail for want of an answer; STUN and
            // the host candidates go on.
            CloseRelaySocket();
        }
    }
    SendGathering(nNowMs);
}

bool CRtcSession::Service(CNameLookup& lookup, ULONGLONG nNowMs)
{
    if (m_spGatherer == nullptr)
        return false;
    for (size_t i = 0; i < m_spGatherer->ServerCount(); ++i)
    {
        std::string strHost;
        uint16_t nPort = 0;
        if (!m_spGatherer->NeedsLookup(i, &strHost, &nPort))
            continue;
        rtc::NetAddress address;
        std::string strError;
        switch (lookup.Find(strHost, nPort, nNowMs, &address, &strError))
        {
        case CNameLookup::eFound: m_spGatherer->Resolved(i, address, nNowMs); break;
        case CNameLookup::eFailed: m_spGatherer->Unresolved(i, strError); break;
        case CNameLookup::ePending: break;
        }
    }
    SendGathering(nNowMs);
    return !Answered() && m_spGatherer->Finished(nNowMs);
}

ULONGLONG CRtcSession::NextServiceMs(ULONGLONG nNowMs) const
{
    ULONGLONG nNext = m_spPeer != nullptr ? m_spPeer->NextTimerMs() : UINT64_MAX;
    if (m_spGatherer == nullptr)
        return nNext;
    // Lookups finish on other threads: look again soon while one waits.
    std::string strHost;
    uint16_t nPort = 0;
    for (size_t i = 0; i < m_spGatherer->ServerCount(); ++i)
        if (m_spGatherer->NeedsLookup(i, &strHost, &nPort))
            nNext = std::min<ULONGLONG>(nNext, nNowMs + 20);
    return std::min<ULONGLONG>(nNext, m_spGatherer->NextPollMs());
}

void CRtcSession::SendGathering(ULONGLONG nNowMs)
{
    uint8_t rgb[rtc::c_cbIceGatherOutMax];
    size_t cb = 0;
    rtc::NetAddress to;
    bool bRelaySocket = false;
    while (m_spGatherer->Poll(nNowMs, rgb, sizeof(rgb), &cb, &to, &bRelaySocket))
    {
        SOCKET s = bRelaySocket ? m_relaySocket : m_hostSocket;
        if (s == INVALID_SOCKET || to.nFamily != 4)
            continue;
        sockaddr_in addr = ToSockAddr(to);
        ::sendto(s, reinterpret_cast<const char*>(rgb), static_cast<int>(cb), 0,
                 reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    }
}

CWhepAnswer CRtcSession::Answer(const rtc::DtlsCertificate& certificate, const rtc::NetAddress& local,
                                ULONGLONG nNowMs, std::vector<std::string>* pRejections)
{
    rtc::AnswerParameters parameters = m_offer.parameters;
    std::vector<rtc::IceLocalCandidate> gathered;
    if (m_spGatherer != nullptr)
        gathered = m_spGatherer->Candidates();
    if (m_offer.bRelayOnly)
    {
        parameters.candidates.clear();
        gathered.erase(std::remove_if(gathered.begin(), gathered.end(),
                                      [](const auto& c) { return c.type != rtc::IceCandidateType::Relay; }),
                       gathered.end());
        if (gathered.empty())
        {
            m_bRefused = true;
            std::string strWhy;
            for (const rtc::IceServerOutcome& outcome : Outcomes())
                if (!outcome.error.empty())
                    strWhy += "; " + outcome.error;
            End("no relayed candidate", nNowMs);
            return {503, std::string(), "the client asked for relayed candidates only, and none was gathered" +
                                            (strWhy.empty() ? std::string(": no TURN server") : strWhy)};
        }
        // The default candidate (c= and the port) is then the first relay.
        parameters.connectionAddress = rtc::IpText(gathered.front().address);
        parameters.nPort = gathered.front().address.nPort;
    }
    for (const rtc::IceLocalCandidate& candidate : gathered)
        parameters.candidates.push_back(rtc::IceCandidateLine(candidate));

    rtc::SdpAnswer answer;
    std::string strReason;
    if (!rtc::MakeSdpAnswer(m_offer.offer, parameters, &answer, &strReason))
    {
        m_bRefused = true;
        End("no answer", nNowMs);
        return {400, std::string(), strReason};
    }
    rtc::PeerConfig config = rtc::MakePeerConfig(m_offer.offer, parameters, answer, pRejections);
    rtc::IPeerOutput& output = *this;
    m_spPeer = std::make_unique<rtc::RtcPeer>(config, certificate, local, output, nNowMs);
    for (const rtc::IceLocalCandidate& candidate : gathered)
        if (candidate.type == rtc::IceCandidateType::Relay)
            m_spPeer->SetRelayAddress(candidate.nRelay, candidate.address);
    // Permissions need the allocations, which are made by now.
    if (m_spGatherer != nullptr)
    {
        for (const rtc::NetAddress& address : m_offer.clientAddresses)
            m_spGatherer->Permit(address, nNowMs);
        for (const rtc::IceCandidate& candidate : config.remoteCandidates)
            m_spGatherer->Permit(candidate.address, nNowMs);
        SendGathering(nNowMs);
    }
    return {201, m_strId, answer.text};
}

bool CRtcSession::ReceiveHost(const uint8_t* pb, size_t cb, const rtc::NetAddress& from, ULONGLONG nNowMs)
{
    if (m_spGatherer == nullptr)
        return false;
    rtc::TurnData data;
    uint8_t nRelay = 0;
    return m_spGatherer->Receive(false, pb, cb, from, nNowMs, &data, &nRelay) != rtc::GatherInput::NotMine;
}

bool CRtcSession::ReceiveRelay(const uint8_t* pb, size_t cb, const rtc::NetAddress& from, ULONGLONG nNowMs,
                               rtc::PeerEvents* pEvents)
{
    if (m_spGatherer == nullptr)
        return false;
    rtc::TurnData data;
    uint8_t nRelay = 0;
    switch (m_spGatherer->Receive(true, pb, cb, from, nNowMs, &data, &nRelay))
    {
    case rtc::GatherInput::NotMine: return false;
    case rtc::GatherInput::Handled: break;
    case rtc::GatherInput::Data:
        // Before the answer nobody knows the relayed address.
        if (m_spPeer != nullptr)
            m_spPeer->Receive(data.pb, data.cb, rtc::PeerPath(data.peer, nRelay), nNowMs, pEvents);
        break;
    }
    // An answer may have made a request due (a permission after the
    // allocation, a channel after the permission).
    SendGathering(nNowMs);
    return true;
}

void CRtcSession::SendTo(const rtc::PeerPath& to, const uint8_t* pb, size_t cb)
{
    if (to.nRelay == 0)
    {
        if (to.remote.nFamily != 4)
            return;
        sockaddr_in addr = ToSockAddr(to.remote);
        ::sendto(m_hostSocket, reinterpret_cast<const char*>(pb), static_cast<int>(cb), 0,
                 reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
        return;
    }
    size_t cbWrapped = 0;
    rtc::NetAddress server;
    if (m_spGatherer == nullptr || m_relaySocket == INVALID_SOCKET ||
        !m_spGatherer->Wrap(to.nRelay, to.remote, pb, cb, ::GetTickCount64(), m_rgbWrap, sizeof(m_rgbWrap),
                            &cbWrapped, &server) ||
        server.nFamily != 4)
        return;
    sockaddr_in addr = ToSockAddr(server);
    ::sendto(m_relaySocket, reinterpret_cast<const char*>(m_rgbWrap), static_cast<int>(cbWrapped), 0,
             reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    // Wrapping may have asked for a channel.
    SendGathering(::GetTickCount64());
}

void CRtcSession::End(const char* pszReason, ULONGLONG nNowMs)
{
    if (m_spPeer != nullptr && !m_spPeer->HasEnded())
        m_spPeer->Close(pszReason);
    if (m_spGatherer != nullptr)
    {
        m_spGatherer->Release(nNowMs);
        SendGathering(nNowMs);
    }
    CloseRelaySocket();
    m_bRefused = m_bRefused || m_spPeer == nullptr;
}

std::vector<rtc::IceServerOutcome> CRtcSession::Outcomes() const
{
    return m_spGatherer != nullptr ? m_spGatherer->Outcomes() : std::vector<rtc::IceServerOutcome>();
}
