// Lets tests look at the graph editor bridge's members and call its steps.
#pragma once

#include "graphedit/GraphEdit.h"

struct CGraphEditInspector
{
    static DWORD& Cookie(CGraphEdit& ge) { return ge.m_dwCookie; }
    static const PROCESS_INFORMATION& ProcessInfo(const CGraphEdit& ge) { return ge.m_rgPI; }
    static HWND MainWindow(const CGraphEdit& ge) { return ge.m_hWndMain; }
    static HWND ListBox(const CGraphEdit& ge) { return ge.m_hWndListBox; }
    static bool IsIdle(const CGraphEdit& ge)
    {
        const PROCESS_INFORMATION& pi = ge.m_rgPI;
        return ge.m_dwCookie == 0 && pi.hProcess == nullptr && pi.hThread == nullptr && pi.dwProcessId == 0 &&
               pi.dwThreadId == 0 && ge.m_hWndMain == nullptr && ge.m_hWndListBox == nullptr;
    }
    static bool IsGraphItem(LPCWSTR pszCookieName, IUnknown* pGraph)
    {
        return CGraphEdit::IsGraphItem(pszCookieName, pGraph);
    }
};
