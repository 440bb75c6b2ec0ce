// The modal "Add ICE Server" dialog: one STUN or TURN server, typed or picked
// from the built-in list, with an optional TURN user name and password,
// handed to the graph's Corvasta filter.
#pragma once

#include "atlwin.h"

#include "app/resource.h"

class CGraph;

class CIceDlg : public CDialogImpl<CIceDlg>
{
public:
    enum { IDD = IDD_ICE };

    CIceDlg() : m_pGraph(nullptr) {}

    // IDOK once the filter took a server, IDCANCEL, or 3 without a graph
    // object.
    INT_PTR DoModal(CGraph* pGraph, HWND hWndParent);

    BEGIN_MSG_MAP(CIceDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_HANDLER(IDOK, BN_CLICKED, OnOK)
        COMMAND_HANDLER(IDCANCEL, BN_CLICKED, OnCancel)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnOK(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnCancel(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);

private:
    CGraph* m_pGraph; // the main dialog's, not owned
};
