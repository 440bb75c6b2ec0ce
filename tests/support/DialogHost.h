// The dialog host with test failures: a dialog that does not appear fails
// the test.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/HostedDialog.h"

template <class TDialog>
INT_PTR RunHostedDialog(CHostedDialog<TDialog>& dlg, const wchar_t* pszCaption,
                        const std::function<void(HWND)>& fDrive)
{
    return RunHostedDialog(dlg, pszCaption, fDrive, [] { ADD_FAILURE() << "the dialog did not appear"; });
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
