// Collects the framework's assertion and trace reports while it lives.
#pragma once

#include "atlbase.h"

#include <string>
#include <vector>

class CReportCapture
{
public:
    CReportCapture();
    ~CReportCapture();

    const std::vector<std::wstring>& Asserts() const { return m_asserts; }
    const std::vector<std::wstring>& Traces() const { return m_traces; }
    bool HasAssert(const std::wstring& text) const;
    // An always-failing assertion that flags a message: ATLASSERT(!L"msg").
    bool HasFlag(const std::wstring& msg) const { return HasAssert(L"!L\"" + msg + L"\""); }
    void Clear();

private:
    static bool Hook(EAtlReportType eType, const wchar_t* pszFile, int nLine, const wchar_t* pszText);

    std::vector<std::wstring> m_asserts;
    std::vector<std::wstring> m_traces;
    ATLREPORTHOOK m_pfnOld;
    CReportCapture* m_pOuter;
};
