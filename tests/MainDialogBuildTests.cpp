// "Build graph" and the other graph commands from the dialog, with the
// stand-in filters: what the user sees after success and after each failure.
#include <gtest/gtest.h>

#include "tests/support/MainDialogDriver.h" // first: it brings winsock2.h

#include "ui/StunServers.h"
#include "standins/kit/FaultSwitch.h"
#include "tests/support/GraphInspector.h"

namespace {

const wchar_t* const szTitle = szMainTitle;

using MainDialogBuildTest = MainDialogFixture;

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
        EXPECT_EQ(std::wstring(GetDefaultIceServer()), ListBoxItem(hDlg, IDC_ICE_LIST, 0));

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
        SetControlText(hDlg, IDC_URL, L"http://127.0.0.1:50321/live");
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        EXPECT_EQ(L"http://127.0.0.1:50321/live", GetItemText(hDlg, IDC_URL_CURRENT));

        // "auto" in any case sets no URL: the filter's own default shows.
        SetControlText(hDlg, IDC_URL, L"AuTo");
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
        EXPECT_EQ(ExpectedBoxText(L"Encoders are not selected.", S_FALSE, L"Error 0x1"),
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
        EXPECT_EQ(ExpectedBoxText(L".grf file not selected", E_INVALIDARG, L"Error 0x80070057"),
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
        EXPECT_EQ(ExpectedBoxText(L"Can't build graph", E_ACCESSDENIED, L"Error 0x80070005"),
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
        EXPECT_EQ(ExpectedBoxText(L"Can't add ICE Server", E_INVALIDARG, L"Error 0x80070057"),
                  PressExpectingBox(hDlg, IDC_BUILD_GRAPH));
        // The build goes on all the same.
        EXPECT_TRUE(IsEnabled(hDlg, IDC_PLAY));
        EXPECT_EQ(0, ::SendDlgItemMessageW(hDlg, IDC_ICE_LIST, LB_GETCOUNT, 0, 0));
    });
}

TEST_F(MainDialogBuildTest, ShowGraphWithoutAGraph)
{
    Run([&](HWND hDlg) {
        EXPECT_EQ(ExpectedBoxText(L"Can't show graph", E_FAIL, L"Error 0x80004005"), PressExpectingBox(hDlg, IDC_SHOW_GRAPH));
    });
}
