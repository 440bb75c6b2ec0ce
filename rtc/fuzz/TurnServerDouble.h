// A TURN server over UDP in memory, answering as RFC 8656 says, for the
// TURN client's and the gatherer's tests, their fuzz targets and the corpus
// replay: long-term credentials (401 with realm and nonce, 438 for a stale
// nonce), one allocation, permissions, channels, what clients send to peers
// taken in, and what peers send wrapped for the client. Like real TURN
// servers it is a STUN server too: Binding requests are answered with the
// sender's address, without credentials. Faults on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rtc/NetAddress.h"

namespace rtc {

class TurnServerDouble
{
public:
    struct Config
    {
        std::string realm = "corvasta.test";
        std::string username = "user";
        std::string password = "secret";
        uint32_t nLifetimeS = 600;
        uint32_t cStaleNonces = 0;         // authenticated requests answered 438 first
        uint32_t cAnswersMax = UINT32_MAX; // silent after this many answers
        uint16_t nRelayedPort = 49152;     // of the relayed address, so that two servers' differ
    };

    struct Delivery
    {
        NetAddress peer;
        std::vector<uint8_t> data;
        bool bChannel = false; // came as ChannelData, not a Send indication
    };

    explicit TurnServerDouble(Config config);

    // The answer to a datagram from the client at `from`; empty when there
    // is none (an indication, ChannelData, garbage, silence).
    std::vector<uint8_t> Receive(const uint8_t* pb, size_t cb, const NetAddress& from);

    // A peer's datagram for the client: a Data indication, or ChannelData
    // on the peer's channel (padded to 4 when asked). Empty when the peer
    // has no permission or channel.
    std::vector<uint8_t> FromPeer(const NetAddress& peer, const std::vector<uint8_t>& data, bool bChannel,
                                  bool bPadded = false);

    // What clients sent to peers through the relay.
    std::vector<Delivery> deliveries;
    // Requests by method, retransmissions included.
    std::map<uint16_t, uint32_t> requests;
    bool bAllocated = false;
    uint32_t nLastLifetimeS = 0; // of the last Allocate or Refresh granted
    std::vector<NetAddress> permissions; // IP addresses, port 0
    std::map<uint16_t, NetAddress> channels;
    std::string nonce = "nonce-0";
    const NetAddress relayed;

private:
    std::vector<uint8_t> Answer(const uint8_t* pb, size_t cb, const NetAddress& from);
    bool Permitted(const NetAddress& peer) const;
    void Permit(const NetAddress& peer);

    Config m_config;
    uint8_t m_rgbKey[16] = {};
    uint32_t m_cAnswers = 0;
    uint32_t m_nNonce = 0;
};

} // namespace rtc
