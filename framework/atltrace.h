// Trace statements with categories and levels, written to the debugger's output.
#pragma once

#include <windows.h>

namespace ATL {

// Process-wide trace state. Nothing in the program changes it; a developer
// raises the level in a debugger (or a test does) to see more.
struct CTraceSettings
{
    UINT32 m_nLevel;        // a trace is written if its level is not above this; ~0 switches off
    UINT32 m_dwCategoryMask;
};
extern CTraceSettings g_AtlTraceSettings;

const DWORD atlTraceGeneral = 0x1;
const DWORD atlTraceException = 0x2000;

const wchar_t* AtlTraceCategoryName(DWORD dwCategory);
void __cdecl AtlTrace2(const char* pszFile, int nLine, DWORD dwCategory, UINT nLevel,
                       const wchar_t* pszFormat, ...);

} // namespace ATL

#ifdef _DEBUG
#define ATLTRACE2(category, level, ...) \
    ATL::AtlTrace2(__FILE__, __LINE__, (category), (level), __VA_ARGS__)
#else
#define ATLTRACE2(category, level, ...) ((void)0)
#endif
