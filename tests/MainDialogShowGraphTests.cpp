// "Show graph" from the dialog with our own graph editor registered: the
// editor starts, attaches to the dialog's graph and draws it; a second
// "Show graph" ends the first editor and attaches a new one; closing the
// dialog revokes the graph and ends the editor.
#include "tests/support/MainDialogDriver.h" // first: it brings winsock2.h

#include "editor/EditorIds.h"
#include "editor/tests/EditorDriver.h"
#include "graphedit/GraphEdit.h"
#include "tests/support/GraphEditInspector.h"
#include "tests/support/GraphInspector.h"
#include "tests/support/ReportCapture.h"

namespace {

const wchar_t szAttached[] = L"4 filters, 4 connections";

// The editor as the dialog's bridge knows it, with a handle of our own on
// its process so that its end can be seen after the bridge lets go.
struct ShownEditor
{
    HWND hWndMain = nullptr;
    DWORD dwProcessId = 0;
    HANDLE hProcess = nullptr;

    ~ShownEditor()
    {
        if (hProcess != nullptr)
            ::CloseHandle(hProcess);
    }
    std::wstring Counts() const { return ReadText(::GetDlgItem(hWndMain, IDC_CANVAS)); }
    // The editor's last calls release this process's graph: on the graph's
    // thread the wait serves them, as the dialog's loop would.
    bool Ended(DWORD dwTimeoutMs) const
    {
        DWORD dwStart = ::GetTickCount();
        for (;;)
        {
            DWORD dwElapsed = ::GetTickCount() - dwStart;
            if (dwElapsed >= dwTimeoutMs)
                return false;
            DWORD dw = ::MsgWaitForMultipleObjects(1, &hProcess, FALSE, dwTimeoutMs - dwElapsed, QS_ALLINPUT);
            if (dw == WAIT_OBJECT_0)
                return true;
            if (dw != WAIT_OBJECT_0 + 1)
                return false;
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageW(&msg);
        }
    }
};

class ShowGraphTest : public MainDialogFixture
{
protected:
    // Presses "Show graph" and reads what the bridge attached to.
    void Show(HWND hDlg, ShownEditor* pEditor)
    {
        CReportCapture capture;
        DWORD dwStart = ::GetTickCount();
        PressButtonAndWait(hDlg, IDC_SHOW_GRAPH);
        DWORD dwTaken = ::GetTickCount() - dwStart;
        OnUi(hDlg, [&] {
            CGraphEdit& ge = CGraphInspector::GraphEdit(m_dlg.GetGraph());
            pEditor->hWndMain = CGraphEditInspector::MainWindow(ge);
            pEditor->dwProcessId = CGraphEditInspector::ProcessInfo(ge).dwProcessId;
        });
        ASSERT_NE(nullptr, pEditor->hWndMain) << "after " << dwTaken << " ms; traces:\n"
                                              << testing::PrintToString(capture.Traces());
        pEditor->hProcess = ::OpenProcess(SYNCHRONIZE, FALSE, pEditor->dwProcessId);
        ASSERT_NE(nullptr, pEditor->hProcess);
        EXPECT_TRUE(WaitUntil([&] { return pEditor->Counts() == szAttached; }, 10000)) << pEditor->Counts().c_str();
    }
};

} // namespace

TEST_F(ShowGraphTest, TheEditorAttachesIsReplacedAndEndsWithTheDialog)
{
    ShownEditor first, second;
    Run([&](HWND hDlg) {
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        ASSERT_NO_FATAL_FAILURE(Show(hDlg, &first));

        ASSERT_NO_FATAL_FAILURE(Show(hDlg, &second));
        EXPECT_NE(first.dwProcessId, second.dwProcessId);
        EXPECT_TRUE(first.Ended(5000)) << "the first editor goes on running";

        // The second editor follows the graph that the dialog runs.
        PressButtonAndWait(hDlg, IDC_PLAY);
        HWND hStatus = ::GetDlgItem(second.hWndMain, IDC_STATUS);
        EXPECT_TRUE(WaitUntil([&] { return ReadText(hStatus) == L"Running"; }, 5000)) << ReadText(hStatus).c_str();
    });
    ASSERT_NE(nullptr, second.hProcess);
    EXPECT_TRUE(second.Ended(5000)) << "the editor outlives the dialog";
    EXPECT_TRUE(CGraphEditInspector::IsIdle(CGraphInspector::GraphEdit(m_dlg.GetGraph())));
}
