// Serves the harness's graph for a client outside Wine (check-whep-client):
// builds it from the generator and the named encoders as the dialog does,
// runs it, handles its events as the dialog does (EC_USER asks the video
// encoder for a key frame; EC_USER + 1 carries the connection count, and
// the graph runs while there are connections and pauses when the last one
// leaves) until SECONDS pass or STOP-FILE appears, then stops and writes
// what it saw to RESULT-FILE as one JSON object:
//
//   {"counts": [1, 0], "keyFrameRequests": N, "stoppedBy": "file",
//    "statistics": {"connections": 0, ...}, "error": null}
//
//   usage: ServeGraph URL VIDEO-ENCODER AUDIO-ENCODER SECONDS STOP-FILE RESULT-FILE
//                     [ICE-SERVER USER PASSWORD]
//
// With an ICE server, the filter gathers with it, as the dialog's "Add..."
// makes it (an empty USER or PASSWORD is none).
//
// Exit status 0 when the graph served and stopped; 1 when a step failed
// (the result names it), 2 for wrong arguments. A graph that does not stop
// in time ends the process all the same, with a result that says so.
#include "graph/Graph.h"

#include <cstdio>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

namespace {

const wchar_t szGenerator[] = L"Ormidex Video Generator";
const UINT WM_GRAPHNOTIFY = WM_APP + 123;
const DWORD c_dwPollMs = 100;
const int c_nMaxSeconds = 600;
// Stop, release and the result's writing take well under this.
const DWORD c_dwStopMarginMs = 15000;

// What the result file says; the watchdog may write it too, hence the lock.
class CResult
{
public:
    explicit CResult(const std::wstring& strPath) : m_strPath(strPath) {}

    void AddCount(int nCount)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_counts.push_back(nCount);
    }
    void AddKeyFrameRequest()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nKeyFrameRequests;
    }
    void SetStatistics(const ServerStats& stats)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stats = stats;
        m_bStats = true;
    }
    void SetStoppedBy(const char* pszHow)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strStoppedBy = pszHow;
    }
    void Fail(const char* pszStep, HRESULT hr)
    {
        char sz[160];
        std::snprintf(sz, sizeof(sz), "%s failed: 0x%08lX", pszStep, static_cast<unsigned long>(hr));
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_strError.empty())
            m_strError = sz;
    }
    bool Failed()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return !m_strError.empty();
    }

    // Once: the first writer wins, so a late main thread cannot replace the
    // watchdog's word. Written beside the file and moved over it, so that a
    // reader never sees half of it.
    bool Write()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bWritten)
            return true;
        m_bWritten = true;
        std::string strJson = Json();
        std::wstring strTemp = m_strPath + L".tmp";
        FILE* pFile = _wfopen(strTemp.c_str(), L"wb");
        if (pFile == nullptr)
            return false;
        bool bOk = std::fwrite(strJson.data(), 1, strJson.size(), pFile) == strJson.size();
        bOk = std::fclose(pFile) == 0 && bOk;
        return bOk && ::MoveFileExW(strTemp.c_str(), m_strPath.c_str(), MOVEFILE_REPLACE_EXISTING);
    }

private:
    std::string Json() const
    {
        std::string str = "{\"counts\": [";
        for (size_t i = 0; i < m_counts.size(); ++i)
            str += (i > 0 ? ", " : "") + std::to_string(m_counts[i]);
        str += "], \"keyFrameRequests\": " + std::to_string(m_nKeyFrameRequests);
        str += ", \"stoppedBy\": " + (m_strStoppedBy.empty() ? "null" : "\"" + m_strStoppedBy + "\"");
        str += ", \"statistics\": ";
        if (m_bStats)
        {
            const ServerStats& s = m_stats;
            str += "{\"connections\": " + std::to_string(s.nConnections) +
                   ", \"connectionsServed\": " + std::to_string(s.nConnectionsTotal) +
                   ", \"videoSamples\": " + std::to_string(s.nVideoSamples) +
                   ", \"audioSamples\": " + std::to_string(s.nAudioSamples) +
                   ", \"keyFrameRequests\": " + std::to_string(s.nKeyFrameRequests) +
                   ", \"packsSent\": " + std::to_string(s.nPacksSent) +
                   ", \"bytesSent\": " + std::to_string(s.nBytesSent) +
                   ", \"rtpTransferVid\": " + std::to_string(s.nRtpTransferVid) +
                   ", \"rtpTransferAud\": " + std::to_string(s.nRtpTransferAud) + "}";
        }
        else
        {
            str += "null";
        }
        // The texts are ours: ASCII without quotes or backslashes.
        str += ", \"error\": " + (m_strError.empty() ? "null" : "\"" + m_strError + "\"") + "}\n";
        return str;
    }

    std::wstring m_strPath;
    std::mutex m_mutex;
    std::vector<int> m_counts;
    int m_nKeyFrameRequests = 0;
    ServerStats m_stats = {};
    bool m_bStats = false;
    std::string m_strStoppedBy;
    std::string m_strError;
    bool m_bWritten = false;
};

// Ends the process with a result when the main thread has not finished by
// the deadline, whatever it hangs in.
class CWatchdog
{
public:
    CWatchdog(CResult* pResult, DWORD dwMs)
        : m_pResult(pResult), m_dwMs(dwMs), m_hDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        if (m_hDone != nullptr)
            m_hThread = ::CreateThread(nullptr, 0, &CWatchdog::Main, this, 0, nullptr);
    }
    ~CWatchdog()
    {
        if (m_hThread != nullptr)
        {
            ::SetEvent(m_hDone);
            ::WaitForSingleObject(m_hThread, INFINITE);
            ::CloseHandle(m_hThread);
        }
        if (m_hDone != nullptr)
            ::CloseHandle(m_hDone);
    }
    CWatchdog(const CWatchdog&) = delete;
    CWatchdog& operator=(const CWatchdog&) = delete;

    bool IsRunning() const { return m_hThread != nullptr; }

private:
    static DWORD WINAPI Main(void* pv)
    {
        CWatchdog* pThis = static_cast<CWatchdog*>(pv);
        if (::WaitForSingleObject(pThis->m_hDone, pThis->m_dwMs) == WAIT_OBJECT_0)
            return 0;
        pThis->m_pResult->Fail("ending in time", HRESULT_FROM_WIN32(ERROR_TIMEOUT));
        pThis->m_pResult->Write();
        ::TerminateProcess(::GetCurrentProcess(), 1);
        return 1;
    }

    CResult* m_pResult;
    DWORD m_dwMs;
    HANDLE m_hDone;
    HANDLE m_hThread = nullptr;
};

bool FileExists(const std::wstring& strPath)
{
    return ::GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The dialog's handling of the graph's events.
void HandleEvents(CGraph& graph, CResult& result)
{
    for (long lCode; (lCode = graph.GetGraphEvent()) != 0;)
    {
        if (lCode == EC_USER)
        {
            result.AddKeyFrameRequest();
            graph.ForceKeyFrame();
        }
        else if (lCode == EC_USER + 1)
        {
            int nCount = graph.GetConnections();
            result.AddCount(nCount);
            if (nCount != 0)
                graph.Run();
            else if (!graph.IsStopped())
                graph.Pause();
        }
    }
}

// Until the time is up or the stop file appears; the events are handled as
// their messages come, and once more before the caller stops the graph.
void Serve(CGraph& graph, CResult& result, DWORD dwMs, const std::wstring& strStopFile)
{
    ULONGLONG nEnd = ::GetTickCount64() + dwMs;
    for (;;)
    {
        if (FileExists(strStopFile))
        {
            result.SetStoppedBy("file");
            break;
        }
        ULONGLONG nNow = ::GetTickCount64();
        if (nNow >= nEnd)
        {
            result.SetStoppedBy("time");
            break;
        }
        DWORD dwWait = static_cast<DWORD>(nEnd - nNow < c_dwPollMs ? nEnd - nNow : c_dwPollMs);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, dwWait, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_GRAPHNOTIFY)
                HandleEvents(graph, result);
            else
                ::DispatchMessageW(&msg);
        }
    }
    HandleEvents(graph, result);
}

// The ICE server of the command line, if any: URI, user, password.
struct CIceServerArgs
{
    LPCWSTR pszUri = nullptr;
    LPCWSTR pszUser = nullptr;
    LPCWSTR pszPassword = nullptr;
};

int Run(LPCWSTR pszUrl, LPCWSTR pszVideo, LPCWSTR pszAudio, DWORD dwMs, const std::wstring& strStopFile,
        const CIceServerArgs& ice, CResult& result)
{
    // Message-only: the graph's notices need a window, nobody needs to see it.
    HWND hWnd = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (hWnd == nullptr)
    {
        result.Fail("CreateWindowEx", HRESULT_FROM_WIN32(::GetLastError()));
        return 1;
    }
    {
        CGraph graph;
        HRESULT hr = graph.BuildGraph(szGenerator, hWnd, WM_GRAPHNOTIFY, pszVideo, pszAudio, pszUrl);
        if (hr != S_OK)
            result.Fail("BuildGraph", hr);
        else if (ice.pszUri != nullptr &&
                 (hr = graph.AddIceServer(CComBSTR(ice.pszUri), CComBSTR(ice.pszUser), CComBSTR(ice.pszPassword))) !=
                     S_OK)
            result.Fail("AddIceServer", hr);
        else if ((hr = graph.Run()) != S_OK)
            result.Fail("Run", hr);
        if (!result.Failed())
        {
            Serve(graph, result, dwMs, strStopFile);
            ServerStats stats = {};
            // Read before Stop: a later start from stopped counts anew.
            if ((hr = graph.GetStatistics(&stats)) == S_OK)
                result.SetStatistics(stats);
            else
                result.Fail("GetStatistics", hr);
            if ((hr = graph.Stop()) != S_OK)
                result.Fail("Stop", hr);
        }
        graph.ReleaseGraph();
    }
    ::DestroyWindow(hWnd);
    return result.Failed() ? 1 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 7 && argc != 10)
    {
        std::fwprintf(stderr, L"usage: ServeGraph URL VIDEO-ENCODER AUDIO-ENCODER SECONDS STOP-FILE RESULT-FILE "
                              L"[ICE-SERVER USER PASSWORD]\n");
        return 2;
    }
    CIceServerArgs ice;
    if (argc == 10)
        ice = {argv[7], argv[8], argv[9]};
    wchar_t* pszEnd = nullptr;
    long nSeconds = std::wcstol(argv[4], &pszEnd, 10);
    if (pszEnd == argv[4] || *pszEnd != L'\0' || nSeconds < 1 || nSeconds > c_nMaxSeconds)
    {
        std::fwprintf(stderr, L"SECONDS must be a whole number from 1 to %d\n", c_nMaxSeconds);
        return 2;
    }
    DWORD dwMs = static_cast<DWORD>(nSeconds) * 1000;

    CResult result(argv[6]);
    int nExit = 1;
    {
        CWatchdog watchdog(&result, dwMs + c_dwStopMarginMs);
        if (!watchdog.IsRunning())
        {
            result.Fail("CreateThread", HRESULT_FROM_WIN32(::GetLastError()));
        }
        else
        {
            HRESULT hr = ::CoInitialize(nullptr);
            if (FAILED(hr))
            {
                result.Fail("CoInitialize", hr);
            }
            else
            {
                nExit = Run(argv[1], argv[2], argv[3], dwMs, argv[5], ice, result);
                ::CoUninitialize();
            }
        }
    }
    if (!result.Write())
    {
        std::fwprintf(stderr, L"could not write %ls\n", argv[6]);
        return 1;
    }
    return nExit;
}
