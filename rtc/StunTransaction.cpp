#include "rtc/StunTransaction.h"

#include <cstring>

namespace rtc {

namespace {

// RFC 8489's Rc: no more sends than these whatever the deadline.
const uint32_t c_cSendsMax = 7;

} // namespace

bool StunTransaction::Start(uint64_t nNowMs, uint64_t nDeadlineMs, const IceRandom& random)
{
    m_nDeadlineMs = nDeadlineMs;
    return Restart(nNowMs, random);
}

bool StunTransaction::Restart(uint64_t nNowMs, const IceRandom& random)
{
    m_bActive = random(m_rgbId, sizeof(m_rgbId));
    m_nNextSendMs = nNowMs;
    m_nRtoMs = m_nDeadlineMs > nNowMs ? (m_nDeadlineMs - nNowMs) / 8 : 0;
    if (m_nRtoMs == 0)
        m_nRtoMs = 1;
    m_cSent = 0;
    return m_bActive;
}

bool StunTransaction::SendDue(uint64_t nNowMs) const
{
    return m_bActive && nNowMs < m_nDeadlineMs && nNowMs >= m_nNextSendMs && m_cSent < c_cSendsMax;
}

void StunTransaction::OnSent(uint64_t nNowMs)
{
    m_cSent++;
    m_nNextSendMs = nNowMs + m_nRtoMs;
    m_nRtoMs *= 2;
}

uint64_t StunTransaction::NextMs() const
{
    if (!m_bActive)
        return UINT64_MAX;
    return m_cSent < c_cSendsMax && m_nNextSendMs < m_nDeadlineMs ? m_nNextSendMs : m_nDeadlineMs;
}

bool StunTransaction::Matches(const StunMessage& response) const
{
    return m_bActive && (response.nClass == StunClass::Success || response.nClass == StunClass::Error) &&
           std::memcmp(response.rgbTransactionId, m_rgbId, c_cbStunTransactionId) == 0;
}

} // namespace rtc
