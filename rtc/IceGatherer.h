// One session's gathering with the filter's ICE servers (RFC 8445, 5.1.1):
// a server-reflexive candidate from each STUN server, a relayed one from
// each TURN server, all within one deadline whatever the servers do, and
// the TURN allocations kept for the session afterwards.
//
// It owns no socket, no clock and no resolver. The owner has two sockets
// per session: the filter's shared host socket, from which Binding requests
// go so that the server-reflexive address maps the served port, and the
// session's relay socket, from which the allocations go (one allocation per
// 5-tuple: several TURN servers on it, never two allocations on one
// server). The owner looks names up elsewhere and hands the results in.
// One thread drives it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rtc/IceServerUri.h"
#include "rtc/NetAddress.h"
#include "rtc/PeerPath.h"
#include "rtc/Random.h"
#include "rtc/StunBindingClient.h"
#include "rtc/TurnClient.h"

namespace rtc {

enum class IceCandidateType
{
    Srflx,
    Relay,
};

struct IceLocalCandidate
{
    IceCandidateType type = IceCandidateType::Srflx;
    NetAddress address;
    // srflx: the host socket's base address; relay: the relay socket's
    // address as the TURN server saw it (no family when it did not say).
    NetAddress related;
    uint8_t nRelay = 0;  // 1..4 for a relay, 0 for srflx
    size_t iServer = 0;  // whose server, as AddServer numbered it
    uint32_t nPriority = 0;
    std::string foundation;
};

// RFC 8445, 5.1.2.1: type preference, local preference, component.
const uint32_t c_nIcePreferenceHost = 126;
const uint32_t c_nIcePreferenceSrflx = 100;
const uint32_t c_nIcePreferenceRelay = 0;
uint32_t IceCandidatePriority(uint32_t nTypePreference, uint16_t nLocalPreference, uint8_t nComponent = 1);

// The a=candidate value: "s1 1 udp 1694498815 203.0.113.7 41000 typ srflx
// raddr 192.0.2.10 rport 5000"; raddr 0.0.0.0 rport 0 when there is none.
std::string IceCandidateLine(const IceLocalCandidate& candidate);

// One server for the status page.
struct IceServerOutcome
{
    std::string uri;     // as given
    std::string state;   // "gathering", "done", "failed", "not used"
    std::string error;   // "TURN 127.0.0.1:3478: 401 Unauthorized (...)"; "" unless failed or not used
    std::string address; // the learnt srflx or relayed address, or ""
};

enum class GatherInput
{
    NotMine, // not an ICE server's: for the peers
    Handled, // an ICE server's, taken or dropped
    Data,    // a peer's datagram through a relay, unwrapped
};

struct IceGatherCounters
{
    uint64_t cHandled = 0; // answers taken by a client
    uint64_t cDropped = 0; // from a server's address on its socket but not taken
    uint64_t cData = 0;    // peers' datagrams unwrapped
};

// Room Poll and Wrap need in the caller's buffer (Wrap: plus the data).
const size_t c_cbIceGatherOutMax = c_cbTurnMessageMax;

class IceGatherer
{
public:
    static constexpr uint64_t c_nDefaultTimeoutMs = 1000;
    static constexpr size_t c_cServersMax = 8;
    static constexpr size_t c_cRelaysMax = rtc::c_cRelaysMax;

    // Gathering starts now and ends by nNowMs + nTimeoutMs. hosts are the
    // host socket's addresses, the first its base: the srflx candidates'
    // related address, and a srflx address equal to one of them is left
    // out.
    IceGatherer(std::vector<NetAddress> hosts, uint64_t nNowMs, uint64_t nTimeoutMs = c_nDefaultTimeoutMs,
                IceRandom random = CryptoRandom);
    ~IceGatherer();
    IceGatherer(const IceGatherer&) = delete;
    IceGatherer& operator=(const IceGatherer&) = delete;

    // The server's index. Unreadable and unsupported ones are kept failed
    // with the reason; past c_cServersMax usable ones, or past
    // c_cRelaysMax TURN ones, not used. An IP address starts at once; a
    // name waits for its lookup. Relays are numbered 1.. in this order.
    size_t AddServer(std::string_view uri, std::string username, std::string password);
    size_t ServerCount() const { return m_servers.size(); }
    // The relays numbered so far: the TURN servers it will use.
    uint8_t RelayCount() const { return m_cRelays; }

    // True with the name and port while the server waits for its lookup.
    bool NeedsLookup(size_t i, std::string* pHost, uint16_t* pPort) const;
    // The lookup's address (its port is the URI's): the client starts, a
    // STUN one with the time left, a TURN one with the whole timeout for
    // each request of the session's (the deadline still ends gathering).
    // Ignored unless the server waits for it.
    void Resolved(size_t i, const NetAddress& address, uint64_t nNowMs);
    // "name not found": the server fails with it.
    void Unresolved(size_t i, std::string reason);

    // A datagram to send when one is due: true with it in pbOut (at least
    // c_cbIceGatherOutMax), its destination, and which socket it leaves
    // from. Also notes the deadline; call it until it returns false.
    bool Poll(uint64_t nNowMs, uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut, NetAddress* pTo,
              bool* pbRelaySocket);
    // When Poll has something to do: the clients' sends and refreshes, and
    // the deadline while gathering; UINT64_MAX when nothing will come.
    uint64_t NextPollMs() const;

    // A datagram that came to the host socket (only the STUN clients'
    // answers, from their server) or to the relay socket (the TURN
    // clients', from their server). Data: a peer's datagram through relay
    // *pnRelay, pointing into pb.
    GatherInput Receive(bool bRelaySocket, const uint8_t* pb, size_t cb, const NetAddress& from, uint64_t nNowMs,
                        TurnData* pData, uint8_t* pnRelay);

    // Every server done or failed, or the deadline passed. Poll at or past
    // the deadline notes the servers still under way as failed; until then
    // their outcomes still read "gathering".
    bool Finished(uint64_t nNowMs) const;
    std::vector<IceLocalCandidate> Candidates() const;
    std::vector<IceServerOutcome> Outcomes() const;
    const IceGatherCounters& Counters() const { return m_counters; }

    // A relay that gathered and still holds its allocation; null otherwise.
    TurnClient* Relay(uint8_t nRelay) const;
    // A permission for the peer's IP address on every working relay.
    void Permit(const NetAddress& peer, uint64_t nNowMs);
    // A channel to the peer on relay nRelay; false when there is none.
    bool BindChannel(uint8_t nRelay, const NetAddress& peer, uint64_t nNowMs);
    // The peer's datagram wrapped for relay nRelay, to go to *pServer from
    // the relay socket: ChannelData once the peer's channel is bound (the
    // first Wrap to a permitted peer asks for it), a Send indication until
    // then. False when the relay is not working or the peer's IP address
    // is not yet permitted.
    bool Wrap(uint8_t nRelay, const NetAddress& peer, const uint8_t* pb, size_t cb, uint64_t nNowMs,
              uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut, NetAddress* pServer);

    // The session's end: every allocation given back, the requests going
    // out through Poll; no more gathering.
    void Release(uint64_t nNowMs);
    // Released and nothing more to send.
    bool Released() const;

private:
    struct Server;

    void Expire(uint64_t nNowMs);
    void Start(Server& server, const NetAddress& address, uint64_t nNowMs);
    // Follows the client's state; a late allocation is given back.
    void Settle(Server& server, uint64_t nNowMs);
    void Fail(Server& server, const std::string& reason);
    void NotUse(Server& server, const std::string& reason);
    // Fails a server still under way.
    void Abandon(Server& server, const std::string& reason);
    bool Settled(const Server& server) const;
    TurnClient* WorkingRelay(const Server& server) const;

    const std::vector<NetAddress> m_hosts;
    const uint64_t m_nStartMs;
    const uint64_t m_nTimeoutMs;
    const uint64_t m_nDeadlineMs;
    // One stream every client draws from, so that a seeded source gives
    // each its own ids.
    std::shared_ptr<IceRandom> m_pRandom;
    std::vector<std::unique_ptr<Server>> m_servers;
    size_t m_cUsed = 0;
    uint8_t m_cRelays = 0;
    bool m_bExpired = false;
    bool m_bReleased = false;
    IceGatherCounters m_counters;
};

} // namespace rtc
