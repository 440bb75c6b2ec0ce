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
    : m_canvas(this), m_hWndStatus(nullptr), m_attachment(eNone), m_state(State_Stopped)
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
    if (m_hWndStatus == nullptr)
        return -1;
    SetAttachment(eNone);
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
    RECT rcStatus = {}, rc = {};
    ::GetWindowRect(m_hWndStatus, &rcStatus);
    GetClientRect(&rc);
    int cyStatus = rcStatus.bottom - rcStatus.top;
    m_canvas.SetWindowPos(nullptr, 0, 0, rc.right, std::max<int>(rc.bottom - cyStatus, 0), SWP_NOZORDER);

    // The state, the counts, then what the editor is attached to.
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
    bool bAttached = m_attachment == eAttached;
    UINT uEnable = bAttached ? MF_ENABLED : MF_GRAYED;
    for (UINT uId : {ID_FILE_DISCONNECT, ID_GRAPH_PLAY, ID_GRAPH_PAUSE, ID_GRAPH_STOP, ID_VIEW_REFRESH})
        ::EnableMenuItem(hMenu, uId, MF_BYCOMMAND | uEnable);
    UINT uChecked = m_state == State_Running ? ID_GRAPH_PLAY : m_state == State_Paused ? ID_GRAPH_PAUSE : ID_GRAPH_STOP;
    if (bAttached)
        ::CheckMenuRadioItem(hMenu, ID_GRAPH_PLAY, ID_GRAPH_STOP, uChecked, MF_BYCOMMAND);
    else
        for (UINT uId : {ID_GRAPH_PLAY, ID_GRAPH_PAUSE, ID_GRAPH_STOP})
            ::CheckMenuItem(hMenu, uId, MF_BYCOMMAND | MF_UNCHECKED);
    return 0;
}

LRESULT CMainFrame::OnGraphNews(UINT, WPARAM, LPARAM, BOOL&)
{
    CGraphWorker::News news = m_worker.TakeNews();
    // A poll may have reported on a graph that the window has let go of.
    bool bFollowing = m_attachment == eAttached || m_attachment == eConnecting;
    if ((news.dwChanged & CGraphWorker::eNewsGraph) && bFollowing)
        m_canvas.SetGraph(news.graph);
    if ((news.dwChanged & CGraphWorker::eNewsState) && bFollowing)
        m_state = news.state;
    if (news.dwChanged & CGraphWorker::eNewsLost)
    {
        SetAttachment(eLost);
        PostMessage(WM_GRAPH_LOST, static_cast<WPARAM>(news.hrLost));
    }
    UpdateTexts();
    if (news.dwChanged & CGraphWorker::eNewsCommand)
        OnCommandDone(news.command, news.hrCommand);
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
        m_canvas.SetMessage(L"Not connected. Choose File \u2192 Connect to Remote Graph... to show a graph.");
        break;
    case eConnecting:
        m_canvas.SetMessage(L"Connecting...");
        break;
    case eAttached:
        m_canvas.SetMessage(L"");
        break;
    case eLost:
        m_canvas.SetGraph(GraphData());
        m_canvas.SetMessage(L"The graph's program has ended.");
        break;
    }
    UpdateTexts();
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
    }
    ::SendMessageW(m_hWndStatus, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(state.c_str()));
    ::SendMessageW(m_hWndStatus, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(counts.c_str()));
    ::SendMessageW(m_hWndStatus, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(target.c_str()));
    SetWindowText(title.c_str());
}
