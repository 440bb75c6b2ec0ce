// "Connect to Graph": lists the filter graphs in the Running Object Table,
// one item each, in the form that programs driving the editor look for; OK
// (or a double-click) chooses the selected one.
#pragma once

#include "EditorIds.h"
#include "RunningGraphs.h"

#include "atlwin.h"

class CConnectDlg : public CDialogImpl<CConnectDlg>
{
public:
    enum { IDD = IDD_CONNECT };

    // The graph chosen when DoModal returned IDOK.
    const RunningGraph& Chosen() const { return m_chosen; }

    BEGIN_MSG_MAP(CConnectDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDOK, OnOK)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
        COMMAND_ID_HANDLER(IDC_GRAPH_REFRESH, OnRefresh)
        COMMAND_HANDLER(IDC_GRAPH_LIST, LBN_DBLCLK, OnOK)
        COMMAND_HANDLER(IDC_GRAPH_LIST, LBN_SELCHANGE, OnSelChange)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOK(WORD, WORD, HWND, BOOL&);
    LRESULT OnCancel(WORD, WORD, HWND, BOOL&);
    LRESULT OnRefresh(WORD, WORD, HWND, BOOL&);
    LRESULT OnSelChange(WORD, WORD, HWND, BOOL&);

    void Fill();
    void UpdateOK();

    std::vector<RunningGraph> m_graphs; // as listed; each item's data is its index here
    RunningGraph m_chosen;
};
