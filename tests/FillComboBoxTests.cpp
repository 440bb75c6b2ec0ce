// Filling the source and encoder lists from device categories registered
// for the test, through the real system device enumerator.
#include <gtest/gtest.h>

#include "ui/MainDialog.h"
#include "tests/support/DevEnumFixture.h"
#include "tests/support/DialogHost.h"

#include <vector>

namespace {

struct ListState
{
    HRESULT hr = E_UNEXPECTED;
    std::vector<std::wstring> items;
    int nSel = -2;
};

// Fills combo box nID of a live main dialog from the category and reads it.
ListState Fill(int nID, const GUID& category, const wchar_t* const* rgpszPreferred, int nPreferred)
{
    ListState state;
    CHostedDialog<CMainDialog> dlg;
    CDriver driver([&] {
        HWND hDlg = WaitForDialog(L"Corvasta Test");
        if (hDlg == nullptr)
            return;
        RunOnWindowThread(hDlg, [&] { state.hr = dlg.FillComboBox(nID, category, rgpszPreferred, nPreferred); });
        HWND hCombo = ::GetDlgItem(hDlg, nID);
        int nCount = static_cast<int>(::SendMessageW(hCombo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < nCount; i++)
        {
            wchar_t sz[256] = L"";
            ::SendMessageW(hCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(sz));
            state.items.push_back(sz);
        }
        state.nSel = static_cast<int>(::SendMessageW(hCombo, CB_GETCURSEL, 0, 0));
        ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
    });
    dlg.DoModal(nullptr, 0);
    return state;
}

using Items = std::vector<std::wstring>;

} // namespace

TEST(FillComboBoxTest, SourceListShowsEveryDeviceAndPrefersTheGenerator)
{
    {
        CTestCategory cat;
        cat.Add(L"Camera A");
        cat.Add(L"Ormidex Video Generator");
        cat.Add(L"Camera B");
        ListState s = Fill(IDC_SOURCE, cat.Id(), nullptr, 0);
        EXPECT_EQ(S_OK, s.hr);
        EXPECT_EQ((Items{L"Camera A", L"Ormidex Video Generator", L"Camera B"}), s.items);
        EXPECT_EQ(1, s.nSel);
    }
    {
        // The preferred source is matched with its exact case only.
        CTestCategory cat;
        cat.Add(L"Camera A");
        cat.Add(L"ormidex video generator");
        ListState s = Fill(IDC_SOURCE, cat.Id(), nullptr, 0);
        EXPECT_EQ((Items{L"Camera A", L"ormidex video generator"}), s.items);
        EXPECT_EQ(0, s.nSel);
    }
    {
        // Without preferred names, only the source list preselects.
        CTestCategory cat;
        cat.Add(L"Camera A");
        cat.Add(L"Ormidex Video Generator");
        ListState s = Fill(IDC_ENC_VIDEO, cat.Id(), nullptr, 0);
        EXPECT_EQ(0, s.nSel);
    }
}

TEST(FillComboBoxTest, EncoderListsShowOnlyPreferredNames)
{
    struct Case
    {
        int nID;
        Items registered;
        Items expected;
        int nSel;
    } cases[] = {
        // The first preferred name is preselected wherever it stands; case is ignored.
        {IDC_ENC_VIDEO,
         {L"Cinepak Codec", L"webm vp8 encoder filter", L"ORMIDEX QS ENCODER", L"Elecard AVC Video Encoder"},
         {L"Not selected", L"webm vp8 encoder filter", L"ORMIDEX QS ENCODER", L"Elecard AVC Video Encoder"},
         2},
        // Installed encoders, none preferred: only "Not selected", selected.
        {IDC_ENC_VIDEO, {L"Cinepak Codec", L"Intel IYUV codec"}, {L"Not selected"}, 0},
        // Preferred but not the first: listed, "Not selected" stays selected.
        {IDC_ENC_AUDIO, {L"CCITT u-Law", L"Opus Encoder"}, {L"Not selected", L"CCITT u-Law", L"Opus Encoder"}, 0},
        {IDC_ENC_AUDIO, {L"CCITT A-Law", L"Ormidex Opus Encoder"}, {L"Not selected", L"CCITT A-Law", L"Ormidex Opus Encoder"}, 2},
        // A partial name is no match.
        {IDC_ENC_AUDIO, {L"Ormidex Opus"}, {L"Not selected"}, 0},
    };
    for (const Case& c : cases)
    {
        CTestCategory cat;
        for (const std::wstring& name : c.registered)
            cat.Add(name.c_str());
        const wchar_t* const* rgpsz =
            c.nID == IDC_ENC_VIDEO ? CMainDialog::s_rgpszVideoEncoders : CMainDialog::s_rgpszAudioEncoders;
        ListState s = Fill(c.nID, cat.Id(), rgpsz, 4);
        EXPECT_EQ(S_OK, s.hr);
        EXPECT_EQ(c.expected, s.items);
        EXPECT_EQ(c.nSel, s.nSel) << c.registered.size();
    }
}

TEST(FillComboBoxTest, NameMatchingTwoPreferredEntriesIsAddedTwice)
{
    CTestCategory cat;
    cat.Add(L"Twin");
    const wchar_t* rgpsz[] = {L"twin", L"TWIN"};
    ListState s = Fill(IDC_ENC_AUDIO, cat.Id(), rgpsz, 2);
    EXPECT_EQ((Items{L"Not selected", L"Twin", L"Twin"}), s.items);
    EXPECT_EQ(1, s.nSel);
}

TEST(FillComboBoxTest, EmptyCategoryAndUnreadableNames)
{
    {
        CTestCategory cat; // nothing registered
        ListState s = Fill(IDC_SOURCE, cat.Id(), nullptr, 0);
        EXPECT_EQ(S_FALSE, s.hr);
        EXPECT_TRUE(s.items.empty());
        EXPECT_EQ(CB_ERR, s.nSel);

        s = Fill(IDC_ENC_VIDEO, cat.Id(), CMainDialog::s_rgpszVideoEncoders, 4);
        EXPECT_EQ(S_FALSE, s.hr);
        EXPECT_EQ((Items{L"Not selected"}), s.items);
        EXPECT_EQ(CB_ERR, s.nSel);
    }
    {
        // Devices whose name can't be read are left out silently.
        CTestCategory cat;
        cat.AddUnreadable(true);
        cat.Add(L"Camera A");
        cat.AddUnreadable(false);
        ListState s = Fill(IDC_SOURCE, cat.Id(), nullptr, 0);
        EXPECT_EQ(S_OK, s.hr);
        EXPECT_EQ((Items{L"Camera A"}), s.items);
        EXPECT_EQ(0, s.nSel);
    }
    {
        // Nothing readable at all counts as an empty category.
        CTestCategory cat;
        cat.AddUnreadable(true);
        ListState s = Fill(IDC_ENC_AUDIO, cat.Id(), CMainDialog::s_rgpszAudioEncoders, 4);
        EXPECT_EQ(S_FALSE, s.hr);
        EXPECT_EQ((Items{L"Not selected"}), s.items);
        EXPECT_EQ(CB_ERR, s.nSel);
    }
}
