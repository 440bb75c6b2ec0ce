// Runs a dialog modally on the test's thread while a driver thread works on
// it; the dialog answers WM_TEST_INVOKE so the driver can call its members
// on the dialog's own thread.
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
