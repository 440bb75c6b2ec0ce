// One session's ICE agent in the controlled role (RFC 8445), as a WebRTC
// server is: it answers the browser's connectivity checks, takes the
// address the browser nominates as the one media goes to, and from then on
// keeps asking that address for consent (RFC 7675). It owns no socket and
// no clock: datagrams come in with their path (the source, and which of our
// candidates it reached: the host socket or a TURN relay) and the time, and
// what it sends goes out into the caller's buffers with the path to send
// it by. The same address over two of our candidates makes two pairs: each
// is answered, nominated and asked for consent on its own. One thread
// drives it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rtc/NetAddress.h"
#include "rtc/PeerPath.h"
#include "rtc/Random.h"
#include "rtc/Stun.h"

namespace rtc {

enum class IceResult
{
    Dropped,  // nothing to send; counted by reason
    Answered, // an answer to send back by the path it came
    Selected, // answered, and that path is now the selected one
    Response, // a valid response to one of our requests
};

enum class IceDrop
{
    Malformed,     // not a message the STUN reader takes
    NotBinding,    // another method, or an indication
    NoFingerprint, // FINGERPRINT absent or wrong
    BadUsername,   // USERNAME absent or not this session's
    BadIntegrity,  // MESSAGE-INTEGRITY absent or wrong
    StrayResponse, // a response to nothing we asked, or by another path
    ErrorResponse, // an error response to one of our requests
    NoRoom,        // the caller's buffer cannot hold the answer
    Count
};

// For a status page: "malformed", "bad username", ...
const char* IceDropName(IceDrop drop);

struct IceCounters
{
    uint64_t cAnswered = 0;      // role conflicts included
    uint64_t cRoleConflicts = 0; // answered with 487
    uint64_t cRequestsSent = 0;  // consent requests
    uint64_t cResponses = 0;     // valid success responses to them
    uint64_t rgcDropped[static_cast<size_t>(IceDrop::Count)] = {};
};

// A candidate the peer signalled.
struct IceCandidate
{
    NetAddress address;
    uint32_t nPriority = 0;
};

// A path a valid check came by.
struct IceRemote
{
    PeerPath path;
    uint32_t nPriority = 0;
    bool bPeerReflexive = false; // its address was not signalled
};

// Room for anything the agent writes, with ufrags of up to 256 characters.
const size_t c_cbIceMessageMax = 600;

class IceAgent
{
public:
    static constexpr uint64_t c_nConsentIntervalMs = 5000; // randomised 0.8..1.2
    static constexpr uint64_t c_nConsentTimeoutMs = 30000;
    static constexpr size_t c_cRemotesMax = 16;
    static constexpr size_t c_cSignalledMax = 32;
    static constexpr size_t c_cPendingMax = 8; // consent requests awaiting a response

    IceAgent(std::string localUfrag, std::string localPwd, std::string remoteUfrag, std::string remotePwd,
             IceRandom random = CryptoRandom);

    // A candidate the peer signalled, so that a request from it is not a
    // peer-reflexive discovery, by whichever path it comes. Past
    // c_cSignalledMax, ignored.
    void AddRemoteCandidate(const NetAddress& address, uint32_t nPriority);

    // A STUN datagram that came by `from`. When answered, the answer is in
    // pbOut (*pcbOut bytes) and goes back by `from`.
    IceResult Receive(const uint8_t* pb, size_t cb, const PeerPath& from, uint64_t nNowMs, uint8_t* pbOut,
                      size_t cbOutMax, size_t* pcbOut);

    // A consent request when one is due: true with it in pbOut and the
    // path to send it by, the selected one.
    bool Poll(uint64_t nNowMs, uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut, PeerPath* pTo);
    // When Poll has something to do next (a request, or noticing expiry);
    // UINT64_MAX while nothing is selected or after consent expired.
    uint64_t NextPollMs() const;
    // True when nothing valid came by the selected path for 30 s: a
    // response to our request or a valid request. Final: the session is to
    // be closed. False while nothing is selected.
    bool ConsentExpired(uint64_t nNowMs) const;

    // The path media goes by; null until the peer nominates one.
    const PeerPath* Selected() const { return m_bSelected ? &m_selected : nullptr; }
    // The paths valid checks came by, c_cRemotesMax at most: one past the
    // bound is still answered and can be selected, only not listed.
    const std::vector<IceRemote>& Remotes() const { return m_remotes; }
    const IceCounters& Counters() const { return m_counters; }
    uint64_t Tiebreaker() const { return m_nTiebreaker; }

private:
    struct Pending
    {
        bool bUsed = false;
        uint8_t rgbTransactionId[c_cbStunTransactionId] = {};
        PeerPath to;
    };

    IceResult OnRequest(const StunMessage& request, const PeerPath& from, uint64_t nNowMs, uint8_t* pbOut,
                        size_t cbOutMax, size_t* pcbOut);
    IceResult OnResponse(const StunMessage& response, const PeerPath& from, uint64_t nNowMs);
    IceResult Drop(IceDrop drop);
    // A path a valid check came by, with the PRIORITY it claimed.
    void Learn(const PeerPath& path, uint32_t nPriority);
    uint64_t NextInterval();

    const std::string m_localPwd;
    const std::string m_remotePwd;
    const std::string m_requestUsername; // "local:remote", the peer's requests
    const std::string m_consentUsername; // "remote:local", ours
    IceRandom m_random;
    uint64_t m_nTiebreaker = 0;
    std::vector<IceCandidate> m_signalled;
    std::vector<IceRemote> m_remotes;
    bool m_bSelected = false;
    PeerPath m_selected;
    uint64_t m_nLastValidMs = 0;
    uint64_t m_nNextConsentMs = 0;
    bool m_bExpired = false;
    Pending m_rgPending[c_cPendingMax];
    size_t m_iNextPending = 0;
    IceCounters m_counters;
};

// The local ufrag a Binding request is meant for (its USERNAME before the
// colon), so that a server with one port for many sessions finds the one a
// request from a new address belongs to. Points into pb; false when pb is
// not a Binding request with such a USERNAME.
bool IceLocalUfragOf(const uint8_t* pb, size_t cb, std::string_view* pUfrag);

} // namespace rtc
