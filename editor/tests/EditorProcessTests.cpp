// graphedt.exe driven from another process as the harness drives it: its
// main window, the connect command, the dialog's list of published graphs
// and its confirmation; then the attached graph followed live, the end of
// the graph's process, WM_QUIT, another process's filters' pages, and a
// saved graph run from the command line.
#include "tests/support/LoopbackClient.h" // first: it brings winsock2.h

#include <gtest/gtest.h>

#include "CorvastaGraph.h"
#include "EditorDriver.h"
#include "GraphHolderSupport.h"

#include "editor/EditorIds.h"
#include "editor/GraphHolder.h"
#include "editor/RunningGraphs.h"
#include "components/ComponentIds.h"
#include "graphedit/GraphEdit.h"
#include "tests/support/SavedGraphs.h"
#include "tests/support/WindowDriver.h"

#include <strsafe.h>

namespace {

std::wstring Hex8(DWORD dw)
{
    wchar_t sz[16];
    ::StringCchPrintfW(sz, ARRAYSIZE(sz), L"%08x", dw);
    return sz;
}

// The item the dialog lists for a graph, as the harness reads it.
std::wstring ItemFor(const std::wstring& program, DWORD dwProcessId, DWORD dwGraph)
{
    return program + L" pid " + Hex8(dwProcessId) + L" IFilterGraph = " + Hex8(dwGraph);
}

int IndexOf(const std::vector<std::wstring>& items, const std::wstring& item)
{
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == item)
            return static_cast<int>(i);
    return -1;
}

// This process's graph of the stand-ins, published as the harness
// publishes its own.
class EditorProcessTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, BuildCorvastaGraph(&m_spGraph));
        ASSERT_EQ(S_OK, AddGraphToRot(m_spGraph, &m_dwCookie));
        m_item = ItemFor(ThisProgramName(), ::GetCurrentProcessId(),
                         static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(m_spGraph.p)));
    }
    void TearDown() override
    {
        if (m_spGraph != nullptr)
        {
            CComQIPtr<IMediaControl> spControl(m_spGraph);
            if (spControl != nullptr)
                spControl->Stop();
        }
        RemoveGraphFromRot(m_dwCookie);
    }

    // Connects the editor to this process's graph through its dialog.
    void Attach(CEditorProcess& editor)
    {
        HWND hList = editor.OpenConnectDialog();
        ASSERT_NE(nullptr, hList);
        int nItem = IndexOf(CEditorProcess::Items(hList), m_item);
        ASSERT_GE(nItem, 0);
        ASSERT_TRUE(CEditorProcess::Choose(hList, nItem));
        ASSERT_TRUE(PumpUntil([&] { return editor.Counts() == L"4 filters, 4 connections"; }))
            << editor.Counts().c_str();
    }

    CComPtr<IGraphBuilder> m_spGraph;
    DWORD m_dwCookie = 0;
    std::wstring m_item;
};

} // namespace

TEST_F(EditorProcessTest, ConnectDialogListsThisGraphAndOKAttaches)
{
    CEditorProcess editor;
    ASSERT_EQ(S_OK, editor.Start());
    HWND hWndMain = editor.MainWindow();
    LONG lStyle = ::GetWindowLongW(hWndMain, GWL_STYLE);
    EXPECT_EQ(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, lStyle & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME));
    EXPECT_TRUE(lStyle & WS_VISIBLE);
    EXPECT_NE(nullptr, ::GetMenu(hWndMain));
    EXPECT_EQ(L"Graph Editor", editor.Title());
    EXPECT_EQ(L"Not connected", editor.State());

    HWND hList = editor.OpenConnectDialog();
    ASSERT_NE(nullptr, hList);
    HWND hDlg = ::GetParent(hList);
    EXPECT_EQ(hWndMain, ::GetParent(hDlg)); // owned by the main window
    EXPECT_EQ(L"Connect to Graph", ReadText(hDlg));
    std::vector<std::wstring> items = CEditorProcess::Items(hList);
    int nItem = IndexOf(items, m_item);
    ASSERT_GE(nItem, 0) << m_item.c_str() << " among " << items.size() << " items";

    // The harness reads the item so: after "pid ", a hexadecimal number
    // that is its process id and a space; the text ends with the graph's
    // number after "IFilterGraph = ".
    const std::wstring& item = items[nItem];
    const wchar_t* pszPid = wcsstr(item.c_str(), L"pid ");
    ASSERT_NE(nullptr, pszPid);
    wchar_t* pszEnd = nullptr;
    EXPECT_EQ(static_cast<long>(::GetCurrentProcessId()), wcstol(pszPid + 4, &pszEnd, 16));
    EXPECT_EQ(L' ', *pszEnd);
    const wchar_t* pszGraph = wcsstr(pszEnd, L"IFilterGraph = ");
    ASSERT_NE(nullptr, pszGraph);
    EXPECT_EQ(static_cast<unsigned long>(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(m_spGraph.p))),
              wcstoul(pszGraph + 15, &pszEnd, 16));
    EXPECT_EQ(L'\0', *pszEnd);

    ASSERT_TRUE(CEditorProcess::Choose(hList, nItem));
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hDlg); }));
    EXPECT_TRUE(PumpUntil([&] { return editor.Counts() == L"4 filters, 4 connections"; })) << editor.Counts().c_str();
    EXPECT_TRUE(PumpUntil([&] { return editor.State() == L"Stopped"; })) << editor.State().c_str();
    EXPECT_EQ(ThisProgramName() + L" (pid " + Hex8(::GetCurrentProcessId()) + L") - Graph Editor", editor.Title());
    EXPECT_EQ(0u, editor.Quit());
}

TEST_F(EditorProcessTest, StateAndChangesOfTheGraphShow)
{
    CEditorProcess editor;
    ASSERT_EQ(S_OK, editor.Start());
    ASSERT_NO_FATAL_FAILURE(Attach(editor));

    CComQIPtr<IMediaControl> spControl(m_spGraph);
    ASSERT_NE(nullptr, spControl);
    CComPtr<IBaseFilter> spQS = FindFilter(m_spGraph, szQSEncoder), spCorvasta = FindFilter(m_spGraph, szCorvasta);
    CComPtr<IPin> spOut, spIn;
    ASSERT_EQ(S_OK, spQS->FindPin(L"Output", &spOut));
    ASSERT_EQ(S_OK, spCorvasta->FindPin(L"Video", &spIn));
    CComPtr<IBaseFilter> spExtra;
    ASSERT_EQ(S_OK, spExtra.CoCreateInstance(CLSID_VP8Encoder, nullptr, CLSCTX_INPROC_SERVER));

    struct Step
    {
        const char* pszWhat;
        std::function<HRESULT()> change;
        const wchar_t* pszState;
        const wchar_t* pszCounts;
    };
    const Step rgSteps[] = {
        {"run", [&] { return spControl->Run(); }, L"Running", L"4 filters, 4 connections"},
        {"pause", [&] { return spControl->Pause(); }, L"Paused", L"4 filters, 4 connections"},
        {"stop", [&] { return spControl->Stop(); }, L"Stopped", L"4 filters, 4 connections"},
        {"disconnect", [&] { return FAILED(m_spGraph->Disconnect(spOut)) ? E_FAIL : m_spGraph->Disconnect(spIn); },
         L"Stopped", L"4 filters, 3 connections"},
        {"add a filter", [&] { return m_spGraph->AddFilter(spExtra, L"Extra"); }, L"Stopped",
         L"5 filters, 3 connections"},
        {"remove it", [&] { return m_spGraph->RemoveFilter(spExtra); }, L"Stopped", L"4 filters, 3 connections"},
        {"connect again", [&] { return m_spGraph->ConnectDirect(spOut, spIn, nullptr); }, L"Stopped",
         L"4 filters, 4 connections"},
    };
    for (const Step& step : rgSteps)
    {
        SCOPED_TRACE(step.pszWhat);
        HRESULT hr = step.change();
        ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
        EXPECT_TRUE(PumpUntil([&] { return editor.State() == step.pszState && editor.Counts() == step.pszCounts; }))
            << editor.State().c_str() << "; " << editor.Counts().c_str();
    }
    EXPECT_EQ(0u, editor.Quit());
}

TEST_F(EditorProcessTest, PlayPauseAndStopActOnTheGraph)
{
    CEditorProcess editor;
    ASSERT_EQ(S_OK, editor.Start());
    ASSERT_NO_FATAL_FAILURE(Attach(editor));
    CComQIPtr<IMediaControl> spControl(m_spGraph);

    struct Case
    {
        WORD wCommand;
        OAFilterState state;
        const wchar_t* pszState;
    };
    const Case rgCases[] = {
        {ID_GRAPH_PLAY, State_Running, L"Running"},
        {ID_GRAPH_PAUSE, State_Paused, L"Paused"},
        {ID_GRAPH_STOP, State_Stopped, L"Stopped"},
    };
    for (const Case& c : rgCases)
    {
        SCOPED_TRACE(c.pszState);
        ::PostMessageW(editor.MainWindow(), WM_COMMAND, c.wCommand, 0);
        EXPECT_TRUE(PumpUntil([&] {
            OAFilterState state = -1;
            return SUCCEEDED(spControl->GetState(0, &state)) && state == c.state && editor.State() == c.pszState;
        })) << editor.State().c_str();
    }
    EXPECT_EQ(0u, editor.Quit());
}

// The harness ends the editor so: WM_QUIT to its main thread, then a wait of
// at most a second on that thread, during which it answers no call. The
// editor's thread ends all the same, and the editor lets go of every
// reference to the graph.
TEST_F(EditorProcessTest, QuitWhileTheOwnerWaitsReleasesTheGraph)
{
    CComPtr<IBaseFilter> spGenerator = FindFilter(m_spGraph, szGenerator);
    CComPtr<IPin> spVideo;
    ASSERT_EQ(S_OK, spGenerator->FindPin(L"Video", &spVideo));
    ULONG cGraphRefs = RefCount(m_spGraph), cFilterRefs = RefCount(spGenerator), cPinRefs = RefCount(spVideo);

    CEditorProcess editor;
    ASSERT_EQ(S_OK, editor.Start());
    ASSERT_NO_FATAL_FAILURE(Attach(editor));
    EXPECT_GT(RefCount(m_spGraph), cGraphRefs);

    ::PostThreadMessageW(::GetThreadId(editor.Thread()), WM_QUIT, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(editor.Thread(), 1000));
    EXPECT_EQ(0u, editor.WaitForExit());

    // The graph's own count may end lower: without keep-alive, the table's
    // entry lets go of the graph with the last process that held it.
    EXPECT_TRUE(PumpUntil([&] { return RefCount(spGenerator) == cFilterRefs; })) << RefCount(spGenerator);
    EXPECT_EQ(cPinRefs, RefCount(spVideo));
    EXPECT_LE(RefCount(m_spGraph), cGraphRefs);
}

TEST_F(EditorProcessTest, QuitEndsTheEditorWithCodeZeroInAnyWindow)
{
    struct Case
    {
        const char* pszWhat;
        std::function<void(CEditorProcess&)> prepare;
    };
    const Case rgCases[] = {
        {"never attached", [](CEditorProcess&) {}},
        {"the connect dialog open", [](CEditorProcess& editor) { ASSERT_NE(nullptr, editor.OpenConnectDialog()); }},
        {"attached", [this](CEditorProcess& editor) { Attach(editor); }},
    };
    for (const Case& c : rgCases)
    {
        SCOPED_TRACE(c.pszWhat);
        CEditorProcess editor;
        ASSERT_EQ(S_OK, editor.Start());
        ASSERT_NO_FATAL_FAILURE(c.prepare(editor));
        EXPECT_EQ(0u, editor.Quit());
    }
}

namespace {

// EditorGraphPublisher.exe: this test's graph in a process of its own. A
// test that failed half-way leaves none behind.
class CPublisherProcess
{
public:
    ~CPublisherProcess()
    {
        if (m_pi.hProcess == nullptr)
            return;
        if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_pi.hProcess, 99);
        ::CloseHandle(m_pi.hThread);
        ::CloseHandle(m_pi.hProcess);
    }
    // Starts it and waits until its graph is published.
    bool Start()
    {
        std::wstring path = BesideThisProgram(L"EditorGraphPublisher.exe");
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        if (!::CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
            return false;
        return PumpUntil([this] {
            std::vector<RunningGraph> graphs;
            ListRunningGraphs(&graphs);
            for (const RunningGraph& graph : graphs)
                if (graph.dwProcessId == m_pi.dwProcessId)
                    return true;
            return false;
        });
    }

    PROCESS_INFORMATION m_pi = {};
};

} // namespace

// The graph's process ends cleanly or is killed while the editor shows it.
TEST(EditorLostGraphTest, EndOfTheGraphsProcessIsReportedAndTheEditorStaysUsable)
{
    for (bool bKill : {false, true})
    {
        SCOPED_TRACE(bKill ? "killed" : "ends with WM_QUIT");
        CPublisherProcess publisher;
        ASSERT_TRUE(publisher.Start());
        const PROCESS_INFORMATION& pi = publisher.m_pi;
        std::wstring prefix = L"EditorGraphPublisher.exe pid " + Hex8(pi.dwProcessId) + L" ";
        auto namesPublisher = [&](const std::wstring& item) {
            return item.find(L"pid " + Hex8(pi.dwProcessId) + L" ") != std::wstring::npos;
        };

        CEditorProcess editor;
        ASSERT_EQ(S_OK, editor.Start());
        HWND hList = editor.OpenConnectDialog();
        ASSERT_NE(nullptr, hList);
        std::vector<std::wstring> items = CEditorProcess::Items(hList);
        int nItem = -1;
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].compare(0, prefix.size(), prefix) == 0)
                nItem = static_cast<int>(i);
        ASSERT_GE(nItem, 0);
        ASSERT_TRUE(CEditorProcess::Choose(hList, nItem));
        ASSERT_TRUE(PumpUntil([&] { return editor.Counts() == L"4 filters, 4 connections"; }));

        if (bKill)
            ::TerminateProcess(pi.hProcess, 1);
        else
            ::PostThreadMessageW(pi.dwThreadId, WM_QUIT, 0, 0);
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(pi.hProcess, 10000));
        DWORD dwExitCode = 0;
        ::GetExitCodeProcess(pi.hProcess, &dwExitCode);
        EXPECT_EQ(bKill ? 1u : 0u, dwExitCode);

        EXPECT_TRUE(PumpUntil([&] { return editor.State() == L"Graph process ended"; })) << editor.State().c_str();
        EXPECT_EQ(L"0 filters, 0 connections", editor.Counts());
        HWND hBox = editor.FindOwned([](HWND hWnd) { return ::GetDlgItem(hWnd, 0xFFFF) != nullptr; });
        ASSERT_NE(nullptr, hBox);
        std::wstring text = ReadText(::GetDlgItem(hBox, 0xFFFF));
        EXPECT_NE(std::wstring::npos, text.find(L"(EditorGraphPublisher.exe, pid " + Hex8(pi.dwProcessId) + L")"))
            << text.c_str();

        // It answers at once while it shows the message, and afterwards
        // lists the graphs again, without the ended one.
        DWORD_PTR dwResult = 0;
        EXPECT_TRUE(::SendMessageTimeoutW(editor.MainWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &dwResult));
        ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hBox); }));
        hList = editor.OpenConnectDialog();
        ASSERT_NE(nullptr, hList);
        for (const std::wstring& item : CEditorProcess::Items(hList))
            EXPECT_FALSE(namesPublisher(item)) << item.c_str();
        HWND hDlg = ::GetParent(hList);
        ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hDlg); }));
        EXPECT_EQ(L"Graph process ended", editor.State());
        EXPECT_EQ(0u, editor.Quit());
    }
}

namespace {

class CNoEvents : public IGraphEvents
{
public:
    void OnGraphRead(const GraphData&) override {}
    void OnStateChanged(FILTER_STATE) override {}
    void OnGraphLost(HRESULT) override {}
};

BOOL CALLBACK CollectText(HWND hWnd, LPARAM lParam)
{
    std::wstring text = GetText(hWnd);
    if (!text.empty())
        reinterpret_cast<std::vector<std::wstring>*>(lParam)->push_back(GetClass(hWnd) + L": " + text);
    return TRUE;
}

// The texts of the filter's property frame, opened by a holder of pGraph:
// each child window's class and text.
std::vector<std::wstring> PageTexts(IUnknown* pGraph, const wchar_t* pszFilter)
{
    CNoEvents events;
    CGraphHolder holder(&events);
    std::vector<std::wstring> texts;
    if (FAILED(holder.Attach(pGraph)))
        return texts;
    int nFilter = -1;
    for (int f = 0; f < static_cast<int>(holder.Graph().filters.size()); ++f)
        if (holder.Graph().filters[f].name == pszFilter)
            nFilter = f;
    CDriver driver([&] {
        HWND hFrame = WaitForWindow([&](HWND hWnd) {
            return GetClass(hWnd) == L"#32770" && GetText(hWnd).find(pszFilter) != std::wstring::npos;
        });
        if (hFrame == nullptr)
            return;
        ::EnumChildWindows(hFrame, CollectText, reinterpret_cast<LPARAM>(&texts));
        ::PostMessageW(hFrame, WM_COMMAND, IDCANCEL, 0);
    });
    holder.ShowFilterPages(nFilter, nullptr);
    driver.Join();
    holder.Detach();
    return texts;
}

} // namespace

// The stand-ins' pages read their filter through its private interfaces,
// which cross processes through the proxy DLL: a page of another process's
// filter shows what the page of the same filter here shows.
TEST(EditorRemotePagesTest, FilterPagesShowTheSameInAnotherProcess)
{
    CPublisherProcess publisher;
    ASSERT_TRUE(publisher.Start());
    std::vector<RunningGraph> graphs;
    ListRunningGraphs(&graphs);
    CComPtr<IUnknown> spRemote;
    for (const RunningGraph& graph : graphs)
        if (graph.dwProcessId == publisher.m_pi.dwProcessId)
            GetRunningGraph(graph.displayName, &spRemote);
    ASSERT_NE(nullptr, spRemote);
    CComPtr<IGraphBuilder> spLocal;
    ASSERT_EQ(S_OK, BuildCorvastaGraph(&spLocal));
    for (const wchar_t* pszFilter : {szQSEncoder, szOpusEncoder, szCorvasta})
    {
        std::vector<std::wstring> local = PageTexts(spLocal, pszFilter);
        std::vector<std::wstring> remote = PageTexts(spRemote, pszFilter);
        ASSERT_GT(local.size(), 4u) << "no page in the frame"; // besides the frame's four buttons
        EXPECT_EQ(local, remote);
    }
    spRemote.Release();
    ::PostThreadMessageW(publisher.m_pi.dwThreadId, WM_QUIT, 0, 0);
}

// "graphedt.exe /run FILE.grf": the saved graph of the stand-ins runs inside
// the editor, whose Corvasta filter then serves on its default address.
TEST(EditorRunTest, RunOnTheCommandLineOpensRunsAndServes)
{
    CTempFile file(L"editor-run.grf");
    ASSERT_EQ(S_OK, SaveCorvastaGraph(file.Path()));
    CWinsock winsock;
    CEditorProcess editor;
    ASSERT_EQ(S_OK, editor.Start(L"/run \"" + file.Path() + L"\""));
    EXPECT_TRUE(PumpUntil([&] { return editor.Counts() == L"4 filters, 4 connections"; })) << editor.Counts().c_str();
    EXPECT_TRUE(PumpUntil([&] { return editor.State() == L"Running"; })) << editor.State().c_str();
    std::wstring name = file.Path().substr(file.Path().find_last_of(L"\\/") + 1);
    EXPECT_EQ(name + L" - Graph Editor", editor.Title());
    // Its status page on loopback says so.
    std::string page;
    EXPECT_TRUE(PumpUntil([&] {
        page = HttpGet(50128, "/");
        return page.find("<th>State</th><td>Running<") != std::string::npos;
    })) << page;
    EXPECT_EQ(0u, editor.Quit());
}
