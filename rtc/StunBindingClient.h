// Learns our server-reflexive address from a STUN server (RFC 8489): one
// Binding request without credentials, sent again on the transaction's
// schedule until the deadline, and the XOR-MAPPED-ADDRESS of the one
// response that matches it and comes from the server's address. It owns
// no socket and no clock: the request goes out into the caller's buffer,
// to the server's address; datagrams come in with their source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "rtc/NetAddress.h"
#include "rtc/Random.h"
#include "rtc/StunTransaction.h"

namespace rtc {

enum class StunBindingState
{
    Running,
    Done,   // Mapped() holds the address
    Failed, // Error() says why
};

// For a status page: "running", "done", "failed".
const char* StunBindingStateName(StunBindingState state);

// Room for the request: a header and FINGERPRINT.
const size_t c_cbStunBindingRequest = c_cbStunHeader + 8;

class StunBindingClient
{
public:
    static constexpr uint64_t c_nDefaultTimeoutMs = 1000;

    // Starts now: the first request is due at once.
    StunBindingClient(const NetAddress& server, uint64_t nNowMs, uint64_t nTimeoutMs = c_nDefaultTimeoutMs,
                      IceRandom random = CryptoRandom);

    // The request when a send is due: true with it in pbOut, for Server().
    // Past the deadline without an answer it fails instead.
    bool Poll(uint64_t nNowMs, uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut);
    // When Poll has something to do; UINT64_MAX once done or failed.
    uint64_t NextPollMs() const;
    // True when the datagram was the answer: the state is now Done or
    // Failed. False, and nothing changes, for anything else: another
    // source, another transaction, not STUN, or after the end.
    bool Receive(const uint8_t* pb, size_t cb, const NetAddress& from);

    StunBindingState State() const { return m_state; }
    const NetAddress& Server() const { return m_server; }
    const NetAddress& Mapped() const { return m_mapped; }
    // "no answer in 1000 ms", "error 400 Bad Request", ...; "" unless failed.
    const std::string& Error() const { return m_error; }
    uint32_t SendCount() const { return m_transaction.SendCount(); }

private:
    void Fail(std::string error);

    const NetAddress m_server;
    const uint64_t m_nTimeoutMs;
    StunTransaction m_transaction;
    StunBindingState m_state = StunBindingState::Running;
    NetAddress m_mapped;
    std::string m_error;
};

} // namespace rtc
