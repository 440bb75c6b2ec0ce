// Runs a dialog modally on the test's thread while a driver thread works on
// it; the dialog answers WM_TEST_INVOKE so the driver can call its members
// on the dialog's own thread.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/WindowDriver.h"

template <class TDialog>
class CHostedDialog : public TDialog
{
public:
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                              DWORD dwMsgMapID = 0) override
    {
        if (uMsg == WM_TEST_INVOKE && dwMsgMapID == 0)
        {
            lResult = CallOnWindowThread(lParam);
            return TRUE;
        }
        return TDialog::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, dwMsgMapID);
    }
};

// Runs dlg modally on this thread; fDrive gets its window on a driver thread
// (found by the caption) and must end it. Returns DoModal's result.
template <class TDialog>
INT_PTR RunHostedDialog(CHostedDialog<TDialog>& dlg, const wchar_t* pszCaption,
                        const std::function<void(HWND)>& fDrive)
{
    CDriver driver([&] {
        HWND hDlg = WaitForDialog(pszCaption);
        if (hDlg == nullptr)
        {
            ADD_FAILURE() << "the dialog did not appear";
            return;
        }
        fDrive(hDlg);
    });
    return dlg.DoModal(nullptr, 0);
}

// Presses a button of a dialog that is running on another thread; posted, so
// that a message box it opens does not block the caller.
inline void PressButton(HWND hDlg, int nID)
{
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, nID)));
}

// Presses a button and waits until its handler has run. A handler that
// stays in a message box fails the test instead of hanging it.
inline void PressButtonAndWait(HWND hDlg, int nID)
{
    DWORD_PTR dwResult = 0;
    if (!::SendMessageTimeoutW(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, nID)), SMTO_NORMAL, 20000, &dwResult))
        ADD_FAILURE() << "the handler of control " << nID << " did not return (a message box?)";
}
