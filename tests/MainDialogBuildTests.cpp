// "Build graph" and the other graph commands from the dialog, with the
// stand-in filters: what the user sees after success and after each failure.
#include <gtest/gtest.h>

#include "ui/MainDialog.h"
#include "ui/StunServers.h"
#include "standins/kit/FaultSwitch.h"
#include "tests/support/DialogHost.h"
#include "tests/support/GraphInspector.h"

namespace {

const wchar_t szTitle[] = L"Corvasta Test";

// The system's text for a code, as the message box shows it.
std::wstring SystemText(HRESULT hr)
{
    wchar_t sz[1024] = L"";
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(hr),
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), sz, 1023, nullptr);
    return sz;
}

std::wstring Expected(const wchar_t* pszText, HRESULT hr, const wchar_t* pszCode)
{
    std::wstring sys = SystemText(hr);
    return std::wstring(pszText) + L"\n" + (sys.empty() ? L"" : sys + L"\n") + pszCode;
}

std::wstring ListItem(HWND hDlg, int nID, int nItem)
{
    wchar_t sz[512] = L"";
    ::SendDlgItemMessageW(hDlg, nID, LB_GETTEXT, nItem, reinterpret_cast<LPARAM>(sz));
    return sz;
}

void SelectComboText(HWND hDlg, int nID, const wchar_t* pszText)
{
    LRESULT n = ::SendDlgItemMessageW(hDlg, nID, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(pszText));
    ::SendDlgItemMessageW(hDlg, nID, CB_SETCURSEL, n, 0);
}

void SetUrlText(HWND hDlg, const wchar_t* pszUrl)
{
    ::SetWindowTextW(::GetDlgItem(hDlg, IDC_URL), pszUrl);
}

std::wstring HostUrl(const wchar_t* pszAfterHost)
{
    wchar_t szAddr[256] = L"";
    EXPECT_EQ(S_OK, GetHostAddr(szAddr, ARRAYSIZE(szAddr)));
    return std::wstring(L"http://") + szAddr + pszAfterHost;
}

// Presses a button that must end in a message box; returns its text.
std::wstring PressExpectingBox(HWND hDlg, int nID)
{
    PressButton(hDlg, nID);
    MessageBoxInfo info;
    if (!WaitForMessageBox(szTitle, &info))
    {
        ADD_FAILURE() << "no message box";
        return std::wstring();
    }
    // Answered only once the handler that showed the box has returned.
    ::SendMessageW(hDlg, WM_NULL, 0, 0);
    return info.text;
}

bool WaitForText(HWND hDlg, int nID, const std::function<bool(const std::wstring&)>& pred, DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    while (!pred(GetItemText(hDlg, nID)))
    {
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        ::Sleep(20);
    }
    return true;
}

class MainDialogBuildTest : public testing::Test
{
protected:
    void Run(const std::function<void(HWND)>& fDrive)
    {
        RunHostedDialog(m_dlg, szTitle, [&](HWND hDlg) {
            fDrive(hDlg);
            ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
        });
    }
    // Runs f on the dialog's thread.
    void OnUi(HWND hDlg, const std::function<void()>& f) { RunOnWindowThread(hDlg, f); }

    CHostedDialog<CMainDialog> m_dlg;
};

} // namespace

TEST_F(MainDialogBuildTest, BuildBringsTheWindowToLife)
{
    Run([&](HWND hDlg) {
        // The preferred components are preselected.
        EXPECT_EQ(L"Ormidex Video Generator", GetItemText(hDlg, IDC_SOURCE));
        EXPECT_EQ(L"Ormidex QS Encoder", GetItemText(hDlg, IDC_ENC_VIDEO));
        EXPECT_EQ(L"Ormidex Opus Encoder", GetItemText(hDlg, IDC_ENC_AUDIO));
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);

        std::wstring title = GetText(hDlg);
        EXPECT_EQ(0u, title.find(L"Test for Corvasta [D64 v.2.1.0 ")) << title;
        EXPECT_EQ(L']', title.back());
        EXPECT_EQ(HostUrl(L":50128/"), GetItemText(hDlg, IDC_URL_CURRENT));

        ASSERT_EQ(1, ::SendDlgItemMessageW(hDlg, IDC_ICE_LIST, LB_GETCOUNT, 0, 0));
        EXPECT_EQ(std::wstring(GetDefaultIceServer()), ListItem(hDlg, IDC_ICE_LIST, 0));

        for (int nID : {211, 212, 213, 231, 232, 242, 250, 251, 252, 253})
            EXPECT_TRUE(IsEnabled(hDlg, nID)) << nID;
        // The generator offers no property pages.
        EXPECT_FALSE(IsEnabled(hDlg, IDC_PP_SOURCE));

        // The display timer runs: the statistics line appears.
        EXPECT_TRUE(WaitForText(hDlg, IDC_STATISTIC,
                                [](const std::wstring& s) { return s.rfind(L"Connections: 0, ", 0) == 0; }, 3000))
            << GetItemText(hDlg, IDC_STATISTIC);
    });
}

TEST_F(MainDialogBuildTest, PageButtonsFollowTheFiltersPages)
{
    Run([&](HWND hDlg) {
        // The A-law encoder offers no property pages.
        SelectComboText(hDlg, IDC_ENC_AUDIO, L"CCITT A-Law");
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        EXPECT_TRUE(IsEnabled(hDlg, IDC_PP_ENC_VIDEO));
        EXPECT_FALSE(IsEnabled(hDlg, IDC_PP_ENC_AUDIO));
        EXPECT_TRUE(IsEnabled(hDlg, IDC_PP_SERVER));

        // Video only: no audio encoder in the graph.
        SelectComboText(hDlg, IDC_ENC_AUDIO, L"Not selected");
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        EXPECT_TRUE(IsEnabled(hDlg, IDC_PP_ENC_VIDEO));
        EXPECT_FALSE(IsEnabled(hDlg, IDC_PP_ENC_AUDIO));
        unsigned int nMask = 0;
        OnUi(hDlg, [&] { nMask = m_dlg.GetGraph().GetPropPageMask(); });
        EXPECT_EQ(0u, nMask & eFltEncoderAud);
        EXPECT_EQ(static_cast<unsigned>(eFltEncoderVid | eFltServer), nMask & (eFltEncoderVid | eFltServer));
    });
}

TEST_F(MainDialogBuildTest, UrlGivenOrLeftToTheFilter)
{
    Run([&](HWND hDlg) {
        SetUrlText(hDlg, L"http://127.0.0.1:50321/live");
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        EXPECT_EQ(L"http://127.0.0.1:50321/live", GetItemText(hDlg, IDC_URL_CURRENT));

        // "auto" in any case sets no URL: the filter's own default shows.
        SetUrlText(hDlg, L"AuTo");
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        EXPECT_EQ(HostUrl(L":50128/"), GetItemText(hDlg, IDC_URL_CURRENT));
    });
}

TEST_F(MainDialogBuildTest, RefusalsLeaveTheDialogAsItWas)
{
    Run([&](HWND hDlg) {
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        IGraphBuilder* pFirst = nullptr;
        OnUi(hDlg, [&] { pFirst = CGraphInspector::Graph(m_dlg.GetGraph()); });
        std::wstring title = GetText(hDlg);

        SelectComboText(hDlg, IDC_ENC_VIDEO, L"Not selected");
        SelectComboText(hDlg, IDC_ENC_AUDIO, L"Not selected");
        EXPECT_EQ(Expected(L"Encoders are not selected.", S_FALSE, L"Error 0x1"),
                  PressExpectingBox(hDlg, IDC_BUILD_GRAPH));
        // Nothing changed: the graph, the controls, the title.
        IGraphBuilder* pNow = nullptr;
        OnUi(hDlg, [&] { pNow = CGraphInspector::Graph(m_dlg.GetGraph()); });
        EXPECT_EQ(pFirst, pNow);
        EXPECT_TRUE(IsEnabled(hDlg, IDC_PLAY));
        EXPECT_EQ(title, GetText(hDlg));

        // Saved-graph mode with an empty path.
        ::SendMessageW(::GetDlgItem(hDlg, IDC_SOURCE_CHECK), BM_CLICK, 0, 0);
        ::SetWindowTextW(::GetDlgItem(hDlg, IDC_GRF_FILE), L"");
        EXPECT_EQ(Expected(L".grf file not selected", E_INVALIDARG, L"Error 0x80070057"),
                  PressExpectingBox(hDlg, IDC_BUILD_GRAPH));
        EXPECT_FALSE(IsEnabled(hDlg, IDC_PLAY));
        OnUi(hDlg, [&] { pNow = CGraphInspector::Graph(m_dlg.GetGraph()); });
        EXPECT_EQ(pFirst, pNow) << "the graph is neither stopped nor released";
    });
}

TEST_F(MainDialogBuildTest, FailedBuildIsReportedWithItsCode)
{
    CFaultSwitch refuse(L"Ormidex QS Encoder", L"SelectEncoder", static_cast<DWORD>(E_ACCESSDENIED));
    Run([&](HWND hDlg) {
        EXPECT_EQ(Expected(L"Can't build graph", E_ACCESSDENIED, L"Error 0x80070005"),
                  PressExpectingBox(hDlg, IDC_BUILD_GRAPH));
        EXPECT_EQ(szTitle, GetText(hDlg));
        EXPECT_EQ(L"", GetItemText(hDlg, IDC_URL_CURRENT));
        for (int nID : {210, 211, 212, 213, 231, 232, 242, 250, 251, 252, 253})
            EXPECT_FALSE(IsEnabled(hDlg, nID)) << nID;
    });
}

TEST_F(MainDialogBuildTest, DefaultIceServerThatIsRefused)
{
    CFaultSwitch refuse(L"Corvasta", L"AddIceServer", static_cast<DWORD>(E_INVALIDARG));
    Run([&](HWND hDlg) {
        EXPECT_EQ(Expected(L"Can't add ICE Server", E_INVALIDARG, L"Error 0x80070057"),
                  PressExpectingBox(hDlg, IDC_BUILD_GRAPH));
        // The build goes on all the same.
        EXPECT_TRUE(IsEnabled(hDlg, IDC_PLAY));
        EXPECT_EQ(0, ::SendDlgItemMessageW(hDlg, IDC_ICE_LIST, LB_GETCOUNT, 0, 0));
    });
}

TEST_F(MainDialogBuildTest, ShowGraphWithoutAGraph)
{
    Run([&](HWND hDlg) {
        EXPECT_EQ(Expected(L"Can't show graph", E_FAIL, L"Error 0x80004005"), PressExpectingBox(hDlg, IDC_SHOW_GRAPH));
    });
}
