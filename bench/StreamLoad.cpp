// One select waits on every stream client: the sets hold them all.
#define FD_SETSIZE 512
#include "StreamLoad.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/LoopbackClient.h"

#include "StatusCell.h"

namespace {

const size_t nStreamClients = 200;
const size_t nSlowReaders = 20;  // never read after the stream's head
const size_t nLeavers = 20;      // leave while a sample is on its way
const size_t nHalfRequests = 300;
const DWORD dwLoadMs = 5000;
const char szStreamRequest[] = "GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

double NowMs()
{
    LARGE_INTEGER freq;
    LARGE_INTEGER now;
    ::QueryPerformanceFrequency(&freq);
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(freq.QuadPart);
}

// A number from the status page's table, or -1.
long long StatusNumber(unsigned short nPort, const char* pszRow)
{
    std::string strCell = StatusCell(nPort, pszRow);
    return strCell.empty() ? -1 : std::atoll(strCell.c_str());
}

std::wstring WindowText(HWND hwnd)
{
    wchar_t sz[512] = L"";
    DWORD_PTR dwResult = 0;
    if (hwnd != nullptr)
        ::SendMessageTimeoutW(hwnd, WM_GETTEXT, ARRAYSIZE(sz), reinterpret_cast<LPARAM>(sz), SMTO_ABORTIFHUNG,
                              1000, &dwResult);
    return sz;
}

// The client count at the head of the dialog's statistics line, or -1.
long ShownConnections(const std::wstring& strLine)
{
    static const wchar_t szHead[] = L"Connections: ";
    if (strLine.compare(0, ARRAYSIZE(szHead) - 1, szHead) != 0)
        return -1;
    return std::wcstol(strLine.c_str() + ARRAYSIZE(szHead) - 1, nullptr, 10);
}

// Times the changes of the dialog's statistics line from its own thread.
class CRefreshWatch
{
public:
    explicit CRefreshWatch(HWND hStatistic) : m_hStatistic(hStatistic), m_bStop(false), m_dWorstMs(0.0)
    {
        if (m_hStatistic != nullptr)
            m_thread = std::thread([this] { Watch(); });
    }
    ~CRefreshWatch() { Stop(); }
    CRefreshWatch(const CRefreshWatch&) = delete;
    CRefreshWatch& operator=(const CRefreshWatch&) = delete;

    // The longest time between two changes, or 0 when nothing was watched.
    double Stop()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_dWorstMs;
    }
    // The longest time between two changes since the last call.
    double TakeWorst() { return m_dWorstMs.exchange(0.0); }

private:
    void Watch()
    {
        std::wstring strLast;
        double dLastMs = 0.0;
        while (!m_bStop)
        {
            std::wstring sz = WindowText(m_hStatistic);
            double dNowMs = NowMs();
            if (strLast != sz)
            {
                if (dLastMs > 0.0 && dNowMs - dLastMs > m_dWorstMs)
                    m_dWorstMs = dNowMs - dLastMs;  // only this thread raises it
                strLast = sz;
                dLastMs = dNowMs;
            }
            // Often enough to see a 100 ms refresh, seldom enough not to
            // load the dialog's thread itself.
            ::Sleep(10);
        }
    }

    HWND m_hStatistic;
    std::atomic<bool> m_bStop;
    std::atomic<double> m_dWorstMs;
    std::thread m_thread;
};

} // namespace

void RunStreamLoad(unsigned short nPort, HWND hStatistic)
{
    long long llBytesBefore = StatusNumber(nPort, "Bytes sent");
    long long llServedBefore = StatusNumber(nPort, "Connections served");
    CRefreshWatch watch(hStatistic);

    std::vector<std::unique_ptr<CLoopbackClient>> clients;
    for (size_t i = 0; i < nStreamClients; ++i)
    {
        clients.push_back(std::make_unique<CLoopbackClient>());
        if (clients.back()->Connect(nPort) != 0 || !clients.back()->Send(szStreamRequest))
        {
            std::printf("stream client %zu could not connect to 127.0.0.1:%u\n", i, nPort);
            clients.pop_back();
            break;
        }
    }

    // Readers take what arrives; the slow ones stop after the head; the
    // leavers go as soon as a sample has started to reach them.
    size_t nHeads = 0;
    size_t nLeft = 0;
    std::vector<bool> heads(clients.size(), false);
    std::vector<bool> gone(clients.size(), false);
    // One select for all of them, so that the load is the server's and not
    // the clients' polling: each turn reads only the clients with data.
    double dStartMs = NowMs();
    while (NowMs() - dStartMs < dwLoadMs)
    {
        fd_set readSet;
        FD_ZERO(&readSet);
        for (size_t i = 0; i < clients.size(); ++i)
        {
            bool bSlow = i < nSlowReaders;
            if (!(bSlow && heads[i]) && !gone[i])
                FD_SET(clients[i]->Socket(), &readSet);
        }
        timeval tv = {0, 20 * 1000};
        if (readSet.fd_count == 0)
            break;
        if (::select(0, &readSet, nullptr, nullptr, &tv) <= 0)
            continue;
        for (size_t i = 0; i < clients.size(); ++i)
        {
            CLoopbackClient& client = *clients[i];
            if (gone[i] || !FD_ISSET(client.Socket(), &readSet))
                continue;
            bool bLeaver = i >= nSlowReaders && i < nSlowReaders + nLeavers;
            client.ReadSome(0);
            if (!heads[i] && client.Received().find("\r\n\r\n") != std::string::npos)
            {
                heads[i] = true;
                ++nHeads;
            }
            if (bLeaver && client.Received().find("X-Media:") != std::string::npos)
            {
                client.Close();
                gone[i] = true;
                ++nLeft;
            }
        }
    }
    // The dialog's count must follow: the clients that stayed, once it has
    // refreshed.
    size_t nStayed = clients.size() - nLeft;
    std::wstring strShown;
    for (int i = 0; i < 100; ++i)
    {
        strShown = WindowText(hStatistic);
        if (ShownConnections(strShown) == static_cast<long>(nStayed))
            break;
        ::Sleep(20);
    }
    size_t nWithSample = 0;
    unsigned long long cbReceived = 0;
    for (size_t i = nSlowReaders + nLeavers; i < clients.size(); ++i)
    {
        cbReceived += clients[i]->Received().size();
        nWithSample += clients[i]->Received().find("X-Media:") != std::string::npos ? 1 : 0;
    }

    double dWorstStreamingMs = watch.TakeWorst();

    // Half requests, then one client that must be answered among them.
    std::vector<std::unique_ptr<CLoopbackClient>> flood;
    for (size_t i = 0; i < nHalfRequests; ++i)
    {
        flood.push_back(std::make_unique<CLoopbackClient>());
        if (flood.back()->Connect(nPort) != 0)
            break;
        flood.back()->Send("GET /str");
    }
    size_t nFlood = flood.size();
    CLoopbackClient fresh;
    double dFreshMs = -1.0;
    double dFreshStartMs = NowMs();
    if (fresh.Connect(nPort) == 0 && fresh.Send(szStreamRequest) && fresh.ReadUntil("\r\n\r\n"))
        dFreshMs = NowMs() - dFreshStartMs;
    int nFreshStatus = HttpStatus(fresh.Received());
    // The server's own figures are read once the half requests have gone:
    // during the flood the page's request waits its turn like any other.
    flood.clear();

    long long llVideoUs = StatusNumber(nPort, "Video transfer (us)");
    long long llAudioUs = StatusNumber(nPort, "Audio transfer (us)");
    long long llBytesAfter = StatusNumber(nPort, "Bytes sent");
    long long llServedAfter = StatusNumber(nPort, "Connections served");
    double dWorstRefreshMs = watch.Stop();
    fresh.Close();
    clients.clear();

    std::printf("stream load: %zu clients (%zu slow readers, %zu left mid-sample), %zu got the head, %zu readers "
                "got samples, %llu bytes read by the readers\n",
                nStreamClients, nSlowReaders, nLeft, nHeads, nWithSample, cbReceived);
    if (llServedBefore < 0 || llServedAfter < 0 || llBytesBefore < 0 || llBytesAfter < 0)
        std::printf("stream load: the server's status page could not be read\n");
    else
        std::printf("stream load: server counts %lld connections served, %lld bytes sent, mean transfer video "
                    "%lld us, audio %lld us\n",
                    llServedAfter - llServedBefore, llBytesAfter - llBytesBefore, llVideoUs, llAudioUs);
    std::printf("stream load: fresh client among %zu half requests answered %d in %.0f ms\n", nFlood,
                nFreshStatus, dFreshMs);
    if (hStatistic != nullptr)
    {
        std::printf("stream load: worst interval between statistics refreshes %.0f ms while streaming, %.0f ms "
                    "during the half requests\n",
                    dWorstStreamingMs, dWorstRefreshMs);
        std::printf("stream load: the dialog showed %ld connections for the %zu clients that stayed\n",
                    ShownConnections(strShown), nStayed);
    }
}
