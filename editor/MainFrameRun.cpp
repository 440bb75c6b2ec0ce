// The main window's run controls: the toolbar with Play, Pause and Stop, the
// position and the seek bar, and the pane that lists the graph's events.
#include "MainFrame.h"

#include <commctrl.h>
#include <strsafe.h>

#include <algorithm>

namespace {

// The seek bar's range: fine enough for a long file, small enough for a
// trackbar's int.
const int nSeekSteps = 1000;
const int cMaxEventLines = 1000;

std::wstring FormatTime(LONGLONG ll100ns)
{
    LONGLONG llMs = ll100ns / 10000;
    wchar_t sz[32];
    ::StringCchPrintfW(sz, ARRAYSIZE(sz), L"%lld:%02lld.%03lld", llMs / 60000, llMs / 1000 % 60, llMs % 1000);
    return sz;
}

} // namespace

bool CMainFrame::CreateRunControls()
{
    HINSTANCE hInstance = AtlGetModuleInstance();
    m_hWndToolbar = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                      WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NODIVIDER |
                                          TBSTYLE_TOOLTIPS,
                                      0, 0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(IDC_TOOLBAR), hInstance, nullptr);
    if (m_hWndToolbar == nullptr)
        return false;
    ::SendMessageW(m_hWndToolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(m_hWndToolbar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
    // Text buttons: "Play", "Pause", "Stop".
    static const wchar_t szLabels[] = L"\u25B6 Play\0\u275A\u275A Pause\0\u25A0 Stop\0";
    INT_PTR nFirstString = ::SendMessageW(m_hWndToolbar, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(szLabels));
    TBBUTTON rgButtons[3] = {};
    const int rgnIds[] = {ID_GRAPH_PLAY, ID_GRAPH_PAUSE, ID_GRAPH_STOP};
    for (int i = 0; i < 3; ++i)
    {
        rgButtons[i].iBitmap = I_IMAGENONE;
        rgButtons[i].idCommand = rgnIds[i];
        rgButtons[i].fsState = TBSTATE_ENABLED;
        rgButtons[i].fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT | BTNS_CHECKGROUP;
        rgButtons[i].iString = nFirstString + i;
    }
    ::SendMessageW(m_hWndToolbar, TB_ADDBUTTONSW, 3, reinterpret_cast<LPARAM>(rgButtons));

    m_hWndPosition = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_NOPREFIX, 0, 0, 0,
                                       0, m_hWnd, reinterpret_cast<HMENU>(IDC_POSITION), hInstance, nullptr);
    m_hWndSeek = ::CreateWindowExW(0, TRACKBAR_CLASSW, nullptr,
                                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_DISABLED | TBS_HORZ | TBS_NOTICKS, 0, 0,
                                   0, 0, m_hWnd, reinterpret_cast<HMENU>(IDC_SEEKBAR), hInstance, nullptr);
    m_hWndEvents = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                                     WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT |
                                         LBS_NOTIFY,
                                     0, 0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(IDC_EVENTS), hInstance, nullptr);
    if (m_hWndPosition == nullptr || m_hWndSeek == nullptr || m_hWndEvents == nullptr)
        return false;
    ::SendMessageW(m_hWndSeek, TBM_SETRANGE, FALSE, MAKELPARAM(0, nSeekSteps));
    HFONT hFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    for (HWND hWnd : {m_hWndPosition, m_hWndEvents})
        ::SendMessageW(hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), FALSE);
    ShowPosition(CGraphWorker::News());
    return true;
}

LRESULT CMainFrame::OnSeekBar(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    if (reinterpret_cast<HWND>(lParam) != m_hWndSeek)
    {
        bHandled = FALSE;
        return 0;
    }
    // Seeks once the thumb is let go (or moved by the keyboard), not on
    // every step of a drag.
    WORD wCode = LOWORD(wParam);
    if (wCode == TB_THUMBTRACK || wCode == TB_ENDTRACK || !HasGraph() || m_llDuration <= 0)
        return 0;
    LONGLONG llPos = ::SendMessageW(m_hWndSeek, TBM_GETPOS, 0, 0);
    m_worker.Seek(llPos * m_llDuration / nSeekSteps);
    return 0;
}

LRESULT CMainFrame::OnViewEvents(WORD, WORD, HWND, BOOL&)
{
    m_bShowEvents = !m_bShowEvents;
    BOOL bHandled = TRUE;
    OnSize(WM_SIZE, 0, 0, bHandled);
    return 0;
}

LRESULT CMainFrame::OnClearEvents(WORD, WORD, HWND, BOOL&)
{
    ::SendMessageW(m_hWndEvents, LB_RESETCONTENT, 0, 0);
    return 0;
}

// F6: the canvas, the seek bar, the events, round again.
LRESULT CMainFrame::OnNextPane(WORD, WORD, HWND, BOOL&)
{
    std::vector<HWND> panes = {m_canvas};
    if (::IsWindowEnabled(m_hWndSeek))
        panes.push_back(m_hWndSeek);
    if (m_bShowEvents)
        panes.push_back(m_hWndEvents);
    HWND hFocus = ::GetFocus();
    size_t nAt = std::find(panes.begin(), panes.end(), hFocus) - panes.begin();
    ::SetFocus(panes[(nAt + 1) % panes.size()]);
    return 0;
}

void CMainFrame::ShowPosition(const CGraphWorker::News& news)
{
    bool bCanSeek = HasGraph() && news.bCanSeek && news.llDuration > 0;
    m_llDuration = bCanSeek ? news.llDuration : 0;
    std::wstring text = bCanSeek ? FormatTime(news.llPosition) + L" / " + FormatTime(news.llDuration) : L"";
    ::SetWindowTextW(m_hWndPosition, text.c_str());
    ::EnableWindow(m_hWndSeek, bCanSeek);
    // Not while the user holds the thumb.
    if (bCanSeek && ::GetCapture() != m_hWndSeek)
        ::SendMessageW(m_hWndSeek, TBM_SETPOS, TRUE,
                       static_cast<LPARAM>(std::min<LONGLONG>(news.llPosition, news.llDuration) * nSeekSteps /
                                           news.llDuration));
}

void CMainFrame::AddEvents(const std::vector<GraphEvent>& events)
{
    for (const GraphEvent& event : events)
        AddEventLine(DescribeEvent(event));
}

void CMainFrame::AddEventLine(const std::wstring& line)
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    wchar_t szTime[16];
    ::StringCchPrintfW(szTime, ARRAYSIZE(szTime), L"%02u:%02u:%02u  ", st.wHour, st.wMinute, st.wSecond);
    if (::SendMessageW(m_hWndEvents, LB_GETCOUNT, 0, 0) >= cMaxEventLines)
        ::SendMessageW(m_hWndEvents, LB_DELETESTRING, 0, 0);
    LRESULT nItem = ::SendMessageW(m_hWndEvents, LB_ADDSTRING, 0,
                                   reinterpret_cast<LPARAM>((std::wstring(szTime) + line).c_str()));
    if (nItem >= 0)
        ::SendMessageW(m_hWndEvents, LB_SETTOPINDEX, nItem, 0);
}
