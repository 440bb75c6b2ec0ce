#include "IceAgent.h"

#include <cstring>
#include <utility>

namespace rtc {

namespace {

// What our requests claim as PRIORITY: that of a peer-reflexive candidate
// of component 1 with the highest local preference.
const uint32_t c_nPeerReflexivePriority = (110u << 24) | (65535u << 8) | (256u - 1);

const uint8_t* Bytes(const std::string& text)
{
    return reinterpret_cast<const uint8_t*>(text.data());
}

} // namespace

const char* IceDropName(IceDrop drop)
{
    switch (drop)
    {
    case IceDrop::Malformed: return "malformed";
    case IceDrop::NotBinding: return "not a Binding request";
    case IceDrop::NoFingerprint: return "no valid fingerprint";
    case IceDrop::BadUsername: return "bad username";
    case IceDrop::BadIntegrity: return "bad message integrity";
    case IceDrop::StrayResponse: return "stray response";
    case IceDrop::ErrorResponse: return "error response";
    case IceDrop::NoRoom: return "no room for the answer";
    case IceDrop::Count: break;
    }
    return "?";
}

IceAgent::IceAgent(std::string localUfrag, std::string localPwd, std::string remoteUfrag, std::string remotePwd,
                   IceRandom random)
    : m_localPwd(std::move(localPwd)), m_remotePwd(std::move(remotePwd)),
      m_requestUsername(localUfrag + ":" + remoteUfrag), m_consentUsername(remoteUfrag + ":" + localUfrag),
      m_random(std::move(random))
{
    uint8_t rgb[8];
    if (m_random(rgb, sizeof(rgb)))
        for (uint8_t b : rgb)
            m_nTiebreaker = (m_nTiebreaker << 8) | b;
}

void IceAgent::AddRemoteCandidate(const NetAddress& address, uint32_t nPriority)
{
    for (const IceCandidate& candidate : m_signalled)
        if (candidate.address == address)
            return;
    if (m_signalled.size() >= c_cSignalledMax)
        return;
    m_signalled.push_back({address, nPriority});
    // Signalled after its checks came: no longer a discovery.
    for (IceRemote& remote : m_remotes)
        if (remote.path.remote == address)
        {
            remote.nPriority = nPriority;
            remote.bPeerReflexive = false;
        }
}

void IceAgent::Learn(const PeerPath& path, uint32_t nPriority)
{
    for (const IceRemote& remote : m_remotes)
        if (remote.path == path)
            return;
    if (m_remotes.size() >= c_cRemotesMax)
        return;
    IceRemote remote{path, nPriority, true};
    for (const IceCandidate& candidate : m_signalled)
        if (candidate.address == path.remote)
        {
            remote.nPriority = candidate.nPriority;
            remote.bPeerReflexive = false;
        }
    m_remotes.push_back(remote);
}

IceResult IceAgent::Drop(IceDrop drop)
{
    m_counters.rgcDropped[static_cast<size_t>(drop)]++;
    return IceResult::Dropped;
}

IceResult IceAgent::Receive(const uint8_t* pb, size_t cb, const PeerPath& from, uint64_t nNowMs, uint8_t* pbOut,
                            size_t cbOutMax, size_t* pcbOut)
{
    *pcbOut = 0;
    StunMessage message;
    const char* pszReason = nullptr;
    if (!ParseStun(pb, cb, &message, &pszReason))
        return Drop(IceDrop::Malformed);
    if (message.nMethod != c_nStunBinding || message.nClass == StunClass::Indication)
        return Drop(IceDrop::NotBinding);
    // Every ICE message carries one (RFC 8445, 7): it tells STUN apart from
    // the other protocols on the port.
    if (!CheckFingerprint(message))
        return Drop(IceDrop::NoFingerprint);
    if (message.nClass == StunClass::Request)
        return OnRequest(message, from, nNowMs, pbOut, cbOutMax, pcbOut);
    return OnResponse(message, from, nNowMs);
}

IceResult IceAgent::OnRequest(const StunMessage& request, const PeerPath& from, uint64_t nNowMs, uint8_t* pbOut,
                              size_t cbOutMax, size_t* pcbOut)
{
    std::string_view username;
    if (!ReadStunUsername(request, &username) || username != m_requestUsername)
        return Drop(IceDrop::BadUsername);
    if (!CheckMessageIntegrity(request, Bytes(m_localPwd), m_localPwd.size()))
        return Drop(IceDrop::BadIntegrity);

    // Both sides controlled. The controlled side with the larger tiebreaker
    // would answer 487 and the other switch; we never switch, so we always
    // answer 487 and leave the switch to the peer.
    uint64_t nPeerTiebreaker = 0;
    const bool bConflict = ReadStunIceControlled(request, &nPeerTiebreaker);

    StunWriter writer(pbOut, cbOutMax);
    if (bConflict)
    {
        writer.Begin(c_nStunBinding, StunClass::Error, request.rgbTransactionId);
        writer.AddErrorCode(c_nStunRoleConflict, "Role Conflict");
    }
    else
    {
        writer.Begin(c_nStunBinding, StunClass::Success, request.rgbTransactionId);
        // What the peer learns is its address as we see it, whichever of
        // our candidates the check reached.
        writer.AddXorMappedAddress(from.remote);
    }
    writer.AddMessageIntegrity(Bytes(m_localPwd), m_localPwd.size());
    writer.AddFingerprint();
    if (writer.Failed())
        return Drop(IceDrop::NoRoom);
    *pcbOut = writer.Size();
    m_counters.cAnswered++;
    if (bConflict)
    {
        m_counters.cRoleConflicts++;
        return IceResult::Answered;
    }

    uint32_t nPriority = 0;
    ReadStunPriority(request, &nPriority);
    Learn(from, nPriority);
    // After expiry nothing revives the session; only a restart would.
    if (ConsentExpired(nNowMs))
        return IceResult::Answered;
    // The same address by another of our candidates is another pair: its
    // nomination moves media to it.
    if (HasStunUseCandidate(request) && !(m_bSelected && m_selected == from))
    {
        m_bSelected = true;
        m_selected = from;
        m_nLastValidMs = nNowMs;
        m_nNextConsentMs = nNowMs + NextInterval();
        return IceResult::Selected;
    }
    if (m_bSelected && m_selected == from)
        m_nLastValidMs = nNowMs;
    return IceResult::Answered;
}

IceResult IceAgent::OnResponse(const StunMessage& response, const PeerPath& from, uint64_t nNowMs)
{
    Pending* pPending = nullptr;
    for (Pending& pending : m_rgPending)
        if (pending.bUsed &&
            std::memcmp(pending.rgbTransactionId, response.rgbTransactionId, c_cbStunTransactionId) == 0)
            pPending = &pending;
    if (pPending == nullptr || pPending->to != from)
        return Drop(IceDrop::StrayResponse);
    // Our request went out with the peer's password; so comes its answer.
    if (!CheckMessageIntegrity(response, Bytes(m_remotePwd), m_remotePwd.size()))
        return Drop(IceDrop::BadIntegrity);
    pPending->bUsed = false;
    if (response.nClass == StunClass::Error)
        return Drop(IceDrop::ErrorResponse);
    m_counters.cResponses++;
    if (m_bSelected && m_selected == from && !ConsentExpired(nNowMs))
        m_nLastValidMs = nNowMs;
    return IceResult::Response;
}

bool IceAgent::Poll(uint64_t nNowMs, uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut, PeerPath* pTo)
{
    *pcbOut = 0;
    if (!m_bSelected || m_bExpired)
        return false;
    if (ConsentExpired(nNowMs))
    {
        m_bExpired = true;
        return false;
    }
    if (nNowMs < m_nNextConsentMs)
        return false;

    uint8_t rgbTransactionId[c_cbStunTransactionId];
    if (!m_random(rgbTransactionId, sizeof(rgbTransactionId)))
    {
        // Try again at the next turn rather than send a guessable id.
        m_nNextConsentMs = nNowMs + NextInterval();
        return false;
    }
    StunWriter writer(pbOut, cbOutMax);
    writer.Begin(c_nStunBinding, StunClass::Request, rgbTransactionId);
    writer.AddString(c_nStunUsername, m_consentUsername);
    writer.AddUint64(c_nStunIceControlled, m_nTiebreaker);
    writer.AddUint32(c_nStunPriority, c_nPeerReflexivePriority);
    writer.AddMessageIntegrity(Bytes(m_remotePwd), m_remotePwd.size());
    writer.AddFingerprint();
    if (writer.Failed())
        return false; // the caller's buffer: the request stays due
    // The oldest outstanding request gives way: by then it is older than
    // the timeout.
    Pending& pending = m_rgPending[m_iNextPending];
    pending.bUsed = true;
    std::memcpy(pending.rgbTransactionId, rgbTransactionId, c_cbStunTransactionId);
    pending.to = m_selected;
    m_iNextPending = (m_iNextPending + 1) % c_cPendingMax;
    m_nNextConsentMs = nNowMs + NextInterval();
    m_counters.cRequestsSent++;
    *pcbOut = writer.Size();
    *pTo = m_selected;
    return true;
}

uint64_t IceAgent::NextPollMs() const
{
    if (!m_bSelected || m_bExpired)
        return UINT64_MAX;
    const uint64_t nExpiryMs = m_nLastValidMs + c_nConsentTimeoutMs;
    return m_nNextConsentMs < nExpiryMs ? m_nNextConsentMs : nExpiryMs;
}

bool IceAgent::ConsentExpired(uint64_t nNowMs) const
{
    return m_bSelected && (m_bExpired || nNowMs >= m_nLastValidMs + c_nConsentTimeoutMs);
}

uint64_t IceAgent::NextInterval()
{
    // Uniform over 0.8..1.2 of the interval (RFC 7675, 5.1), to the
    // millisecond; without randomness, the interval itself.
    uint8_t rgb[4];
    if (!m_random(rgb, sizeof(rgb)))
        return c_nConsentIntervalMs;
    const uint32_t n = (uint32_t(rgb[0]) << 24) | (uint32_t(rgb[1]) << 16) | (uint32_t(rgb[2]) << 8) | rgb[3];
    const uint64_t nLow = c_nConsentIntervalMs * 4 / 5;
    const uint64_t nSpan = c_nConsentIntervalMs * 2 / 5 + 1;
    return nLow + n % nSpan;
}

bool IceLocalUfragOf(const uint8_t* pb, size_t cb, std::string_view* pUfrag)
{
    StunMessage message;
    const char* pszReason = nullptr;
    std::string_view username;
    if (!ParseStun(pb, cb, &message, &pszReason) || message.nMethod != c_nStunBinding ||
        message.nClass != StunClass::Request || !ReadStunUsername(message, &username))
        return false;
    const size_t iColon = username.find(':');
    if (iColon == std::string_view::npos || iColon == 0)
        return false;
    *pUfrag = username.substr(0, iColon);
    return true;
}

} // namespace rtc
