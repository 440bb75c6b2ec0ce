// Driving the main dialog from a test thread: its messages, lists and texts.
#pragma once

#include "tests/support/LoopbackClient.h"

#include <gtest/gtest.h>

#include "ui/MainDialog.h"
#include "tests/support/DialogHost.h"
#include "tests/support/MainDialogSession.h" // the dialog's title

#include <functional>
#include <string>

// The texts of the boxes for Play and Pause refused for want of rights.
const wchar_t szPlayAccessDenied[] =
    L"Can't play. Please restart the application with\n"
    L"administrator rigths (\"Run as administrator\").\n"
    L"You can also use approaches with netsh.exe\n"
    L"or ports in the range 49152 \u2013 65535.\n"
    L"See Corvasta.idl.\n";
const wchar_t szPauseAccessDenied[] =
    L"Can't pause.\n"
    L"Please restart the application with\n"
    L"administrator rigths (\"Run as administrator\").";

// The system's text for a code, as a message box shows it.
std::wstring SystemText(HRESULT hr);
// A message box text: the caller's text, the code's description, the code line.
std::wstring ExpectedBoxText(const wchar_t* pszText, HRESULT hr, const wchar_t* pszCodeLine);

std::wstring ListBoxItem(HWND hDlg, int nID, int nItem);
int ListBoxCount(HWND hDlg, int nID);
void SelectComboText(HWND hDlg, int nID, const wchar_t* pszText);
void SetControlText(HWND hDlg, int nID, const wchar_t* pszText);
// "Add...", the server typed into the "Add ICE Server" dialog, OK; waits
// for the dialog to close.
void AddIceServerInDialog(HWND hDlg, const wchar_t* pszUri, const wchar_t* pszUser, const wchar_t* pszPwd);

// Presses a button that must end in a main-dialog message box; returns the
// box's text (and its icon) once the handler has returned.
std::wstring PressExpectingBox(HWND hDlg, int nID, bool* pbIcon = nullptr);
// Waits for a main-dialog message box shown by something else.
std::wstring WaitForMainBox(HWND hDlg, bool* pbIcon = nullptr);

bool WaitForText(HWND hDlg, int nID, const std::function<bool(const std::wstring&)>& pred,
                 DWORD dwTimeoutMs = 5000);
bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs = 5000);

// The URL with the machine's own address in place of the wildcard.
std::wstring HostUrl(const wchar_t* pszAfterHost);

class MainDialogFixture : public testing::Test
{
protected:
    // Runs the dialog; fDrive works on it from a driver thread, then it is closed.
    void Run(const std::function<void(HWND)>& fDrive);
    void OnUi(HWND hDlg, const std::function<void()>& f) { RunOnWindowThread(hDlg, f); }
    // The graph manager's state, read on the dialog's thread.
    OAFilterState GraphState(HWND hDlg);
    bool WaitForState(HWND hDlg, OAFilterState state);
    // Queues an event into the dialog's graph, as a filter does.
    void Notify(HWND hDlg, long lCode, LONG_PTR lParam1);

    CHostedDialog<CMainDialog> m_dlg;
};
