// The saved-graph mode from the dialog: "Load..." with the open-file dialog,
// the mode switch, and a saved graph of the stand-ins built, played and
// served like one built from components.
#include "tests/support/MainDialogDriver.h" // first: it brings winsock2.h
#include "tests/support/RtcUdpClient.h"

#include "components/ComponentIds.h"
#include "tests/support/GraphInspector.h"
#include "tests/support/SavedGraphs.h"
#include "ui/StunServers.h"

namespace {

const wchar_t szGenerator[] = L"Ormidex Video Generator";
const wchar_t szQS[] = L"Ormidex QS Encoder";
const wchar_t szOpus[] = L"Ormidex Opus Encoder";
const wchar_t szFileDialog[] = L"Select GRF file or All file";

// generator -> QS -> Corvasta and generator -> Opus -> Corvasta.
HRESULT SaveStandinGraph(const std::wstring& file)
{
    return SaveComposedGraph(file,
                             {{szGenerator, CLSID_OrmidexVideoGenerator},
                              {szQS, CLSID_OrmidexQSEncoder},
                              {szOpus, CLSID_OrmidexOpusEncoder},
                              {L"Corvasta", CLSID_CorvastaFilter}},
                             {{szGenerator, L"Video", szQS, L"Input"},
                              {szQS, L"Output", L"Corvasta", L"Video"},
                              {szGenerator, L"Audio", szOpus, L"Input"},
                              {szOpus, L"Output", L"Corvasta", L"Audio"}});
}

class GrfModeTest : public MainDialogFixture
{
protected:
    // Presses "Load..." and answers the open-file dialog: with a file name,
    // or cancelled when pszFile is null. Returns the dialog's filter list.
    std::wstring Load(HWND hDlg, const wchar_t* pszFile)
    {
        PressButton(hDlg, IDC_LOAD);
        HWND hFileDlg = WaitForDialog(szFileDialog);
        if (hFileDlg == nullptr)
        {
            ADD_FAILURE() << "the open-file dialog did not appear";
            return L"";
        }
        std::wstring filters;
        HWND hTypes = ::GetDlgItem(hFileDlg, cmb1);
        for (int i = 0; hTypes != nullptr && i < ::SendMessageW(hTypes, CB_GETCOUNT, 0, 0); i++)
        {
            wchar_t sz[128] = L"";
            ::SendMessageW(hTypes, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(sz));
            filters += std::wstring(filters.empty() ? L"" : L"|") + sz;
        }
        if (pszFile != nullptr)
        {
            HWND hName = ::GetDlgItem(hFileDlg, edt1);
            if (hName == nullptr)
                hName = FindChildOfClass(::GetDlgItem(hFileDlg, cmb13), L"Edit");
            EXPECT_TRUE(hName != nullptr) << "no file name box";
            ::SendMessageW(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszFile));
        }
        ::PostMessageW(hFileDlg, WM_COMMAND, MAKEWPARAM(pszFile != nullptr ? IDOK : IDCANCEL, BN_CLICKED), 0);
        EXPECT_TRUE(WaitForWindowGone(hFileDlg));
        // The handler has returned once the dialog's thread answers again.
        DWORD_PTR dwResult = 0;
        ::SendMessageTimeoutW(hDlg, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &dwResult);
        return filters;
    }

    bool SourceChecked(HWND hDlg) { return ::IsDlgButtonChecked(hDlg, IDC_SOURCE_CHECK) == BST_CHECKED; }
};

} // namespace

TEST_F(GrfModeTest, LoadCancelledThenChosen)
{
    CTempFile file(L"dialog.grf");
    ASSERT_EQ(S_OK, SaveStandinGraph(file.Path()));
    Run([&](HWND hDlg) {
        std::wstring before = GetItemText(hDlg, IDC_GRF_FILE);
        EXPECT_EQ(L"GRF files (.grf)|All files", Load(hDlg, nullptr));
        // Cancelled: neither the path nor the mode changed.
        EXPECT_EQ(before, GetItemText(hDlg, IDC_GRF_FILE));
        EXPECT_TRUE(SourceChecked(hDlg));
        EXPECT_TRUE(IsEnabled(hDlg, IDC_SOURCE));

        Load(hDlg, file.c_str());
        EXPECT_EQ(0, ::lstrcmpiW(file.c_str(), GetItemText(hDlg, IDC_GRF_FILE).c_str()))
            << GetItemText(hDlg, IDC_GRF_FILE);
        EXPECT_FALSE(SourceChecked(hDlg));
        for (int nID : {IDC_SOURCE, IDC_ENC_VIDEO, IDC_ENC_AUDIO})
            EXPECT_FALSE(IsEnabled(hDlg, nID)) << nID;

        // "Source" switches back to components.
        ::SendMessageW(::GetDlgItem(hDlg, IDC_SOURCE_CHECK), BM_CLICK, 0, 0);
        EXPECT_TRUE(IsEnabled(hDlg, IDC_SOURCE));
    });
}

TEST_F(GrfModeTest, SavedStandinGraphBuildsPlaysAndServes)
{
    CTempFile file(L"served.grf");
    ASSERT_EQ(S_OK, SaveStandinGraph(file.Path()));
    CWinsock winsock;
    USHORT nPort = FindFreePort();
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(nPort) + L"/";
    Run([&](HWND hDlg) {
        Load(hDlg, file.c_str());
        SetControlText(hDlg, IDC_URL, url.c_str());
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);

        std::wstring title = GetText(hDlg);
        EXPECT_EQ(0u, title.find(L"Test for Corvasta [")) << title;
        EXPECT_EQ(url, GetItemText(hDlg, IDC_URL_CURRENT));
        ASSERT_EQ(1, ListBoxCount(hDlg, IDC_ICE_LIST));
        EXPECT_EQ(std::wstring(GetDefaultIceServer()), ListBoxItem(hDlg, IDC_ICE_LIST, 0));
        for (int nID : {IDC_PP_ENC_VIDEO, IDC_PP_ENC_AUDIO, IDC_PP_SERVER, IDC_PLAY, IDC_BROWSER})
            EXPECT_TRUE(IsEnabled(hDlg, nID)) << nID;

        PressButtonAndWait(hDlg, IDC_PAUSE);
        ASSERT_TRUE(WaitUntil([&] { return GraphState(hDlg) == State_Paused; }));
        if (!InNetNamespace())
            GTEST_SKIP() << "WebRTC peers only inside the test run's own network namespace";
        // A peer connects: the harness runs the saved graph for it, and the
        // coded media reaches the peer and the statistics line.
        CRtcUdpClient client;
        CWhepExchange exchange;
        ASSERT_TRUE(client.Open(nPort, "/whep", &exchange)) << exchange.nStatus << " " << exchange.body;
        EXPECT_TRUE(client.PumpUntil([&] { return GraphState(hDlg) == State_Running; }, 10000));
        EXPECT_TRUE(client.PumpUntil([&] { return client.Client().Video().nFrames > 0; }, 10000));
        EXPECT_TRUE(client.PumpUntil(
            [&] {
                std::wstring s = GetItemText(hDlg, IDC_STATISTIC);
                return s.rfind(L"Connections: 1, ", 0) == 0 && s.find(L", 0 packs") == std::wstring::npos;
            },
            5000))
            << GetItemText(hDlg, IDC_STATISTIC);
        // A key-frame request reaches the QS encoder found in the file.
        int nKeyFrame = 0;
        OnUi(hDlg, [&] { nKeyFrame = m_dlg.GetGraph().ForceKeyFrame(); });
        EXPECT_EQ(S_OK, nKeyFrame);
    });
}

TEST_F(GrfModeTest, FailuresFromTheDialog)
{
    CTempFile text(L"text.grf"), noServer(L"no-server.grf");
    ASSERT_TRUE(WritePlainFile(text.Path(), "not a saved graph"));
    ASSERT_EQ(S_OK, SaveComposedGraph(noServer.Path(), {{szGenerator, CLSID_OrmidexVideoGenerator},
                                                        {szQS, CLSID_OrmidexQSEncoder}},
                                      {{szGenerator, L"Video", szQS, L"Input"}}));
    Run([&](HWND hDlg) {
        ::SendMessageW(::GetDlgItem(hDlg, IDC_SOURCE_CHECK), BM_CLICK, 0, 0);
        ASSERT_FALSE(SourceChecked(hDlg));

        SetControlText(hDlg, IDC_GRF_FILE, text.c_str());
        EXPECT_EQ(ExpectedBoxText(L"Can't build graph", STG_E_FILEALREADYEXISTS, L"Error 0x80030050"),
                  PressExpectingBox(hDlg, IDC_BUILD_GRAPH));
        // A real file whose first filter this platform lacks.
        std::wstring real = FixtureFolder() + L"flipcam-rgb24-csc-vmr.grf";
        SetControlText(hDlg, IDC_GRF_FILE, real.c_str());
        EXPECT_EQ(ExpectedBoxText(L"Can't build graph", REGDB_E_CLASSNOTREG, L"Error 0x80040154"),
                  PressExpectingBox(hDlg, IDC_BUILD_GRAPH));
        SetControlText(hDlg, IDC_GRF_FILE, noServer.c_str());
        EXPECT_EQ(ExpectedBoxText(L"Can't insert server or source filter to graph", S_FALSE, L"Error 0x1"),
                  PressExpectingBox(hDlg, IDC_BUILD_GRAPH));
        EXPECT_FALSE(IsEnabled(hDlg, IDC_PLAY));

        // The dialog goes on working: components build again.
        ::SendMessageW(::GetDlgItem(hDlg, IDC_SOURCE_CHECK), BM_CLICK, 0, 0);
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        EXPECT_TRUE(IsEnabled(hDlg, IDC_PLAY));
    });
}
