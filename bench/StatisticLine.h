// The harness dialog's statistics line, read from another process.
#pragma once

#include <windows.h>

#include <string>

// The window's text; empty when it is null or does not answer within 1 s.
std::wstring WindowText(HWND hWnd);

// The count at the head of the line ("Connections: N, ..."), or -1.
long ShownConnections(const std::wstring& strLine);
