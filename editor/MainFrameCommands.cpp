// The main window's commands: connecting, run control, refreshing, and the
// property pages of what is double-clicked on the canvas. Each is a request
// to the worker; its result comes back with the news.
#include "MainFrame.h"

#include "ConnectDlg.h"
#include "ErrorText.h"

LRESULT CMainFrame::OnConnect(WORD, WORD, HWND, BOOL&)
{
    CConnectDlg dlg;
    if (dlg.DoModal(m_hWnd) != IDOK)
        return 0;
    m_target = dlg.Chosen();
    SetAttachment(eConnecting);
    m_worker.Attach(m_target.displayName);
    return 0;
}

LRESULT CMainFrame::OnDisconnect(WORD, WORD, HWND, BOOL&)
{
    m_worker.Post(CGraphWorker::eCmdDetach);
    SetAttachment(eNone);
    return 0;
}

LRESULT CMainFrame::OnExit(WORD, WORD, HWND, BOOL&)
{
    DestroyWindow();
    return 0;
}

LRESULT CMainFrame::OnGraphControl(WORD, WORD wID, HWND, BOOL&)
{
    if (m_attachment != eAttached)
        return 0;
    m_worker.Post(wID == ID_GRAPH_PLAY    ? CGraphWorker::eCmdRun
                  : wID == ID_GRAPH_PAUSE ? CGraphWorker::eCmdPause
                                          : CGraphWorker::eCmdStop);
    return 0;
}

LRESULT CMainFrame::OnRefresh(WORD, WORD, HWND, BOOL&)
{
    if (m_attachment == eAttached)
        m_worker.Post(CGraphWorker::eCmdRefresh);
    return 0;
}

void CMainFrame::OnOpenFilter(int nFilter)
{
    if (m_attachment == eAttached)
        m_worker.ShowFilterPages(nFilter, m_hWnd);
}

void CMainFrame::OnOpenPin(const PinRef& pin)
{
    if (m_attachment == eAttached)
        m_worker.ShowPinPages(pin, m_hWnd);
}

void CMainFrame::OnCommandDone(CGraphWorker::ECommand command, HRESULT hr)
{
    switch (command)
    {
    case CGraphWorker::eCmdAttach:
        // A later choice or a disconnection has overtaken this one.
        if (m_attachment != eConnecting)
            break;
        if (SUCCEEDED(hr))
            SetAttachment(eAttached);
        else
        {
            SetAttachment(eNone);
            ShowError(L"The editor cannot attach to the graph.", hr);
        }
        break;
    case CGraphWorker::eCmdRun:
    case CGraphWorker::eCmdPause:
    case CGraphWorker::eCmdStop:
        if (FAILED(hr) && m_attachment == eAttached)
            ShowError(command == CGraphWorker::eCmdRun     ? L"The graph cannot run."
                      : command == CGraphWorker::eCmdPause ? L"The graph cannot pause."
                                                           : L"The graph cannot stop.",
                      hr);
        break;
    case CGraphWorker::eCmdFilterPages:
        if (hr == S_FALSE)
            ::MessageBoxW(m_hWnd, L"This filter has no property pages.", L"Graph Editor", MB_OK | MB_ICONINFORMATION);
        else if (FAILED(hr) && m_attachment == eAttached)
            ShowError(L"The filter's property pages cannot be shown.", hr);
        break;
    case CGraphWorker::eCmdPinPages:
        if (FAILED(hr) && m_attachment == eAttached)
            ShowError(L"The pin's property pages cannot be shown.", hr);
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
