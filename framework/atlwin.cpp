#include "atlwin.h"

#include <new>
#include <strsafe.h>

namespace ATL {

INT_PTR CDialogImplBaseT::DoModalImpl(HINSTANCE hInst, UINT nIDD, HWND hWndParent, LPARAM dwInitParam)
{
    ATLASSERT(m_hWnd == nullptr);
    try
    {
        _AtlWinModule.AddCreateWndData(&m_createData, this);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return -1;
    }
    m_bModal = true;
    INT_PTR nRet = ::DialogBoxParamW(hInst, MAKEINTRESOURCEW(nIDD), hWndParent, StartDialogProc,
                                     dwInitParam);
    if (m_hWnd == nullptr)
        _AtlWinModule.ExtractCreateWndData(); // the dialog was never created
    m_bModal = false;
    return nRet;
}

INT_PTR CALLBACK CDialogImplBaseT::StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CDialogImplBaseT* pThis = static_cast<CDialogImplBaseT*>(_AtlWinModule.ExtractCreateWndData());
    ATLASSERT(pThis != nullptr);
    if (pThis == nullptr)
        return FALSE;
    pThis->m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pThis));
    ::SetWindowLongPtrW(hWnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(pThis->GetDialogProc()));
    return pThis->GetDialogProc()(hWnd, uMsg, wParam, lParam);
}

INT_PTR CALLBACK CDialogImplBaseT::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CDialogImplBaseT* pThis = reinterpret_cast<CDialogImplBaseT*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    if (pThis == nullptr)
        return FALSE;
    LRESULT lRes = 0;
    if (pThis->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lRes, 0))
    {
        switch (uMsg)
        {
        // These return their result directly instead of through DWLP_MSGRESULT.
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_INITDIALOG:
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return lRes;
        default:
            ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, lRes);
            return TRUE;
        }
    }
    if (uMsg == WM_NCDESTROY)
    {
        pThis->m_hWnd = nullptr;
        ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        pThis->OnFinalMessage(hWnd);
    }
    return FALSE;
}

ATOM CWndClassInfo::Register(WNDPROC pfnStartProc)
{
    // Windows of one class may be created on several threads.
    _AtlWinModule.m_csWindowCreate.Lock();
    if (m_atom == 0)
    {
        HINSTANCE hInst = AtlGetModuleInstance();
        m_wc.lpfnWndProc = pfnStartProc;
        m_wc.hInstance = hInst;
        if (m_wc.hCursor == nullptr && m_lpszCursorID != nullptr)
            m_wc.hCursor = ::LoadCursorW(nullptr, m_lpszCursorID);
        // A class without a name gets one from its address, as ATL does.
        wchar_t szAutoName[32];
        if (m_wc.lpszClassName == nullptr)
        {
            ::StringCchPrintfW(szAutoName, ARRAYSIZE(szAutoName), L"ATL:%p", static_cast<void*>(this));
            m_wc.lpszClassName = szAutoName;
        }
        m_atom = ::RegisterClassExW(&m_wc);
        if (m_wc.lpszClassName == szAutoName)
            m_wc.lpszClassName = nullptr;
        if (m_atom != 0)
            _AtlWinModule.AddWindowClass(m_atom, hInst);
    }
    ATOM atom = m_atom;
    _AtlWinModule.m_csWindowCreate.Unlock();
    return atom;
}

HWND CWindowImplBaseT::CreateImpl(ATOM atom, HWND hWndParent, const RECT& rc, LPCWSTR szWindowName,
                                  DWORD dwStyle, DWORD dwExStyle, HMENU hMenu)
{
    try
    {
        _AtlWinModule.AddCreateWndData(&m_createData, this);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
    HWND hWnd = ::CreateWindowExW(dwExStyle, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)),
                                  szWindowName, dwStyle, rc.left, rc.top, rc.right - rc.left,
                                  rc.bottom - rc.top, hWndParent, hMenu, AtlGetModuleInstance(), nullptr);
    if (m_hWnd == nullptr)
        _AtlWinModule.ExtractCreateWndData(); // no message reached the window
    return hWnd;
}

LRESULT CALLBACK CWindowImplBaseT::StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWindowImplBaseT* pThis = static_cast<CWindowImplBaseT*>(_AtlWinModule.ExtractCreateWndData());
    ATLASSERT(pThis != nullptr);
    if (pThis == nullptr)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    pThis->m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pThis));
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc));
    return WindowProc(hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowImplBaseT::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWindowImplBaseT* pThis = reinterpret_cast<CWindowImplBaseT*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pThis == nullptr)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    LRESULT lRes = 0;
    if (!pThis->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lRes, 0))
        lRes = ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY)
    {
        pThis->m_hWnd = nullptr;
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        pThis->OnFinalMessage(hWnd);
    }
    return lRes;
}

} // namespace ATL
