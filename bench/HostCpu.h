// A process's CPU time as the host system counts it, read through Wine's view
// of the host file system (Z:\proc): under Wine the times that
// GetProcessTimes gives for another process stand still.
#pragma once

#include <string>

// The CPU time in milliseconds of the host process whose command line names
// the program's full path (the same program of another build tree does not
// count): the scheduler's nanoseconds summed over its threads, or its 10 ms
// ticks where those are missing. 0 when there is no such process.
double HostCpuMs(const std::wstring& path);
