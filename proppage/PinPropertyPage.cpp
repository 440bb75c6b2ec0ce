#include "PinPropertyPage.h"

#include "PinPageIds.h"
#include "PinProperties.h"

#include <commctrl.h>

#include <cstdio>

namespace {

const int c_cxPage = 340;
const int c_cyPage = 260;
const int c_cxLabel = 90;
const int c_cyRow = 18;
const int c_xMargin = 8;

} // namespace

CPinPropertyPage::CPinPropertyPage() : CKitPropertyPage(L"Pin", c_cxPage, c_cyPage) {}

HRESULT CPinPropertyPage::OnConnect(IUnknown* pObject)
{
    CComQIPtr<IPin> spPin(pObject);
    if (spPin == nullptr)
        return E_NOINTERFACE;
    m_spPin = spPin;
    return S_OK;
}

void CPinPropertyPage::OnDisconnect()
{
    m_spPin.Release();
}

void CPinPropertyPage::OnCreateControls()
{
    PinProperties props;
    HRESULT hr = m_spPin != nullptr ? ReadPinProperties(m_spPin, &props) : E_UNEXPECTED;
    if (FAILED(hr))
    {
        // A pin in a process that has gone answers with an RPC error.
        wchar_t sz[64];
        swprintf(sz, ARRAYSIZE(sz), L"not available (0x%08lX)", static_cast<unsigned long>(hr));
        props.name = sz;
    }
    int y = c_xMargin;
    AddRow(y, L"Pin:", IDC_PIN_NAME, props.name);
    AddRow(y += c_cyRow, L"Direction:", IDC_PIN_DIRECTION, props.direction);
    AddRow(y += c_cyRow, L"Filter:", IDC_PIN_FILTER, props.filter);
    AddRow(y += c_cyRow, L"Connected to:", IDC_PIN_CONNECTION, props.connection);
    AddFormatList(y += c_cyRow + 6);

    HWND hwndList = ::GetDlgItem(PageWindow(), IDC_PIN_FORMAT);
    int iItem = 0;
    for (const MediaTypeField& field : props.format)
    {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = iItem;
        item.pszText = const_cast<LPWSTR>(field.name.c_str());
        ListView_InsertItem(hwndList, &item);
        ListView_SetItemText(hwndList, iItem, 1, const_cast<LPWSTR>(field.value.c_str()));
        iItem++;
    }
}

HWND CPinPropertyPage::AddControl(const wchar_t* pszClass, DWORD dwStyle, WORD wId, int x, int y, int cx,
                                  int cy, const wchar_t* pszText)
{
    HWND hwnd = ::CreateWindowExW(0, pszClass, pszText, WS_CHILD | WS_VISIBLE | dwStyle, x, y, cx, cy,
                                  PageWindow(), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(wId)),
                                  AtlGetModuleInstance(), nullptr);
    if (hwnd != nullptr)
        ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return hwnd;
}

void CPinPropertyPage::AddRow(int y, const wchar_t* pszLabel, WORD wId, const std::wstring& value)
{
    AddLabel(c_xMargin, y, c_cxLabel, c_cyRow - 2, pszLabel);
    // Static text with an id, so that nothing here is edited or applied.
    AddControl(L"STATIC", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, wId, c_xMargin + c_cxLabel, y,
               c_cxPage - 2 * c_xMargin - c_cxLabel, c_cyRow - 2, value.c_str());
}

void CPinPropertyPage::AddFormatList(int y)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    int cx = c_cxPage - 2 * c_xMargin;
    HWND hwndList = AddControl(WC_LISTVIEWW, WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_NOSORTHEADER |
                                                 LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                               IDC_PIN_FORMAT, c_xMargin, y, cx, c_cyPage - y - c_xMargin, L"");
    if (hwndList == nullptr)
        return;
    ListView_SetExtendedListViewStyle(hwndList, LVS_EX_FULLROWSELECT);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 140;
    column.pszText = const_cast<LPWSTR>(L"Field");
    ListView_InsertColumn(hwndList, 0, &column);
    column.cx = cx - column.cx - ::GetSystemMetrics(SM_CXVSCROLL) - 4;
    column.pszText = const_cast<LPWSTR>(L"Value");
    ListView_InsertColumn(hwndList, 1, &column);
}
