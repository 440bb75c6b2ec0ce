// Assertions, exceptions and the debug report channel of the framework.
#pragma once

#include <windows.h>

namespace ATL {

// A report is written to the debugger's output ("%ls(%d) : %ls"). A test may
// install a hook to see reports; a hook that returns true swallows the report.
enum EAtlReportType { atlReportWarning = 0, atlReportAssert = 1 };
typedef bool (*ATLREPORTHOOK)(EAtlReportType eType, const wchar_t* pszFile, int nLine,
                              const wchar_t* pszText);
ATLREPORTHOOK AtlSetReportHook(ATLREPORTHOOK pfnHook);
void AtlReport(EAtlReportType eType, const char* pszFile, int nLine, const wchar_t* pszText);
void AtlAssertFailed(const char* pszFile, int nLine, const wchar_t* pszExpr);

class CAtlException
{
public:
    explicit CAtlException(HRESULT hr) : m_hr(hr) {}
    operator HRESULT() const { return m_hr; }
    HRESULT m_hr;
};

[[noreturn]] void AtlThrowImpl(HRESULT hr, const char* pszFile, int nLine);

} // namespace ATL

#define ATL_WIDEN2(x) L##x
#define ATL_WIDEN(x) ATL_WIDEN2(x)

#ifdef _DEBUG
// The report shows the condition as written; execution then goes on as in a
// release build.
#define ATLASSERT(expr) \
    ((expr) ? (void)0 : ATL::AtlAssertFailed(__FILE__, __LINE__, ATL_WIDEN(#expr)))
#else
#define ATLASSERT(expr) ((void)0)
#endif

#define AtlThrow(hr) ATL::AtlThrowImpl((hr), __FILE__, __LINE__)
