// The other side of the cross-process tests: starts RemoteGraphHost.exe
// (beside the test executable), fetches the graph it publishes from the
// Running Object Table and ends it with WM_QUIT, as the harness ends the
// graph editor.
#pragma once

#include "atlbase.h"
#include "atldshow.h"

class CRemoteGraph
{
public:
    CRemoteGraph() = default;
    ~CRemoteGraph();
    CRemoteGraph(const CRemoteGraph&) = delete;
    CRemoteGraph& operator=(const CRemoteGraph&) = delete;

    // Starts the host and waits until its graph is published.
    HRESULT Start();
    // The published graph: a proxy to the host's graph manager.
    HRESULT GetGraph(IFilterGraph** ppGraph) const;
    DWORD ProcessId() const { return m_pi.dwProcessId; }
    // Asks the host to quit and waits for it: its exit code (see
    // RemoteGraphHost.cpp), STILL_ACTIVE when it did not end in time.
    // Release every proxy of its objects first.
    DWORD Stop();

private:
    PROCESS_INFORMATION m_pi = {};
};
