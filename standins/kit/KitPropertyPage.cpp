#include "KitPropertyPage.h"

#include <vector>

namespace {

const wchar_t c_szPageClass[] = L"CorvastaKitPropertyPage";

} // namespace

CKitPropertyPage::CKitPropertyPage(const wchar_t* pszTitle, int cx, int cy)
    : m_cRef(0), m_title(pszTitle), m_size{cx, cy}, m_hwnd(nullptr), m_bDirty(false),
      m_bFilling(false)
{
    KitObjectCreated();
}

CKitPropertyPage::~CKitPropertyPage()
{
    if (m_hwnd != nullptr)
        ::DestroyWindow(m_hwnd);
    KitObjectDestroyed();
}

STDMETHODIMP CKitPropertyPage::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == __uuidof(IPropertyPage))
    {
        *ppv = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CKitPropertyPage::AddRef()
{
    return ::InterlockedIncrement(&m_cRef);
}

STDMETHODIMP_(ULONG) CKitPropertyPage::Release()
{
    LONG cRef = ::InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return cRef;
}

STDMETHODIMP CKitPropertyPage::SetPageSite(IPropertyPageSite* pPageSite)
{
    if (pPageSite != nullptr && m_spSite != nullptr)
        return E_UNEXPECTED;
    m_spSite = pPageSite;
    return S_OK;
}

STDMETHODIMP CKitPropertyPage::Activate(HWND hWndParent, LPCRECT pRect, BOOL)
{
    if (pRect == nullptr)
        return E_POINTER;
    if (m_hwnd != nullptr)
        return E_UNEXPECTED;
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = AtlGetModuleInstance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = c_szPageClass;
    // Registered once per DLL; a second page finds the class already there.
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return HRESULT_FROM_WIN32(::GetLastError());
    m_hwnd = ::CreateWindowExW(WS_EX_CONTROLPARENT, c_szPageClass, m_title.c_str(),
                               WS_CHILD | WS_CLIPCHILDREN, pRect->left, pRect->top,
                               pRect->right - pRect->left, pRect->bottom - pRect->top, hWndParent,
                               nullptr, AtlGetModuleInstance(), this);
    if (m_hwnd == nullptr)
        return HRESULT_FROM_WIN32(::GetLastError());
    m_bFilling = true;
    OnCreateControls();
    m_bFilling = false;
    m_bDirty = false;
    return S_OK;
}

STDMETHODIMP CKitPropertyPage::Deactivate()
{
    if (m_hwnd == nullptr)
        return E_UNEXPECTED;
    ::DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    return S_OK;
}

STDMETHODIMP CKitPropertyPage::GetPageInfo(PROPPAGEINFO* pPageInfo)
{
    if (pPageInfo == nullptr)
        return E_POINTER;
    size_t cb = (m_title.size() + 1) * sizeof(wchar_t);
    LPOLESTR pszTitle = static_cast<LPOLESTR>(::CoTaskMemAlloc(cb));
    if (pszTitle == nullptr)
        return E_OUTOFMEMORY;
    memcpy(pszTitle, m_title.c_str(), cb);
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = pszTitle;
    pPageInfo->size = m_size;
    pPageInfo->pszDocString = nullptr;
    pPageInfo->pszHelpFile = nullptr;
    pPageInfo->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP CKitPropertyPage::SetObjects(ULONG cObjects, IUnknown** ppUnk)
{
    if (cObjects == 0)
    {
        OnDisconnect();
        return S_OK;
    }
    if (ppUnk == nullptr || ppUnk[0] == nullptr)
        return E_POINTER;
    // One filter at a time, as the property frame of a filter passes it.
    OnDisconnect();
    return OnConnect(ppUnk[0]);
}

STDMETHODIMP CKitPropertyPage::Show(UINT nCmdShow)
{
    if (m_hwnd == nullptr)
        return E_UNEXPECTED;
    ::ShowWindow(m_hwnd, nCmdShow);
    return S_OK;
}

STDMETHODIMP CKitPropertyPage::Move(LPCRECT pRect)
{
    if (pRect == nullptr)
        return E_POINTER;
    if (m_hwnd == nullptr)
        return E_UNEXPECTED;
    ::MoveWindow(m_hwnd, pRect->left, pRect->top, pRect->right - pRect->left,
                 pRect->bottom - pRect->top, TRUE);
    return S_OK;
}

STDMETHODIMP CKitPropertyPage::IsPageDirty()
{
    return m_bDirty ? S_OK : S_FALSE;
}

STDMETHODIMP CKitPropertyPage::Apply()
{
    if (!m_bDirty)
        return S_OK;
    HRESULT hr = OnApply();
    if (SUCCEEDED(hr))
        SetDirty(false);
    return hr;
}

STDMETHODIMP CKitPropertyPage::Help(LPCOLESTR)
{
    return E_NOTIMPL;
}

STDMETHODIMP CKitPropertyPage::TranslateAccelerator(MSG*)
{
    return S_FALSE;
}

void CKitPropertyPage::OnCommand(WORD, WORD wNotify)
{
    if (wNotify == EN_CHANGE)
        SetDirty(true);
}

void CKitPropertyPage::SetDirty(bool bDirty)
{
    if (m_bFilling)
        return;
    m_bDirty = bDirty;
    if (m_spSite != nullptr)
        m_spSite->OnStatusChange(bDirty ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_CLEAN);
}

HWND CKitPropertyPage::AddControl(const wchar_t* pszClass, DWORD dwStyle, WORD wId, int x, int y,
                                  int cx, int cy, const wchar_t* pszText)
{
    HWND hwnd = ::CreateWindowExW(0, pszClass, pszText, WS_CHILD | WS_VISIBLE | dwStyle, x, y, cx,
                                  cy, m_hwnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(wId)),
                                  AtlGetModuleInstance(), nullptr);
    if (hwnd != nullptr)
        ::SendMessageW(hwnd, WM_SETFONT,
                       reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return hwnd;
}

HWND CKitPropertyPage::AddLabel(int x, int y, int cx, int cy, const wchar_t* pszText)
{
    return AddControl(L"STATIC", SS_LEFT, 0xFFFF, x, y, cx, cy, pszText);
}

HWND CKitPropertyPage::AddEdit(WORD wId, int x, int y, int cx, int cy, const wchar_t* pszText)
{
    return AddControl(L"EDIT", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, wId, x, y, cx, cy, pszText);
}

std::wstring CKitPropertyPage::ControlText(WORD wId) const
{
    HWND hwnd = ::GetDlgItem(m_hwnd, wId);
    int cch = hwnd ? ::GetWindowTextLengthW(hwnd) : 0;
    std::vector<wchar_t> buf(cch + 1);
    if (hwnd != nullptr)
        ::GetWindowTextW(hwnd, buf.data(), cch + 1);
    return buf.data();
}

LRESULT CALLBACK CKitPropertyPage::WndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_NCCREATE)
    {
        auto* pcs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pcs->lpCreateParams));
    }
    auto* pThis = reinterpret_cast<CKitPropertyPage*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (uMsg == WM_COMMAND && pThis != nullptr && lParam != 0)
    {
        pThis->OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    }
    if (uMsg == WM_NCDESTROY)
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
}
