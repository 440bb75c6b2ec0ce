// The registered filters as the user picks from them: the categories of the
// system device enumerator and the entries of one, read into plain data.
#pragma once

#include "FilterChoice.h"

#include <string>
#include <vector>

struct FilterCategory
{
    std::wstring name;
    CLSID id = GUID_NULL; // what the device enumerator takes as the category
};

struct CatalogFilter
{
    std::wstring name;        // friendly name
    CLSID clsid = GUID_NULL;  // its CLSID property; GUID_NULL when it has none
    std::wstring monikerName; // display name of its moniker, to create it again
    std::wstring file;        // the class's in-process server; empty when none is registered

    FilterChoice ToChoice() const;
};

// The device enumerator's categories, with the ones the harness uses added
// when it lacks them, sorted by name. The list holds at least those even when
// the enumerator fails; the result is then its failure.
HRESULT ListFilterCategories(std::vector<FilterCategory>* pCategories);

// The entries of one category, sorted by name: S_OK, S_FALSE for a category
// without entries (an empty list), or the enumerator's failure. An entry
// whose name cannot be read is left out.
HRESULT ListCategoryFilters(REFCLSID category, std::vector<CatalogFilter>* pFilters);

// The default value of HKCR\CLSID\{clsid}\InprocServer32; empty when none.
std::wstring FindFilterFile(REFCLSID clsid);

// Whether search is part of name, ignoring case; an empty search matches all.
bool FilterNameMatches(const std::wstring& name, const std::wstring& search);
