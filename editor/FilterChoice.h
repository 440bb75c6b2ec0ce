// A filter as the user picks it to insert: where it comes from and the name
// it is added under.
#pragma once

#include <windows.h>

#include <string>

struct FilterChoice
{
    std::wstring name;        // its friendly name: the name it gets in the graph (made unique there)
    CLSID clsid = GUID_NULL;  // the class to create when there is no moniker
    std::wstring monikerName; // display name of its device moniker; empty for a class id alone
};
