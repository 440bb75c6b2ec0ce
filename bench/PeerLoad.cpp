#include "PeerPump.h" // first: it brings winsock2.h

#include "PeerLoad.h"

#include <algorithm>
#include <cstdio>

#include "app/resource.h"
#include "tests/support/ProgramWindow.h"
#include "tests/support/SavedGraphs.h"

#include "BenchClock.h"
#include "HostCpu.h"
#include "StatisticLine.h"
#include "StatusCell.h"

namespace {

// Up to the server's most (CRtcEndpoint::nMaxPeers).
const size_t rgnPeers[] = {1, 10, 25, 50, 100};
const DWORD dwConnectMs = 30000;
const DWORD dwSettleMs = 1000;
const DWORD dwWindowMs = 10000;
const double dMaxLoss = 0.01;
const double dMinRate = 0.95;

// This process's own CPU time.
double OwnCpuMs()
{
    FILETIME ftCreate, ftExit, ftKernel, ftUser;
    if (!::GetProcessTimes(::GetCurrentProcess(), &ftCreate, &ftExit, &ftKernel, &ftUser))
        return 0.0;
    auto ms = [](const FILETIME& ft) {
        return (static_cast<double>(ft.dwHighDateTime) * 4294967296.0 + ft.dwLowDateTime) / 10000.0;
    };
    return ms(ftKernel) + ms(ftUser);
}

// A process's CPU per second of wall time between the first and the last
// of its samples, taken while it runs; without a path, this process's.
class CCpuRate
{
public:
    explicit CCpuRate(std::wstring path = std::wstring()) : m_path(std::move(path)) {}

    void Sample()
    {
        double dCpuMs = m_path.empty() ? OwnCpuMs() : HostCpuMs(m_path);
        if (dCpuMs <= 0.0)
            return;
        double dNowMs = NowMs();
        if (m_dFirstMs == 0.0)
        {
            m_dFirstMs = dNowMs;
            m_dFirstCpuMs = dCpuMs;
        }
        m_dLastMs = dNowMs;
        m_dLastCpuMs = dCpuMs;
    }
    // -1 when fewer than two samples were taken.
    double MsPerSecond() const
    {
        return m_dLastMs > m_dFirstMs ? (m_dLastCpuMs - m_dFirstCpuMs) / ((m_dLastMs - m_dFirstMs) / 1000.0) : -1.0;
    }

private:
    std::wstring m_path;
    double m_dFirstMs = 0.0, m_dFirstCpuMs = 0.0, m_dLastMs = 0.0, m_dLastCpuMs = 0.0;
};

// Receivers over a window, against the frames that the source sent in it.
struct CWindowFigures
{
    double dLoss = 1.0;      // of the packets sent to all receivers
    double dWorstLoss = 1.0; // of one receiver's
    double dRate = 0.0;      // frames received against the source's, the mean
    double dWorstRate = 0.0;
    double dPackets = 0.0;   // received in all
    double dPacketsPerSecond = 0.0;

    bool Held() const { return dWorstLoss < dMaxLoss && dWorstRate >= dMinRate; }
};

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

// One number of peers held for the window.
struct CPeerStep
{
    size_t nPeers = 0;
    size_t nConnected = 0;
    CWindowFigures figures;
    double dEncoderFps = 0.0; // what the encoder gave in the window
    double dFullFps = 0.0;    // what it gave with one peer
    long nShown = -1;
    double dHarnessCpu = -1.0;
    double dPeersCpu = -1.0;
    double dTransferUs = -1.0;    // over the window alone
    double dPairs = 0.0;          // (sample, peer) pairs sent in it
    long long llReportedUs = -1;  // the filter's figure at its end
    std::vector<CArrival> recording;

    bool Held() const { return nConnected == nPeers && figures.Held(); }
};

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

// The harness's graph stopped and paused again: its figures start from
// nothing, and it runs when the first peer has connected.
bool Restart(const CLoadTarget& target)
{
    target.pHarness->Click(IDC_STOP);
    if (!WaitFor([&] { return State(target.nPort).empty(); }, 10000))
        return false;
    target.pHarness->Click(IDC_PAUSE);
    return WaitFor([&] { return State(target.nPort) == "Paused"; }, 10000);
}

// False when something could not be measured; peers that did not connect
// are a result. The peers' frame rates are set against dFullFps, the
// encoder's with one peer (0: this step's own encoder rate).
bool MeasurePeers(const CLoadTarget& target, size_t nPeers, double dFullFps, CPeerStep* pStep)
{
    pStep->nPeers = nPeers;
    if (!Restart(target))
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
    for (size_t i = 0; i < nPeers; ++i)
    {
        CWhepExchange exchange;
        if (!pump.Offer(i, target.nPort, "/whep", &exchange))
        {
            std::printf("peer load: offer %zu of %zu answered %d: %s\n", i + 1, nPeers, exchange.nStatus,
                        exchange.body.substr(0, 200).c_str());
            return false;
        }
    }
    pump.PumpUntil([&] { return pump.Connected() == nPeers; }, dwConnectMs);
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
    pump.PumpUntil([&] { return NowMs() - dStartMs >= dwWindowMs; }, dwWindowMs + 1000);
    std::vector<CArrival> recording = pump.TakeRecording();
    pump.Drain();
    std::string strAfter = StatusJson(target.nPort);
    std::vector<CReceived> after = pump.Counts();
    double dSeconds = (NowMs() - dStartMs) / 1000.0;
    harnessCpu.Sample();
    peersCpu.Sample();
    pStep->nConnected = pump.Connected();
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

void PrintPeers(const CPeerStep& step)
{
    if (step.nConnected < step.nPeers)
    {
        std::printf("peers %zu: only %zu connected within %lu s\n", step.nPeers, step.nConnected,
                    static_cast<unsigned long>(dwConnectMs / 1000));
        return;
    }
    const CWindowFigures& f = step.figures;
    std::printf("peers %zu: WebRTC loss %.2f %% (worst peer %.2f %%), frame rate %.1f %% of the encoder's full "
                "%.1f fps (worst peer %.1f %%; the encoder gave %.1f fps meanwhile), %.0f packets received, %.0f a "
                "second; CPU ms/s: harness %.0f, peers %.0f; the dialog's line: Connections: %ld\n",
                step.nPeers, 100.0 * f.dLoss, 100.0 * f.dWorstLoss, 100.0 * f.dRate, step.dFullFps,
                100.0 * f.dWorstRate, step.dEncoderFps, f.dPackets, f.dPacketsPerSecond, step.dHarnessCpu,
                step.dPeersCpu, step.nShown);
}

// The reference at the same number: BareSend sends what the first peer
// received to as many bare ports. False when it could not be measured.
bool MeasureBare(const CLoadTarget& target, size_t nPorts, const std::vector<CArrival>& recording,
                 CWindowFigures* pFigures)
{
    CSendSchedule schedule;
    schedule.samples = SamplesOf(recording);
    size_t nFrames = std::count_if(schedule.samples.begin(), schedule.samples.end(),
                                   [](const CSendSample& sample) { return sample.bVideo; });
    if (nFrames < 2)
    {
        std::printf("peers %zu: bare sendto: the first peer received no frames to send alike\n", nPorts);
        return false;
    }
    CPlainPump pump(nPorts);
    if (!pump.IsOpen())
    {
        std::printf("peers %zu: bare sendto: not as many sockets on 127.0.0.1\n", nPorts);
        return false;
    }
    schedule.ports = pump.Ports();
    CTempFile file(L"bench-schedule.txt");
    if (!WriteSchedule(file.Path(), schedule))
    {
        std::printf("peers %zu: bare sendto: the schedule could not be written\n", nPorts);
        return false;
    }
    std::wstring path = target.bin + L"BareSend.exe";
    std::wstring strCmdLine = L"\"" + path + L"\" \"" + file.Path() + L"\"";
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(path.c_str(), &strCmdLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    {
        std::printf("peers %zu: BareSend.exe did not start\n", nPorts);
        return false;
    }
    CCpuRate senderCpu(path), receiversCpu;
    double dNextSampleMs = 0.0;
    double dSpanMs = schedule.samples.back().dOffsetMs;
    auto ended = [&] {
        if (NowMs() >= dNextSampleMs)
        {
            senderCpu.Sample();
            receiversCpu.Sample();
            dNextSampleMs = NowMs() + 250.0;
        }
        return ::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0;
    };
    bool bEnded = pump.PumpUntil(ended, static_cast<DWORD>(dSpanMs) + 20000);
    // What is still on its way.
    double dDrainEnd = NowMs() + 300.0;
    pump.PumpUntil([&] { return NowMs() >= dDrainEnd; }, 1000);
    DWORD dwExit = 2;
    if (!bEnded)
        ::TerminateProcess(pi.hProcess, 2);
    ::WaitForSingleObject(pi.hProcess, 5000);
    ::GetExitCodeProcess(pi.hProcess, &dwExit);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    if (dwExit == 2)
    {
        std::printf("peers %zu: BareSend %s\n", nPorts, bEnded ? "could not start sending" : "did not finish");
        return false;
    }
    // The rate as received: the frames over the span that they took to
    // come, against the schedule's frames over its own span.
    double dReceivedSpanMs = pump.LastMs() - pump.FirstMs();
    double dScale = dReceivedSpanMs > 0.0 ? dSpanMs / dReceivedSpanMs : 0.0;
    *pFigures = Compare(std::vector<CReceived>(nPorts), pump.Counts(), static_cast<double>(nFrames) / dScale,
                        dReceivedSpanMs / 1000.0);
    std::printf("peers %zu: bare sendto loss %.2f %% (worst port %.2f %%), frame rate %.1f %% of the schedule's "
                "(worst port %.1f %%), %.0f datagrams received, %.0f a second%s; CPU ms/s: BareSend %.0f, "
                "receivers %.0f\n",
                nPorts, 100.0 * pFigures->dLoss, 100.0 * pFigures->dWorstLoss, 100.0 * pFigures->dRate,
                100.0 * pFigures->dWorstRate, pFigures->dPackets, pFigures->dPacketsPerSecond,
                dwExit == 1 ? " (sendto refused some)" : "", senderCpu.MsPerSecond(), receiversCpu.MsPerSecond());
    return true;
}

} // namespace

bool RunPeerLoad(const CLoadTarget& target)
{
    std::printf("peer load: the peers are the benchmark's test clients in one thread; their checks, DTLS and "
                "SRTP unprotect share the machine's cores with the server; each number is held %lu s, its frame "
                "rates set against the encoder's with 1 peer; then BareSend sends what the first peer received "
                "(its losses filled in) to as many bare ports at the same times\n",
                static_cast<unsigned long>(dwWindowMs / 1000));
    std::vector<CPeerStep> held;
    size_t nBareHeld = 0;
    bool bBareHeldSoFar = true;
    bool bMeasured = true;
    for (size_t nPeers : rgnPeers)
    {
        CPeerStep step;
        if (!MeasurePeers(target, nPeers, held.empty() ? 0.0 : held.front().dFullFps, &step))
        {
            bMeasured = false;
            break;
        }
        PrintPeers(step);
        if (step.nConnected < nPeers)
            break;
        CWindowFigures bare;
        if (!MeasureBare(target, nPeers, step.recording, &bare))
            bMeasured = false;
        bBareHeldSoFar = bBareHeldSoFar && bare.Held();
        if (bBareHeldSoFar)
            nBareHeld = nPeers;
        if (!step.Held())
            break;
        held.push_back(std::move(step));
    }
    std::printf("peers held at the full frame rate with under 1 %% loss: WebRTC %zu, bare sendto to as many ports "
                "%zu (of 1, 10, 25, 50, 100 tried in turn; the server takes 100 at most)\n",
                held.empty() ? 0 : held.back().nPeers, nBareHeld);

    // The filter's transfer time against its own with one peer.
    for (const CPeerStep& step : held)
    {
        if (step.nPeers != 1 && step.nPeers != 10 && &step != &held.back())
            continue;
        char szAgainst[96] = "";
        if (&step != &held.front() && held.front().dTransferUs > 0.0)
            std::snprintf(szAgainst, sizeof(szAgainst), ", %.2f times 1 peer's %.0f us",
                          step.dTransferUs / held.front().dTransferUs, held.front().dTransferUs);
        std::printf("RTP transfer (vid) with %zu peer%s held, as the filter reports it: %.0f us over the window "
                    "(%.0f sample-peer pairs)%s; its running mean at the window's end %lld us\n",
                    step.nPeers, step.nPeers == 1 ? "" : "s", step.dTransferUs, step.dPairs, szAgainst,
                    step.llReportedUs);
    }
    return bMeasured;
}
