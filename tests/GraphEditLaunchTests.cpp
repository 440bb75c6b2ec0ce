// Finding and starting the graph editor and its main window.
#include "GraphEditFixture.h"

#include "tests/support/ReportCapture.h"

#include <algorithm>
#include <functional>

namespace {

const wchar_t szProppageKey[] = L"CLSID\\{29E07010-BD27-11CE-AB59-00AA00577DA1}";
const wchar_t szGraphEditKey[] = L"Software\\Microsoft\\Shared Tools\\Graphedit";
const std::wstring szTrace = L"atlTraceGeneral - ";
const std::wstring szMainWindowTrace = szTrace + L"###Err### CGraphEdit::FindMainWindow(): GraphEdit window not found\n";
const std::wstring szHiddenTrace = szTrace + L"###Err### CGraphEdit::WaitWhileHidden(): Wait time is ending\n";

// An empty folder of its own, removed again.
class CEmptyFolder
{
public:
    CEmptyFolder()
    {
        wchar_t szTemp[MAX_PATH];
        ::GetTempPathW(ARRAYSIZE(szTemp), szTemp);
        m_path = szTemp + std::wstring(L"graphedit-empty-") + std::to_wstring(::GetCurrentProcessId()) + L"\\";
        ::CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~CEmptyFolder() { ::RemoveDirectoryW(m_path.c_str()); }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

// Works in another current folder, and comes back.
class CCurrentFolder
{
public:
    explicit CCurrentFolder(const std::wstring& path)
    {
        ::GetCurrentDirectoryW(ARRAYSIZE(m_szSaved), m_szSaved);
        ::SetCurrentDirectoryW(path.c_str());
    }
    ~CCurrentFolder() { ::SetCurrentDirectoryW(m_szSaved); }

private:
    wchar_t m_szSaved[MAX_PATH];
};

using GraphEditLaunchTest = CGraphEditTest;

} // namespace

TEST(ProppageRegistrationTest, ReadsThePathOfTheRegisteredPages)
{
    const std::wstring path259(259, L'p');
    const std::wstring path260(260, L'p');
    const wchar_t szUnterminated[] = {L'a', L'b', L'c'};
    const DWORD dwValue = 1;
    struct Case
    {
        const char* pszName;
        std::function<void(CRegKeyScope&)> write;
        bool bRegistered;
        std::wstring path;
    } cases[] = {
        {"path", [](CRegKeyScope& k) { k.SetString(L"InprocServer32", nullptr, L"C:\\Tools\\proppage.dll"); },
         true, L"C:\\Tools\\proppage.dll"},
        {"expandable, not expanded",
         [](CRegKeyScope& k) { k.SetString(L"InprocServer32", nullptr, L"%SystemRoot%\\pp.dll", REG_EXPAND_SZ); },
         true, L"%SystemRoot%\\pp.dll"},
        {"259 units fit", [&](CRegKeyScope& k) { k.SetString(L"InprocServer32", nullptr, path259); }, true, path259},
        {"260 units do not", [&](CRegKeyScope& k) { k.SetString(L"InprocServer32", nullptr, path260); }, false, L""},
        {"no terminator",
         [&](CRegKeyScope& k) {
             k.SetValue(L"InprocServer32", nullptr, REG_SZ, szUnterminated, sizeof(szUnterminated));
         },
         false, L""},
        {"not a string",
         [&](CRegKeyScope& k) { k.SetValue(L"InprocServer32", nullptr, REG_DWORD, &dwValue, sizeof(dwValue)); },
         false, L""},
        {"no default value", [](CRegKeyScope& k) { k.SetString(L"InprocServer32", L"ThreadingModel", L"Both"); },
         false, L""},
        {"no InprocServer32", [](CRegKeyScope& k) { k.CreateKey(nullptr); }, false, L""},
        {"no class", [](CRegKeyScope&) {}, false, L""},
    };
    for (const Case& c : cases)
    {
        CRegKeyScope key(HKEY_CLASSES_ROOT, szProppageKey);
        ASSERT_EQ(ERROR_SUCCESS, key.Result());
        c.write(key);
        // One unit past the buffer shows an overrun.
        wchar_t szPath[MAX_PATH + 1];
        wmemset(szPath, L'#', ARRAYSIZE(szPath));
        EXPECT_EQ(c.bRegistered, IsProppageRegistered(szPath)) << c.pszName;
        EXPECT_EQ(c.path, szPath) << c.pszName;
        EXPECT_EQ(L'#', szPath[MAX_PATH]) << c.pszName;
    }

    // Without a buffer only the keys count.
    CRegKeyScope key(HKEY_CLASSES_ROOT, szProppageKey);
    EXPECT_FALSE(IsProppageRegistered(nullptr));
    key.CreateKey(L"InprocServer32");
    EXPECT_TRUE(IsProppageRegistered(nullptr));
}

TEST_F(GraphEditLaunchTest, WithoutThePropertyPagesNothingIsPublished)
{
    CRegKeyScope none(HKEY_CLASSES_ROOT, szProppageKey);
    CReportCapture capture;
    EXPECT_EQ(REGDB_E_CLASSNOTREG, m_graphEdit.ShowGraph(m_spGraph));
    EXPECT_TRUE(capture.HasFlag(L"CGraphEdit::ShowGraph(): Proppage.dll is not registered"));
    EXPECT_TRUE(CGraphEditInspector::IsIdle(m_graphEdit));
    EXPECT_TRUE(PublishedGraphsOfThisProcess().empty());
    EXPECT_TRUE(RunningEditors().empty());
}

TEST_F(GraphEditLaunchTest, FindsTheEditorByRegistryCurrentFolderOrBesideThePages)
{
    const std::wstring editor = EditorFolder();
    std::wstring slashed = editor;
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    CEmptyFolder empty;
    // The editor's name fits beside no DLL whose name is shorter than its own.
    const std::wstring deepFolder = L"C:\\" + std::wstring(248, L'd') + L"\\";
    const HRESULT hrNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    struct Case
    {
        const char* pszName;
        std::wstring path;      // the registered "Path"; empty: none
        std::wstring folder;    // the current folder
        std::wstring proppage;
        HRESULT hr;
    } cases[] = {
        {"registry", editor + L"graphedt.exe", empty.Path(), L"proppage.dll", S_OK},
        {"current folder", L"", editor, L"proppage.dll", S_OK},
        {"beside the pages", L"", empty.Path(), editor + L"proppage.dll", S_OK},
        {"beside the pages, slashes", L"", empty.Path(), slashed + L"proppage.dll", S_OK},
        {"registry wrong, beside the pages", empty.Path() + L"graphedt.exe", empty.Path(),
         editor + L"proppage.dll", S_OK},
        {"pages without a folder", L"", empty.Path(), L"proppage.dll", hrNotFound},
        {"no editor beside the pages", L"", empty.Path(), empty.Path() + L"proppage.dll", hrNotFound},
        {"no room beside the pages", L"", empty.Path(), deepFolder + L"pp.dll", hrNotFound},
        // Only a missing file leads to the pages' folder.
        {"registered folder missing", empty.Path() + L"none\\graphedt.exe", empty.Path(),
         editor + L"proppage.dll", HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)},
    };
    for (const Case& c : cases)
    {
        CRegKeyScope graphEditKey(HKEY_LOCAL_MACHINE, szGraphEditKey);
        if (!c.path.empty())
            graphEditKey.SetString(nullptr, L"Path", c.path);
        ASSERT_EQ(ERROR_SUCCESS, m_proppage.SetString(L"InprocServer32", nullptr, c.proppage));
        CCurrentFolder folder(c.folder);

        EXPECT_EQ(c.hr, m_graphEdit.ShowGraph(m_spGraph)) << c.pszName;
        // Published in either case; started and found only on success.
        EXPECT_EQ(1u, PublishedGraphsOfThisProcess().size()) << c.pszName;
        const PROCESS_INFORMATION& pi = CGraphEditInspector::ProcessInfo(m_graphEdit);
        EXPECT_EQ(c.hr == S_OK, pi.hProcess != nullptr && pi.hThread != nullptr && pi.dwProcessId != 0)
            << c.pszName;
        EXPECT_EQ(c.hr == S_OK, CGraphEditInspector::MainWindow(m_graphEdit) != nullptr) << c.pszName;
        m_graphEdit.Close();
    }
}

TEST_F(GraphEditLaunchTest, AnEditorThatIsNotIdleInASecondIsLeftAlone)
{
    SetPart(L"busy=1500");
    CReportCapture capture;
    EXPECT_EQ(E_FAIL, m_graphEdit.ShowGraph(m_spGraph));
    EXPECT_EQ(std::vector<std::wstring>{szTrace + L"###Err### CGraphEdit::LoadGraphEdit(): WaitForInputIdle()=258, "
                                                  L"hr=0x80004005\n"},
              capture.Traces());
    EXPECT_EQ(1u, PublishedGraphsOfThisProcess().size());
    EXPECT_EQ(nullptr, CGraphEditInspector::ProcessInfo(m_graphEdit).hProcess);
    // Untracked, it goes on and ends by itself.
    std::vector<DWORD> editors = RunningEditors();
    ASSERT_EQ(1u, editors.size());
    EXPECT_TRUE(CEditorProcess(editors[0]).WaitForEnd(5000));
}

TEST_F(GraphEditLaunchTest, AMainWindowThatStaysHiddenIsNotTaken)
{
    SetPart(L"hidden=-1");
    g_AtlTraceSettings.m_nLevel = 10;
    CReportCapture capture;
    EXPECT_EQ(S_FALSE, m_graphEdit.ShowGraph(m_spGraph));
    EXPECT_EQ(nullptr, CGraphEditInspector::MainWindow(m_graphEdit));
    EXPECT_NE(nullptr, CGraphEditInspector::ProcessInfo(m_graphEdit).hProcess); // started all the same

    // Polled with the time left, then given up.
    const std::wstring rest = szTrace + L"CGraphEdit::WaitWhileHidden(): wait time rest is ";
    std::vector<int> rests;
    for (const std::wstring& trace : capture.Traces())
        if (trace.compare(0, rest.size(), rest) == 0)
            rests.push_back(_wtoi(trace.c_str() + rest.size()));
    ASSERT_FALSE(rests.empty());
    EXPECT_LE(rests.front(), 100);
    EXPECT_GE(rests.back(), 0);
    EXPECT_TRUE(std::is_sorted(rests.rbegin(), rests.rend()));
    ASSERT_GE(capture.Traces().size(), 2u);
    EXPECT_EQ(szHiddenTrace, capture.Traces()[capture.Traces().size() - 2]);
    EXPECT_EQ(szMainWindowTrace, capture.Traces().back());
}

TEST_F(GraphEditLaunchTest, AMainWindowShownWithinTheWaitIsTaken)
{
    SetPart(L"hidden=30");
    EXPECT_EQ(S_OK, m_graphEdit.ShowGraph(m_spGraph));
    HWND hWndMain = CGraphEditInspector::MainWindow(m_graphEdit);
    EXPECT_TRUE(::IsWindowVisible(hWndMain));
}

TEST_F(GraphEditLaunchTest, OnlyAWindowWithAThickFrameIsTheMainWindow)
{
    {
        SetPart(L"frame=thin");
        CReportCapture capture;
        EXPECT_EQ(S_FALSE, m_graphEdit.ShowGraph(m_spGraph));
        EXPECT_EQ(nullptr, CGraphEditInspector::MainWindow(m_graphEdit));
        EXPECT_EQ(std::vector<std::wstring>{szMainWindowTrace}, capture.Traces());
        m_graphEdit.Close();
    }

    // A splash window comes first in the windows' order and is passed over.
    SetPart(L"splash=1");
    EXPECT_EQ(S_OK, m_graphEdit.ShowGraph(m_spGraph));
    HWND hWndMain = CGraphEditInspector::MainWindow(m_graphEdit);
    ASSERT_NE(nullptr, hWndMain);
    EXPECT_EQ(WS_THICKFRAME, ::GetWindowLongW(hWndMain, GWL_STYLE) & WS_THICKFRAME);
    struct First
    {
        DWORD dwProcessId;
        HWND hWnd;
    } first = {CGraphEditInspector::ProcessInfo(m_graphEdit).dwProcessId, nullptr};
    ::EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            First* pFirst = reinterpret_cast<First*>(lParam);
            DWORD dwProcessId = 0;
            ::GetWindowThreadProcessId(hWnd, &dwProcessId);
            if (dwProcessId != pFirst->dwProcessId)
                return TRUE;
            pFirst->hWnd = hWnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&first));
    EXPECT_NE(hWndMain, first.hWnd);
    EXPECT_EQ(0, ::GetWindowLongW(first.hWnd, GWL_STYLE) & WS_THICKFRAME);
}
