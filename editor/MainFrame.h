// The editor's main window: menu, the graph canvas and a status bar with the
// graph's state, its counts and what the editor is attached to. The graph
// itself is the worker's; the window shows the news it posts.
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
    CGraphWorker& Worker() { return m_worker; }

    BEGIN_MSG_MAP(CMainFrame)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
        MESSAGE_HANDLER(WM_INITMENUPOPUP, OnInitMenuPopup)
        MESSAGE_HANDLER(WM_GRAPH_NEWS, OnGraphNews)
        MESSAGE_HANDLER(WM_GRAPH_LOST, OnGraphLost)
        COMMAND_ID_HANDLER(ID_FILE_CONNECT, OnConnect)
        COMMAND_ID_HANDLER(ID_FILE_DISCONNECT, OnDisconnect)
        COMMAND_ID_HANDLER(ID_FILE_EXIT, OnExit)
        COMMAND_RANGE_HANDLER(ID_GRAPH_PLAY, ID_GRAPH_STOP, OnGraphControl)
        COMMAND_ID_HANDLER(ID_VIEW_REFRESH, OnRefresh)
    END_MSG_MAP()

private:
    static const UINT WM_GRAPH_NEWS = WM_APP + 1;
    static const UINT WM_GRAPH_LOST = WM_APP + 2; // tells the user, after the window shows it

    enum EAttachment
    {
        eNone,
        eConnecting,
        eAttached,
        eLost,
    };

    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnInitMenuPopup(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGraphNews(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGraphLost(UINT, WPARAM, LPARAM, BOOL&);

    // Commands: MainFrameCommands.cpp
    LRESULT OnConnect(WORD, WORD, HWND, BOOL&);
    LRESULT OnDisconnect(WORD, WORD, HWND, BOOL&);
    LRESULT OnExit(WORD, WORD, HWND, BOOL&);
    LRESULT OnGraphControl(WORD, WORD, HWND, BOOL&);
    LRESULT OnRefresh(WORD, WORD, HWND, BOOL&);
    void OnOpenFilter(int nFilter) override;
    void OnOpenPin(const PinRef& pin) override;
    void OnCommandDone(CGraphWorker::ECommand command, HRESULT hr);

    void SetAttachment(EAttachment attachment);
    void UpdateTexts();
    void ShowError(LPCWSTR pszWhat, HRESULT hr);

    CGraphCanvas m_canvas;
    HWND m_hWndStatus;
    CGraphWorker m_worker;
    EAttachment m_attachment;
    RunningGraph m_target; // what the editor is attached or attaching to
    FILTER_STATE m_state;
};
