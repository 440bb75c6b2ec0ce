// The bridge to the graph editor (graphedt.exe): the graph's Running Object
// Table entry, and the editor process started for it and driven through its
// windows until it has attached to the graph.
#pragma once

#include "atlbase.h"

// Publishes pGraph under its cookie name; on success *pdwCookie holds the
// registration.
HRESULT AddGraphToRot(IUnknown* pGraph, DWORD* pdwCookie);
// Revokes a registration; 0 and failures are ignored.
void RemoveGraphFromRot(DWORD dwCookie);
// Whether the DirectShow property pages (proppage.dll) are registered; their
// path goes into pszProppage_dll (MAX_PATH units, may be null), left empty on
// failure.
bool IsProppageRegistered(LPWSTR pszProppage_dll);

class CGraphEdit
{
public:
    explicit CGraphEdit(bool bCloseOnDestroy);
    ~CGraphEdit();
    CGraphEdit(const CGraphEdit&) = delete;
    CGraphEdit& operator=(const CGraphEdit&) = delete;

    // Publishes the graph, starts the editor and makes it attach: S_OK once
    // the editor has been started and driven, S_FALSE when its main window
    // did not show, or the failure.
    HRESULT ShowGraph(IUnknown* pGraph);
    // Revokes the registration and lets go of the editor; safe to call again.
    void Close();

private:
    friend struct CGraphEditInspector; // tests look at the members

    void CloseProcess();
    HRESULT LoadGraphEdit(LPCWSTR pszProppage_dll);

    bool FindMainWindow();
    bool WaitWhileHidden();
    void OpenConnectDialog();
    void ConnectToGraph(IUnknown* pGraph);
    int FindGraphItem(IUnknown* pGraph);
    static bool IsGraphItem(LPCWSTR pszCookieName, IUnknown* pGraph);

    BOOL TestMainWindow(HWND hWnd);
    BOOL TestConnectDialog(HWND hWnd);
    BOOL TestListBox(HWND hWnd);
    // EnumWindows/EnumChildWindows procedure: lParam is the object.
    template <BOOL (CGraphEdit::*pfnTest)(HWND)>
    static BOOL CALLBACK EnumProc(HWND hWnd, LPARAM lParam);

    DWORD m_dwCookie;
    PROCESS_INFORMATION m_rgPI;
    HWND m_hWndMain;
    HWND m_hWndListBox;
    bool m_bCloseOnDestroy;
};
