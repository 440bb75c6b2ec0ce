// libFuzzer target of the STUN reader and the ICE agent. Any datagram is
// read whole or refused with a reason; what is read stays within it, and
// written again (integrity and fingerprint anew) it reads back the same.
// The agent, nominated by a valid check and with a consent request out,
// takes the datagram from the selected address and from another: whatever
// it answers checks with its password, whatever it drops it counts.
#include "rtc/IceAgent.h"
#include "rtc/Stun.h"
#include "rtc/fuzz/FuzzSupport.h"
#include "rtc/fuzz/StunSeeds.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace rtc::stunseeds;

const uint8_t* Key(const char* psz)
{
    return reinterpret_cast<const uint8_t*>(psz);
}

void Check(bool b)
{
    if (!b)
        abort();
}

void ReadAll(const rtc::StunMessage& message)
{
    std::string_view text;
    rtc::NetAddress address;
    uint32_t n = 0;
    uint64_t nTiebreaker = 0;
    int nCode = 0;
    if (rtc::ReadStunUsername(message, &text))
        Check(text.size() <= 512);
    if (rtc::ReadStunXorMappedAddress(message, &address))
        Check(address.nFamily == 4 || address.nFamily == 6);
    rtc::ReadStunXorAddress(message, rtc::c_nStunXorRelayedAddress, &address);
    rtc::ReadStunPriority(message, &n);
    rtc::ReadStunUint32(message, rtc::c_nStunLifetime, &n);
    rtc::HasStunUseCandidate(message);
    rtc::ReadStunIceControlled(message, &nTiebreaker);
    rtc::ReadStunIceControlling(message, &nTiebreaker);
    if (rtc::ReadStunErrorCode(message, &nCode, &text))
        Check(nCode >= 300 && nCode <= 699);
    rtc::CheckMessageIntegrity(message, Key(c_szLocalPwd), std::strlen(c_szLocalPwd));
    rtc::CheckFingerprint(message);
}

bool IsTail(uint16_t nType)
{
    return nType == rtc::c_nStunMessageIntegrity || nType == rtc::c_nStunMessageIntegritySha256 ||
           nType == rtc::c_nStunFingerprint;
}

// The message's own attributes written again, then integrity and
// fingerprint of ours: they read back the same, and check.
void RoundTrip(const rtc::StunMessage& message)
{
    std::vector<uint8_t> buffer(message.cb + 32);
    rtc::StunWriter writer(buffer.data(), buffer.size());
    writer.Begin(message.nMethod, message.nClass, message.rgbTransactionId);
    size_t cKept = 0;
    for (size_t i = 0; i < message.cAttributes; i++)
        if (!IsTail(message.rgAttributes[i].nType))
        {
            writer.AddAttribute(message.rgAttributes[i].nType, message.rgAttributes[i].pb, message.rgAttributes[i].cb);
            cKept++;
        }
    writer.AddMessageIntegrity(Key(c_szRemotePwd), std::strlen(c_szRemotePwd));
    writer.AddFingerprint();
    if (writer.Failed())
    {
        // Only past STUN's 64 KiB.
        Check(message.cb + 32 > rtc::c_cbStunHeader + 0xFFFF);
        return;
    }
    rtc::StunMessage again;
    const char* pszReason = nullptr;
    Check(rtc::ParseStun(buffer.data(), writer.Size(), &again, &pszReason));
    Check(again.nMethod == message.nMethod && again.nClass == message.nClass && again.cAttributes == cKept + 2);
    for (size_t i = 0, j = 0; i < message.cAttributes; i++)
    {
        const rtc::StunAttribute& was = message.rgAttributes[i];
        if (IsTail(was.nType))
            continue;
        const rtc::StunAttribute& is = again.rgAttributes[j++];
        Check(is.nType == was.nType && is.cb == was.cb && std::memcmp(is.pb, was.pb, was.cb) == 0);
    }
    Check(rtc::CheckMessageIntegrity(again, Key(c_szRemotePwd), std::strlen(c_szRemotePwd)));
    Check(!rtc::CheckMessageIntegrity(again, Key(c_szLocalPwd), std::strlen(c_szLocalPwd)));
    Check(rtc::CheckFingerprint(again));
}

std::vector<uint8_t> ValidNomination()
{
    const uint8_t rgbId[rtc::c_cbStunTransactionId] = {1};
    const std::string username = std::string(c_szLocalUfrag) + ":" + c_szRemoteUfrag;
    uint8_t rgb[rtc::c_cbIceMessageMax];
    rtc::StunWriter writer(rgb, sizeof(rgb));
    writer.Begin(rtc::c_nStunBinding, rtc::StunClass::Request, rgbId);
    writer.AddString(rtc::c_nStunUsername, username);
    writer.AddUint64(rtc::c_nStunIceControlling, 1);
    writer.AddAttribute(rtc::c_nStunUseCandidate, nullptr, 0);
    writer.AddUint32(rtc::c_nStunPriority, 1);
    writer.AddMessageIntegrity(Key(c_szLocalPwd), std::strlen(c_szLocalPwd));
    writer.AddFingerprint();
    Check(!writer.Failed());
    return std::vector<uint8_t>(rgb, rgb + writer.Size());
}

uint64_t TotalDropped(const rtc::IceAgent& agent)
{
    uint64_t c = 0;
    for (uint64_t n : agent.Counters().rgcDropped)
        c += n;
    return c;
}

void Feed(rtc::IceAgent& agent, const uint8_t* pb, size_t cb, const rtc::PeerPath& from, uint64_t nNowMs)
{
    uint8_t rgbOut[rtc::c_cbIceMessageMax];
    size_t cbOut = 0;
    const uint64_t cDropped = TotalDropped(agent);
    const rtc::IceResult result = agent.Receive(pb, cb, from, nNowMs, rgbOut, sizeof(rgbOut), &cbOut);
    Check(TotalDropped(agent) == cDropped + (result == rtc::IceResult::Dropped ? 1 : 0));
    if (result != rtc::IceResult::Answered && result != rtc::IceResult::Selected)
    {
        Check(cbOut == 0);
        return;
    }
    rtc::StunMessage answer;
    const char* pszReason = nullptr;
    Check(rtc::ParseStun(rgbOut, cbOut, &answer, &pszReason));
    Check(rtc::CheckMessageIntegrity(answer, Key(c_szLocalPwd), std::strlen(c_szLocalPwd)));
    Check(rtc::CheckFingerprint(answer));
    rtc::NetAddress mapped;
    Check(answer.nClass == rtc::StunClass::Error ||
          (rtc::ReadStunXorMappedAddress(answer, &mapped) && mapped == from.remote));
    if (result == rtc::IceResult::Selected)
        Check(agent.Selected() != nullptr && *agent.Selected() == from);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pb, size_t cb)
{
    rtc::StunMessage message;
    const char* pszReason = nullptr;
    const bool bParsed = rtc::ParseStun(pb, cb, &message, &pszReason);
    Check(pszReason != nullptr && bParsed == (*pszReason == '\0'));
    if (bParsed)
    {
        Check(message.cb == cb && message.cAttributes <= rtc::c_cStunAttributesMax);
        for (size_t i = 0; i < message.cAttributes; i++)
        {
            const rtc::StunAttribute& attribute = message.rgAttributes[i];
            Check(attribute.pb >= pb + rtc::c_cbStunHeader + 4 && attribute.pb + attribute.cb <= pb + cb);
        }
        ReadAll(message);
        RoundTrip(message);
    }
    else
    {
        Check(message.cAttributes == 0);
    }
    rtc::LooksLikeStun(pb, cb);
    std::string_view ufrag;
    if (rtc::IceLocalUfragOf(pb, cb, &ufrag))
        Check(bParsed && !ufrag.empty() && ufrag.data() >= reinterpret_cast<const char*>(pb) &&
              ufrag.data() + ufrag.size() <= reinterpret_cast<const char*>(pb + cb));

    static const std::vector<uint8_t> c_nomination = ValidNomination();
    const uint8_t rgbA[4] = {192, 168, 1, 20};
    const uint8_t rgbB[16] = {0x20, 0x01, 0x0d, 0xb8, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4};
    const rtc::NetAddress a = rtc::NetAddress::V4(rgbA, 50123);
    const rtc::NetAddress b = rtc::NetAddress::V6(rgbB, 443);
    rtc::IceAgent agent(c_szLocalUfrag, c_szLocalPwd, c_szRemoteUfrag, c_szRemotePwd, rtc::ZeroRandom);
    Feed(agent, c_nomination.data(), c_nomination.size(), a, 0);
    Check(agent.Selected() != nullptr);
    uint8_t rgbOut[rtc::c_cbIceMessageMax];
    size_t cbOut = 0;
    rtc::PeerPath to;
    const uint64_t nDueMs = agent.NextPollMs();
    Check(nDueMs >= 4000 && nDueMs <= 6000);
    Check(agent.Poll(nDueMs, rgbOut, sizeof(rgbOut), &cbOut, &to) && to == a);
    Feed(agent, pb, cb, a, nDueMs + 10);
    Feed(agent, pb, cb, b, nDueMs + 20);
    // The selected address by a relay is another pair.
    Feed(agent, pb, cb, rtc::PeerPath(a, 1), nDueMs + 20);
    // Whatever came, consent lasts at most 30 s from the last valid thing.
    Check(agent.ConsentExpired(nDueMs + 20 + rtc::IceAgent::c_nConsentTimeoutMs));
    Check(!agent.Poll(nDueMs + 20 + rtc::IceAgent::c_nConsentTimeoutMs, rgbOut, sizeof(rgbOut), &cbOut, &to));
    Check(agent.NextPollMs() == UINT64_MAX);
    return 0;
}
