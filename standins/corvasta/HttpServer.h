// The Corvasta stand-in's HTTP/1.1 server: a listening socket and one
// thread that serves the status page at the URL's path and the media stream
// at "stream" below it, with non-blocking sockets and select.
#pragma once

#include <winsock2.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "HttpConnection.h"
#include "ServerUrl.h"
#include "StreamChunk.h"

// The owner's documents that the server answers with.
enum EStatusDocument
{
    eStatusPage, // the HTML page at the URL's path
    eStatusJson, // its changing figures, which the page polls
};

// Called on the server thread, never under the server's lock. Stop waits for
// the thread, so these must not wait for anything that Stop's caller holds.
class IHttpServerEvents
{
public:
    // The number of open stream connections changed; bArrived when a client
    // came (rather than left).
    virtual void OnClientCount(UINT nCount, bool bArrived) = 0;
    virtual void OnDelivered(const CDelivery& delivery) = 0;
    // The status page as UTF-8 HTML, or its figures as JSON.
    virtual std::string GetStatus(EStatusDocument eDocument) = 0;

protected:
    ~IHttpServerEvents() = default;
};

class CHttpServer
{
public:
    // Open connections, streams and requests alike; past it a new client is
    // answered 503 and closed. The select sets in HttpServer.cpp are sized
    // for it.
    static constexpr size_t nMaxConnections = 400;
    // Connections whose request has not arrived yet; past it the oldest one
    // that had its chance to be read is dropped, so that clients that send
    // half a request and then nothing can't keep a real request out. A burst
    // of new connections waits in the backlog until this round has read them.
    static constexpr size_t nMaxPending = 64;

    CHttpServer();
    ~CHttpServer();
    CHttpServer(const CHttpServer&) = delete;
    CHttpServer& operator=(const CHttpServer&) = delete;

    // Binds and starts the thread. A refusal of the address comes back as
    // HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) when it is one of rights
    // (WSAEACCES), otherwise as the Winsock error (for example
    // HRESULT_FROM_WIN32(WSAEADDRINUSE)).
    HRESULT Start(const CServerUrl& url, IHttpServerEvents* pEvents);
    // Ends every connection, closes the sockets and waits for the thread.
    // Events stop with it: no count change is reported for the clients that
    // the shutdown drops.
    void Stop();
    bool IsRunning() const { return m_hThread != nullptr; }
    UINT ClientCount() const;

    // Only clients whose User-Agent contains the part may open the stream
    // (others get 403); an empty part lets everyone in.
    void SetClientFilter(const std::string& strUserAgentPart);

    // Queues one sample for every stream client.
    void Send(const std::shared_ptr<const CStreamChunk>& spChunk);

private:
    // A request for one of the owner's documents.
    struct CStatusRequest
    {
        CHttpConnection* m_pConnection;
        EStatusDocument m_eDocument;
        bool m_bHead;
    };

    // What one turn of the server thread has to report or answer.
    struct CRound
    {
        std::vector<CDelivery> m_delivered;
        std::vector<std::pair<UINT, bool>> m_counts; // new count, arrived
        std::vector<CStatusRequest> m_pages;
    };

    // The read and write sets, whose size only HttpServer.cpp knows.
    struct CSocketSets;

    static unsigned __stdcall ThreadProc(void* pv);
    void Serve();
    // False when the thread is to end.
    bool PrepareSets(CSocketSets* pSets);
    void ServiceConnections(const CSocketSets& sets, CRound* pRound);
    void AnswerStatusPages(CRound* pRound);
    void RemoveClosed(CRound* pRound);
    void Wake();
    void DrainWake();
    // Takes every waiting connection and reads it at once, so that a real
    // request behind a flood of silent ones is answered in the same round.
    void Accept(LONGLONG llNow, CRound* pRound);
    // Reads what a connection sent of its request and answers a complete one.
    void ReadRequest(CHttpConnection* pConnection, CRound* pRound);
    // Closes the longest waiting connection that was read and has still not
    // sent its whole request; false when there is none.
    bool DropOldestPending();
    // Answers the request, or starts a stream and notes the new count; true
    // when it asks for a status document, which is made outside the lock.
    bool Route(CHttpConnection* pConnection, const CHttpRequest& request,
               std::vector<std::pair<UINT, bool>>* pCounts, EStatusDocument* peDocument);
    void CloseSockets();

    IHttpServerEvents* m_pEvents;
    CServerUrl m_url;
    SOCKET m_sListen;
    SOCKET m_sWake;          // a UDP socket on the loopback address that wakes select
    sockaddr_in m_addrWake;
    HANDLE m_hThread;
    bool m_bWinsock;

    mutable std::mutex m_mutex; // guards what follows
    bool m_bStop;
    UINT m_nStreams;
    std::string m_strClientFilter;
    std::vector<std::unique_ptr<CHttpConnection>> m_connections;
};
