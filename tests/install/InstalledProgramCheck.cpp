// Starts an installed CorvastaTest.exe (the path is the argument), checks
// that its lists offer the stand-in filters, builds a graph from them and
// checks that the dialog shows it. Prints what failed; exit code 0 when all
// held. scripts/test-install runs it in the prefix it installed into.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/resource.h"
#include "tests/support/ProgramWindow.h"

namespace {

// Generous: the first start in a new prefix loads and registers a lot.
const DWORD dwStartMs = 120000;
const DWORD dwBuildMs = 60000;
// Loopback only, on a port of its own.
const wchar_t szUrl[] = L"http://127.0.0.1:50177/";

struct ComboCase
{
    int nID;
    const wchar_t* pszChoice; // selected for the build
    std::vector<const wchar_t*> names;
};

const ComboCase rgCombos[] = {
    {IDC_SOURCE, L"Ormidex Video Generator", {L"Ormidex Video Generator"}},
    {IDC_ENC_VIDEO, L"Ormidex QS Encoder", {L"Ormidex QS Encoder", L"WebM VP8 Encoder Filter"}},
    {IDC_ENC_AUDIO, L"Ormidex Opus Encoder", {L"Ormidex Opus Encoder", L"CCITT A-Law", L"CCITT u-Law"}},
};

std::wstring Text(HWND hWnd)
{
    wchar_t sz[512] = L"";
    ::SendMessageW(hWnd, WM_GETTEXT, ARRAYSIZE(sz), reinterpret_cast<LPARAM>(sz));
    return sz;
}

// Another visible dialog of the process (a message box), or null.
HWND FindOtherDialog(DWORD dwPid, HWND hMain)
{
    HWND hWnd = nullptr;
    while ((hWnd = ::FindWindowExW(nullptr, hWnd, L"#32770", nullptr)) != nullptr)
    {
        DWORD dwOwner = 0;
        ::GetWindowThreadProcessId(hWnd, &dwOwner);
        if (dwOwner == dwPid && hWnd != hMain && ::IsWindowVisible(hWnd))
            return hWnd;
    }
    return nullptr;
}

int Fail(const char* pszWhat, const std::wstring& detail = std::wstring())
{
    std::printf("FAILED: %s%s%ls\n", pszWhat, detail.empty() ? "" : ": ", detail.c_str());
    return 1;
}

// Selects the choice as the user does, with the notification the dialog
// gets from a click.
bool Select(HWND hDlg, const ComboCase& c)
{
    HWND hCombo = ::GetDlgItem(hDlg, c.nID);
    LRESULT n = ::SendMessageW(hCombo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(c.pszChoice));
    if (n == CB_ERR)
        return false;
    ::SendMessageW(hCombo, CB_SETCURSEL, static_cast<WPARAM>(n), 0);
    ::SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(c.nID, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hCombo));
    return true;
}

int Check(CProgram& p)
{
    for (const ComboCase& c : rgCombos)
    {
        for (const wchar_t* pszName : c.names)
        {
            if (::SendDlgItemMessageW(p.hDlg, c.nID, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(pszName)) == CB_ERR)
                return Fail("not offered", pszName);
        }
        if (!Select(p.hDlg, c))
            return Fail("could not select", c.pszChoice);
    }
    if (::SendDlgItemMessageW(p.hDlg, IDC_SOURCE_CHECK, BM_GETCHECK, 0, 0) != BST_CHECKED)
        ::SendDlgItemMessageW(p.hDlg, IDC_SOURCE_CHECK, BM_CLICK, 0, 0);

    ::SendDlgItemMessageW(p.hDlg, IDC_URL, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(szUrl));

    // Posted: a failed build shows a message box, which is read, not waited on.
    ::PostMessageW(p.hDlg, WM_COMMAND, MAKEWPARAM(IDC_BUILD_GRAPH, BN_CLICKED), 0);
    DWORD dwStart = ::GetTickCount();
    while (Text(p.hDlg).rfind(L"Test for ", 0) != 0 || !::IsWindowEnabled(::GetDlgItem(p.hDlg, IDC_PLAY)))
    {
        if (HWND hBox = FindOtherDialog(p.pi.dwProcessId, p.hDlg))
            return Fail("Build graph", Text(::GetDlgItem(hBox, 0xFFFF)));
        if (::GetTickCount() - dwStart > dwBuildMs)
            return Fail("no graph shown after Build graph; title", Text(p.hDlg));
        ::Sleep(50);
    }
    std::wstring url = Text(::GetDlgItem(p.hDlg, IDC_URL_CURRENT));
    if (url.rfind(szUrl, 0) != 0)
        return Fail("served URL", url);
    std::printf("built: \"%ls\", serving %ls\n", Text(p.hDlg).c_str(), url.c_str());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
    {
        std::printf("usage: InstalledProgramCheck <path of CorvastaTest.exe>\n");
        return 2;
    }
    CProgram p;
    if (!p.Start(argv[1], dwStartMs))
        return Fail("the program's dialog did not appear", argv[1]);
    int nResult = Check(p);
    if (!p.Close(dwBuildMs) && nResult == 0)
        nResult = Fail("the program did not end when its dialog was closed");
    return nResult;
}
