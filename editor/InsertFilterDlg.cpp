#include "InsertFilterDlg.h"

#include "CentreOnOwner.h"
#include "ErrorText.h"

#include <commctrl.h>

std::wstring CInsertFilterDlg::s_lastSearch;
CLSID CInsertFilterDlg::s_lastCategory = GUID_NULL;

namespace {

// A tree item's data: its category's index, and its filter's index plus one
// (0 for the category itself).
LPARAM ItemRef(size_t nCategory, size_t nFilter)
{
    return static_cast<LPARAM>((nCategory << 16) | (nFilter & 0xFFFF));
}
size_t RefCategory(LPARAM lParam)
{
    return static_cast<size_t>(lParam) >> 16;
}
size_t RefFilter(LPARAM lParam)
{
    return static_cast<size_t>(lParam) & 0xFFFF;
}

LPARAM ItemData(HWND hTree, HTREEITEM hItem)
{
    TVITEMW item = {};
    item.mask = TVIF_PARAM;
    item.hItem = hItem;
    return hItem != nullptr && TreeView_GetItem(hTree, &item) ? item.lParam : -1;
}

HTREEITEM AddItem(HWND hTree, HTREEITEM hParent, const std::wstring& text, LPARAM lParam)
{
    TVINSERTSTRUCTW insert = {};
    insert.hParent = hParent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<LPWSTR>(text.c_str());
    insert.item.lParam = lParam;
    return TreeView_InsertItem(hTree, &insert);
}

std::wstring ClsidText(REFCLSID clsid)
{
    wchar_t sz[40] = L"";
    if (clsid != GUID_NULL)
        ::StringFromGUID2(clsid, sz, ARRAYSIZE(sz));
    return sz;
}

} // namespace

INT_PTR CInsertFilterDlg::DoModal(HWND hWndParent, LPARAM dwInitParam)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    return CDialogImpl<CInsertFilterDlg>::DoModal(hWndParent, dwInitParam);
}

LRESULT CInsertFilterDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    CentreOnOwner(m_hWnd);
    StartLayout();
    ReadCatalog();
    m_bUpdating = true;
    SetDlgItemText(IDC_INSERT_SEARCH, s_lastSearch.c_str());
    m_bUpdating = false;
    Fill();
    if (SelectedFilter() == nullptr)
    {
        HWND hTree = GetDlgItem(IDC_INSERT_TREE);
        for (HTREEITEM hItem = TreeView_GetRoot(hTree); hItem != nullptr; hItem = TreeView_GetNextSibling(hTree, hItem))
        {
            size_t nCategory = RefCategory(ItemData(hTree, hItem));
            if (nCategory < m_categories.size() && m_categories[nCategory].category.id == s_lastCategory)
            {
                TreeView_SelectItem(hTree, hItem);
                TreeView_EnsureVisible(hTree, hItem);
                break;
            }
        }
    }
    ShowSelection();
    if (FAILED(m_hrCategories))
        SetDlgItemText(IDC_INSERT_NOTE,
                       (L"The list of categories cannot be read: " + DescribeError(m_hrCategories)).c_str());
    return TRUE;
}

void CInsertFilterDlg::ReadCatalog()
{
    std::vector<FilterCategory> categories;
    m_hrCategories = ListFilterCategories(&categories);
    m_categories.clear();
    for (FilterCategory& category : categories)
    {
        Category entry;
        entry.category = std::move(category);
        entry.hrRead = ListCategoryFilters(entry.category.id, &entry.filters);
        m_categories.push_back(std::move(entry));
    }
}

std::wstring CInsertFilterDlg::SearchText() const
{
    CWindow edit = GetDlgItem(IDC_INSERT_SEARCH);
    int cch = ::GetWindowTextLengthW(edit);
    std::wstring text(static_cast<size_t>(cch) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(edit, &text[0], cch + 1)));
    return text;
}

// Lists the categories with the filters that match the search; while a search
// is given, categories without a match are left out and the others expanded.
// A selected filter stays selected while it is listed; otherwise a search
// selects its first match, so that Enter inserts it.
void CInsertFilterDlg::Fill()
{
    HWND hTree = GetDlgItem(IDC_INSERT_TREE);
    HTREEITEM hSelected = TreeView_GetSelection(hTree);
    LPARAM selected = ItemData(hTree, hSelected);
    std::wstring search = SearchText();

    m_bUpdating = true;
    ::SendMessageW(hTree, WM_SETREDRAW, FALSE, 0);
    TreeView_DeleteAllItems(hTree);
    HTREEITEM hSelect = nullptr;
    HTREEITEM hFirstMatch = nullptr;
    for (size_t c = 0; c < m_categories.size(); ++c)
    {
        const Category& category = m_categories[c];
        std::vector<size_t> matches;
        for (size_t f = 0; f < category.filters.size() && f < 0xFFFE; ++f)
            if (FilterNameMatches(category.filters[f].name, search))
                matches.push_back(f);
        if (!search.empty() && matches.empty())
            continue;
        HTREEITEM hCategory = AddItem(hTree, TVI_ROOT, category.category.name, ItemRef(c, 0));
        if (hCategory != nullptr && ItemRef(c, 0) == selected && search.empty())
            hSelect = hCategory;
        for (size_t f : matches)
        {
            HTREEITEM hFilter = AddItem(hTree, hCategory, category.filters[f].name, ItemRef(c, f + 1));
            if (hFilter != nullptr && ItemRef(c, f + 1) == selected)
                hSelect = hFilter;
            if (hFirstMatch == nullptr)
                hFirstMatch = hFilter;
        }
        if (!search.empty())
            TreeView_Expand(hTree, hCategory, TVE_EXPAND);
    }
    if (hSelect == nullptr && !search.empty())
        hSelect = hFirstMatch;
    if (hSelect != nullptr)
        TreeView_SelectItem(hTree, hSelect);
    ::SendMessageW(hTree, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(hTree, nullptr, TRUE);
    if (hSelect != nullptr)
        TreeView_EnsureVisible(hTree, hSelect);
    m_bUpdating = false;
    ShowSelection();
}

size_t CInsertFilterDlg::SelectedCategory() const
{
    HWND hTree = GetDlgItem(IDC_INSERT_TREE);
    LPARAM data = ItemData(hTree, TreeView_GetSelection(hTree));
    return data < 0 ? m_categories.size() : RefCategory(data);
}

const CatalogFilter* CInsertFilterDlg::SelectedFilter() const
{
    HWND hTree = GetDlgItem(IDC_INSERT_TREE);
    LPARAM data = ItemData(hTree, TreeView_GetSelection(hTree));
    if (data < 0 || RefFilter(data) == 0 || RefCategory(data) >= m_categories.size())
        return nullptr;
    const std::vector<CatalogFilter>& filters = m_categories[RefCategory(data)].filters;
    return RefFilter(data) <= filters.size() ? &filters[RefFilter(data) - 1] : nullptr;
}

void CInsertFilterDlg::ShowSelection()
{
    const CatalogFilter* pFilter = SelectedFilter();
    SetDlgItemText(IDC_INSERT_CLSID, pFilter != nullptr ? ClsidText(pFilter->clsid).c_str() : L"");
    SetDlgItemText(IDC_INSERT_FILE, pFilter != nullptr ? pFilter->file.c_str() : L"");
    SetDlgItemText(IDC_INSERT_MONIKER, pFilter != nullptr ? pFilter->monikerName.c_str() : L"");
    GetDlgItem(IDOK).EnableWindow(pFilter != nullptr);

    size_t nCategory = SelectedCategory();
    if (pFilter == nullptr && nCategory < m_categories.size() && FAILED(m_categories[nCategory].hrRead))
        SetDlgItemText(IDC_INSERT_NOTE, (L"This category cannot be read: " +
                                         DescribeError(m_categories[nCategory].hrRead)).c_str());
}

LRESULT CInsertFilterDlg::OnNotify(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
{
    const NMHDR* pHeader = reinterpret_cast<const NMHDR*>(lParam);
    if (pHeader == nullptr || pHeader->idFrom != IDC_INSERT_TREE)
    {
        bHandled = FALSE;
        return 0;
    }
    if (pHeader->code == TVN_SELCHANGEDW)
    {
        if (!m_bUpdating)
            ShowSelection();
    }
    else if (pHeader->code == NM_DBLCLK)
    {
        // Only a double-click on the selected filter's own line inserts it.
        TVHITTESTINFO hit = {};
        DWORD dwPos = ::GetMessagePos();
        hit.pt = {static_cast<short>(LOWORD(dwPos)), static_cast<short>(HIWORD(dwPos))};
        ::ScreenToClient(pHeader->hwndFrom, &hit.pt);
        HTREEITEM hHit = TreeView_HitTest(pHeader->hwndFrom, &hit);
        if (hHit != nullptr && (hit.flags & TVHT_ONITEM) != 0 && hHit == TreeView_GetSelection(pHeader->hwndFrom) &&
            SelectedFilter() != nullptr)
            Insert();
    }
    else
        bHandled = FALSE;
    return 0;
}

// Also reached by Enter in the search box or the tree.
LRESULT CInsertFilterDlg::OnInsert(WORD, WORD, HWND, BOOL&)
{
    if (SelectedFilter() == nullptr)
    {
        ::SetFocus(GetDlgItem(IDC_INSERT_TREE));
        return 0;
    }
    Insert();
    return 0;
}

void CInsertFilterDlg::Insert()
{
    const CatalogFilter* pFilter = SelectedFilter();
    if (pFilter == nullptr)
        return;
    m_chosen = pFilter->ToChoice();
    if (!m_fInsert)
    {
        EndDialog(IDOK);
        return;
    }
    HRESULT hr = m_fInsert(m_chosen);
    std::wstring note = SUCCEEDED(hr) ? L"Inserted " + m_chosen.name + L"."
                                      : m_chosen.name + L" cannot be inserted: " + DescribeError(hr);
    SetDlgItemText(IDC_INSERT_NOTE, note.c_str());
}

LRESULT CInsertFilterDlg::OnClose(WORD, WORD, HWND, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}

LRESULT CInsertFilterDlg::OnSearchChange(WORD, WORD, HWND, BOOL&)
{
    if (!m_bUpdating)
        Fill();
    return 0;
}

LRESULT CInsertFilterDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    s_lastSearch = SearchText();
    size_t nCategory = SelectedCategory();
    s_lastCategory = nCategory < m_categories.size() ? m_categories[nCategory].category.id : GUID_NULL;
    return 0;
}

void CInsertFilterDlg::StartLayout()
{
    RECT rcClient = {};
    GetClientRect(&rcClient);
    m_sizeClientStart = {rcClient.right, rcClient.bottom};
    RECT rcWindow = {};
    GetWindowRect(&rcWindow);
    m_sizeMin = {rcWindow.right - rcWindow.left, rcWindow.bottom - rcWindow.top};

    // The tree takes what the dialog grows by; the fields below it stretch
    // sideways and the buttons keep to the bottom right corner.
    const Anchor rgAnchors[] = {
        {IDC_INSERT_SEARCH, {}, false, true, false, false},
        {IDC_INSERT_TREE, {}, false, true, false, true},
        {IDC_INSERT_CLSID_LABEL, {}, false, false, true, true},
        {IDC_INSERT_CLSID, {}, false, true, true, true},
        {IDC_INSERT_FILE_LABEL, {}, false, false, true, true},
        {IDC_INSERT_FILE, {}, false, true, true, true},
        {IDC_INSERT_MONIKER_LABEL, {}, false, false, true, true},
        {IDC_INSERT_MONIKER, {}, false, true, true, true},
        {IDC_INSERT_NOTE, {}, false, true, true, true},
        {IDOK, {}, true, true, true, true},
        {IDCANCEL, {}, true, true, true, true},
    };
    m_anchors.clear();
    for (Anchor anchor : rgAnchors)
    {
        CWindow control = GetDlgItem(anchor.nID);
        if (control.m_hWnd == nullptr)
            continue;
        control.GetWindowRect(&anchor.rcStart);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&anchor.rcStart), 2);
        m_anchors.push_back(anchor);
    }
}

LRESULT CInsertFilterDlg::OnSize(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    if (wParam == SIZE_MINIMIZED || m_anchors.empty())
        return 0;
    int dx = LOWORD(lParam) - m_sizeClientStart.cx;
    int dy = HIWORD(lParam) - m_sizeClientStart.cy;
    HDWP hdwp = ::BeginDeferWindowPos(static_cast<int>(m_anchors.size()));
    for (const Anchor& anchor : m_anchors)
    {
        RECT rc = anchor.rcStart;
        rc.left += anchor.bLeft ? dx : 0;
        rc.right += anchor.bRight ? dx : 0;
        rc.top += anchor.bTop ? dy : 0;
        rc.bottom += anchor.bBottom ? dy : 0;
        if (hdwp != nullptr)
            hdwp = ::DeferWindowPos(hdwp, GetDlgItem(anchor.nID), nullptr, rc.left, rc.top, rc.right - rc.left,
                                    rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (hdwp != nullptr)
        ::EndDeferWindowPos(hdwp);
    // The note and fields are redrawn whole, not only their new parts.
    Invalidate();
    return 0;
}

LRESULT CInsertFilterDlg::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    MINMAXINFO* pInfo = reinterpret_cast<MINMAXINFO*>(lParam);
    if (m_sizeMin.cx > 0)
        pInfo->ptMinTrackSize = {m_sizeMin.cx, m_sizeMin.cy};
    return 0;
}
