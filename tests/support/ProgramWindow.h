// CorvastaTest started as a process of its own and driven from outside
// through its main dialog, as a user meets it. No test framework: the
// benchmark and the installer's test use it.
#pragma once

#include <windows.h>

#include <string>

// The visible main dialog of the process, or null.
HWND FindMainDialog(DWORD dwPid);

class CProgram
{
public:
    CProgram() = default;
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;
    ~CProgram() { Close(); }

    // Starts the program and waits for its window: the one that pfnFind
    // finds for the process, by default its main dialog; pszArgs follow the
    // program's quoted path on its command line.
    bool Start(const std::wstring& path, DWORD dwTimeoutMs = 30000, HWND (*pfnFind)(DWORD) = FindMainDialog,
               const wchar_t* pszArgs = L"");
    // Presses a button and returns when its handler has.
    void Click(int nID);
    // Closes the dialog; a program that has not ended after the time-out is
    // terminated. Answers whether it ended by itself.
    bool Close(DWORD dwTimeoutMs = 10000);

    PROCESS_INFORMATION pi = {};
    HWND hDlg = nullptr;
};
