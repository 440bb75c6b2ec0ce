// The test WebRTC client on a real UDP socket of 127.0.0.1, for tests that
// talk to the Corvasta stand-in across Winsock as a browser would: the WHEP
// exchange over HTTP, then checks, DTLS and media on the socket. Such tests
// run only inside the test run's private network namespace (InNetNamespace).
#pragma once

#include <winsock2.h>

#include <functional>
#include <string>

#include "tests/support/RtcTestClient.h"

// Whether the test run made a network namespace of its own (scripts/test
// says so in CORVASTA_NETNS); UDP tests are skipped outside one.
bool InNetNamespace();

// The answer to a WHEP request.
struct CWhepExchange
{
    int nStatus = 0;
    std::string location;
    std::string body;
};

// POSTs the offer (or any body with any type) to the path.
CWhepExchange WhepPost(USHORT nPort, const std::string& strPath, const std::string& strBody,
                       const char* pszContentType = "application/sdp", const char* pszUserAgent = "RtcTestClient");
CWhepExchange WhepDelete(USHORT nPort, const std::string& strLocation);

class CRtcUdpClient
{
public:
    CRtcUdpClient();
    ~CRtcUdpClient();
    CRtcUdpClient(const CRtcUdpClient&) = delete;
    CRtcUdpClient& operator=(const CRtcUdpClient&) = delete;

    bool IsOpen() const { return m_socket != INVALID_SOCKET; }
    CRtcTestClient& Client() { return *m_spClient; }

    // Offers, reads the answer; false with the exchange's status and body.
    bool Open(USHORT nPort, const std::string& strWhepPath, CWhepExchange* pExchange,
              const std::vector<int>& videoFormats = {96, 102}, const std::vector<int>& audioFormats = {111, 0, 8});
    // Sends what the client has to send and reads what arrives, until the
    // condition holds (true) or the time is up (false). Checks go out every
    // 200 ms until the server answers one.
    bool PumpUntil(const std::function<bool()>& condition, DWORD dwTimeoutMs);
    void Flush();
    // For a caller that serves many clients in one select (the benchmark):
    // the socket to read, and the checks, timers and sends due by now.
    SOCKET Socket() const { return m_socket; }
    void Service(ULONGLONG nNowMs);

private:
    SOCKET m_socket;
    std::unique_ptr<CRtcTestClient> m_spClient;
    ULONGLONG m_nNextCheckMs = 0;
};
