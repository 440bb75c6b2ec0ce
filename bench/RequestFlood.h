// The served URL's HTTP server under a flood of half requests from
// 127.0.0.1: one fresh request for the status page among them, and the
// dialog's statistics refreshes meanwhile. It reports; it judges nothing.
#pragma once

#include <winsock2.h>
#include <windows.h>

// nPort is the served URL's port with the status page at "/". hStatistic,
// when not null, is the harness dialog's statistics line of a running
// graph, whose refreshes are timed while the flood lasts.
void RunRequestFlood(unsigned short nPort, HWND hStatistic);
