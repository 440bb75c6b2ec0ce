#include "rtc/fuzz/TurnServerDouble.h"

#include <algorithm>
#include <utility>

#include "rtc/ChannelData.h"
#include "rtc/Stun.h"

namespace rtc {

namespace {

const uint8_t c_rgbRelayedIp[4] = {203, 0, 113, 50};
const uint32_t c_nLifetimeMaxS = 3600;

class Reply
{
public:
    Reply(uint16_t nMethod, StunClass nClass, const StunMessage& request) : m_writer(m_rgb, sizeof(m_rgb))
    {
        m_writer.Begin(nMethod, nClass, request.rgbTransactionId);
    }

    StunWriter& Writer() { return m_writer; }

    std::vector<uint8_t> Bytes() const
    {
        return m_writer.Failed() ? std::vector<uint8_t>() : std::vector<uint8_t>(m_rgb, m_rgb + m_writer.Size());
    }

private:
    uint8_t m_rgb[512];
    StunWriter m_writer;
};

} // namespace

TurnServerDouble::TurnServerDouble(Config config)
    : relayed(NetAddress::V4(c_rgbRelayedIp, config.nRelayedPort)), m_config(std::move(config))
{
    StunLongTermKey(m_config.username, m_config.realm, m_config.password, m_rgbKey);
}

bool TurnServerDouble::Permitted(const NetAddress& peer) const
{
    for (const NetAddress& permission : permissions)
        if (SameIp(permission, peer))
            return true;
    return false;
}

void TurnServerDouble::Permit(const NetAddress& peer)
{
    if (!Permitted(peer))
    {
        NetAddress ip = peer;
        ip.nPort = 0;
        permissions.push_back(ip);
    }
}

std::vector<uint8_t> TurnServerDouble::Receive(const uint8_t* pb, size_t cb, const NetAddress& from)
{
    std::vector<uint8_t> answer = Answer(pb, cb, from);
    if (answer.empty())
        return answer;
    if (m_cAnswers == m_config.cAnswersMax)
        return std::vector<uint8_t>();
    m_cAnswers++;
    return answer;
}

std::vector<uint8_t> TurnServerDouble::Answer(const uint8_t* pb, size_t cb, const NetAddress& from)
{
    uint16_t nChannel = 0;
    const uint8_t* pbData = nullptr;
    size_t cbData = 0;
    const char* pszReason = nullptr;
    if (ReadChannelData(pb, cb, &nChannel, &pbData, &cbData, &pszReason))
    {
        const auto it = channels.find(nChannel);
        if (bAllocated && it != channels.end())
            deliveries.push_back({it->second, std::vector<uint8_t>(pbData, pbData + cbData), true});
        return {};
    }
    StunMessage request;
    if (!ParseStun(pb, cb, &request, &pszReason))
        return {};
    if (request.nClass == StunClass::Indication)
    {
        NetAddress peer;
        const StunAttribute* pData = request.Find(c_nStunData);
        if (request.nMethod == c_nStunSendIndication && bAllocated && pData != nullptr &&
            ReadStunXorAddress(request, c_nStunXorPeerAddress, &peer) && Permitted(peer))
            deliveries.push_back({peer, std::vector<uint8_t>(pData->pb, pData->pb + pData->cb), false});
        return {};
    }
    if (request.nClass != StunClass::Request)
        return {};
    requests[request.nMethod]++;
    if (request.nMethod == c_nStunBinding)
    {
        Reply answer(c_nStunBinding, StunClass::Success, request);
        answer.Writer().AddXorMappedAddress(from);
        answer.Writer().AddFingerprint();
        return answer.Bytes();
    }

    // Long-term credentials (RFC 8489, 9.2.4): the challenge, then the
    // user, the integrity and the nonce in that order.
    std::string_view username;
    std::string_view nonceSent;
    auto challenge = [&](int nCode, const char* pszPhrase) {
        Reply answer(request.nMethod, StunClass::Error, request);
        answer.Writer().AddErrorCode(nCode, pszPhrase);
        answer.Writer().AddString(c_nStunRealm, m_config.realm);
        answer.Writer().AddString(c_nStunNonce, nonce);
        return answer.Bytes();
    };
    if (request.Find(c_nStunMessageIntegrity) == nullptr)
        return challenge(401, "Unauthorized");
    if (!ReadStunUsername(request, &username) || username != m_config.username ||
        !CheckMessageIntegrity(request, m_rgbKey, sizeof(m_rgbKey)))
        return challenge(401, "Unauthorized");
    if (!ReadStunRealmOrNonce(request, c_nStunNonce, &nonceSent) || nonceSent != nonce ||
        m_config.cStaleNonces > 0)
    {
        if (m_config.cStaleNonces > 0)
            m_config.cStaleNonces--;
        nonce = "nonce-" + std::to_string(++m_nNonce);
        return challenge(438, "Stale Nonce");
    }

    auto error = [&](int nCode, const char* pszPhrase) {
        Reply answer(request.nMethod, StunClass::Error, request);
        answer.Writer().AddErrorCode(nCode, pszPhrase);
        answer.Writer().AddMessageIntegrity(m_rgbKey, sizeof(m_rgbKey));
        return answer.Bytes();
    };
    Reply success(request.nMethod, StunClass::Success, request);
    StunWriter& writer = success.Writer();
    uint32_t nLifetimeS = m_config.nLifetimeS;
    NetAddress peer;
    switch (request.nMethod)
    {
    case c_nStunAllocate: {
        const StunAttribute* pTransport = request.Find(c_nStunRequestedTransport);
        if (pTransport == nullptr || pTransport->cb != 4)
            return error(400, "Bad Request");
        if (pTransport->pb[0] != 17)
            return error(442, "Unsupported Transport Protocol");
        if (bAllocated)
            return error(437, "Allocation Mismatch");
        bAllocated = true;
        nLastLifetimeS = nLifetimeS;
        writer.AddXorAddress(c_nStunXorRelayedAddress, relayed);
        writer.AddXorMappedAddress(from);
        writer.AddUint32(c_nStunLifetime, nLifetimeS);
        break;
    }
    case c_nStunRefresh:
        if (!bAllocated)
            return error(437, "Allocation Mismatch");
        if (ReadStunUint32(request, c_nStunLifetime, &nLifetimeS))
            nLifetimeS = std::min(nLifetimeS, c_nLifetimeMaxS);
        else
            nLifetimeS = m_config.nLifetimeS;
        if (nLifetimeS == 0)
        {
            bAllocated = false;
            permissions.clear();
            channels.clear();
        }
        nLastLifetimeS = nLifetimeS;
        writer.AddUint32(c_nStunLifetime, nLifetimeS);
        break;
    case c_nStunCreatePermission:
        if (!bAllocated)
            return error(437, "Allocation Mismatch");
        if (!ReadStunXorAddress(request, c_nStunXorPeerAddress, &peer))
            return error(400, "Bad Request");
        Permit(peer);
        break;
    case c_nStunChannelBind: {
        uint32_t nNumber = 0;
        if (!bAllocated)
            return error(437, "Allocation Mismatch");
        if (!ReadStunUint32(request, c_nStunChannelNumber, &nNumber) ||
            !ReadStunXorAddress(request, c_nStunXorPeerAddress, &peer))
            return error(400, "Bad Request");
        const uint16_t nChannel = static_cast<uint16_t>(nNumber >> 16);
        const auto it = channels.find(nChannel);
        if (nChannel < c_nTurnChannelFirst || nChannel > c_nTurnChannelLast ||
            (it != channels.end() && it->second != peer))
            return error(400, "Bad Request");
        channels[nChannel] = peer;
        Permit(peer);
        break;
    }
    default:
        return error(400, "Bad Request");
    }
    writer.AddMessageIntegrity(m_rgbKey, sizeof(m_rgbKey));
    return success.Bytes();
}

std::vector<uint8_t> TurnServerDouble::FromPeer(const NetAddress& peer, const std::vector<uint8_t>& data,
                                                bool bChannel, bool bPadded)
{
    if (!bChannel)
    {
        if (!Permitted(peer))
            return {};
        const uint8_t rgbId[12] = {0xDA, 0x7A};
        std::vector<uint8_t> bytes(c_cbStunHeader + 24 + 4 + data.size() + 3);
        StunWriter writer(bytes.data(), bytes.size());
        writer.Begin(c_nStunDataIndication, StunClass::Indication, rgbId);
        writer.AddXorAddress(c_nStunXorPeerAddress, peer);
        writer.AddAttribute(c_nStunData, data.data(), data.size());
        bytes.resize(writer.Failed() ? 0 : writer.Size());
        return bytes;
    }
    for (const auto& channel : channels)
        if (channel.second == peer)
        {
            std::vector<uint8_t> bytes(c_cbChannelDataHeader + data.size());
            size_t cb = 0;
            WriteChannelData(channel.first, data.data(), data.size(), bytes.data(), bytes.size(), &cb);
            if (bPadded)
                bytes.resize((cb + 3) & ~size_t(3), 0);
            return bytes;
        }
    return {};
}

} // namespace rtc
