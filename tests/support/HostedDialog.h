// Runs a dialog modally on this thread while a driver thread works on it; the
// dialog answers WM_TEST_INVOKE so the driver can call its members on the
// dialog's own thread. No test framework: the benchmark hosts dialogs too.
#pragma once

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
// (found by the caption) and must end it; fMissing is called instead when it
// did not appear. Returns DoModal's result.
template <class TDialog>
INT_PTR RunHostedDialog(CHostedDialog<TDialog>& dlg, const wchar_t* pszCaption,
                        const std::function<void(HWND)>& fDrive, const std::function<void()>& fMissing)
{
    CDriver driver([&] {
        HWND hDlg = WaitForDialog(pszCaption);
        if (hDlg == nullptr)
        {
            fMissing();
            return;
        }
        fDrive(hDlg);
    });
    return dlg.DoModal(nullptr, 0);
}
