// Host names of ICE servers looked up off the network thread: getaddrinfo
// may wait seconds for a name server that does not answer, and the thread
// that serves every peer must not. Each lookup runs on a thread of its own
// that holds the module, so that the DLL may be unloaded while a lookup
// still waits; what it finds is kept a while, so that offers in a row do
// not ask again.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "rtc/NetAddress.h"

class CNameLookup
{
public:
    enum EResult
    {
        ePending,
        eFound,
        eFailed,
    };

    static constexpr size_t nMaxRunning = 4;
    static constexpr size_t nMaxNames = 32;
    static constexpr ULONGLONG nKeepFoundMs = 60000;
    static constexpr ULONGLONG nKeepFailedMs = 5000;

    CNameLookup() = default;
    CNameLookup(const CNameLookup&) = delete;
    CNameLookup& operator=(const CNameLookup&) = delete;

    // The host's IPv4 address with the port, or why there is none ("name
    // not found"), or ePending while a lookup runs or waits for its turn:
    // ask again later. Starts the lookup when the name is not known.
    EResult Find(const std::string& strHost, uint16_t nPort, ULONGLONG nNowMs, rtc::NetAddress* pAddress,
                 std::string* pError);

private:
    struct CLookup;

    static DWORD WINAPI LookupThread(void* pv);
    // Starts what waits for its turn, up to nMaxRunning at once; under the lock.
    void StartWaiting();

    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<CLookup>> m_names;
};
