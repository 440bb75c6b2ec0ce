// The main dialog as the user meets it: the template, the initial state,
// control states and the ways of closing it, driven through real windows.
#include <gtest/gtest.h>

#include "ui/MainDialog.h"

#include <commctrl.h>
#include "tests/support/DialogHost.h"
#include "tests/support/GraphInspector.h"

namespace {

const wchar_t szTitle[] = L"Corvasta Test";

// Runs the main dialog modally; fDrive gets its window on a driver thread
// and must end it. Returns DoModal's result.
INT_PTR RunMainDialog(const std::function<void(HWND)>& fDrive, CHostedDialog<CMainDialog>* pDlg = nullptr)
{
    CHostedDialog<CMainDialog> dlgLocal;
    return RunHostedDialog(pDlg != nullptr ? *pDlg : dlgLocal, szTitle, fDrive);
}

void Close(HWND hDlg, WORD wID = IDCANCEL)
{
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(wID, BN_CLICKED), 0);
}

struct ControlSpec
{
    int nID;
    const wchar_t* pszClass;
    const wchar_t* pszText;
    RECT rcDlu; // x, y, width, height in dialog units
    bool bTabStop;
};

// The template, in tab order; -1 marks labels and group boxes.
const ControlSpec s_rgControls[] = {
    {-1, L"Button", L"Graph creation", {7, 7, 279, 86}, false},
    {201, L"Button", L"Load...", {15, 18, 53, 14}, true},
    {202, L"Edit", nullptr, {69, 19, 210, 12}, true},
    {203, L"Button", L"Source", {16, 39, 39, 10}, true},
    {204, L"ComboBox", nullptr, {69, 38, 125, 50}, true},
    {-1, L"Static", L"Video encoder", {16, 56, 48, 8}, false},
    {205, L"ComboBox", nullptr, {69, 55, 125, 100}, true},
    {-1, L"Static", L"Audio encoder", {16, 73, 48, 8}, false},
    {206, L"ComboBox", nullptr, {69, 72, 125, 100}, true},
    {207, L"Button", L"Build graph", {209, 37, 70, 14}, true},
    {208, L"Button", L"Show graph", {209, 55, 70, 14}, true},
    {-1, L"Button", L"Property pages", {7, 95, 279, 36}, false},
    {210, L"Button", L"Source", {15, 109, 50, 14}, true},
    {211, L"Button", L"Video encoder", {78, 109, 60, 14}, true},
    {212, L"Button", L"Audio encoder", {151, 109, 60, 14}, true},
    {213, L"Button", L"Server", {224, 109, 54, 14}, true},
    {-1, L"Button", L"URL", {7, 133, 279, 51}, false},
    {220, L"ComboBox", nullptr, {15, 144, 102, 94}, true},
    {221, L"Button", L"Set", {121, 144, 50, 14}, true},
    {222, L"Edit", nullptr, {176, 145, 102, 12}, true},
    {223, L"Button", L"Apply", {15, 163, 50, 14}, true},
    {224, L"Edit", nullptr, {69, 164, 168, 12}, true},
    {225, L"Button", L"Enabled", {241, 165, 37, 10}, true},
    {-1, L"Button", L"ICE Servers", {7, 186, 279, 52}, false},
    {230, L"ListBox", nullptr, {15, 197, 209, 34}, true},
    {231, L"Button", L"Add...", {228, 197, 50, 14}, true},
    {232, L"Button", L"Remove", {228, 217, 50, 14}, true},
    {-1, L"Static", L"Statistic", {11, 244, 26, 8}, false},
    {240, L"Static", nullptr, {43, 243, 243, 10}, false},
    {-1, L"Static", L"Positions", {11, 264, 29, 8}, false},
    {241, L"Static", nullptr, {43, 264, 126, 9}, false},
    {242, L"msctls_trackbar32", nullptr, {15, 276, 270, 12}, true},
    {250, L"Button", L"Play", {7, 297, 50, 14}, true},
    {251, L"Button", L"Pause", {58, 297, 50, 14}, true},
    {252, L"Button", L"Stop", {109, 297, 50, 14}, true},
    {253, L"Button", L"Show output in browser", {177, 297, 109, 14}, true},
};

} // namespace

TEST(MainDialogTest, TemplateControlsInTabOrder)
{
    RunMainDialog([](HWND hDlg) {
        EXPECT_EQ(szTitle, GetText(hDlg));
        LONG lStyle = ::GetWindowLongW(hDlg, GWL_STYLE);
        EXPECT_EQ(static_cast<LONG>(WS_POPUP | WS_CAPTION | WS_SYSMENU),
                  lStyle & static_cast<LONG>(WS_POPUP | WS_CAPTION | WS_SYSMENU));

        RECT rcClient = {0, 0, 293, 318};
        ::MapDialogRect(hDlg, &rcClient);
        RECT rcActual;
        ::GetClientRect(hDlg, &rcActual);
        EXPECT_EQ(rcClient.right, rcActual.right);
        EXPECT_EQ(rcClient.bottom, rcActual.bottom);

        HWND hChild = ::GetWindow(hDlg, GW_CHILD);
        for (const ControlSpec& spec : s_rgControls)
        {
            ASSERT_NE(nullptr, hChild) << "missing control " << spec.nID;
            SCOPED_TRACE(testing::Message() << "control " << spec.nID << " " << GetText(hChild));
            if (spec.nID != -1)
            {
                EXPECT_EQ(spec.nID, ::GetDlgCtrlID(hChild));
            }
            EXPECT_EQ(spec.pszClass, GetClass(hChild));
            if (spec.pszText != nullptr)
            {
                EXPECT_EQ(spec.pszText, GetText(hChild));
            }
            // The dialog manager maps position and size separately.
            RECT rcPos = {spec.rcDlu.left, spec.rcDlu.top, 0, 0};
            RECT rcSize = {spec.rcDlu.right, spec.rcDlu.bottom, 0, 0};
            ::MapDialogRect(hDlg, &rcPos);
            ::MapDialogRect(hDlg, &rcSize);
            RECT rc = {rcPos.left, rcPos.top, rcPos.left + rcSize.left, rcPos.top + rcSize.top};
            RECT rcWnd;
            ::GetWindowRect(hChild, &rcWnd);
            ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rcWnd), 2);
            EXPECT_EQ(rc.left, rcWnd.left);
            EXPECT_EQ(rc.top, rcWnd.top);
            EXPECT_EQ(rc.right - rc.left, rcWnd.right - rcWnd.left);
            if (spec.pszClass != std::wstring(L"ComboBox")) // a combo box's height is its list's
            {
                EXPECT_EQ(rc.bottom - rc.top, rcWnd.bottom - rcWnd.top);
            }
            LONG lChildStyle = ::GetWindowLongW(hChild, GWL_STYLE);
            EXPECT_TRUE(lChildStyle & WS_VISIBLE);
            EXPECT_EQ(spec.bTabStop, (lChildStyle & WS_TABSTOP) != 0);
            if (spec.pszClass == std::wstring(L"Button"))
            {
                EXPECT_NE(BS_DEFPUSHBUTTON, lChildStyle & 0xF) << "the dialog has no default push button";
            }
            hChild = ::GetWindow(hChild, GW_HWNDNEXT);
        }
        EXPECT_EQ(nullptr, hChild) << "no further controls";

        // Styles the user relies on.
        auto style = [hDlg](int nID) { return ::GetWindowLongW(::GetDlgItem(hDlg, nID), GWL_STYLE); };
        EXPECT_EQ(CBS_DROPDOWNLIST, style(IDC_SOURCE) & 3);
        EXPECT_EQ(CBS_DROPDOWN, style(IDC_URL) & 3);
        EXPECT_TRUE(style(IDC_URL) & CBS_AUTOHSCROLL);
        EXPECT_TRUE(style(IDC_URL_CURRENT) & ES_READONLY);
        EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(hDlg, IDC_URL_CURRENT), GWL_EXSTYLE) & WS_EX_STATICEDGE);
        EXPECT_EQ(BS_AUTOCHECKBOX, style(IDC_SOURCE_CHECK) & 0xF);
        EXPECT_EQ(BS_AUTOCHECKBOX, style(IDC_FILTER_ENABLED) & 0xF);
        EXPECT_TRUE(style(IDC_ICE_LIST) & LBS_NOTIFY);
        EXPECT_TRUE(style(IDC_ICE_LIST) & LBS_NOINTEGRALHEIGHT);
        EXPECT_EQ(static_cast<LONG>(TBS_BOTH | TBS_NOTICKS | TBS_ENABLESELRANGE),
                  style(IDC_SLIDER) & static_cast<LONG>(TBS_BOTH | TBS_NOTICKS | TBS_ENABLESELRANGE));
        EXPECT_TRUE(style(IDC_STATISTIC) & SS_SUNKEN);
        EXPECT_TRUE(style(IDC_POSITIONS) & SS_SUNKEN);
        Close(hDlg);
    });
}

TEST(MainDialogTest, InitialState)
{
    RunMainDialog([](HWND hDlg) {
        EXPECT_EQ(BST_CHECKED, ::IsDlgButtonChecked(hDlg, IDC_SOURCE_CHECK));
        EXPECT_EQ(CMainDialog::s_szDefaultGrfFile, GetItemText(hDlg, IDC_GRF_FILE));

        HWND hUrl = ::GetDlgItem(hDlg, IDC_URL);
        const wchar_t* rgpszPresets[] = {L"http://+:50128/",        L"http://localhost:50128/",
                                         L"http://127.0.0.1:50000/", L"https://localhost:443/",
                                         L"https://127.0.0.1:50000/", L"https://localhost:50000/"};
        ASSERT_EQ(6, ::SendMessageW(hUrl, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < 6; i++)
        {
            wchar_t sz[256] = L"";
            ::SendMessageW(hUrl, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(sz));
            EXPECT_STREQ(rgpszPresets[i], sz);
        }
        EXPECT_EQ(0, ::SendMessageW(hUrl, CB_GETCURSEL, 0, 0));
        EXPECT_EQ(L"http://+:50128/", GetText(hUrl));
        EXPECT_EQ(L"", GetItemText(hDlg, IDC_FILTER));
        EXPECT_EQ(BST_UNCHECKED, ::IsDlgButtonChecked(hDlg, IDC_FILTER_ENABLED));
        EXPECT_EQ(L"", GetItemText(hDlg, IDC_POSITIONS));

        HWND hSlider = ::GetDlgItem(hDlg, IDC_SLIDER);
        EXPECT_EQ(0, ::SendMessageW(hSlider, TBM_GETRANGEMIN, 0, 0));
        EXPECT_EQ(1000, ::SendMessageW(hSlider, TBM_GETRANGEMAX, 0, 0));
        EXPECT_EQ(0, ::SendMessageW(hSlider, TBM_GETPOS, 0, 0));
        EXPECT_EQ(0, ::SendMessageW(hSlider, TBM_GETSELSTART, 0, 0));
        EXPECT_EQ(0, ::SendMessageW(hSlider, TBM_GETSELEND, 0, 0));

        // Control states after start-up.
        for (int nID : {201, 202, 203, 204, 205, 206, 207, 208, 220, 221, 222, 224, 225, 230})
            EXPECT_TRUE(IsEnabled(hDlg, nID)) << nID;
        for (int nID : {210, 211, 212, 213, 223, 231, 232, 242, 250, 251, 252, 253})
            EXPECT_FALSE(IsEnabled(hDlg, nID)) << nID;

        // Bottom centre of the work area.
        RECT rcWork, rc;
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcWork, 0);
        ::GetWindowRect(hDlg, &rc);
        EXPECT_EQ((rcWork.left + rcWork.right - (rc.right - rc.left)) / 2, rc.left);
        EXPECT_EQ(rcWork.bottom, rc.bottom);
        Close(hDlg);
    });
}

// Pixels of the highlight colour in the left and right halves of a window,
// as painted on the screen.
static std::pair<int, int> HighlightPixels(HWND hWnd)
{
    ::RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT rc;
    ::GetClientRect(hWnd, &rc);
    int cx = rc.right, cy = rc.bottom;
    BITMAPINFO bmi = {};
    bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* pvBits = nullptr;
    HDC hdcWindow = ::GetDC(hWnd);
    HDC hdcMem = ::CreateCompatibleDC(hdcWindow);
    HBITMAP hbm = ::CreateDIBSection(hdcWindow, &bmi, DIB_RGB_COLORS, &pvBits, nullptr, 0);
    HGDIOBJ hOld = ::SelectObject(hdcMem, hbm);
    ::BitBlt(hdcMem, 0, 0, cx, cy, hdcWindow, 0, 0, SRCCOPY);
    ::GdiFlush();
    COLORREF cr = ::GetSysColor(COLOR_HIGHLIGHT);
    DWORD dwHighlight = (GetRValue(cr) << 16) | (GetGValue(cr) << 8) | GetBValue(cr);
    std::pair<int, int> counts(0, 0);
    const DWORD* pdw = static_cast<const DWORD*>(pvBits);
    for (int y = 0; y < cy; y++)
        for (int x = 0; x < cx; x++)
            if ((pdw[y * cx + x] & 0xFFFFFF) == dwHighlight)
                ++(x < cx / 2 ? counts.first : counts.second);
    ::SelectObject(hdcMem, hOld);
    ::DeleteObject(hbm);
    ::DeleteDC(hdcMem);
    ::ReleaseDC(hWnd, hdcWindow);
    return counts;
}

// The slider's selection is the playback progress: it must show.
TEST(MainDialogTest, SliderShowsItsSelection)
{
    RunMainDialog([](HWND hDlg) {
        HWND hSlider = ::GetDlgItem(hDlg, IDC_SLIDER);
        ::SendMessageW(hSlider, TBM_SETSEL, TRUE, MAKELPARAM(0, 0));
        auto none = HighlightPixels(hSlider);
        EXPECT_EQ(0, none.first + none.second);
        ::SendMessageW(hSlider, TBM_SETSEL, TRUE, MAKELPARAM(0, 400));
        auto part = HighlightPixels(hSlider);
        EXPECT_GT(part.first, 0);
        EXPECT_EQ(0, part.second);
        ::SendMessageW(hSlider, TBM_SETSEL, TRUE, MAKELPARAM(0, 1000));
        auto all = HighlightPixels(hSlider);
        EXPECT_GT(all.second, 0);
        Close(hDlg);
    });
}

TEST(MainDialogTest, EnableControlsFollowsTheGraph)
{
    CHostedDialog<CMainDialog> dlg;
    RunMainDialog(
        [&dlg](HWND hDlg) {
            const int rgGraphControls[] = {231, 232, 242, 250, 251, 252, 253};
            RunOnWindowThread(hDlg, [&dlg] { dlg.EnableControls(true); });
            for (int nID : rgGraphControls)
                EXPECT_TRUE(IsEnabled(hDlg, nID)) << nID;
            // No filter with property pages in an empty graph.
            for (int nID : {210, 211, 212, 213})
                EXPECT_FALSE(IsEnabled(hDlg, nID)) << nID;
            EXPECT_FALSE(IsEnabled(hDlg, IDC_FILTER_APPLY));

            RunOnWindowThread(hDlg, [&dlg] { dlg.EnableControls(false); });
            for (int nID : rgGraphControls)
                EXPECT_FALSE(IsEnabled(hDlg, nID)) << nID;

            RunOnWindowThread(hDlg, [&dlg] { dlg.EnableSelection(false); });
            for (int nID : {204, 205, 206})
                EXPECT_FALSE(IsEnabled(hDlg, nID)) << nID;
            // Clicking "Source" unchecks it and locks the lists; again unlocks.
            ::SendMessageW(::GetDlgItem(hDlg, IDC_SOURCE_CHECK), BM_CLICK, 0, 0);
            EXPECT_EQ(BST_UNCHECKED, ::IsDlgButtonChecked(hDlg, IDC_SOURCE_CHECK));
            for (int nID : {204, 205, 206})
                EXPECT_FALSE(IsEnabled(hDlg, nID)) << nID;
            ::SendMessageW(::GetDlgItem(hDlg, IDC_SOURCE_CHECK), BM_CLICK, 0, 0);
            for (int nID : {204, 205, 206})
                EXPECT_TRUE(IsEnabled(hDlg, nID)) << nID;

            // Editing the application filter enables Apply.
            ::SetWindowTextW(::GetDlgItem(hDlg, IDC_FILTER), L"app");
            EXPECT_TRUE(IsEnabled(hDlg, IDC_FILTER_APPLY));
            Close(hDlg);
        },
        &dlg);
}

TEST(MainDialogTest, GrfPathIsMirrored)
{
    CHostedDialog<CMainDialog> dlg;
    std::wstring mirrored;
    RunMainDialog(
        [&](HWND hDlg) {
            std::wstring longPath = L"C:\\" + std::wstring(300, L'g') + L".grf";
            ::SendMessageW(::GetDlgItem(hDlg, IDC_GRF_FILE), EM_SETLIMITTEXT, 0, 0);
            ::SetWindowTextW(::GetDlgItem(hDlg, IDC_GRF_FILE), L"D:\\graphs\\test.grf");
            RunOnWindowThread(hDlg, [&] { mirrored = dlg.GetGrfFile(); });
            EXPECT_EQ(L"D:\\graphs\\test.grf", mirrored);
            ::SetWindowTextW(::GetDlgItem(hDlg, IDC_GRF_FILE), longPath.c_str());
            RunOnWindowThread(hDlg, [&] { mirrored = dlg.GetGrfFile(); });
            EXPECT_EQ(longPath.substr(0, 259), mirrored);
            Close(hDlg);
        },
        &dlg);
}

TEST(MainDialogTest, EveryWayOfClosingEndsTheModalRunAndReleasesTheGraph)
{
    struct Case
    {
        const char* pszHow;
        std::function<void(HWND)> fClose;
        INT_PTR nExpected;
    } cases[] = {
        {"OK", [](HWND h) { Close(h, IDOK); }, IDOK},
        {"Cancel", [](HWND h) { Close(h, IDCANCEL); }, IDCANCEL},
        {"close box", [](HWND h) { ::PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
        {"Escape",
         [](HWND h) {
             HWND hEdit = ::GetDlgItem(h, IDC_FILTER);
             ::PostMessageW(hEdit, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
         },
         IDCANCEL},
        // No default push button: Enter outside a push button means OK.
        {"Enter",
         [](HWND h) {
             HWND hEdit = ::GetDlgItem(h, IDC_FILTER);
             ::PostMessageW(hEdit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
         },
         IDOK},
    };
    for (const Case& c : cases)
    {
        CHostedDialog<CMainDialog> dlg;
        HWND hWndNotify = nullptr;
        INT_PTR nResult = RunMainDialog(
            [&](HWND hDlg) {
                hWndNotify = hDlg;
                RunOnWindowThread(hDlg, [&] {
                    // An empty graph, so that closing has something to release.
                    dlg.GetGraph().BuildGraph(L"Source", hDlg, WM_GRAPHNOTIFY, L"", L"", nullptr);
                });
                c.fClose(hDlg);
            },
            &dlg);
        EXPECT_EQ(c.nExpected, nResult) << c.pszHow;
        EXPECT_TRUE(dlg.GetGraph().IsEmpty()) << c.pszHow;
        EXPECT_FALSE(::IsWindow(hWndNotify)) << c.pszHow;
    }
}
