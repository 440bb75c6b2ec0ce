#include "MainFrame.h"

#include <commctrl.h>
#include <strsafe.h>

#include <algorithm>

namespace {

const wchar_t szAppName[] = L"Graph Editor";

LPCWSTR StateText(FILTER_STATE state)
{
    switch (state)
    {
    case State_Running:
        return L"Running";
    case State_Paused:
        return L"Paused";
    default:
        return L"Stopped";
    }
}

} // namespace

CMainFrame::CMainFrame()
    : m_canvas(this), m_hWndStatus(nullptr), m_hWndToolbar(nullptr), m_hWndPosition(nullptr), m_hWndSeek(nullptr),
      m_hWndEvents(nullptr), m_bShowEvents(true), m_attachment(eNone), m_state(State_Stopped), m_llDuration(0),
      m_bChanged(false), m_bRunWhenOpen(false), m_bConnectDirectly(false)
{
}

HRESULT CMainFrame::CreateFrame(int nCmdShow)
{
    HMENU hMenu = ::LoadMenuW(AtlGetModuleInstance(), MAKEINTRESOURCEW(IDR_MAINMENU));
    RECT rc = {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
    // CreateWindowEx takes CW_USEDEFAULT as position and size alike.
    rc.right = static_cast<LONG>(CW_USEDEFAULT) + 960;
    rc.bottom = static_cast<LONG>(CW_USEDEFAULT) + 600;
    if (Create(nullptr, rc, szAppName, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, hMenu) == nullptr)
    {
        HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
        if (hMenu != nullptr)
            ::DestroyMenu(hMenu);
        return FAILED(hr) ? hr : E_FAIL;
    }
    ShowWindow(nCmdShow);
    ::UpdateWindow(m_hWnd);

    // Programs that drive the editor wait until it waits for input, then give
    // its window and its connect dialog little time: the worker's thread
    // starts only now that the window shows, and the Running Object Table,
    // whose first use is slow, is read once before that.
    std::vector<RunningGraph> graphs;
    ListRunningGraphs(&graphs);
    HRESULT hr = m_worker.Start(m_hWnd, WM_GRAPH_NEWS);
    if (FAILED(hr))
        DestroyWindow();
    return hr;
}

LRESULT CMainFrame::OnCreate(UINT, WPARAM, LPARAM, BOOL&)
{
    RECT rc = {};
    if (m_canvas.Create(m_hWnd, rc, nullptr, WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE,
                        reinterpret_cast<HMENU>(IDC_CANVAS)) == nullptr)
        return -1;
    m_hWndStatus = ::CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0,
                                     0, 0, m_hWnd, reinterpret_cast<HMENU>(IDC_STATUS), AtlGetModuleInstance(),
                                     nullptr);
    if (m_hWndStatus == nullptr || !CreateRunControls())
        return -1;
    LoadRecent();
    SetAttachment(eNone);
    return 0;
}

LRESULT CMainFrame::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    // Closing asks about unsaved changes; WM_QUIT from a driving program
    // does not come here and never waits on the user.
    if (!AskToLetGo())
        return 0;
    bHandled = FALSE;
    return 0;
}

LRESULT CMainFrame::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    ::PostQuitMessage(0);
    return 0;
}

LRESULT CMainFrame::OnSize(UINT, WPARAM, LPARAM, BOOL&)
{
    if (m_hWndStatus == nullptr)
        return 0;
    ::SendMessageW(m_hWndStatus, WM_SIZE, 0, 0);
    ::SendMessageW(m_hWndToolbar, TB_AUTOSIZE, 0, 0);
    RECT rcStatus = {}, rcBar = {}, rc = {};
    ::GetWindowRect(m_hWndStatus, &rcStatus);
    ::GetWindowRect(m_hWndToolbar, &rcBar);
    GetClientRect(&rc);
    int cyStatus = rcStatus.bottom - rcStatus.top, cyBar = rcBar.bottom - rcBar.top;

    // The toolbar's buttons, then the position and the seek bar in the rest
    // of its row.
    RECT rcLast = {};
    int cButtons = static_cast<int>(::SendMessageW(m_hWndToolbar, TB_BUTTONCOUNT, 0, 0));
    ::SendMessageW(m_hWndToolbar, TB_GETITEMRECT, cButtons - 1, reinterpret_cast<LPARAM>(&rcLast));
    int x = rcLast.right + 12, cxPosition = 150;
    ::SetWindowPos(m_hWndPosition, HWND_TOP, x, (cyBar - 16) / 2, cxPosition, 16, 0);
    ::SetWindowPos(m_hWndSeek, HWND_TOP, x + cxPosition, 2, std::max<int>(rc.right - x - cxPosition - 8, 40), cyBar - 4, 0);

    int cyEvents = m_bShowEvents ? std::min<int>(120, std::max<int>(rc.bottom - cyStatus - cyBar, 0) / 3) : 0;
    int cyCanvas = std::max<int>(rc.bottom - cyStatus - cyBar - cyEvents, 0);
    m_canvas.SetWindowPos(nullptr, 0, cyBar, rc.right, cyCanvas, SWP_NOZORDER);
    ::SetWindowPos(m_hWndEvents, nullptr, 0, cyBar + cyCanvas, rc.right, cyEvents,
                   SWP_NOZORDER | (m_bShowEvents ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));

    // The state, the counts, then the file or what the editor is attached to.
    int rgxParts[] = {110, 330, -1};
    if (rc.right < 500)
    {
        rgxParts[0] = rc.right / 4;
        rgxParts[1] = rc.right / 2;
    }
    ::SendMessageW(m_hWndStatus, SB_SETPARTS, ARRAYSIZE(rgxParts), reinterpret_cast<LPARAM>(rgxParts));
    return 0;
}

LRESULT CMainFrame::OnSetFocus(UINT, WPARAM, LPARAM, BOOL&)
{
    ::SetFocus(m_canvas);
    return 0;
}

LRESULT CMainFrame::OnInitMenuPopup(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    HMENU hMenu = reinterpret_cast<HMENU>(wParam);
    auto enable = [hMenu](UINT uId, bool bEnable) {
        ::EnableMenuItem(hMenu, uId, MF_BYCOMMAND | (bEnable ? MF_ENABLED : MF_GRAYED));
    };
    bool bGraph = HasGraph(), bOwn = m_attachment == eOwn;
    PinRef pin = m_canvas.SelectedPin();
    const PinData* pPin = m_canvas.Graph().Pin(pin);
    ConnectionData connection;
    bool bConnection = m_canvas.SelectedConnection(&connection);
    int nFilter = m_canvas.SelectedFilter();

    enable(ID_FILE_SAVE, bOwn);
    enable(ID_FILE_SAVEAS, bOwn);
    enable(ID_FILE_DISCONNECT, m_attachment == eAttached || m_attachment == eConnecting || m_attachment == eLost);
    enable(ID_GRAPH_RENDER, bGraph && pPin != nullptr && !pPin->bInput && !pPin->peer.IsValid());
    enable(ID_GRAPH_CONNECT, bGraph && pPin != nullptr && !pPin->peer.IsValid());
    enable(ID_GRAPH_DELETE, bGraph && ((bOwn && nFilter >= 0 && pPin == nullptr) || bConnection ||
                                       (pPin != nullptr && pPin->peer.IsValid())));
    enable(ID_GRAPH_PROPERTIES, bGraph && (nFilter >= 0 || bConnection));
    ::CheckMenuItem(hMenu, ID_GRAPH_DIRECT, MF_BYCOMMAND | (m_bConnectDirectly ? MF_CHECKED : MF_UNCHECKED));
    ::CheckMenuItem(hMenu, ID_VIEW_EVENTS, MF_BYCOMMAND | (m_bShowEvents ? MF_CHECKED : MF_UNCHECKED));
    for (UINT uId : {ID_GRAPH_PLAY, ID_GRAPH_PAUSE, ID_GRAPH_STOP, ID_VIEW_REFRESH})
        enable(uId, bGraph);

    // Filters live in the process that creates them: one inserted here into
    // another program's graph would end with the editor.
    MENUITEMINFOW mii = {sizeof(mii)};
    mii.fMask = MIIM_STRING;
    mii.dwTypeData = const_cast<LPWSTR>(m_attachment == eAttached
                                            ? L"&Insert Filters (not into another program's graph)"
                                            : L"&Insert Filters...\tCtrl+I");
    if (::GetMenuState(hMenu, ID_GRAPH_INSERT, MF_BYCOMMAND) != static_cast<UINT>(-1))
        ::SetMenuItemInfoW(hMenu, ID_GRAPH_INSERT, FALSE, &mii);
    enable(ID_GRAPH_INSERT, m_attachment != eAttached && m_attachment != eConnecting);

    UINT uChecked = m_state == State_Running ? ID_GRAPH_PLAY : m_state == State_Paused ? ID_GRAPH_PAUSE : ID_GRAPH_STOP;
    if (bGraph)
        ::CheckMenuRadioItem(hMenu, ID_GRAPH_PLAY, ID_GRAPH_STOP, uChecked, MF_BYCOMMAND);
    else
        for (UINT uId : {ID_GRAPH_PLAY, ID_GRAPH_PAUSE, ID_GRAPH_STOP})
            ::CheckMenuItem(hMenu, uId, MF_BYCOMMAND | MF_UNCHECKED);
    UpdateRecentMenu(hMenu);
    return 0;
}

LRESULT CMainFrame::OnGraphNews(UINT, WPARAM, LPARAM, BOOL&)
{
    CGraphWorker::News news = m_worker.TakeNews();
    // The worker may report a graph it has made or opened before the
    // command's result: the last graph is kept for when that comes.
    if (news.dwChanged & CGraphWorker::eNewsGraph)
        m_lastGraph = news.graph;
    for (const CGraphWorker::CommandDone& done : news.done)
        if ((done.command == CGraphWorker::eCmdNew || done.command == CGraphWorker::eCmdOpen) && SUCCEEDED(done.hr))
        {
            StartFollowing(eOwn);
            m_canvas.SetGraph(m_lastGraph);
        }
    // A poll may have reported on a graph that the window has let go of.
    if ((news.dwChanged & CGraphWorker::eNewsGraph) && IsFollowing())
        m_canvas.SetGraph(news.graph);
    if ((news.dwChanged & CGraphWorker::eNewsState) && IsFollowing())
        m_state = news.state;
    if (news.dwChanged & CGraphWorker::eNewsLost)
    {
        SetAttachment(eLost);
        PostMessage(WM_GRAPH_LOST, static_cast<WPARAM>(news.hrLost));
    }
    if ((news.dwChanged & CGraphWorker::eNewsEvents) && IsFollowing())
        AddEvents(news.events);
    if (news.dwChanged & CGraphWorker::eNewsPosition)
        ShowPosition(news);
    UpdateTexts();
    for (const CGraphWorker::CommandDone& done : news.done)
        OnCommandDone(done);
    return 0;
}

LRESULT CMainFrame::OnGraphLost(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    wchar_t szWhat[160];
    ::StringCchPrintfW(szWhat, ARRAYSIZE(szWhat),
                       L"The program that owns the graph (%ls, pid %08x) has ended or no longer answers.",
                       m_target.program.c_str(), m_target.dwProcessId);
    ShowError(szWhat, static_cast<HRESULT>(wParam));
    return 0;
}

void CMainFrame::SetAttachment(EAttachment attachment)
{
    m_attachment = attachment;
    switch (attachment)
    {
    case eNone:
        m_canvas.SetGraph(GraphData());
        m_canvas.SetMessage(L"No graph. Choose File \u2192 New or Open..., Graph \u2192 Insert Filters..., "
                            L"or File \u2192 Connect to Remote Graph....");
        break;
    case eConnecting:
        m_canvas.SetMessage(L"Connecting...");
        break;
    case eAttached:
    case eOwn:
        m_canvas.SetMessage(L"");
        break;
    case eLost:
        m_canvas.SetGraph(GraphData());
        m_canvas.SetMessage(L"The graph's program has ended.");
        break;
    }
    UpdateTexts();
}

void CMainFrame::StartFollowing(EAttachment attachment)
{
    m_canvas.ForgetMoves();
    m_connectFrom = PinRef();
    m_state = State_Stopped;
    SetAttachment(attachment);
}

// The status bar's first part is also the bar's window text, which other
// programs can read: the state goes there.
void CMainFrame::UpdateTexts()
{
    std::wstring state, counts, target;
    std::wstring title = szAppName;
    wchar_t szProgram[128] = L"", szGraph[160] = L"";
    ::StringCchPrintfW(szProgram, ARRAYSIZE(szProgram), L"%ls (pid %08x)", m_target.program.c_str(),
                       m_target.dwProcessId);
    ::StringCchPrintfW(szGraph, ARRAYSIZE(szGraph), L"%ls, graph %08x", szProgram, m_target.dwGraph);
    switch (m_attachment)
    {
    case eNone:
        state = L"Not connected";
        break;
    case eConnecting:
        state = L"Connecting";
        target = szProgram;
        break;
    case eAttached:
        state = StateText(m_state);
        counts = DescribeCounts(m_canvas.Graph());
        target = szGraph;
        title = std::wstring(szProgram) + L" - " + szAppName;
        break;
    case eLost:
        state = L"Graph process ended";
        target = szProgram;
        break;
    case eOwn:
    {
        state = StateText(m_state);
        counts = DescribeCounts(m_canvas.Graph());
        target = m_file.empty() ? L"Untitled" : m_file;
        std::wstring name = m_file.empty() ? L"Untitled" : m_file.substr(m_file.find_last_of(L"\\/") + 1);
        title = name + (m_bChanged ? L"*" : L"") + L" - " + szAppName;
        break;
    }
    }
    ::SendMessageW(m_hWndStatus, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(state.c_str()));
    ::SendMessageW(m_hWndStatus, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(counts.c_str()));
    ::SendMessageW(m_hWndStatus, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(target.c_str()));
    SetWindowText(title.c_str());
    for (UINT uId : {ID_GRAPH_PLAY, ID_GRAPH_PAUSE, ID_GRAPH_STOP})
    {
        ::SendMessageW(m_hWndToolbar, TB_ENABLEBUTTON, uId, HasGraph());
        ::SendMessageW(m_hWndToolbar, TB_CHECKBUTTON, uId,
                       HasGraph() && uId == (m_state == State_Running  ? ID_GRAPH_PLAY
                                             : m_state == State_Paused ? ID_GRAPH_PAUSE
                                                                       : ID_GRAPH_STOP));
    }
}
