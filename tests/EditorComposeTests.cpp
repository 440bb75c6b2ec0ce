// The graph editor's own graph, driven through its window's commands as a
// user would: filters inserted from the Insert Filters dialog, pins
// connected by dragging (directly and intelligently), rendered, deleted, the
// graph saved, opened and refused; a graph composed in the editor built,
// played and served by the harness's saved-graph mode; and what the editor
// offers on a published graph that is not its own.
#include "tests/support/LoopbackClient.h" // first: it brings winsock2.h

#include <gtest/gtest.h>

#include "editor/InsertFilterIds.h"
#include "editor/MainFrame.h"
#include "editor/tests/CorvastaGraph.h"
#include "editor/tests/EditorDriver.h"
#include "graphedit/GraphEdit.h"
#include "components/ComponentIds.h"
#include "graph/Graph.h"
#include "standins/kit/FaultSwitch.h"
#include "tests/support/SavedGraphs.h"
#include "tests/support/WindowDriver.h"

#include <commctrl.h>
#include <dlgs.h>

#include <strsafe.h>

#include <set>

namespace {

const wchar_t szEditor[] = L"Graph Editor";

POINT Centre(const RECT& rc)
{
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

// "Ormidex QS Encoder.Output -> Corvasta.Video", each connection once.
std::set<std::wstring> ConnectionNames(const GraphData& graph)
{
    std::set<std::wstring> names;
    for (const ConnectionData& c : graph.Connections())
        names.insert(graph.filters[c.from.nFilter].name + L"." + graph.Pin(c.from)->name + L" -> " +
                     graph.filters[c.to.nFilter].name + L"." + graph.Pin(c.to)->name);
    return names;
}

// The graph's number as the connect dialog lists it.
std::wstring GraphNumberText(IUnknown* pGraph)
{
    wchar_t sz[16];
    ::StringCchPrintfW(sz, ARRAYSIZE(sz), L"%08x", static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(pGraph)));
    return sz;
}

std::set<std::wstring> FilterNames(const GraphData& graph)
{
    std::set<std::wstring> names;
    for (const FilterData& filter : graph.filters)
        names.insert(filter.name);
    return names;
}

// The editor's main window on this thread, with its worker; a driver thread
// answers the dialogs and message boxes that its commands open.
class EditorComposeTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(S_OK, m_frame.CreateFrame(SW_SHOWNORMAL)); }
    void TearDown() override
    {
        if (m_frame.IsWindow())
            m_frame.DestroyWindow();
        // The window's end posts WM_QUIT, which would end the next modal loop.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        {
        }
    }

    HWND Canvas() const { return m_frame.Canvas().m_hWnd; }
    std::wstring Counts() const { return GetText(Canvas()); }
    bool WaitCounts(const wchar_t* pszCounts) { return PumpUntil([&] { return Counts() == pszCounts; }); }
    std::wstring Title() const { return GetText(m_frame); }

    // Runs the command while fDrive answers what it opens on a driver thread.
    void Command(UINT uId, const std::function<void()>& fDrive = nullptr)
    {
        bool bDone = fDrive == nullptr;
        CDriver driver([&] {
            if (fDrive)
                fDrive();
            bDone = true;
        });
        m_frame.PostMessage(WM_COMMAND, uId);
        EXPECT_TRUE(PumpUntil([&] { return bDone; }, 20000)) << "command " << uId;
        PumpUntil([] { return false; }, 50); // what the command posted
        driver.Join();
    }
    // Waits for the editor's message box, reads and closes it.
    static std::wstring AnswerBox()
    {
        MessageBoxInfo info;
        if (!WaitForMessageBox(szEditor, &info))
            ADD_FAILURE() << "no message box";
        return info.text;
    }

    void Insert(std::initializer_list<const wchar_t*> names)
    {
        Command(ID_GRAPH_INSERT, [&] {
            HWND hDlg = WaitForDialog(L"Insert Filters");
            ASSERT_NE(nullptr, hDlg);
            for (const wchar_t* pszName : names)
            {
                // The search selects its first match; Insert adds it.
                ::SendDlgItemMessageW(hDlg, IDC_INSERT_SEARCH, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszName));
                ::SendMessageW(hDlg, WM_COMMAND, IDOK, 0);
                EXPECT_EQ(std::wstring(L"Inserted ") + pszName + L".", GetItemText(hDlg, IDC_INSERT_NOTE));
            }
            ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
            EXPECT_TRUE(WaitForWindowGone(hDlg));
        });
    }

    // Where a pin's tab is in the canvas's client area.
    LPARAM PinAt(const wchar_t* pszFilter, const wchar_t* pszPin) const
    {
        const CGraphCanvas& canvas = m_frame.Canvas();
        const GraphData& graph = canvas.Graph();
        for (size_t f = 0; f < graph.filters.size(); ++f)
            for (size_t p = 0; p < graph.filters[f].pins.size(); ++p)
                if (graph.filters[f].name == pszFilter && graph.filters[f].pins[p].name == pszPin)
                {
                    POINT pt = Centre(canvas.Layout().filters[f].pins[p].rcTab), ptOrigin = canvas.Origin();
                    return MAKELPARAM(pt.x + ptOrigin.x, pt.y + ptOrigin.y);
                }
        ADD_FAILURE() << "no pin " << testing::PrintToString(std::wstring(pszFilter) + L"." + pszPin);
        return MAKELPARAM(-100, -100);
    }
    void Drag(LPARAM lFrom, LPARAM lTo)
    {
        ::SendMessageW(Canvas(), WM_LBUTTONDOWN, MK_LBUTTON, lFrom);
        ::SendMessageW(Canvas(), WM_MOUSEMOVE, MK_LBUTTON, lTo);
        ::SendMessageW(Canvas(), WM_LBUTTONUP, 0, lTo);
    }
    void Click(LPARAM lAt)
    {
        ::SendMessageW(Canvas(), WM_LBUTTONDOWN, MK_LBUTTON, lAt);
        ::SendMessageW(Canvas(), WM_LBUTTONUP, 0, lAt);
    }
    LPARAM TitleOf(const wchar_t* pszFilter) const
    {
        const CGraphCanvas& canvas = m_frame.Canvas();
        for (size_t f = 0; f < canvas.Graph().filters.size(); ++f)
            if (canvas.Graph().filters[f].name == pszFilter)
            {
                POINT pt = Centre(canvas.Layout().filters[f].rcTitle), ptOrigin = canvas.Origin();
                return MAKELPARAM(pt.x + ptOrigin.x, pt.y + ptOrigin.y);
            }
        return MAKELPARAM(-100, -100);
    }

    // Save As, answered with the file's name.
    void SaveAs(const std::wstring& file)
    {
        Command(ID_FILE_SAVEAS, [&] {
            HWND hFileDlg = WaitForDialog(L"Save Graph As");
            ASSERT_NE(nullptr, hFileDlg);
            HWND hName = ::GetDlgItem(hFileDlg, edt1);
            if (hName == nullptr)
                hName = FindChildOfClass(::GetDlgItem(hFileDlg, cmb13), L"Edit");
            ASSERT_NE(nullptr, hName);
            ::SendMessageW(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
            ::PostMessageW(hFileDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            EXPECT_TRUE(WaitForWindowGone(hFileDlg));
        });
    }

    CMainFrame m_frame;
};

} // namespace

TEST_F(EditorComposeTest, ComposedAndSavedInTheEditorTheHarnessBuildsPlaysAndServesIt)
{
    CTempFile file(L"composed.grf");
    EXPECT_EQ(L"Not connected", GetText(::GetDlgItem(m_frame, IDC_STATUS)));
    Insert({szGenerator, szQSEncoder, szOpusEncoder, szCorvasta});
    ASSERT_TRUE(WaitCounts(L"4 filters, 0 connections")) << Counts();
    EXPECT_EQ(L"Untitled* - Graph Editor", Title());

    // Video directly, audio intelligently.
    Command(ID_GRAPH_DIRECT);
    Drag(PinAt(szGenerator, L"Video"), PinAt(szQSEncoder, L"Input"));
    Drag(PinAt(szCorvasta, L"Video"), PinAt(szQSEncoder, L"Output")); // from the input end
    ASSERT_TRUE(WaitCounts(L"4 filters, 2 connections")) << Counts();
    Command(ID_GRAPH_DIRECT);
    Drag(PinAt(szGenerator, L"Audio"), PinAt(szOpusEncoder, L"Input"));
    Drag(PinAt(szOpusEncoder, L"Output"), PinAt(szCorvasta, L"Audio"));
    ASSERT_TRUE(WaitCounts(L"4 filters, 4 connections")) << Counts();

    SaveAs(file.Path());
    std::wstring name = file.Path().substr(file.Path().find_last_of(L"\\/") + 1);
    EXPECT_TRUE(PumpUntil([&] { return Title() == name + L" - Graph Editor"; })) << Title();
    // The file heads the recent files, and opens from there.
    HMENU hFileMenu = ::GetSubMenu(::GetMenu(m_frame), 0);
    m_frame.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hFileMenu), 0);
    wchar_t szRecent[MAX_PATH + 8] = L"";
    ::GetMenuStringW(hFileMenu, ID_FILE_RECENT_FIRST, szRecent, ARRAYSIZE(szRecent), MF_BYCOMMAND);
    EXPECT_EQ(L"&1 " + file.Path(), szRecent);
    Command(ID_FILE_NEW);
    ASSERT_TRUE(WaitCounts(L"0 filters, 0 connections")) << Counts();
    Command(ID_FILE_RECENT_FIRST);
    ASSERT_TRUE(WaitCounts(L"4 filters, 4 connections")) << Counts();
    m_frame.DestroyWindow();

    // The harness's saved-graph mode takes the file as it takes its own.
    CWinsock winsock;
    USHORT nPort = FindFreePort();
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(nPort) + L"/";
    HWND hWnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    {
        CGraph graph;
        ASSERT_EQ(S_OK, graph.BuildGraph(file.c_str(), hWnd, WM_APP + 123, nullptr, nullptr, url.c_str()));
        ASSERT_EQ(S_OK, graph.Run());
        CLoopbackClient client;
        ASSERT_EQ(0, client.Connect(nPort));
        ASSERT_TRUE(client.Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
        EXPECT_TRUE(client.ReadUntil("200 OK"));
        std::string page;
        EXPECT_TRUE(PumpUntil([&] {
            page = HttpGet(nPort, "/");
            return page.find("<th>State</th><td>Running<") != std::string::npos;
        })) << page;
        graph.ReleaseGraph();
    }
    ::DestroyWindow(hWnd);
}

TEST_F(EditorComposeTest, OpensTheHarnessesSavedGraphAndReportsWhatItLacks)
{
    CTempFile saved(L"harness.grf");
    ASSERT_EQ(S_OK, SaveCorvastaGraph(saved.Path()));

    // From the command line, as "graphedt.exe FILE.grf" is started.
    m_frame.StartWith((L"\"" + saved.Path() + L"\"").c_str());
    ASSERT_TRUE(WaitCounts(L"4 filters, 4 connections")) << Counts();
    GraphData graph = m_frame.Canvas().Graph();
    EXPECT_EQ((std::set<std::wstring>{szGenerator, szQSEncoder, szOpusEncoder, szCorvasta}), FilterNames(graph));
    EXPECT_EQ((std::set<std::wstring>{L"Ormidex Video Generator.Video -> Ormidex QS Encoder.Input",
                                      L"Ormidex QS Encoder.Output -> Corvasta.Video",
                                      L"Ormidex Video Generator.Audio -> Ormidex Opus Encoder.Input",
                                      L"Ormidex Opus Encoder.Output -> Corvasta.Audio"}),
              ConnectionNames(graph));
    EXPECT_EQ(L"Stopped", GetText(::GetDlgItem(m_frame, IDC_STATUS)));

    // A real file whose camera filter this machine lacks: it is named, and
    // the rest of the graph is there.
    std::wstring missing = FixtureFolder() + L"flipcam-rgb24-csc-vmr.grf";
    std::wstring text;
    bool bAnswered = false;
    CDriver driver([&] {
        text = AnswerBox();
        bAnswered = true;
    });
    m_frame.StartWith((L"\"" + missing + L"\"").c_str());
    EXPECT_TRUE(PumpUntil([&] { return bAnswered; }, 20000));
    driver.Join();
    EXPECT_NE(std::wstring::npos, text.find(L"Filter \"FlipCam\" {F89EB97B-2A47-49B5-A1B1-5E530517CDF6}")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"could not be loaded")) << text;
    EXPECT_TRUE(PumpUntil([&] { return FilterNames(m_frame.Canvas().Graph()).count(L"Video Renderer") == 1; }))
        << Counts();
    EXPECT_EQ(0u, FilterNames(m_frame.Canvas().Graph()).count(L"FlipCam"));
}

TEST_F(EditorComposeTest, RenderDeleteAndTheFailuresOfEditingAndSaving)
{
    CTempFile saved(L"edit.grf");
    ASSERT_EQ(S_OK, SaveCorvastaGraph(saved.Path()));
    m_frame.StartWith((L"\"" + saved.Path() + L"\"").c_str());
    ASSERT_TRUE(WaitCounts(L"4 filters, 4 connections")) << Counts();

    // Delete: a connection (selected by its pin), then a filter.
    Click(PinAt(szOpusEncoder, L"Output"));
    Command(ID_GRAPH_DELETE);
    ASSERT_TRUE(WaitCounts(L"4 filters, 3 connections")) << Counts();
    Click(TitleOf(szOpusEncoder));
    Command(ID_GRAPH_DELETE);
    ASSERT_TRUE(WaitCounts(L"3 filters, 2 connections")) << Counts();
    EXPECT_EQ(L"edit.grf* - Graph Editor", Title().substr(Title().find(L"edit.grf")));

    // Incompatible pins: the audio pin into the video encoder, directly.
    Click(PinAt(szQSEncoder, L"Input"));
    Command(ID_GRAPH_DELETE);
    ASSERT_TRUE(WaitCounts(L"3 filters, 1 connection")) << Counts();
    Command(ID_GRAPH_DIRECT);
    std::wstring text;
    bool bAnswered = false;
    CDriver driver([&] {
        text = AnswerBox();
        bAnswered = true;
    });
    Drag(PinAt(szGenerator, L"Audio"), PinAt(szQSEncoder, L"Input"));
    EXPECT_TRUE(PumpUntil([&] { return bAnswered; }, 20000));
    driver.Join();
    EXPECT_EQ(0u, text.find(L"The pins cannot be connected.")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"(0x8004")) << text;
    EXPECT_EQ(L"3 filters, 1 connection", Counts());

    // Render: the graph manager tries the filters in the graph first, and
    // Corvasta's audio input is free since the Opus encoder went.
    Click(PinAt(szGenerator, L"Audio"));
    Command(ID_GRAPH_RENDER);
    ASSERT_TRUE(WaitCounts(L"3 filters, 2 connections")) << Counts();
    EXPECT_EQ(1u, ConnectionNames(m_frame.Canvas().Graph()).count(L"Ormidex Video Generator.Audio -> Corvasta.Audio"));

    // Saving over a file that cannot be written: the user is told, the
    // graph stays changed.
    ASSERT_TRUE(::SetFileAttributesW(saved.c_str(), FILE_ATTRIBUTE_READONLY));
    Command(ID_FILE_SAVE, [&] { text = AnswerBox(); });
    ::SetFileAttributesW(saved.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(0u, text.find(L"The graph cannot be saved to " + saved.Path())) << text;
    EXPECT_NE(std::wstring::npos, Title().find(L"edit.grf*")) << Title();
}

// A clip of one second from the generator: the position line and the seek
// bar show and move it, and the end of the clip shows as EC_COMPLETE.
TEST_F(EditorComposeTest, PositionSeekBarAndEventsOfAFiniteClip)
{
    CFaultSwitch clip(szGenerator, L"ClipLength", 1000);
    CTempFile saved(L"clip.grf");
    ASSERT_EQ(S_OK, SaveCorvastaGraph(saved.Path()));
    m_frame.StartWith((L"\"" + saved.Path() + L"\"").c_str());
    ASSERT_TRUE(WaitCounts(L"4 filters, 4 connections")) << Counts();

    HWND hPosition = ::GetDlgItem(m_frame, IDC_POSITION), hSeek = ::GetDlgItem(m_frame, IDC_SEEKBAR);
    EXPECT_TRUE(PumpUntil([&] { return GetText(hPosition) == L"0:00.000 / 0:01.000"; })) << GetText(hPosition);
    EXPECT_TRUE(::IsWindowEnabled(hSeek));

    // The user lets go of the thumb in the middle.
    ::SendMessageW(hSeek, TBM_SETPOS, TRUE, ::SendMessageW(hSeek, TBM_GETRANGEMAX, 0, 0) / 2);
    m_frame.SendMessage(WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 0), reinterpret_cast<LPARAM>(hSeek));
    EXPECT_TRUE(PumpUntil([&] { return GetText(hPosition) == L"0:00.500 / 0:01.000"; })) << GetText(hPosition);

    Command(ID_GRAPH_PLAY);
    HWND hEvents = ::GetDlgItem(m_frame, IDC_EVENTS);
    auto hasComplete = [&] {
        for (int i = 0, c = static_cast<int>(::SendMessageW(hEvents, LB_GETCOUNT, 0, 0)); i < c; ++i)
        {
            wchar_t sz[256] = L"";
            if (::SendMessageW(hEvents, LB_GETTEXTLEN, i, 0) < 255)
                ::SendMessageW(hEvents, LB_GETTEXT, i, reinterpret_cast<LPARAM>(sz));
            if (wcsstr(sz, L"EC_COMPLETE (0x01)") != nullptr)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(PumpUntil(hasComplete));
    EXPECT_EQ(L"Running", GetText(::GetDlgItem(m_frame, IDC_STATUS)));
}

// Another program's graph (published here, as the harness publishes its
// own): connecting and disconnecting work, inserting and removing filters
// are not offered and the editor says why.
TEST_F(EditorComposeTest, OnAPublishedGraphOnlyWhatIsSafeAcrossProcesses)
{
    CComPtr<IGraphBuilder> spGraph;
    ASSERT_EQ(S_OK, BuildCorvastaGraph(&spGraph));
    DWORD dwCookie = 0;
    ASSERT_EQ(S_OK, AddGraphToRot(spGraph, &dwCookie));
    std::wstring graphNumber = GraphNumberText(spGraph);
    Command(ID_FILE_CONNECT, [&] {
        HWND hDlg = WaitForDialog(L"Connect to Graph");
        ASSERT_NE(nullptr, hDlg);
        HWND hList = ::GetDlgItem(hDlg, IDC_GRAPH_LIST);
        int nItem = -1;
        for (int i = 0, c = static_cast<int>(::SendMessageW(hList, LB_GETCOUNT, 0, 0)); i < c; ++i)
        {
            wchar_t sz[256] = L"";
            ::SendMessageW(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(sz));
            if (std::wstring(sz).find(L"IFilterGraph = " + graphNumber) != std::wstring::npos)
                nItem = i;
        }
        ASSERT_GE(nItem, 0);
        ::SendMessageW(hList, LB_SETCURSEL, nItem, 0);
        ::PostMessageW(hDlg, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitForWindowGone(hDlg));
    });
    ASSERT_TRUE(WaitCounts(L"4 filters, 4 connections")) << Counts();

    // The menu says why it offers no insert.
    HMENU hGraphMenu = ::GetSubMenu(::GetMenu(m_frame), 1);
    m_frame.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hGraphMenu), 1);
    wchar_t szItem[128] = L"";
    ::GetMenuStringW(hGraphMenu, ID_GRAPH_INSERT, szItem, ARRAYSIZE(szItem), MF_BYCOMMAND);
    EXPECT_STREQ(L"&Insert Filters (not into another program's graph)", szItem);
    EXPECT_TRUE(::GetMenuState(hGraphMenu, ID_GRAPH_INSERT, MF_BYCOMMAND) & MF_GRAYED);
    std::wstring text;
    Command(ID_GRAPH_INSERT, [&] { text = AnswerBox(); });
    EXPECT_EQ(0u, text.find(L"Filters cannot be inserted into another program's graph")) << text;

    // A filter stays; a connection goes, and comes back by dragging.
    Click(TitleOf(szOpusEncoder));
    Command(ID_GRAPH_DELETE, [&] { text = AnswerBox(); });
    EXPECT_EQ(L"Filters are not removed from another program's graph.", text);
    Click(PinAt(szOpusEncoder, L"Output"));
    Command(ID_GRAPH_DELETE);
    ASSERT_TRUE(WaitCounts(L"4 filters, 3 connections")) << Counts();
    Drag(PinAt(szOpusEncoder, L"Output"), PinAt(szCorvasta, L"Audio"));
    ASSERT_TRUE(WaitCounts(L"4 filters, 4 connections")) << Counts();

    Command(ID_FILE_DISCONNECT);
    RemoveGraphFromRot(dwCookie);
}

// Closing the window with unsaved changes asks first; "No" lets them go.
TEST_F(EditorComposeTest, ClosingAsksAboutUnsavedChanges)
{
    Insert({szGenerator});
    ASSERT_TRUE(WaitCounts(L"1 filter, 0 connections")) << Counts();
    std::wstring text;
    bool bAnswered = false;
    CDriver driver([&] {
        HWND hBox = nullptr;
        EXPECT_TRUE(hBox = WaitForWindow([](HWND h) { return GetClass(h) == L"#32770" && GetText(h) == szEditor; }));
        if (hBox == nullptr)
            return;
        text = GetText(::GetDlgItem(hBox, 0xFFFF));
        // Cancel first: the window stays.
        ::PostMessageW(hBox, WM_COMMAND, IDCANCEL, 0);
        WaitForWindowGone(hBox);
        bAnswered = true;
    });
    m_frame.PostMessage(WM_CLOSE);
    EXPECT_TRUE(PumpUntil([&] { return bAnswered; }));
    driver.Join();
    EXPECT_EQ(L"Save the changes to Untitled?", text);
    EXPECT_TRUE(m_frame.IsWindow());

    CDriver sayNo([&] {
        HWND hBox = WaitForWindow([](HWND h) { return GetClass(h) == L"#32770" && GetText(h) == szEditor; });
        if (hBox != nullptr)
            ::PostMessageW(hBox, WM_COMMAND, IDNO, 0);
    });
    m_frame.PostMessage(WM_CLOSE);
    EXPECT_TRUE(PumpUntil([&] { return !m_frame.IsWindow(); }));
}
