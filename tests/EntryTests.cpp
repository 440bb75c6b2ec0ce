// The program's entry: exit codes, and the real executable closed by each
// means a user has.
#include <gtest/gtest.h>

#include "app/CorvastaTest.h"
#include "tests/support/WindowDriver.h"

#include <string>

namespace {

// Runs f on a new thread, as a fresh main thread would be.
template <class F>
auto OnNewThread(F f) -> decltype(f())
{
    decltype(f()) result{};
    std::thread t([&] { result = f(); });
    t.join();
    return result;
}

std::wstring ProgramPath()
{
    wchar_t sz[MAX_PATH];
    ::GetModuleFileNameW(nullptr, sz, MAX_PATH);
    std::wstring path(sz);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"CorvastaTest.exe";
}

HWND FindProgramWindow(DWORD dwPid, DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        HWND hWnd = nullptr;
        while ((hWnd = ::FindWindowExW(nullptr, hWnd, L"#32770", L"Corvasta Test")) != nullptr)
        {
            DWORD dwOwner = 0;
            ::GetWindowThreadProcessId(hWnd, &dwOwner);
            if (dwOwner == dwPid && ::IsWindowVisible(hWnd))
                return hWnd;
        }
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return nullptr;
        ::Sleep(20);
    }
}

} // namespace

TEST(EntryTest, ComAlreadyInitialisedEndsWithItsResultAndNoWindow)
{
    bool bWindowSeen = false;
    int nExit = OnNewThread([&] {
        ::CoInitialize(nullptr);
        int n = CorvastaTestMain();
        bWindowSeen = ::FindWindowW(L"#32770", L"Corvasta Test") != nullptr;
        ::CoUninitialize();
        return n;
    });
    EXPECT_EQ(1, nExit);
    EXPECT_FALSE(bWindowSeen);
}

TEST(EntryTest, ProgramExitsWithZeroHoweverItIsClosed)
{
    struct Case
    {
        const char* pszHow;
        void (*fClose)(HWND);
    } cases[] = {
        {"OK", [](HWND h) { ::PostMessageW(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }},
        {"Cancel", [](HWND h) { ::PostMessageW(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }},
        {"close box", [](HWND h) { ::PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Escape", [](HWND h) { ::PostMessageW(::GetDlgItem(h, 202), WM_KEYDOWN, VK_ESCAPE, 0x00010001); }},
    };
    std::wstring program = ProgramPath();
    for (const Case& c : cases)
    {
        STARTUPINFOW si = {sizeof(si)};
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(::CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            << c.pszHow;
        HWND hWnd = FindProgramWindow(pi.dwProcessId, 20000);
        EXPECT_NE(nullptr, hWnd) << c.pszHow;
        if (hWnd != nullptr)
            c.fClose(hWnd);
        DWORD dwExit = 0xDEAD;
        if (::WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0)
            ::TerminateProcess(pi.hProcess, 0xDEAD);
        ::GetExitCodeProcess(pi.hProcess, &dwExit);
        EXPECT_EQ(0u, dwExit) << c.pszHow;
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
}

// Last: the normal run ends the framework's window module for the process.
TEST(EntryTest, NormalRunReturnsZero)
{
    CDriver driver([] {
        HWND hDlg = WaitForDialog(L"Corvasta Test");
        ASSERT_NE(nullptr, hDlg);
        ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    int nExit = OnNewThread([] { return CorvastaTestMain(); });
    driver.Join();
    EXPECT_EQ(0, nExit);
}
