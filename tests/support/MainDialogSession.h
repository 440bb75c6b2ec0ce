// One session of the main dialog on this thread, driven from a driver thread
// through its buttons and its display timer, as a user and the clock drive
// it. No test framework: the benchmark's long runs use it too. Each step
// answers what went wrong, or an empty text.
#pragma once

#include <functional>
#include <string>

#include "ui/MainDialog.h"
#include "tests/support/HostedDialog.h"

const wchar_t szMainTitle[] = L"Corvasta Test";

class CMainDialogSession
{
public:
    // Opens the dialog, lets fDrive work on it from a driver thread, then
    // closes it, which releases the graph. A message box left open counts as
    // a failure.
    std::wstring Run(const std::function<std::wstring(HWND)>& fDrive);
    // A session of Build graph, Play and Stop; closing the dialog releases
    // the graph, as it does when the user closes it.
    static std::wstring Cycle(const std::wstring& url);

    // "Build graph" from the preselected components, serving at the URL.
    std::wstring Build(HWND hDlg, const std::wstring& url);
    // "Play", and the graph running.
    std::wstring Play(HWND hDlg);
    // "Stop", and the graph stopped.
    std::wstring Stop(HWND hDlg);
    // The display timer's handler nTimes, in batches on the dialog's thread so
    // that its other messages are served between them.
    void Refresh(HWND hDlg, int nTimes);

private:
    std::wstring Press(HWND hDlg, int nID);
    std::wstring WaitForState(HWND hDlg, long state);

    CHostedDialog<CMainDialog> m_dlg;
};
