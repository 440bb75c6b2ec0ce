#include "rtc/fuzz/GatherFuzzCase.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "rtc/ChannelData.h"
#include "rtc/IceGatherer.h"
#include "rtc/Stun.h"
#include "rtc/fuzz/FuzzSupport.h"
#include "rtc/fuzz/TurnServerDouble.h"

namespace rtc {

namespace {

using Bytes = std::vector<uint8_t>;

NetAddress V4(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t nPort)
{
    const uint8_t rgb[4] = {a, b, c, d};
    return NetAddress::V4(rgb, nPort);
}

const uint8_t c_rgbV6[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
const uint64_t c_nStartMs = 1000000;
const uint64_t c_nDeadlineMs = c_nStartMs + 1000;
const size_t c_cStepsMax = 256;
const size_t c_cSendsMax = 300;
const size_t c_cQueuedMax = 64;
const size_t c_cDoubles = 4;
const size_t c_cServers = 5;
const NetAddress c_host = V4(192, 0, 2, 10, 5000);
const NetAddress c_hostSeen = V4(203, 0, 113, 7, 41000);
const NetAddress c_relaySeen = V4(203, 0, 113, 7, 41001);
const NetAddress c_rgPeers[2] = {V4(192, 0, 2, 77, 61000), NetAddress::V6(c_rgbV6, 61001)};

NetAddress DoubleAddress(size_t i)
{
    return V4(198, 51, 100, static_cast<uint8_t>(1 + i), 3478);
}

// Where a name may resolve to: the doubles, nobody, an IPv6 nobody, no
// address at all.
NetAddress LookupAddress(uint8_t n)
{
    if (n < c_cDoubles)
        return DoubleAddress(n);
    if (n == 4)
        return V4(198, 51, 100, 9, 0);
    if (n == 5)
        return NetAddress::V6(c_rgbV6, 0);
    return NetAddress();
}

class Script
{
public:
    Script(const uint8_t* pb, size_t cb) : m_pb(pb), m_cb(cb) {}

    bool Done() const { return m_i >= m_cb; }
    uint8_t Next() { return m_i < m_cb ? m_pb[m_i++] : 0; }
    // Up to cb bytes, fewer at the end.
    Bytes Take(size_t cb)
    {
        const size_t cbTaken = cb < m_cb - m_i ? cb : m_cb - m_i;
        Bytes bytes(m_pb + m_i, m_pb + m_i + cbTaken);
        m_i += cbTaken;
        return bytes;
    }

private:
    const uint8_t* m_pb;
    size_t m_cb;
    size_t m_i = 0;
};

bool Within(const uint8_t* pbPart, size_t cbPart, const Bytes& bytes)
{
    return cbPart == 0 || (pbPart >= bytes.data() && pbPart + cbPart <= bytes.data() + bytes.size());
}

class Session
{
public:
    Session() : m_gatherer({c_host}, c_nStartMs, 1000, ZeroRandom)
    {
        for (size_t i = 0; i < c_cDoubles; i++)
        {
            TurnServerDouble::Config config;
            config.nRelayedPort = static_cast<uint16_t>(49152 + i);
            m_rgpDoubles[i] = std::make_unique<TurnServerDouble>(config);
        }
        m_gatherer.AddServer("stun:198.51.100.1", "", "");
        m_gatherer.AddServer("turn:198.51.100.2", "user", "secret");
        m_gatherer.AddServer("stun:stun.example.org", "", "");
        m_gatherer.AddServer("turn:turn.example.org?transport=udp", "user", "secret");
        m_gatherer.AddServer("turn:198.51.100.2", "user", "secret");
    }

    const char* Run(Script& script)
    {
        const char* pszFailed = Check();
        for (size_t i = 0; i < c_cStepsMax && !script.Done() && pszFailed == nullptr; i++)
        {
            pszFailed = Step(script);
            if (pszFailed == nullptr)
                pszFailed = Check();
        }
        return pszFailed != nullptr ? pszFailed : Finish();
    }

private:
    struct Queued
    {
        Bytes bytes;
        NetAddress from;
        bool bRelaySocket;
    };

    int DoubleAt(const NetAddress& address) const
    {
        for (size_t i = 0; i < c_cDoubles; i++)
            if (DoubleAddress(i) == address)
                return static_cast<int>(i);
        return -1;
    }

    const char* Step(Script& script)
    {
        const uint8_t nStep = script.Next();
        const uint8_t nOperand = script.Next();
        switch (static_cast<GatherStep>(nStep % static_cast<uint8_t>(GatherStep::Count)))
        {
        case GatherStep::Wait: m_nNowMs += uint64_t(nOperand) * 4; return nullptr;
        case GatherStep::WaitLong: m_nNowMs += uint64_t(nOperand) * 4000; return nullptr;
        case GatherStep::Send: return Send(true);
        case GatherStep::Answer: return AnswerQueued(nOperand % 2 == 0 ? 1 : c_cQueuedMax);
        case GatherStep::AnswerAll: return AnswerQueued(c_cQueuedMax);
        case GatherStep::Datagram: {
            const bool bRelaySocket = (nOperand & 1) != 0;
            const uint8_t nSource = (nOperand >> 1) & 7;
            const NetAddress from = nSource < c_cDoubles ? DoubleAddress(nSource) : c_rgPeers[nSource % 2];
            const Bytes bytes = script.Take(script.Next());
            return Receive(bRelaySocket, bytes, from, nSource >= c_cDoubles);
        }
        case GatherStep::Resolve: {
            const size_t i = (nOperand & 1) != 0 ? 3 : 2;
            m_gatherer.Resolved(i, LookupAddress((nOperand >> 1) & 7), m_nNowMs);
            std::string host;
            uint16_t nPort = 0;
            FUZZ_CHECK(!m_gatherer.NeedsLookup(i, &host, &nPort));
            return nullptr;
        }
        case GatherStep::Unresolve: m_gatherer.Unresolved((nOperand & 1) != 0 ? 3 : 2, "name not found"); return nullptr;
        case GatherStep::Permit: m_gatherer.Permit(c_rgPeers[nOperand & 1], m_nNowMs); return nullptr;
        case GatherStep::BindChannel: {
            const uint8_t nRelay = nOperand & 7;
            if (m_gatherer.BindChannel(nRelay, c_rgPeers[(nOperand >> 3) & 1], m_nNowMs))
                FUZZ_CHECK(m_gatherer.Relay(nRelay) != nullptr);
            return nullptr;
        }
        case GatherStep::Wrap: return Wrap(nOperand & 7, c_rgPeers[(nOperand >> 3) & 1]);
        case GatherStep::FromPeer: {
            TurnServerDouble& server = *m_rgpDoubles[nOperand & 3];
            const NetAddress& peer = c_rgPeers[(nOperand >> 2) & 1];
            const Bytes data = script.Take(script.Next() % 32);
            const Bytes bytes = server.FromPeer(peer, data, (nOperand & 8) != 0, (nOperand & 16) != 0);
            if (bytes.empty())
                return nullptr;
            TurnData got;
            uint8_t nRelay = 0;
            const GatherInput input =
                m_gatherer.Receive(true, bytes.data(), bytes.size(), DoubleAddress(nOperand & 3), m_nNowMs, &got,
                                   &nRelay);
            if (input == GatherInput::Data)
                FUZZ_CHECK(SameIp(got.peer, peer) && Bytes(got.pb, got.pb + got.cb) == data);
            return nullptr;
        }
        case GatherStep::Silence: m_rgbSilent[nOperand & 3] = !m_rgbSilent[nOperand & 3]; return nullptr;
        case GatherStep::Release:
            m_gatherer.Release(m_nNowMs);
            m_bReleased = true;
            return nullptr;
        case GatherStep::Count: break;
        }
        return nullptr;
    }

    // Polls what is due; the doubles answer into the queue when bAnswered.
    const char* Send(bool bAnswered)
    {
        for (size_t i = 0; i < c_cSendsMax; i++)
        {
            uint8_t rgb[c_cbIceGatherOutMax];
            size_t cb = 0;
            NetAddress to;
            bool bRelaySocket = false;
            if (!m_gatherer.Poll(m_nNowMs, rgb, sizeof(rgb), &cb, &to, &bRelaySocket))
            {
                FUZZ_CHECK(cb == 0 && m_gatherer.NextPollMs() > m_nNowMs);
                if (m_nNowMs >= c_nDeadlineMs)
                    m_bPastDeadline = true;
                return nullptr;
            }
            StunMessage request;
            const char* pszReason = nullptr;
            FUZZ_CHECK(cb <= sizeof(rgb) && ParseStun(rgb, cb, &request, &pszReason));
            FUZZ_CHECK(request.nClass == StunClass::Request);
            // Bindings from the host socket, the rest from the relay socket.
            FUZZ_CHECK(bRelaySocket == (request.nMethod != c_nStunBinding));
            if (m_bReleased)
            {
                uint32_t nLifetimeS = 1;
                FUZZ_CHECK(request.nMethod == c_nStunRefresh &&
                           ReadStunUint32(request, c_nStunLifetime, &nLifetimeS) && nLifetimeS == 0);
            }
            const int iDouble = DoubleAt(to);
            if (!bAnswered || iDouble < 0 || m_rgbSilent[iDouble] || m_queue.size() == c_cQueuedMax)
                continue;
            Bytes answer = m_rgpDoubles[iDouble]->Receive(rgb, cb, bRelaySocket ? c_relaySeen : c_hostSeen);
            if (!answer.empty())
                m_queue.push_back({std::move(answer), to, bRelaySocket});
        }
        return "Poll never stopped";
    }

    const char* AnswerQueued(size_t cAnswers)
    {
        for (size_t i = 0; i < cAnswers && !m_queue.empty(); i++)
        {
            const Queued answer = std::move(m_queue.front());
            m_queue.pop_front();
            const char* pszFailed = Receive(answer.bRelaySocket, answer.bytes, answer.from, false);
            if (pszFailed != nullptr)
                return pszFailed;
        }
        return nullptr;
    }

    const char* Receive(bool bRelaySocket, const Bytes& bytes, const NetAddress& from, bool bFromPeer)
    {
        TurnData data;
        uint8_t nRelay = 0xFF;
        const GatherInput input =
            m_gatherer.Receive(bRelaySocket, bytes.data(), bytes.size(), from, m_nNowMs, &data, &nRelay);
        if (bFromPeer)
            FUZZ_CHECK(input == GatherInput::NotMine);
        if (input == GatherInput::Data)
        {
            FUZZ_CHECK(bRelaySocket && nRelay >= 1 && nRelay <= IceGatherer::c_cRelaysMax);
            const TurnClient* pRelay = m_gatherer.Relay(nRelay);
            FUZZ_CHECK(pRelay != nullptr && pRelay->Server() == from);
            FUZZ_CHECK(Within(data.pb, data.cb, bytes));
        }
        else
        {
            FUZZ_CHECK(nRelay == 0 && data.pb == nullptr && data.cb == 0);
        }
        return nullptr;
    }

    const char* Wrap(uint8_t nRelay, const NetAddress& peer)
    {
        const uint8_t rgbPayload[5] = {0x80, 1, 2, 3, 4};
        uint8_t rgb[c_cbIceGatherOutMax];
        size_t cb = 0;
        NetAddress server;
        if (!m_gatherer.Wrap(nRelay, peer, rgbPayload, sizeof(rgbPayload), m_nNowMs, rgb, sizeof(rgb), &cb, &server))
        {
            FUZZ_CHECK(cb == 0);
            return nullptr;
        }
        const TurnClient* pRelay = m_gatherer.Relay(nRelay);
        FUZZ_CHECK(pRelay != nullptr && pRelay->Server() == server);
        uint16_t nChannel = 0;
        const uint8_t* pbData = nullptr;
        size_t cbData = 0;
        const char* pszReason = nullptr;
        StunMessage message;
        NetAddress to;
        FUZZ_CHECK(ReadChannelData(rgb, cb, &nChannel, &pbData, &cbData, &pszReason) ||
                   (ParseStun(rgb, cb, &message, &pszReason) && message.nMethod == c_nStunSendIndication &&
                    ReadStunXorAddress(message, c_nStunXorPeerAddress, &to) && to == peer));
        const int iDouble = DoubleAt(server);
        FUZZ_CHECK(iDouble >= 0 && m_rgpDoubles[iDouble]->Receive(rgb, cb, c_relaySeen).empty());
        return nullptr;
    }

    // What the status page and the answer are built from agrees.
    const char* Check()
    {
        const std::vector<IceServerOutcome> outcomes = m_gatherer.Outcomes();
        FUZZ_CHECK(outcomes.size() == c_cServers);
        for (const IceServerOutcome& outcome : outcomes)
        {
            if (outcome.state == "gathering")
                FUZZ_CHECK(outcome.error.empty() && outcome.address.empty() && !m_bPastDeadline && !m_bReleased);
            else if (outcome.state == "done")
                FUZZ_CHECK(outcome.error.empty() && !outcome.address.empty());
            else
                FUZZ_CHECK((outcome.state == "failed" || outcome.state == "not used") && !outcome.error.empty());
        }
        FUZZ_CHECK(outcomes[4].state == "not used");
        FUZZ_CHECK(m_gatherer.Finished(m_nNowMs) || m_nNowMs < c_nDeadlineMs);
        FUZZ_CHECK(!m_gatherer.Released() || m_bReleased);

        size_t cRelays = 0;
        for (uint8_t nRelay = 1; nRelay <= IceGatherer::c_cRelaysMax; nRelay++)
            cRelays += m_gatherer.Relay(nRelay) != nullptr ? 1 : 0;
        const std::vector<IceLocalCandidate> candidates = m_gatherer.Candidates();
        size_t cRelayCandidates = 0;
        for (size_t i = 0; i < candidates.size(); i++)
        {
            const IceLocalCandidate& candidate = candidates[i];
            FUZZ_CHECK(candidate.iServer < c_cServers && outcomes[candidate.iServer].state == "done");
            FUZZ_CHECK(outcomes[candidate.iServer].address == AddressText(candidate.address));
            FUZZ_CHECK(i == 0 || candidates[i - 1].nPriority > candidate.nPriority);
            FUZZ_CHECK(IceCandidateLine(candidate).find(" typ ") != std::string::npos);
            if (candidate.type == IceCandidateType::Relay)
            {
                const TurnClient* pRelay = m_gatherer.Relay(candidate.nRelay);
                FUZZ_CHECK(pRelay != nullptr && pRelay->Relayed() == candidate.address);
                cRelayCandidates++;
                continue;
            }
            FUZZ_CHECK(candidate.nRelay == 0 && candidate.related == c_host && candidate.address != c_host);
            for (size_t j = 0; j < i; j++)
                FUZZ_CHECK(candidates[j].address != candidate.address);
        }
        FUZZ_CHECK(cRelayCandidates == cRelays);
        return nullptr;
    }

    // Released and run on without answers: each round sends what is due
    // and moves the clock on (Send checks that the next poll is later), and
    // within a few retransmissions nothing is left to send.
    const char* Finish()
    {
        m_gatherer.Release(m_nNowMs);
        m_bReleased = true;
        for (size_t i = 0; i < c_cStepsMax; i++)
        {
            const char* pszFailed = Send(false);
            if (pszFailed == nullptr)
                pszFailed = Check();
            if (pszFailed != nullptr)
                return pszFailed;
            if (m_gatherer.NextPollMs() == UINT64_MAX)
                break;
            m_nNowMs = m_gatherer.NextPollMs();
        }
        FUZZ_CHECK(m_gatherer.NextPollMs() == UINT64_MAX && m_gatherer.Released());
        for (uint8_t nRelay = 0; nRelay <= IceGatherer::c_cRelaysMax; nRelay++)
            FUZZ_CHECK(m_gatherer.Relay(nRelay) == nullptr);
        return nullptr;
    }

    IceGatherer m_gatherer;
    std::unique_ptr<TurnServerDouble> m_rgpDoubles[c_cDoubles];
    bool m_rgbSilent[c_cDoubles] = {};
    std::deque<Queued> m_queue;
    uint64_t m_nNowMs = c_nStartMs;
    bool m_bPastDeadline = false; // polled at or past the deadline
    bool m_bReleased = false;
};

} // namespace

const char* CheckGatherInput(const uint8_t* pb, size_t cb)
{
    Session session;
    Script script(pb, cb);
    return session.Run(script);
}

} // namespace rtc
