// Play, Pause, Stop, the slider, graph events and the display lines, from
// the dialog with the stand-in filters.
#include "tests/support/MainDialogDriver.h" // first: it brings winsock2.h
#include "tests/support/RtcUdpClient.h"
#include "tests/support/LoopbackClient.h"
#include "tests/support/TestIceServers.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <regex>

#include "standins/kit/FaultSwitch.h"
#include "tests/support/GraphInspector.h"

namespace {

const wchar_t szGenerator[] = L"Ormidex Video Generator";

std::wstring LoopbackUrl(USHORT nPort)
{
    return L"http://127.0.0.1:" + std::to_wstring(nPort) + L"/";
}

LRESULT SelectionEnd(HWND hDlg)
{
    return ::SendDlgItemMessageW(hDlg, IDC_SLIDER, TBM_GETSELEND, 0, 0);
}

class PlaybackTest : public MainDialogFixture
{
protected:
    // Builds generator -> QS encoder -> Corvasta serving at the URL.
    void Build(HWND hDlg, const std::wstring& url)
    {
        SetControlText(hDlg, IDC_URL, url.c_str());
        SelectComboText(hDlg, IDC_ENC_AUDIO, L"Not selected");
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        ASSERT_TRUE(IsEnabled(hDlg, IDC_PLAY)) << "the build failed";
    }
};

} // namespace

TEST_F(PlaybackTest, PositionsOfAFiniteClip)
{
    CFaultSwitch clip(szGenerator, L"ClipLength", 60000);
    Run([&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(FindFreePort()));
        EXPECT_EQ(L"0.000 from 60.000", GetItemText(hDlg, IDC_POSITIONS));

        OnUi(hDlg, [&] {
            m_dlg.GetGraph().SetPosition(123456789);
            m_dlg.ShowPositions();
        });
        EXPECT_EQ(L"12.345 from 60.000", GetItemText(hDlg, IDC_POSITIONS));
        EXPECT_EQ(206, SelectionEnd(hDlg));

        // Releasing the thumb at 500 seeks to half the duration; the
        // selection follows the position, not the thumb.
        ::SendMessageW(hDlg, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 500),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDC_SLIDER)));
        EXPECT_EQ(L"30.000 from 60.000", GetItemText(hDlg, IDC_POSITIONS));
        EXPECT_EQ(500, SelectionEnd(hDlg));
        // Other notifications take the trackbar's own position.
        ::SendDlgItemMessageW(hDlg, IDC_SLIDER, TBM_SETPOS, TRUE, 250);
        ::SendMessageW(hDlg, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDC_SLIDER)));
        EXPECT_EQ(L"15.000 from 60.000", GetItemText(hDlg, IDC_POSITIONS));
        // A scroll message from another control is not ours.
        ::SendMessageW(hDlg, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 900), 0);
        EXPECT_EQ(L"15.000 from 60.000", GetItemText(hDlg, IDC_POSITIONS));

        // Playing moves the position line on the timer.
        PressButtonAndWait(hDlg, IDC_PLAY);
        EXPECT_TRUE(WaitForState(hDlg, State_Running));
        EXPECT_TRUE(WaitForText(hDlg, IDC_POSITIONS, [](const std::wstring& s) {
            return s != L"15.000 from 60.000" && s.rfind(L"15.", 0) == 0;
        })) << GetItemText(hDlg, IDC_POSITIONS);

        PressButtonAndWait(hDlg, IDC_PAUSE);
        EXPECT_TRUE(WaitForState(hDlg, State_Paused));

        // Stop rewinds: position 0 and an empty selection.
        PressButtonAndWait(hDlg, IDC_STOP);
        EXPECT_EQ(State_Stopped, GraphState(hDlg));
        EXPECT_EQ(L"0.000 from 60.000", GetItemText(hDlg, IDC_POSITIONS));
        EXPECT_EQ(0, SelectionEnd(hDlg));
    });
}

TEST_F(PlaybackTest, LiveSourceShowsThePositionAlone)
{
    Run([&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(FindFreePort()));
        PressButtonAndWait(hDlg, IDC_PLAY);
        std::wregex live(L"[0-9]+\\.[0-9]{3}");
        EXPECT_TRUE(WaitForText(hDlg, IDC_POSITIONS, [&](const std::wstring& s) {
            return std::regex_match(s, live) && s != L"0.000";
        })) << GetItemText(hDlg, IDC_POSITIONS);
        // A few seconds against an hour past the position round to 0 or 1.
        EXPECT_LE(SelectionEnd(hDlg), 1);

        // The statistics line grows while the graph runs.
        std::wregex stats(L"Connections: 0, ([0-9]+) packs, [0-9.]+ (B|KB|MB), RTP transfer \\(vid\\): [0-9]+\\.[0-9]{3} ms");
        EXPECT_TRUE(WaitForText(hDlg, IDC_STATISTIC, [&](const std::wstring& s) {
            std::wsmatch m;
            return std::regex_match(s, m, stats) && std::stoi(m[1].str()) > 0;
        })) << GetItemText(hDlg, IDC_STATISTIC);
    });
}

TEST_F(PlaybackTest, PeerConnectionsRunAndPauseTheGraph)
{
    if (!InNetNamespace())
        GTEST_SKIP() << "WebRTC peers only inside the test run's own network namespace";
    CWinsock winsock;
    USHORT nPort = FindFreePort();
    Run([&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(nPort));
        PressButtonAndWait(hDlg, IDC_PAUSE); // the filter serves while paused
        ASSERT_TRUE(WaitForState(hDlg, State_Paused));
        {
            CRtcUdpClient client;
            CWhepExchange exchange;
            ASSERT_TRUE(client.Open(nPort, "/whep", &exchange)) << exchange.nStatus << " " << exchange.body;
            // The finished handshake makes a connection, and the harness
            // runs the graph for it.
            EXPECT_TRUE(client.PumpUntil([&] { return GraphState(hDlg) == State_Running; }, 10000));
            EXPECT_TRUE(client.Client().Connected());
            EXPECT_TRUE(client.PumpUntil(
                [&] { return GetItemText(hDlg, IDC_STATISTIC).rfind(L"Connections: 1, ", 0) == 0; }, 5000))
                << GetItemText(hDlg, IDC_STATISTIC);
            int nConnections = 0;
            OnUi(hDlg, [&] { nConnections = m_dlg.GetGraph().GetConnections(); });
            EXPECT_EQ(1, nConnections);
            // Media reaches the peer.
            EXPECT_TRUE(client.PumpUntil([&] { return client.Client().Video().nFrames > 0; }, 10000));
            // The peer leaves, as a page that is closed does.
            EXPECT_EQ(200, WhepDelete(nPort, exchange.location).nStatus);
        }
        // No peer left: paused again.
        EXPECT_TRUE(WaitForState(hDlg, State_Paused));
    });
}

TEST_F(PlaybackTest, ATurnServerAddedInTheDialogRelaysAPeer)
{
    if (!InNetNamespace())
        GTEST_SKIP() << "WebRTC peers only inside the test run's own network namespace";
    const CTurnAccount turn;
    if (turn.uri.empty())
        GTEST_SKIP() << "no TURN server in this run (scripts/test starts coturn in its namespace)";
    auto wide = [](const std::string& str) { return std::wstring(str.begin(), str.end()); };
    CWinsock winsock;
    USHORT nPort = FindFreePort();
    Run([&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(nPort));
        AddIceServerInDialog(hDlg, wide(turn.uri).c_str(), wide(turn.user).c_str(), wide(turn.password).c_str());
        ASSERT_EQ(2, ListBoxCount(hDlg, IDC_ICE_LIST)) << "the default STUN server and ours";
        PressButtonAndWait(hDlg, IDC_PLAY);
        ASSERT_TRUE(WaitForState(hDlg, State_Running));
        // The client takes our relayed candidate alone: everything passes
        // through coturn.
        CRtcUdpClient client;
        CWhepExchange exchange;
        ASSERT_TRUE(client.Open(nPort, "/whep?iceTransportPolicy=relay", &exchange))
            << exchange.nStatus << " " << exchange.body;
        EXPECT_NE(std::string::npos, exchange.body.find(" typ relay")) << exchange.body;
        EXPECT_EQ(std::string::npos, exchange.body.find(" typ host")) << exchange.body;
        EXPECT_TRUE(client.PumpUntil([&] { return client.Client().Video().nFrames >= 10; }, 20000))
            << client.Client().DtlsFailure();
        EXPECT_TRUE(client.PumpUntil(
            [&] { return GetItemText(hDlg, IDC_STATISTIC).rfind(L"Connections: 1, ", 0) == 0; }, 5000))
            << GetItemText(hDlg, IDC_STATISTIC);
        std::string strStatus = HttpGet(nPort, "/status.json");
        EXPECT_NE(std::string::npos, strStatus.find("\"relayed\":true")) << strStatus;
        EXPECT_EQ(200, WhepDelete(nPort, exchange.location).nStatus);
    });
}

TEST_F(PlaybackTest, ConnectionCountEvents)
{
    Run([&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(FindFreePort()));
        // Stopped: neither run nor paused, only the statistics refreshed.
        SetControlText(hDlg, IDC_STATISTIC, L"");
        Notify(hDlg, EC_USER + 1, 2);
        EXPECT_TRUE(WaitForText(hDlg, IDC_STATISTIC, [](const std::wstring& s) { return !s.empty(); }));
        EXPECT_EQ(State_Stopped, GraphState(hDlg));

        PressButtonAndWait(hDlg, IDC_PAUSE);
        Notify(hDlg, EC_USER + 1, 1);
        EXPECT_TRUE(WaitForState(hDlg, State_Running));
        Notify(hDlg, EC_USER + 1, 0);
        EXPECT_TRUE(WaitForState(hDlg, State_Paused));
        // A key-frame request reaches the running encoder.
        Notify(hDlg, EC_USER + 1, 1);
        EXPECT_TRUE(WaitForState(hDlg, State_Running));
    });
}

TEST_F(PlaybackTest, EndOfTheClip)
{
    CFaultSwitch clip(szGenerator, L"ClipLength", 400);
    Run([&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(FindFreePort()));
        PressButton(hDlg, IDC_PLAY);
        bool bIcon = true;
        EXPECT_EQ(L"The end", WaitForMainBox(hDlg, &bIcon));
        EXPECT_FALSE(bIcon);
        // Stopped and rewound.
        EXPECT_EQ(State_Stopped, GraphState(hDlg));
        LONGLONG llPos = -1;
        OnUi(hDlg, [&] { m_dlg.GetGraph().GetPosition(&llPos); });
        EXPECT_EQ(0, llPos);
        EXPECT_TRUE(WaitForText(hDlg, IDC_POSITIONS, [](const std::wstring& s) { return s == L"0.000 from 0.400"; }))
            << GetItemText(hDlg, IDC_POSITIONS);
    });
}

TEST_F(PlaybackTest, RefusedAddressesOnPlayAndPause)
{
    CWinsock winsock;
    USHORT nPort = FindFreePort();
    // Another program holds the port on every address, exclusively: the
    // system then refuses the filter's bind for lack of rights.
    SOCKET sHolder = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    BOOL bExclusive = TRUE;
    ::setsockopt(sHolder, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&bExclusive),
                 sizeof(bExclusive));
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = ::htons(nPort);
    ASSERT_EQ(0, ::bind(sHolder, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)));

    Run([&](HWND hDlg) {
        Build(hDlg, L"http://+:" + std::to_wstring(nPort) + L"/");
        EXPECT_EQ(ExpectedBoxText(szPlayAccessDenied, E_ACCESSDENIED, L"Error 0x80070005"),
                  PressExpectingBox(hDlg, IDC_PLAY));
        // Play reads the URL back in every case.
        EXPECT_EQ(HostUrl((L":" + std::to_wstring(nPort) + L"/").c_str()), GetItemText(hDlg, IDC_URL_CURRENT));
        EXPECT_EQ(ExpectedBoxText(szPauseAccessDenied, E_ACCESSDENIED, L"Error 0x80070005"),
                  PressExpectingBox(hDlg, IDC_PAUSE));
    });
    ::closesocket(sHolder);

    // Any other refusal: the port is in use on the loopback address.
    SOCKET sBusy = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    addr.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, ::bind(sBusy, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)));
    ::listen(sBusy, 1);
    CHostedDialog<CMainDialog> dlg2;
    RunHostedDialog(dlg2, szMainTitle, [&](HWND hDlg) {
        Build(hDlg, LoopbackUrl(nPort));
        const HRESULT hrInUse = HRESULT_FROM_WIN32(WSAEADDRINUSE);
        EXPECT_EQ(ExpectedBoxText(L"Can't play", hrInUse, L"Error 0x80072740"), PressExpectingBox(hDlg, IDC_PLAY));
        EXPECT_EQ(ExpectedBoxText(L"Can't pause", hrInUse, L"Error 0x80072740"), PressExpectingBox(hDlg, IDC_PAUSE));
        ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
    });
    ::closesocket(sBusy);
}

TEST_F(PlaybackTest, CommandsWithoutAGraph)
{
    Run([&](HWND hDlg) {
        EXPECT_EQ(ExpectedBoxText(L"Graph not exist", E_FAIL, L"Error 0x80004005"), PressExpectingBox(hDlg, IDC_PLAY));
        EXPECT_EQ(ExpectedBoxText(L"Graph not exist", E_FAIL, L"Error 0x80004005"), PressExpectingBox(hDlg, IDC_PAUSE));
        // Stop and the browser do nothing and say nothing.
        PressButtonAndWait(hDlg, IDC_STOP);
        PressButtonAndWait(hDlg, IDC_BROWSER);
        EXPECT_EQ(L"", GetItemText(hDlg, IDC_POSITIONS));
    });
}

TEST_F(PlaybackTest, BrowserOpensTheServedUrlWhileTheGraphRuns)
{
    // The project's prefix records what the shell would open beside the
    // executables (see scripts/record-url).
    wchar_t szExe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    std::wstring log(szExe);
    log = log.substr(0, log.find_last_of(L"\\/") + 1) + L"opened-urls.txt";
    auto lines = [&log] {
        std::vector<std::string> result;
        FILE* pFile = _wfopen(log.c_str(), L"r");
        if (pFile == nullptr)
            return result;
        char sz[1024];
        while (std::fgets(sz, sizeof(sz), pFile) != nullptr)
            result.push_back(std::string(sz, strcspn(sz, "\r\n")));
        std::fclose(pFile);
        return result;
    };
    USHORT nPort = FindFreePort();
    Run([&](HWND hDlg) {
        Build(hDlg, L"http://+:" + std::to_wstring(nPort) + L"/view");
        size_t nBefore = lines().size();
        PressButtonAndWait(hDlg, IDC_BROWSER); // stopped: nothing
        ::Sleep(500);
        EXPECT_EQ(nBefore, lines().size());

        PressButtonAndWait(hDlg, IDC_PLAY);
        PressButtonAndWait(hDlg, IDC_BROWSER);
        EXPECT_TRUE(WaitUntil([&] { return lines().size() == nBefore + 1; }));
        std::vector<std::string> now = lines();
        ASSERT_FALSE(now.empty());
        EXPECT_EQ("http://localhost:" + std::to_string(nPort) + "/view", now.back());
    });
}
