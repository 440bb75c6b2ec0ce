// Winsock's select takes 64 sockets unless told otherwise before its header;
// the sets hold every connection (400), the datagram sockets (128), the
// listener and the wake-up socket. Only this file makes or reads the sets.
#define FD_SETSIZE 530
#include "HttpServer.h"
#include "StatusPage.h"

#include <ws2tcpip.h>
#include <process.h>

#include <algorithm>

namespace {

// A client that opens a connection and says nothing is dropped after this.
const LONGLONG llRequestTimeoutUs = 5 * 1000 * 1000;

HRESULT LastSocketError()
{
    int nErr = ::WSAGetLastError();
    // A refusal of rights means the same as for any other resource, so that
    // callers can tell it from an address already in use.
    if (nErr == WSAEACCES)
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    return HRESULT_FROM_WIN32(static_cast<DWORD>(nErr));
}

HRESULT SetNonBlocking(SOCKET s)
{
    u_long nOn = 1;
    return ::ioctlsocket(s, FIONBIO, &nOn) == 0 ? S_OK : LastSocketError();
}

std::string SimpleResponse(const char* pszStatus, const char* pszExtraHeaders)
{
    std::string strBody = std::string(pszStatus) + "\r\n";
    return std::string("HTTP/1.1 ") + pszStatus +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(strBody.size()) + "\r\n" + pszExtraHeaders + "Connection: close\r\n\r\n" +
           strBody;
}

// WHEP is called from pages of other origins (RFC 9725, 4.1).
const char szCors[] = "Access-Control-Allow-Origin: *\r\n"
                      "Access-Control-Expose-Headers: Location, Link, ETag\r\n";

const char* StatusText(int nStatus)
{
    switch (nStatus)
    {
    case 200: return "200 OK";
    case 201: return "201 Created";
    case 204: return "204 No Content";
    case 400: return "400 Bad Request";
    case 403: return "403 Forbidden";
    case 404: return "404 Not Found";
    case 405: return "405 Method Not Allowed";
    case 411: return "411 Length Required";
    case 413: return "413 Content Too Large";
    case 415: return "415 Unsupported Media Type";
    case 503: return "503 Service Unavailable";
    default: return "500 Internal Server Error";
    }
}

// A WHEP answer: the SDP of a new session, or a reason in plain text.
std::string WhepResponse(int nStatus, const std::string& strBody, const std::string& strExtraHeaders)
{
    bool bSdp = nStatus == 201;
    std::string strText = bSdp || strBody.empty() ? strBody : strBody + "\r\n";
    return std::string("HTTP/1.1 ") + StatusText(nStatus) + "\r\nContent-Type: " +
           (bSdp ? "application/sdp" : "text/plain; charset=utf-8") + "\r\nContent-Length: " +
           std::to_string(strText.size()) + "\r\n" + szCors + strExtraHeaders +
           "Cache-Control: no-store\r\nConnection: close\r\n\r\n" + strText;
}

// The part of a request path below the endpoint's, or false.
bool SessionBelow(const std::string& strPath, const std::wstring& strEndpoint, std::string* pstrSession)
{
    std::string strPrefix;
    for (wchar_t ch : strEndpoint)
        strPrefix += static_cast<char>(ch < 0x80 ? ch : '?');
    strPrefix += '/';
    if (strPath.size() <= strPrefix.size() || !IsSameHttpPath(strPath.substr(0, strPrefix.size()), strEndpoint + L"/"))
        return false;
    *pstrSession = strPath.substr(strPrefix.size());
    return pstrSession->find('/') == std::string::npos;
}

static_assert(FD_SETSIZE >= CHttpServer::nMaxConnections + CHttpServer::nMaxDatagramSockets + 2,
              "the select sets must hold every socket");

} // namespace

struct CHttpServer::CSocketSets
{
    fd_set m_read;
    fd_set m_write;
};

CHttpServer::CHttpServer()
    : m_pEvents(nullptr), m_pDatagrams(nullptr), m_nLastTicket(0), m_sListen(INVALID_SOCKET),
      m_sWake(INVALID_SOCKET), m_addrWake(), m_hThread(nullptr), m_bWinsock(false), m_bStop(false), m_nStreams(0)
{
}

CHttpServer::~CHttpServer()
{
    Stop();
}

HRESULT CHttpServer::Start(const CServerUrl& url, IHttpServerEvents* pEvents, IHttpServerDatagrams* pDatagrams)
{
    if (pEvents == nullptr)
        return E_POINTER;
    if (IsRunning())
        return E_UNEXPECTED;

    WSADATA wsaData;
    int nErr = ::WSAStartup(MAKEWORD(2, 2), &wsaData);
    if (nErr != 0)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(nErr));
    m_bWinsock = true;

    sockaddr_in addr;
    HRESULT hr = url.GetBindAddress(&addr);
    if (SUCCEEDED(hr))
    {
        m_sListen = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (m_sListen == INVALID_SOCKET)
            hr = LastSocketError();
    }
    if (SUCCEEDED(hr))
    {
        // As the platform advises for servers: no other socket may take the
        // port over while it is served.
        BOOL bExclusive = TRUE;
        ::setsockopt(m_sListen, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&bExclusive),
                     sizeof(bExclusive));
        if (::bind(m_sListen, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0 ||
            ::listen(m_sListen, SOMAXCONN) != 0)
            hr = LastSocketError();
    }
    if (SUCCEEDED(hr))
        hr = SetNonBlocking(m_sListen);
    if (SUCCEEDED(hr))
    {
        m_sWake = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        m_addrWake.sin_family = AF_INET;
        m_addrWake.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int cbAddr = sizeof(m_addrWake);
        if (m_sWake == INVALID_SOCKET ||
            ::bind(m_sWake, reinterpret_cast<const sockaddr*>(&m_addrWake), sizeof(m_addrWake)) != 0 ||
            ::getsockname(m_sWake, reinterpret_cast<sockaddr*>(&m_addrWake), &cbAddr) != 0)
            hr = LastSocketError();
    }
    if (SUCCEEDED(hr))
        hr = SetNonBlocking(m_sWake);
    if (FAILED(hr))
    {
        CloseSockets();
        return hr;
    }

    m_url = url;
    m_pEvents = pEvents;
    m_pDatagrams = pDatagrams;
    m_bStop = false;
    m_nStreams = 0;
    m_hThread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, ThreadProc, this, 0, nullptr));
    if (m_hThread == nullptr)
    {
        hr = HRESULT_FROM_WIN32(::GetLastError());
        CloseSockets();
        return FAILED(hr) ? hr : E_FAIL;
    }
    return S_OK;
}

void CHttpServer::Stop()
{
    if (m_hThread != nullptr)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStop = true;
            Wake();
        }
        ::WaitForSingleObject(m_hThread, INFINITE);
        ::CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    CloseSockets();
}

void CHttpServer::CloseSockets()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_connections.clear();
    m_nStreams = 0;
    if (m_sListen != INVALID_SOCKET)
    {
        ::closesocket(m_sListen);
        m_sListen = INVALID_SOCKET;
    }
    if (m_sWake != INVALID_SOCKET)
    {
        ::closesocket(m_sWake);
        m_sWake = INVALID_SOCKET;
    }
    if (m_bWinsock)
    {
        ::WSACleanup();
        m_bWinsock = false;
    }
}

UINT CHttpServer::ClientCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nStreams;
}

void CHttpServer::SetClientFilter(const std::string& strUserAgentPart)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strClientFilter = strUserAgentPart;
}

void CHttpServer::Send(const std::shared_ptr<const CStreamChunk>& spChunk)
{
    if (spChunk == nullptr)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    bool bQueued = false;
    for (const auto& spConnection : m_connections)
        bQueued = spConnection->Enqueue(spChunk) || bQueued;
    if (bQueued)
        Wake();
}

// Called under the lock, so that the socket can't be closed meanwhile.
void CHttpServer::Wake()
{
    char ch = 0;
    ::sendto(m_sWake, &ch, 1, 0, reinterpret_cast<const sockaddr*>(&m_addrWake), sizeof(m_addrWake));
}

void CHttpServer::DrainWake()
{
    char rgBuf[64];
    while (::recv(m_sWake, rgBuf, sizeof(rgBuf), 0) > 0)
    {
    }
}

unsigned __stdcall CHttpServer::ThreadProc(void* pv)
{
    static_cast<CHttpServer*>(pv)->Serve();
    return 0;
}

void CHttpServer::Serve()
{
    for (;;)
    {
        CRound round;
        DWORD dwWaitMs = StartTurn(&round);
        CSocketSets sets;
        if (!PrepareSets(&sets))
            break;
        timeval tv = {0, static_cast<long>(dwWaitMs * 1000)};
        if (::select(0, &sets.m_read, &sets.m_write, nullptr, &tv) == SOCKET_ERROR)
        {
            ::Sleep(10);
            continue;
        }
        if (FD_ISSET(m_sWake, &sets.m_read))
            DrainWake();
        ServeDatagrams(sets);

        ServiceConnections(sets, &round);
        AnswerStatusPages(&round);
        AnswerWhep(&round);
        RemoveClosed(&round);
        // The owner hears of it outside the lock, so that it may take its own
        // locks and call the server.
        for (const auto& count : round.m_counts)
            m_pEvents->OnClientCount(count.first, count.second);
        for (const CDelivery& delivery : round.m_delivered)
            m_pEvents->OnDelivered(delivery);
        for (uint64_t nTicket : round.m_abandoned)
            m_pEvents->OnWhepAbandoned(nTicket);
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& spConnection : m_connections)
        spConnection->Finish();
    m_connections.clear();
    m_waiting.clear();
    m_nStreams = 0;
}

DWORD CHttpServer::StartTurn(CRound* pRound)
{
    // The time-out bounds how late a silent client is dropped, and wakes
    // the media's timers when they are due.
    DWORD dwWaitMs = 250;
    if (m_pDatagrams != nullptr)
    {
        dwWaitMs = std::min<DWORD>(dwWaitMs, m_pDatagrams->OnDatagramTimer());
        m_datagramSockets.clear();
        m_pDatagrams->DatagramSockets(&m_datagramSockets);
        // One that is no socket would fail every select.
        m_datagramSockets.erase(std::remove(m_datagramSockets.begin(), m_datagramSockets.end(), INVALID_SOCKET),
                                m_datagramSockets.end());
        // The sets have room for this many; an owner that offers more has
        // the rest unread until it offers fewer.
        if (m_datagramSockets.size() > nMaxDatagramSockets)
            m_datagramSockets.resize(nMaxDatagramSockets);
    }
    // Right after the timers and the last turn's datagrams, which are what
    // make a pending answer ready, before select waits.
    TakeWhepAnswers(pRound);
    return dwWaitMs;
}

void CHttpServer::ServeDatagrams(const CSocketSets& sets)
{
    for (SOCKET s : m_datagramSockets)
    {
        if (FD_ISSET(s, &sets.m_read))
            m_pDatagrams->OnDatagrams(s);
    }
}

bool CHttpServer::PrepareSets(CSocketSets* pSets)
{
    fd_set* pReadSet = &pSets->m_read;
    fd_set* pWriteSet = &pSets->m_write;
    FD_ZERO(pReadSet);
    FD_ZERO(pWriteSet);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bStop)
        return false;
    FD_SET(m_sListen, pReadSet);
    FD_SET(m_sWake, pReadSet);
    for (SOCKET s : m_datagramSockets)
        FD_SET(s, pReadSet);
    for (const auto& spConnection : m_connections)
    {
        // An answer taken at the start of the turn may have closed one, and
        // a socket that is gone would fail every select.
        if (spConnection->State() == CHttpConnection::eClosed)
            continue;
        FD_SET(spConnection->Socket(), pReadSet);
        if (spConnection->WantsWrite())
            FD_SET(spConnection->Socket(), pWriteSet);
    }
    return true;
}

void CHttpServer::ServiceConnections(const CSocketSets& sets, CRound* pRound)
{
    const fd_set& readSet = sets.m_read;
    const fd_set& writeSet = sets.m_write;
    std::lock_guard<std::mutex> lock(m_mutex);
    LONGLONG llNow = CurrentTicks();
    for (const auto& spConnection : m_connections)
    {
        CHttpConnection* pConnection = spConnection.get();
        SOCKET s = pConnection->Socket();
        bool bReadable = FD_ISSET(s, &readSet) != 0;
        if (bReadable && pConnection->State() == CHttpConnection::eReading)
            ReadRequest(pConnection, pRound);
        else if (bReadable)
        {
            CHttpRequest ignored;
            pConnection->Receive(&ignored);
        }
        if (pConnection->State() == CHttpConnection::eReading &&
            TicksToMicroseconds(llNow - pConnection->Accepted()) > llRequestTimeoutUs)
            pConnection->Close();
        if (FD_ISSET(s, &writeSet) || (pConnection->WantsWrite() && !pConnection->Blocked()))
            pConnection->Flush(&pRound->m_delivered);
    }
    if (FD_ISSET(m_sListen, &readSet))
        Accept(llNow, pRound);
}

void CHttpServer::ReadRequest(CHttpConnection* pConnection, CRound* pRound)
{
    CHttpRequest request;
    EHttpParse eParse = pConnection->Receive(&request);
    EStatusDocument eDocument = eStatusPage;
    CWhepRequest whep;
    if (eParse == eHttpComplete && RouteWhep(pConnection, request, &whep))
    {
        // Out of the reading connections' time-out and count at once.
        pConnection->AwaitAnswer();
        pRound->m_whep.push_back({pConnection, std::move(whep)});
    }
    else if (pConnection->State() != CHttpConnection::eReading)
        return;
    else if (eParse == eHttpComplete && Route(pConnection, request, &pRound->m_counts, &eDocument))
        pRound->m_pages.push_back({pConnection, eDocument, request.m_strMethod == "HEAD"});
    else if (eParse == eHttpBadRequest)
        pConnection->Respond(SimpleResponse("400 Bad Request", ""));
    else if (eParse == eHttpTooLarge)
        pConnection->Respond(SimpleResponse("431 Request Header Fields Too Large", ""));
    else if (eParse == eHttpBodyTooLarge)
        pConnection->Respond(WhepResponse(413, "the body is larger than " +
                                                   std::to_string(CHttpRequest::nMaxBody) + " bytes", ""));
    else if (eParse == eHttpNoLength)
        pConnection->Respond(WhepResponse(411, "a body needs a Content-Length", ""));
}

void CHttpServer::AnswerStatusPages(CRound* pRound)
{
    if (pRound->m_pages.empty())
        return;
    // The owner makes each document once a round, outside the lock, as it
    // hears of everything.
    std::string rgstrResponse[2];
    for (const CStatusRequest& page : pRound->m_pages)
    {
        std::string& strResponse = rgstrResponse[page.m_eDocument];
        if (!strResponse.empty())
            continue;
        std::string strBody = m_pEvents->GetStatus(page.m_eDocument);
        strResponse = std::string("HTTP/1.1 200 OK\r\nContent-Type: ") +
                      (page.m_eDocument == eStatusJson ? "application/json" : "text/html; charset=utf-8") +
                      "\r\nContent-Length: " + std::to_string(strBody.size()) +
                      "\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n" + strBody;
    }
    // Only this thread removes connections, so the pointers still hold.
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const CStatusRequest& page : pRound->m_pages)
    {
        const std::string& strResponse = rgstrResponse[page.m_eDocument];
        page.m_pConnection->Respond(page.m_bHead ? strResponse.substr(0, strResponse.find("\r\n\r\n") + 4)
                                                 : strResponse);
        page.m_pConnection->Flush(&pRound->m_delivered);
    }
}

std::string CHttpServer::WhepAnswerResponse(const CWhepAnswer& answer) const
{
    std::string strHeaders;
    if (answer.m_nStatus == 201)
        strHeaders = "Location: " + ToUtf8(m_url.WhepPath()) + "/" + answer.m_strSession + "\r\n";
    return WhepResponse(answer.m_nStatus, answer.m_strBody, strHeaders);
}

void CHttpServer::AnswerWhep(CRound* pRound)
{
    if (pRound->m_whep.empty())
        return;
    // Only this thread removes connections, so the pointers still hold.
    std::vector<std::pair<CHttpConnection*, std::string>> responses;
    for (CNewWhep& request : pRound->m_whep)
    {
        CWhepAnswer answer = {};
        if (m_waiting.size() >= nMaxWaitingWhep)
            answer = {503, std::string(), "too many WHEP requests wait for their answers (" +
                                              std::to_string(nMaxWaitingWhep) + "); try again"};
        else
            answer = m_pEvents->OnWhep(request.m_request);
        if (answer.m_nStatus == 0)
            m_waiting.push_back({request.m_pConnection, request.m_request.m_nTicket});
        else
            responses.emplace_back(request.m_pConnection, WhepAnswerResponse(answer));
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& response : responses)
    {
        response.first->Respond(response.second);
        response.first->Flush(&pRound->m_delivered);
    }
}

void CHttpServer::TakeWhepAnswers(CRound* pRound)
{
    std::vector<std::pair<CHttpConnection*, std::string>> responses;
    for (size_t i = 0; i < m_waiting.size();)
    {
        CWhepAnswer answer = {};
        if (!m_pEvents->TakeWhepAnswer(m_waiting[i].m_nTicket, &answer))
        {
            ++i;
            continue;
        }
        responses.emplace_back(m_waiting[i].m_pConnection, WhepAnswerResponse(answer));
        m_waiting.erase(m_waiting.begin() + static_cast<ptrdiff_t>(i));
    }
    if (responses.empty())
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& response : responses)
    {
        response.first->Respond(response.second);
        response.first->Flush(&pRound->m_delivered);
    }
}

void CHttpServer::RemoveClosed(CRound* pRound)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A request still waiting for its answer loses its client with the
    // connection; before the connections go, which the list points to.
    auto itWaiting = std::remove_if(m_waiting.begin(), m_waiting.end(), [&](const CWaitingWhep& waiting) {
        if (waiting.m_pConnection->State() != CHttpConnection::eClosed)
            return false;
        pRound->m_abandoned.push_back(waiting.m_nTicket);
        return true;
    });
    m_waiting.erase(itWaiting, m_waiting.end());
    auto itEnd = std::remove_if(m_connections.begin(), m_connections.end(), [&](const auto& sp) {
        if (sp->State() != CHttpConnection::eClosed)
            return false;
        if (sp->WasStream())
            pRound->m_counts.emplace_back(--m_nStreams, false);
        return true;
    });
    m_connections.erase(itEnd, m_connections.end());
}

void CHttpServer::Accept(LONGLONG llNow, CRound* pRound)
{
    for (;;)
    {
        size_t nPending = 0;
        size_t nOpen = 0;
        for (const auto& spConnection : m_connections)
        {
            nPending += spConnection->State() == CHttpConnection::eReading ? 1 : 0;
            nOpen += spConnection->State() != CHttpConnection::eClosed ? 1 : 0;
        }
        if (nPending >= nMaxPending)
        {
            if (!DropOldestPending())
                return;
            --nOpen;
        }
        sockaddr_in client = {};
        int cbClient = sizeof(client);
        SOCKET s = ::accept(m_sListen, reinterpret_cast<sockaddr*>(&client), &cbClient);
        if (s == INVALID_SOCKET)
            return;
        if (FAILED(SetNonBlocking(s)))
        {
            ::closesocket(s);
            continue;
        }
        if (nOpen >= nMaxConnections)
        {
            // The answer is small enough for the socket to take at once; a
            // client that never sees it still sees the connection end.
            std::string strBusy = SimpleResponse("503 Service Unavailable", "");
            ::send(s, strBusy.data(), static_cast<int>(strBusy.size()), 0);
            ::shutdown(s, SD_SEND);
            ::closesocket(s);
            continue;
        }
        // Samples are small and should leave as soon as they are queued.
        BOOL bNoDelay = TRUE;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&bNoDelay), sizeof(bNoDelay));
        m_connections.push_back(std::make_unique<CHttpConnection>(s, client, llNow));
        // On loopback the request is mostly there already.
        CHttpConnection* pConnection = m_connections.back().get();
        ReadRequest(pConnection, pRound);
        if (pConnection->WantsWrite())
            pConnection->Flush(&pRound->m_delivered);
    }
}

bool CHttpServer::DropOldestPending()
{
    CHttpConnection* pOldest = nullptr;
    for (const auto& spConnection : m_connections)
    {
        if (spConnection->State() == CHttpConnection::eReading && spConnection->WasRead() &&
            (pOldest == nullptr || spConnection->Accepted() < pOldest->Accepted()))
            pOldest = spConnection.get();
    }
    if (pOldest == nullptr)
        return false;
    pOldest->Close();
    return true;
}

bool CHttpServer::RouteWhep(CHttpConnection* pConnection, const CHttpRequest& request, CWhepRequest* pWhep)
{
    std::string strSession;
    bool bEndpoint = IsSameHttpPath(request.m_strPath, m_url.WhepPath());
    if (!bEndpoint && !SessionBelow(request.m_strPath, m_url.WhepPath(), &strSession))
        return false;
    const char* pszAllow = bEndpoint ? "POST, OPTIONS" : "DELETE, OPTIONS";
    if (request.m_strMethod == "OPTIONS")
    {
        pConnection->Respond(WhepResponse(
            204, "",
            std::string("Allow: ") + pszAllow + "\r\nAccess-Control-Allow-Methods: " + pszAllow +
                "\r\nAccess-Control-Allow-Headers: Content-Type, Authorization, If-Match\r\n"
                "Access-Control-Max-Age: 600\r\n" + (bEndpoint ? "Accept-Post: application/sdp\r\n" : "")));
        return false;
    }
    if (request.m_strMethod != (bEndpoint ? "POST" : "DELETE"))
    {
        pConnection->Respond(WhepResponse(405, request.m_strMethod + " is not served here",
                                          std::string("Allow: ") + pszAllow + "\r\n"));
        return false;
    }
    if (bEndpoint && request.m_strContentType != "application/sdp")
    {
        pConnection->Respond(WhepResponse(415, "an offer must be application/sdp", ""));
        return false;
    }
    if (bEndpoint && !ContainsNoCase(request.m_strUserAgent, m_strClientFilter))
    {
        pConnection->Respond(WhepResponse(403, "the application filter refuses this client", ""));
        return false;
    }
    pWhep->m_nTicket = ++m_nLastTicket;
    pWhep->m_strMethod = request.m_strMethod;
    pWhep->m_strSession = strSession;
    pWhep->m_strQuery = request.m_strQuery;
    pWhep->m_strBody = request.m_strBody;
    pWhep->m_strUserAgent = request.m_strUserAgent;
    pWhep->m_clientAddress = pConnection->Client();
    return true;
}

bool CHttpServer::Route(CHttpConnection* pConnection, const CHttpRequest& request,
                        std::vector<std::pair<UINT, bool>>* pCounts, EStatusDocument* peDocument)
{
    bool bStatus = true;
    if (IsSameHttpPath(request.m_strPath, m_url.Path()))
        *peDocument = eStatusPage;
    else if (IsSameHttpPath(request.m_strPath, m_url.StatusJsonPath()))
        *peDocument = eStatusJson;
    else
        bStatus = false;
    if (!bStatus && !IsSameHttpPath(request.m_strPath, m_url.StreamPath()))
    {
        pConnection->Respond(SimpleResponse("404 Not Found", ""));
        return false;
    }
    if (request.m_strMethod != "GET" && request.m_strMethod != "HEAD")
    {
        pConnection->Respond(SimpleResponse("405 Method Not Allowed", "Allow: GET, HEAD\r\n"));
        return false;
    }
    if (bStatus)
        return true;
    // Only a client that reads the stream counts as one.
    if (request.m_strMethod == "HEAD")
    {
        pConnection->Respond(CStreamChunk::ResponseHead());
        return false;
    }
    if (!ContainsNoCase(request.m_strUserAgent, m_strClientFilter))
    {
        pConnection->Respond(SimpleResponse("403 Forbidden", ""));
        return false;
    }
    pConnection->StartStream();
    pCounts->emplace_back(++m_nStreams, true);
    return false;
}
