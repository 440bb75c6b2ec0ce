// graphedt.exe: the graph editor's entry point and message loop.
#include "EditorIds.h"
#include "MainFrame.h"

#include <commctrl.h>

namespace {

// How long the window's thread waits for the worker to let go of the graph.
// A program that asked the editor to quit waits a second for this thread and
// then may publish its graph anew for the next editor: the worker's last
// releases should be done by then, or the next editor can be handed a
// reference that those releases take away. Letting go of another program's
// graph is a call per held interface and takes half a second on a busy
// machine.
const DWORD dwWorkerWaitMs = 900;
// How long the worker may then take before the process ends without it.
const DWORD dwWorkerGraceMs = 5000;

struct Ending
{
    HANDLE hWorker;
    int nExitCode;
};

DWORD WINAPI EndWhenWorkerDone(LPVOID pv)
{
    Ending* pEnding = static_cast<Ending*>(pv);
    ::WaitForSingleObject(pEnding->hWorker, dwWorkerGraceMs);
    ::ExitProcess(static_cast<UINT>(pEnding->nExitCode));
}

// Waits for hObject while answering messages that other threads send to
// this thread's windows (the worker's property frame is owned by one).
bool WaitAnswering(HANDLE hObject, DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        DWORD dwElapsed = ::GetTickCount() - dwStart;
        if (dwElapsed >= dwTimeoutMs)
            return false;
        DWORD dw = ::MsgWaitForMultipleObjects(1, &hObject, FALSE, dwTimeoutMs - dwElapsed, QS_SENDMESSAGE);
        if (dw == WAIT_OBJECT_0)
            return true;
        if (dw != WAIT_OBJECT_0 + 1)
            return false;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

int RunMessageLoop(HWND hWnd)
{
    HACCEL hAccel = ::LoadAcceleratorsW(AtlGetModuleInstance(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    MSG msg;
    BOOL bResult;
    while ((bResult = ::GetMessageW(&msg, nullptr, 0, 0)) > 0)
    {
        if (hAccel != nullptr && ::TranslateAcceleratorW(hWnd, hAccel, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return bResult == 0 ? static_cast<int>(msg.wParam) : 1;
}

} // namespace

extern "C" int WINAPI wWinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevInstance*/, LPWSTR lpCmdLine,
                               int nCmdShow)
{
    // The connect dialog reads the Running Object Table on this thread.
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_TREEVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);

    int nExitCode = 1;
    {
        CMainFrame frame;
        if (SUCCEEDED(frame.CreateFrame(nCmdShow)))
        {
            frame.StartWith(lpCmdLine);
            nExitCode = RunMessageLoop(frame);
        }

        // WM_QUIT (or the window closed): the worker lets go of the graph
        // first. The graph's owner, when it asked this thread to quit, may
        // wait for it to end before it answers the worker's last calls; then
        // this thread ends first and the process when the worker is done.
        CGraphWorker& worker = frame.Worker();
        if (!worker.Quit(nExitCode, 0) && !WaitAnswering(worker.Thread(), dwWorkerWaitMs))
        {
            static Ending ending;
            ending = {worker.Thread(), nExitCode};
            HANDLE hEnder = ::CreateThread(nullptr, 0, EndWhenWorkerDone, &ending, 0, nullptr);
            if (hEnder != nullptr)
            {
                ::CloseHandle(hEnder);
                ::CoUninitialize();
                ::ExitThread(static_cast<DWORD>(nExitCode));
            }
            WaitAnswering(worker.Thread(), dwWorkerGraceMs);
        }
        if (frame.IsWindow())
            frame.DestroyWindow();
    }
    ::CoUninitialize();
    return nExitCode;
}
