#include "RequestFlood.h"

#include "tests/support/LoopbackClient.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"
#include "StatisticLine.h"

namespace {

const size_t nHalfRequests = 300;
const DWORD dwFloodMs = 2000;

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

void RunRequestFlood(unsigned short nPort, HWND hStatistic)
{
    CRefreshWatch watch(hStatistic);
    // Half requests, then one client that must be answered among them.
    std::vector<std::unique_ptr<CLoopbackClient>> flood;
    for (size_t i = 0; i < nHalfRequests; ++i)
    {
        flood.push_back(std::make_unique<CLoopbackClient>());
        if (flood.back()->Connect(nPort) != 0)
        {
            flood.pop_back();
            break;
        }
        flood.back()->Send("GET /sta");
    }
    size_t nFlood = flood.size();
    CLoopbackClient fresh;
    double dFreshMs = -1.0;
    double dFreshStartMs = NowMs();
    if (fresh.Connect(nPort) == 0 && fresh.Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n") &&
        fresh.ReadUntil("\r\n\r\n"))
        dFreshMs = NowMs() - dFreshStartMs;
    int nFreshStatus = HttpStatus(fresh.Received());
    // The half requests stay a while, as a slow client's would.
    ::Sleep(dwFloodMs);
    flood.clear();
    double dWorstRefreshMs = watch.Stop();

    std::printf("half requests: a fresh status-page request among %zu half requests answered %d in %.0f ms\n",
                nFlood, nFreshStatus, dFreshMs);
    if (hStatistic != nullptr)
        std::printf("half requests: worst interval between the dialog's statistics refreshes meanwhile %.0f ms\n",
                    dWorstRefreshMs);
}
