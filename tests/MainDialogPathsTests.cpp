// User paths of the main dialog with the stand-in filters: property pages,
// the browser, key-frame requests, state changes that are still under way,
// and closing the window while the graph runs.
#include "tests/support/MainDialogDriver.h" // first: it brings winsock2.h
#include "tests/support/RtcUdpClient.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <vector>

#include "standins/encoders/EncoderIds.h"
#include "standins/kit/FaultSwitch.h"
#include "tests/support/GraphInspector.h"
#include "tests/support/RegKeyScope.h"
#include "tests/support/ReportCapture.h"

namespace {

const wchar_t szQS[] = L"Ormidex QS Encoder";
const wchar_t szOpus[] = L"Ormidex Opus Encoder";
const wchar_t szVP8[] = L"WebM VP8 Encoder Filter";
const wchar_t szCorvasta[] = L"Corvasta";

// No key frames but the first and the requested ones.
const DWORD dwNoIntervalKeyFrames = 1000000;

std::wstring LoopbackUrl(USHORT nPort, const wchar_t* pszPath = L"/")
{
    return L"http://127.0.0.1:" + std::to_wstring(nPort) + pszPath;
}

// A visible dialog of this process besides hDlg and its message boxes: a
// property frame. (Wine's frame has no owner window; it disables the owner.)
HWND FindFrame(HWND hDlg, DWORD dwTimeoutMs)
{
    return WaitForWindow(
        [hDlg](HWND hWnd) {
            return hWnd != hDlg && GetClass(hWnd) == L"#32770" && GetText(hWnd) != szMainTitle;
        },
        dwTimeoutMs);
}

// The tab texts of a property frame: one per page.
std::vector<std::wstring> PageTitles(HWND hFrame)
{
    std::vector<std::wstring> titles;
    HWND hTab = FindChildOfClass(hFrame, WC_TABCONTROLW);
    if (hTab == nullptr)
        return titles;
    int cTabs = static_cast<int>(::SendMessageW(hTab, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < cTabs; i++)
    {
        wchar_t sz[256] = L"";
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = sz;
        item.cchTextMax = ARRAYSIZE(sz);
        ::SendMessageW(hTab, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        titles.push_back(sz);
    }
    return titles;
}

// The lines that the project's recording browser wrote (scripts/record-url).
std::vector<std::string> OpenedUrls()
{
    wchar_t szExe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    std::wstring log(szExe);
    log = log.substr(0, log.find_last_of(L"\\/") + 1) + L"opened-urls.txt";
    std::vector<std::string> lines;
    FILE* pFile = _wfopen(log.c_str(), L"r");
    if (pFile == nullptr)
        return lines;
    char sz[1024];
    while (std::fgets(sz, sizeof(sz), pFile) != nullptr)
        lines.push_back(std::string(sz, strcspn(sz, "\r\n")));
    std::fclose(pFile);
    return lines;
}

std::string Narrow(const std::wstring& s)
{
    return std::string(s.begin(), s.end());
}

class MainDialogPathsTest : public MainDialogFixture
{
protected:
    // Builds generator -> encoders -> Corvasta serving at the URL.
    void Build(HWND hDlg, const std::wstring& url, const wchar_t* pszVideo = szQS,
               const wchar_t* pszAudio = L"Not selected")
    {
        SetControlText(hDlg, IDC_URL, url.c_str());
        SelectComboText(hDlg, IDC_ENC_VIDEO, pszVideo);
        SelectComboText(hDlg, IDC_ENC_AUDIO, pszAudio);
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        ASSERT_TRUE(IsEnabled(hDlg, IDC_PLAY)) << "the build failed";
    }

    QS_ENCODER_STATUS QSStatus(HWND hDlg)
    {
        QS_ENCODER_STATUS status = {};
        OnUi(hDlg, [&] {
            CComQIPtr<IQSEncoderStatus> spStatus(CGraphInspector::EncoderVid(m_dlg.GetGraph()));
            if (spStatus != nullptr)
                spStatus->GetStatus(&status);
        });
        return status;
    }
};

using PropertyPagesTest = MainDialogPathsTest;
using BrowserTest = MainDialogPathsTest;
using KeyFrameTest = MainDialogPathsTest;
using StateChangeTest = MainDialogPathsTest;
using CloseTest = MainDialogPathsTest;

} // namespace

TEST_F(PropertyPagesTest, EachButtonOpensItsFiltersFrame)
{
    struct Case
    {
        int nID;
        const wchar_t* pszFilter; // the filter's name in the graph, the frame's caption
        const wchar_t* pszPage;
    };
    const Case rgCases[] = {
        {IDC_PP_ENC_VIDEO, szQS, L"QS Encoder"},
        {IDC_PP_ENC_AUDIO, szOpus, L"Opus Encoder"},
        {IDC_PP_SERVER, szCorvasta, L"Corvasta"},
    };
    Run([&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(FindFreePort()), szQS, szOpus);
        for (const Case& c : rgCases)
        {
            SCOPED_TRACE(c.nID);
            ASSERT_TRUE(IsEnabled(hDlg, c.nID));
            PressButton(hDlg, c.nID);
            HWND hFrame = FindFrame(hDlg, 10000);
            ASSERT_NE(nullptr, hFrame) << "no property frame";
            EXPECT_NE(std::wstring::npos, GetText(hFrame).find(c.pszFilter)) << GetText(hFrame);
            EXPECT_EQ(std::vector<std::wstring>{c.pszPage}, PageTitles(hFrame));

            ::PostMessageW(hFrame, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            EXPECT_TRUE(WaitForWindowGone(hFrame));
            ::SendMessageW(hDlg, WM_NULL, 0, 0);
        }
    });
}

TEST_F(PropertyPagesTest, FiltersWithoutPagesOpenNothing)
{
    // The generator has no pages, the graph no audio encoder, the server
    // filter no page list.
    CFaultSwitch noPages(szCorvasta, L"NoInterface:ISpecifyPropertyPages", 1);
    CReportCapture capture;
    Run([&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(FindFreePort()));
        for (int nID : {IDC_PP_SOURCE, IDC_PP_ENC_AUDIO, IDC_PP_SERVER})
        {
            SCOPED_TRACE(nID);
            EXPECT_FALSE(IsEnabled(hDlg, nID));
            // A click on the disabled button, then the command itself.
            ::SendMessageW(::GetDlgItem(hDlg, nID), BM_CLICK, 0, 0);
            capture.Clear();
            PressButtonAndWait(hDlg, nID);
            HWND hFrame = FindFrame(hDlg, 0);
            EXPECT_EQ(nullptr, hFrame) << testing::PrintToString(GetText(hFrame));
            if (hFrame != nullptr)
                ::PostMessageW(hFrame, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            // A role without a filter is flagged; a filter without pages is not an error.
            if (nID == IDC_PP_ENC_AUDIO)
                EXPECT_TRUE(capture.HasFlag(L"CGraph::ShowPropertyPage(): IBaseFilter NOT FOUND"));
            else
                EXPECT_TRUE(capture.Asserts().empty()) << testing::PrintToString(capture.Asserts());
        }
        // The one that has pages still opens them.
        PressButton(hDlg, IDC_PP_ENC_VIDEO);
        HWND hFrame = FindFrame(hDlg, 10000);
        ASSERT_NE(nullptr, hFrame);
        ::PostMessageW(hFrame, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_TRUE(WaitForWindowGone(hFrame));
    });
}

TEST_F(BrowserTest, OpensTheServedUrlWhilePausedOrRunning)
{
    struct Case
    {
        const wchar_t* pszHost;
        const wchar_t* pszPath;
        int nCommand;
        const char* pszOpenedHost;
    };
    const Case rgCases[] = {
        {L"+", L"/", IDC_PAUSE, "localhost"},
        {L"127.0.0.1", L"/cam", IDC_PLAY, "127.0.0.1"}, // no wildcard: unchanged
    };
    Run([&](HWND hDlg) {
        for (const Case& c : rgCases)
        {
            SCOPED_TRACE(Narrow(c.pszHost));
            USHORT nPort = FindFreePort();
            Build(hDlg, std::wstring(L"http://") + c.pszHost + L":" + std::to_wstring(nPort) + c.pszPath);
            PressButtonAndWait(hDlg, c.nCommand);
            size_t nBefore = OpenedUrls().size();
            PressButtonAndWait(hDlg, IDC_BROWSER);
            EXPECT_TRUE(WaitUntil([&] { return OpenedUrls().size() == nBefore + 1; }));
            std::vector<std::string> now = OpenedUrls();
            ASSERT_FALSE(now.empty());
            EXPECT_EQ(std::string("http://") + c.pszOpenedHost + ":" + std::to_string(nPort) + Narrow(c.pszPath),
                      now.back());
        }
    });
}

TEST_F(BrowserTest, FailuresOpenNothingAndSayNothing)
{
    USHORT nPort = FindFreePort();
    const std::wstring url = L"http://+:" + std::to_wstring(nPort) + L"/";
    Run([&](HWND hDlg) {
        size_t nBefore = OpenedUrls().size();
        auto press = [&](HRESULT hrExpected) {
            PressButtonAndWait(hDlg, IDC_PLAY);
            PressButtonAndWait(hDlg, IDC_BROWSER);
            HRESULT hr = S_OK;
            OnUi(hDlg, [&] { hr = m_dlg.GetGraph().ShowBrowser(); });
            EXPECT_EQ(hrExpected, hr);
        };
        {
            // The filter cannot tell its URL.
            CFaultSwitch fault(szCorvasta, L"GetUrl", static_cast<DWORD>(E_FAIL));
            Build(hDlg, url);
            press(E_FAIL);
        }
        {
            // It answers with no URL at all.
            CFaultSwitch fault(szCorvasta, L"NullUrl", 1);
            Build(hDlg, url);
            press(E_INVALIDARG);
        }
        {
            // The desktop knows no handler for http URLs.
            CRegKeyScope noHandler(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http");
            CRegKeyScope noUserHandler(HKEY_CURRENT_USER, L"Software\\Classes\\http");
            ASSERT_EQ(ERROR_SUCCESS, noHandler.Result());
            Build(hDlg, url);
            CReportCapture capture;
            PressButtonAndWait(hDlg, IDC_PLAY);
            PressButtonAndWait(hDlg, IDC_BROWSER);
            EXPECT_TRUE(capture.HasFlag(L"CGraph::ShowBrowser(): ShellExecute() FAILED"));
            HRESULT hr = S_OK;
            OnUi(hDlg, [&] { hr = m_dlg.GetGraph().ShowBrowser(); });
            // The shell's failure value, at most 32, as a Win32 error.
            EXPECT_EQ(FACILITY_WIN32, HRESULT_FACILITY(hr)) << std::hex << hr;
            EXPECT_TRUE(FAILED(hr) && HRESULT_CODE(hr) <= 32) << std::hex << hr;
        }
        // Once the handler is back, the browser opens: its URL is the only
        // one recorded since the failures.
        PressButtonAndWait(hDlg, IDC_BROWSER);
        EXPECT_TRUE(WaitUntil([&] { return OpenedUrls().size() >= nBefore + 1; }));
        std::vector<std::string> now = OpenedUrls();
        ASSERT_EQ(nBefore + 1, now.size());
        EXPECT_EQ("http://localhost:" + std::to_string(nPort) + "/", now.back());
    });
}

TEST_F(KeyFrameTest, GraphEventMakesTheQSEncoderCodeAKeyFrame)
{
    CFaultSwitch interval(szQS, L"KeyFrameInterval", dwNoIntervalKeyFrames);
    Run([&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(FindFreePort()));
        PressButtonAndWait(hDlg, IDC_PLAY);
        // Past the first frame, which is a key frame anyway.
        ASSERT_TRUE(WaitUntil([&] { return QSStatus(hDlg).cFrames >= 3; }));
        QS_ENCODER_STATUS before = QSStatus(hDlg);
        ASSERT_EQ(1u, before.cKeyFrames);

        Notify(hDlg, EC_USER, 0);
        EXPECT_TRUE(WaitUntil([&] { return QSStatus(hDlg).cKeyFrames == 2; }, 10000))
            << QSStatus(hDlg).cKeyFrames;
        // One request, one key frame.
        ULONG cFrames = QSStatus(hDlg).cFrames;
        ASSERT_TRUE(WaitUntil([&] { return QSStatus(hDlg).cFrames >= cFrames + 5; }, 10000));
        EXPECT_EQ(2u, QSStatus(hDlg).cKeyFrames);
    });
}

TEST_F(KeyFrameTest, APeersPictureLossMakesTheVP8EncoderCodeAKeyFrame)
{
    // The whole road: the peer's PLI, the filter's EC_USER, the harness's
    // ForceKeyFrame, the VP8 encoder's key frame, the peer's key frame.
    if (!InNetNamespace())
        GTEST_SKIP() << "WebRTC peers only inside the test run's own network namespace";
    CFaultSwitch interval(szVP8, L"KeyFrameInterval", dwNoIntervalKeyFrames);
    CWinsock winsock;
    USHORT nPort = FindFreePort();
    Run([&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(nPort), szVP8);
        PressButtonAndWait(hDlg, IDC_PLAY);
        // Frames arrive at the server: the encoder's first key frame is
        // behind us (packs count both media).
        ASSERT_TRUE(WaitForText(hDlg, IDC_STATISTIC, [](const std::wstring& s) {
            return s.rfind(L"Connections: 0, ", 0) == 0 && std::stoi(s.substr(16)) >= 30;
        })) << GetItemText(hDlg, IDC_STATISTIC);
        CRtcUdpClient client;
        CWhepExchange exchange;
        ASSERT_TRUE(client.Open(nPort, "/whep", &exchange)) << exchange.nStatus << " " << exchange.body;
        CRtcTestClient& rtc = client.Client();
        // Without interval key frames the peer decodes nothing until it
        // asks, as a browser does.
        ASSERT_TRUE(client.PumpUntil([&] { return rtc.Video().nFrames >= 10; }, 10000));
        ASSERT_EQ(0u, rtc.Video().nKeyFrames) << "the encoder's first key frame went before the peer came";
        rtc.SendPictureLoss();
        client.Flush();
        ASSERT_TRUE(client.PumpUntil([&] { return rtc.Video().nKeyFrames == 1; }, 5000));
        uint32_t nFrames = rtc.Video().nFrames;
        ASSERT_TRUE(client.PumpUntil([&] { return rtc.Video().nFrames >= nFrames + 10; }, 10000));
        EXPECT_EQ(1u, rtc.Video().nKeyFrames) << "one request, one key frame";
        EXPECT_NE(std::wstring::npos, GetItemText(hDlg, IDC_STATISTIC).find(L"Connections: 1, "));
    });
}

TEST_F(StateChangeTest, RunOrPauseStillUnderWaySaysNothing)
{
    // The server filter's Pause answers S_FALSE without changing its state;
    // the graph manager then finishes the change later and answers S_FALSE
    // to Pause and to Run from stopped. (It does not pass on S_FALSE from a
    // filter's Run.)
    for (int nCommand : {IDC_PAUSE, IDC_PLAY})
    {
        const std::string strCase = std::to_string(nCommand);
        CFaultSwitch fault(szCorvasta, L"Pause", static_cast<DWORD>(S_FALSE));
        CHostedDialog<CMainDialog> dlg;
        RunHostedDialog(dlg, szMainTitle, [&](HWND hDlg) {
            SetControlText(hDlg, IDC_URL, LoopbackUrl(FindFreePort()).c_str());
            SelectComboText(hDlg, IDC_ENC_AUDIO, L"Not selected");
            PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
            // The graph manager passes the filter's answer on.
            HRESULT hr = S_OK;
            RunOnWindowThread(hDlg, [&] {
                CGraph& graph = dlg.GetGraph();
                hr = nCommand == IDC_PLAY ? graph.Run() : graph.Pause();
                graph.Stop();
            });
            EXPECT_EQ(S_FALSE, hr) << strCase;

            PressButtonAndWait(hDlg, nCommand);
            MessageBoxInfo info;
            while (WaitForMessageBox(szMainTitle, &info, 0))
                ADD_FAILURE() << strCase << ": unexpected message box: " << testing::PrintToString(info.text);
            ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
        });
    }
}

TEST_F(CloseTest, ClosingWhileTheGraphRunsReleasesIt)
{
    CWinsock winsock;
    USHORT nPort = FindFreePort();
    CComPtr<IGraphBuilder> spGraph;
    CComPtr<IBaseFilter> spServer;
    CRtcUdpClient client;
    bool bPeer = InNetNamespace();
    INT_PTR nResult = RunHostedDialog(m_dlg, szMainTitle, [&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(nPort));
        PressButtonAndWait(hDlg, IDC_PLAY);
        ASSERT_TRUE(WaitForState(hDlg, State_Running));
        // A peer is being served, where peers may be.
        if (bPeer)
        {
            CWhepExchange exchange;
            ASSERT_TRUE(client.Open(nPort, "/whep", &exchange)) << exchange.nStatus << " " << exchange.body;
            EXPECT_TRUE(client.PumpUntil([&] { return client.Client().Video().nFrames > 0; }, 10000));
        }
        OnUi(hDlg, [&] {
            spGraph = CGraphInspector::Graph(m_dlg.GetGraph());
            CGraphInspector::Server(m_dlg.GetGraph()).QueryInterface(&spServer);
        });

        // The window's close box.
        ::PostMessageW(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(WaitForWindowGone(hDlg));
        MessageBoxInfo info;
        while (WaitForMessageBox(szMainTitle, &info, 0))
            ADD_FAILURE() << "unexpected message box: " << testing::PrintToString(info.text);
    });
    EXPECT_EQ(IDCANCEL, nResult);
    EXPECT_TRUE(m_dlg.GetGraph().IsEmpty());
    ASSERT_NE(nullptr, spGraph);
    ASSERT_NE(nullptr, spServer);
    // Only the test's own references remain, and the server has stopped.
    EXPECT_EQ(1u, RefsOf(spGraph));
    spGraph.Release();
    EXPECT_EQ(1u, RefsOf(spServer));
    if (bPeer)
    {
        EXPECT_TRUE(client.PumpUntil([&] { return client.Client().Closed(); }, 2000)) << "close_notify";
    }
    CLoopbackClient late;
    EXPECT_EQ(WSAECONNREFUSED, late.Connect(nPort));
}
