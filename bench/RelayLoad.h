// Our peers held through the TURN relay against peers held directly, in
// one run: the filter's ICE list holds the run's coturn, the relayed peers
// offer to whep?iceTransportPolicy=relay (their checks and all the media
// then pass through coturn), the direct ones to whep; each number of peers
// (5, 10, 25, 50) is held relayed and direct in turn, a series stopping at
// its first number that is not held at the full frame rate with under 1 %
// loss. Per number: loss, frame rate against the encoder's, and the
// filter's "RTP transfer (vid)".
#pragma once

#include "PeerWindow.h" // first: it brings winsock2.h

#include "tests/support/TestIceServers.h"

// Prints its lines; false when something could not be measured.
bool RunRelayLoad(const CLoadTarget& target, const CTurnAccount& turn);
