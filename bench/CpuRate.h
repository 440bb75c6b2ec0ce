// A process's CPU per second of wall time between the first and the last of
// its samples, taken while it runs.
#pragma once

#include <string>

class CCpuRate
{
public:
    // Without a path, this process's; else the host process that runs the
    // program (HostCpu.h).
    explicit CCpuRate(std::wstring path = std::wstring()) : m_path(std::move(path)) {}

    void Sample();
    // -1 when fewer than two samples were taken.
    double MsPerSecond() const
    {
        return m_dLastMs > m_dFirstMs ? (m_dLastCpuMs - m_dFirstCpuMs) / ((m_dLastMs - m_dFirstMs) / 1000.0) : -1.0;
    }

private:
    std::wstring m_path;
    double m_dFirstMs = 0.0, m_dFirstCpuMs = 0.0, m_dLastMs = 0.0, m_dLastCpuMs = 0.0;
};
