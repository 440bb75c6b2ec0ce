// Message composition as the user sees it: text, caption and icon are read
// from the real message box window.
#include <gtest/gtest.h>

#include "atlbase.h"
#include "dshow/DSErrorText.h"
#include "ui/ErrorMessageBox.h"
#include "tests/support/WindowDriver.h"

#include <vfwmsgs.h>

namespace {

const wchar_t szCaption[] = L"Corvasta Test";

// Shows the box on this thread and reads it from a driver thread.
MessageBoxInfo Show(HWND hWndOwner, const wchar_t* pszText, HRESULT hr, UINT uStyle, int* pnResult = nullptr)
{
    MessageBoxInfo info;
    bool bFound = false;
    CDriver driver([&] { bFound = WaitForMessageBox(szCaption, &info); });
    int nResult = ErrorMessageBox(hWndOwner, pszText, szCaption, hr, uStyle);
    driver.Join();
    EXPECT_TRUE(bFound);
    if (pnResult != nullptr)
        *pnResult = nResult;
    return info;
}

std::wstring SystemText(HRESULT hr)
{
    wchar_t sz[1024] = L"";
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(hr),
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), sz, 1023, nullptr);
    return sz;
}

// A code that no service describes.
const HRESULT hrUnknown = static_cast<HRESULT>(0xA0E71234);

} // namespace

TEST(ErrorMessageBoxTest, TextWithSystemDescriptionAndCodeLine)
{
    std::wstring sys = SystemText(E_FAIL);
    ASSERT_FALSE(sys.empty()) << "the platform describes E_FAIL";
    int nResult = 0;
    MessageBoxInfo info = Show(nullptr, L"Can't play", E_FAIL, 0, &nResult);
    EXPECT_EQ(L"Can't play\n" + sys + L"\nError 0x80004005", info.text);
    EXPECT_EQ(szCaption, info.caption);
    EXPECT_TRUE(info.bIcon);
    EXPECT_EQ(IDOK, nResult);
}

TEST(ErrorMessageBoxTest, CompositionCases)
{
    ASSERT_TRUE(SystemText(hrUnknown).empty());
    std::wstring sysAccess = SystemText(E_ACCESSDENIED);
    std::wstring sysOne = SystemText(S_FALSE);
    ASSERT_FALSE(sysOne.empty());

    struct Case
    {
        const wchar_t* pszText;
        HRESULT hr;
        UINT uStyle;
        std::wstring expected;
        bool bIcon;
    } cases[] = {
        // No text, no description: the code line alone, no leading line feed.
        {nullptr, hrUnknown, 0, L"Error 0xA0E71234", true},
        // No text with a description: description, line feed, code line.
        {nullptr, E_ACCESSDENIED, 0, sysAccess + L"\nError 0x80070005", true},
        // Code 0 with MB_OK: the text alone, no icon.
        {L"The end", 0, MB_OK, L"The end", false},
        // S_FALSE is described like an error.
        {L"Encoders are not selected.", S_FALSE, MB_OK, L"Encoders are not selected.\n" + sysOne + L"\nError 0x1", true},
        // MB_OK is 0, so a code brings the error icon.
        {L"Graph not exist", hrUnknown, MB_OK, L"Graph not exist\nError 0xA0E71234", true},
        // An explicit style is kept.
        {L"x", E_ACCESSDENIED, MB_ICONWARNING, L"x\n" + sysAccess + L"\nError 0x80070005", true},
    };
    for (const Case& c : cases)
    {
        MessageBoxInfo info = Show(nullptr, c.pszText, c.hr, c.uStyle);
        EXPECT_EQ(c.expected, info.text) << std::hex << c.hr;
        EXPECT_EQ(c.bIcon, info.bIcon) << std::hex << c.hr;
    }
}

TEST(ErrorMessageBoxTest, DirectShowCodesGetTheDirectShowText)
{
    wchar_t szDS[1024];
    ASSERT_GT(GetDirectShowErrorText(VFW_E_NOT_CONNECTED, szDS, 1024), 0u);
    MessageBoxInfo info = Show(nullptr, L"Can't build graph", VFW_E_NOT_CONNECTED, 0);
    EXPECT_EQ(std::wstring(L"Can't build graph\n") + szDS + L"\nError 0x80040209", info.text);

    // Facility 4 without a DirectShow description falls back to the system
    // table, which has nothing either: just the code line.
    const HRESULT hrItfUnknown = static_cast<HRESULT>(0x8004FFF0);
    EXPECT_EQ(0u, GetDirectShowErrorText(hrItfUnknown, szDS, 1024));
    info = Show(nullptr, L"x", hrItfUnknown, 0);
    EXPECT_EQ(L"x\n" + SystemText(hrItfUnknown) + (SystemText(hrItfUnknown).empty() ? L"" : L"\n") +
                  L"Error 0x8004FFF0",
              info.text);
}

TEST(ErrorMessageBoxTest, OverlongTextIsCutAndLeavesNoRoom)
{
    std::wstring text(1500, L'w');
    MessageBoxInfo info = Show(nullptr, text.c_str(), E_FAIL, 0);
    EXPECT_EQ(std::wstring(1023, L'w'), info.text);

    // 1022 units leave room for the line feed only.
    std::wstring text1022(1022, L'v');
    info = Show(nullptr, text1022.c_str(), E_FAIL, 0);
    EXPECT_EQ(text1022 + L"\n", info.text);
}

TEST(ErrorMessageBoxTest, DestroyedOwnerFallsBackToTheActiveWindow)
{
    HWND hWndGone = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hWndGone);
    ::DestroyWindow(hWndGone);

    HWND hWndActive = ::CreateWindowExW(0, L"STATIC", L"active", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hWndActive);
    ::SetActiveWindow(hWndActive);
    ASSERT_EQ(hWndActive, ::GetActiveWindow());

    MessageBoxInfo info = Show(hWndGone, L"text", 0, MB_OK);
    EXPECT_EQ(hWndActive, info.hWndOwner);
    EXPECT_EQ(L"text", info.text);

    HWND hWndOwner = ::CreateWindowExW(0, L"STATIC", L"owner2", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                                       nullptr, nullptr, nullptr);
    info = Show(hWndOwner, L"text", 0, MB_OK);
    EXPECT_EQ(hWndOwner, info.hWndOwner);
    ::DestroyWindow(hWndOwner);
    ::DestroyWindow(hWndActive);
}
