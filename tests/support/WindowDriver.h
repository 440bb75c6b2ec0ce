// Finds and drives the process's own windows from a test thread while the
// thread under test sits in a modal loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

// A visible top-level window of this process for which pred holds, or null
// after the time-out.
HWND WaitForWindow(const std::function<bool(HWND)>& pred, DWORD dwTimeoutMs = 10000);
// A visible dialog (#32770) of this process with the caption.
HWND WaitForDialog(const wchar_t* pszCaption, DWORD dwTimeoutMs = 10000);
// Waits until hWnd is no longer a window.
bool WaitForWindowGone(HWND hWnd, DWORD dwTimeoutMs = 10000);

// The first child (at any depth) of the class, or null.
HWND FindChildOfClass(HWND hParent, const wchar_t* pszClass);

std::wstring GetText(HWND hWnd);
std::wstring GetItemText(HWND hDlg, int nID);
std::wstring GetClass(HWND hWnd);
bool IsEnabled(HWND hDlg, int nID);

struct MessageBoxInfo
{
    std::wstring caption;
    std::wstring text;
    bool bIcon = false; // an icon is shown
    HWND hWndOwner = nullptr;
};
// Reads a message box and presses its OK (or only) button.
MessageBoxInfo ReadAndCloseMessageBox(HWND hWnd);
// Waits for a message box with the caption, reads it and closes it.
bool WaitForMessageBox(const wchar_t* pszCaption, MessageBoxInfo* pInfo, DWORD dwTimeoutMs = 10000);

// Runs f on the thread that owns hWnd (through a message it handles), so that
// a test thread can call into a dialog object.
void RunOnWindowThread(HWND hWnd, const std::function<void()>& f);
// The message that RunOnWindowThread sends; a dialog under test answers it by
// calling CallOnWindowThread.
const UINT WM_TEST_INVOKE = WM_APP + 0x3F00;
inline LRESULT CallOnWindowThread(LPARAM lParam)
{
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 0;
}

// A driver thread that is always joined.
class CDriver
{
public:
    explicit CDriver(std::function<void()> f) : m_thread(std::move(f)) {}
    ~CDriver() { Join(); }
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
};
