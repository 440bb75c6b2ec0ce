// The filter graphs that processes have published in the Running Object
// Table, as the connect dialog lists them.
#pragma once

#include "atlbase.h"

#include <string>
#include <vector>

struct RunningGraph
{
    std::wstring displayName; // of its moniker, to find it again
    DWORD dwGraph = 0;        // the number in its name: the low 32 bits of its address
    DWORD dwProcessId = 0;
    std::wstring program;     // the owning program's file name
};

// Every entry whose name is that of a published graph and whose process is
// running, in the table's order, each name once.
HRESULT ListRunningGraphs(std::vector<RunningGraph>* pGraphs);

// "CorvastaTest.exe pid 00001f2c IFilterGraph = 0012ab34": the program, the
// process id followed by a space, and the graph's number last.
std::wstring RunningGraphItemText(const RunningGraph& graph);

// The object registered under displayName (the first of that name that
// answers). Only the table hands out another process's object: binding the
// item moniker itself fails.
HRESULT GetRunningGraph(const std::wstring& displayName, IUnknown** ppUnk);

// The file name of the program that runs as dwProcessId; empty when there is
// no such process.
std::wstring ProgramName(DWORD dwProcessId);
