// Long use of the main dialog leaves nothing behind: many sessions of Build
// graph, Play, Stop and close, and many display refreshes of a running graph,
// against what the process holds before and after. The margins let a handle,
// window or thread lost at each step, or 8 KB lost in each session (the
// dialog's icon was), show; the figures of a real hour are the benchmark's.
#include "tests/support/LoopbackClient.h" // first: it brings winsock2.h

#include <gtest/gtest.h>

#include "tests/support/MainDialogSession.h"
#include "tests/support/ResourceUse.h"

namespace {

const int nCycles = 50;
const int nRefreshes = 3000;

// Fails when a figure grew by half a unit a step or more, or private memory
// by cbPerStep a step. The handles that the platform loses on its own are
// left out: the device enumerator's keys (ResourceUse) and lPlatformHandles.
// Wine answers 0 USER and GDI objects: those then hold.
void ExpectNoGrowth(const ResourceUse& start, const ResourceUse& end, int nSteps, SIZE_T cbPerStep,
                    long lPlatformHandles = 0)
{
    std::string figures = ResourceUseText(start, end) + "  the platform's own handle loss: " +
                          std::to_string(lPlatformHandles) + "\n";
    ASSERT_GT(start.nHandles, 0u) << "the handles were not counted";
    DWORD nMargin = static_cast<DWORD>(nSteps / 2);
    EXPECT_LT(static_cast<long>(end.OwnHandles()), static_cast<long>(start.OwnHandles() + nMargin) + lPlatformHandles)
        << figures;
    EXPECT_LT(end.nUserObjects, start.nUserObjects + nMargin) << figures;
    EXPECT_LT(end.nGdiObjects, start.nGdiObjects + nMargin) << figures;
    EXPECT_LT(end.nWindows, start.nWindows + nMargin) << figures;
    EXPECT_LT(end.nThreads, start.nThreads + nMargin) << figures;
    EXPECT_LT(end.cbPrivate, start.cbPrivate + nSteps * cbPerStep) << figures;
}

class LongRunTest : public testing::Test
{
protected:
    std::wstring m_url = L"http://127.0.0.1:" + std::to_wstring(FindFreePort()) + L"/";
};

} // namespace

TEST_F(LongRunTest, SessionsOfBuildPlayStopAndClose)
{
    // The first sessions load the filters' DLLs and fill the platform's caches.
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(L"", CMainDialogSession::Cycle(m_url)) << "warm-up " << i;
    ResourceUse start = MeasureResourceUse();
    for (int i = 0; i < nCycles; i++)
        ASSERT_EQ(L"", CMainDialogSession::Cycle(m_url)) << "cycle " << i;
    ResourceUse end = MeasureResourceUse();
    // Each cycle builds one graph.
    ExpectNoGrowth(start, end, nCycles, 8 * 1024, GraphManagerHandleLoss(nCycles));
}

TEST_F(LongRunTest, DisplayRefreshesOfARunningGraph)
{
    CMainDialogSession session;
    ResourceUse start, end;
    std::wstring error = session.Run([&](HWND hDlg) {
        std::wstring error = session.Build(hDlg, m_url);
        if (error.empty())
            error = session.Play(hDlg);
        if (!error.empty())
            return error;
        session.Refresh(hDlg, 500);
        start = MeasureResourceUse();
        session.Refresh(hDlg, nRefreshes);
        end = MeasureResourceUse();
        return session.Stop(hDlg);
    });
    ASSERT_EQ(L"", error);
    ExpectNoGrowth(start, end, nRefreshes, 256);
}
