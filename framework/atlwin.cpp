#include "atlwin.h"

#include <new>

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

} // namespace ATL
