#include "ReportCapture.h"

#include <algorithm>

namespace {
CReportCapture* s_pCurrent = nullptr;
CRITICAL_SECTION* Lock()
{
    static CRITICAL_SECTION cs;
    static bool bInit = (::InitializeCriticalSection(&cs), true);
    (void)bInit;
    return &cs;
}
} // namespace

CReportCapture::CReportCapture() : m_pOuter(s_pCurrent)
{
    ::EnterCriticalSection(Lock());
    s_pCurrent = this;
    ::LeaveCriticalSection(Lock());
    m_pfnOld = AtlSetReportHook(Hook);
}

CReportCapture::~CReportCapture()
{
    AtlSetReportHook(m_pfnOld);
    ::EnterCriticalSection(Lock());
    s_pCurrent = m_pOuter;
    ::LeaveCriticalSection(Lock());
}

bool CReportCapture::HasAssert(const std::wstring& text) const
{
    return std::find(m_asserts.begin(), m_asserts.end(), text) != m_asserts.end();
}

void CReportCapture::Clear()
{
    ::EnterCriticalSection(Lock());
    m_asserts.clear();
    m_traces.clear();
    ::LeaveCriticalSection(Lock());
}

bool CReportCapture::Hook(EAtlReportType eType, const wchar_t* /*pszFile*/, int /*nLine*/,
                          const wchar_t* pszText)
{
    ::EnterCriticalSection(Lock());
    if (s_pCurrent != nullptr)
        (eType == atlReportAssert ? s_pCurrent->m_asserts : s_pCurrent->m_traces).push_back(pszText);
    ::LeaveCriticalSection(Lock());
    return true;
}
