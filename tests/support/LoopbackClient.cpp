#include "LoopbackClient.h"

#include <ws2tcpip.h>
#include <tlhelp32.h>

#include <cstdlib>

namespace {

sockaddr_in Loopback(USHORT nPort)
{
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(nPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

} // namespace

int CLoopbackClient::Connect(USHORT nPort)
{
    Close();
    m_strReceived.clear();
    m_socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_socket == INVALID_SOCKET)
        return ::WSAGetLastError();
    sockaddr_in addr = Loopback(nPort);
    if (::connect(m_socket, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0)
    {
        int nErr = ::WSAGetLastError();
        Close();
        return nErr;
    }
    return 0;
}

bool CLoopbackClient::Send(const std::string& str)
{
    size_t nSent = 0;
    while (nSent < str.size())
    {
        int n = ::send(m_socket, str.data() + nSent, static_cast<int>(str.size() - nSent), 0);
        if (n <= 0)
            return false;
        nSent += static_cast<size_t>(n);
    }
    return true;
}

bool CLoopbackClient::ReadSome(DWORD dwTimeoutMs)
{
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(m_socket, &readSet);
    timeval tv = {static_cast<long>(dwTimeoutMs / 1000), static_cast<long>(dwTimeoutMs % 1000) * 1000};
    if (::select(0, &readSet, nullptr, nullptr, &tv) <= 0)
        return true;
    char rgBuf[65536];
    int n = ::recv(m_socket, rgBuf, sizeof(rgBuf), 0);
    if (n <= 0)
        return false;
    m_strReceived.append(rgBuf, static_cast<size_t>(n));
    return true;
}

bool CLoopbackClient::ReadUntil(const std::string& strWanted, DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    while (m_strReceived.find(strWanted) == std::string::npos)
    {
        DWORD dwElapsed = ::GetTickCount() - dwStart;
        if (m_socket == INVALID_SOCKET || dwElapsed >= dwTimeoutMs || !ReadSome(dwTimeoutMs - dwElapsed))
            return m_strReceived.find(strWanted) != std::string::npos;
    }
    return true;
}

bool CLoopbackClient::ReadToEnd(DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        DWORD dwElapsed = ::GetTickCount() - dwStart;
        if (m_socket == INVALID_SOCKET || dwElapsed >= dwTimeoutMs)
            return false;
        if (!ReadSome(dwTimeoutMs - dwElapsed))
            return true;
    }
}

void CLoopbackClient::Close()
{
    if (m_socket != INVALID_SOCKET)
    {
        ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
}

USHORT FindFreePort()
{
    CWinsock winsock; // callers need not have started Winsock
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = Loopback(0);
    int cb = sizeof(addr);
    USHORT nPort = 0;
    if (::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &cb) == 0)
        nPort = ntohs(addr.sin_port);
    ::closesocket(s);
    return nPort;
}

std::string HttpExchange(USHORT nPort, const std::string& strRequest)
{
    CLoopbackClient client;
    if (client.Connect(nPort) != 0 || !client.Send(strRequest))
        return std::string();
    client.ReadToEnd();
    return client.Received();
}

std::string HttpGet(USHORT nPort, const std::string& strPath)
{
    return HttpExchange(nPort, "GET " + strPath + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

int HttpStatus(const std::string& strResponse)
{
    if (strResponse.compare(0, 9, "HTTP/1.1 ") != 0 || strResponse.size() < 12)
        return 0;
    return std::atoi(strResponse.substr(9, 3).c_str());
}

int CountThreads()
{
    HANDLE hSnap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return -1;
    int nThreads = 0;
    THREADENTRY32 te = {};
    te.dwSize = sizeof(te);
    for (BOOL b = ::Thread32First(hSnap, &te); b; b = ::Thread32Next(hSnap, &te))
    {
        if (te.th32OwnerProcessID == ::GetCurrentProcessId())
            ++nThreads;
    }
    ::CloseHandle(hSnap);
    return nThreads;
}
