#include "PeerPump.h" // first: it brings winsock2.h

#include "PeerLoad.h"

#include <algorithm>
#include <cstdio>

#include "tests/support/SavedGraphs.h"

#include "BenchClock.h"
#include "CpuRate.h"

namespace {

// Up to the server's most (CRtcEndpoint::nMaxPeers).
const size_t rgnPeers[] = {1, 10, 25, 50, 100};

void PrintPeers(const CPeerStep& step)
{
    if (step.nConnected < step.nPeers)
    {
        std::printf("peers %zu: only %zu connected, the next not within %lu s of its answer\n", step.nPeers,
                    step.nConnected, static_cast<unsigned long>(dwPeerConnectMs / 1000));
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
                static_cast<unsigned long>(dwPeerWindowMs / 1000));
    std::vector<CPeerStep> held;
    size_t nBareHeld = 0;
    bool bBareHeldSoFar = true;
    bool bMeasured = true;
    for (size_t nPeers : rgnPeers)
    {
        CPeerStep step;
        if (!MeasurePeers(target, nPeers, "/whep", held.empty() ? 0.0 : held.front().dFullFps, &step))
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
