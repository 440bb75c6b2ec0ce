#include "HostCpu.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

std::string ReadText(const std::wstring& path)
{
    std::string text;
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return text;
    char buf[4096];
    DWORD n = 0;
    if (::ReadFile(h, buf, sizeof(buf), &n, nullptr))
        text.assign(buf, n);
    ::CloseHandle(h);
    return text;
}

// Lower case with forward slashes and without the drive that maps the host's
// root, so that a Windows and a host path of one file compare equal.
std::string HostForm(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c == '\\' ? '/' : static_cast<char>(::tolower(static_cast<unsigned char>(c))); });
    return text.rfind("z:", 0) == 0 ? text.substr(2) : text;
}

template <class F>
void ForEachEntry(const std::wstring& dir, F f)
{
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do
    {
        if (fd.cFileName[0] >= L'0' && fd.cFileName[0] <= L'9' && !f(dir + L"\\" + fd.cFileName))
            break;
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
}

double ProcessCpuMs(const std::wstring& dir)
{
    // schedstat: nanoseconds on the CPU, then waiting, then time slices.
    double dNs = 0.0;
    ForEachEntry(dir + L"\\task", [&dNs](const std::wstring& task) {
        dNs += std::strtod(ReadText(task + L"\\schedstat").c_str(), nullptr);
        return true;
    });
    if (dNs > 0.0)
        return dNs / 1e6;
    std::string stat = ReadText(dir + L"\\stat");
    size_t n = stat.rfind(')');
    unsigned long long utime = 0, stime = 0;
    // Fields after the command: state is field 3, utime 14, stime 15.
    if (n == std::string::npos ||
        std::sscanf(stat.c_str() + n + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                    &stime) != 2)
        return 0.0;
    return static_cast<double>(utime + stime) * 10.0; // 100 ticks a second
}

} // namespace

double HostCpuMs(const std::wstring& path)
{
    std::string program = HostForm(std::string(path.begin(), path.end()));
    double dMs = 0.0;
    ForEachEntry(L"Z:\\proc", [&](const std::wstring& dir) {
        std::string cmdline = ReadText(dir + L"\\cmdline");
        // The command line's first argument, up to its terminating NUL.
        if (HostForm(cmdline.c_str()).find(program) == std::string::npos)
            return true;
        dMs = ProcessCpuMs(dir);
        return false;
    });
    return dMs;
}
