// The WHEP exchange, from the POST of an offer to its 201 and answer, while
// the harness's filter gathers with its ICE servers before it answers,
// against the same exchange with no ICE server, in turns in one run: one
// STUN server and one TURN server (the run's coturn), and one that never
// answers (a socket of the benchmark that reads the requests), which shows
// the gathering's bound of 1 s. Each answer must hold the candidate that
// its server gives.
#pragma once

#include "PeerWindow.h" // first: it brings winsock2.h

#include "tests/support/TestIceServers.h"

// Prints its lines; false when something could not be measured. Leaves the
// harness's graph paused.
bool RunIceGathering(const CLoadTarget& target, const CTurnAccount& turn);
