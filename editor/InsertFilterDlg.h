// "Insert Filters": the registered filters in a tree of their categories,
// narrowed by a search of their names, with the selected one's class id, file
// and moniker. Insert (the default button, Enter or a double-click) hands the
// filter to the caller's function and the dialog stays open for the next one;
// the function's failure shows in the note line.
#pragma once

#include "FilterCatalog.h"
#include "InsertFilterIds.h"

#include "atlwin.h"

#include <functional>

class CInsertFilterDlg : public CDialogImpl<CInsertFilterDlg>
{
public:
    enum { IDD = IDD_INSERT_FILTER };

    using InsertFunction = std::function<HRESULT(const FilterChoice&)>;

    // Without a function, Insert ends the dialog with IDOK and Chosen() holds
    // the filter.
    explicit CInsertFilterDlg(InsertFunction fInsert = nullptr) : m_fInsert(std::move(fInsert)) {}

    // Registers the tree view's class, which the main window does not need.
    INT_PTR DoModal(HWND hWndParent = ::GetActiveWindow(), LPARAM dwInitParam = 0);

    // The filter last handed to the function, or chosen when DoModal returned IDOK.
    const FilterChoice& Chosen() const { return m_chosen; }

    BEGIN_MSG_MAP(CInsertFilterDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_NOTIFY, OnNotify)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_GETMINMAXINFO, OnGetMinMaxInfo)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        COMMAND_ID_HANDLER(IDOK, OnInsert)
        COMMAND_ID_HANDLER(IDCANCEL, OnClose)
        COMMAND_HANDLER(IDC_INSERT_SEARCH, EN_CHANGE, OnSearchChange)
    END_MSG_MAP()

private:
    struct Category
    {
        FilterCategory category;
        std::vector<CatalogFilter> filters;
        HRESULT hrRead = S_OK;
    };
    // How a control follows the dialog's size: its position at the start and
    // which of its edges move with the right and bottom edges.
    struct Anchor
    {
        int nID;
        RECT rcStart;
        bool bLeft, bRight, bTop, bBottom;
    };

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNotify(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGetMinMaxInfo(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnInsert(WORD, WORD, HWND, BOOL&);
    LRESULT OnClose(WORD, WORD, HWND, BOOL&);
    LRESULT OnSearchChange(WORD, WORD, HWND, BOOL&);

    void ReadCatalog();
    void Fill();
    void ShowSelection();
    void Insert();
    void StartLayout();
    // The selected filter, or null when none (or a category) is selected.
    const CatalogFilter* SelectedFilter() const;
    size_t SelectedCategory() const; // its index, or m_categories.size() when none
    std::wstring SearchText() const;

    InsertFunction m_fInsert;
    FilterChoice m_chosen;
    std::vector<Category> m_categories;
    HRESULT m_hrCategories = S_OK;
    bool m_bUpdating = false; // notifications of the dialog's own changes are not the user's
    std::vector<Anchor> m_anchors;
    SIZE m_sizeClientStart = {};
    SIZE m_sizeMin = {};

    // What the user last searched for and where, for the next opening.
    static std::wstring s_lastSearch;
    static CLSID s_lastCategory;
};
