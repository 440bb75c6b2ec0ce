#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graph/Graph.h"
#include "ui/IceDlg.h"
#include "ui/StunServers.h"
#include "tests/support/GraphInspector.h"
#include "tests/support/ReportCapture.h"
#include "tests/support/WindowDriver.h"

namespace {

const wchar_t szCaption[] = L"Add ICE Server";

// What the driver thread saw of the dialog; checked on the test's thread
// once the modal loop has ended.
struct CDialogView
{
    bool bFound = false;
    std::wstring uri, user, pwd;
    std::vector<std::wstring> items;
    bool bFocusOnUser = false;
};

CDialogView ReadDialog(HWND hDlg)
{
    CDialogView view;
    view.bFound = true;
    view.uri = GetItemText(hDlg, IDC_ICE_URI);
    view.user = GetItemText(hDlg, IDC_ICE_USER);
    view.pwd = GetItemText(hDlg, IDC_ICE_PASSWORD);
    HWND hCombo = ::GetDlgItem(hDlg, IDC_ICE_URI);
    LRESULT nCount = ::SendMessageW(hCombo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < nCount; ++i)
    {
        std::wstring item(::SendMessageW(hCombo, CB_GETLBTEXTLEN, i, 0) + 1, L'\0');
        ::SendMessageW(hCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&item[0]));
        item.resize(wcslen(item.c_str()));
        view.items.push_back(item);
    }
    // The focus belongs to the dialog's thread, not to the driver's.
    GUITHREADINFO gti = {sizeof(gti)};
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(hDlg, nullptr), &gti))
        view.bFocusOnUser = gti.hwndFocus == ::GetDlgItem(hDlg, IDC_ICE_USER);
    return view;
}

// The platform's own description of a code, as the message box quotes it.
std::wstring SystemText(HRESULT hr)
{
    wchar_t sz[1024] = L"";
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(hr),
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), sz, ARRAYSIZE(sz), nullptr);
    return sz;
}

void Press(HWND hDlg, int nID)
{
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, nID)));
}

void SetItemText(HWND hDlg, int nID, const wchar_t* pszText)
{
    ::SendMessageW(::GetDlgItem(hDlg, nID), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszText));
}

TEST(IceDlg, OpensWithTheDefaultServerAndFocusOnTheUserName)
{
    CGraph graph;
    CIceDlg dlg;
    CDialogView view;
    CDriver driver([&view] {
        HWND hDlg = WaitForDialog(szCaption);
        if (hDlg == nullptr)
            return;
        view = ReadDialog(hDlg);
        Press(hDlg, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal(&graph, nullptr));
    driver.Join();

    ASSERT_TRUE(view.bFound);
    EXPECT_EQ(std::wstring(GetDefaultIceServer()), view.uri);
    EXPECT_EQ(L"", view.user);
    EXPECT_EQ(L"", view.pwd);
    EXPECT_TRUE(view.bFocusOnUser);
    ASSERT_EQ(nStunServers, view.items.size());
    for (UINT i = 0; i < nStunServers; ++i)
        EXPECT_EQ(std::wstring(GetStunServer(i)), view.items[i]) << i;
}

TEST(IceDlg, OkWithAnEmptyUriStaysOpenSilently)
{
    CReportCapture capture;
    CGraph graph;
    CIceDlg dlg;
    bool bFound = false, bReturned = false, bOpen = false, bBox = false;
    CDriver driver([&] {
        HWND hDlg = WaitForDialog(szCaption);
        if (hDlg == nullptr)
            return;
        bFound = true;
        SetItemText(hDlg, IDC_ICE_URI, L"");
        SetItemText(hDlg, IDC_ICE_USER, L"alice");
        // Sent, so that the handler has run when this returns; the time-out
        // only keeps a wrongly shown box from blocking the driver for good.
        DWORD_PTR dwResult = 0;
        bReturned = ::SendMessageTimeoutW(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                          reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDOK)), SMTO_NORMAL, 5000,
                                          &dwResult) != 0;
        bOpen = ::IsWindow(hDlg) && ::IsWindowVisible(hDlg);
        bBox = WaitForMessageBox(L"Https Test", nullptr, 0);
        Press(hDlg, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal(&graph, nullptr));
    driver.Join();

    ASSERT_TRUE(bFound);
    EXPECT_TRUE(bReturned);
    EXPECT_TRUE(bOpen);
    EXPECT_FALSE(bBox);
    // Adding to a graph-less CGraph would have flagged its missing graph.
    EXPECT_TRUE(capture.Asserts().empty());
}

// Without a graph the addition fails (E_FAIL); the refusal is reported over
// the dialog, which stays open with what was typed.
TEST(IceDlg, ARefusedServerIsReportedAndTheDialogStaysOpen)
{
    CReportCapture capture;
    CGraph graph;
    CIceDlg dlg;
    bool bFound = false, bBox = false, bOpen = false;
    MessageBoxInfo box;
    CDialogView after;
    HWND hDlgSeen = nullptr;
    CDriver driver([&] {
        HWND hDlg = WaitForDialog(szCaption);
        if (hDlg == nullptr)
            return;
        bFound = true;
        hDlgSeen = hDlg;
        SetItemText(hDlg, IDC_ICE_URI, L"turn:turn.example.org:3478");
        SetItemText(hDlg, IDC_ICE_USER, L"alice");
        SetItemText(hDlg, IDC_ICE_PASSWORD, L"secret");
        Press(hDlg, IDOK);
        bBox = WaitForMessageBox(L"Https Test", &box);
        bOpen = ::IsWindow(hDlg) && ::IsWindowVisible(hDlg);
        after = ReadDialog(hDlg);
        Press(hDlg, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal(&graph, nullptr));
    driver.Join();

    ASSERT_TRUE(bFound);
    ASSERT_TRUE(bBox);
    EXPECT_EQ(L"Add ICE Server error\n" + SystemText(E_FAIL) + L"\nError 0x80004005", box.text);
    EXPECT_TRUE(box.bIcon);
    EXPECT_EQ(hDlgSeen, box.hWndOwner);
    EXPECT_TRUE(bOpen);
    EXPECT_EQ(L"turn:turn.example.org:3478", after.uri);
    EXPECT_EQ(L"alice", after.user);
    EXPECT_EQ(L"secret", after.pwd);
    EXPECT_TRUE(capture.HasAssert(L"m_spGraph != 0"));
}

// With the Corvasta stand-in in the graph: what the filter takes ends the
// dialog, what it refuses keeps it open.
class CIceDlgWithFilter : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, m_spFilter.CoCreateInstance(CLSID_CorvastaFilter, nullptr, CLSCTX_INPROC_SERVER));
        ASSERT_EQ(S_OK, AttachServer(m_graph, m_spFilter));
    }
    void TearDown() override { m_graph.ReleaseGraph(); }

    CGraph m_graph;
    CComPtr<IBaseFilter> m_spFilter;
};

TEST_F(CIceDlgWithFilter, AnAcceptedServerEndsWithOkAndEmptyFieldsGoAsNone)
{
    CIceDlg dlg;
    bool bFound = false;
    CDriver driver([&bFound] {
        HWND hDlg = WaitForDialog(szCaption);
        if (hDlg == nullptr)
            return;
        bFound = true;
        Press(hDlg, IDOK);
        // Should the filter refuse, the box and the dialog are closed all the
        // same, so that the test ends.
        if (!WaitForWindowGone(hDlg))
        {
            WaitForMessageBox(L"Https Test", nullptr);
            Press(hDlg, IDCANCEL);
        }
    });
    EXPECT_EQ(IDOK, dlg.DoModal(&m_graph, nullptr));
    driver.Join();

    ASSERT_TRUE(bFound);
    ASSERT_EQ(1, m_graph.GetIceServerCount());
    CComBSTR cbsURI, cbsUser, cbsPwd;
    ASSERT_EQ(S_OK, m_graph.GetIceServer(0, &cbsURI, &cbsUser, &cbsPwd));
    EXPECT_EQ(std::wstring(GetDefaultIceServer()), std::wstring(cbsURI));
    EXPECT_EQ(nullptr, cbsUser.m_str);
    EXPECT_EQ(nullptr, cbsPwd.m_str);
}

TEST_F(CIceDlgWithFilter, ARefusalShowsTheFiltersCodeAndCancelAddsNothing)
{
    CReportCapture capture;
    CIceDlg dlg;
    bool bFound = false, bBox = false, bOpen = false;
    MessageBoxInfo box;
    CDriver driver([&] {
        HWND hDlg = WaitForDialog(szCaption);
        if (hDlg == nullptr)
            return;
        bFound = true;
        SetItemText(hDlg, IDC_ICE_URI, L"not a server");
        Press(hDlg, IDOK);
        bBox = WaitForMessageBox(L"Https Test", &box);
        bOpen = ::IsWindow(hDlg) && ::IsWindowVisible(hDlg);
        Press(hDlg, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal(&m_graph, nullptr));
    driver.Join();

    ASSERT_TRUE(bFound);
    ASSERT_TRUE(bBox);
    EXPECT_EQ(L"Add ICE Server error\n" + SystemText(E_INVALIDARG) + L"\nError 0x80070057", box.text);
    EXPECT_TRUE(bOpen);
    EXPECT_EQ(0, m_graph.GetIceServerCount());
}

TEST(IceDlg, NoGraphObjectReturnsThreeWithoutOpening)
{
    CIceDlg dlg;
    EXPECT_EQ(3, dlg.DoModal(nullptr, nullptr));
}

} // namespace
