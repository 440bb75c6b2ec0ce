// One accepted client of the Corvasta stand-in's HTTP server: it reads one
// request, then either answers it (at once or when the owner has the answer)
// and closes, or holds a stream and writes the samples queued for it. Only
// the server calls it, under its lock.
#pragma once

#include <winsock2.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "HttpRequest.h"
#include "StreamChunk.h"

// A sample written completely to one client.
struct CDelivery
{
    EMediaKind m_eKind;
    UINT m_cbSample;
    LONGLONG m_llMicroseconds;
};

class CHttpConnection
{
public:
    // A client that reads too slowly loses samples rather than making the
    // server hold an unbounded backlog for it.
    static const size_t nMaxQueued = 8 * 1024 * 1024;
    // Buffers handed to one send: the head and the chunks queued behind it.
    static const DWORD nMaxGather = 32;

    enum EState
    {
        eReading,    // waiting for the request head
        eWaiting,    // the request is read; its answer comes later from the owner
        eResponding, // writing one answer, then closing
        eStreaming,  // writing samples until the client leaves
        eClosed,
    };

    CHttpConnection(SOCKET s, const sockaddr_in& client, LONGLONG llAccepted);
    ~CHttpConnection();
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    SOCKET Socket() const { return m_socket; }
    const sockaddr_in& Client() const { return m_client; }
    EState State() const { return m_eState; }
    // Whether it ever became a stream, also after it closed.
    bool WasStream() const { return m_bStream; }
    LONGLONG Accepted() const { return m_llAccepted; }
    // Whether its request was read for at least once.
    bool WasRead() const { return m_bRead; }
    bool WantsWrite() const;
    // The socket took less than it was given the last time: write again
    // only when select calls it writable.
    bool Blocked() const { return m_bBlocked; }

    // Reads what has arrived. While reading the head it reports how far the
    // request is; a streaming client's own bytes are read and dropped.
    EHttpParse Receive(CHttpRequest* pRequest);
    // Holds the connection, its request read, until Respond; what the
    // client sends meanwhile is dropped, and its leaving closes it.
    void AwaitAnswer();
    void Respond(const std::string& strResponse);
    void StartStream();
    // False when the chunk was dropped because the client lags behind.
    bool Enqueue(const std::shared_ptr<const CStreamChunk>& spChunk);
    // Writes as much as the socket takes now; samples that went out whole are
    // added to *pDelivered.
    void Flush(std::vector<CDelivery>* pDelivered);
    // Ends a stream: the closing bytes are written if the socket takes them
    // at once, then the connection is closed either way.
    void Finish();
    void Close();

private:
    // Takes the bytes that went out off the answer and the chunks; false
    // when a complete answer closed the connection.
    bool Consume(size_t cbSent, std::vector<CDelivery>* pDelivered);

    SOCKET m_socket;
    sockaddr_in m_client;
    LONGLONG m_llAccepted;
    EState m_eState;
    bool m_bStream;
    std::string m_strReceived;
    std::string m_strOut;  // the answer or the stream's head, written before any chunk
    size_t m_nOutOffset;   // into m_strOut, or into the front chunk once m_strOut is done
    std::deque<std::shared_ptr<const CStreamChunk>> m_chunks;
    size_t m_cbQueued;
    bool m_bBlocked;
    bool m_bRead;
};
