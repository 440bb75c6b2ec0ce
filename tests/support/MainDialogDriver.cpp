#include "MainDialogDriver.h"

#include "tests/support/GraphInspector.h"

std::wstring SystemText(HRESULT hr)
{
    wchar_t sz[1024] = L"";
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(hr),
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), sz, 1023, nullptr);
    return sz;
}

std::wstring ExpectedBoxText(const wchar_t* pszText, HRESULT hr, const wchar_t* pszCodeLine)
{
    std::wstring sys = SystemText(hr);
    return std::wstring(pszText) + L"\n" + (sys.empty() ? L"" : sys + L"\n") + pszCodeLine;
}

std::wstring ListBoxItem(HWND hDlg, int nID, int nItem)
{
    wchar_t sz[512] = L"";
    ::SendDlgItemMessageW(hDlg, nID, LB_GETTEXT, nItem, reinterpret_cast<LPARAM>(sz));
    return sz;
}

int ListBoxCount(HWND hDlg, int nID)
{
    return static_cast<int>(::SendDlgItemMessageW(hDlg, nID, LB_GETCOUNT, 0, 0));
}

void SelectComboText(HWND hDlg, int nID, const wchar_t* pszText)
{
    LRESULT n = ::SendDlgItemMessageW(hDlg, nID, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(pszText));
    ::SendDlgItemMessageW(hDlg, nID, CB_SETCURSEL, n, 0);
}

void SetControlText(HWND hDlg, int nID, const wchar_t* pszText)
{
    ::SendMessageW(::GetDlgItem(hDlg, nID), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszText));
}

void AddIceServerInDialog(HWND hDlg, const wchar_t* pszUri, const wchar_t* pszUser, const wchar_t* pszPwd)
{
    PressButton(hDlg, IDC_ICE_ADD);
    HWND hIce = WaitForDialog(L"Add ICE Server");
    ASSERT_NE(nullptr, hIce);
    SetControlText(hIce, IDC_ICE_URI, pszUri);
    SetControlText(hIce, IDC_ICE_USER, pszUser);
    SetControlText(hIce, IDC_ICE_PASSWORD, pszPwd);
    ::PostMessageW(hIce, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(WaitForWindowGone(hIce));
    ::SendMessageW(hDlg, WM_NULL, 0, 0);
}

std::wstring WaitForMainBox(HWND hDlg, bool* pbIcon)
{
    MessageBoxInfo info;
    if (!WaitForMessageBox(szMainTitle, &info))
    {
        ADD_FAILURE() << "no message box";
        return std::wstring();
    }
    // Answered only once the handler that showed the box has returned.
    ::SendMessageW(hDlg, WM_NULL, 0, 0);
    if (pbIcon != nullptr)
        *pbIcon = info.bIcon;
    return info.text;
}

std::wstring PressExpectingBox(HWND hDlg, int nID, bool* pbIcon)
{
    PressButton(hDlg, nID);
    return WaitForMainBox(hDlg, pbIcon);
}

bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    while (!pred())
    {
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        ::Sleep(20);
    }
    return true;
}

bool WaitForText(HWND hDlg, int nID, const std::function<bool(const std::wstring&)>& pred, DWORD dwTimeoutMs)
{
    return WaitUntil([&] { return pred(GetItemText(hDlg, nID)); }, dwTimeoutMs);
}

std::wstring HostUrl(const wchar_t* pszAfterHost)
{
    wchar_t szAddr[256] = L"";
    EXPECT_EQ(S_OK, GetHostAddr(szAddr, ARRAYSIZE(szAddr)));
    return std::wstring(L"http://") + szAddr + pszAfterHost;
}

void MainDialogFixture::Run(const std::function<void(HWND)>& fDrive)
{
    RunHostedDialog(m_dlg, szMainTitle, [&](HWND hDlg) {
        fDrive(hDlg);
        // A message box that no step expected would keep the dialog open.
        MessageBoxInfo info;
        while (WaitForMessageBox(szMainTitle, &info, 0))
            ADD_FAILURE() << "unexpected message box: " << testing::PrintToString(info.text);
        ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
    });
}

OAFilterState MainDialogFixture::GraphState(HWND hDlg)
{
    OAFilterState state = State_Stopped;
    OnUi(hDlg, [&] {
        CComQIPtr<IMediaControl> spControl(CGraphInspector::Graph(m_dlg.GetGraph()));
        if (spControl != nullptr)
            spControl->GetState(1000, &state);
    });
    return state;
}

bool MainDialogFixture::WaitForState(HWND hDlg, OAFilterState state)
{
    return WaitUntil([&] { return GraphState(hDlg) == state; });
}

void MainDialogFixture::Notify(HWND hDlg, long lCode, LONG_PTR lParam1)
{
    OnUi(hDlg, [&] {
        CComQIPtr<IMediaEventSink> spSink(CGraphInspector::Graph(m_dlg.GetGraph()));
        spSink->Notify(lCode, lParam1, 0);
    });
}
