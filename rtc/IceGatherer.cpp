#include "rtc/IceGatherer.h"

#include <algorithm>
#include <utility>

namespace rtc {

namespace {

std::string Milliseconds(uint64_t nMs)
{
    return std::to_string(nMs) + " ms";
}

} // namespace

uint32_t IceCandidatePriority(uint32_t nTypePreference, uint16_t nLocalPreference, uint8_t nComponent)
{
    return (nTypePreference << 24) | (uint32_t(nLocalPreference) << 8) | uint32_t(256 - nComponent);
}

std::string IceCandidateLine(const IceLocalCandidate& candidate)
{
    const bool bRelated = candidate.related.AddressBytes() != 0;
    return candidate.foundation + " 1 udp " + std::to_string(candidate.nPriority) + " " +
           IpText(candidate.address) + " " + std::to_string(candidate.address.nPort) + " typ " +
           (candidate.type == IceCandidateType::Relay ? "relay" : "srflx") + " raddr " +
           (bRelated ? IpText(candidate.related) : "0.0.0.0") + " rport " +
           std::to_string(bRelated ? candidate.related.nPort : 0);
}

struct IceGatherer::Server
{
    enum class State
    {
        Lookup,    // waits for its name's address
        Gathering, // its client under way
        Done,
        Failed,
        NotUsed,
    };

    std::string uri;
    std::string username;
    std::string password;
    IceServerUri parsed;
    std::string label; // "STUN stun.example.org:3478"; "" when unreadable
    State state = State::Failed;
    std::string error;
    NetAddress address; // once known
    uint8_t nRelay = 0;
    std::unique_ptr<StunBindingClient> pStun;
    std::unique_ptr<TurnClient> pTurn;
};

IceGatherer::IceGatherer(std::vector<NetAddress> hosts, uint64_t nNowMs, uint64_t nTimeoutMs, IceRandom random)
    : m_hosts(std::move(hosts)), m_nStartMs(nNowMs), m_nTimeoutMs(nTimeoutMs), m_nDeadlineMs(nNowMs + nTimeoutMs),
      m_pRandom(std::make_shared<IceRandom>(std::move(random)))
{
}

IceGatherer::~IceGatherer() = default;

size_t IceGatherer::AddServer(std::string_view uri, std::string username, std::string password)
{
    m_servers.push_back(std::make_unique<Server>());
    Server& server = *m_servers.back();
    server.uri = std::string(uri);
    server.username = std::move(username);
    server.password = std::move(password);
    std::string reason;
    if (!ParseIceServerUri(uri, &server.parsed, &reason))
    {
        // Without a label: the URI stands beside the reason.
        server.error = reason;
        return m_servers.size() - 1;
    }
    server.label = IceServerLabel(server.parsed);
    const bool bTurn = server.parsed.IsTurn();
    if (!IsIceServerSupported(server.parsed, &reason))
        Fail(server, reason);
    else if (m_bExpired || m_bReleased)
        Fail(server, "added after gathering ended");
    else if (m_cUsed == c_cServersMax)
        NotUse(server, "at most " + std::to_string(c_cServersMax) + " servers");
    else if (bTurn && m_cRelays == c_cRelaysMax)
        NotUse(server, "at most " + std::to_string(c_cRelaysMax) + " TURN servers");
    else
    {
        m_cUsed++;
        if (bTurn)
            server.nRelay = ++m_cRelays;
        server.state = Server::State::Lookup;
        if (server.parsed.literal.nFamily != 0)
            Start(server, server.parsed.literal, m_nStartMs);
    }
    return m_servers.size() - 1;
}

bool IceGatherer::NeedsLookup(size_t i, std::string* pHost, uint16_t* pPort) const
{
    if (i >= m_servers.size() || m_servers[i]->state != Server::State::Lookup)
        return false;
    *pHost = m_servers[i]->parsed.host;
    *pPort = m_servers[i]->parsed.nPort;
    return true;
}

void IceGatherer::Resolved(size_t i, const NetAddress& address, uint64_t nNowMs)
{
    Expire(nNowMs);
    if (i >= m_servers.size() || m_servers[i]->state != Server::State::Lookup)
        return;
    Server& server = *m_servers[i];
    if (address.AddressBytes() == 0)
    {
        Fail(server, "the name lookup gave no address");
        return;
    }
    NetAddress withPort = address;
    withPort.nPort = server.parsed.nPort;
    Start(server, withPort, nNowMs);
}

void IceGatherer::Unresolved(size_t i, std::string reason)
{
    if (i >= m_servers.size() || m_servers[i]->state != Server::State::Lookup)
        return;
    Fail(*m_servers[i], reason.empty() ? "name not found" : reason);
}

void IceGatherer::Start(Server& server, const NetAddress& address, uint64_t nNowMs)
{
    const bool bTurn = server.parsed.IsTurn();
    // Two allocations from one socket to one server would be one 5-tuple;
    // two bindings to one server would learn the same address twice.
    for (const auto& pOther : m_servers)
        if ((pOther->pStun != nullptr || pOther->pTurn != nullptr) && pOther->parsed.IsTurn() == bTurn &&
            pOther->address == address)
        {
            NotUse(server, "the same address as " + pOther->uri);
            return;
        }
    server.address = address;
    server.state = Server::State::Gathering;
    std::shared_ptr<IceRandom> pRandom = m_pRandom;
    IceRandom random = [pRandom](uint8_t* pb, size_t cb) { return (*pRandom)(pb, cb); };
    if (bTurn)
    {
        // The allocation lives on with the session, its later requests each
        // with the whole timeout; the deadline binds gathering alone.
        server.pTurn = std::make_unique<TurnClient>(address, server.username, server.password, nNowMs, m_nTimeoutMs,
                                                    std::move(random));
    }
    else
    {
        server.pStun = std::make_unique<StunBindingClient>(
            address, nNowMs, m_nDeadlineMs > nNowMs ? m_nDeadlineMs - nNowMs : 0, std::move(random));
    }
    Settle(server, nNowMs);
}

void IceGatherer::Settle(Server& server, uint64_t nNowMs)
{
    if (server.state == Server::State::Failed && server.pTurn != nullptr &&
        server.pTurn->State() == TurnState::Allocated)
        server.pTurn->Release(nNowMs);
    if (server.state != Server::State::Gathering)
        return;
    if (server.pStun != nullptr)
    {
        if (server.pStun->State() == StunBindingState::Done)
            server.state = Server::State::Done;
        else if (server.pStun->State() == StunBindingState::Failed)
            Fail(server, server.pStun->Error());
    }
    else if (server.pTurn != nullptr)
    {
        if (server.pTurn->State() == TurnState::Allocated)
            server.state = Server::State::Done;
        else if (server.pTurn->State() == TurnState::Failed)
            Fail(server, server.pTurn->Error());
    }
}

void IceGatherer::Fail(Server& server, const std::string& reason)
{
    server.state = Server::State::Failed;
    server.error = server.label + ": " + reason;
}

void IceGatherer::NotUse(Server& server, const std::string& reason)
{
    server.state = Server::State::NotUsed;
    server.error = server.label + ": not used: " + reason;
}

void IceGatherer::Abandon(Server& server, const std::string& reason)
{
    Fail(server, reason);
    // A TURN client runs on to its own deadline, so that an allocation that
    // comes late is given back at once rather than held on the server for
    // its lifetime.
    server.pStun.reset();
}

bool IceGatherer::Settled(const Server& server) const
{
    return server.state != Server::State::Lookup && server.state != Server::State::Gathering;
}

void IceGatherer::Expire(uint64_t nNowMs)
{
    if (m_bExpired || nNowMs < m_nDeadlineMs)
        return;
    m_bExpired = true;
    for (const auto& pServer : m_servers)
    {
        if (pServer->state == Server::State::Lookup)
            Abandon(*pServer, "name lookup took over " + Milliseconds(m_nTimeoutMs));
        else if (pServer->state == Server::State::Gathering)
            Abandon(*pServer, "no answer in " + Milliseconds(m_nTimeoutMs));
    }
}

bool IceGatherer::Poll(uint64_t nNowMs, uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut, NetAddress* pTo,
                       bool* pbRelaySocket)
{
    *pcbOut = 0;
    Expire(nNowMs);
    for (const auto& pServer : m_servers)
    {
        Server& server = *pServer;
        if (server.pStun != nullptr && server.state == Server::State::Gathering)
        {
            const bool bSend = server.pStun->Poll(nNowMs, pbOut, cbOutMax, pcbOut);
            Settle(server, nNowMs);
            if (bSend)
            {
                *pTo = server.address;
                *pbRelaySocket = false;
                return true;
            }
        }
        if (server.pTurn != nullptr)
        {
            const bool bSend = server.pTurn->Poll(nNowMs, pbOut, cbOutMax, pcbOut);
            Settle(server, nNowMs);
            if (bSend)
            {
                *pTo = server.address;
                *pbRelaySocket = true;
                return true;
            }
        }
    }
    return false;
}

uint64_t IceGatherer::NextPollMs() const
{
    uint64_t nNextMs = UINT64_MAX;
    for (const auto& pServer : m_servers)
    {
        if (!m_bExpired && !Settled(*pServer))
            nNextMs = std::min(nNextMs, m_nDeadlineMs);
        if (pServer->pStun != nullptr && pServer->state == Server::State::Gathering)
            nNextMs = std::min(nNextMs, pServer->pStun->NextPollMs());
        if (pServer->pTurn != nullptr)
            nNextMs = std::min(nNextMs, pServer->pTurn->NextPollMs());
    }
    return nNextMs;
}

GatherInput IceGatherer::Receive(bool bRelaySocket, const uint8_t* pb, size_t cb, const NetAddress& from,
                                 uint64_t nNowMs, TurnData* pData, uint8_t* pnRelay)
{
    *pData = TurnData();
    *pnRelay = 0;
    Expire(nNowMs);
    for (const auto& pServer : m_servers)
    {
        Server& server = *pServer;
        if (!bRelaySocket && server.pStun != nullptr && server.state == Server::State::Gathering &&
            server.address == from)
        {
            // Anything else from there may be a peer's.
            if (!server.pStun->Receive(pb, cb, from))
                return GatherInput::NotMine;
            m_counters.cHandled++;
            Settle(server, nNowMs);
            return GatherInput::Handled;
        }
        if (bRelaySocket && server.pTurn != nullptr && server.address == from)
        {
            const TurnInput input = server.pTurn->Receive(pb, cb, from, nNowMs, pData);
            if (input == TurnInput::Data)
            {
                m_counters.cData++;
                *pnRelay = server.nRelay;
                return GatherInput::Data;
            }
            if (input == TurnInput::Handled)
                m_counters.cHandled++;
            else
                m_counters.cDropped++;
            Settle(server, nNowMs);
            return GatherInput::Handled;
        }
    }
    return GatherInput::NotMine;
}

bool IceGatherer::Finished(uint64_t nNowMs) const
{
    if (nNowMs >= m_nDeadlineMs)
        return true;
    for (const auto& pServer : m_servers)
        if (!Settled(*pServer))
            return false;
    return true;
}

std::vector<IceLocalCandidate> IceGatherer::Candidates() const
{
    std::vector<IceLocalCandidate> candidates;
    uint16_t nLocalPreference = 65535;
    for (size_t i = 0; i < m_servers.size(); i++)
    {
        const Server& server = *m_servers[i];
        if (server.state != Server::State::Done || server.pStun == nullptr)
            continue;
        const NetAddress& mapped = server.pStun->Mapped();
        // Without a NAT the server sees a host address; two servers behind
        // one NAT see the same mapping.
        bool bRedundant = std::find(m_hosts.begin(), m_hosts.end(), mapped) != m_hosts.end();
        for (const IceLocalCandidate& other : candidates)
            bRedundant = bRedundant || other.address == mapped;
        if (bRedundant)
            continue;
        IceLocalCandidate candidate;
        candidate.type = IceCandidateType::Srflx;
        candidate.address = mapped;
        if (!m_hosts.empty())
            candidate.related = m_hosts.front();
        candidate.iServer = i;
        candidate.nPriority = IceCandidatePriority(c_nIcePreferenceSrflx, nLocalPreference--);
        candidate.foundation = "s" + std::to_string(i + 1);
        candidates.push_back(std::move(candidate));
    }
    nLocalPreference = 65535;
    for (size_t i = 0; i < m_servers.size(); i++)
    {
        const TurnClient* pRelay = WorkingRelay(*m_servers[i]);
        if (pRelay == nullptr)
            continue;
        IceLocalCandidate candidate;
        candidate.type = IceCandidateType::Relay;
        candidate.address = pRelay->Relayed();
        candidate.related = pRelay->Mapped();
        candidate.nRelay = m_servers[i]->nRelay;
        candidate.iServer = i;
        candidate.nPriority = IceCandidatePriority(c_nIcePreferenceRelay, nLocalPreference--);
        candidate.foundation = "r" + std::to_string(candidate.nRelay);
        candidates.push_back(std::move(candidate));
    }
    return candidates;
}

std::vector<IceServerOutcome> IceGatherer::Outcomes() const
{
    std::vector<IceServerOutcome> outcomes;
    outcomes.reserve(m_servers.size());
    for (const auto& pServer : m_servers)
    {
        const Server& server = *pServer;
        IceServerOutcome outcome;
        outcome.uri = server.uri;
        switch (server.state)
        {
        case Server::State::Lookup:
        case Server::State::Gathering: outcome.state = "gathering"; break;
        case Server::State::Done:
            // An allocation may be lost later, its refreshes unanswered.
            if (server.pTurn != nullptr && server.pTurn->State() == TurnState::Failed)
            {
                outcome.state = "failed";
                outcome.error = server.label + ": " + server.pTurn->Error();
            }
            else
            {
                outcome.state = "done";
            }
            outcome.address = AddressText(server.pStun != nullptr ? server.pStun->Mapped() : server.pTurn->Relayed());
            break;
        case Server::State::Failed:
            outcome.state = "failed";
            outcome.error = server.error;
            break;
        case Server::State::NotUsed:
            outcome.state = "not used";
            outcome.error = server.error;
            break;
        }
        outcomes.push_back(std::move(outcome));
    }
    return outcomes;
}

TurnClient* IceGatherer::WorkingRelay(const Server& server) const
{
    if (server.state != Server::State::Done || server.pTurn == nullptr ||
        server.pTurn->State() != TurnState::Allocated)
        return nullptr;
    return server.pTurn.get();
}

TurnClient* IceGatherer::Relay(uint8_t nRelay) const
{
    for (const auto& pServer : m_servers)
        if (nRelay != 0 && pServer->nRelay == nRelay)
            return WorkingRelay(*pServer);
    return nullptr;
}

void IceGatherer::Permit(const NetAddress& peer, uint64_t nNowMs)
{
    for (const auto& pServer : m_servers)
    {
        TurnClient* pRelay = WorkingRelay(*pServer);
        if (pRelay != nullptr)
            pRelay->Permit(peer, nNowMs);
    }
}

bool IceGatherer::BindChannel(uint8_t nRelay, const NetAddress& peer, uint64_t nNowMs)
{
    TurnClient* pRelay = Relay(nRelay);
    return pRelay != nullptr && pRelay->BindChannel(peer, nNowMs);
}

bool IceGatherer::Wrap(uint8_t nRelay, const NetAddress& peer, const uint8_t* pb, size_t cb, uint64_t nNowMs,
                       uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut, NetAddress* pServer)
{
    *pcbOut = 0;
    TurnClient* pRelay = Relay(nRelay);
    if (pRelay == nullptr)
        return false;
    // A channel costs 4 bytes a datagram against a Send indication's 36:
    // asked once for a permitted peer, so that Wrap widens nothing; a
    // refused one is not asked again.
    if (pRelay->Channel(peer) == TurnGrant::None && pRelay->Permission(peer) != TurnGrant::None)
        pRelay->BindChannel(peer, nNowMs);
    if (!pRelay->Wrap(peer, pb, cb, pbOut, cbOutMax, pcbOut))
        return false;
    *pServer = pRelay->Server();
    return true;
}

void IceGatherer::Release(uint64_t nNowMs)
{
    if (m_bReleased)
        return;
    m_bReleased = true;
    for (const auto& pServer : m_servers)
    {
        if (!Settled(*pServer))
            Abandon(*pServer, "the session ended first");
        // One still allocating stops: the server's allocation, if any, ends
        // with its lifetime.
        if (pServer->pTurn != nullptr)
            pServer->pTurn->Release(nNowMs);
    }
}

bool IceGatherer::Released() const
{
    if (!m_bReleased)
        return false;
    for (const auto& pServer : m_servers)
        if (pServer->pTurn != nullptr && pServer->pTurn->State() == TurnState::Releasing)
            return false;
    return true;
}

} // namespace rtc
