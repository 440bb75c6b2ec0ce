// CWindowImpl: a real window whose messages reach its object's map, with
// DefWindowProc behind what the map leaves, and the object let go of when the
// window is destroyed.
#include <gtest/gtest.h>

#include "atlwin.h"

#include <string>

namespace {

class CProbeWindow : public CWindowImpl<CProbeWindow>
{
public:
    DECLARE_WND_CLASS_EX(L"CorvastaTestProbeWindow", 0, COLOR_WINDOW)

    BEGIN_MSG_MAP(CProbeWindow)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_APP, OnApp)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
    END_MSG_MAP()

    void OnFinalMessage(HWND hWnd) override { m_hWndFinal = hWnd; }

    std::wstring m_calls;
    HWND m_hWndFinal = nullptr;
    HWND m_hWndAtCreate = nullptr;

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&)
    {
        m_hWndAtCreate = m_hWnd;
        m_calls += L"create;";
        return 0;
    }
    LRESULT OnApp(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        m_calls += L"app;";
        return static_cast<LRESULT>(wParam * 2);
    }
    // Declines, so that DefWindowProc stores the text.
    LRESULT OnSetText(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        m_calls += L"settext;";
        bHandled = FALSE;
        return 0;
    }
};

// A class without a name of its own gets one.
class CUnnamedWindow : public CWindowImpl<CUnnamedWindow>
{
public:
    BEGIN_MSG_MAP(CUnnamedWindow)
    END_MSG_MAP()
};

} // namespace

TEST(WindowImplTest, MessagesReachTheMapAndTheRestDefWindowProc)
{
    CProbeWindow wnd;
    RECT rc = {10, 10, 210, 110};
    HWND hWnd = wnd.Create(nullptr, rc, L"first", WS_OVERLAPPEDWINDOW);
    ASSERT_NE(nullptr, hWnd);
    EXPECT_EQ(hWnd, wnd.m_hWnd);
    EXPECT_EQ(hWnd, wnd.m_hWndAtCreate);

    wchar_t szClass[64] = L"";
    ::GetClassNameW(hWnd, szClass, ARRAYSIZE(szClass));
    EXPECT_STREQ(L"CorvastaTestProbeWindow", szClass);

    EXPECT_EQ(42, ::SendMessageW(hWnd, WM_APP, 21, 0));
    EXPECT_TRUE(::SetWindowTextW(hWnd, L"second"));
    wchar_t szText[32] = L"";
    ::GetWindowTextW(hWnd, szText, ARRAYSIZE(szText));
    EXPECT_STREQ(L"second", szText);
    EXPECT_EQ(L"create;app;settext;", wnd.m_calls);

    EXPECT_TRUE(::DestroyWindow(hWnd));
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_EQ(hWnd, wnd.m_hWndFinal);

    // The class stays registered: a second window of it is created as well.
    CProbeWindow wnd2;
    ASSERT_NE(nullptr, wnd2.Create(nullptr, rc, L"again", WS_OVERLAPPEDWINDOW));
    EXPECT_TRUE(wnd2.DestroyWindow());
}

TEST(WindowImplTest, ChildWindowWithAGeneratedClassName)
{
    CProbeWindow parent;
    RECT rc = {0, 0, 200, 100};
    ASSERT_NE(nullptr, parent.Create(nullptr, rc, L"parent", WS_OVERLAPPEDWINDOW));

    CUnnamedWindow child;
    HWND hChild = child.Create(parent, rc, nullptr, WS_CHILD, 0, reinterpret_cast<HMENU>(7));
    ASSERT_NE(nullptr, hChild);
    EXPECT_EQ(hChild, ::GetDlgItem(parent, 7));
    wchar_t szClass[64] = L"";
    ::GetClassNameW(hChild, szClass, ARRAYSIZE(szClass));
    EXPECT_EQ(0, wcsncmp(szClass, L"ATL:", 4)) << szClass;

    // Destroying the parent destroys the child and lets go of both objects.
    EXPECT_TRUE(parent.DestroyWindow());
    EXPECT_EQ(nullptr, child.m_hWnd);
    EXPECT_EQ(nullptr, parent.m_hWnd);
}
