// The name under which a process publishes its filter graph in the Running
// Object Table, so that a graph editor in another process can list and fetch
// it: "FilterGraph %08x pid %08x", the low 32 bits of the graph's address and
// the process id in lower-case hexadecimal.
#pragma once

#include <windows.h>

// The item moniker's delimiter; a display name starts with it.
extern const wchar_t szPublishedGraphDelimiter[];
// A buffer that every name fits (33 units with the terminator).
const size_t cchPublishedGraphName = 64;

// Formats the name for the graph at pGraph in the process dwProcessId.
HRESULT FormatPublishedGraphName(const void* pGraph, DWORD dwProcessId, LPWSTR pszName,
                                 size_t cchName);

// Reads a name, or the display name of its item moniker (the delimiter
// first), back into the graph's number and the process id. Anything else is
// not a published graph: false, and both out-values 0.
bool ParsePublishedGraphName(LPCWSTR pszName, DWORD* pdwGraph, DWORD* pdwProcessId);
