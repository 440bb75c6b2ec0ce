// The main window's files: a new graph of the editor's own, opening and
// saving saved graph files, the recent files, and the command line.
#include "MainFrame.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>

namespace {

const wchar_t szRecentKey[] = L"Software\\Corvasta\\Graph Editor\\Recent Files";
const int cMaxRecent = ID_FILE_RECENT_LAST - ID_FILE_RECENT_FIRST + 1;
const wchar_t szFileTypes[] = L"Graph files (*.grf)\0*.grf\0All files (*.*)\0*.*\0";

bool SameFile(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

} // namespace

void CMainFrame::StartWith(LPCWSTR pszCommandLine)
{
    int cArgs = 0;
    LPWSTR* rgpszArgs = pszCommandLine != nullptr && *pszCommandLine != L'\0'
                            ? ::CommandLineToArgvW(pszCommandLine, &cArgs)
                            : nullptr;
    std::wstring file;
    for (int i = 0; i < cArgs; ++i)
    {
        if (::CompareStringOrdinal(rgpszArgs[i], -1, L"/run", -1, TRUE) == CSTR_EQUAL)
            m_bRunWhenOpen = true;
        else if (file.empty())
            file = rgpszArgs[i];
    }
    if (rgpszArgs != nullptr)
        ::LocalFree(rgpszArgs);
    if (!file.empty())
        Open(file);
}

LRESULT CMainFrame::OnFileNew(WORD, WORD, HWND, BOOL&)
{
    if (!AskToLetGo())
        return 0;
    m_opening.clear();
    m_worker.Open(std::wstring());
    return 0;
}

LRESULT CMainFrame::OnFileOpen(WORD, WORD, HWND, BOOL&)
{
    if (!AskToLetGo())
        return 0;
    wchar_t szFile[MAX_PATH] = L"";
    OPENFILENAMEW ofn = {sizeof(ofn)};
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = szFileTypes;
    ofn.lpstrFile = szFile;
    ofn.nMaxFile = ARRAYSIZE(szFile);
    ofn.lpstrTitle = L"Open Graph";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (::GetOpenFileNameW(&ofn))
        Open(szFile);
    return 0;
}

LRESULT CMainFrame::OnFileSave(WORD wNotify, WORD, HWND hWndCtl, BOOL& bHandled)
{
    if (m_attachment != eOwn)
        return 0;
    if (m_file.empty())
        return OnFileSaveAs(wNotify, ID_FILE_SAVEAS, hWndCtl, bHandled);
    SaveAs(m_file);
    return 0;
}

LRESULT CMainFrame::OnFileSaveAs(WORD, WORD, HWND, BOOL&)
{
    if (m_attachment != eOwn)
        return 0;
    wchar_t szFile[MAX_PATH] = L"";
    if (!m_file.empty())
        ::StringCchCopyW(szFile, ARRAYSIZE(szFile), m_file.c_str());
    OPENFILENAMEW ofn = {sizeof(ofn)};
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = szFileTypes;
    ofn.lpstrFile = szFile;
    ofn.nMaxFile = ARRAYSIZE(szFile);
    ofn.lpstrTitle = L"Save Graph As";
    ofn.lpstrDefExt = L"grf";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (::GetSaveFileNameW(&ofn))
        SaveAs(szFile);
    return 0;
}

LRESULT CMainFrame::OnFileRecent(WORD, WORD wID, HWND, BOOL&)
{
    size_t nIndex = wID - ID_FILE_RECENT_FIRST;
    if (nIndex < m_recent.size() && AskToLetGo())
        Open(std::wstring(m_recent[nIndex]));
    return 0;
}

bool CMainFrame::AskToLetGo()
{
    if (m_attachment != eOwn || !m_bChanged)
        return true;
    std::wstring name = m_file.empty() ? L"Untitled" : m_file;
    std::wstring text = L"Save the changes to " + name + L"?";
    switch (::MessageBoxW(m_hWnd, text.c_str(), L"Graph Editor", MB_YESNOCANCEL | MB_ICONQUESTION))
    {
    case IDYES:
    {
        BOOL bHandled = TRUE;
        OnFileSave(0, ID_FILE_SAVE, nullptr, bHandled);
        // The save's result comes later; a failure is shown then, and the
        // graph is only let go of when the file was written.
        return false;
    }
    case IDNO:
        return true;
    default:
        return false;
    }
}

void CMainFrame::Open(const std::wstring& file)
{
    m_opening = file;
    m_worker.Open(file);
}

void CMainFrame::SaveAs(const std::wstring& file)
{
    m_opening = file;
    m_worker.Save(file);
}

void CMainFrame::OnFileDone(const CGraphWorker::CommandDone& done)
{
    if (FAILED(done.hr))
    {
        std::wstring what = done.command == CGraphWorker::eCmdNew  ? L"The editor cannot make a new graph."
                            : done.command == CGraphWorker::eCmdOpen ? L"The graph cannot be opened from " + done.text + L"."
                                                                     : L"The graph cannot be saved to " + done.text + L".";
        ShowError(what.c_str(), done.hr);
        m_bRunWhenOpen = false;
        return;
    }
    // A new or opened graph is followed already (OnGraphNews).
    m_file = done.text;
    m_bChanged = false;
    UpdateTexts();
    if (!m_file.empty())
        RememberRecent(m_file);
    if (done.command == CGraphWorker::eCmdOpen)
    {
        AddEventLine(L"Opened " + m_file);
        for (const std::wstring& detail : done.details)
            AddEventLine(L"Not loaded: " + detail);
        if (!done.details.empty())
        {
            std::wstring text = L"Some of the graph in " + m_file + L" could not be loaded:\n";
            for (const std::wstring& detail : done.details)
                text += L"\n" + detail;
            text += L"\n\nThe rest of the graph is shown.";
            ::MessageBoxW(m_hWnd, text.c_str(), L"Graph Editor", MB_OK | MB_ICONWARNING);
        }
        if (m_bRunWhenOpen)
            m_worker.Post(CGraphWorker::eCmdRun);
    }
    else if (done.command == CGraphWorker::eCmdSave)
        AddEventLine(L"Saved " + m_file);
    m_bRunWhenOpen = false;
}

void CMainFrame::LoadRecent()
{
    m_recent.clear();
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, szRecentKey, KEY_READ) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < cMaxRecent; ++i)
    {
        wchar_t szName[16], szFile[MAX_PATH] = L"";
        ::StringCchPrintfW(szName, ARRAYSIZE(szName), L"File%d", i + 1);
        ULONG cch = ARRAYSIZE(szFile);
        if (key.QueryStringValue(szName, szFile, &cch) == ERROR_SUCCESS && szFile[0] != L'\0')
            m_recent.push_back(szFile);
    }
}

void CMainFrame::RememberRecent(const std::wstring& file)
{
    m_recent.erase(std::remove_if(m_recent.begin(), m_recent.end(),
                                  [&](const std::wstring& other) { return SameFile(file, other); }),
                   m_recent.end());
    m_recent.insert(m_recent.begin(), file);
    if (m_recent.size() > static_cast<size_t>(cMaxRecent))
        m_recent.resize(cMaxRecent);
    CRegKey key;
    if (key.Create(HKEY_CURRENT_USER, szRecentKey) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < cMaxRecent; ++i)
    {
        wchar_t szName[16];
        ::StringCchPrintfW(szName, ARRAYSIZE(szName), L"File%d", i + 1);
        if (i < static_cast<int>(m_recent.size()))
            key.SetStringValue(szName, m_recent[i].c_str());
        else
            ::RegDeleteValueW(key, szName);
    }
}

// The recent files stand between the two last separators of the File menu.
void CMainFrame::UpdateRecentMenu(HMENU hMenu)
{
    int nFirst = -1;
    for (int nId = ID_FILE_RECENT_FIRST; nId <= ID_FILE_RECENT_LAST; ++nId)
    {
        MENUITEMINFOW mii = {sizeof(mii)};
        mii.fMask = MIIM_ID;
        for (int i = 0, c = ::GetMenuItemCount(hMenu); i < c; ++i)
        {
            if (::GetMenuItemInfoW(hMenu, i, TRUE, &mii) && mii.wID == static_cast<UINT>(nId))
            {
                if (nFirst < 0 || i < nFirst)
                    nFirst = i;
                ::DeleteMenu(hMenu, i, MF_BYPOSITION);
                break;
            }
        }
    }
    if (nFirst < 0)
        return; // not the File menu
    if (m_recent.empty())
    {
        ::InsertMenuW(hMenu, nFirst, MF_BYPOSITION | MF_STRING | MF_GRAYED, ID_FILE_RECENT_FIRST, L"Recent files");
        return;
    }
    for (size_t i = 0; i < m_recent.size(); ++i)
    {
        wchar_t szItem[MAX_PATH + 8];
        ::StringCchPrintfW(szItem, ARRAYSIZE(szItem), L"&%u %ls", static_cast<unsigned>(i + 1), m_recent[i].c_str());
        ::InsertMenuW(hMenu, nFirst + static_cast<int>(i), MF_BYPOSITION | MF_STRING,
                      ID_FILE_RECENT_FIRST + i, szItem);
    }
}
