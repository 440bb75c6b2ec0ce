#include "BenchHttp.h"

#include <ws2tcpip.h>

namespace {

SOCKET ConnectLoopback(unsigned short nPort, DWORD dwTimeoutMs)
{
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return s;
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&dwTimeoutMs), sizeof(dwTimeoutMs));
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = ::htons(nPort);
    addr.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0)
    {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

bool SendRequest(SOCKET s, const char* pszPath, const char* pszConnection)
{
    std::string request = std::string("GET ") + pszPath + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: " +
                          pszConnection + "\r\n\r\n";
    return ::send(s, request.c_str(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size());
}

} // namespace

std::string HttpGet(unsigned short nPort, const char* pszPath, DWORD dwTimeoutMs)
{
    std::string response;
    SOCKET s = ConnectLoopback(nPort, dwTimeoutMs);
    if (s == INVALID_SOCKET)
        return response;
    if (SendRequest(s, pszPath, "close"))
    {
        char buf[4096];
        int n;
        while ((n = ::recv(s, buf, sizeof(buf), 0)) > 0 && response.size() < 1000000)
            response.append(buf, n);
    }
    ::closesocket(s);
    return response;
}

bool CStreamClient::Open(unsigned short nPort, const char* pszPath)
{
    Close();
    m_socket = ConnectLoopback(nPort, 2000);
    if (m_socket == INVALID_SOCKET)
        return false;
    return SendRequest(m_socket, pszPath, "keep-alive");
}

void CStreamClient::Close()
{
    if (m_socket != INVALID_SOCKET)
    {
        ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
}

void CStreamClient::Drain()
{
    if (m_socket == INVALID_SOCKET)
        return;
    u_long nAvailable = 0;
    char buf[65536];
    while (::ioctlsocket(m_socket, FIONREAD, &nAvailable) == 0 && nAvailable > 0)
        if (::recv(m_socket, buf, sizeof(buf), 0) <= 0)
            break;
}
