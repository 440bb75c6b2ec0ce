// One number of our WebRTC peers held on the harness's graph for a window:
// each peer's loss (RTP sequence gaps) and frame rate (marker bits) against
// the frames that the encoder gave, the harness's and the peers' CPU, and
// the filter's "RTP transfer (vid)" over the window alone. The peers are
// our test clients in one thread of this process (PeerPump.h).
#pragma once

#include "PeerPump.h" // first: it brings winsock2.h

#include <string>
#include <vector>

class CProgram;

struct CLoadTarget
{
    CProgram* pHarness;        // its first URL preset's graph, built
    std::wstring harnessPath;  // for its CPU as the host counts it
    std::wstring bin;          // where BareSend.exe is
    USHORT nPort;              // the served URL's
};

// The harness's graph stopped and paused again: its figures start from
// nothing, and it runs when the first peer has connected. False when its
// server did not stop or pause.
bool RestartPaused(const CLoadTarget& target);

// What a peer has to connect after its answer.
const DWORD dwPeerConnectMs = 30000;
const DWORD dwPeerWindowMs = 10000;

// Receivers over a window, against the frames that the source sent in it.
struct CWindowFigures
{
    double dLoss = 1.0;      // of the packets sent to all receivers
    double dWorstLoss = 1.0; // of one receiver's
    double dRate = 0.0;      // frames received against the source's, the mean
    double dWorstRate = 0.0;
    double dPackets = 0.0;   // received in all
    double dPacketsPerSecond = 0.0;

    // Under 1 % loss and 95 % of the source's frames for every receiver.
    bool Held() const;
};

CWindowFigures Compare(const std::vector<CReceived>& before, const std::vector<CReceived>& after,
                       double dSourceFrames, double dSeconds);

struct CPeerStep
{
    size_t nPeers = 0;
    size_t nConnected = 0; // fewer than nPeers: the next did not connect in time
    size_t nRelayed = 0; // that status.json showed relayed at the window's end
    CWindowFigures figures;
    double dEncoderFps = 0.0; // what the encoder gave in the window
    double dFullFps = 0.0;    // what the frame rates are set against
    long nShown = -1;
    double dHarnessCpu = -1.0;
    double dPeersCpu = -1.0;
    double dTransferUs = -1.0;    // over the window alone
    double dPairs = 0.0;          // (sample, peer) pairs sent in it
    long long llReportedUs = -1;  // the filter's figure at its end
    std::vector<CArrival> recording; // the first peer's media in the window

    bool Held() const { return nConnected == nPeers && figures.Held(); }
};

// The harness's graph is paused afresh (RestartPaused) and nPeers peers
// offer to strWhepPath ("/whep", or with a query). The frame rates are set
// against dFullFps (0: the encoder's own in the window). False when
// something could not be measured (said on a line); peers that did not
// connect are a result.
bool MeasurePeers(const CLoadTarget& target, size_t nPeers, const std::string& strWhepPath, double dFullFps,
                  CPeerStep* pStep);
