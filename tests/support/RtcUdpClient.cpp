#include "tests/support/RtcUdpClient.h"

#include <cstdlib>

#include "tests/support/LoopbackClient.h"

namespace {

rtc::NetAddress ToNetAddress(const sockaddr_in& addr)
{
    return rtc::NetAddress::V4(reinterpret_cast<const uint8_t*>(&addr.sin_addr), ntohs(addr.sin_port));
}

CWhepExchange ReadExchange(const std::string& strResponse)
{
    CWhepExchange exchange;
    exchange.nStatus = HttpStatus(strResponse);
    size_t nHead = strResponse.find("\r\n\r\n");
    std::string strHead = strResponse.substr(0, nHead);
    exchange.body = nHead == std::string::npos ? std::string() : strResponse.substr(nHead + 4);
    size_t nLocation = strHead.find("\r\nLocation: ");
    if (nLocation != std::string::npos)
    {
        size_t nStart = nLocation + 12;
        exchange.location = strHead.substr(nStart, strHead.find("\r\n", nStart) - nStart);
    }
    return exchange;
}

ULONGLONG NowMs()
{
    return ::GetTickCount64();
}

} // namespace

bool InNetNamespace()
{
    const char* psz = std::getenv("CORVASTA_NETNS");
    return psz != nullptr && std::string(psz) == "1";
}

CWhepExchange WhepPost(USHORT nPort, const std::string& strPath, const std::string& strBody,
                       const char* pszContentType, const char* pszUserAgent)
{
    return ReadExchange(HttpExchange(nPort, "POST " + strPath + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: " +
                                                pszUserAgent + "\r\nContent-Type: " + pszContentType +
                                                "\r\nContent-Length: " + std::to_string(strBody.size()) +
                                                "\r\nConnection: close\r\n\r\n" + strBody));
}

CWhepExchange WhepDelete(USHORT nPort, const std::string& strLocation)
{
    return ReadExchange(
        HttpExchange(nPort, "DELETE " + strLocation + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"));
}

CRtcUdpClient::CRtcUdpClient() : m_socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP))
{
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int cbAddr = sizeof(addr);
    u_long nOn = 1;
    if (m_socket == INVALID_SOCKET || ::bind(m_socket, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&addr), &cbAddr) != 0 ||
        ::ioctlsocket(m_socket, FIONBIO, &nOn) != 0)
    {
        if (m_socket != INVALID_SOCKET)
            ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
    m_spClient = std::make_unique<CRtcTestClient>(ToNetAddress(addr));
}

CRtcUdpClient::~CRtcUdpClient()
{
    if (m_socket != INVALID_SOCKET)
        ::closesocket(m_socket);
}

bool CRtcUdpClient::Open(USHORT nPort, const std::string& strWhepPath, CWhepExchange* pExchange,
                         const std::vector<int>& videoFormats, const std::vector<int>& audioFormats)
{
    *pExchange = WhepPost(nPort, strWhepPath, m_spClient->Offer(videoFormats, audioFormats));
    std::string strReason;
    if (pExchange->nStatus != 201)
        return false;
    if (!m_spClient->Answer(pExchange->body, &strReason))
    {
        pExchange->body += "\r\n(the test client: " + strReason + ")";
        return false;
    }
    return true;
}

void CRtcUdpClient::Flush()
{
    for (const CRtcDatagram& datagram : m_spClient->TakeOutgoing())
    {
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        memcpy(&to.sin_addr, datagram.to.rgbAddress, 4);
        to.sin_port = htons(datagram.to.nPort);
        ::sendto(m_socket, reinterpret_cast<const char*>(datagram.bytes.data()), static_cast<int>(datagram.bytes.size()),
                 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
    }
}

void CRtcUdpClient::Service(ULONGLONG nNowMs)
{
    if (!m_spClient->Checked() && nNowMs >= m_nNextCheckMs)
    {
        m_spClient->Check(nNowMs);
        m_nNextCheckMs = nNowMs + 200;
    }
    m_spClient->OnTimer(nNowMs);
    Flush();
}

bool CRtcUdpClient::PumpUntil(const std::function<bool()>& condition, DWORD dwTimeoutMs)
{
    ULONGLONG nEnd = NowMs() + dwTimeoutMs;
    for (;;)
    {
        if (condition())
            return true;
        ULONGLONG nNow = NowMs();
        if (nNow >= nEnd || m_socket == INVALID_SOCKET)
            return false;
        Service(nNow);
        fd_set read;
        FD_ZERO(&read);
        FD_SET(m_socket, &read);
        timeval tv = {0, 20 * 1000};
        if (::select(0, &read, nullptr, nullptr, &tv) <= 0)
            continue;
        for (;;)
        {
            char rgb[2048];
            sockaddr_in from = {};
            int cbFrom = sizeof(from);
            int cb = ::recvfrom(m_socket, rgb, sizeof(rgb), 0, reinterpret_cast<sockaddr*>(&from), &cbFrom);
            if (cb == SOCKET_ERROR && ::WSAGetLastError() == WSAECONNRESET)
                continue;
            if (cb <= 0)
                break;
            m_spClient->Receive(reinterpret_cast<const uint8_t*>(rgb), static_cast<size_t>(cb), ToNetAddress(from),
                                NowMs());
        }
        Flush();
    }
}
