// The main window's editing: inserting filters, connecting, rendering and
// disconnecting pins, deleting, and the property pages of the selection.
#include "MainFrame.h"

#include "InsertFilterDlg.h"

LRESULT CMainFrame::OnInsert(WORD, WORD, HWND, BOOL&)
{
    if (m_attachment == eAttached || m_attachment == eConnecting)
    {
        ::MessageBoxW(m_hWnd,
                      L"Filters cannot be inserted into another program's graph: the filter would live in the "
                      L"editor's process and end with it. Open or make a graph of the editor's own to insert "
                      L"filters.",
                      L"Graph Editor", MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    if (m_attachment != eOwn)
    {
        // Filters go into a new graph of the editor's own.
        m_opening.clear();
        m_worker.Open(std::wstring());
    }
    CInsertFilterDlg dlg([this](const FilterChoice& choice) {
        std::wstring name;
        return m_worker.Insert(choice, &name);
    });
    dlg.DoModal(m_hWnd);
    return 0;
}

LRESULT CMainFrame::OnRender(WORD, WORD, HWND, BOOL&)
{
    const PinData* pPin = m_canvas.Graph().Pin(m_canvas.SelectedPin());
    if (HasGraph() && pPin != nullptr && !pPin->bInput)
        m_worker.OnPin(CGraphWorker::eCmdRender, m_canvas.SelectedPin());
    return 0;
}

// From the keyboard: the first press takes the selected pin, the second the
// pin to connect it to.
LRESULT CMainFrame::OnConnectPins(WORD, WORD, HWND, BOOL&)
{
    PinRef pin = m_canvas.SelectedPin();
    const PinData* pPin = m_canvas.Graph().Pin(pin);
    if (!HasGraph() || pPin == nullptr)
        return 0;
    const PinData* pFirst = m_canvas.Graph().Pin(m_connectFrom);
    if (pFirst == nullptr || pFirst->bInput == pPin->bInput)
    {
        m_connectFrom = pin;
        AddEventLine(L"Connect Pins: now select the pin to connect \"" + pPin->name +
                     L"\" to, and choose Connect Pins again.");
        return 0;
    }
    PinRef from = pFirst->bInput ? pin : m_connectFrom;
    PinRef to = pFirst->bInput ? m_connectFrom : pin;
    m_connectFrom = PinRef();
    OnConnectPins(from, to);
    return 0;
}

LRESULT CMainFrame::OnConnectDirectly(WORD, WORD, HWND, BOOL&)
{
    m_bConnectDirectly = !m_bConnectDirectly;
    return 0;
}

LRESULT CMainFrame::OnDelete(WORD, WORD, HWND, BOOL&)
{
    if (!HasGraph())
        return 0;
    ConnectionData connection;
    const PinData* pPin = m_canvas.Graph().Pin(m_canvas.SelectedPin());
    if (m_canvas.SelectedConnection(&connection))
        m_worker.OnPin(CGraphWorker::eCmdDisconnect, connection.from);
    else if (pPin != nullptr)
    {
        if (pPin->peer.IsValid())
            m_worker.OnPin(CGraphWorker::eCmdDisconnect, m_canvas.SelectedPin());
    }
    else if (m_canvas.SelectedFilter() >= 0)
    {
        if (m_attachment == eOwn)
            m_worker.RemoveFilter(m_canvas.SelectedFilter());
        else
            ::MessageBoxW(m_hWnd, L"Filters are not removed from another program's graph.", L"Graph Editor",
                          MB_OK | MB_ICONINFORMATION);
    }
    return 0;
}

LRESULT CMainFrame::OnProperties(WORD, WORD, HWND, BOOL&)
{
    ConnectionData connection;
    if (m_canvas.SelectedPin().IsValid())
        OnOpenPin(m_canvas.SelectedPin());
    else if (m_canvas.SelectedConnection(&connection))
        OnOpenPin(connection.from);
    else if (m_canvas.SelectedFilter() >= 0)
        OnOpenFilter(m_canvas.SelectedFilter());
    return 0;
}

void CMainFrame::OnConnectPins(const PinRef& from, const PinRef& to)
{
    if (HasGraph())
        m_worker.Connect(from, to, m_bConnectDirectly);
}

void CMainFrame::OnCanvasMenu(POINT ptScreen)
{
    HMENU hMenu = ::CreatePopupMenu();
    if (hMenu == nullptr)
        return;
    const PinData* pPin = m_canvas.Graph().Pin(m_canvas.SelectedPin());
    ConnectionData connection;
    if (pPin != nullptr)
    {
        if (!pPin->bInput && !pPin->peer.IsValid())
            ::AppendMenuW(hMenu, MF_STRING, ID_GRAPH_RENDER, L"&Render Pin\tCtrl+E");
        if (!pPin->peer.IsValid())
            ::AppendMenuW(hMenu, MF_STRING, ID_GRAPH_CONNECT, L"&Connect Pins\tCtrl+K");
        else
            ::AppendMenuW(hMenu, MF_STRING, ID_GRAPH_DELETE, L"&Disconnect\tDel");
        ::AppendMenuW(hMenu, MF_STRING, ID_GRAPH_PROPERTIES, L"Pin Propert&ies\tAlt+Enter");
    }
    else if (m_canvas.SelectedConnection(&connection))
    {
        ::AppendMenuW(hMenu, MF_STRING, ID_GRAPH_DELETE, L"&Disconnect\tDel");
        ::AppendMenuW(hMenu, MF_STRING, ID_GRAPH_PROPERTIES, L"Connection Propert&ies\tAlt+Enter");
    }
    else if (m_canvas.SelectedFilter() >= 0)
    {
        ::AppendMenuW(hMenu, MF_STRING | (m_attachment == eOwn ? MF_ENABLED : MF_GRAYED), ID_GRAPH_DELETE,
                      L"&Delete Filter\tDel");
        ::AppendMenuW(hMenu, MF_STRING, ID_GRAPH_PROPERTIES, L"Filter Propert&ies\tAlt+Enter");
    }
    else
        ::AppendMenuW(hMenu, MF_STRING | (m_attachment == eAttached ? MF_GRAYED : MF_ENABLED), ID_GRAPH_INSERT,
                      L"&Insert Filters...\tCtrl+I");
    if (!HasGraph())
        for (int i = 0, c = ::GetMenuItemCount(hMenu); i < c; ++i)
            ::EnableMenuItem(hMenu, i, MF_BYPOSITION | MF_GRAYED);
    ::TrackPopupMenu(hMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, ptScreen.x, ptScreen.y, 0, m_hWnd,
                     nullptr);
    ::DestroyMenu(hMenu);
}

void CMainFrame::OnEditDone(const CGraphWorker::CommandDone& done)
{
    if (SUCCEEDED(done.hr))
    {
        if (m_attachment == eOwn && done.command != CGraphWorker::eCmdSeek)
        {
            m_bChanged = true;
            UpdateTexts();
        }
        return;
    }
    // The insert dialog shows its own failures.
    if (done.command == CGraphWorker::eCmdInsert || !HasGraph())
        return;
    LPCWSTR pszWhat = done.command == CGraphWorker::eCmdConnect      ? L"The pins cannot be connected."
                      : done.command == CGraphWorker::eCmdRender     ? L"The pin cannot be rendered."
                      : done.command == CGraphWorker::eCmdRemove     ? L"The filter cannot be removed."
                      : done.command == CGraphWorker::eCmdDisconnect ? L"The pins cannot be disconnected."
                                                                     : L"The graph cannot seek.";
    ShowError(pszWhat, done.hr);
}
