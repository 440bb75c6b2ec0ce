// Window wrapper, message maps and the modal dialog class.
#pragma once

#include "atlbase.h"

namespace ATL {

// Thin wrappers of the Win32 window functions; each checks in debug builds
// that the window exists.
class CWindow
{
public:
    HWND m_hWnd;

    CWindow(HWND hWnd = nullptr) : m_hWnd(hWnd) {}
    operator HWND() const { return m_hWnd; }
    bool IsWindow() const { return ::IsWindow(m_hWnd) != FALSE; }

    BOOL CheckDlgButton(int nIDButton, UINT nCheck)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::CheckDlgButton(m_hWnd, nIDButton, nCheck);
    }
    UINT IsDlgButtonChecked(int nIDButton) const
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::IsDlgButtonChecked(m_hWnd, nIDButton);
    }
    CWindow GetDlgItem(int nID) const
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return CWindow(::GetDlgItem(m_hWnd, nID));
    }
    UINT GetDlgItemText(int nID, LPWSTR lpStr, int nMaxCount) const
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::GetDlgItemTextW(m_hWnd, nID, lpStr, nMaxCount);
    }
    BOOL SetDlgItemText(int nID, LPCWSTR lpszString)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::SetDlgItemTextW(m_hWnd, nID, lpszString);
    }
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::SendDlgItemMessageW(m_hWnd, nID, message, wParam, lParam);
    }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL SetWindowText(LPCWSTR lpszString)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::SetWindowTextW(m_hWnd, lpszString);
    }
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
    }
    BOOL GetWindowRect(LPRECT lpRect) const
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::GetWindowRect(m_hWnd, lpRect);
    }
    BOOL EnableWindow(BOOL bEnable = TRUE)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::EnableWindow(m_hWnd, bEnable);
    }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
    }
    BOOL KillTimer(UINT_PTR nIDEvent)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::KillTimer(m_hWnd, nIDEvent);
    }
    ULONG_PTR SetClassLongPtr(int nIndex, LONG_PTR dwNewLong)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::SetClassLongPtrW(m_hWnd, nIndex, dwNewLong);
    }
    BOOL GetClientRect(LPRECT lpRect) const
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::GetClientRect(m_hWnd, lpRect);
    }
    BOOL ShowWindow(int nCmdShow)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::ShowWindow(m_hWnd, nCmdShow);
    }
    BOOL Invalidate(BOOL bErase = TRUE)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::InvalidateRect(m_hWnd, nullptr, bErase);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL DestroyWindow()
    {
        ATLASSERT(::IsWindow(m_hWnd));
        return ::DestroyWindow(m_hWnd);
    }
};

class CMessageMap
{
public:
    virtual ~CMessageMap() {}
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& lResult, DWORD dwMsgMapID) = 0;
};

class CWindowImplRoot : public CWindow, public CMessageMap
{
};

// Routes the dialog manager's messages to the object: the object is handed
// over through the module's create-window data and kept in DWLP_USER.
class CDialogImplBaseT : public CWindowImplRoot
{
public:
    CDialogImplBaseT() : m_bModal(false) {}
    virtual DLGPROC GetDialogProc() { return DialogProc; }
    virtual void OnFinalMessage(HWND /*hWnd*/) {}

    static INT_PTR CALLBACK StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    BOOL EndDialog(int nRetCode)
    {
        ATLASSERT(::IsWindow(m_hWnd));
        ATLASSERT(m_bModal);
        return ::EndDialog(m_hWnd, nRetCode);
    }

protected:
    INT_PTR DoModalImpl(HINSTANCE hInst, UINT nIDD, HWND hWndParent, LPARAM dwInitParam);

    bool m_bModal;
    _AtlCreateWndData m_createData;
};

template <class T>
class CDialogImpl : public CDialogImplBaseT
{
public:
    INT_PTR DoModal(HWND hWndParent = ::GetActiveWindow(), LPARAM dwInitParam = 0)
    {
        return DoModalImpl(AtlGetModuleInstance(), T::IDD, hWndParent, dwInitParam);
    }
};

// A window class of the program: registered on the first Create, with the
// framework's start procedure, and unregistered when the module ends.
struct CWndClassInfo
{
    WNDCLASSEXW m_wc;
    LPCWSTR m_lpszCursorID;
    ATOM m_atom;

    ATOM Register(WNDPROC pfnStartProc);
};

#define DECLARE_WND_CLASS_EX(WndClassName, style, bkgnd)                                      \
    static ATL::CWndClassInfo& GetWndClassInfo()                                             \
    {                                                                                        \
        static ATL::CWndClassInfo wc = {                                                     \
            {sizeof(WNDCLASSEXW), (style), nullptr, 0, 0, nullptr, nullptr, nullptr,          \
             reinterpret_cast<HBRUSH>(static_cast<INT_PTR>((bkgnd) + 1)), nullptr,           \
             (WndClassName), nullptr},                                                       \
            IDC_ARROW, 0};                                                                   \
        return wc;                                                                           \
    }

// Routes a window's messages to its object, as CDialogImplBaseT does for
// dialogs: the object comes through the create-window data and is kept in
// GWLP_USERDATA. What the map leaves unhandled goes to DefWindowProc.
class CWindowImplBaseT : public CWindowImplRoot
{
public:
    virtual void OnFinalMessage(HWND /*hWnd*/) {}

    static LRESULT CALLBACK StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

protected:
    HWND CreateImpl(ATOM atom, HWND hWndParent, const RECT& rc, LPCWSTR szWindowName, DWORD dwStyle,
                    DWORD dwExStyle, HMENU hMenu);

    _AtlCreateWndData m_createData;
};

template <class T>
class CWindowImpl : public CWindowImplBaseT
{
public:
    DECLARE_WND_CLASS_EX(nullptr, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, COLOR_WINDOW)

    // Child windows pass their control id as hMenu.
    HWND Create(HWND hWndParent, const RECT& rc, LPCWSTR szWindowName = nullptr, DWORD dwStyle = 0,
                DWORD dwExStyle = 0, HMENU hMenu = nullptr)
    {
        ATLASSERT(m_hWnd == nullptr);
        ATOM atom = T::GetWndClassInfo().Register(StartWindowProc);
        if (atom == 0)
            return nullptr;
        return CreateImpl(atom, hWndParent, rc, szWindowName, dwStyle, dwExStyle, hMenu);
    }
};

} // namespace ATL

// Message maps in the form of ATL's: entries are tested in order, the first
// that matches and leaves bHandled set ends the search.
#define BEGIN_MSG_MAP(theClass)                                                              \
public:                                                                                      \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,            \
                              LRESULT& lResult, DWORD dwMsgMapID = 0) override               \
    {                                                                                        \
        BOOL bHandled = TRUE;                                                                \
        (void)hWnd;                                                                          \
        (void)uMsg;                                                                          \
        (void)wParam;                                                                        \
        (void)lParam;                                                                        \
        (void)lResult;                                                                       \
        (void)bHandled;                                                                      \
        switch (dwMsgMapID)                                                                  \
        {                                                                                    \
        case 0:

#define MESSAGE_HANDLER(msg, func)                                                           \
    if (uMsg == (msg))                                                                       \
    {                                                                                        \
        bHandled = TRUE;                                                                     \
        lResult = func(uMsg, wParam, lParam, bHandled);                                      \
        if (bHandled) return TRUE;                                                           \
    }

#define COMMAND_HANDLER(id, code, func)                                                      \
    if (uMsg == WM_COMMAND && (id) == LOWORD(wParam) && (code) == HIWORD(wParam))            \
    {                                                                                        \
        bHandled = TRUE;                                                                     \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                           \
    }

#define COMMAND_ID_HANDLER(id, func)                                                         \
    if (uMsg == WM_COMMAND && (id) == LOWORD(wParam))                                        \
    {                                                                                        \
        bHandled = TRUE;                                                                     \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                           \
    }

#define COMMAND_RANGE_HANDLER(idFirst, idLast, func)                                         \
    if (uMsg == WM_COMMAND && LOWORD(wParam) >= (idFirst) && LOWORD(wParam) <= (idLast))     \
    {                                                                                        \
        bHandled = TRUE;                                                                     \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                           \
    }

#define END_MSG_MAP()                                                                        \
    break;                                                                                   \
    default:                                                                                 \
        ATLTRACE2(ATL::atlTraceGeneral, 0, L"Invalid message map ID (%i)\n", dwMsgMapID);    \
        ATLASSERT(FALSE);                                                                    \
        break;                                                                               \
        }                                                                                    \
        return FALSE;                                                                        \
    }
