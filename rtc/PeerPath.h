// Which way a session's datagram came or goes: the client's address and
// which of our candidates carries it. The same client address reached
// directly and through a TURN relay makes two candidate pairs; answers,
// consent and media must keep to the one a datagram used.
#pragma once

#include <cstdint>
#include <string>

#include "rtc/NetAddress.h"

namespace rtc {

// Relayed candidates a session may have: paths 1..c_cRelaysMax.
constexpr uint8_t c_cRelaysMax = 4;

struct PeerPath
{
    NetAddress remote;
    uint8_t nRelay = 0; // 0: our host socket; k >= 1: the session's relay k

    PeerPath() = default;
    // Implicit on purpose: an address alone is a host path.
    PeerPath(const NetAddress& address, uint8_t nRelayIn = 0) : remote(address), nRelay(nRelayIn) {}
};

inline bool operator==(const PeerPath& a, const PeerPath& b)
{
    return a.nRelay == b.nRelay && a.remote == b.remote;
}

inline bool operator!=(const PeerPath& a, const PeerPath& b)
{
    return !(a == b);
}

// "192.0.2.1:5000", or "192.0.2.1:5000 via relay 1".
std::string PathText(const PeerPath& path);

} // namespace rtc
