#include "IceGathering.h" // first: it brings winsock2.h

#include <cstdio>

#include "BenchClock.h"
#include "HarnessIce.h"
#include "PairedRatio.h"

namespace {

// Rounds of the four lists, each round starting one further on; one more
// round before them warms up (the first allocation, coturn's first user
// lookup) and is not counted.
const int nGatherRounds = 15;

struct CList
{
    const char* pszWhat;
    std::vector<CIceServer> servers;
    size_t cSrflx; // the candidates that each answer must hold
    size_t cRelay;
    bool bSilent;  // the server that never answers, which must be asked
};

// Why an answer to the offer will not do, or "".
std::string Refusal(const CWhepExchange& exchange, const CList& list)
{
    if (exchange.nStatus != 201 || exchange.body.find("a=fingerprint") == std::string::npos)
        return "answered " + std::to_string(exchange.nStatus) + ": " + exchange.body.substr(0, 200);
    size_t cSrflx = Candidates(exchange.body, "srflx").size(), cRelay = Candidates(exchange.body, "relay").size();
    if (cSrflx != list.cSrflx || cRelay != list.cRelay)
        return "the answer has " + std::to_string(cSrflx) + " typ srflx and " + std::to_string(cRelay) +
               " typ relay candidates, not " + std::to_string(list.cSrflx) + " and " + std::to_string(list.cRelay);
    return std::string();
}

} // namespace

bool RunIceGathering(const CLoadTarget& target, const CTurnAccount& turn)
{
    CSilentServer silent;
    if (silent.Port() == 0)
    {
        std::printf("ICE gathering: not measured, no UDP socket on 127.0.0.1 for the server that never answers\n");
        return false;
    }
    const CList rgLists[] = {
        {"no ICE server", {}, 0, 0, false},
        {"one STUN server (coturn, typ srflx)", {turn.Stun()}, 1, 0, false},
        {"one TURN server (coturn, typ relay)", {turn.Turn()}, 0, 1, false},
        {"one STUN server that never answers (the 1 s bound)", {silent.Stun()}, 0, 0, true},
    };
    const size_t nLists = ARRAYSIZE(rgLists);
    if (!RestartPaused(target))
    {
        std::printf("ICE gathering: not measured, the harness's server did not pause\n");
        return false;
    }
    // One offer for all; each session is ended again, untimed.
    CRtcTestClient offerer{rtc::NetAddress{}};
    const std::string strOffer = offerer.Offer();
    std::vector<double> rgTimes[nLists]; // -1 where the answer would not do
    std::string rgRefusal[nLists];
    size_t cSilentRequests = 0;
    size_t iCurrent = nLists;
    for (size_t i = 0; i < nLists * (nGatherRounds + 1); ++i)
    {
        size_t iList = (i + i / nLists) % nLists;
        std::string strReason;
        if (iList != iCurrent && !SetHarnessIceServers(*target.pHarness, rgLists[iList].servers, &strReason))
        {
            std::printf("ICE gathering: not measured, the harness's ICE servers could not be set: %s\n",
                        strReason.c_str());
            return false;
        }
        iCurrent = iList;
        silent.ReadDry();
        double t0 = NowMs();
        CWhepExchange exchange = WhepPost(target.nPort, "/whep", strOffer);
        double dMs = NowMs() - t0;
        if (!exchange.location.empty())
            WhepDelete(target.nPort, exchange.location);
        std::string strRefusal = Refusal(exchange, rgLists[iList]);
        size_t cRequests = silent.ReadDry();
        if (strRefusal.empty() && rgLists[iList].bSilent && cRequests == 0)
            strRefusal = "the server that never answers was never asked";
        cSilentRequests += cRequests;
        if (!strRefusal.empty() && rgRefusal[iList].empty())
            rgRefusal[iList] = strRefusal;
        if (i >= nLists)
            rgTimes[iList].push_back(strRefusal.empty() ? dMs : -1.0);
    }

    std::printf("ICE gathering: the harness's filter gathers with its ICE servers between the POST of an offer "
                "and its answer; each list against none, in turns (%d rounds of the four lists, each round "
                "starting one further on, after one uncounted)\n",
                nGatherRounds);
    bool bMeasured = true;
    for (size_t iList = 1; iList < nLists; ++iList)
    {
        std::string strWhat = std::string("WHEP POST to 201, gathering with ") + rgLists[iList].pszWhat;
        if (!rgRefusal[iList].empty() || !rgRefusal[0].empty())
        {
            std::printf("%s: not measured, %s\n", strWhat.c_str(),
                        (rgRefusal[iList].empty() ? "with no ICE server " + rgRefusal[0] : rgRefusal[iList]).c_str());
            bMeasured = false;
            continue;
        }
        CPairs pairs;
        pairs.harness = rgTimes[iList];
        pairs.bare = rgTimes[0];
        bMeasured = PrintPairedRatio(strWhat.c_str(), "no ICE server", pairs, "ms") && bMeasured;
    }
    std::printf("ICE gathering: the server that never answers read %zu requests over %d offers, and answered none\n",
                cSilentRequests, nGatherRounds + 1);
    return bMeasured;
}
