// How many WebRTC peers the harness's graph serves at once at the full
// frame rate (the encoder's with one peer) with under 1 % loss, each
// number of peers against BareSend sending the same datagrams to as many
// bare ports (the platform's limit), and the filter's "RTP transfer (vid)"
// with 1, 10 and the most peers held. The peers are our test clients, in
// this process.
#pragma once

#include "PeerWindow.h" // first: it brings winsock2.h

// Prints its lines; false when something could not be measured.
bool RunPeerLoad(const CLoadTarget& target);
