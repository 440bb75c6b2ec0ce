#include "MainDialogSession.h"

#include <algorithm>

#include "tests/support/GraphInspector.h"

namespace {

std::wstring StateName(long state)
{
    return state == State_Running ? L"running" : state == State_Paused ? L"paused" : L"stopped";
}

} // namespace

std::wstring CMainDialogSession::Run(const std::function<std::wstring(HWND)>& fDrive)
{
    std::wstring error;
    RunHostedDialog(
        m_dlg, szMainTitle,
        [&](HWND hDlg) {
            error = fDrive(hDlg);
            MessageBoxInfo info;
            while (WaitForMessageBox(szMainTitle, &info, 0))
                error += L" message box: " + info.text;
            ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
        },
        [&] {
            error = L"the dialog did not appear";
            // Nothing else would end the modal loop.
            HWND hDlg = WaitForWindow([](HWND hWnd) { return GetClass(hWnd) == L"#32770"; }, 30000);
            if (hDlg != nullptr)
                ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
        });
    return error;
}

std::wstring CMainDialogSession::Cycle(const std::wstring& url)
{
    CMainDialogSession session;
    return session.Run([&](HWND hDlg) {
        std::wstring error = session.Build(hDlg, url);
        if (error.empty())
            error = session.Play(hDlg);
        if (error.empty())
            error = session.Stop(hDlg);
        return error;
    });
}

std::wstring CMainDialogSession::Press(HWND hDlg, int nID)
{
    DWORD_PTR dwResult = 0;
    // Generous: the machine that runs the tests may be several times slower.
    if (!::SendMessageTimeoutW(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, nID)), SMTO_NORMAL, 60000, &dwResult))
        return L"the handler of control " + std::to_wstring(nID) + L" did not return (a message box?)";
    return std::wstring();
}

std::wstring CMainDialogSession::WaitForState(HWND hDlg, long state)
{
    OAFilterState now = State_Stopped;
    RunOnWindowThread(hDlg, [&] {
        CComQIPtr<IMediaControl> spControl(CGraphInspector::Graph(m_dlg.GetGraph()));
        if (spControl == nullptr || FAILED(spControl->GetState(30000, &now)))
            now = -1;
    });
    if (now == state)
        return std::wstring();
    return L"the graph is " + (now == -1 ? std::wstring(L"in no state") : StateName(now)) + L", not " +
           StateName(state);
}

std::wstring CMainDialogSession::Build(HWND hDlg, const std::wstring& url)
{
    ::SendMessageW(::GetDlgItem(hDlg, IDC_URL), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(url.c_str()));
    std::wstring error = Press(hDlg, IDC_BUILD_GRAPH);
    if (error.empty() && !::IsWindowEnabled(::GetDlgItem(hDlg, IDC_PLAY)))
        error = L"the build failed";
    return error;
}

std::wstring CMainDialogSession::Play(HWND hDlg)
{
    std::wstring error = Press(hDlg, IDC_PLAY);
    return error.empty() ? WaitForState(hDlg, State_Running) : error;
}

std::wstring CMainDialogSession::Stop(HWND hDlg)
{
    std::wstring error = Press(hDlg, IDC_STOP);
    return error.empty() ? WaitForState(hDlg, State_Stopped) : error;
}

void CMainDialogSession::Refresh(HWND hDlg, int nTimes)
{
    const int nBatch = 100;
    for (int nDone = 0; nDone < nTimes; nDone += nBatch)
    {
        int n = std::min(nBatch, nTimes - nDone);
        RunOnWindowThread(hDlg, [&] {
            for (int i = 0; i < n; i++)
                ::SendMessageW(hDlg, WM_TIMER, CMainDialog::nDisplayTimer, 0);
        });
    }
}
