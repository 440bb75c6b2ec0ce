#include "GraphWorker.h"

#include "RunningGraphs.h"

#include <process.h>

namespace {

// How often the graph is checked: changes show within a second.
const UINT uPollMs = 500;
const UINT_PTR idPollTimer = 1;
// A thread that is still waiting on a graph's process after this long is
// left to the end of the process.
const DWORD dwEndWaitMs = 5000;

} // namespace

CGraphWorker::CGraphWorker()
    : m_graph(this), m_postBox(this), m_bBusy(false), m_hThread(nullptr), m_hStarted(nullptr),
      m_hWndPostBox(nullptr), m_hWndNotify(nullptr), m_uMsgNotify(0), m_nExitCode(0), m_bAnnounced(false)
{
    m_cs.Init();
}

CGraphWorker::~CGraphWorker()
{
    if (m_hThread != nullptr)
    {
        Quit(m_nExitCode, dwEndWaitMs);
        ::CloseHandle(m_hThread);
    }
    if (m_hStarted != nullptr)
        ::CloseHandle(m_hStarted);
    m_cs.Term();
}

HRESULT CGraphWorker::Start(HWND hWndNotify, UINT uMsg)
{
    ATLASSERT(m_hThread == nullptr);
    m_hWndNotify = hWndNotify;
    m_uMsgNotify = uMsg;
    m_hStarted = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_hStarted == nullptr)
        return HRESULT_FROM_WIN32(::GetLastError());
    m_hThread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, ThreadProc, this, 0, nullptr));
    if (m_hThread == nullptr)
        return E_OUTOFMEMORY;
    HANDLE rgh[] = {m_hStarted, m_hThread};
    if (::WaitForMultipleObjects(2, rgh, FALSE, INFINITE) != WAIT_OBJECT_0 || m_hWndPostBox == nullptr)
        return E_FAIL;
    return S_OK;
}

bool CGraphWorker::Quit(int nExitCode, DWORD dwWaitMs)
{
    if (m_hThread == nullptr)
        return true;
    m_nExitCode = nExitCode;
    ::PostThreadMessageW(::GetThreadId(m_hThread), WM_QUIT, 0, 0);
    // The worker may be calling into objects of this thread's apartment (a
    // graph published here) as it lets go: those calls are served meanwhile.
    DWORD dwIndex = 0;
    return ::CoWaitForMultipleHandles(0, dwWaitMs, 1, &m_hThread, &dwIndex) == S_OK;
}

void CGraphWorker::Attach(const std::wstring& displayName)
{
    Request request;
    request.command = eCmdAttach;
    request.displayName = displayName;
    Push(request);
}

void CGraphWorker::Post(ECommand command)
{
    Request request;
    request.command = command;
    Push(request);
}

void CGraphWorker::ShowFilterPages(int nFilter, HWND hWndOwner)
{
    Request request;
    request.command = eCmdFilterPages;
    request.nFilter = nFilter;
    request.hWndOwner = hWndOwner;
    Push(request);
}

void CGraphWorker::ShowPinPages(const PinRef& pin, HWND hWndOwner)
{
    Request request;
    request.command = eCmdPinPages;
    request.pin = pin;
    request.hWndOwner = hWndOwner;
    Push(request);
}

void CGraphWorker::Open(const std::wstring& file)
{
    Request request;
    request.command = file.empty() ? eCmdNew : eCmdOpen;
    request.displayName = file;
    Push(request);
}

void CGraphWorker::Save(const std::wstring& file)
{
    Request request;
    request.command = eCmdSave;
    request.displayName = file;
    Push(request);
}

void CGraphWorker::Connect(const PinRef& from, const PinRef& to, bool bDirect)
{
    Request request;
    request.command = eCmdConnect;
    request.pin = from;
    request.pinTo = to;
    request.bDirect = bDirect;
    Push(request);
}

void CGraphWorker::OnPin(ECommand command, const PinRef& pin)
{
    Request request;
    request.command = command;
    request.pin = pin;
    Push(request);
}

void CGraphWorker::RemoveFilter(int nFilter)
{
    Request request;
    request.command = eCmdRemove;
    request.nFilter = nFilter;
    Push(request);
}

void CGraphWorker::Seek(LONGLONG llPosition)
{
    Request request;
    request.command = eCmdSeek;
    request.llPosition = llPosition;
    Push(request);
}

HRESULT CGraphWorker::Insert(const FilterChoice& choice, std::wstring* pName)
{
    HANDLE hDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (hDone == nullptr)
        return HRESULT_FROM_WIN32(::GetLastError());
    HRESULT hr = E_PENDING;
    Request request;
    request.command = eCmdInsert;
    request.choice = choice;
    request.hDone = hDone;
    request.phr = &hr;
    request.pText = pName;
    Push(request);
    // The own graph is in this process, so the worker answers soon; messages
    // sent to this thread (a filter creating a window) are served meanwhile.
    for (;;)
    {
        DWORD dwWait = ::MsgWaitForMultipleObjects(1, &hDone, FALSE, INFINITE, QS_SENDMESSAGE);
        if (dwWait != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    ::CloseHandle(hDone);
    return hr;
}

CGraphWorker::News CGraphWorker::TakeNews()
{
    m_cs.Lock();
    News news = std::move(m_news);
    m_news = News();
    // Kept to tell what changed next time.
    m_news.state = news.state;
    m_news.llPosition = news.llPosition;
    m_news.llDuration = news.llDuration;
    m_news.bCanSeek = news.bCanSeek;
    m_bAnnounced = false;
    m_cs.Unlock();
    return news;
}

void CGraphWorker::Push(Request request)
{
    m_cs.Lock();
    m_requests.push_back(std::move(request));
    m_cs.Unlock();
    ::PostMessageW(m_hWndPostBox, WM_APP, 0, 0);
}

unsigned __stdcall CGraphWorker::ThreadProc(void* pv)
{
    return static_cast<CGraphWorker*>(pv)->Run();
}

unsigned CGraphWorker::Run()
{
    // OLE, not only COM: the property frames run on this thread.
    HRESULT hr = ::OleInitialize(nullptr);
    RECT rc = {};
    if (SUCCEEDED(hr))
        m_hWndPostBox = m_postBox.Create(HWND_MESSAGE, rc);
    ::SetEvent(m_hStarted);
    if (m_hWndPostBox == nullptr)
    {
        if (SUCCEEDED(hr))
            ::OleUninitialize();
        return 1;
    }
    m_postBox.SetTimer(idPollTimer, uPollMs);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }

    m_postBox.KillTimer(idPollTimer);
    m_graph.Detach();
    m_postBox.DestroyWindow();
    ::OleUninitialize();
    return static_cast<unsigned>(m_nExitCode);
}

LRESULT CGraphWorker::CPostBox::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam != idPollTimer)
    {
        bHandled = FALSE;
        return 0;
    }
    m_pWorker->Poll();
    return 0;
}

LRESULT CGraphWorker::CPostBox::OnRequest(UINT, WPARAM, LPARAM, BOOL&)
{
    m_pWorker->HandleRequests();
    return 0;
}

void CGraphWorker::Poll()
{
    if (m_bBusy)
        return;
    m_bBusy = true;
    m_graph.Poll();
    FollowOwnGraph();
    m_bBusy = false;
    HandleRequests(); // those that came in meanwhile
}

void CGraphWorker::HandleRequests()
{
    while (!m_bBusy)
    {
        m_cs.Lock();
        if (m_requests.empty())
        {
            m_cs.Unlock();
            return;
        }
        Request request = std::move(m_requests.front());
        m_requests.pop_front();
        m_cs.Unlock();
        // A property frame's loop goes on for as long as the user likes:
        // the graph is still followed and requests handled meanwhile; the
        // frame holds what it shows.
        m_bBusy = request.command != eCmdFilterPages && request.command != eCmdPinPages;
        Handle(request);
        m_bBusy = false;
    }
}

// The events and the position of the editor's own graph. Another program's
// graph is that program's to listen to and to seek, and polling it would add
// calls that wait on that program while it waits on the editor (a second
// "Show graph" then failed).
void CGraphWorker::FollowOwnGraph()
{
    if (!m_graph.IsOwn())
        return;
    std::vector<GraphEvent> events;
    DWORD dwChanged = 0;
    if (m_graph.TakeEvents(&events) == S_OK && !events.empty())
        dwChanged |= eNewsEvents;
    LONGLONG llPosition = 0, llDuration = 0;
    HRESULT hr = m_graph.GetPosition(&llPosition, &llDuration);
    m_cs.Lock();
    m_news.events.insert(m_news.events.end(), events.begin(), events.end());
    if (SUCCEEDED(hr) && (llPosition != m_news.llPosition || llDuration != m_news.llDuration ||
                          (hr == S_OK) != m_news.bCanSeek))
    {
        m_news.llPosition = llPosition;
        m_news.llDuration = llDuration;
        m_news.bCanSeek = hr == S_OK;
        dwChanged |= eNewsPosition;
    }
    m_cs.Unlock();
    if (dwChanged != 0)
        Announce(dwChanged);
}

void CGraphWorker::Handle(const Request& request)
{
    HRESULT hr = S_OK;
    CommandDone done;
    switch (request.command)
    {
    case eCmdNew:
        hr = m_graph.CreateNew();
        break;
    case eCmdOpen:
        done.text = request.displayName;
        hr = m_graph.Load(request.displayName.c_str(), &done.details);
        break;
    case eCmdSave:
        done.text = request.displayName;
        hr = m_graph.Save(request.displayName.c_str());
        break;
    case eCmdInsert:
        hr = m_graph.AddFilter(request.choice, &done.text);
        break;
    case eCmdConnect:
        hr = m_graph.Connect(request.pin, request.pinTo, request.bDirect);
        break;
    case eCmdRender:
        hr = m_graph.Render(request.pin);
        break;
    case eCmdRemove:
        hr = m_graph.RemoveFilter(request.nFilter);
        break;
    case eCmdDisconnect:
        hr = m_graph.Disconnect(request.pin);
        break;
    case eCmdSeek:
        hr = m_graph.Seek(request.llPosition);
        if (SUCCEEDED(hr))
            FollowOwnGraph();
        break;
    case eCmdAttach:
    {
        CComPtr<IUnknown> spGraph;
        hr = GetRunningGraph(request.displayName, &spGraph);
        if (SUCCEEDED(hr))
            hr = m_graph.Attach(spGraph);
        else
            m_graph.Detach();
        break;
    }
    case eCmdDetach:
        m_graph.Detach();
        break;
    case eCmdRefresh:
        hr = m_graph.Refresh();
        break;
    case eCmdRun:
        hr = m_graph.Run();
        break;
    case eCmdPause:
        hr = m_graph.Pause();
        break;
    case eCmdStop:
        hr = m_graph.Stop();
        break;
    case eCmdFilterPages:
        // The frame is modal to the editor's window, which belongs to the
        // window's thread.
        hr = m_graph.ShowFilterPages(request.nFilter, request.hWndOwner);
        break;
    case eCmdPinPages:
        hr = m_graph.ShowPinPages(request.pin, request.hWndOwner);
        break;
    case eCmdNone:
        return;
    }
    if (request.hDone != nullptr)
    {
        *request.phr = hr;
        if (request.pText != nullptr)
            *request.pText = done.text;
        ::SetEvent(request.hDone);
    }
    done.command = request.command;
    done.hr = hr;
    Report(std::move(done));
}

void CGraphWorker::Report(CommandDone done)
{
    m_cs.Lock();
    m_news.done.push_back(std::move(done));
    m_cs.Unlock();
    Announce(eNewsCommand);
}

void CGraphWorker::Announce(DWORD dwChanged)
{
    m_cs.Lock();
    m_news.dwChanged |= dwChanged;
    bool bPost = !m_bAnnounced;
    m_bAnnounced = true;
    m_cs.Unlock();
    if (bPost)
        ::PostMessageW(m_hWndNotify, m_uMsgNotify, 0, 0);
}

void CGraphWorker::OnGraphRead(const GraphData& graph)
{
    m_cs.Lock();
    m_news.graph = graph;
    m_cs.Unlock();
    Announce(eNewsGraph);
}

void CGraphWorker::OnStateChanged(FILTER_STATE state)
{
    m_cs.Lock();
    m_news.state = state;
    m_cs.Unlock();
    Announce(eNewsState);
}

void CGraphWorker::OnGraphLost(HRESULT hr)
{
    m_cs.Lock();
    m_news.hrLost = hr;
    m_news.graph = GraphData();
    m_cs.Unlock();
    Announce(eNewsLost | eNewsGraph);
}
