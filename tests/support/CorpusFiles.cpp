#include "tests/support/CorpusFiles.h"

std::vector<std::wstring> CorpusFiles(const char* pszUnixFolder)
{
    std::wstring folder = L"Z:";
    for (const char* p = pszUnixFolder; *p; ++p)
        folder += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    folder += L"\\";
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW data;
    HANDLE hFind = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return files;
    do
    {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(folder + data.cFileName);
    } while (::FindNextFileW(hFind, &data));
    ::FindClose(hFind);
    return files;
}

bool ReadFileBytes(const std::wstring& file, std::vector<uint8_t>* pBytes)
{
    pBytes->clear();
    HANDLE hFile = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool bOk = ::GetFileSizeEx(hFile, &size) != 0;
    if (bOk)
    {
        pBytes->resize(static_cast<size_t>(size.QuadPart));
        DWORD cbRead = 0;
        bOk = pBytes->empty() ||
              (::ReadFile(hFile, pBytes->data(), static_cast<DWORD>(pBytes->size()), &cbRead, nullptr) &&
               cbRead == pBytes->size());
    }
    ::CloseHandle(hFile);
    return bOk;
}
