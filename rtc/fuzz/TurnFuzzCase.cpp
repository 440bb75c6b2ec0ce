#include "rtc/fuzz/TurnFuzzCase.h"

#include <cstring>
#include <memory>
#include <vector>

#include "rtc/ChannelData.h"
#include "rtc/StunBindingClient.h"
#include "rtc/TurnClient.h"
#include "rtc/fuzz/FuzzSupport.h"
#include "rtc/fuzz/TurnServerDouble.h"

namespace rtc {

namespace {

const uint8_t c_rgbClient[4] = {192, 0, 2, 10};
const uint8_t c_rgbServer[4] = {198, 51, 100, 1};
const uint8_t c_rgbPeerA[4] = {192, 0, 2, 77};
const uint8_t c_rgbPeerB[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x42};
const uint8_t c_rgbPeerC[4] = {192, 0, 2, 78};
const NetAddress c_client = NetAddress::V4(c_rgbClient, 50000);
const NetAddress c_server = NetAddress::V4(c_rgbServer, 3478);
const NetAddress c_peerA = NetAddress::V4(c_rgbPeerA, 61000);
const NetAddress c_peerB = NetAddress::V6(c_rgbPeerB, 61001);
const NetAddress c_peerC = NetAddress::V4(c_rgbPeerC, 61002);
const uint64_t c_nStartMs = 1000000;
const size_t c_cStepsMax = 300;

enum class Stage
{
    Challenged,    // the first Allocate out
    Authenticated, // the 401 taken, the Allocate with credentials out
    Allocated,     // a permission and a channel granted, another permission out
    Releasing,     // the release out
};

// Polls what is due; the double answers when given.
const char* Pump(TurnClient& client, TurnServerDouble* pServer, uint64_t nNowMs)
{
    for (size_t i = 0; i < c_cStepsMax; i++)
    {
        uint8_t rgb[c_cbTurnMessageMax];
        size_t cb = 0;
        if (!client.Poll(nNowMs, rgb, sizeof(rgb), &cb))
        {
            FUZZ_CHECK(client.NextPollMs() > nNowMs);
            return nullptr;
        }
        StunMessage request;
        const char* pszReason = nullptr;
        FUZZ_CHECK(cb <= c_cbTurnMessageMax && ParseStun(rgb, cb, &request, &pszReason));
        FUZZ_CHECK(request.nClass == StunClass::Request);
        if (pServer == nullptr)
            continue;
        const std::vector<uint8_t> answer = pServer->Receive(rgb, cb, c_client);
        TurnData data;
        if (!answer.empty())
            FUZZ_CHECK(client.Receive(answer.data(), answer.size(), c_server, nNowMs, &data) ==
                       TurnInput::Handled);
    }
    return "Poll never stopped";
}

// A client at the stage, with one request out.
const char* Prepare(Stage stage, std::unique_ptr<TurnClient>* ppClient)
{
    TurnServerDouble server(TurnServerDouble::Config{});
    auto pClient = std::make_unique<TurnClient>(c_server, "user", "secret", c_nStartMs, 1000, ZeroRandom);
    TurnClient& client = *pClient;
    uint8_t rgb[c_cbTurnMessageMax];
    size_t cb = 0;
    FUZZ_CHECK(client.Poll(c_nStartMs, rgb, sizeof(rgb), &cb));
    if (stage != Stage::Challenged)
    {
        const std::vector<uint8_t> challenge = server.Receive(rgb, cb, c_client);
        TurnData data;
        FUZZ_CHECK(client.Receive(challenge.data(), challenge.size(), c_server, c_nStartMs, &data) ==
                   TurnInput::Handled);
        FUZZ_CHECK(client.Poll(c_nStartMs, rgb, sizeof(rgb), &cb));
    }
    if (stage == Stage::Allocated || stage == Stage::Releasing)
    {
        FUZZ_CHECK(client.Permit(c_peerA, c_nStartMs) && client.BindChannel(c_peerB, c_nStartMs));
        const std::vector<uint8_t> answer = server.Receive(rgb, cb, c_client);
        TurnData data;
        FUZZ_CHECK(client.Receive(answer.data(), answer.size(), c_server, c_nStartMs, &data) == TurnInput::Handled);
        const char* pszFailed = Pump(client, &server, c_nStartMs);
        if (pszFailed != nullptr)
            return pszFailed;
        FUZZ_CHECK(client.State() == TurnState::Allocated && client.Permission(c_peerA) == TurnGrant::Granted &&
                   client.Channel(c_peerB) == TurnGrant::Granted);
        FUZZ_CHECK(client.Permit(c_peerC, c_nStartMs));
        FUZZ_CHECK(client.Poll(c_nStartMs, rgb, sizeof(rgb), &cb));
    }
    if (stage == Stage::Releasing)
    {
        client.Release(c_nStartMs);
        FUZZ_CHECK(client.Poll(c_nStartMs, rgb, sizeof(rgb), &cb));
        FUZZ_CHECK(client.State() == TurnState::Releasing);
    }
    *ppClient = std::move(pClient);
    return nullptr;
}

bool Within(const uint8_t* pbPart, size_t cbPart, const uint8_t* pb, size_t cb)
{
    return cbPart == 0 || (pbPart >= pb && pbPart + cbPart <= pb + cb);
}

bool CanFollow(TurnState before, TurnState after)
{
    switch (before)
    {
    case TurnState::Allocating:
        return after == TurnState::Allocating || after == TurnState::Allocated || after == TurnState::Failed;
    case TurnState::Allocated: return after == TurnState::Allocated || after == TurnState::Failed;
    case TurnState::Releasing: return after == TurnState::Releasing || after == TurnState::Released;
    case TurnState::Released:
    case TurnState::Failed: return after == before;
    }
    return false;
}

const char* CheckWrap(TurnClient& client, const NetAddress& peer)
{
    const uint8_t rgbPayload[5] = {0x80, 1, 2, 3, 4};
    uint8_t rgb[c_cbTurnWrapOverhead + sizeof(rgbPayload)];
    size_t cb = 0;
    if (!client.Wrap(peer, rgbPayload, sizeof(rgbPayload), rgb, sizeof(rgb), &cb))
    {
        FUZZ_CHECK(cb == 0);
        return nullptr;
    }
    FUZZ_CHECK(client.State() == TurnState::Allocated);
    uint16_t nChannel = 0;
    const uint8_t* pbData = nullptr;
    size_t cbData = 0;
    const char* pszReason = nullptr;
    if (ReadChannelData(rgb, cb, &nChannel, &pbData, &cbData, &pszReason))
    {
        FUZZ_CHECK(client.Channel(peer) == TurnGrant::Granted);
        FUZZ_CHECK(cbData == sizeof(rgbPayload) && std::memcmp(pbData, rgbPayload, cbData) == 0);
        return nullptr;
    }
    StunMessage message;
    NetAddress to;
    FUZZ_CHECK(ParseStun(rgb, cb, &message, &pszReason) && message.nMethod == c_nStunSendIndication);
    FUZZ_CHECK(ReadStunXorAddress(message, c_nStunXorPeerAddress, &to) && to == peer);
    return nullptr;
}

const char* CheckStage(Stage stage, const uint8_t* pb, size_t cb)
{
    std::unique_ptr<TurnClient> pClient;
    const char* pszFailed = Prepare(stage, &pClient);
    if (pszFailed != nullptr)
        return pszFailed;
    TurnClient& client = *pClient;
    const TurnState before = client.State();
    const uint64_t cDropped = client.Counters().cDropped;
    const uint64_t nNowMs = c_nStartMs + 10;
    TurnData data;
    const TurnInput input = client.Receive(pb, cb, c_server, nNowMs, &data);
    FUZZ_CHECK(client.Counters().cDropped == cDropped + (input == TurnInput::Dropped ? 1 : 0));
    FUZZ_CHECK(CanFollow(before, client.State()));
    FUZZ_CHECK(client.State() == TurnState::Released ||
               (client.State() == TurnState::Failed) == !client.Error().empty());
    if (input == TurnInput::Data)
    {
        FUZZ_CHECK(before == TurnState::Allocated && Within(data.pb, data.cb, pb, cb));
        FUZZ_CHECK(SameIp(data.peer, c_peerA) || data.peer == c_peerB);
    }
    else
    {
        FUZZ_CHECK(data.pb == nullptr && data.cb == 0);
    }
    if (before == TurnState::Allocating && client.State() == TurnState::Allocated)
        FUZZ_CHECK(client.Relayed().AddressBytes() != 0 && client.LifetimeS() > 0);
    // The same datagram again from elsewhere is never taken.
    const TurnState after = client.State();
    FUZZ_CHECK(client.Receive(pb, cb, c_peerA, nNowMs, &data) == TurnInput::Dropped && client.State() == after);

    pszFailed = CheckWrap(client, c_peerA);
    if (pszFailed == nullptr)
        pszFailed = CheckWrap(client, c_peerB);
    if (pszFailed != nullptr)
        return pszFailed;
    // Run on without answers: every step moves the clock on, and within a
    // few refresh rounds of each grant everything has ended.
    uint64_t nStepMs = nNowMs;
    for (size_t i = 0; i < c_cStepsMax && client.NextPollMs() != UINT64_MAX; i++)
    {
        FUZZ_CHECK(client.NextPollMs() >= nStepMs);
        nStepMs = client.NextPollMs();
        pszFailed = Pump(client, nullptr, nStepMs);
        if (pszFailed != nullptr)
            return pszFailed;
    }
    FUZZ_CHECK(client.NextPollMs() == UINT64_MAX);
    FUZZ_CHECK(client.State() == TurnState::Failed || client.State() == TurnState::Released);
    return nullptr;
}

const char* CheckBinding(const uint8_t* pb, size_t cb)
{
    StunBindingClient client(c_server, c_nStartMs, 1000, ZeroRandom);
    uint8_t rgb[c_cbStunBindingRequest];
    size_t cbRequest = 0;
    FUZZ_CHECK(client.Poll(c_nStartMs, rgb, sizeof(rgb), &cbRequest));
    const bool bTaken = client.Receive(pb, cb, c_server);
    FUZZ_CHECK(bTaken == (client.State() != StunBindingState::Running));
    FUZZ_CHECK(client.State() != StunBindingState::Done || client.Mapped().AddressBytes() != 0);
    FUZZ_CHECK((client.State() == StunBindingState::Failed) == !client.Error().empty());
    FUZZ_CHECK(!client.Receive(pb, cb, c_server));
    return nullptr;
}

} // namespace

const char* CheckTurnInput(const uint8_t* pb, size_t cb)
{
    uint16_t nChannel = 0;
    const uint8_t* pbData = nullptr;
    size_t cbData = 0;
    const char* pszReason = nullptr;
    const bool bChannelData = ReadChannelData(pb, cb, &nChannel, &pbData, &cbData, &pszReason);
    FUZZ_CHECK(pszReason != nullptr && bChannelData == (*pszReason == '\0'));
    if (bChannelData)
    {
        FUZZ_CHECK(nChannel >= c_nTurnChannelFirst && nChannel <= c_nTurnChannelLast);
        FUZZ_CHECK(pbData == pb + c_cbChannelDataHeader && cb - c_cbChannelDataHeader - cbData <= 3);
        FUZZ_CHECK(LooksLikeChannelData(pb, cb));
    }
    const char* pszFailed = CheckBinding(pb, cb);
    for (Stage stage : {Stage::Challenged, Stage::Authenticated, Stage::Allocated, Stage::Releasing})
        if (pszFailed == nullptr)
            pszFailed = CheckStage(stage, pb, cb);
    return pszFailed;
}

} // namespace rtc
