#include "tests/support/LoopbackClient.h" // first: it brings winsock2.h

#include "LongRun.h"

#include <cstdio>

#include "tests/support/MainDialogSession.h"
#include "tests/support/ResourceUse.h"

namespace {

const int nWarmUpCycles = 5;
const int nWarmUpRefreshes = 1000;

double NowSec()
{
    return static_cast<double>(::GetTickCount64()) / 1000.0;
}

bool RunCycles(int nCycles, const std::wstring& url)
{
    for (int i = 0; i < nWarmUpCycles; i++)
    {
        std::wstring error = CMainDialogSession::Cycle(url);
        if (!error.empty())
        {
            std::printf("long run: warm-up cycle %d failed: %ls\n", i + 1, error.c_str());
            return false;
        }
    }
    ResourceUse start = MeasureResourceUse();
    double t0 = NowSec();
    int nDone = 0;
    for (; nDone < nCycles; nDone++)
    {
        std::wstring error = CMainDialogSession::Cycle(url);
        if (!error.empty())
        {
            std::printf("long run: cycle %d failed: %ls\n", nDone + 1, error.c_str());
            break;
        }
    }
    ResourceUse end = MeasureResourceUse();
    double dSec = NowSec() - t0;
    // Each cycle builds one graph: what the graph manager loses on its own.
    long lGraphLoss = GraphManagerHandleLoss(nDone);
    std::printf("long run: %d cycles of Build graph / Play / Stop / close (which releases the graph), each a session "
                "of the real main dialog in this process, pressed through its buttons: %.1f s\n%s"
                "  handles lost by as many filter graph managers created and released alone: %ld\n",
                nDone, dSec, ResourceUseText(start, end).c_str(), lGraphLoss);
    return nDone == nCycles;
}

void RunRefreshes(int nRefreshes, const std::wstring& url)
{
    CMainDialogSession session;
    ResourceUse start, end;
    double dSec = 0.0;
    std::wstring error = session.Run([&](HWND hDlg) {
        std::wstring error = session.Build(hDlg, url);
        if (error.empty())
            error = session.Play(hDlg);
        if (!error.empty())
            return error;
        session.Refresh(hDlg, nWarmUpRefreshes);
        start = MeasureResourceUse();
        double t0 = NowSec();
        session.Refresh(hDlg, nRefreshes);
        dSec = NowSec() - t0;
        end = MeasureResourceUse();
        return session.Stop(hDlg);
    });
    if (!error.empty())
    {
        std::printf("long run: the refreshes failed: %ls\n", error.c_str());
        return;
    }
    std::printf("long run: %d display refreshes (%.1f hours of the 100 ms timer) on a running graph, the dialog's "
                "WM_TIMER sent on its thread: %.1f s\n%s",
                nRefreshes, nRefreshes / 36000.0, dSec, ResourceUseText(start, end).c_str());
}

} // namespace

void RunLongRuns(int nCycles, int nRefreshes)
{
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(FindFreePort()) + L"/";
    if (RunCycles(nCycles, url))
        RunRefreshes(nRefreshes, url);
}
