#include "ChromiumFirstFrame.h"

#include <cstdio>
#include <string>
#include <vector>

#include "Median.h"

namespace {

// Chromium's start, then each load's connection and first key frame, on a
// busy machine.
const DWORD dwResultMs = 300000;

bool WriteText(const std::wstring& path, const std::string& text)
{
    std::wstring temp = path + L".tmp";
    FILE* pFile = _wfopen(temp.c_str(), L"wb");
    if (pFile == nullptr)
        return false;
    bool bWritten = std::fwrite(text.data(), 1, text.size(), pFile) == text.size();
    bWritten = std::fclose(pFile) == 0 && bWritten;
    // Whole or not at all: the script reads it as soon as it is there.
    return bWritten && ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string ReadText(const std::wstring& path)
{
    std::string text;
    FILE* pFile = _wfopen(path.c_str(), L"rb");
    if (pFile == nullptr)
        return text;
    char rgch[4096];
    size_t cb;
    while ((cb = std::fread(rgch, 1, sizeof(rgch), pFile)) > 0 && text.size() < 65536)
        text.append(rgch, cb);
    std::fclose(pFile);
    return text;
}

} // namespace

bool RunChromiumFirstFrame(USHORT nPort)
{
    const char szWhat[] = "POST to the first decoded frame in Chromium";
    wchar_t szDir[MAX_PATH];
    DWORD cch = ::GetEnvironmentVariableW(L"CORVASTA_BENCH_CHROMIUM", szDir, ARRAYSIZE(szDir));
    if (cch == 0 || cch >= ARRAYSIZE(szDir))
    {
        std::printf("%s: skipped, no Chromium beside the benchmark (scripts/bench starts it in its own network "
                    "namespace)\n",
                    szWhat);
        return true;
    }
    std::wstring dir = std::wstring(szDir) + L"\\";
    ::DeleteFileW((dir + L"result.txt").c_str());
    if (!WriteText(dir + L"url.txt", "http://127.0.0.1:" + std::to_string(nPort) + "/\n"))
    {
        std::printf("%s: not measured, the URL could not be handed over in %ls\n", szWhat, szDir);
        return false;
    }
    DWORD dwStart = ::GetTickCount();
    while (::GetFileAttributesW((dir + L"result.txt").c_str()) == INVALID_FILE_ATTRIBUTES)
    {
        if (::GetTickCount() - dwStart > dwResultMs)
        {
            std::printf("%s: not measured, Chromium's side wrote nothing within %lu s\n", szWhat,
                        static_cast<unsigned long>(dwResultMs / 1000));
            return false;
        }
        ::Sleep(100);
    }

    // "load N answer-ms A first-frame-ms F" per page load, or "error TEXT".
    std::string text = ReadText(dir + L"result.txt");
    std::vector<double> firstFrame, answer;
    std::string strError;
    size_t nStart = 0;
    while (nStart < text.size())
    {
        size_t nEnd = text.find('\n', nStart);
        std::string line = text.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
        nStart = nEnd == std::string::npos ? text.size() : nEnd + 1;
        int nLoad = 0;
        double dAnswerMs = 0.0, dFirstMs = 0.0;
        if (std::sscanf(line.c_str(), "load %d answer-ms %lf first-frame-ms %lf", &nLoad, &dAnswerMs, &dFirstMs) == 3)
        {
            // The first load starts Chromium's media stack: not counted.
            if (nLoad > 1)
            {
                answer.push_back(dAnswerMs);
                firstFrame.push_back(dFirstMs);
            }
        }
        else if (line.rfind("error ", 0) == 0)
            strError = line.substr(6, 200);
    }
    if (firstFrame.empty())
    {
        std::printf("%s: not measured, %s\n", szWhat, strError.empty() ? "no page load gave it" : strError.c_str());
        return false;
    }
    double dFirstMs = Median(firstFrame), dAnswerMs = Median(answer);
    std::printf("%s: %.1f ms, the page's own POST to answer %.1f ms, ratio %.2f (medians of %zu page loads after one "
                "not counted)%s%s\n",
                szWhat, dFirstMs, dAnswerMs, dAnswerMs > 0.0 ? dFirstMs / dAnswerMs : 0.0, firstFrame.size(),
                strError.empty() ? "" : "; then ", strError.c_str());
    return true;
}
