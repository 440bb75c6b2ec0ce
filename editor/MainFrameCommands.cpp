// The main window's commands: connecting, run control, refreshing, and the
// property pages of what is double-clicked on the canvas. Each is a request
// to the worker; its result comes back with the news, and is handed on here.
#include "MainFrame.h"

#include "ConnectDlg.h"
#include "ErrorText.h"

LRESULT CMainFrame::OnConnect(WORD, WORD, HWND, BOOL&)
{
    CConnectDlg dlg;
    if (dlg.DoModal(m_hWnd) != IDOK || !AskToLetGo())
        return 0;
    m_target = dlg.Chosen();
    m_file.clear();
    m_bChanged = false;
    StartFollowing(eConnecting);
    m_worker.Attach(m_target.displayName);
    return 0;
}

LRESULT CMainFrame::OnDisconnect(WORD, WORD, HWND, BOOL&)
{
    if (m_attachment == eOwn)
        return 0;
    m_worker.Post(CGraphWorker::eCmdDetach);
    SetAttachment(eNone);
    return 0;
}

LRESULT CMainFrame::OnExit(WORD, WORD, HWND, BOOL&)
{
    PostMessage(WM_CLOSE);
    return 0;
}

LRESULT CMainFrame::OnGraphControl(WORD, WORD wID, HWND, BOOL&)
{
    if (!HasGraph())
        return 0;
    m_worker.Post(wID == ID_GRAPH_PLAY    ? CGraphWorker::eCmdRun
                  : wID == ID_GRAPH_PAUSE ? CGraphWorker::eCmdPause
                                          : CGraphWorker::eCmdStop);
    return 0;
}

LRESULT CMainFrame::OnRefresh(WORD, WORD, HWND, BOOL&)
{
    if (HasGraph())
        m_worker.Post(CGraphWorker::eCmdRefresh);
    return 0;
}

void CMainFrame::OnOpenFilter(int nFilter)
{
    if (HasGraph())
        m_worker.ShowFilterPages(nFilter, m_hWnd);
}

void CMainFrame::OnOpenPin(const PinRef& pin)
{
    if (HasGraph())
        m_worker.ShowPinPages(pin, m_hWnd);
}

void CMainFrame::OnCommandDone(const CGraphWorker::CommandDone& done)
{
    HRESULT hr = done.hr;
    switch (done.command)
    {
    case CGraphWorker::eCmdAttach:
        // A later choice or a disconnection has overtaken this one.
        if (m_attachment != eConnecting)
            break;
        if (SUCCEEDED(hr))
        {
            SetAttachment(eAttached);
            AddEventLine(L"Attached to another program's graph: its events are that program's to take.");
        }
        else
        {
            SetAttachment(eNone);
            ShowError(L"The editor cannot attach to the graph.", hr);
        }
        break;
    case CGraphWorker::eCmdRun:
    case CGraphWorker::eCmdPause:
    case CGraphWorker::eCmdStop:
        if (FAILED(hr) && HasGraph())
            ShowError(done.command == CGraphWorker::eCmdRun     ? L"The graph cannot run."
                      : done.command == CGraphWorker::eCmdPause ? L"The graph cannot pause."
                                                                : L"The graph cannot stop.",
                      hr);
        break;
    case CGraphWorker::eCmdFilterPages:
        if (hr == S_FALSE)
            ::MessageBoxW(m_hWnd, L"This filter has no property pages.", L"Graph Editor", MB_OK | MB_ICONINFORMATION);
        else if (FAILED(hr) && HasGraph())
            ShowError(L"The filter's property pages cannot be shown.", hr);
        break;
    case CGraphWorker::eCmdPinPages:
        if (FAILED(hr) && HasGraph())
            ShowError(L"The pin's property pages cannot be shown.", hr);
        break;
    case CGraphWorker::eCmdNew:
    case CGraphWorker::eCmdOpen:
    case CGraphWorker::eCmdSave:
        OnFileDone(done);
        break;
    case CGraphWorker::eCmdInsert:
    case CGraphWorker::eCmdConnect:
    case CGraphWorker::eCmdRender:
    case CGraphWorker::eCmdRemove:
    case CGraphWorker::eCmdDisconnect:
    case CGraphWorker::eCmdSeek:
        OnEditDone(done);
        break;
    default:
        break;
    }
}

void CMainFrame::ShowError(LPCWSTR pszWhat, HRESULT hr)
{
    std::wstring text = std::wstring(pszWhat) + L"\n\n" + DescribeError(hr);
    ::MessageBoxW(m_hWnd, text.c_str(), L"Graph Editor", MB_OK | MB_ICONEXCLAMATION);
}
