#include "rtc/TurnClient.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "rtc/ChannelData.h"

namespace rtc {

namespace {

// REQUESTED-TRANSPORT's value: UDP's protocol number, then three reserved
// bytes.
const uint8_t c_rgbUdpTransport[4] = {17, 0, 0, 0};

uint64_t RefreshLeadMs(uint32_t nLifetimeS)
{
    const uint64_t nLeadMs = uint64_t(nLifetimeS) * 200;
    return nLeadMs < TurnClient::c_nRefreshLeadMaxMs ? nLeadMs : TurnClient::c_nRefreshLeadMaxMs;
}

std::string NoAnswer(uint64_t nTimeoutMs)
{
    return "no answer in " + std::to_string(nTimeoutMs) + " ms";
}

} // namespace

const char* TurnStateName(TurnState state)
{
    switch (state)
    {
    case TurnState::Allocating: return "allocating";
    case TurnState::Allocated: return "allocated";
    case TurnState::Releasing: return "releasing";
    case TurnState::Released: return "released";
    case TurnState::Failed: return "failed";
    }
    return "?";
}

const char* TurnGrantName(TurnGrant grant)
{
    switch (grant)
    {
    case TurnGrant::None: return "none";
    case TurnGrant::Pending: return "pending";
    case TurnGrant::Granted: return "granted";
    case TurnGrant::Refused: return "refused";
    }
    return "?";
}

TurnClient::TurnClient(const NetAddress& server, std::string username, std::string password, uint64_t nNowMs,
                       uint64_t nTimeoutMs, IceRandom random)
    : m_server(server), m_username(std::move(username)), m_password(std::move(password)), m_nTimeoutMs(nTimeoutMs),
      m_random(std::move(random))
{
    // Send indications need ids that differ, not secret ones: a random
    // start, counted on.
    m_random(m_rgbIndicationId, sizeof(m_rgbIndicationId));
    m_allocation.grant = TurnGrant::Pending;
    if (m_username.size() > c_cbCredentialMax)
        Fail("a user name longer than 256 bytes");
    else if (!m_allocation.transaction.Start(nNowMs, nNowMs + nTimeoutMs, m_random))
        Fail("no random numbers for the request");
}

void TurnClient::Fail(std::string error)
{
    m_state = TurnState::Failed;
    m_error = std::move(error);
    m_allocation.transaction.Stop();
    for (size_t i = 0; i < m_cPermissions; i++)
        m_rgPermissions[i].transaction.Stop();
    for (size_t i = 0; i < m_cChannels; i++)
        m_rgChannels[i].transaction.Stop();
}

TurnClient::Kind TurnClient::KindOf(const Lease& lease) const
{
    if (&lease == &m_allocation)
        return m_state == TurnState::Allocating  ? Kind::Allocate
               : m_state == TurnState::Releasing ? Kind::Release
                                                 : Kind::Refresh;
    return lease.nChannel != 0 ? Kind::Channel : Kind::Permission;
}

std::string TurnClient::Subject(const Lease& lease) const
{
    switch (KindOf(lease))
    {
    case Kind::Allocate: return "";
    case Kind::Refresh: return "refresh: ";
    case Kind::Release: return "release: ";
    case Kind::Permission: return "permission for " + IpText(lease.peer) + ": ";
    case Kind::Channel: {
        char sz[16];
        std::snprintf(sz, sizeof(sz), "0x%04X", lease.nChannel);
        return std::string("channel ") + sz + " to " + AddressText(lease.peer) + ": ";
    }
    }
    return "";
}

// The allocation's loss fails the client; a permission's or a channel's is
// that peer's alone.
void TurnClient::Lose(Lease& lease, const std::string& reason)
{
    const std::string error = Subject(lease) + reason;
    lease.transaction.Stop();
    if (&lease != &m_allocation)
    {
        lease.grant = TurnGrant::Refused;
        m_peerError = error;
    }
    else if (m_state == TurnState::Releasing)
    {
        m_state = TurnState::Released;
        m_error = error;
    }
    else
    {
        Fail(error);
    }
}

void TurnClient::Grant(Lease& lease, uint32_t nLifetimeS, uint64_t nNowMs)
{
    lease.transaction.Stop();
    lease.grant = TurnGrant::Granted;
    lease.cStaleNonces = 0;
    lease.nExpiryMs = nNowMs + uint64_t(nLifetimeS) * 1000;
    lease.nDueMs = lease.nExpiryMs - RefreshLeadMs(nLifetimeS);
}

TurnClient::Step TurnClient::Advance(Lease& lease, uint64_t nNowMs, std::string* pReason)
{
    if (lease.grant != TurnGrant::Pending && lease.grant != TurnGrant::Granted)
        return Step::Idle;
    if (lease.transaction.Expired(nNowMs))
    {
        lease.transaction.Stop();
        if (lease.grant == TurnGrant::Pending)
        {
            *pReason = NoAnswer(m_nTimeoutMs);
            return Step::Lost;
        }
        // What was granted holds until its end: try again a little later.
        lease.nDueMs = nNowMs + c_nRefreshRetryMs;
    }
    if (lease.grant == TurnGrant::Granted && nNowMs >= lease.nExpiryMs)
    {
        *pReason = "unanswered until the lifetime ended";
        return Step::Lost;
    }
    if (!lease.transaction.Active() && nNowMs >= lease.nDueMs &&
        !lease.transaction.Start(nNowMs, nNowMs + m_nTimeoutMs, m_random))
    {
        *pReason = "no random numbers for the request";
        return Step::Lost;
    }
    return lease.transaction.SendDue(nNowMs) ? Step::Send : Step::Idle;
}

bool TurnClient::Poll(uint64_t nNowMs, uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut)
{
    *pcbOut = 0;
    if (m_state == TurnState::Releasing && m_allocation.transaction.Expired(nNowMs))
    {
        Lose(m_allocation, NoAnswer(m_nTimeoutMs));
        return false;
    }
    Lease* rgpLeases[1 + c_cPermissionsMax + c_cChannelsMax];
    size_t cLeases = 0;
    if (m_state == TurnState::Allocating || m_state == TurnState::Releasing || m_state == TurnState::Allocated)
        rgpLeases[cLeases++] = &m_allocation;
    if (m_state == TurnState::Allocated)
    {
        for (size_t i = 0; i < m_cPermissions; i++)
            rgpLeases[cLeases++] = &m_rgPermissions[i];
        for (size_t i = 0; i < m_cChannels; i++)
            rgpLeases[cLeases++] = &m_rgChannels[i];
    }
    for (size_t i = 0; i < cLeases; i++)
    {
        Lease& lease = *rgpLeases[i];
        std::string reason;
        const Step step = Advance(lease, nNowMs, &reason);
        if (step == Step::Lost)
        {
            Lose(lease, reason);
            if (&lease == &m_allocation)
                return false;
            continue;
        }
        if (step != Step::Send)
            continue;
        // A buffer too small leaves the send due.
        if (!WriteRequest(lease, pbOut, cbOutMax, pcbOut))
            return false;
        lease.transaction.OnSent(nNowMs);
        m_counters.cRequestsSent++;
        return true;
    }
    return false;
}

uint64_t TurnClient::NextPollMs() const
{
    auto leaseNext = [](const Lease& lease) {
        if (lease.grant != TurnGrant::Pending && lease.grant != TurnGrant::Granted)
            return UINT64_MAX;
        uint64_t nNextMs = lease.transaction.Active() ? lease.transaction.NextMs() : lease.nDueMs;
        if (lease.grant == TurnGrant::Granted && lease.nExpiryMs < nNextMs)
            nNextMs = lease.nExpiryMs;
        return nNextMs;
    };
    if (m_state == TurnState::Allocating || m_state == TurnState::Releasing)
        return m_allocation.transaction.NextMs();
    if (m_state != TurnState::Allocated)
        return UINT64_MAX;
    uint64_t nNextMs = leaseNext(m_allocation);
    for (size_t i = 0; i < m_cPermissions; i++)
        nNextMs = std::min(nNextMs, leaseNext(m_rgPermissions[i]));
    for (size_t i = 0; i < m_cChannels; i++)
        nNextMs = std::min(nNextMs, leaseNext(m_rgChannels[i]));
    return nNextMs;
}

bool TurnClient::WriteRequest(const Lease& lease, uint8_t* pbOut, size_t cbOutMax, size_t* pcbOut)
{
    StunWriter writer(pbOut, cbOutMax);
    const Kind kind = KindOf(lease);
    switch (kind)
    {
    case Kind::Allocate:
        writer.Begin(c_nStunAllocate, StunClass::Request, lease.transaction.Id());
        writer.AddAttribute(c_nStunRequestedTransport, c_rgbUdpTransport, sizeof(c_rgbUdpTransport));
        break;
    case Kind::Refresh:
    case Kind::Release:
        writer.Begin(c_nStunRefresh, StunClass::Request, lease.transaction.Id());
        writer.AddUint32(c_nStunLifetime, kind == Kind::Release ? 0 : c_nRequestedLifetimeS);
        break;
    case Kind::Permission:
        writer.Begin(c_nStunCreatePermission, StunClass::Request, lease.transaction.Id());
        writer.AddXorAddress(c_nStunXorPeerAddress, lease.peer);
        break;
    case Kind::Channel:
        writer.Begin(c_nStunChannelBind, StunClass::Request, lease.transaction.Id());
        writer.AddUint32(c_nStunChannelNumber, uint32_t(lease.nChannel) << 16);
        writer.AddXorAddress(c_nStunXorPeerAddress, lease.peer);
        break;
    }
    if (m_bAuthenticated)
    {
        writer.AddString(c_nStunUsername, m_username);
        writer.AddString(c_nStunRealm, m_realm);
        writer.AddString(c_nStunNonce, m_nonce);
        writer.AddMessageIntegrity(m_rgbKey, sizeof(m_rgbKey));
    }
    if (writer.Failed())
        return false;
    *pcbOut = writer.Size();
    return true;
}

TurnInput TurnClient::Receive(const uint8_t* pb, size_t cb, const NetAddress& from, uint64_t nNowMs,
                              TurnData* pData)
{
    *pData = TurnData();
    const bool bLive = m_state == TurnState::Allocating || m_state == TurnState::Allocated ||
                       m_state == TurnState::Releasing;
    if (from != m_server || !bLive)
    {
        m_counters.cDropped++;
        return TurnInput::Dropped;
    }
    if (LooksLikeChannelData(pb, cb))
    {
        uint16_t nChannel = 0;
        const uint8_t* pbData = nullptr;
        size_t cbData = 0;
        const char* pszReason = nullptr;
        if (m_state == TurnState::Allocated && ReadChannelData(pb, cb, &nChannel, &pbData, &cbData, &pszReason))
        {
            // The server may use a channel as soon as it has bound it,
            // before its answer reaches us.
            for (size_t i = 0; i < m_cChannels; i++)
            {
                const Lease& channel = m_rgChannels[i];
                if (channel.nChannel == nChannel &&
                    (channel.grant == TurnGrant::Pending || channel.grant == TurnGrant::Granted))
                {
                    pData->peer = channel.peer;
                    pData->pb = pbData;
                    pData->cb = cbData;
                    m_counters.cDataReceived++;
                    return TurnInput::Data;
                }
            }
        }
        m_counters.cDropped++;
        return TurnInput::Dropped;
    }

    StunMessage message;
    const char* pszReason = nullptr;
    if (!ParseStun(pb, cb, &message, &pszReason) || message.nClass == StunClass::Request)
    {
        m_counters.cDropped++;
        return TurnInput::Dropped;
    }
    if (message.nClass == StunClass::Indication)
    {
        NetAddress peer;
        const StunAttribute* pDataAttribute = message.Find(c_nStunData);
        if (m_state != TurnState::Allocated || message.nMethod != c_nStunDataIndication || pDataAttribute == nullptr ||
            !ReadStunXorAddress(message, c_nStunXorPeerAddress, &peer) || !IpPermitted(peer))
        {
            m_counters.cDropped++;
            return TurnInput::Dropped;
        }
        pData->peer = peer;
        pData->pb = pDataAttribute->pb;
        pData->cb = pDataAttribute->cb;
        m_counters.cDataReceived++;
        return TurnInput::Data;
    }

    Lease* pLease = FindResponseLease(message);
    static const uint16_t c_rgnMethods[] = {c_nStunAllocate, c_nStunRefresh, c_nStunRefresh, c_nStunCreatePermission,
                                            c_nStunChannelBind};
    if (pLease == nullptr || message.nMethod != c_rgnMethods[static_cast<size_t>(KindOf(*pLease))])
    {
        m_counters.cDropped++;
        return TurnInput::Dropped;
    }
    // A success to a request with credentials must carry the server's
    // integrity; without it, it may be anyone's and is as if unheard. Error
    // answers such as 401 and 438 cannot carry it.
    if (message.nClass == StunClass::Success && m_bAuthenticated &&
        !CheckMessageIntegrity(message, m_rgbKey, sizeof(m_rgbKey)))
    {
        m_counters.cDropped++;
        return TurnInput::Dropped;
    }
    if (message.nClass == StunClass::Success)
        OnResponse(*pLease, message, nNowMs);
    else
        OnError(*pLease, message, nNowMs);
    return TurnInput::Handled;
}

TurnClient::Lease* TurnClient::FindResponseLease(const StunMessage& response)
{
    if (m_allocation.transaction.Matches(response))
        return &m_allocation;
    if (m_state != TurnState::Allocated)
        return nullptr;
    for (size_t i = 0; i < m_cPermissions; i++)
        if (m_rgPermissions[i].transaction.Matches(response))
            return &m_rgPermissions[i];
    for (size_t i = 0; i < m_cChannels; i++)
        if (m_rgChannels[i].transaction.Matches(response))
            return &m_rgChannels[i];
    return nullptr;
}

void TurnClient::OnResponse(Lease& lease, const StunMessage& response, uint64_t nNowMs)
{
    uint32_t nLifetimeS = 0;
    switch (KindOf(lease))
    {
    case Kind::Allocate: {
        NetAddress relayed;
        if (!ReadStunXorAddress(response, c_nStunXorRelayedAddress, &relayed))
        {
            Lose(lease, "an Allocate answer without a valid XOR-RELAYED-ADDRESS");
            return;
        }
        if (!ReadStunUint32(response, c_nStunLifetime, &nLifetimeS) || nLifetimeS == 0)
        {
            Lose(lease, "an Allocate answer without a LIFETIME");
            return;
        }
        m_relayed = relayed;
        // The server must say it, but the relay works without it.
        ReadStunXorMappedAddress(response, &m_mapped);
        m_nLifetimeS = nLifetimeS;
        m_state = TurnState::Allocated;
        Grant(lease, nLifetimeS, nNowMs);
        // Permissions and channels asked for meanwhile are due now.
        for (size_t i = 0; i < m_cPermissions; i++)
            m_rgPermissions[i].nDueMs = nNowMs;
        for (size_t i = 0; i < m_cChannels; i++)
            m_rgChannels[i].nDueMs = nNowMs;
        return;
    }
    case Kind::Refresh:
        if (!ReadStunUint32(response, c_nStunLifetime, &nLifetimeS))
        {
            Lose(lease, "an answer without a LIFETIME");
            return;
        }
        if (nLifetimeS == 0)
        {
            Lose(lease, "the server ended the allocation");
            return;
        }
        m_nLifetimeS = nLifetimeS;
        Grant(lease, nLifetimeS, nNowMs);
        return;
    case Kind::Release:
        lease.transaction.Stop();
        m_state = TurnState::Released;
        return;
    case Kind::Permission:
        Grant(lease, c_nPermissionLifetimeS, nNowMs);
        return;
    case Kind::Channel:
        Grant(lease, c_nChannelLifetimeS, nNowMs);
        return;
    }
}

bool TurnClient::TakeNonce(const StunMessage& response, std::string* pReason)
{
    std::string_view realm;
    std::string_view nonce;
    const bool bRealm = ReadStunRealmOrNonce(response, c_nStunRealm, &realm);
    // The challenge must name the realm; a later 438 may repeat it.
    if (!bRealm && !m_bAuthenticated)
    {
        *pReason = "no REALM";
        return false;
    }
    if (!ReadStunRealmOrNonce(response, c_nStunNonce, &nonce) || nonce.empty())
    {
        *pReason = "no NONCE";
        return false;
    }
    if (realm.size() > c_cbCredentialMax || nonce.size() > c_cbCredentialMax)
    {
        *pReason = "a REALM or NONCE longer than 256 bytes";
        return false;
    }
    m_nonce = std::string(nonce);
    if (bRealm)
    {
        m_realm = std::string(realm);
        if (!StunLongTermKey(m_username, m_realm, m_password, m_rgbKey))
        {
            *pReason = "no MD5 for the key";
            return false;
        }
    }
    return true;
}

void TurnClient::OnError(Lease& lease, const StunMessage& response, uint64_t nNowMs)
{
    int nCode = 0;
    std::string_view phrase;
    if (!ReadStunErrorCode(response, &nCode, &phrase))
    {
        Lose(lease, "an error answer without a valid ERROR-CODE");
        return;
    }
    std::string text = StunErrorText(nCode, phrase);
    std::string reason;
    if (nCode == c_nStunUnauthorized && !m_bAuthenticated)
    {
        // The challenge: send again with the credentials.
        if (m_username.empty())
        {
            Lose(lease, text + " (the server wants a user name and password; none was given)");
            return;
        }
        if (!TakeNonce(response, &reason))
        {
            Lose(lease, text + " with " + reason);
            return;
        }
        m_bAuthenticated = true;
        if (!lease.transaction.Restart(nNowMs, m_random))
            Lose(lease, "no random numbers for the request");
        return;
    }
    if (nCode == c_nStunStaleNonce && m_bAuthenticated)
    {
        if (lease.cStaleNonces == c_cStaleNoncesMax)
        {
            Lose(lease, text + " (" + std::to_string(c_cStaleNoncesMax + 1) + " times in a row)");
            return;
        }
        if (!TakeNonce(response, &reason))
        {
            Lose(lease, text + " with " + reason);
            return;
        }
        lease.cStaleNonces++;
        if (!lease.transaction.Restart(nNowMs, m_random))
            Lose(lease, "no random numbers for the request");
        return;
    }
    if (nCode == c_nStunUnauthorized)
        text += " (wrong user name or password)";
    else if (nCode == c_nStunAllocationMismatch && KindOf(lease) == Kind::Release)
    {
        // Already gone: released all the same.
        lease.transaction.Stop();
        m_state = TurnState::Released;
        return;
    }
    Lose(lease, text);
}

size_t TurnClient::PermissionIndex(const NetAddress& peer) const
{
    for (size_t i = 0; i < m_cPermissions; i++)
        if (SameIp(m_rgPermissions[i].peer, peer))
            return i;
    return SIZE_MAX;
}

size_t TurnClient::ChannelIndex(const NetAddress& peer) const
{
    for (size_t i = 0; i < m_cChannels; i++)
        if (m_rgChannels[i].peer == peer)
            return i;
    return SIZE_MAX;
}

bool TurnClient::IpPermitted(const NetAddress& peer) const
{
    const size_t iPermission = PermissionIndex(peer);
    if (iPermission != SIZE_MAX && m_rgPermissions[iPermission].grant == TurnGrant::Granted)
        return true;
    // A bound channel permits its peer's address too.
    for (size_t i = 0; i < m_cChannels; i++)
        if (m_rgChannels[i].grant == TurnGrant::Granted && SameIp(m_rgChannels[i].peer, peer))
            return true;
    return false;
}

bool TurnClient::Permit(const NetAddress& peer, uint64_t nNowMs)
{
    if ((m_state != TurnState::Allocating && m_state != TurnState::Allocated) || peer.AddressBytes() == 0)
        return false;
    size_t iPermission = PermissionIndex(peer);
    if (iPermission == SIZE_MAX)
    {
        if (m_cPermissions == c_cPermissionsMax)
            return false;
        iPermission = m_cPermissions++;
        m_rgPermissions[iPermission].peer = peer;
        m_rgPermissions[iPermission].peer.nPort = 0;
    }
    Lease* pPermission = &m_rgPermissions[iPermission];
    if (pPermission->grant == TurnGrant::Pending || pPermission->grant == TurnGrant::Granted)
        return true;
    pPermission->grant = TurnGrant::Pending;
    pPermission->cStaleNonces = 0;
    pPermission->nDueMs = nNowMs;
    return true;
}

bool TurnClient::BindChannel(const NetAddress& peer, uint64_t nNowMs)
{
    if ((m_state != TurnState::Allocating && m_state != TurnState::Allocated) || peer.AddressBytes() == 0)
        return false;
    size_t iChannel = ChannelIndex(peer);
    if (iChannel == SIZE_MAX)
    {
        if (m_cChannels == c_cChannelsMax)
            return false;
        // Numbers are never reused: a number stays its peer's.
        iChannel = m_cChannels++;
        m_rgChannels[iChannel].peer = peer;
        m_rgChannels[iChannel].nChannel = static_cast<uint16_t>(c_nTurnChannelFirst + iChannel);
    }
    Lease* pChannel = &m_rgChannels[iChannel];
    if (pChannel->grant == TurnGrant::Pending || pChannel->grant == TurnGrant::Granted)
        return true;
    pChannel->grant = TurnGrant::Pending;
    pChannel->cStaleNonces = 0;
    pChannel->nDueMs = nNowMs;
    return true;
}

void TurnClient::NextIndicationId()
{
    for (size_t i = c_cbStunTransactionId; i-- > 0;)
        if (++m_rgbIndicationId[i] != 0)
            break;
}

bool TurnClient::Wrap(const NetAddress& peer, const uint8_t* pb, size_t cb, uint8_t* pbOut, size_t cbOutMax,
                      size_t* pcbOut)
{
    *pcbOut = 0;
    if (m_state == TurnState::Allocated)
    {
        const size_t iChannel = ChannelIndex(peer);
        const Lease* pChannel = iChannel != SIZE_MAX ? &m_rgChannels[iChannel] : nullptr;
        if (pChannel != nullptr && pChannel->grant == TurnGrant::Granted)
        {
            if (WriteChannelData(pChannel->nChannel, pb, cb, pbOut, cbOutMax, pcbOut))
            {
                m_counters.cDataSent++;
                return true;
            }
        }
        else if (IpPermitted(peer))
        {
            NextIndicationId();
            StunWriter writer(pbOut, cbOutMax);
            writer.Begin(c_nStunSendIndication, StunClass::Indication, m_rgbIndicationId);
            writer.AddXorAddress(c_nStunXorPeerAddress, peer);
            writer.AddAttribute(c_nStunData, pb, cb);
            if (!writer.Failed())
            {
                *pcbOut = writer.Size();
                m_counters.cDataSent++;
                return true;
            }
        }
    }
    m_counters.cWrapRefused++;
    return false;
}

void TurnClient::Release(uint64_t nNowMs)
{
    if (m_state == TurnState::Allocating)
    {
        m_allocation.transaction.Stop();
        m_state = TurnState::Released;
        return;
    }
    if (m_state != TurnState::Allocated)
        return;
    for (size_t i = 0; i < m_cPermissions; i++)
        m_rgPermissions[i].transaction.Stop();
    for (size_t i = 0; i < m_cChannels; i++)
        m_rgChannels[i].transaction.Stop();
    m_state = TurnState::Releasing;
    m_allocation.cStaleNonces = 0;
    if (!m_allocation.transaction.Start(nNowMs, nNowMs + m_nTimeoutMs, m_random))
    {
        m_state = TurnState::Released;
        m_error = "release: no random numbers for the request";
    }
}

TurnGrant TurnClient::Permission(const NetAddress& peer) const
{
    const size_t iPermission = PermissionIndex(peer);
    return iPermission != SIZE_MAX ? m_rgPermissions[iPermission].grant : TurnGrant::None;
}

TurnGrant TurnClient::Channel(const NetAddress& peer, uint16_t* pnChannel) const
{
    const size_t iChannel = ChannelIndex(peer);
    if (iChannel == SIZE_MAX)
        return TurnGrant::None;
    if (pnChannel != nullptr)
        *pnChannel = m_rgChannels[iChannel].nChannel;
    return m_rgChannels[iChannel].grant;
}

} // namespace rtc
