// The harness's graph served over WebRTC to test clients across real UDP
// on 127.0.0.1, as the harness's dialog drives it: EC_USER asks the encoder
// for a key frame, EC_USER + 1 carries the count of peers. For tests that
// run only in the test run's own network namespace.
#pragma once

#include "tests/support/RtcUdpClient.h" // first: it brings winsock2.h

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "graph/Graph.h"
#include "tests/support/LoopbackClient.h"

inline const wchar_t szGenerator[] = L"Ormidex Video Generator";
inline const wchar_t szQS[] = L"Ormidex QS Encoder";
inline const wchar_t szVP8[] = L"WebM VP8 Encoder Filter";
inline const wchar_t szOpus[] = L"Ormidex Opus Encoder";
inline const wchar_t szULaw[] = L"CCITT u-Law";
inline const wchar_t szALaw[] = L"CCITT A-Law";
inline const UINT WM_GRAPHNOTIFY = WM_APP + 123;
inline const DWORD c_dwPlayMs = 20000;

class WebRtcServeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!InNetNamespace())
            GTEST_SKIP() << "UDP goes only inside the test run's own network namespace (scripts/test makes it as root)";
        ASSERT_EQ(0, m_winsock.Result());
        m_nPort = FindFreePort();
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        m_graph.ReleaseGraph();
        if (m_hWnd != nullptr)
            ::DestroyWindow(m_hWnd);
    }

    void Serve(LPCWSTR pszVideo, LPCWSTR pszAudio)
    {
        std::wstring strUrl = L"http://127.0.0.1:" + std::to_wstring(m_nPort) + L"/live/";
        ASSERT_EQ(S_OK, m_graph.BuildGraph(szGenerator, m_hWnd, WM_GRAPHNOTIFY, pszVideo, pszAudio, strUrl.c_str()));
        ASSERT_EQ(S_OK, m_graph.Run());
    }

    // The dialog's handling of the graph's events, between pumps.
    void HandleEvents()
    {
        for (long lCode; (lCode = m_graph.GetGraphEvent()) != 0;)
        {
            if (lCode == EC_USER)
            {
                ++m_nKeyFrameRequests;
                m_graph.ForceKeyFrame();
            }
            else if (lCode == EC_USER + 1)
                m_counts.push_back(m_graph.GetConnections());
        }
    }

    bool Pump(CRtcUdpClient& client, const std::function<bool()>& condition, DWORD dwTimeoutMs = c_dwPlayMs)
    {
        return client.PumpUntil(
            [&] {
                HandleEvents();
                return condition();
            },
            dwTimeoutMs);
    }

    CWinsock m_winsock;
    USHORT m_nPort = 0;
    HWND m_hWnd = nullptr;
    CGraph m_graph;
    int m_nKeyFrameRequests = 0;
    std::vector<int> m_counts;
};
