#include "atldef.h"
#include "atltrace.h"

#include <cstdarg>
#include <cwchar>
#include <vector>
#include <strsafe.h>

namespace ATL {

CTraceSettings g_AtlTraceSettings = {0, 0xFFFFFFFF};

namespace {

ATLREPORTHOOK s_pfnReportHook = nullptr;

struct TraceCategoryName
{
    DWORD dwCategory;
    const wchar_t* pszName;
};

const TraceCategoryName s_rgCategoryNames[] = {
    {atlTraceGeneral, L"atlTraceGeneral"},
    {atlTraceException, L"atlTraceException"},
};

} // namespace

ATLREPORTHOOK AtlSetReportHook(ATLREPORTHOOK pfnHook)
{
    ATLREPORTHOOK pfnOld = s_pfnReportHook;
    s_pfnReportHook = pfnHook;
    return pfnOld;
}

void AtlReport(EAtlReportType eType, const char* pszFile, int nLine, const wchar_t* pszText)
{
    wchar_t szFile[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, pszFile, -1, szFile, MAX_PATH) == 0)
        return;
    if (s_pfnReportHook != nullptr && s_pfnReportHook(eType, szFile, nLine, pszText))
        return;

    int nLen = _scwprintf(L"%ls(%d) : %ls", szFile, nLine, pszText);
    if (nLen < 0)
        return;
    std::vector<wchar_t> buf(nLen + 1);
    _snwprintf(buf.data(), buf.size(), L"%ls(%d) : %ls", szFile, nLine, pszText);
    ::OutputDebugStringW(buf.data());
}

void AtlAssertFailed(const char* pszFile, int nLine, const wchar_t* pszExpr)
{
    AtlReport(atlReportAssert, pszFile, nLine, pszExpr);
    if (::IsDebuggerPresent())
        ::DebugBreak();
}

const wchar_t* AtlTraceCategoryName(DWORD dwCategory)
{
    for (const TraceCategoryName& entry : s_rgCategoryNames)
        if (entry.dwCategory == dwCategory)
            return entry.pszName;
    return nullptr;
}

void __cdecl AtlTrace2(const char* pszFile, int nLine, DWORD dwCategory, UINT nLevel,
                       const wchar_t* pszFormat, ...)
{
    const CTraceSettings& settings = g_AtlTraceSettings;
    if (settings.m_nLevel == 0xFFFFFFFF || nLevel > settings.m_nLevel ||
        (dwCategory & settings.m_dwCategoryMask) == 0)
        return;

    va_list args;
    va_start(args, pszFormat);
    int nLen = _vscwprintf(pszFormat, args);
    va_end(args);
    if (nLen < 0)
        return;
    std::vector<wchar_t> message(nLen + 1);
    va_start(args, pszFormat);
    int nWritten = _vsnwprintf(message.data(), message.size(), pszFormat, args);
    va_end(args);
    if (nWritten < 0)
        return;

    wchar_t szPrefix[1024];
    const wchar_t* pszName = AtlTraceCategoryName(dwCategory);
    HRESULT hr = pszName != nullptr
                     ? ::StringCchPrintfW(szPrefix, ARRAYSIZE(szPrefix), L"%ls - ", pszName)
                     : ::StringCchPrintfW(szPrefix, ARRAYSIZE(szPrefix), L"%u - ", dwCategory);
    if (FAILED(hr))
        return;

    std::vector<wchar_t> line(wcslen(szPrefix) + nLen + 1);
    _snwprintf(line.data(), line.size(), L"%ls%ls", szPrefix, message.data());
    AtlReport(atlReportWarning, pszFile, nLine, line.data());
}

void AtlThrowImpl(HRESULT hr, const char* pszFile, int nLine)
{
    AtlTrace2(pszFile, nLine, atlTraceException, 0, L"AtlThrow: hr = 0x%x\n", hr);
    throw CAtlException(hr);
}

} // namespace ATL
