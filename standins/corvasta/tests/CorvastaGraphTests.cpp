// The Corvasta stand-in in the real filter graph manager, fed by a test
// source, serving on 127.0.0.1.
#include <winsock2.h>

#include <gtest/gtest.h>

#include "standins/corvasta/tests/CorvastaTestSupport.h"
#include "tests/support/LoopbackClient.h"
#include "standins/corvasta/tests/TestAVSource.h"

namespace {

CComPtr<IPin> FindPin(IBaseFilter* pFilter, const wchar_t* pszId)
{
    CComPtr<IPin> spPin;
    pFilter->FindPin(pszId, &spPin);
    return spPin;
}

class CorvastaGraphTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, m_winsock.Result());
        ASSERT_EQ(S_OK, m_spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER));
        ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_CorvastaFilter, nullptr, CLSCTX_INPROC_SERVER,
                                           __uuidof(IBaseFilter), reinterpret_cast<void**>(&m_pCorvasta)));
        ASSERT_EQ(S_OK, m_spGraph->AddFilter(m_pCorvasta, L"Corvasta"));
        m_nPort = FindFreePort();
        ASSERT_NE(0, m_nPort);
        m_strUrl = L"http://127.0.0.1:" + std::to_wstring(m_nPort) + L"/";
        CComQIPtr<IServerControl> spControl(m_pCorvasta);
        ASSERT_EQ(S_OK, spControl->SetUrl(CComBSTR(m_strUrl.c_str())));
        m_spControl = m_spGraph;
        m_spEvent = m_spGraph;
    }

    void TearDown() override
    {
        if (m_spControl != nullptr)
            m_spControl->Stop();
        m_spControl.Release();
        m_spEvent.Release();
        m_spSource.Release();
        m_spGraph.Release();
        // The graph held the only other references: none may be left over.
        if (m_pCorvasta != nullptr)
        {
            EXPECT_EQ(0u, m_pCorvasta->Release());
        }
    }

    // A source with nSamples per pin (0: endless), connected pin to pin.
    void AddSource(ULONG nSamples, bool bVideo, bool bAudio)
    {
        ASSERT_EQ(S_OK, CTestAVSource::Create(nSamples, &m_spSource));
        ASSERT_EQ(S_OK, m_spGraph->AddFilter(m_spSource, L"Source"));
        if (bVideo)
        {
            ASSERT_EQ(S_OK, m_spGraph->ConnectDirect(FindPin(m_spSource, L"Video"), FindPin(m_pCorvasta, L"Video"),
                                                     nullptr));
        }
        if (bAudio)
        {
            ASSERT_EQ(S_OK, m_spGraph->ConnectDirect(FindPin(m_spSource, L"Audio"), FindPin(m_pCorvasta, L"Audio"),
                                                     nullptr));
        }
    }

    // Polls the statistics until both media have arrived.
    bool WaitForSamples()
    {
        for (int i = 0; i < 500; ++i)
        {
            ServerStats stats = QueryStatistics(m_pCorvasta);
            if (stats.nVideoSamples > 0 && stats.nAudioSamples > 0)
                return true;
            ::Sleep(10);
        }
        return false;
    }

    CWinsock m_winsock;
    CComPtr<IGraphBuilder> m_spGraph;
    IBaseFilter* m_pCorvasta = nullptr;
    CComPtr<IBaseFilter> m_spSource;
    CComQIPtr<IMediaControl> m_spControl;
    CComQIPtr<IMediaEvent> m_spEvent;
    USHORT m_nPort = 0;
    std::wstring m_strUrl;
};

TEST_F(CorvastaGraphTest, ServesThePageAndARecordingStreamWhoseReaderIsNoPeer)
{
    AddSource(0, true, true);
    ASSERT_EQ(S_OK, m_spControl->Run());
    ASSERT_TRUE(WaitForSamples());
    ServerStats stats = QueryStatistics(m_pCorvasta);
    EXPECT_EQ(static_cast<UINT32>(State_Running), stats.nState);
    EXPECT_GT(stats.nBytes, 0);
    EXPECT_EQ(stats.nVideoSamples + stats.nAudioSamples, stats.nPacks);
    EXPECT_EQ(0u, stats.nPacksSent) << "nothing is sent without clients";

    CComQIPtr<IServerControl> spServer(m_pCorvasta);
    EXPECT_EQ(VFW_E_NOT_STOPPED, spServer->SetUrl(CComBSTR(L"http://127.0.0.1:1/")));

    std::string strPage = HttpGet(m_nPort, "/");
    EXPECT_EQ(200, HttpStatus(strPage));
    // What cannot go out as WebRTC media says so before any client asks.
    std::string strJson = HttpGet(m_nPort, "/status.json");
    EXPECT_NE(std::string::npos,
              strJson.find("\"rejected\":\"audio: audio/x-raw is not a WebRTC codec (VP8, H.264, Opus, PCMU, PCMA)\""))
        << strJson;
    EXPECT_NE(std::string::npos, strPage.find("Running"));
    EXPECT_NE(std::string::npos, strPage.find("http://127.0.0.1:" + std::to_string(m_nPort) + "/"));

    // The HTTP stream records what arrives, framed, for tests and people;
    // its reader is no WebRTC peer, so nothing counts it.
    CLoopbackClient client;
    ASSERT_EQ(0, client.Connect(m_nPort));
    ASSERT_TRUE(client.Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    EXPECT_TRUE(client.ReadUntil("video-"));
    EXPECT_TRUE(client.ReadUntil("audio-"));
    EXPECT_NE(std::string::npos, client.Received().find("Content-Type: video/h264"));
    // Audio parts tell the pin's rate and channels.
    EXPECT_TRUE(client.ReadUntil("X-Sample-Rate: 22050\r\nX-Channels: 2\r\n\r\naudio-")) << client.Received();

    ServerStats grown = QueryStatistics(m_pCorvasta);
    EXPECT_GT(grown.nPacks, stats.nPacks);
    EXPECT_GT(grown.nBytes, stats.nBytes);
    EXPECT_EQ(0u, grown.nConnections);
    EXPECT_EQ(0u, grown.nConnectionsTotal);
    EXPECT_EQ(0u, grown.nKeyFrameRequests);
    EXPECT_EQ(0u, grown.nPacksSent) << "the statistics count RTP";
    client.Close();
    LONG_PTR lCount = -1;
    EXPECT_FALSE(WaitForGraphEvent(m_spEvent, EC_USER + 1, &lCount, 500)) << lCount;
}

TEST_F(CorvastaGraphTest, StopEndsTheServerAndItsThread)
{
    AddSource(0, true, true);
    int nThreadsStopped = CountThreads();
    ASSERT_EQ(S_OK, m_spControl->Run());
    ASSERT_TRUE(WaitForSamples());
    CLoopbackClient client;
    ASSERT_EQ(0, client.Connect(m_nPort));
    ASSERT_TRUE(client.Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    ASSERT_TRUE(client.ReadUntil("200 OK"));

    ASSERT_EQ(S_OK, m_spControl->Stop());
    EXPECT_TRUE(client.ReadToEnd()) << "the stream ends with the graph";
    CLoopbackClient late;
    EXPECT_EQ(WSAECONNREFUSED, late.Connect(m_nPort));
    EXPECT_EQ(nThreadsStopped, CountThreads());
    ServerStats stats = QueryStatistics(m_pCorvasta);
    EXPECT_EQ(static_cast<UINT32>(State_Stopped), stats.nState);
    EXPECT_EQ(0u, stats.nConnections);
    EXPECT_GT(stats.nPacks, 0u) << "what happened stays readable after the stop";

    // The same URL is served again by the next run.
    ASSERT_EQ(S_OK, m_spControl->Run());
    EXPECT_EQ(200, HttpStatus(HttpGet(m_nPort, "/")));
}

TEST_F(CorvastaGraphTest, EndOfStreamOnEveryConnectedInputCompletes)
{
    const std::pair<bool, bool> rgInputs[] = {{true, true}, {true, false}, {false, true}};
    for (const auto& inputs : rgInputs)
    {
        SCOPED_TRACE(testing::Message() << "video " << inputs.first << ", audio " << inputs.second);
        if (m_spSource != nullptr)
        {
            m_spControl->Stop();
            ASSERT_EQ(S_OK, m_spGraph->RemoveFilter(m_spSource));
            m_spSource.Release();
        }
        AddSource(20, inputs.first, inputs.second);
        ASSERT_EQ(S_OK, m_spControl->Run());
        ASSERT_TRUE(WaitForGraphEvent(m_spEvent, EC_COMPLETE, nullptr));
        // Completion waits for the last input: every sample is in by then.
        ServerStats stats = QueryStatistics(m_pCorvasta);
        EXPECT_EQ(inputs.first ? 20u : 0u, stats.nVideoSamples);
        EXPECT_EQ(inputs.second ? 20u : 0u, stats.nAudioSamples);
    }
}

TEST_F(CorvastaGraphTest, RefusedAddressesFailPauseAndRun)
{
    AddSource(0, true, true);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(m_nPort);

    // Another socket holds every address of the port for its exclusive use
    // (it only binds; nothing goes to those addresses): a refusal of rights.
    SOCKET sHolder = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    BOOL bExclusive = TRUE;
    ::setsockopt(sHolder, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&bExclusive),
                 sizeof(bExclusive));
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(0, ::bind(sHolder, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)));
    EXPECT_EQ(E_ACCESSDENIED, m_spControl->Pause());
    m_spControl->Stop();
    EXPECT_EQ(E_ACCESSDENIED, m_spControl->Run());
    m_spControl->Stop();
    ::closesocket(sHolder);

    // A socket that just uses the address: the port is in use.
    sHolder = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, ::bind(sHolder, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)));
    EXPECT_EQ(HRESULT_FROM_WIN32(WSAEADDRINUSE), m_spControl->Run());
    m_spControl->Stop();
    ::closesocket(sHolder);

    EXPECT_EQ(S_OK, m_spControl->Run());
}

TEST_F(CorvastaGraphTest, HttpsUrlIsServedAsPlainHttp)
{
    AddSource(0, true, true);
    CComQIPtr<IServerControl> spServer(m_pCorvasta);
    std::wstring strUrl = L"https://127.0.0.1:" + std::to_wstring(m_nPort) + L"/secure/";
    ASSERT_EQ(S_OK, spServer->SetUrl(CComBSTR(strUrl.c_str())));
    ASSERT_EQ(S_OK, m_spControl->Run());
    EXPECT_EQ(200, HttpStatus(HttpGet(m_nPort, "/secure/")));
}

} // namespace
