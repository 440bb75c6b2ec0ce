// The Corvasta stand-in's HTTP/1.1 server: a listening socket and one
// thread that serves the status page at the URL's path and the media stream
// at "stream" below it, with non-blocking sockets and select.
#pragma once

#include <winsock2.h>

#include <cstdint>
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

// A WHEP request (offer or end of a session) that the server has checked
// for form, type, size and the client filter; the owner answers it.
struct CWhepRequest
{
    uint64_t m_nTicket;       // names it until answered; unique for the server's life
    std::string m_strMethod;  // "POST" (an offer) or "DELETE"
    std::string m_strSession; // DELETE: the id below the endpoint
    std::string m_strQuery;   // the target's query without '?', e.g. "iceTransportPolicy=relay"
    std::string m_strBody;
    std::string m_strUserAgent;
    sockaddr_in m_clientAddress; // as the connection was accepted
};

struct CWhepAnswer
{
    int m_nStatus;              // 201, 200, 400, 404, 503...; 0: later (pending)
    std::string m_strSession;   // 201: the new session's id, for its Location
    std::string m_strBody;      // 201: the SDP answer; otherwise the reason
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
    // An answer with status 0 is pending: the connection waits (no time-out
    // of the server's; the owner bounds its own wait) and the request's
    // ticket is offered to TakeWhepAnswer each turn until that gives the
    // answer or the client leaves.
    virtual CWhepAnswer OnWhep(const CWhepRequest& request) = 0;
    // True with the pending request's answer (not 0) once the owner has it;
    // it goes out as OnWhep's would have.
    virtual bool TakeWhepAnswer(uint64_t nTicket, CWhepAnswer* pAnswer) = 0;
    // The client closed its connection before the answer: nobody will take
    // it. Stop drops the waiting requests without this; the owner ends its
    // sessions itself then.
    virtual void OnWhepAbandoned(uint64_t nTicket) = 0;

protected:
    ~IHttpServerEvents() = default;
};

// The UDP sockets that the server's thread serves beside HTTP (the media's
// and its sessions' relay sockets), so that the network has one thread. All
// three are called on that thread, outside the server's lock.
class IHttpServerDatagrams
{
public:
    // Every socket to watch now, into an empty vector; asked each turn, so
    // the set may change between turns. The owner closes its sockets only on
    // this thread.
    virtual void DatagramSockets(std::vector<SOCKET>* pSockets) = 0;
    // s is readable. It may be one that the owner closed earlier in the same
    // turn: a socket it no longer has is ignored.
    virtual void OnDatagrams(SOCKET s) = 0;
    // Runs what is due; the milliseconds until the next thing is.
    virtual DWORD OnDatagramTimer() = 0;

protected:
    ~IHttpServerDatagrams() = default;
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
    // Datagram sockets watched; the select sets are sized for them too.
    static constexpr size_t nMaxDatagramSockets = 128;
    // WHEP requests whose answer the owner owes; past it one is answered 503
    // before the owner sees it. Each holds a connection, and at the owner a
    // session gathering for up to a second (a relay socket, allocations at
    // TURN servers): a burst of offers must neither make the owner open more
    // sockets than the select sets watch nor crowd the streams out of
    // nMaxConnections.
    static constexpr size_t nMaxWaitingWhep = 64;

    CHttpServer();
    ~CHttpServer();
    CHttpServer(const CHttpServer&) = delete;
    CHttpServer& operator=(const CHttpServer&) = delete;

    // Binds and starts the thread. A refusal of the address comes back as
    // HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) when it is one of rights
    // (WSAEACCES), otherwise as the Winsock error (for example
    // HRESULT_FROM_WIN32(WSAEADDRINUSE)).
    HRESULT Start(const CServerUrl& url, IHttpServerEvents* pEvents, IHttpServerDatagrams* pDatagrams = nullptr);
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

    struct CNewWhep
    {
        CHttpConnection* m_pConnection;
        CWhepRequest m_request;
    };

    // A WHEP request whose answer the owner owes.
    struct CWaitingWhep
    {
        CHttpConnection* m_pConnection;
        uint64_t m_nTicket;
    };

    // What one turn of the server thread has to report or answer.
    struct CRound
    {
        std::vector<CDelivery> m_delivered;
        std::vector<std::pair<UINT, bool>> m_counts; // new count, arrived
        std::vector<CStatusRequest> m_pages;
        std::vector<CNewWhep> m_whep;
        std::vector<uint64_t> m_abandoned; // tickets whose client left
    };

    // The read and write sets, whose size only HttpServer.cpp knows.
    struct CSocketSets;

    static unsigned __stdcall ThreadProc(void* pv);
    void Serve();
    // Runs the datagrams' timers, asks for their sockets and takes the WHEP
    // answers that are ready; the milliseconds select may wait.
    DWORD StartTurn(CRound* pRound);
    // False when the thread is to end.
    bool PrepareSets(CSocketSets* pSets);
    void ServeDatagrams(const CSocketSets& sets);
    void ServiceConnections(const CSocketSets& sets, CRound* pRound);
    void AnswerStatusPages(CRound* pRound);
    // Asks the owner about the round's new WHEP requests; pending ones wait.
    void AnswerWhep(CRound* pRound);
    // Asks the owner about the waiting ones and sends what it has.
    void TakeWhepAnswers(CRound* pRound);
    std::string WhepAnswerResponse(const CWhepAnswer& answer) const;
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
    // Answers what the server can tell alone (CORS pre-flight, method,
    // content type, client filter); true when the owner is to answer.
    bool RouteWhep(CHttpConnection* pConnection, const CHttpRequest& request, CWhepRequest* pWhep);
    void CloseSockets();

    IHttpServerEvents* m_pEvents;
    IHttpServerDatagrams* m_pDatagrams;
    // The server thread's alone.
    std::vector<SOCKET> m_datagramSockets; // watched this turn
    std::vector<CWaitingWhep> m_waiting;
    uint64_t m_nLastTicket;
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
