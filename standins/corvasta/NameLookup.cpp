#include "NameLookup.h"

#include <ws2tcpip.h>

#include <atomic>
#include <vector>

struct CNameLookup::CLookup
{
    std::string m_strHost;
    bool m_bStarted = false;          // under the owner's lock
    ULONGLONG m_nDoneMs = 0;          // when the owner first saw it done
    std::atomic<bool> m_bDone{false}; // set last, after the result
    bool m_bFound = false;
    in_addr m_address = {};
    std::string m_strError;
};

namespace {

std::string LookupError(int nError)
{
    switch (nError)
    {
    case WSAHOST_NOT_FOUND:
    case WSANO_DATA:
        return "name not found";
    case WSATRY_AGAIN:
        return "the name server did not answer";
    default:
        return "name lookup failed (error " + std::to_string(nError) + ")";
    }
}

} // namespace

DWORD WINAPI CNameLookup::LookupThread(void* pv)
{
    // The module stays loaded until this thread has left its code.
    HMODULE hModule = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(&CNameLookup::LookupThread), &hModule);
    {
        std::unique_ptr<std::shared_ptr<CLookup>> spspLookup(static_cast<std::shared_ptr<CLookup>*>(pv));
        CLookup& lookup = **spspLookup;
        WSADATA wsaData;
        int nError = ::WSAStartup(MAKEWORD(2, 2), &wsaData);
        if (nError == 0)
        {
            addrinfo hints = {};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_DGRAM;
            addrinfo* pResult = nullptr;
            nError = ::getaddrinfo(lookup.m_strHost.c_str(), nullptr, &hints, &pResult);
            if (nError == 0 && pResult != nullptr)
            {
                lookup.m_address = reinterpret_cast<const sockaddr_in*>(pResult->ai_addr)->sin_addr;
                lookup.m_bFound = true;
            }
            if (pResult != nullptr)
                ::freeaddrinfo(pResult);
            ::WSACleanup();
        }
        if (!lookup.m_bFound)
            lookup.m_strError = LookupError(nError);
        lookup.m_bDone = true;
    }
    if (hModule != nullptr)
        ::FreeLibraryAndExitThread(hModule, 0);
    return 0;
}

void CNameLookup::StartWaiting()
{
    size_t nRunning = 0;
    for (const auto& entry : m_names)
        nRunning += entry.second->m_bStarted && !entry.second->m_bDone ? 1 : 0;
    for (auto& entry : m_names)
    {
        if (nRunning >= nMaxRunning)
            return;
        CLookup& lookup = *entry.second;
        if (lookup.m_bStarted)
            continue;
        lookup.m_bStarted = true;
        auto* pspLookup = new std::shared_ptr<CLookup>(entry.second);
        HANDLE hThread = ::CreateThread(nullptr, 0, LookupThread, pspLookup, 0, nullptr);
        if (hThread == nullptr)
        {
            delete pspLookup;
            lookup.m_strError = "no thread for the name lookup";
            lookup.m_bDone = true;
            continue;
        }
        ::CloseHandle(hThread);
        ++nRunning;
    }
}

CNameLookup::EResult CNameLookup::Find(const std::string& strHost, uint16_t nPort, ULONGLONG nNowMs,
                                       rtc::NetAddress* pAddress, std::string* pError)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Forget what is old, and make room: done lookups go, running ones stay
    // (their threads hold them) until they end.
    for (auto it = m_names.begin(); it != m_names.end();)
    {
        CLookup& lookup = *it->second;
        if (lookup.m_bDone && lookup.m_nDoneMs == 0)
            lookup.m_nDoneMs = nNowMs;
        bool bStale = lookup.m_bDone && nNowMs - lookup.m_nDoneMs > (lookup.m_bFound ? nKeepFoundMs : nKeepFailedMs);
        it = bStale ? m_names.erase(it) : std::next(it);
    }
    auto it = m_names.find(strHost);
    if (it == m_names.end())
    {
        if (m_names.size() >= nMaxNames)
        {
            *pError = "too many names looked up at once";
            return eFailed;
        }
        auto spLookup = std::make_shared<CLookup>();
        spLookup->m_strHost = strHost;
        it = m_names.emplace(strHost, std::move(spLookup)).first;
    }
    StartWaiting();
    CLookup& lookup = *it->second;
    if (!lookup.m_bDone)
        return ePending;
    if (!lookup.m_bFound)
    {
        *pError = lookup.m_strError;
        return eFailed;
    }
    *pAddress = rtc::NetAddress::V4(reinterpret_cast<const uint8_t*>(&lookup.m_address), nPort);
    return eFound;
}
