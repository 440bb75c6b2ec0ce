// Runs graphedt.exe (beside the test executable) and drives it through its
// windows from another process, as the harness does. The editor calls into
// graphs that this thread owns, so every wait here keeps serving them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Runs this thread's messages until pred holds; false after the time-out.
bool PumpUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs = 10000);

// A window's text through WM_GETTEXT, waiting at most dwTimeoutMs for its
// thread; false when the thread did not answer.
bool ReadText(HWND hWnd, std::wstring* pText, DWORD dwTimeoutMs = 2000);
std::wstring ReadText(HWND hWnd);

class CEditorProcess
{
public:
    CEditorProcess() = default;
    ~CEditorProcess();
    CEditorProcess(const CEditorProcess&) = delete;
    CEditorProcess& operator=(const CEditorProcess&) = delete;

    // Starts the editor (with the arguments, if any) and finds its main window.
    HRESULT Start(const std::wstring& args = std::wstring());

    HWND MainWindow() const { return m_hWndMain; }
    HWND StatusBar() const;
    HWND Canvas() const;
    DWORD ProcessId() const { return m_pi.dwProcessId; }
    HANDLE Thread() const { return m_pi.hThread; }

    // The status bar's first part: the graph's state.
    std::wstring State() const { return ReadText(StatusBar()); }
    // The canvas's text: "4 filters, 4 connections".
    std::wstring Counts() const { return ReadText(Canvas()); }
    std::wstring Title() const { return ReadText(m_hWndMain); }

    // Posts the connect command as the harness does; the list box of the
    // dialog that opens, or null.
    HWND OpenConnectDialog();
    static std::vector<std::wstring> Items(HWND hList);
    // Selects the item and posts IDOK to the dialog, as the harness does.
    static bool Choose(HWND hList, int nItem);

    // A visible top-level window of the editor owned by its main window.
    HWND FindOwned(const std::function<bool(HWND)>& pred, DWORD dwTimeoutMs = 10000) const;

    // Posts WM_QUIT to the main thread and waits for the process: its exit
    // code, or STILL_ACTIVE when it did not end in time.
    DWORD Quit(DWORD dwTimeoutMs = 10000);
    // Waits for the process that was asked to quit.
    DWORD WaitForExit(DWORD dwTimeoutMs = 10000);

private:
    PROCESS_INFORMATION m_pi = {};
    HWND m_hWndMain = nullptr;
};

// The file name of this test program, as the editor lists it.
std::wstring ThisProgramName();
// A program beside this test executable.
std::wstring BesideThisProgram(LPCWSTR pszFile);
