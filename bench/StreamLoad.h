// Load on the served stream, from clients on 127.0.0.1 only: many stream
// clients at once, readers that stall, clients that leave mid-chunk and a
// flood of half requests, then one fresh client. It reports; it judges
// nothing.
#pragma once

#include <winsock2.h>
#include <windows.h>

// nPort is the served URL's port with the status page at "/" and the stream
// at "/stream". hStatistic, when not null, is the harness dialog's
// statistics line, whose refreshes are timed while the load runs.
void RunStreamLoad(unsigned short nPort, HWND hStatistic);
