// Starts CorvastaTest as a user would and sets each of its waits against a
// reference measured in the same run, alternating the two, so that drift of
// the shared machine falls on both alike: process start to dialog ready
// against a bare dialog of the same template, "Build graph" against the same
// filters built and connected without the dialog (and from a saved graph of
// the same filters), the harness's CPU while it displays a running graph
// against the same graph running without the dialog, and a WebRTC peer (our
// test client: offer, answer, checks, DTLS) on the harness's paused graph,
// from its POST until the status page shows the graph running, against the
// same graph without the dialog until its page shows the connection. Then
// the WHEP exchange of an offer to its 201 and answer against the same
// server's exchange for status.json (its bare HTTP round trip).
//
// Then the delay from "Show graph" to the graph editor showing the graph,
// and the WebRTC server at work (ChromiumFirstFrame.h, PeerLoad.h): the
// viewer page in Chromium from the POST of its offer to its first decoded
// frame, against the same page's POST to its answer; how many of our peers
// the graph serves at once (1, 10, 25, 50, 100 in turn) at the encoder's
// full frame rate, its rate with 1 peer, with under 1 % loss (loss from
// each peer's RTP sequence gaps, frame rate from its marker bits), each
// number against BareSend sending the same datagrams to as many bare ports
// with plain sendto (the platform's limit); the filter's "RTP transfer
// (vid)" with 1, 10 and the most peers held, against 1 peer's. With the
// run's coturn (IceGathering.h, RelayLoad.h): the WHEP POST to its answer
// while the filter gathers with one STUN server, one TURN server and one
// that never answers, each against no ICE server; and our peers held
// through the TURN relay against peers held directly (5, 10, 25, 50 in
// turn), with their loss, frame rate and "RTP transfer (vid)". The
// UDP figures need the network namespace that scripts/bench makes (as
// root); without one they are skipped and say so. Then the HTTP server
// under a flood of half requests, what the main dialog holds after long
// runs in this process, and each encoder's CPU in a graph against its codec
// library alone.
//
// "CorvastaBench longrun" runs the long runs alone, "CorvastaBench ratios"
// the figures against references alone, "CorvastaBench webrtc" the WebRTC
// figures alone, "CorvastaBench ice" those with coturn alone,
// "CorvastaBench encoders" the encoders alone; with
// CORVASTA_BENCH_PAIRS set, each pair is printed before its line. The exit
// code is nonzero only when something could not be measured.
#include "PeerPump.h" // first: it brings winsock2.h

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/resource.h"
#include "editor/EditorIds.h"
#include "components/ComponentIds.h"
#include "tests/support/LoopbackClient.h"
#include "tests/support/ProgramWindow.h"
#include "tests/support/SavedGraphs.h"

#include "BareHost.h"
#include "BenchClock.h"
#include "ChromiumFirstFrame.h"
#include "EncoderLoad.h"
#include "HostCpu.h"
#include "IceGathering.h"
#include "Median.h"
#include "LongRun.h"
#include "PairedRatio.h"
#include "PeerLoad.h"
#include "RelayLoad.h"
#include "RequestFlood.h"
#include "StatusCell.h"

namespace {

const unsigned short nPort = 50128; // the first URL preset's port
const int nRuns = 5;
// Pairs of each figure against its reference: starts and builds are short
// and noisy, so more of them; a CPU pair takes seconds.
const int nStartPairs = 15;
const int nBuildPairs = 25;
const int nPairs = 7;
const DWORD dwCpuSettleMs = 500;
const DWORD dwCpuMeasureMs = 2500;
const int nLongRunCycles = 1000;
const int nLongRunRefreshes = 36000; // an hour of the 100 ms display timer
const int nWhepPairs = 30;
const char szNoNamespace[] =
    "skipped, no private network namespace for UDP (scripts/bench makes one when run as root)";

std::wstring Text(HWND hWnd)
{
    wchar_t sz[512] = L"";
    ::SendMessageW(hWnd, WM_GETTEXT, ARRAYSIZE(sz), reinterpret_cast<LPARAM>(sz));
    return sz;
}

template <class F>
bool WaitFor(F f, DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    while (!f())
    {
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        ::Sleep(1);
    }
    return true;
}

// A process's CPU time.
double CpuMs(const CProgram& p, const std::wstring& path)
{
    FILETIME ftCreate, ftExit, ftKernel, ftUser;
    ::GetProcessTimes(p.pi.hProcess, &ftCreate, &ftExit, &ftKernel, &ftUser);
    auto ms = [](const FILETIME& ft) {
        return (static_cast<double>(ft.dwHighDateTime) * 4294967296.0 + ft.dwLowDateTime) / 10000.0;
    };
    double dMs = ms(ftKernel) + ms(ftUser);
    // Under Wine the times of another process stand still; the host's
    // process table has the real ones.
    double dHostMs = HostCpuMs(path);
    return dHostMs > 0.0 ? dHostMs : dMs;
}

// CPU per second of wall time while the program's graph runs.
double CpuPerSecond(const CProgram& p, const std::wstring& path)
{
    ::Sleep(dwCpuSettleMs);
    double dCpu0 = CpuMs(p, path), t0 = NowMs();
    ::Sleep(dwCpuMeasureMs);
    return (CpuMs(p, path) - dCpu0) / ((NowMs() - t0) / 1000.0);
}

// The graph editor's main window attached to the harness's graph, whose
// canvas shows the built graph, or null.
HWND FindEditorShowing(DWORD dwHarnessPid)
{
    wchar_t szPid[32];
    std::swprintf(szPid, ARRAYSIZE(szPid), L"(pid %08lx) - Graph Editor", static_cast<unsigned long>(dwHarnessPid));
    HWND hWnd = nullptr;
    while ((hWnd = ::FindWindowExW(nullptr, hWnd, nullptr, nullptr)) != nullptr)
    {
        if (!::IsWindowVisible(hWnd) || Text(hWnd).find(szPid) == std::wstring::npos)
            continue;
        HWND hCanvas = ::GetDlgItem(hWnd, IDC_CANVAS);
        if (hCanvas != nullptr && Text(hCanvas) == L"4 filters, 4 connections")
            return hWnd;
    }
    return nullptr;
}

std::string StatusState()
{
    return StatusCell(nPort, "State");
}

// The reference host's hidden window, or null.
HWND FindBareHost(DWORD dwPid)
{
    HWND hWnd = nullptr;
    while ((hWnd = ::FindWindowExW(nullptr, hWnd, szBareHostClass, nullptr)) != nullptr)
    {
        DWORD dwOwner = 0;
        ::GetWindowThreadProcessId(hWnd, &dwOwner);
        if (dwOwner == dwPid)
            return hWnd;
    }
    return nullptr;
}

bool g_bUnmeasured = false;

void NotMeasured(const char* pszWhy)
{
    std::printf("%s\n", pszWhy);
    g_bUnmeasured = true;
}

void PrintRatio(const char* pszWhat, const char* pszBare, const CPairs& pairs, const char* pszUnit)
{
    if (!PrintPairedRatio(pszWhat, pszBare, pairs, pszUnit))
        g_bUnmeasured = true;
}

// A WebRTC peer on the paused graph: the time from the POST of its offer
// until the status page shows the state, or the connection count, that
// answers it; -1 when it did not. The peer leaves before it returns.
double PeerToStatus(const char* pszRow, const char* pszValue)
{
    if (!WaitFor([] { return StatusState() == "Paused"; }, 10000))
    {
        NotMeasured("the server did not report Paused");
        return -1.0;
    }
    CPeerPump peer;
    CWhepExchange exchange;
    if (!peer.Make(1))
    {
        NotMeasured("no UDP socket on 127.0.0.1");
        return -1.0;
    }
    double tPost = NowMs();
    if (!peer.Offer(0, nPort, "/whep", &exchange))
    {
        std::printf("the offer to 127.0.0.1:%u/whep was answered %d: %s\n", nPort, exchange.nStatus,
                    exchange.body.substr(0, 200).c_str());
        NotMeasured("no WebRTC peer");
        return -1.0;
    }
    // The peer answers what arrives while the page is polled, as a browser
    // would.
    if (!peer.PumpUntil([&] { return StatusCell(nPort, pszRow) == pszValue; }, 10000, 1))
    {
        NotMeasured(peer.Connected() == 0 ? "the peer did not connect" : "the status page did not show the peer");
        return -1.0;
    }
    return NowMs() - tPost;
}

// The port is free again once the server has stopped.
bool WaitServerGone()
{
    return WaitFor([] { return StatusState().empty(); }, 10000);
}

// The WebRTC figures against their references: a peer's connection as the
// status page shows it, and the WHEP exchange against the bare HTTP one.
// p is the harness with its graph built.
void RunWebRtcRatios(CProgram& p, const std::wstring& bin)
{
    CPairs connect;
    if (!InNetNamespace())
        std::printf("peer connect to graph running: %s\n", szNoNamespace);
    for (int i = 0; i < 2 * nPairs && InNetNamespace() && !g_bUnmeasured; i++)
    {
        if (!WaitServerGone())
        {
            NotMeasured("the port stayed taken");
            break;
        }
        double dMs;
        if ((i + i / 2) % 2 == 1)
        {
            CProgram bare;
            if (!bare.Start(bin + L"BareClient.exe", 30000, FindBareHost))
            {
                NotMeasured("the bare client host did not start");
                break;
            }
            if ((dMs = PeerToStatus("Connections", "1")) >= 0.0)
                connect.bare.push_back(dMs);
            continue;
        }
        p.Click(IDC_PAUSE);
        // The harness runs the graph for the peer and pauses it again when
        // the peer has left.
        if ((dMs = PeerToStatus("State", "Running")) >= 0.0)
            connect.harness.push_back(dMs);
        p.Click(IDC_STOP);
    }
    if (InNetNamespace())
        PrintRatio("peer connect to graph running (POST to the status page showing it, includes its polling)",
                   "the filter reporting the peer", connect, "ms");

    // Each offer's session is ended again, untimed; the page's request
    // goes through the same HTTP exchange. An offer sends no datagram: the
    // server's ICE waits for the peer's checks.
    if (!WaitServerGone())
    {
        NotMeasured("the port stayed taken: no WHEP exchanges");
        return;
    }
    p.Click(IDC_PAUSE);
    CRtcTestClient offerer{rtc::NetAddress{}};
    std::string strOffer = offerer.Offer();
    CPairs whep;
    for (int i = 0; i < 2 * nWhepPairs; i++)
    {
        double t0 = NowMs();
        if ((i + i / 2) % 2 == 1)
        {
            std::string strResponse = HttpGet(nPort, "/status.json");
            double dMs = NowMs() - t0;
            if (HttpStatus(strResponse) != 200)
            {
                NotMeasured("status.json was not answered 200");
                break;
            }
            whep.bare.push_back(dMs);
            continue;
        }
        CWhepExchange exchange = WhepPost(nPort, "/whep", strOffer);
        double dMs = NowMs() - t0;
        if (exchange.nStatus != 201 || exchange.body.find("a=fingerprint") == std::string::npos)
        {
            std::printf("the offer was answered %d: %s\n", exchange.nStatus, exchange.body.substr(0, 200).c_str());
            NotMeasured("no WHEP answer");
            break;
        }
        whep.harness.push_back(dMs);
        WhepDelete(nPort, exchange.location);
    }
    p.Click(IDC_STOP);
    PrintRatio("WHEP POST to 201 and answer", "GET status.json", whep, "ms");
}

// The WHEP answer while the filter gathers with the run's coturn, and our
// peers through its relay against direct ones.
void RunIceFigures(CProgram& p, const std::wstring& program, const std::wstring& bin)
{
    const CTurnAccount turn;
    if (!InNetNamespace() || turn.uri.empty())
    {
        std::printf("ICE gathering, peers through the TURN relay: %s\n",
                    !InNetNamespace() ? szNoNamespace
                                      : "skipped, no TURN server in this run (scripts/bench starts coturn in its "
                                        "namespace when turnserver is installed)");
        return;
    }
    const CLoadTarget target = {&p, program, bin, nPort};
    if (!RunIceGathering(target, turn))
        g_bUnmeasured = true;
    if (!RunRelayLoad(target, turn))
        g_bUnmeasured = true;
    p.Click(IDC_STOP);
}

// The WebRTC server at work: Chromium's first frame, the peers held at
// once and the filter's transfer time with them.
void RunWebRtcWork(CProgram& p, const std::wstring& program, const std::wstring& bin)
{
    if (!InNetNamespace())
    {
        std::printf("WebRTC first frame in Chromium, peers held at once, RTP transfer: %s\n", szNoNamespace);
        RunIceFigures(p, program, bin);
        return;
    }
    if (!WaitServerGone())
    {
        NotMeasured("the port stayed taken: no WebRTC figures");
        return;
    }
    p.Click(IDC_PAUSE);
    if (!RunChromiumFirstFrame(nPort))
        g_bUnmeasured = true;
    p.Click(IDC_STOP);
    if (!RunPeerLoad({&p, program, bin, nPort}))
        g_bUnmeasured = true;
    p.Click(IDC_STOP);
    RunIceFigures(p, program, bin);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CWinsock winsock;
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    if (argc > 1 && std::wcscmp(argv[1], L"longrun") == 0)
    {
        RunLongRuns(nLongRunCycles, nLongRunRefreshes);
        return 0;
    }
    if (argc > 1 && std::wcscmp(argv[1], L"encoders") == 0)
        return RunEncoderLoad() ? 0 : 1;
    bool bRatiosOnly = argc > 1 && std::wcscmp(argv[1], L"ratios") == 0;
    wchar_t szSelf[MAX_PATH];
    ::GetModuleFileNameW(nullptr, szSelf, MAX_PATH);
    std::wstring bin(szSelf);
    bin = bin.substr(0, bin.find_last_of(L"\\/") + 1);
    const std::wstring program = bin + L"CorvastaTest.exe";
    bool bIceOnly = argc > 1 && std::wcscmp(argv[1], L"ice") == 0;
    if (bIceOnly || (argc > 1 && std::wcscmp(argv[1], L"webrtc") == 0))
    {
        CProgram p;
        if (!p.Start(program))
        {
            std::printf("the program's window did not appear\n");
            return 1;
        }
        // The preselected components, as "Build graph" makes them.
        p.Click(IDC_BUILD_GRAPH);
        if (!::IsWindowEnabled(::GetDlgItem(p.hDlg, IDC_PLAY)))
        {
            std::printf("Build graph failed: title \"%ls\"\n", Text(p.hDlg).c_str());
            return 1;
        }
        if (bIceOnly)
            RunIceFigures(p, program, bin);
        else
        {
            RunWebRtcRatios(p, bin);
            RunWebRtcWork(p, program, bin);
        }
        p.Close();
        return g_bUnmeasured ? 1 : 0;
    }

    // Three sides in turns, each round starting one further on: the harness,
    // the bare dialog, and the bare dialog that also makes COM's start and
    // the three device lists (the platform's share of the harness's start).
    CPairs start, startLists;
    for (int i = 0; i < 3 * nStartPairs; i++)
    {
        int nSide = (i + i / 3) % 3;
        CProgram p;
        double t0 = NowMs();
        bool bStarted = nSide == 0   ? p.Start(program)
                        : nSide == 1 ? p.Start(bin + L"BareDialog.exe")
                                     : p.Start(bin + L"BareDialog.exe", 30000, FindMainDialog, L"lists");
        if (!bStarted)
        {
            DWORD dwExit = STILL_ACTIVE;
            ::GetExitCodeProcess(p.pi.hProcess, &dwExit);
            std::printf("start %d of %s: %s\n", i + 1,
                        nSide == 0 ? "the program" : nSide == 1 ? "the bare dialog" : "the bare dialog with lists",
                        p.pi.hProcess == nullptr    ? "could not be started"
                        : dwExit == STILL_ACTIVE ? "no window after 30 s"
                                                 : "ended before its window appeared");
            NotMeasured(nSide == 0 ? "the program's window did not appear" : "the bare dialog did not appear");
            break;
        }
        double dMs = NowMs() - t0;
        p.Close();
        if (nSide == 0)
        {
            start.harness.push_back(dMs);
            startLists.harness.push_back(dMs);
        }
        else
            (nSide == 1 ? start.bare : startLists.bare).push_back(dMs);
    }
    PrintRatio("start to dialog ready", "bare dialog", start, "ms");
    PrintRatio("start to dialog ready", "bare dialog with COM and the device lists", startLists, "ms");

    // The graph that "Build graph" makes from the preselected components,
    // saved as a file.
    CTempFile grfFile(L"bench.grf");
    HRESULT hrSave = SaveComposedGraph(grfFile.Path(),
                                       {{L"Ormidex Video Generator", CLSID_OrmidexVideoGenerator},
                                        {L"Ormidex QS Encoder", CLSID_OrmidexQSEncoder},
                                        {L"Ormidex Opus Encoder", CLSID_OrmidexOpusEncoder},
                                        {L"Corvasta", CLSID_CorvastaFilter}},
                                       {{L"Ormidex Video Generator", L"Video", L"Ormidex QS Encoder", L"Input"},
                                        {L"Ormidex QS Encoder", L"Output", L"Corvasta", L"Video"},
                                        {L"Ormidex Video Generator", L"Audio", L"Ormidex Opus Encoder", L"Input"},
                                        {L"Ormidex Opus Encoder", L"Output", L"Corvasta", L"Audio"}});
    if (FAILED(hrSave))
    {
        std::printf("could not save the stand-ins' graph: 0x%08lX\n", static_cast<unsigned long>(hrSave));
        return 1;
    }

    CProgram p;
    if (!p.Start(program))
    {
        std::printf("the program's window did not appear\n");
        return 1;
    }
    CProgram bareBuild;
    if (!bareBuild.Start(bin + L"BareBuild.exe", 30000, FindBareHost))
    {
        std::printf("the bare build's host did not start\n");
        return 1;
    }
    ::SendDlgItemMessageW(p.hDlg, IDC_GRF_FILE, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(grfFile.c_str()));
    // Turns of four: from components, bare, bare with the address lookup,
    // from the saved graph, each round starting one further on; the first
    // round warms all of them up (libraries loaded, filters registered) and
    // is not counted.
    CPairs build, buildLookup;
    std::vector<double> loadMs;
    for (int i = 0; i < 4 * (nBuildPairs + 1); i++)
    {
        int nKind = (i + i / 4) % 4;
        bool bCounted = i >= 4;
        double t0 = NowMs();
        if (nKind == 1 || nKind == 2)
        {
            WPARAM wLookup = nKind == 2 ? 1 : 0;
            HRESULT hr = static_cast<HRESULT>(::SendMessageW(bareBuild.hDlg, WM_BAREBUILD, wLookup, 0));
            if (hr != S_OK)
            {
                std::printf("the bare build failed: 0x%08lX\n", static_cast<unsigned long>(hr));
                return 1;
            }
            if (bCounted)
                (nKind == 1 ? build.bare : buildLookup.bare).push_back(NowMs() - t0);
            continue;
        }
        bool bSaved = nKind == 3;
        bool bChecked = ::SendDlgItemMessageW(p.hDlg, IDC_SOURCE_CHECK, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (bChecked == bSaved)
            ::SendDlgItemMessageW(p.hDlg, IDC_SOURCE_CHECK, BM_CLICK, 0, 0);
        t0 = NowMs();
        p.Click(IDC_BUILD_GRAPH);
        double dMs = NowMs() - t0;
        if (bCounted && bSaved)
            loadMs.push_back(dMs);
        else if (bCounted)
        {
            build.harness.push_back(dMs);
            buildLookup.harness.push_back(dMs);
        }
        // A build that failed leaves Play disabled; the title is kept from
        // build to build, as a user's repeated builds keep it.
        if (Text(p.hDlg).rfind(L"Test for ", 0) != 0 || !::IsWindowEnabled(::GetDlgItem(p.hDlg, IDC_PLAY)))
        {
            std::printf("Build graph %s failed: title \"%ls\"\n", bSaved ? "from the saved graph" : "",
                        Text(p.hDlg).c_str());
            return 1;
        }
    }
    bareBuild.Close();
    PrintRatio("Build graph", "bare build", build, "ms");
    PrintRatio("Build graph", "bare build with the address lookup of the served URL", buildLookup, "ms");
    std::printf("Build graph from the saved graph: median %.1f ms (of %zu), %.2f times from components\n",
                Median(loadMs), loadMs.size(), Median(loadMs) / Median(build.harness));

    // The graph runs in one process at a time: both serve the same port.
    // Three sides in turns: the harness, the graph without the dialog, and
    // the dialog's template drawing the refreshed lines with no graph; the
    // last two together are the platform's share of the harness's figure.
    CPairs cpu, cpuLines;
    for (int i = 0; i < 3 * nPairs; i++)
    {
        int nSide = (i + i / 3) % 3;
        if (nSide == 2)
        {
            CProgram lines;
            if (!lines.Start(bin + L"BareDialog.exe", 30000, FindMainDialog, L"lines"))
            {
                NotMeasured("the bare dialog did not appear");
                break;
            }
            cpuLines.bare.push_back(CpuPerSecond(lines, bin + L"BareDialog.exe"));
            continue;
        }
        if (!WaitServerGone())
        {
            NotMeasured("the port stayed taken");
            break;
        }
        if (nSide == 1)
        {
            CProgram bare;
            if (!bare.Start(bin + L"BareDisplay.exe", 30000, FindBareHost))
            {
                NotMeasured("the bare display's host did not start");
                break;
            }
            cpu.bare.push_back(CpuPerSecond(bare, bin + L"BareDisplay.exe"));
            continue;
        }
        p.Click(IDC_PLAY);
        cpu.harness.push_back(CpuPerSecond(p, program));
        p.Click(IDC_STOP);
    }
    PrintRatio("CPU while displaying a running graph", "the graph without the dialog", cpu, "ms/s");
    // Sums of the two references measured in the same round.
    cpuLines.harness = cpu.harness;
    size_t nLines = std::min(cpu.bare.size(), cpuLines.bare.size());
    cpuLines.bare.resize(nLines);
    for (size_t i = 0; i < nLines; i++)
        cpuLines.bare[i] += cpu.bare[i];
    PrintRatio("CPU while displaying a running graph",
               "the graph without the dialog plus the template drawing the same lines", cpuLines, "ms/s");

    RunWebRtcRatios(p, bin);

    if (bRatiosOnly)
        return g_bUnmeasured ? 1 : 0;

    // Each "Show graph" ends the editor that the one before started.
    std::vector<double> showMs;
    for (int i = 0; i < nRuns; i++)
    {
        HWND hOld = FindEditorShowing(p.pi.dwProcessId);
        double t0 = NowMs();
        p.Click(IDC_SHOW_GRAPH);
        HWND hEditor = nullptr;
        if (!WaitFor([&] { return (hEditor = FindEditorShowing(p.pi.dwProcessId)) != nullptr && hEditor != hOld; },
                     20000))
        {
            NotMeasured("the graph editor did not show the graph");
            break;
        }
        showMs.push_back(NowMs() - t0);
    }
    if (!showMs.empty())
        std::printf("Show graph to the editor showing it: median %.0f ms (of %zu)\n", Median(showMs), showMs.size());

    RunWebRtcWork(p, program, bin);
    if (WaitServerGone())
    {
        p.Click(IDC_PLAY);
        RunRequestFlood(nPort, ::GetDlgItem(p.hDlg, IDC_STATISTIC));
        p.Click(IDC_STOP);
    }
    else
    {
        NotMeasured("the port stayed taken: no half requests");
    }
    p.Close();
    if (!RunEncoderLoad())
        g_bUnmeasured = true;
    RunLongRuns(nLongRunCycles, nLongRunRefreshes);
    return g_bUnmeasured ? 1 : 0;
}
