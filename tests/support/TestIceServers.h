// The ICE servers that the tests and the benchmark hand the filter: the
// run's coturn as scripts/test and scripts/bench export it (STUN and TURN
// on 127.0.0.1:3478 in their namespace), a UDP socket that never answers,
// and the candidate lines of an answer by type. No test framework.
#pragma once

#include <winsock2.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// One entry of the filter's list.
struct CIceServer
{
    std::string uri;
    std::string user;
    std::string password;
};

inline std::string EnvText(const char* pszName)
{
    char sz[1024];
    DWORD cch = ::GetEnvironmentVariableA(pszName, sz, sizeof(sz));
    return cch > 0 && cch < sizeof(sz) ? std::string(sz, cch) : std::string();
}

// The run's TURN server; an empty uri when the run has none.
struct CTurnAccount
{
    std::string uri = EnvText("CORVASTA_TURN_URI");
    std::string user = EnvText("CORVASTA_TURN_USER");
    std::string password = EnvText("CORVASTA_TURN_PASSWORD");
    std::string log = EnvText("CORVASTA_TURN_LOG");

    CIceServer Turn() const { return {uri, user, password}; }
    // The same server asked for STUN Binding alone.
    CIceServer Stun() const { return {"stun:" + uri.substr(uri.find(':') + 1), "", ""}; }

    // coturn's log so far; the path is the host's, reached through Z:.
    std::string Log() const
    {
        std::ifstream file("Z:" + log, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
};

// The candidate lines of the answer's first section with " typ <type>".
inline std::vector<std::string> Candidates(const std::string& sdp, const std::string& strType)
{
    std::vector<std::string> lines;
    size_t nEnd = sdp.find("\r\nm=", sdp.find("\r\nm=") + 1);
    for (size_t nPos = sdp.find("a=candidate:"); nPos < nEnd; nPos = sdp.find("a=candidate:", nPos + 1))
    {
        std::string line = sdp.substr(nPos, sdp.find("\r\n", nPos) - nPos);
        if (line.find(" typ " + strType) != std::string::npos)
            lines.push_back(line);
    }
    return lines;
}

// A UDP socket on 127.0.0.1 that takes requests and never answers.
class CSilentServer
{
public:
    CSilentServer() : m_socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP))
    {
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int cb = sizeof(addr);
        u_long nOn = 1;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&addr), &cb) == 0 &&
            ::ioctlsocket(m_socket, FIONBIO, &nOn) == 0)
            m_nPort = ntohs(addr.sin_port);
    }
    ~CSilentServer() { ::closesocket(m_socket); }
    CSilentServer(const CSilentServer&) = delete;
    CSilentServer& operator=(const CSilentServer&) = delete;

    // 0 when the socket could not be made.
    USHORT Port() const { return m_nPort; }
    CIceServer Stun() const { return {"stun:127.0.0.1:" + std::to_string(m_nPort), "", ""}; }
    // Reads what has arrived; answers how many datagrams that was.
    size_t ReadDry()
    {
        size_t n = 0;
        for (;;)
        {
            char rgb[1500];
            if (::recv(m_socket, rgb, sizeof(rgb), 0) >= 0)
                ++n;
            else if (::WSAGetLastError() != WSAECONNRESET)
                return n;
        }
    }

private:
    SOCKET m_socket;
    USHORT m_nPort = 0;
};
