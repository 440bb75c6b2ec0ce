// A relay from a TURN server over UDP (RFC 8656), as a state machine: the
// Allocate with the long-term credential exchange (first without
// credentials; on 401 the server's REALM and NONCE, then USERNAME, REALM,
// NONCE and MESSAGE-INTEGRITY; on 438 the new NONCE), refreshes before the
// allocation, each permission and each channel ends, data to a peer
// wrapped as ChannelData or a Send indication, data from one unwrapped
// from ChannelData or a Data indication, and the release (a Refresh of
// lifetime 0). Every failure keeps a reason a tester understands.
//
// It owns no socket and no clock: what it sends goes out into the
// caller's buffer, always to the server; datagrams come in with their
// source and the time. Nothing is allocated per data packet. One thread
// drives it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "rtc/NetAddress.h"
#include "rtc/Random.h"
#include "rtc/StunTransaction.h"

namespace rtc {

enum class TurnState
{
    Allocating, // the Allocate under way
    Allocated,  // Relayed() is ours; refreshed while it lasts
    Releasing,  // the release under way
    Released,   // released, or never allocated when the release came
    Failed,     // Error() says why
};

// For a status page: "allocating", "allocated", ...
const char* TurnStateName(TurnState state);

// A permission's or a channel's standing with the server.
enum class TurnGrant
{
    None,    // never asked for
    Pending, // asked, not yet granted
    Granted,
    Refused, // refused, unanswered or expired: PeerError() says why
};

const char* TurnGrantName(TurnGrant grant);

enum class TurnInput
{
    Dropped, // not taken: another source, malformed, stray, or unexpected
    Handled, // an answer to one of our requests, acted upon
    Data,    // a peer's datagram, unwrapped into the TurnData
};

// A peer's datagram as the relay handed it on; pb points into the
// datagram given to Receive.
struct TurnData
{
    NetAddress peer;
    const uint8_t* pb = nullptr;
    size_t cb = 0;
};

struct TurnCounters
{
    uint64_t cRequestsSent = 0; // retransmissions included
    uint64_t cDataSent = 0;     // datagrams wrapped for a peer
    uint64_t cDataReceived = 0; // datagrams unwrapped from a peer
    uint64_t cDropped = 0;      // datagrams from the server not taken
    uint64_t cWrapRefused = 0;  // no permission or channel yet, or no room
};

// Room for any request the client writes, with its bounded credentials.
const size_t c_cbTurnMessageMax = 1024;
// What wrapping adds at most: a Send indication to an IPv6 peer, padded.
const size_t c_cbTurnWrapOverhead = c_cbStunHeader + 24 + 4 + 3;

class TurnClient
{
public:
    static constexpr uint64_t c_nDefaultTimeoutMs = 1000;
    static constexpr uint32_t c_nRequestedLifetimeS = 600;
    static constexpr uint32_t c_nPermissionLifetimeS = 300;
    static constexpr uint32_t c_nChannelLifetimeS = 600;
    // A refresh goes a fifth of the lifetime early, at most a minute.
    static constexpr uint64_t c_nRefreshLeadMaxMs = 60000;
    // An unanswered refresh is tried again after this while the old
    // lifetime lasts.
    static constexpr uint64_t c_nRefreshRetryMs = 5000;
    static constexpr size_t c_cPermissionsMax = 16;
    static constexpr size_t c_cChannelsMax = 16;
    // New nonces in a row one request takes before it gives up.
    static constexpr uint32_t c_cStaleNoncesMax = 2;
    // User name, realm and nonce, in bytes.
    static constexpr size_t c_cbCredentialMax = 256;

    // Starts now: the first Allocate is due at once, and the allocation
    // must succeed within nTimeoutMs. Each later request has as long.
    TurnClient(const NetAddress& server, std::string username, std::string password, uint64_t nNowMs,
               uint64_t nTimeoutMs = c_nDefaultTimeoutMs, IceRandom random = CryptoRandom);

    // A request when one is due: true with it in pbOut, for Server(). Also
    // notices deadlines and lifetimes' ends; call it until it returns false.
    bool Poll(uint64_t nNowMs, uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut);
    // When Poll has something to do; UINT64_MAX when nothing will come.
    uint64_t NextPollMs() const;

    // A datagram that came from `from`: an answer, or a peer's data.
    TurnInput Receive(const uint8_t* pb, size_t cb, const NetAddress& from, uint64_t nNowMs, TurnData* pData);

    // Asks for a permission for the peer's IP address (its port does not
    // matter), kept while the allocation lasts; asked once allocated when
    // it is not yet. A refused one is asked again. False when full, or the
    // allocation failed or ended.
    bool Permit(const NetAddress& peer, uint64_t nNowMs);
    // Asks for a channel to the peer, which also permits its IP address.
    bool BindChannel(const NetAddress& peer, uint64_t nNowMs);

    // The datagram for the peer wrapped into pbOut (not overlapping pb):
    // ChannelData on a granted channel, else a Send indication when its
    // IP address is permitted. False (counted) when neither, when not
    // allocated, or when it does not fit.
    bool Wrap(const NetAddress& peer, const uint8_t* pb, size_t cb, uint8_t* pbOut, size_t cbOutMax,
              size_t* pcbOut);

    // Gives the allocation back. Before it was granted there is nothing
    // to give back; an Allocate then in flight expires on the server.
    void Release(uint64_t nNowMs);

    TurnState State() const { return m_state; }
    // "401 Unauthorized (wrong user name or password)", "no answer in
    // 1000 ms", ...: why it failed, or what went wrong with the release.
    const std::string& Error() const { return m_error; }
    const NetAddress& Server() const { return m_server; }
    const NetAddress& Relayed() const { return m_relayed; }
    const NetAddress& Mapped() const { return m_mapped; }
    uint32_t LifetimeS() const { return m_nLifetimeS; }
    TurnGrant Permission(const NetAddress& peer) const;
    TurnGrant Channel(const NetAddress& peer, uint16_t* pnChannel = nullptr) const;
    // The last permission or channel refused: "permission for 192.0.2.7:
    // 403 Forbidden".
    const std::string& PeerError() const { return m_peerError; }
    const TurnCounters& Counters() const { return m_counters; }

private:
    enum class Kind : uint8_t
    {
        Allocate,
        Refresh,
        Release,
        Permission,
        Channel,
    };

    // One request's target on the server: the allocation, a permission or
    // a channel, with the lifetime the server granted it.
    struct Lease
    {
        TurnGrant grant = TurnGrant::None;
        StunTransaction transaction;
        uint64_t nDueMs = 0;    // when the next request starts, while none is under way
        uint64_t nExpiryMs = 0; // the grant's end
        uint32_t cStaleNonces = 0;
        NetAddress peer;        // a permission's (port 0) or a channel's
        uint16_t nChannel = 0;
    };

    enum class Step
    {
        Idle,
        Send,
        Lost,
    };

    Kind KindOf(const Lease& lease) const;
    Step Advance(Lease& lease, uint64_t nNowMs, std::string* pReason);
    bool WriteRequest(const Lease& lease, uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut);
    void OnResponse(Lease& lease, const StunMessage& response, uint64_t nNowMs);
    void OnError(Lease& lease, const StunMessage& response, uint64_t nNowMs);
    void Grant(Lease& lease, uint32_t nLifetimeS, uint64_t nNowMs);
    void Lose(Lease& lease, const std::string& reason);
    std::string Subject(const Lease& lease) const;
    void Fail(std::string error);
    // NONCE, and REALM when there, from a 401 or 438; the key anew.
    bool TakeNonce(const StunMessage& response, std::string* pReason);
    Lease* FindResponseLease(const StunMessage& response);
    // SIZE_MAX when there is none.
    size_t PermissionIndex(const NetAddress& peer) const;
    size_t ChannelIndex(const NetAddress& peer) const;
    bool IpPermitted(const NetAddress& peer) const;
    void NextIndicationId();

    const NetAddress m_server;
    const std::string m_username;
    const std::string m_password;
    const uint64_t m_nTimeoutMs;
    IceRandom m_random;
    TurnState m_state = TurnState::Allocating;
    std::string m_error;
    std::string m_peerError;
    std::string m_realm;
    std::string m_nonce;
    bool m_bAuthenticated = false; // requests carry credentials
    uint8_t m_rgbKey[c_cbStunLongTermKey] = {};
    Lease m_allocation;
    NetAddress m_relayed;
    NetAddress m_mapped;
    uint32_t m_nLifetimeS = 0;
    Lease m_rgPermissions[c_cPermissionsMax];
    size_t m_cPermissions = 0;
    Lease m_rgChannels[c_cChannelsMax];
    size_t m_cChannels = 0;
    uint8_t m_rgbIndicationId[c_cbStunTransactionId] = {};
    TurnCounters m_counters;
};

} // namespace rtc
