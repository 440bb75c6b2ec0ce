// The filter catalog against the registered stand-ins, and the "Insert
// Filters" dialog driven from another thread as a user drives it.
#include <gtest/gtest.h>

#include "atlbase.h"

#include "atldshow.h"

#include "editor/ErrorText.h"
#include "editor/FilterCatalog.h"
#include "editor/InsertFilterDlg.h"
#include "components/ComponentIds.h"
#include "tests/support/DevEnumFixture.h"
#include "tests/support/DialogHost.h"
#include "tests/support/WindowDriver.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <map>

namespace {

const wchar_t szCaption[] = L"Insert Filters";

struct StandinCase
{
    const GUID* pCategory;
    const wchar_t* pszName;
    const GUID* pclsid;
    const wchar_t* pszFile; // the end of its registered path
};
const StandinCase c_rgStandins[] = {
    {&CLSID_VideoInputDeviceCategory, L"Ormidex Video Generator", &CLSID_OrmidexVideoGenerator,
     L"\\OrmidexGenerator.dll"},
    {&CLSID_VideoCompressorCategory, L"Ormidex QS Encoder", &CLSID_OrmidexQSEncoder, L"\\StandinEncoders.dll"},
    {&CLSID_AudioCompressorCategory, L"Ormidex Opus Encoder", &CLSID_OrmidexOpusEncoder, L"\\StandinEncoders.dll"},
};

bool EndsWithNoCase(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() && ::lstrcmpiW(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

std::wstring ClsidText(REFCLSID clsid)
{
    wchar_t sz[40] = L"";
    ::StringFromGUID2(clsid, sz, ARRAYSIZE(sz));
    return sz;
}

const CatalogFilter* FindByName(const std::vector<CatalogFilter>& filters, const wchar_t* pszName)
{
    auto it = std::find_if(filters.begin(), filters.end(), [&](const CatalogFilter& f) { return f.name == pszName; });
    return it != filters.end() ? &*it : nullptr;
}

std::wstring ItemText(HWND hTree, HTREEITEM hItem)
{
    wchar_t sz[256] = L"";
    TVITEMW item = {};
    item.mask = TVIF_TEXT;
    item.hItem = hItem;
    item.pszText = sz;
    item.cchTextMax = ARRAYSIZE(sz);
    TreeView_GetItem(hTree, &item);
    return sz;
}

// The tree as shown: each category with the filters under it.
std::map<std::wstring, std::vector<std::wstring>> ReadTree(HWND hTree)
{
    std::map<std::wstring, std::vector<std::wstring>> tree;
    for (HTREEITEM hCategory = TreeView_GetRoot(hTree); hCategory != nullptr;
         hCategory = TreeView_GetNextSibling(hTree, hCategory))
    {
        std::vector<std::wstring>& filters = tree[ItemText(hTree, hCategory)];
        for (HTREEITEM hFilter = TreeView_GetChild(hTree, hCategory); hFilter != nullptr;
             hFilter = TreeView_GetNextSibling(hTree, hFilter))
            filters.push_back(ItemText(hTree, hFilter));
    }
    return tree;
}

// The item of the category, or of the filter under it when pszFilter is given.
HTREEITEM FindItem(HWND hTree, const wchar_t* pszCategory, const wchar_t* pszFilter = nullptr)
{
    for (HTREEITEM hCategory = TreeView_GetRoot(hTree); hCategory != nullptr;
         hCategory = TreeView_GetNextSibling(hTree, hCategory))
    {
        if (ItemText(hTree, hCategory) != pszCategory)
            continue;
        if (pszFilter == nullptr)
            return hCategory;
        for (HTREEITEM hFilter = TreeView_GetChild(hTree, hCategory); hFilter != nullptr;
             hFilter = TreeView_GetNextSibling(hTree, hFilter))
            if (ItemText(hTree, hFilter) == pszFilter)
                return hFilter;
    }
    return nullptr;
}

void Search(HWND hDlg, const wchar_t* pszText)
{
    ::SendDlgItemMessageW(hDlg, IDC_INSERT_SEARCH, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszText));
}

// A key as the user presses it: posted, so that the dialog's message loop
// routes it as it routes typing.
void PostKey(HWND hWnd, UINT vk)
{
    ::PostMessageW(hWnd, WM_KEYDOWN, vk, 1);
    ::PostMessageW(hWnd, WM_KEYUP, vk, 0xC0000001);
}

bool WaitUntil(const std::function<bool()>& pred)
{
    for (int i = 0; i < 1000 && !pred(); ++i)
        ::Sleep(10);
    return pred();
}

// The dialog with its function, answering the driver's calls on its thread.
class CTestInsertDlg : public CInsertFilterDlg
{
public:
    using CInsertFilterDlg::CInsertFilterDlg;

    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                              DWORD dwMsgMapID = 0) override
    {
        if (uMsg == WM_TEST_INVOKE && dwMsgMapID == 0)
        {
            lResult = CallOnWindowThread(lParam);
            return TRUE;
        }
        return CInsertFilterDlg::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, dwMsgMapID);
    }

    // Runs the dialog modally here while fDrive works it from a driver thread
    // and ends it.
    INT_PTR Run(const std::function<void(HWND)>& fDrive)
    {
        CDriver driver([&] {
            HWND hDlg = WaitForDialog(szCaption);
            if (hDlg == nullptr)
            {
                ADD_FAILURE() << "the dialog did not appear";
                return;
            }
            fDrive(hDlg);
        });
        return DoModal(nullptr, 0);
    }
};

} // namespace

TEST(FilterCatalogTest, CategoriesHoldTheHarnessOnesOnceSortedByName)
{
    std::vector<FilterCategory> categories;
    ASSERT_EQ(S_OK, ListFilterCategories(&categories));
    struct
    {
        const GUID* pId;
        const wchar_t* pszName;
    } rgExpected[] = {
        {&CLSID_LegacyAmFilterCategory, L"DirectShow Filters"},
        {&CLSID_VideoInputDeviceCategory, L"Video Capture Sources"},
        {&CLSID_VideoCompressorCategory, L"Video Compressors"},
        {&CLSID_AudioCompressorCategory, L"Audio Compressors"},
    };
    for (const auto& expected : rgExpected)
    {
        auto nCount = std::count_if(categories.begin(), categories.end(),
                                    [&](const FilterCategory& c) { return c.id == *expected.pId; });
        EXPECT_EQ(1, nCount) << expected.pszName;
        auto it = std::find_if(categories.begin(), categories.end(),
                               [&](const FilterCategory& c) { return c.id == *expected.pId; });
        if (it != categories.end())
        {
            EXPECT_EQ(expected.pszName, it->name);
        }
    }
    for (size_t i = 1; i < categories.size(); ++i)
        EXPECT_LE(::lstrcmpiW(categories[i - 1].name.c_str(), categories[i].name.c_str()), 0)
            << categories[i - 1].name << " before " << categories[i].name;
}

TEST(FilterCatalogTest, StandinsAreListedWithClassAndFileAndTheirMonikerCreatesThem)
{
    for (const StandinCase& standin : c_rgStandins)
    {
        SCOPED_TRACE(testing::Message() << standin.pszName);
        std::vector<CatalogFilter> filters;
        ASSERT_EQ(S_OK, ListCategoryFilters(*standin.pCategory, &filters));
        const CatalogFilter* pFilter = FindByName(filters, standin.pszName);
        ASSERT_NE(nullptr, pFilter);
        EXPECT_EQ(*standin.pclsid, pFilter->clsid);
        EXPECT_TRUE(EndsWithNoCase(pFilter->file, standin.pszFile)) << pFilter->file;
        EXPECT_EQ(pFilter->file, FindFilterFile(*standin.pclsid));

        FilterChoice choice = pFilter->ToChoice();
        EXPECT_EQ(pFilter->name, choice.name);
        EXPECT_EQ(pFilter->clsid, choice.clsid);
        ASSERT_EQ(pFilter->monikerName, choice.monikerName);

        CComPtr<IBindCtx> spBindCtx;
        ASSERT_EQ(S_OK, ::CreateBindCtx(0, &spBindCtx));
        CComPtr<IMoniker> spMoniker;
        ULONG cchEaten = 0;
        ASSERT_EQ(S_OK, ::MkParseDisplayName(spBindCtx, choice.monikerName.c_str(), &cchEaten, &spMoniker))
            << choice.monikerName;
        CComPtr<IBaseFilter> spFilter;
        ASSERT_EQ(S_OK, spMoniker->BindToObject(spBindCtx, nullptr, IID_IBaseFilter,
                                                reinterpret_cast<void**>(&spFilter)));
        CLSID clsid = GUID_NULL;
        EXPECT_EQ(S_OK, spFilter->GetClassID(&clsid));
        EXPECT_EQ(*standin.pclsid, clsid);
        EXPECT_EQ(0u, spFilter.Detach()->Release());
    }
}

TEST(FilterCatalogTest, CategoryEntriesEmptyUnreadableAndOrder)
{
    CTestCategory empty;
    std::vector<CatalogFilter> filters(1);
    EXPECT_EQ(S_FALSE, ListCategoryFilters(empty.Id(), &filters));
    EXPECT_TRUE(filters.empty());

    // Entries come sorted by name whatever the registry's order; an entry
    // without a readable name is left out, one without a registered class
    // has no file.
    const GUID clsidUnregistered = {0x5b2c1e2a, 0x0d11, 0x4c9e, {0x9d, 0x31, 0x7a, 0x44, 0x10, 0x62, 0x93, 0x0f}};
    CTestCategory category;
    category.Add(L"zeta", CLSID_OrmidexQSEncoder);
    category.AddUnreadable(true);
    category.Add(L"Alpha", clsidUnregistered);
    category.AddUnreadable(false);
    category.Add(L"beta");
    ASSERT_EQ(S_OK, ListCategoryFilters(category.Id(), &filters));
    ASSERT_EQ(3u, filters.size());
    EXPECT_EQ(L"Alpha", filters[0].name);
    EXPECT_EQ(clsidUnregistered, filters[0].clsid);
    EXPECT_EQ(L"", filters[0].file);
    EXPECT_EQ(L"beta", filters[1].name);
    EXPECT_EQ(GUID_NULL, filters[1].clsid);
    EXPECT_EQ(L"zeta", filters[2].name);
    EXPECT_TRUE(EndsWithNoCase(filters[2].file, L"\\StandinEncoders.dll")) << filters[2].file;
    for (const CatalogFilter& filter : filters)
        EXPECT_FALSE(filter.monikerName.empty()) << filter.name;
}

TEST(FilterCatalogTest, NameMatchesAnyCasedPart)
{
    struct
    {
        const wchar_t* pszName;
        const wchar_t* pszSearch;
        bool bMatch;
    } rgCases[] = {
        {L"Ormidex QS Encoder", L"", true},
        {L"Ormidex QS Encoder", L"qs enc", true},
        {L"Ormidex QS Encoder", L"ORMIDEX", true},
        {L"Ormidex QS Encoder", L"Encoder ", false},
        {L"Ormidex QS Encoder", L"QSEncoder", false},
        {L"", L"a", false},
    };
    for (const auto& test : rgCases)
        EXPECT_EQ(test.bMatch, FilterNameMatches(test.pszName, test.pszSearch))
            << "\"" << test.pszName << "\" / \"" << test.pszSearch << "\"";
}

TEST(InsertFilterDialogTest, SearchNarrowsTheTreeAndTheSelectionShowsItsFilter)
{
    std::atomic<int> nCalls{0};
    CTestInsertDlg dlg([&](const FilterChoice&) {
        ++nCalls;
        return S_OK;
    });
    INT_PTR nResult = dlg.Run([&](HWND hDlg) {
        HWND hTree = ::GetDlgItem(hDlg, IDC_INSERT_TREE);
        ASSERT_EQ(L"SysTreeView32", GetClass(hTree));

        // Only matching filters, under their category, expanded; the first is
        // selected and shown.
        Search(hDlg, L"oRMIDEX qs");
        std::map<std::wstring, std::vector<std::wstring>> expected = {
            {L"Video Compressors", {L"Ormidex QS Encoder"}}};
        EXPECT_EQ(expected, ReadTree(hTree));
        HTREEITEM hQS = FindItem(hTree, L"Video Compressors", L"Ormidex QS Encoder");
        EXPECT_EQ(hQS, TreeView_GetSelection(hTree));
        EXPECT_NE(0u, TreeView_GetItemState(hTree, TreeView_GetParent(hTree, hQS), TVIS_EXPANDED) & TVIS_EXPANDED);
        EXPECT_EQ(ClsidText(CLSID_OrmidexQSEncoder), GetItemText(hDlg, IDC_INSERT_CLSID));
        EXPECT_EQ(FindFilterFile(CLSID_OrmidexQSEncoder), GetItemText(hDlg, IDC_INSERT_FILE));
        EXPECT_TRUE(EndsWithNoCase(GetItemText(hDlg, IDC_INSERT_FILE), L"\\StandinEncoders.dll"));
        EXPECT_FALSE(GetItemText(hDlg, IDC_INSERT_MONIKER).empty());
        EXPECT_TRUE(IsEnabled(hDlg, IDOK));

        // A search that matches in two categories keeps both; nothing matches: empty.
        Search(hDlg, L"ormidex");
        std::map<std::wstring, std::vector<std::wstring>> tree = ReadTree(hTree);
        EXPECT_EQ(std::vector<std::wstring>{L"Ormidex Opus Encoder"}, tree[L"Audio Compressors"]);
        EXPECT_EQ(std::vector<std::wstring>{L"Ormidex Video Generator"}, tree[L"Video Capture Sources"]);
        EXPECT_EQ(std::vector<std::wstring>{L"Ormidex QS Encoder"}, tree[L"Video Compressors"]);
        Search(hDlg, L"no filter is called this");
        EXPECT_TRUE(ReadTree(hTree).empty());
        EXPECT_EQ(L"", GetItemText(hDlg, IDC_INSERT_CLSID));
        EXPECT_FALSE(IsEnabled(hDlg, IDOK));

        // Without a search every category is listed; a category selected
        // shows nothing and cannot be inserted, a filter under it can.
        Search(hDlg, L"");
        tree = ReadTree(hTree);
        for (const wchar_t* pszCategory :
             {L"DirectShow Filters", L"Video Capture Sources", L"Video Compressors", L"Audio Compressors"})
            EXPECT_EQ(1u, tree.count(pszCategory)) << pszCategory;
        TreeView_SelectItem(hTree, FindItem(hTree, L"Audio Compressors"));
        EXPECT_FALSE(IsEnabled(hDlg, IDOK));
        EXPECT_EQ(L"", GetItemText(hDlg, IDC_INSERT_FILE));
        TreeView_SelectItem(hTree, FindItem(hTree, L"Audio Compressors", L"Ormidex Opus Encoder"));
        EXPECT_EQ(ClsidText(CLSID_OrmidexOpusEncoder), GetItemText(hDlg, IDC_INSERT_CLSID));
        EXPECT_TRUE(IsEnabled(hDlg, IDOK));

        // Insert with a category selected does nothing; Esc closes.
        TreeView_SelectItem(hTree, FindItem(hTree, L"Audio Compressors"));
        PressButtonAndWait(hDlg, IDOK);
        PostKey(hTree, VK_ESCAPE);
    });
    EXPECT_EQ(IDCANCEL, nResult);
    EXPECT_EQ(0, nCalls.load());
}

TEST(InsertFilterDialogTest, InsertCallsTheFunctionForEachAndShowsItsFailure)
{
    std::vector<FilterChoice> choices;
    std::atomic<size_t> nCalls{0};
    std::atomic<HRESULT> hrNext{S_OK};
    CTestInsertDlg dlg([&](const FilterChoice& choice) {
        choices.push_back(choice);
        ++nCalls;
        return hrNext.load();
    });
    INT_PTR nResult = dlg.Run([&](HWND hDlg) {
        HWND hTree = ::GetDlgItem(hDlg, IDC_INSERT_TREE);
        // The button, then Enter in the tree: the dialog stays open.
        Search(hDlg, L"ormidex opus");
        PressButtonAndWait(hDlg, IDOK);
        EXPECT_EQ(L"Inserted Ormidex Opus Encoder.", GetItemText(hDlg, IDC_INSERT_NOTE));
        Search(hDlg, L"Ormidex Video");
        RunOnWindowThread(hDlg, [&] { ::SetFocus(hTree); });
        PostKey(hTree, VK_RETURN);
        EXPECT_TRUE(WaitUntil([&] { return nCalls == 2; }));

        hrNext = VFW_E_CANNOT_CONNECT;
        PressButtonAndWait(hDlg, IDOK);
        EXPECT_EQ(L"Ormidex Video Generator cannot be inserted: " + DescribeError(VFW_E_CANNOT_CONNECT),
                  GetItemText(hDlg, IDC_INSERT_NOTE));
        EXPECT_TRUE(::IsWindowVisible(hDlg));
        PressButton(hDlg, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, nResult);
    ASSERT_EQ(3u, choices.size());
    EXPECT_EQ(L"Ormidex Opus Encoder", choices[0].name);
    EXPECT_EQ(CLSID_OrmidexOpusEncoder, choices[0].clsid);
    EXPECT_EQ(L"Ormidex Video Generator", choices[1].name);
    EXPECT_EQ(CLSID_OrmidexVideoGenerator, choices[1].clsid);
    EXPECT_EQ(choices[1].name, choices[2].name);
    // The choice is the catalog's entry, moniker included.
    std::vector<CatalogFilter> filters;
    ASSERT_EQ(S_OK, ListCategoryFilters(CLSID_VideoInputDeviceCategory, &filters));
    const CatalogFilter* pGenerator = FindByName(filters, L"Ormidex Video Generator");
    ASSERT_NE(nullptr, pGenerator);
    EXPECT_EQ(pGenerator->monikerName, choices[1].monikerName);
}

TEST(InsertFilterDialogTest, WithoutAFunctionInsertEndsWithTheChoice)
{
    CTestInsertDlg dlg;
    INT_PTR nResult = dlg.Run([&](HWND hDlg) {
        Search(hDlg, L"ormidex qs");
        PressButton(hDlg, IDOK);
    });
    EXPECT_EQ(IDOK, nResult);
    EXPECT_EQ(L"Ormidex QS Encoder", dlg.Chosen().name);
    EXPECT_EQ(CLSID_OrmidexQSEncoder, dlg.Chosen().clsid);
}
