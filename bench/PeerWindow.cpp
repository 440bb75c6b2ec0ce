#include "PeerWindow.h" // first: it brings winsock2.h

#include <algorithm>
#include <cstdio>

#include "app/resource.h"
#include "tests/support/ProgramWindow.h"

#include "BenchClock.h"
#include "CpuRate.h"
#include "StatisticLine.h"
#include "StatusCell.h"

namespace {

const DWORD dwSettleMs = 1000;
const double dMaxLoss = 0.01;
const double dMinRate = 0.95;

std::string State(USHORT nPort)
{
    return StatusCell(nPort, "State");
}

template <class F>
bool WaitFor(F f, DWORD dwTimeoutMs)
{
    ULONGLONG nEnd = ::GetTickCount64() + dwTimeoutMs;
    while (!f())
    {
        if (::GetTickCount64() > nEnd)
            return false;
        ::Sleep(1);
    }
    return true;
}

size_t CountOf(const std::string& strText, const std::string& strPart)
{
    size_t n = 0;
    for (size_t nPos = strText.find(strPart); nPos != std::string::npos; nPos = strText.find(strPart, nPos + 1))
        ++n;
    return n;
}

} // namespace

bool RestartPaused(const CLoadTarget& target)
{
    target.pHarness->Click(IDC_STOP);
    if (!WaitFor([&] { return State(target.nPort).empty(); }, 10000))
        return false;
    target.pHarness->Click(IDC_PAUSE);
    return WaitFor([&] { return State(target.nPort) == "Paused"; }, 10000);
}

bool CWindowFigures::Held() const
{
    return dWorstLoss < dMaxLoss && dWorstRate >= dMinRate;
}

CWindowFigures Compare(const std::vector<CReceived>& before, const std::vector<CReceived>& after,
                       double dSourceFrames, double dSeconds)
{
    CWindowFigures figures;
    if (after.empty() || before.size() != after.size() || dSourceFrames <= 0.0 || dSeconds <= 0.0)
        return figures;
    double dPackets = 0.0, dLost = 0.0, dRates = 0.0;
    figures.dWorstLoss = 0.0;
    figures.dWorstRate = 1e9;
    for (size_t i = 0; i < after.size(); ++i)
    {
        double dReceived = after[i].nPackets - before[i].nPackets;
        // Late packets may fill a gap counted before the window.
        double dMissing = after[i].nLost > before[i].nLost ? after[i].nLost - before[i].nLost : 0.0;
        double dRate = (after[i].nFrames - before[i].nFrames) / dSourceFrames;
        figures.dWorstLoss = std::max(figures.dWorstLoss, dReceived + dMissing > 0 ? dMissing / (dReceived + dMissing) : 1.0);
        figures.dWorstRate = std::min(figures.dWorstRate, dRate);
        dPackets += dReceived;
        dLost += dMissing;
        dRates += dRate;
    }
    figures.dLoss = dPackets + dLost > 0 ? dLost / (dPackets + dLost) : 1.0;
    figures.dRate = dRates / static_cast<double>(after.size());
    figures.dPackets = dPackets;
    figures.dPacketsPerSecond = dPackets / dSeconds;
    return figures;
}

bool MeasurePeers(const CLoadTarget& target, size_t nPeers, const std::string& strWhepPath, double dFullFps,
                  CPeerStep* pStep)
{
    pStep->nPeers = nPeers;
    if (!RestartPaused(target))
    {
        std::printf("peer load: the harness's server did not pause again\n");
        return false;
    }
    CPeerPump pump;
    if (!pump.Make(nPeers))
    {
        std::printf("peer load: not %zu UDP sockets on 127.0.0.1\n", nPeers);
        return false;
    }
    // The server keeps 64 offers waiting for their peers at most
    // (CRtcEndpoint::nMaxHalfOpen), the oldest giving way: each peer
    // connects before the next one offers, as a browser starts its checks
    // at once after the answer. The first that does not ends the step.
    for (size_t i = 0; i < nPeers; ++i)
    {
        CWhepExchange exchange;
        if (!pump.Offer(i, target.nPort, strWhepPath, &exchange))
        {
            std::printf("peer load: offer %zu of %zu answered %d: %s\n", i + 1, nPeers, exchange.nStatus,
                        exchange.body.substr(0, 200).c_str());
            return false;
        }
        if (!pump.PumpUntil([&] { return pump.Connected() > i; }, dwPeerConnectMs))
            break;
    }
    pStep->nConnected = pump.Connected();
    if (pStep->nConnected < nPeers)
        return true;

    HWND hStatistic = ::GetDlgItem(target.pHarness->hDlg, IDC_STATISTIC);
    // The dialog is asked as often as it refreshes, so that the peers keep
    // up with what arrives meanwhile.
    double dSettleEnd = NowMs() + dwSettleMs;
    double dNextLookMs = dSettleEnd;
    pump.PumpUntil(
        [&] {
            if (NowMs() < dNextLookMs)
                return false;
            dNextLookMs = NowMs() + 100.0;
            pStep->nShown = ShownConnections(WindowText(hStatistic));
            return pStep->nShown == static_cast<long>(nPeers);
        },
        dwSettleMs + 3000);

    CCpuRate harnessCpu(target.harnessPath), peersCpu;
    harnessCpu.Sample();
    peersCpu.Sample();
    pump.Drain();
    std::string strBefore = StatusJson(target.nPort);
    std::vector<CReceived> before = pump.Counts();
    double dStartMs = NowMs();
    pump.StartRecording();
    pump.PumpUntil([&] { return NowMs() - dStartMs >= dwPeerWindowMs; }, dwPeerWindowMs + 1000);
    std::vector<CArrival> recording = pump.TakeRecording();
    pump.Drain();
    std::string strAfter = StatusJson(target.nPort);
    std::vector<CReceived> after = pump.Counts();
    double dSeconds = (NowMs() - dStartMs) / 1000.0;
    harnessCpu.Sample();
    peersCpu.Sample();
    pStep->nConnected = pump.Connected();
    pStep->nRelayed = CountOf(strAfter, "\"relayed\":true");
    pump.Leave();

    long long llSamples0 = JsonNumber(strBefore, "videoSamples"), llSamples1 = JsonNumber(strAfter, "videoSamples");
    long long llMean0 = JsonNumber(strBefore, "videoTransferUs"), llMean1 = JsonNumber(strAfter, "videoTransferUs");
    if (llSamples0 < 0 || llSamples1 <= llSamples0 || llMean0 < 0 || llMean1 < 0)
    {
        std::printf("peer load: status.json gave no video samples in the window\n");
        return false;
    }
    double dSamples = static_cast<double>(llSamples1 - llSamples0);
    pStep->dEncoderFps = dSamples / dSeconds;
    pStep->dFullFps = dFullFps > 0.0 ? dFullFps : pStep->dEncoderFps;
    pStep->figures = Compare(before, after, pStep->dFullFps * dSeconds, dSeconds);
    pStep->dHarnessCpu = harnessCpu.MsPerSecond();
    pStep->dPeersCpu = peersCpu.MsPerSecond();
    // The filter's mean runs from the graph's start: the window's own
    // comes from the two means and the (sample, peer) pairs under each,
    // those before the window counted by the frames the peers received.
    double dPairsBefore = 0.0;
    for (const CReceived& received : before)
        dPairsBefore += received.nFrames;
    double dPairsWindow = dSamples * static_cast<double>(nPeers);
    pStep->dTransferUs = (static_cast<double>(llMean1) * (dPairsBefore + dPairsWindow) -
                          static_cast<double>(llMean0) * dPairsBefore) / dPairsWindow;
    pStep->dPairs = dPairsWindow;
    pStep->llReportedUs = llMean1;
    pStep->recording = std::move(recording);
    return true;
}

