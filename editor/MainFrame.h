// The editor's main window: menu, a transport bar (run control, position and
// seek bar), the graph canvas, the graph's events and a status bar with the
// graph's state, its counts and its file or what the editor is attached to.
// The graph itself is the worker's; the window shows the news it posts.
#pragma once

#include "EditorIds.h"
#include "GraphCanvas.h"
#include "GraphWorker.h"
#include "RunningGraphs.h"

#include "atlwin.h"

class CMainFrame : public CWindowImpl<CMainFrame>, private ICanvasEvents
{
public:
    DECLARE_WND_CLASS_EX(L"CorvastaGraphEditor", CS_HREDRAW | CS_VREDRAW, COLOR_BTNFACE)

    CMainFrame();

    // Creates the window and starts the worker.
    HRESULT CreateFrame(int nCmdShow);
    // The command line: "FILE.grf" opens it, "/run FILE.grf" opens and runs
    // it; otherwise the editor starts with a new graph of its own.
    void StartWith(LPCWSTR pszCommandLine);
    CGraphWorker& Worker() { return m_worker; }
    const CGraphCanvas& Canvas() const { return m_canvas; }

    BEGIN_MSG_MAP(CMainFrame)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
        MESSAGE_HANDLER(WM_INITMENUPOPUP, OnInitMenuPopup)
        MESSAGE_HANDLER(WM_HSCROLL, OnSeekBar)
        MESSAGE_HANDLER(WM_GRAPH_NEWS, OnGraphNews)
        MESSAGE_HANDLER(WM_GRAPH_LOST, OnGraphLost)
        COMMAND_ID_HANDLER(ID_FILE_NEW, OnFileNew)
        COMMAND_ID_HANDLER(ID_FILE_OPEN, OnFileOpen)
        COMMAND_ID_HANDLER(ID_FILE_SAVE, OnFileSave)
        COMMAND_ID_HANDLER(ID_FILE_SAVEAS, OnFileSaveAs)
        COMMAND_RANGE_HANDLER(ID_FILE_RECENT_FIRST, ID_FILE_RECENT_LAST, OnFileRecent)
        COMMAND_ID_HANDLER(ID_FILE_CONNECT, OnConnect)
        COMMAND_ID_HANDLER(ID_FILE_DISCONNECT, OnDisconnect)
        COMMAND_ID_HANDLER(ID_FILE_EXIT, OnExit)
        COMMAND_ID_HANDLER(ID_GRAPH_INSERT, OnInsert)
        COMMAND_ID_HANDLER(ID_GRAPH_RENDER, OnRender)
        COMMAND_ID_HANDLER(ID_GRAPH_CONNECT, OnConnectPins)
        COMMAND_ID_HANDLER(ID_GRAPH_DIRECT, OnConnectDirectly)
        COMMAND_ID_HANDLER(ID_GRAPH_DELETE, OnDelete)
        COMMAND_ID_HANDLER(ID_GRAPH_PROPERTIES, OnProperties)
        COMMAND_RANGE_HANDLER(ID_GRAPH_PLAY, ID_GRAPH_STOP, OnGraphControl)
        COMMAND_ID_HANDLER(ID_VIEW_REFRESH, OnRefresh)
        COMMAND_ID_HANDLER(ID_VIEW_EVENTS, OnViewEvents)
        COMMAND_ID_HANDLER(ID_VIEW_CLEAR_EVENTS, OnClearEvents)
        COMMAND_ID_HANDLER(ID_VIEW_NEXT_PANE, OnNextPane)
    END_MSG_MAP()

private:
    static const UINT WM_GRAPH_NEWS = WM_APP + 1;
    static const UINT WM_GRAPH_LOST = WM_APP + 2; // tells the user, after the window shows it

    enum EAttachment
    {
        eNone,
        eConnecting,
        eAttached, // another program's graph
        eLost,
        eOwn,      // the editor's own graph
    };

    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnInitMenuPopup(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGraphNews(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGraphLost(UINT, WPARAM, LPARAM, BOOL&);

    // Files: MainFrameFile.cpp
    LRESULT OnFileNew(WORD, WORD, HWND, BOOL&);
    LRESULT OnFileOpen(WORD, WORD, HWND, BOOL&);
    LRESULT OnFileSave(WORD, WORD, HWND, BOOL&);
    LRESULT OnFileSaveAs(WORD, WORD, HWND, BOOL&);
    LRESULT OnFileRecent(WORD, WORD, HWND, BOOL&);
    // False when the user chose to keep a changed graph.
    bool AskToLetGo();
    void Open(const std::wstring& file);
    void SaveAs(const std::wstring& file);
    void OnFileDone(const CGraphWorker::CommandDone& done);
    void LoadRecent();
    void RememberRecent(const std::wstring& file);
    void UpdateRecentMenu(HMENU hMenu);

    // Editing: MainFrameEdit.cpp
    LRESULT OnInsert(WORD, WORD, HWND, BOOL&);
    LRESULT OnRender(WORD, WORD, HWND, BOOL&);
    LRESULT OnConnectPins(WORD, WORD, HWND, BOOL&);
    LRESULT OnConnectDirectly(WORD, WORD, HWND, BOOL&);
    LRESULT OnDelete(WORD, WORD, HWND, BOOL&);
    LRESULT OnProperties(WORD, WORD, HWND, BOOL&);
    void OnConnectPins(const PinRef& from, const PinRef& to) override;
    void OnCanvasMenu(POINT ptScreen) override;
    void OnEditDone(const CGraphWorker::CommandDone& done);

    // Commands: MainFrameCommands.cpp
    LRESULT OnConnect(WORD, WORD, HWND, BOOL&);
    LRESULT OnDisconnect(WORD, WORD, HWND, BOOL&);
    LRESULT OnExit(WORD, WORD, HWND, BOOL&);
    LRESULT OnGraphControl(WORD, WORD, HWND, BOOL&);
    LRESULT OnRefresh(WORD, WORD, HWND, BOOL&);
    void OnOpenFilter(int nFilter) override;
    void OnOpenPin(const PinRef& pin) override;
    void OnCommandDone(const CGraphWorker::CommandDone& done);

    // Running: MainFrameRun.cpp
    bool CreateRunControls();
    LRESULT OnSeekBar(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnViewEvents(WORD, WORD, HWND, BOOL&);
    LRESULT OnClearEvents(WORD, WORD, HWND, BOOL&);
    LRESULT OnNextPane(WORD, WORD, HWND, BOOL&);
    void ShowPosition(const CGraphWorker::News& news);
    void AddEvents(const std::vector<GraphEvent>& events);
    void AddEventLine(const std::wstring& line);

    void SetAttachment(EAttachment attachment);
    // The canvas and the texts for a graph that is not the one shown before.
    void StartFollowing(EAttachment attachment);
    bool IsFollowing() const { return m_attachment == eAttached || m_attachment == eConnecting || m_attachment == eOwn; }
    bool HasGraph() const { return m_attachment == eAttached || m_attachment == eOwn; }
    void UpdateTexts();
    void ShowError(LPCWSTR pszWhat, HRESULT hr);

    CGraphCanvas m_canvas;
    GraphData m_lastGraph; // as the worker last reported it
    HWND m_hWndStatus;
    HWND m_hWndToolbar;
    HWND m_hWndPosition;
    HWND m_hWndSeek;
    HWND m_hWndEvents;
    bool m_bShowEvents;
    CGraphWorker m_worker;
    EAttachment m_attachment;
    RunningGraph m_target; // what the editor is attached or attaching to
    FILTER_STATE m_state;
    LONGLONG m_llDuration;

    std::wstring m_file;       // of the own graph; empty while it has none
    std::wstring m_opening;    // a file being opened or saved
    bool m_bChanged;           // the own graph changed since it was opened or saved
    bool m_bRunWhenOpen;       // /run on the command line
    bool m_bConnectDirectly;
    PinRef m_connectFrom;      // Connect Pins: the output pin chosen first
    std::vector<std::wstring> m_recent;
};
