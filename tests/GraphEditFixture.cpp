#include "GraphEditFixture.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>

#include "dshow/PublishedGraph.h"

std::vector<std::wstring> PublishedGraphsOfThisProcess()
{
    std::vector<std::wstring> names;
    CComPtr<IRunningObjectTable> spROT;
    CComPtr<IEnumMoniker> spEnum;
    CComPtr<IBindCtx> spCtx;
    if (FAILED(::GetRunningObjectTable(0, &spROT)) || FAILED(spROT->EnumRunning(&spEnum)) ||
        FAILED(::CreateBindCtx(0, &spCtx)))
        return names;
    CComPtr<IMoniker> spMoniker;
    while (spEnum->Next(1, &spMoniker, nullptr) == S_OK)
    {
        LPOLESTR pszName = nullptr;
        DWORD dwGraph = 0, dwProcessId = 0;
        if (SUCCEEDED(spMoniker->GetDisplayName(spCtx, nullptr, &pszName)) &&
            ParsePublishedGraphName(pszName, &dwGraph, &dwProcessId) && dwProcessId == ::GetCurrentProcessId())
            names.push_back(pszName + wcslen(szPublishedGraphDelimiter));
        ::CoTaskMemFree(pszName);
        spMoniker.Release();
    }
    return names;
}

std::vector<DWORD> RunningEditors()
{
    std::vector<DWORD> editors;
    HANDLE hSnap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return editors;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL b = ::Process32FirstW(hSnap, &entry); b; b = ::Process32NextW(hSnap, &entry))
    {
        const wchar_t* pszName = wcsrchr(entry.szExeFile, L'\\');
        pszName = pszName != nullptr ? pszName + 1 : entry.szExeFile;
        if (entry.th32ParentProcessID == ::GetCurrentProcessId() && _wcsicmp(pszName, L"graphedt.exe") == 0)
            editors.push_back(entry.th32ProcessID);
    }
    ::CloseHandle(hSnap);
    return editors;
}

std::wstring GraphItem(DWORD dwProcessId, const void* pGraph)
{
    wchar_t szItem[128];
    swprintf(szItem, ARRAYSIZE(szItem), L"GraphEditTests.exe pid %x IFilterGraph = %08x", dwProcessId,
             static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(pGraph)));
    return szItem;
}

CEditorProcess::CEditorProcess(DWORD dwProcessId)
    : m_hProcess(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, dwProcessId))
{
}

CEditorProcess::~CEditorProcess()
{
    if (m_hProcess != nullptr)
        ::CloseHandle(m_hProcess);
}

bool CEditorProcess::WaitForEnd(DWORD dwTimeoutMs)
{
    return m_hProcess != nullptr && ::WaitForSingleObject(m_hProcess, dwTimeoutMs) == WAIT_OBJECT_0;
}

void CEditorProcess::Terminate()
{
    if (m_hProcess != nullptr && ::TerminateProcess(m_hProcess, 1))
        ::WaitForSingleObject(m_hProcess, 5000);
}

CGraphEditTest::CGraphEditTest()
    : m_proppage(HKEY_CLASSES_ROOT, L"CLSID\\{29E07010-BD27-11CE-AB59-00AA00577DA1}"),
      m_graphEditKey(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Shared Tools\\Graphedit"),
      m_savedTrace(g_AtlTraceSettings), m_graphEdit(true)
{
}

void CGraphEditTest::SetUp()
{
    ASSERT_EQ(ERROR_SUCCESS, m_proppage.Result());
    ASSERT_EQ(ERROR_SUCCESS, m_graphEditKey.Result());
    ASSERT_EQ(ERROR_SUCCESS, m_proppage.SetString(L"InprocServer32", nullptr, EditorFolder() + L"proppage.dll"));
    ASSERT_EQ(ERROR_SUCCESS, m_graphEditKey.SetString(nullptr, L"Path", EditorFolder() + L"graphedt.exe"));
    ASSERT_EQ(S_OK, m_spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER));

    wchar_t szTemp[MAX_PATH];
    ::GetTempPathW(ARRAYSIZE(szTemp), szTemp);
    static int s_nRecord = 0;
    m_recordFile = szTemp + std::wstring(L"fakeedit-") + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                   std::to_wstring(++s_nRecord) + L".txt";
    SetPart(L"");
    // The bridge's failure traces are level 2.
    g_AtlTraceSettings.m_nLevel = 2;
}

void CGraphEditTest::TearDown()
{
    m_graphEdit.Close();
    // An editor still running here was not asked to quit, or did not.
    std::vector<DWORD> editors = RunningEditors();
    for (int i = 0; i < 300 && !editors.empty(); i++)
    {
        ::Sleep(10);
        editors = RunningEditors();
    }
    EXPECT_TRUE(editors.empty()) << editors.size() << " graph editor(s) left running";
    for (DWORD dwProcessId : editors)
        CEditorProcess(dwProcessId).Terminate();

    ::SetEnvironmentVariableW(L"CORVASTA_FAKEEDIT", nullptr);
    ::DeleteFileW(m_recordFile.c_str());
    g_AtlTraceSettings = m_savedTrace;
}

std::wstring CGraphEditTest::EditorFolder()
{
    wchar_t szPath[MAX_PATH];
    DWORD nLen = ::GetModuleFileNameW(nullptr, szPath, ARRAYSIZE(szPath));
    std::wstring path(szPath, nLen);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"fakeedit\\";
}

void CGraphEditTest::SetPart(const std::wstring& part)
{
    ::DeleteFileW(m_recordFile.c_str());
    std::wstring config = L"out=" + m_recordFile + (part.empty() ? L"" : L";" + part);
    ::SetEnvironmentVariableW(L"CORVASTA_FAKEEDIT", config.c_str());
}

CFakeEditRecord CGraphEditTest::Record() const
{
    CFakeEditRecord record;
    FILE* pFile = _wfopen(m_recordFile.c_str(), L"r");
    if (pFile == nullptr)
        return record;
    int nOk = 0;
    record.bWritten = fscanf(pFile, "command=%x\ncounts=%d\nselected=%d\nok=%d\n", &record.nCommand,
                             &record.nCounts, &record.nSelected, &nOk) == 4;
    record.bOk = nOk != 0;
    fclose(pFile);
    return record;
}
