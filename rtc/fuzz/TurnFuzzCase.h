// One input of the TURN fuzz target, also replayed from the kept corpus
// (corpus-turn): the datagram read as ChannelData, handed as the server's
// to a STUN binding client and to a TURN client in each of its states
// (allocating before and after the challenge, allocated with permissions
// and channels, releasing), each client then run on without answers to
// its end. The clients take transaction ids of zeros and the server
// double's credentials, so that the corpus's answers (seed-*, the
// double's) answer them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rtc {

// Null when every check holds, else the one that failed.
const char* CheckTurnInput(const uint8_t* pb, size_t cb);

} // namespace rtc
