// An ICE server as the harness gives it (RFC 7064 and RFC 7065):
// stun:host[:port], stuns:host[:port], turn:host[:port][?transport=udp|tcp],
// turns:..., or the bare host:port of the built-in STUN list, which is
// STUN. A known scheme decides the form: "stun:3478" is a URI with a bad
// host, not the host "stun". Hosts are names, dotted IPv4 addresses or
// bracketed IPv6 addresses. Read whole or refused with a reason; what can
// be read but not used (TLS, TCP) is told apart with its own reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rtc/NetAddress.h"

namespace rtc {

enum class IceServerScheme
{
    Stun,
    Stuns,
    Turn,
    Turns,
};

struct IceServerUri
{
    IceServerScheme scheme = IceServerScheme::Stun;
    std::string host;   // a name, dotted IPv4, or IPv6 without its brackets
    uint16_t nPort = 0; // the default when the URI has none
    NetAddress literal; // host and port when the host is an address; no family for a name
    bool bTcp = false;  // ?transport=tcp

    bool IsTurn() const { return scheme == IceServerScheme::Turn || scheme == IceServerScheme::Turns; }
};

const size_t c_cchIceServerUriMax = 255;
const uint16_t c_nStunDefaultPort = 3478;
const uint16_t c_nStunsDefaultPort = 5349;

// False with the reason ("no port (write host:port, or stun:host)") when
// the text is not such a server.
bool ParseIceServerUri(std::string_view text, IceServerUri* pUri, std::string* pReason);

// Whether gathering can use it: STUN or TURN over UDP. False with the
// reason ("TURN over TCP is not supported") otherwise.
bool IsIceServerSupported(const IceServerUri& uri, std::string* pReason);

// How a status names the server: "STUN stun.example.org:3478",
// "TURN [2001:db8::1]:3478".
std::string IceServerLabel(const IceServerUri& uri);

} // namespace rtc
