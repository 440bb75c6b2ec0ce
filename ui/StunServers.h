// The built-in list of public STUN servers that the "Add ICE Server" dialog
// offers; entry 0 is the default that a new graph gets.
#pragma once

#include "atlbase.h"

const UINT nStunServers = 223;

// "host:port", narrow text. Entry 0 is the default and appears once more at
// its sorted place among entries 1 to 222, which are in ascending order.
extern const char* const g_rgpszStunServers[nStunServers];

// Entry nIndex widened with the thread's ANSI code page; empty past the end.
CComBSTR GetStunServer(UINT nIndex);
// The ICE server that a newly built graph gets when its filter has none.
inline CComBSTR GetDefaultIceServer()
{
    return GetStunServer(0);
}
