// The URL, application filter and ICE server commands from the dialog.
#include "tests/support/MainDialogDriver.h" // first: it brings winsock2.h

#include <vfwmsgs.h>

namespace {

using ServerSettingsTest = MainDialogFixture;

void BuildVideoOnly(HWND hDlg)
{
    SetControlText(hDlg, IDC_URL, L"http://127.0.0.1:50421/");
    SelectComboText(hDlg, IDC_ENC_AUDIO, L"Not selected");
    PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
}

} // namespace

TEST_F(ServerSettingsTest, WithoutAGraph)
{
    Run([&](HWND hDlg) {
        // Set and Remove do nothing and say nothing.
        PressButtonAndWait(hDlg, IDC_URL_SET);
        PressButtonAndWait(hDlg, IDC_ICE_REMOVE);
        EXPECT_EQ(L"", GetItemText(hDlg, IDC_URL_CURRENT));
        // Apply reaches a filter that isn't there.
        SetControlText(hDlg, IDC_FILTER, L"app");
        EXPECT_TRUE(IsEnabled(hDlg, IDC_FILTER_APPLY));
        EXPECT_EQ(ExpectedBoxText(L"m_graph.SetFilter() FAILED", E_FAIL, L"Error 0x80004005"),
                  PressExpectingBox(hDlg, IDC_FILTER_APPLY));
        EXPECT_EQ(L"app", GetItemText(hDlg, IDC_FILTER));
        EXPECT_TRUE(IsEnabled(hDlg, IDC_FILTER_APPLY));
    });
}

TEST_F(ServerSettingsTest, SetUrl)
{
    Run([&](HWND hDlg) {
        BuildVideoOnly(hDlg);
        SetControlText(hDlg, IDC_URL, L"");
        EXPECT_EQ(ExpectedBoxText(L"Invalid URL", E_INVALIDARG, L"Error 0x80070057"),
                  PressExpectingBox(hDlg, IDC_URL_SET));

        SetControlText(hDlg, IDC_URL, L"http://+:50422/cam");
        PressButtonAndWait(hDlg, IDC_URL_SET);
        EXPECT_EQ(HostUrl(L":50422/cam"), GetItemText(hDlg, IDC_URL_CURRENT));

        // "auto" means nothing special here: the filter refuses it.
        SetControlText(hDlg, IDC_URL, L"auto");
        EXPECT_EQ(ExpectedBoxText(L"Can't set URL", E_INVALIDARG, L"Error 0x80070057"),
                  PressExpectingBox(hDlg, IDC_URL_SET));
        EXPECT_EQ(HostUrl(L":50422/cam"), GetItemText(hDlg, IDC_URL_CURRENT));
    });
}

TEST_F(ServerSettingsTest, ApplyShowsWhatTheFilterHolds)
{
    Run([&](HWND hDlg) {
        BuildVideoOnly(hDlg);
        SetControlText(hDlg, IDC_FILTER, L"chrome");
        ::SendMessageW(::GetDlgItem(hDlg, IDC_FILTER_ENABLED), BM_CLICK, 0, 0);
        PressButtonAndWait(hDlg, IDC_FILTER_APPLY);
        EXPECT_EQ(L"chrome", GetItemText(hDlg, IDC_FILTER));
        EXPECT_EQ(BST_CHECKED, ::IsDlgButtonChecked(hDlg, IDC_FILTER_ENABLED));
        EXPECT_FALSE(IsEnabled(hDlg, IDC_FILTER_APPLY));

        // An empty name part comes back empty and off, whatever the flag.
        SetControlText(hDlg, IDC_FILTER, L"");
        PressButtonAndWait(hDlg, IDC_FILTER_APPLY);
        EXPECT_EQ(L"", GetItemText(hDlg, IDC_FILTER));
        EXPECT_EQ(BST_UNCHECKED, ::IsDlgButtonChecked(hDlg, IDC_FILTER_ENABLED));
        EXPECT_FALSE(IsEnabled(hDlg, IDC_FILTER_APPLY));
    });
}

TEST_F(ServerSettingsTest, AddAndRemoveIceServers)
{
    Run([&](HWND hDlg) {
        BuildVideoOnly(hDlg);
        ASSERT_EQ(1, ListBoxCount(hDlg, IDC_ICE_LIST)); // the default

        AddIceServerInDialog(hDlg, L"turn:turn.example.org:3478", L"u", L"p");
        AddIceServerInDialog(hDlg, L"stun:stun.example.org:3478", L"u", L"");
        // A password without a user isn't shown.
        AddIceServerInDialog(hDlg, L"turns:turn.example.org:5349", L"", L"secret");
        ASSERT_EQ(4, ListBoxCount(hDlg, IDC_ICE_LIST));
        EXPECT_EQ(L"turn:turn.example.org:3478 [u | p]", ListBoxItem(hDlg, IDC_ICE_LIST, 1));
        EXPECT_EQ(L"stun:stun.example.org:3478 [u]", ListBoxItem(hDlg, IDC_ICE_LIST, 2));
        EXPECT_EQ(L"turns:turn.example.org:5349", ListBoxItem(hDlg, IDC_ICE_LIST, 3));

        // Remove takes the selected server; nothing selected, nothing removed.
        ::SendDlgItemMessageW(hDlg, IDC_ICE_LIST, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        PressButtonAndWait(hDlg, IDC_ICE_REMOVE);
        EXPECT_EQ(4, ListBoxCount(hDlg, IDC_ICE_LIST));
        ::SendDlgItemMessageW(hDlg, IDC_ICE_LIST, LB_SETCURSEL, 1, 0);
        PressButtonAndWait(hDlg, IDC_ICE_REMOVE);
        ASSERT_EQ(3, ListBoxCount(hDlg, IDC_ICE_LIST));
        EXPECT_EQ(L"stun:stun.example.org:3478 [u]", ListBoxItem(hDlg, IDC_ICE_LIST, 1));
    });
}
