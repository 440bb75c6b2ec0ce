#include "CpuRate.h"

#include <windows.h>

#include "BenchClock.h"
#include "HostCpu.h"

namespace {

// This process's own CPU time.
double OwnCpuMs()
{
    FILETIME ftCreate, ftExit, ftKernel, ftUser;
    if (!::GetProcessTimes(::GetCurrentProcess(), &ftCreate, &ftExit, &ftKernel, &ftUser))
        return 0.0;
    auto ms = [](const FILETIME& ft) {
        return (static_cast<double>(ft.dwHighDateTime) * 4294967296.0 + ft.dwLowDateTime) / 10000.0;
    };
    return ms(ftKernel) + ms(ftUser);
}

} // namespace

void CCpuRate::Sample()
{
    double dCpuMs = m_path.empty() ? OwnCpuMs() : HostCpuMs(m_path);
    if (dCpuMs <= 0.0)
        return;
    double dNowMs = NowMs();
    if (m_dFirstMs == 0.0)
    {
        m_dFirstMs = dNowMs;
        m_dFirstCpuMs = dCpuMs;
    }
    m_dLastMs = dNowMs;
    m_dLastCpuMs = dCpuMs;
}
