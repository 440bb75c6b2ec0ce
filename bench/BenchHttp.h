// A minimal HTTP client on the loopback address for the benchmark.
#pragma once

#include <winsock2.h>

#include <string>

// The body and headers of GET path from 127.0.0.1:nPort; empty on failure.
std::string HttpGet(unsigned short nPort, const char* pszPath, DWORD dwTimeoutMs);

// A stream request that stays open until Close: one client of the server.
class CStreamClient
{
public:
    ~CStreamClient() { Close(); }
    bool Open(unsigned short nPort, const char* pszPath);
    void Close();
    // Reads whatever has arrived, as a watching client would.
    void Drain();

private:
    SOCKET m_socket = INVALID_SOCKET;
};
