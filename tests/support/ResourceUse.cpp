#include "ResourceUse.h"

#include <dshow.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <vector>

namespace {

// NtQuerySystemInformation's table of every process's handles, in its
// extended form: the short form cuts handle values to 16 bits, which a
// process past 16384 handles outgrows.
const ULONG nSystemExtendedHandleInformation = 64;
const LONG lInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct SystemHandleEntry
{
    void* pObject;
    ULONG_PTR nOwnerPid;
    ULONG_PTR nHandle;
    ACCESS_MASK dwAccess;
    USHORT nBackTrace;
    USHORT nObjectType;
    ULONG nAttributes;
    ULONG nReserved;
};

struct SystemHandleTable
{
    ULONG_PTR nCount;
    ULONG_PTR nReserved;
    SystemHandleEntry rgEntries[1];
};

const ULONG nObjectNameInformation = 1;
const ULONG nObjectTypeInformation = 2;

typedef LONG(WINAPI* PfnQuerySystem)(ULONG, void*, ULONG, ULONG*);
typedef LONG(WINAPI* PfnQueryObject)(HANDLE, ULONG, void*, ULONG, ULONG*);

template <class TPfn>
TPfn NtFunction(const char* pszName)
{
    return reinterpret_cast<TPfn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), pszName)));
}

// An object's type or name (NtQueryObject answers a UNICODE_STRING first).
std::wstring ObjectText(PfnQueryObject pfnQuery, HANDLE h, ULONG nClass)
{
    struct CountedText
    {
        USHORT cbLength;
        USHORT cbMaximum;
        const wchar_t* psz;
    };
    alignas(8) BYTE buffer[2048];
    if (pfnQuery(h, nClass, buffer, sizeof(buffer), nullptr) != 0)
        return std::wstring();
    const CountedText* pText = reinterpret_cast<const CountedText*>(buffer);
    return pText->psz != nullptr ? std::wstring(pText->psz, pText->cbLength / sizeof(wchar_t)) : std::wstring();
}

// A key that has been deleted has no name: Wine's device enumerator writes
// its entries of the system's codecs anew at each enumeration, so the keys it
// left open on the former ones end up nameless.
bool IsDeviceKey(const std::wstring& name)
{
    bool bInstance = name.find(L"\\Classes\\CLSID\\") != std::wstring::npos &&
                     name.find(L"\\Instance\\") != std::wstring::npos;
    return name.empty() || bInstance || name.find(L"\\ActiveMovie\\devenum") != std::wstring::npos;
}

// Counts the process's entries in the system's handle table into use; false
// when there is no table to read.
bool CountHandlesInTable(ResourceUse* pUse)
{
    PfnQuerySystem pfnQuery = NtFunction<PfnQuerySystem>("NtQuerySystemInformation");
    PfnQueryObject pfnQueryObject = NtFunction<PfnQueryObject>("NtQueryObject");
    if (pfnQuery == nullptr || pfnQueryObject == nullptr)
        return false;
    std::vector<BYTE> buffer(256 * 1024);
    LONG lStatus;
    ULONG cbNeeded = 0;
    while ((lStatus = pfnQuery(nSystemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                               &cbNeeded)) == lInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (lStatus != 0)
        return false;
    const SystemHandleTable* pTable = reinterpret_cast<const SystemHandleTable*>(buffer.data());
    for (ULONG_PTR i = 0; i < pTable->nCount; i++)
    {
        const SystemHandleEntry& entry = pTable->rgEntries[i];
        if (entry.nOwnerPid != ::GetCurrentProcessId())
            continue;
        pUse->nHandles++;
        HANDLE h = reinterpret_cast<HANDLE>(entry.nHandle);
        if (ObjectText(pfnQueryObject, h, nObjectTypeInformation) == L"Key" &&
            IsDeviceKey(ObjectText(pfnQueryObject, h, nObjectNameInformation)))
            pUse->nDeviceKeys++;
    }
    return true;
}

BOOL CALLBACK CountWindow(HWND hWnd, LPARAM lParam)
{
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    if (dwPid == ::GetCurrentProcessId())
        ++*reinterpret_cast<DWORD*>(lParam);
    return TRUE;
}

// Top-level windows of the process with their children: EnumChildWindows
// walks every depth.
BOOL CALLBACK CountTree(HWND hWnd, LPARAM lParam)
{
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    if (dwPid != ::GetCurrentProcessId())
        return TRUE;
    ++*reinterpret_cast<DWORD*>(lParam);
    ::EnumChildWindows(hWnd, CountWindow, lParam);
    return TRUE;
}

DWORD CountWindows()
{
    DWORD nWindows = 0;
    ::EnumWindows(CountTree, reinterpret_cast<LPARAM>(&nWindows));
    // Message-only windows are not top-level windows to EnumWindows.
    HWND hWnd = nullptr;
    while ((hWnd = ::FindWindowExW(HWND_MESSAGE, hWnd, nullptr, nullptr)) != nullptr)
        CountTree(hWnd, reinterpret_cast<LPARAM>(&nWindows));
    return nWindows;
}

DWORD CountThreads()
{
    HANDLE hSnap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return 0;
    DWORD nThreads = 0;
    THREADENTRY32 te = {sizeof(te)};
    for (BOOL bMore = ::Thread32First(hSnap, &te); bMore; bMore = ::Thread32Next(hSnap, &te))
    {
        if (te.th32OwnerProcessID == ::GetCurrentProcessId())
            nThreads++;
    }
    ::CloseHandle(hSnap);
    return nThreads;
}

} // namespace

ResourceUse MeasureResourceUse()
{
    ResourceUse use;
    // The snapshot of the threads takes a handle and gives it back: count
    // the handles first.
    ::GetProcessHandleCount(::GetCurrentProcess(), &use.nHandles);
    if (use.nHandles == 0)
        use.bHandleTable = CountHandlesInTable(&use);
    use.nUserObjects = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    use.nGdiObjects = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    use.nWindows = CountWindows();
    use.nThreads = CountThreads();
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof(pmc);
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc)))
        use.cbPrivate = pmc.PrivateUsage;
    if (use.cbPrivate == 0)
    {
        use.cbPrivate = pmc.PagefileUsage;
        use.bCommitCharge = true;
    }
    return use;
}

long GraphManagerHandleLoss(int nGraphs)
{
    auto create = [] {
        IGraphBuilder* pGraph = nullptr;
        if (SUCCEEDED(::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         reinterpret_cast<void**>(&pGraph))))
            pGraph->Release();
    };
    create(); // loads the DLL
    ResourceUse start = MeasureResourceUse();
    for (int i = 0; i < nGraphs; i++)
        create();
    return static_cast<long>(MeasureResourceUse().OwnHandles()) - static_cast<long>(start.OwnHandles());
}

std::string ResourceUseText(const ResourceUse& start, const ResourceUse& end)
{
    char sz[1024];
    int n = std::snprintf(sz, sizeof(sz), "  handles: %lu -> %lu%s\n", static_cast<unsigned long>(start.nHandles),
                          static_cast<unsigned long>(end.nHandles),
                          end.bHandleTable ? " (GetProcessHandleCount answers 0: the system's handle table)" : "");
    if (start.nDeviceKeys != 0 || end.nDeviceKeys != 0)
        n += std::snprintf(sz + n, sizeof(sz) - n,
                           "    of them registry keys of device categories, left open by the system device "
                           "enumerator: %lu -> %lu\n",
                           static_cast<unsigned long>(start.nDeviceKeys), static_cast<unsigned long>(end.nDeviceKeys));
    if (start.nUserObjects == 0 && start.nGdiObjects == 0 && end.nUserObjects == 0 && end.nGdiObjects == 0)
        n += std::snprintf(sz + n, sizeof(sz) - n,
                           "  USER and GDI objects: not counted (GetGuiResources answers 0); the windows stand in\n");
    else
        n += std::snprintf(sz + n, sizeof(sz) - n, "  USER objects: %lu -> %lu\n  GDI objects: %lu -> %lu\n",
                           static_cast<unsigned long>(start.nUserObjects), static_cast<unsigned long>(end.nUserObjects),
                           static_cast<unsigned long>(start.nGdiObjects), static_cast<unsigned long>(end.nGdiObjects));
    std::snprintf(sz + n, sizeof(sz) - n,
                  "  windows: %lu -> %lu\n  threads: %lu -> %lu\n  private bytes: %.1f MB -> %.1f MB (%+lld KB)%s\n",
                  static_cast<unsigned long>(start.nWindows), static_cast<unsigned long>(end.nWindows),
                  static_cast<unsigned long>(start.nThreads), static_cast<unsigned long>(end.nThreads),
                  start.cbPrivate / 1048576.0, end.cbPrivate / 1048576.0,
                  (static_cast<long long>(end.cbPrivate) - static_cast<long long>(start.cbPrivate)) / 1024,
                  end.bCommitCharge ? " (PrivateUsage answers 0: the commit charge, PagefileUsage)" : "");
    return sz;
}
