// The program's main window: a modal dialog that builds, configures, runs and
// watches the graph.
#pragma once

#include "atlwin.h"

#include "app/resource.h"
#include "graph/Graph.h"

// Posted by the graph manager whenever it has queued events.
#define WM_GRAPHNOTIFY (WM_APP + 123)

class CMainDialog : public CDialogImpl<CMainDialog>
{
public:
    enum { IDD = IDD_MAIN };
    // Refreshes the position and statistics lines every 100 ms.
    static const UINT_PTR nDisplayTimer = 1;

    CMainDialog();

    BEGIN_MSG_MAP(CMainDialog)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_GRAPHNOTIFY, OnGraphNotify)
        COMMAND_ID_HANDLER(IDC_LOAD, OnLoad)
        COMMAND_HANDLER(IDC_GRF_FILE, EN_CHANGE, OnGrfFileChange)
        COMMAND_ID_HANDLER(IDC_SOURCE_CHECK, OnSourceCheck)
        COMMAND_ID_HANDLER(IDC_BUILD_GRAPH, OnBuildGraph)
        COMMAND_ID_HANDLER(IDC_SHOW_GRAPH, OnShowGraph)
        COMMAND_RANGE_HANDLER(IDC_PP_SOURCE, IDC_PP_SERVER, OnPropPage)
        COMMAND_ID_HANDLER(IDC_URL_SET, OnUrlSet)
        COMMAND_ID_HANDLER(IDC_FILTER_APPLY, OnFilterApply)
        COMMAND_HANDLER(IDC_FILTER, EN_CHANGE, OnFilterChange)
        COMMAND_HANDLER(IDC_FILTER_ENABLED, BN_CLICKED, OnFilterChange)
        COMMAND_ID_HANDLER(IDC_ICE_ADD, OnIceAdd)
        COMMAND_ID_HANDLER(IDC_ICE_REMOVE, OnIceRemove)
        COMMAND_ID_HANDLER(IDC_PLAY, OnPlay)
        COMMAND_ID_HANDLER(IDC_PAUSE, OnPause)
        COMMAND_ID_HANDLER(IDC_STOP, OnStop)
        MESSAGE_HANDLER(WM_HSCROLL, OnHScroll)
        COMMAND_ID_HANDLER(IDOK, OnClose)
        COMMAND_ID_HANDLER(IDCANCEL, OnClose)
        COMMAND_ID_HANDLER(IDC_BROWSER, OnShowBrowser)
    END_MSG_MAP()

    // Window and lists
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnClose(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    HRESULT FillComboBox(int nID, REFCLSID clsidCategory, const wchar_t* const* rgpszPreferred,
                         int nPreferred);
    void FillUrlCombo();
    void EnableControls(bool bEnable);
    void EnableSelection(bool bEnable);

    // Graph commands
    LRESULT OnLoad(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnGrfFileChange(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnSourceCheck(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnBuildGraph(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnShowGraph(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnPropPage(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    bool SelectGrfFile(wchar_t* pszFile);

    // Playback and display
    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnGraphNotify(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnPlay(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnPause(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnStop(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnHScroll(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnShowBrowser(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    void OnConnectionCount();
    void ShowPositions();
    void ShowStatistics();
    // Sets a display line, or the title, only when its text changes: the
    // platform repaints a window on every new text, the same or not, and a
    // title's change also goes out to the window manager.
    void SetChangedText(int nID, const wchar_t* pszText);
    static void SetChangedText(HWND hWnd, const wchar_t* pszText);

    // Server settings
    LRESULT OnUrlSet(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnFilterApply(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnFilterChange(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnIceAdd(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnIceRemove(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    void RefreshIceList();

    int ErrorMessageBox(const wchar_t* pszText, HRESULT hr);

    CGraph& GetGraph() { return m_graph; }
    const wchar_t* GetGrfFile() const { return m_szGrfFile; }

    static const wchar_t s_szDefaultGrfFile[];
    static const wchar_t* const s_rgpszUrlPresets[6];
    static const wchar_t* const s_rgpszVideoEncoders[4];
    static const wchar_t* const s_rgpszAudioEncoders[4];
    static const wchar_t s_szPreferredSource[];

private:
    void GetSelectedName(int nID, int nFirst, wchar_t* pszName, int cchName);
    void ShowCurrentUrl();

    wchar_t m_szGrfFile[MAX_PATH];
    CGraph m_graph;
};
