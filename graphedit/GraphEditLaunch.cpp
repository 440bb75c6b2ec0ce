// Finding and starting the graph editor.
#include "GraphEdit.h"

#include <strsafe.h>

namespace {

const wchar_t szProppageKey[] = L"CLSID\\{29E07010-BD27-11CE-AB59-00AA00577DA1}";
const wchar_t szGraphEditKey[] = L"Software\\Microsoft\\Shared Tools\\Graphedit";
const wchar_t szGraphEditExe[] = L"graphedt.exe";
// How long the started editor is given to wait for input.
const DWORD dwIdleWaitMs = 1000;

// The editor's path from its registration, or its bare file name.
void GetGraphEditPath(LPWSTR pszGraphEdit)
{
    CRegKey key;
    ULONG nChars = MAX_PATH;
    if (key.Open(HKEY_LOCAL_MACHINE, szGraphEditKey, KEY_READ) != ERROR_SUCCESS ||
        key.QueryStringValue(L"Path", pszGraphEdit, &nChars) != ERROR_SUCCESS)
        ::StringCchCopyW(pszGraphEdit, MAX_PATH, szGraphEditExe);
}

// The editor's path in the folder of pszProppage_dll; false when that path
// has no folder or the result would not fit.
bool GetPathBeside(LPWSTR pszGraphEdit, LPCWSTR pszProppage_dll)
{
    if (FAILED(::StringCchCopyNW(pszGraphEdit, MAX_PATH, pszProppage_dll, MAX_PATH - 1)))
        return false;
    LPWSTR pszName = nullptr;
    for (LPWSTR psz = pszGraphEdit; *psz != L'\0'; psz++)
        if (*psz == L'\\' || *psz == L'/')
            pszName = psz + 1;
    if (pszName == nullptr)
        return false;
    *pszName = L'\0';
    return SUCCEEDED(::StringCchCatW(pszGraphEdit, MAX_PATH, szGraphEditExe));
}

bool StartProcess(LPCWSTR pszGraphEdit, STARTUPINFOW& rgSI, PROCESS_INFORMATION& rgPI)
{
    return ::CreateProcessW(pszGraphEdit, nullptr, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                            nullptr, nullptr, &rgSI, &rgPI) != FALSE;
}

} // namespace

bool IsProppageRegistered(LPWSTR pszProppage_dll)
{
    CRegKey keyClsid, keyServer;
    LONG lRes = keyClsid.Open(HKEY_CLASSES_ROOT, szProppageKey, KEY_READ);
    if (lRes == ERROR_SUCCESS)
        lRes = keyServer.Open(keyClsid, L"InprocServer32", KEY_READ);
    if (lRes == ERROR_SUCCESS && pszProppage_dll != nullptr)
    {
        ULONG nChars = MAX_PATH;
        lRes = keyServer.QueryStringValue(nullptr, pszProppage_dll, &nChars);
    }
    if (lRes != ERROR_SUCCESS)
    {
        if (pszProppage_dll != nullptr)
            pszProppage_dll[0] = L'\0';
        return false;
    }
    return true;
}

HRESULT CGraphEdit::LoadGraphEdit(LPCWSTR pszProppage_dll)
{
    wchar_t szGraphEdit[MAX_PATH];
    GetGraphEditPath(szGraphEdit);

    STARTUPINFOW rgSI;
    ZeroMemory(&rgSI, sizeof(rgSI));
    rgSI.cb = sizeof(rgSI);
    rgSI.dwFlags = STARTF_USESHOWWINDOW;
    rgSI.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION rgPI;
    ZeroMemory(&rgPI, sizeof(rgPI));

    bool bStarted = StartProcess(szGraphEdit, rgSI, rgPI);
    DWORD dwError = bStarted ? 0 : ::GetLastError();
    // Not found: the editor may lie beside the property pages, as the SDK
    // installs them.
    if (!bStarted && dwError == ERROR_FILE_NOT_FOUND && pszProppage_dll != nullptr &&
        pszProppage_dll[0] != L'\0' && GetPathBeside(szGraphEdit, pszProppage_dll))
    {
        bStarted = StartProcess(szGraphEdit, rgSI, rgPI);
        dwError = bStarted ? 0 : ::GetLastError();
    }
    if (!bStarted)
        return dwError != 0 ? HRESULT_FROM_WIN32(dwError) : E_FAIL;
    ATLASSERT(rgPI.hProcess != 0 && rgPI.hThread != 0);

    // Cleared first, so that a timeout is not read as some earlier call's
    // error.
    ::SetLastError(0);
    DWORD dwWait = ::WaitForInputIdle(rgPI.hProcess, dwIdleWaitMs);
    if (dwWait != 0)
    {
        dwError = ::GetLastError();
        HRESULT hr = dwError == 0 || dwError == WAIT_TIMEOUT ? E_FAIL : HRESULT_FROM_WIN32(dwError);
        ATLTRACE2(atlTraceGeneral, 2, L"###Err### CGraphEdit::LoadGraphEdit(): WaitForInputIdle()=%u, hr=0x%X\n",
                  dwWait, hr);
        // The editor goes on running, no longer tracked.
        ::CloseHandle(rgPI.hThread);
        ::CloseHandle(rgPI.hProcess);
        return hr;
    }
    m_rgPI = rgPI;
    return S_OK;
}
