#include "RelayLoad.h" // first: it brings winsock2.h

#include <cstdio>

#include "HarnessIce.h"

namespace {

const size_t rgnPeers[] = {5, 10, 25, 50};

struct CSeries
{
    const char* pszName;
    const char* pszWhepPath;
    bool bRelayed;
    bool bGoing = true;
    size_t nHeld = 0; // the most peers held so far
};

void PrintStep(const CSeries& series, const CPeerStep& step)
{
    if (step.nConnected < step.nPeers)
    {
        std::printf("peers %zu %s: only %zu connected, the next not within %lu s of its answer\n", step.nPeers,
                    series.pszName, step.nConnected, static_cast<unsigned long>(dwPeerConnectMs / 1000));
        return;
    }
    const CWindowFigures& f = step.figures;
    std::printf("peers %zu %s: loss %.2f %% (worst peer %.2f %%), frame rate %.1f %% of the encoder's %.1f fps "
                "(worst peer %.1f %%; the encoder gave %.1f fps meanwhile), RTP transfer (vid) %.0f us over the "
                "window; CPU ms/s: harness %.0f, peers %.0f; status.json: %zu of %zu relayed\n",
                step.nPeers, series.pszName, 100.0 * f.dLoss, 100.0 * f.dWorstLoss, 100.0 * f.dRate, step.dFullFps,
                100.0 * f.dWorstRate, step.dEncoderFps, step.dTransferUs, step.dHarnessCpu, step.dPeersCpu,
                step.nRelayed, step.nPeers);
}

} // namespace

bool RunRelayLoad(const CLoadTarget& target, const CTurnAccount& turn)
{
    std::string strReason;
    if (!SetHarnessIceServers(*target.pHarness, {turn.Turn()}, &strReason))
    {
        std::printf("peers through the TURN relay: not measured, the harness's ICE servers could not be set: %s\n",
                    strReason.c_str());
        return false;
    }
    std::printf("peers through the TURN relay: the filter's ICE list holds coturn alone, so that every offer "
                "gathers a relayed candidate; relayed peers ask for it alone, direct ones check the host "
                "candidate; each number is held %lu s relayed and direct in turn (the first of the two "
                "alternating), the frame rates set against the encoder's in the run's first window\n",
                static_cast<unsigned long>(dwPeerWindowMs / 1000));
    CSeries rgSeries[] = {{"relayed through coturn", "/whep?iceTransportPolicy=relay", true},
                          {"direct", "/whep", false}};
    double dFullFps = 0.0;
    bool bMeasured = true;
    for (size_t iCount = 0; iCount < ARRAYSIZE(rgnPeers) && bMeasured; ++iCount)
    {
        size_t nPeers = rgnPeers[iCount];
        CPeerStep rgSteps[2];
        for (size_t iTurn = 0; iTurn < 2 && bMeasured; ++iTurn)
        {
            size_t iSeries = (iTurn + iCount) % 2;
            CSeries& series = rgSeries[iSeries];
            if (!series.bGoing)
                continue;
            CPeerStep& step = rgSteps[iSeries];
            if (!MeasurePeers(target, nPeers, series.pszWhepPath, dFullFps, &step))
            {
                bMeasured = false;
                break;
            }
            if (dFullFps == 0.0)
                dFullFps = step.dFullFps;
            PrintStep(series, step);
            // The path is the point: a peer on the other one is not this
            // series' figure.
            if (step.nConnected == nPeers && step.nRelayed != (series.bRelayed ? nPeers : 0))
            {
                std::printf("peers %zu %s: not measured, status.json showed %zu of them relayed\n", nPeers,
                            series.pszName, step.nRelayed);
                bMeasured = false;
            }
            else if (step.Held())
                series.nHeld = nPeers;
            else
                series.bGoing = false;
        }
        const CPeerStep& relayed = rgSteps[0];
        const CPeerStep& direct = rgSteps[1];
        if (relayed.dTransferUs > 0.0 && direct.dTransferUs > 0.0)
            std::printf("peers %zu: RTP transfer (vid) relayed %.0f us, direct %.0f us, ratio %.2f\n", nPeers,
                        relayed.dTransferUs, direct.dTransferUs, relayed.dTransferUs / direct.dTransferUs);
        if (!rgSeries[0].bGoing && !rgSeries[1].bGoing)
            break;
    }
    std::printf("peers held at the full frame rate with under 1 %% loss, in one run: relayed through coturn %zu, "
                "direct %zu (of 5, 10, 25, 50 tried in turn)\n",
                rgSeries[0].nHeld, rgSeries[1].nHeld);
    return bMeasured;
}
