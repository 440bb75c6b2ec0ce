// What this process holds of the system's resources: the figures that a leak
// makes grow. No test framework: the benchmark reports them too.
#pragma once

#include <windows.h>

#include <string>

// Wine answers GetProcessHandleCount, GetGuiResources and PrivateUsage with
// 0; the handles are then counted in the system's handle table and the
// private bytes read as the commit charge (PagefileUsage, the same figure on
// Windows). USER and GDI objects stay uncounted there: the windows stand in.
struct ResourceUse
{
    DWORD nHandles = 0;
    bool bHandleTable = false; // nHandles counted in the system's handle table
    // Of nHandles, registry keys of device categories (HKCR\CLSID\{category}
    // \Instance, HKCU\...\ActiveMovie\devenum, and deleted ones). Wine 8's
    // system device enumerator leaves some open at each enumeration; nothing
    // of ours opens them. Told apart only with the handle table.
    DWORD nDeviceKeys = 0;
    DWORD nUserObjects = 0;
    DWORD nGdiObjects = 0;
    DWORD nWindows = 0; // top-level, child and message-only windows of the process
    DWORD nThreads = 0;
    SIZE_T cbPrivate = 0;
    bool bCommitCharge = false; // cbPrivate read as the commit charge

    // The handles that are the program's to account for.
    DWORD OwnHandles() const { return nHandles - nDeviceKeys; }
};

ResourceUse MeasureResourceUse();

// The handles that creating and releasing nGraphs filter graph managers
// loses, with no filter in them (Wine 8's loses an event each): the
// platform's share of a run that builds as many graphs. Needs COM.
long GraphManagerHandleLoss(int nGraphs);

// "name: start -> end" for each figure, one a line, with where it came from
// when not from the usual call.
std::string ResourceUseText(const ResourceUse& start, const ResourceUse& end);
