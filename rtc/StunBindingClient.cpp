#include "rtc/StunBindingClient.h"

#include <utility>

namespace rtc {

const char* StunBindingStateName(StunBindingState state)
{
    switch (state)
    {
    case StunBindingState::Running: return "running";
    case StunBindingState::Done: return "done";
    case StunBindingState::Failed: return "failed";
    }
    return "?";
}

StunBindingClient::StunBindingClient(const NetAddress& server, uint64_t nNowMs, uint64_t nTimeoutMs,
                                     IceRandom random)
    : m_server(server), m_nTimeoutMs(nTimeoutMs)
{
    if (!m_transaction.Start(nNowMs, nNowMs + nTimeoutMs, random))
        Fail("no random numbers for the request");
}

void StunBindingClient::Fail(std::string error)
{
    m_transaction.Stop();
    m_state = StunBindingState::Failed;
    m_error = std::move(error);
}

bool StunBindingClient::Poll(uint64_t nNowMs, uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut)
{
    *pcbOut = 0;
    if (m_state != StunBindingState::Running)
        return false;
    if (m_transaction.Expired(nNowMs))
    {
        Fail("no answer in " + std::to_string(m_nTimeoutMs) + " ms");
        return false;
    }
    if (!m_transaction.SendDue(nNowMs))
        return false;
    // Retransmissions are the same request: same id, same bytes.
    StunWriter writer(pbOut, cbOutMax);
    writer.Begin(c_nStunBinding, StunClass::Request, m_transaction.Id());
    writer.AddFingerprint();
    if (writer.Failed())
        return false; // the caller's buffer: the send stays due
    m_transaction.OnSent(nNowMs);
    *pcbOut = writer.Size();
    return true;
}

uint64_t StunBindingClient::NextPollMs() const
{
    return m_state == StunBindingState::Running ? m_transaction.NextMs() : UINT64_MAX;
}

bool StunBindingClient::Receive(const uint8_t* pb, size_t cb, const NetAddress& from)
{
    if (m_state != StunBindingState::Running || from != m_server)
        return false;
    StunMessage message;
    const char* pszReason = nullptr;
    if (!ParseStun(pb, cb, &message, &pszReason) || message.nMethod != c_nStunBinding ||
        !m_transaction.Matches(message))
        return false;
    // A FINGERPRINT is optional in the answer, but a wrong one is no answer.
    if (message.Find(c_nStunFingerprint) != nullptr && !CheckFingerprint(message))
        return false;
    if (message.nClass == StunClass::Error)
    {
        int nCode = 0;
        std::string_view reason;
        if (!ReadStunErrorCode(message, &nCode, &reason))
            Fail("an error answer without a valid ERROR-CODE");
        else
            Fail("error " + StunErrorText(nCode, reason));
        return true;
    }
    NetAddress mapped;
    if (!ReadStunXorMappedAddress(message, &mapped))
    {
        Fail("an answer without a valid XOR-MAPPED-ADDRESS");
        return true;
    }
    m_transaction.Stop();
    m_mapped = mapped;
    m_state = StunBindingState::Done;
    return true;
}

} // namespace rtc
