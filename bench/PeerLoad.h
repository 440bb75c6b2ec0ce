// How many WebRTC peers the harness's graph serves at once at the full
// frame rate (the encoder's with one peer) with under 1 % loss, each
// number of peers against BareSend sending the same datagrams to as many
// bare ports (the platform's limit), and the filter's "RTP transfer (vid)"
// with 1, 10 and the most peers held. The peers are our test clients, in
// this process.
#pragma once

#include <windows.h>

#include <string>

class CProgram;

struct CLoadTarget
{
    CProgram* pHarness;        // its first URL preset's graph, built
    std::wstring harnessPath;  // for its CPU as the host counts it
    std::wstring bin;          // where BareSend.exe is
    USHORT nPort;              // the served URL's
};

// Prints its lines; false when something could not be measured.
bool RunPeerLoad(const CLoadTarget& target);
