// What the graph editor bridge's tests share: a graph to show, registrations
// that lead the bridge to the stand-in editor (tests/fakeedit) and the part
// it plays, and looks at the Running Object Table and at editor processes.
#pragma once

#include <gtest/gtest.h>

#include "atlbase.h"

#include "atldshow.h"

#include "graphedit/GraphEdit.h"
#include "tests/support/GraphEditInspector.h"
#include "tests/support/RegKeyScope.h"

#include <string>
#include <vector>

// What the stand-in editor saw, written when its message loop ended.
struct CFakeEditRecord
{
    bool bWritten = false;
    unsigned nCommand = 0; // wParam of the connect command
    int nCounts = 0;       // LB_GETCOUNT requests to its list
    int nSelected = -1;    // the selection when IDOK came
    bool bOk = false;
};

// The cookie names that this process has in the Running Object Table.
std::vector<std::wstring> PublishedGraphsOfThisProcess();
// Graph editors started by this process that still run.
std::vector<DWORD> RunningEditors();
// An item as the editor lists a published graph: program, process and number.
std::wstring GraphItem(DWORD dwProcessId, const void* pGraph);

// A handle of our own on an editor process, so that a test can see it end or
// end it.
class CEditorProcess
{
public:
    explicit CEditorProcess(DWORD dwProcessId);
    ~CEditorProcess();
    CEditorProcess(const CEditorProcess&) = delete;
    CEditorProcess& operator=(const CEditorProcess&) = delete;
    bool IsOpen() const { return m_hProcess != nullptr; }
    bool WaitForEnd(DWORD dwTimeoutMs);
    void Terminate();

private:
    HANDLE m_hProcess;
};

class CGraphEditTest : public testing::Test
{
protected:
    CGraphEditTest();
    void SetUp() override;
    void TearDown() override;

    // The stand-in editor's folder, with a backslash at the end.
    static std::wstring EditorFolder();
    // The editor's part, as tests/fakeedit/FakeGraphEdit.cpp reads it.
    void SetPart(const std::wstring& part);
    CFakeEditRecord Record() const;
    std::wstring MyGraphItem() const { return GraphItem(::GetCurrentProcessId(), m_spGraph.p); }

    CComPtr<IGraphBuilder> m_spGraph;
    CRegKeyScope m_proppage;
    CRegKeyScope m_graphEditKey;
    std::wstring m_recordFile;
    CTraceSettings m_savedTrace;
    CGraphEdit m_graphEdit; // last, so that it closes first
};
