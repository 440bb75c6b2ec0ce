// One STUN request's life over UDP (RFC 8489, 6.2.1): its transaction id,
// sent at once and again after RTO, 2 RTO, 4 RTO... until its deadline,
// when it has no answer. The RTO is an eighth of the time allowed, so that
// four sends fit in it (at 0, 1/8, 3/8 and 7/8) rather than RFC 8489's
// half-second start, which would leave two in a second. Holds no bytes:
// the owner writes the request again for each send.
#pragma once

#include <cstdint>

#include "rtc/Random.h"
#include "rtc/Stun.h"

namespace rtc {

class StunTransaction
{
public:
    // A new transaction with a fresh id, its first send due now; false
    // (and inactive) when there are no random numbers.
    bool Start(uint64_t nNowMs, uint64_t nDeadlineMs, const IceRandom& random);
    // A fresh id and schedule within the same deadline, for a request
    // that changes (credentials, a new nonce); sent at once.
    bool Restart(uint64_t nNowMs, const IceRandom& random);
    void Stop() { m_bActive = false; }

    bool Active() const { return m_bActive; }
    // A send is due: active, before the deadline, at or past its time.
    bool SendDue(uint64_t nNowMs) const;
    void OnSent(uint64_t nNowMs);
    // Active and at or past the deadline: no answer came.
    bool Expired(uint64_t nNowMs) const { return m_bActive && nNowMs >= m_nDeadlineMs; }
    // The next send or the deadline; UINT64_MAX when inactive.
    uint64_t NextMs() const;
    // Active and a response to this transaction.
    bool Matches(const StunMessage& response) const;

    const uint8_t* Id() const { return m_rgbId; }
    uint32_t SendCount() const { return m_cSent; }

private:
    bool m_bActive = false;
    uint8_t m_rgbId[c_cbStunTransactionId] = {};
    uint64_t m_nDeadlineMs = 0;
    uint64_t m_nNextSendMs = 0;
    uint64_t m_nRtoMs = 0;
    uint32_t m_cSent = 0;
};

} // namespace rtc
