// Runs the graph holder on a thread of its own, a single-threaded apartment,
// so that the window never waits on the graph's process: a call there waits
// for as long as that process does not answer. The window posts requests;
// the worker follows the graph on a timer and posts a message to the window
// when there is news, which the window then takes.
#pragma once

#include "GraphHolder.h"

#include "atlwin.h"

#include <deque>
#include <string>

class CGraphWorker : private IGraphEvents
{
public:
    enum ECommand
    {
        eCmdNone,
        eCmdAttach,
        eCmdDetach,
        eCmdRefresh,
        eCmdRun,
        eCmdPause,
        eCmdStop,
        eCmdFilterPages,
        eCmdPinPages,
        eCmdNew,
        eCmdOpen,
        eCmdSave,
        eCmdInsert,
        eCmdConnect,
        eCmdRender,
        eCmdRemove,
        eCmdDisconnect,
        eCmdSeek,
    };

    // What changed since the window last took the news.
    enum
    {
        eNewsGraph = 0x1,    // graph
        eNewsState = 0x2,    // state
        eNewsLost = 0x4,     // hrLost: the graph's process went away
        eNewsCommand = 0x8,  // done: the results of commands, in order
        eNewsEvents = 0x10,  // events: the own graph's events
        eNewsPosition = 0x20 // llPosition, llDuration, bCanSeek
    };
    struct CommandDone
    {
        ECommand command = eCmdNone;
        HRESULT hr = S_OK;
        std::wstring text;                 // the file, or the name a filter was given
        std::vector<std::wstring> details; // what a load could not do
    };
    struct News
    {
        DWORD dwChanged = 0;
        GraphData graph;
        FILTER_STATE state = State_Stopped;
        HRESULT hrLost = S_OK;
        std::vector<CommandDone> done;
        std::vector<GraphEvent> events;
        LONGLONG llPosition = 0;
        LONGLONG llDuration = 0;
        bool bCanSeek = false;
    };

    CGraphWorker();
    ~CGraphWorker();
    CGraphWorker(const CGraphWorker&) = delete;
    CGraphWorker& operator=(const CGraphWorker&) = delete;

    // Starts the thread; news is announced by posting uMsg to hWndNotify.
    HRESULT Start(HWND hWndNotify, UINT uMsg);
    // Asks the thread to let go of the graph and end, with nExitCode as its
    // exit code; true when it has ended within dwWaitMs.
    bool Quit(int nExitCode, DWORD dwWaitMs);
    HANDLE Thread() const { return m_hThread; }

    // The moniker's display name in the Running Object Table.
    void Attach(const std::wstring& displayName);
    void Post(ECommand command);
    void ShowFilterPages(int nFilter, HWND hWndOwner);
    void ShowPinPages(const PinRef& pin, HWND hWndOwner);
    // The editor's own graph: a new one, from a file, into a file.
    void Open(const std::wstring& file);
    void Save(const std::wstring& file);
    void Connect(const PinRef& from, const PinRef& to, bool bDirect);
    // eCmdRender, eCmdDisconnect on a pin; eCmdRemove on a filter.
    void OnPin(ECommand command, const PinRef& pin);
    void RemoveFilter(int nFilter);
    void Seek(LONGLONG llPosition);
    // Inserts into the own graph and waits for the result (the insert
    // dialog shows it); the filter's name in the graph goes to pName.
    HRESULT Insert(const FilterChoice& choice, std::wstring* pName);

    News TakeNews();

private:
    struct Request
    {
        ECommand command = eCmdNone;
        std::wstring displayName;
        int nFilter = -1;
        PinRef pin;
        PinRef pinTo;
        bool bDirect = false;
        LONGLONG llPosition = 0;
        FilterChoice choice;
        HWND hWndOwner = nullptr;
        // A caller that waits: the result goes here and the event is set.
        HANDLE hDone = nullptr;
        HRESULT* phr = nullptr;
        std::wstring* pText = nullptr;
    };

    // The worker's own message-only window: requests and the timer come to
    // it, so that modal loops on the thread (property frames) dispatch them.
    class CPostBox : public CWindowImpl<CPostBox>
    {
    public:
        explicit CPostBox(CGraphWorker* pWorker) : m_pWorker(pWorker) {}
        DECLARE_WND_CLASS_EX(L"CorvastaGraphWorker", 0, COLOR_WINDOW)
        BEGIN_MSG_MAP(CPostBox)
            MESSAGE_HANDLER(WM_TIMER, OnTimer)
            MESSAGE_HANDLER(WM_APP, OnRequest)
        END_MSG_MAP()

    private:
        LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
        LRESULT OnRequest(UINT, WPARAM, LPARAM, BOOL&);
        CGraphWorker* m_pWorker;
    };

    static unsigned __stdcall ThreadProc(void* pv);
    unsigned Run();
    void Push(Request request);
    void Poll();
    void HandleRequests();
    void Handle(const Request& request);
    void Report(CommandDone done);
    void FollowOwnGraph();
    void Announce(DWORD dwChanged);

    void OnGraphRead(const GraphData& graph) override;
    void OnStateChanged(FILTER_STATE state) override;
    void OnGraphLost(HRESULT hr) override;

    // Owned by the thread.
    CGraphHolder m_graph;
    CPostBox m_postBox;
    // A poll or a request is under way: on Windows the wait for a call to
    // another process dispatches messages, and neither may start inside the
    // other then. Property frames are the exception.
    bool m_bBusy;

    HANDLE m_hThread;
    HANDLE m_hStarted;
    HWND m_hWndPostBox;
    HWND m_hWndNotify;
    UINT m_uMsgNotify;
    int m_nExitCode;

    CComCriticalSection m_cs; // guards what follows
    std::deque<Request> m_requests;
    News m_news;
    bool m_bAnnounced; // a notification is on its way
};
