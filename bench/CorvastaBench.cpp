// Starts CorvastaTest as a user would and reports: process start to dialog
// ready, "Build graph" time from components and from a saved graph of the
// same filters, the harness's CPU use while a running graph is displayed, and
// the delay from "Show graph" to the graph editor showing the graph, and the
// delay from a client connecting to the graph running, and how the served
// stream and the dialog's statistics hold up under load; then what the main
// dialog holds after long runs in this process. "CorvastaBench longrun" runs
// the long runs alone.
#include <winsock2.h>
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

#include "LongRun.h"
#include "StreamLoad.h"

namespace {

const unsigned short nPort = 50128; // the first URL preset's port
const int nRuns = 5;
const int nLongRunCycles = 1000;
const int nLongRunRefreshes = 36000; // an hour of the 100 ms display timer

double NowMs()
{
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(freq.QuadPart);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

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

// User and system time of the host process whose command line names the
// program, through Wine's view of the host file system (Z:\proc).
double HostCpuMs(const wchar_t* pszProgram)
{
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW(L"Z:\\proc\\*", &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return 0.0;
    double dMs = 0.0;
    do
    {
        if (fd.cFileName[0] < L'0' || fd.cFileName[0] > L'9')
            continue;
        std::wstring dir = std::wstring(L"Z:\\proc\\") + fd.cFileName;
        auto read = [](const std::wstring& path) {
            std::string text;
            HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE)
                return text;
            char buf[4096];
            DWORD n = 0;
            if (::ReadFile(h, buf, sizeof(buf), &n, nullptr))
                text.assign(buf, n);
            ::CloseHandle(h);
            return text;
        };
        std::string cmdline = read(dir + L"\\cmdline");
        std::string program(pszProgram, pszProgram + wcslen(pszProgram));
        auto lower = [](std::string text) {
            std::transform(text.begin(), text.end(), text.begin(), [](char c) { return static_cast<char>(::tolower(c)); });
            return text;
        };
        cmdline = lower(cmdline);
        if (cmdline.find(lower(program)) == std::string::npos || cmdline.find("corvastabench") != std::string::npos)
            continue;
        std::string stat = read(dir + L"\\stat");
        size_t n = stat.rfind(')');
        if (n == std::string::npos)
            continue;
        // Fields after the command: state is field 3, utime 14, stime 15.
        unsigned long long utime = 0, stime = 0;
        if (std::sscanf(stat.c_str() + n + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                        &stime) == 2)
            dMs = static_cast<double>(utime + stime) * 10.0; // 100 ticks a second
        break;
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
    return dMs;
}

// The harness's CPU time.
double CpuMs(const CProgram& p)
{
    FILETIME ftCreate, ftExit, ftKernel, ftUser;
    ::GetProcessTimes(p.pi.hProcess, &ftCreate, &ftExit, &ftKernel, &ftUser);
    auto ms = [](const FILETIME& ft) {
        return (static_cast<double>(ft.dwHighDateTime) * 4294967296.0 + ft.dwLowDateTime) / 10000.0;
    };
    double dMs = ms(ftKernel) + ms(ftUser);
    // Under Wine the times of another process stand still; the host's
    // process table has the real ones.
    double dHostMs = HostCpuMs(L"CorvastaTest.exe");
    return dHostMs > 0.0 ? dHostMs : dMs;
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
    std::string page = HttpGet(nPort, "/");
    size_t n = page.find("<th>State</th><td>");
    if (n == std::string::npos)
        return std::string();
    n += 18;
    return page.substr(n, page.find('<', n) - n);
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
    wchar_t szSelf[MAX_PATH];
    ::GetModuleFileNameW(nullptr, szSelf, MAX_PATH);
    std::wstring program(szSelf);
    program = program.substr(0, program.find_last_of(L"\\/") + 1) + L"CorvastaTest.exe";

    std::vector<double> startMs;
    for (int i = 0; i < nRuns; i++)
    {
        CProgram p;
        double t0 = NowMs();
        if (!p.Start(program))
        {
            std::printf("the program's window did not appear\n");
            return 1;
        }
        startMs.push_back(NowMs() - t0);
        p.Close();
    }
    std::printf("start to dialog ready: median %.0f ms (of %d)\n", Median(startMs), nRuns);

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
        return 1;
    ::SendDlgItemMessageW(p.hDlg, IDC_GRF_FILE, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(grfFile.c_str()));
    // Alternated, so that drift of the machine falls on both alike.
    std::vector<double> buildMs, loadMs;
    for (int i = 0; i < 2 * nRuns; i++)
    {
        bool bSaved = i % 2 == 1;
        bool bChecked = ::SendDlgItemMessageW(p.hDlg, IDC_SOURCE_CHECK, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (bChecked == bSaved)
            ::SendDlgItemMessageW(p.hDlg, IDC_SOURCE_CHECK, BM_CLICK, 0, 0);
        double t0 = NowMs();
        p.Click(IDC_BUILD_GRAPH);
        (bSaved ? loadMs : buildMs).push_back(NowMs() - t0);
        if (Text(p.hDlg).rfind(L"Test for ", 0) != 0)
        {
            std::printf("Build graph %s failed: title \"%ls\"\n", bSaved ? "from the saved graph" : "",
                        Text(p.hDlg).c_str());
            p.Close();
            return 1;
        }
        // The next build must show its own title.
        ::SetWindowTextW(p.hDlg, L"");
    }
    std::printf("Build graph: median %.0f ms (of %d)\n", Median(buildMs), nRuns);
    std::printf("Build graph from the saved graph: median %.0f ms (of %d), %.2f times from components\n",
                Median(loadMs), nRuns, Median(loadMs) / Median(buildMs));

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
            std::printf("the graph editor did not show the graph\n");
            break;
        }
        showMs.push_back(NowMs() - t0);
    }
    if (!showMs.empty())
        std::printf("Show graph to the editor showing it: median %.0f ms (of %zu)\n", Median(showMs), showMs.size());

    p.Click(IDC_PLAY);
    ::Sleep(1000);
    double dCpu0 = CpuMs(p), t0 = NowMs();
    ::Sleep(10000);
    double dCpuPerSec = (CpuMs(p) - dCpu0) / ((NowMs() - t0) / 1000.0);
    std::printf("CPU of the harness while running: %.1f ms per second (%.1f %% of one core)\n", dCpuPerSec,
                dCpuPerSec / 10.0);

    std::vector<double> connectMs;
    p.Click(IDC_STOP);
    p.Click(IDC_PAUSE);
    for (int i = 0; i < nRuns; i++)
    {
        if (!WaitFor([] { return StatusState() == "Paused"; }, 10000))
        {
            std::printf("the server did not report Paused\n");
            break;
        }
        CLoopbackClient client;
        double tConnect = NowMs();
        if (client.Connect(nPort) != 0 || !client.Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"))
        {
            std::printf("could not connect to 127.0.0.1:%u\n", nPort);
            break;
        }
        // The client reads what arrives while it waits, as a viewer would.
        if (!WaitFor([&client] { client.ReadUntil("\x01", 1); return StatusState() == "Running"; }, 10000))
        {
            std::printf("the graph did not run\n");
            break;
        }
        connectMs.push_back(NowMs() - tConnect);
        client.Close(); // the harness pauses the graph again
    }
    if (!connectMs.empty())
        std::printf("client connect to graph running: median %.0f ms (of %zu; includes status-page polling)\n",
                    Median(connectMs), connectMs.size());
    RunStreamLoad(nPort, ::GetDlgItem(p.hDlg, IDC_STATISTIC));
    p.Close();
    RunLongRuns(nLongRunCycles, nLongRunRefreshes);
    return 0;
}
