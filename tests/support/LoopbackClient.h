// A Winsock client for the tests and the benchmark that talks to 127.0.0.1
// only, with every wait bounded, and a thread count.
#pragma once

#include <winsock2.h>

#include <string>

// Winsock for the life of a test.
class CWinsock
{
public:
    CWinsock() { m_nResult = ::WSAStartup(MAKEWORD(2, 2), &m_data); }
    ~CWinsock()
    {
        if (m_nResult == 0)
            ::WSACleanup();
    }
    CWinsock(const CWinsock&) = delete;
    CWinsock& operator=(const CWinsock&) = delete;
    int Result() const { return m_nResult; }

private:
    WSADATA m_data;
    int m_nResult;
};

class CLoopbackClient
{
public:
    static const DWORD dwTimeout = 5000;

    CLoopbackClient() : m_socket(INVALID_SOCKET) {}
    ~CLoopbackClient() { Close(); }
    CLoopbackClient(const CLoopbackClient&) = delete;
    CLoopbackClient& operator=(const CLoopbackClient&) = delete;

    // 0 on success, else the Winsock error (WSAECONNREFUSED when nothing
    // listens on the port).
    int Connect(USHORT nPort);
    bool Send(const std::string& str);
    // Reads until strWanted has arrived (true), the server closes the
    // connection or the time runs out (false).
    bool ReadUntil(const std::string& strWanted, DWORD dwTimeoutMs = dwTimeout);
    // Reads until the server closes the connection; false on time-out.
    bool ReadToEnd(DWORD dwTimeoutMs = dwTimeout);
    // Reads what arrives within the time; false when the connection ended.
    bool ReadSome(DWORD dwTimeoutMs);
    const std::string& Received() const { return m_strReceived; }
    // Forgets what has arrived, so that a long stream is not searched again
    // from its start.
    void ClearReceived() { m_strReceived.clear(); }
    // For a caller that waits on many clients in one select.
    SOCKET Socket() const { return m_socket; }
    void Close();

private:

    SOCKET m_socket;
    std::string m_strReceived;
};

// A port on 127.0.0.1 that nothing listens on now.
USHORT FindFreePort();
// One request (with Connection: close) and the whole response.
std::string HttpExchange(USHORT nPort, const std::string& strRequest);
std::string HttpGet(USHORT nPort, const std::string& strPath);
// The status line's code, or 0.
int HttpStatus(const std::string& strResponse);

// Threads of this process, to see that a server thread has ended.
int CountThreads();
