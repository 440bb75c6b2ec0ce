// One input of the gatherer's fuzz target, also replayed from the kept
// corpus (corpus-gather): a script of what the owner and the network do to
// one session's gatherer, each step a byte and its operands. The session
// has a STUN and a TURN server by IP address, one of each by name, and a
// TURN server given twice; TURN server doubles stand at four addresses.
// Steps: the clock moved a little or a lot; what is due sent, the doubles
// answering into a queue (or not, for those made silent); answers handed
// back in order; raw datagrams on either socket from a server or a peer;
// names resolved or not; permissions, channels, wrapping and a peer's data
// through a relay; the release. After each step the outcomes, candidates
// and relays must agree; at the end the session is released and run on
// without answers until nothing is left to send.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rtc {

// Null when every check holds, else the one that failed.
const char* CheckGatherInput(const uint8_t* pb, size_t cb);

// The step codes, for writing seeds.
enum class GatherStep : uint8_t
{
    Wait,         // ms / 4
    WaitLong,     // s * 4
    Send,         // whatever is due
    Answer,       // the oldest queued answer
    AnswerAll,
    Datagram,     // flags (bit 0: relay socket, bits 1-3: source), length, bytes
    Resolve,      // bit 0: which name, bits 1-3: address
    Unresolve,    // bit 0: which name
    Permit,       // bit 0: which peer
    BindChannel,  // bits 0-2: relay, bit 3: which peer
    Wrap,         // bits 0-2: relay, bit 3: which peer
    FromPeer,     // bits 0-1: double, bit 2: peer, bit 3: as ChannelData, then a length
    Silence,      // bits 0-1: which double falls silent or speaks again
    Release,
    Count,
};

} // namespace rtc
