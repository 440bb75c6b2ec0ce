// The page that the Corvasta stand-in serves at its URL's path: the status
// and a viewer of the stream, and the figures that the page polls.
#pragma once

// Winsock's header (through the URL's) must come before windows.h.
#include "ServerUrl.h"

#include "components/Corvasta.h"

#include <string>
#include <vector>

// One ICE server as the last gathering left it: "gathering", "done",
// "failed" or "not used"; why it failed; what it gave ("relay
// 127.0.0.1:49160").
struct CIceServerStatus
{
    std::string m_strUri;
    std::string m_strState;
    std::string m_strError;
    std::string m_strAddress;
};

// What the WebRTC side dropped since it started serving.
struct CDropCounts
{
    ULONGLONG m_nDatagrams = 0;   // of no session: unknown source, no matching ufrag
    ULONGLONG m_nRateLimited = 0; // STUN requests over a source's rate
    ULONGLONG m_nBadChecks = 0;   // checks a session refused: credentials, integrity, form
    ULONGLONG m_nUnconnected = 0; // answered offers whose client never connected
    ULONGLONG m_nRefused = 0;     // offers refused for want of room
};

// What the WebRTC side adds: its peers as a JSON list, why a branch of the
// graph is not sent (empty when both are), the ICE servers and the drops.
struct CPeerStatus
{
    std::string m_strPeersJson = "[]";
    std::string m_strRejections;
    std::vector<CIceServerStatus> m_iceServers;
    CDropCounts m_dropped;
};

// UTF-8 HTML with the state, the served URL, a link to the stream, the
// connection count and the statistics, beside a player of the stream
// (viewer/viewer.js) that keeps them current from the status JSON.
std::string MakeStatusPage(LPCWSTR pszState, const CServerUrl& url, const ServerStats& stats,
                           const CPeerStatus& peers = CPeerStatus());

// The state and the counts of the page as one JSON object, keyed as the
// page's rows (data-key).
std::string MakeStatusJson(LPCWSTR pszState, const ServerStats& stats, const CPeerStatus& peers = CPeerStatus());

// One ICE server as the status and the property page show it:
// "turn:127.0.0.1:3478: done, relay 127.0.0.1:49160",
// "stun:stun.invalid: failed: STUN stun.invalid:3478: name not found".
std::string IceServerLine(const CIceServerStatus& server);

// A JSON string of UTF-8 text: quoted, quotes and backslashes escaped,
// control characters dropped.
std::string JsonString(const std::string& str);

// HTTP speaks bytes; texts of the filter go out as UTF-8.
std::string ToUtf8(const std::wstring& str);
std::wstring FromUtf8(const std::string& str);
