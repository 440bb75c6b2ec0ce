#include "HttpConnection.h"

#include <algorithm>

namespace {

// Sends what the socket takes now from the buffers, in one call: the number
// of bytes written, or -1 when the client is gone.
int SendGathered(SOCKET s, WSABUF* pBufs, DWORD cBufs)
{
    DWORD cbSent = 0;
    if (::WSASend(s, pBufs, cBufs, &cbSent, 0, nullptr, nullptr) == SOCKET_ERROR)
        return ::WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
    return static_cast<int>(cbSent);
}

} // namespace

CHttpConnection::CHttpConnection(SOCKET s, const sockaddr_in& client, LONGLONG llAccepted)
    : m_socket(s), m_client(client), m_llAccepted(llAccepted), m_eState(eReading), m_bStream(false),
      m_nOutOffset(0), m_cbQueued(0), m_bBlocked(false), m_bRead(false)
{
}

CHttpConnection::~CHttpConnection()
{
    Close();
}

bool CHttpConnection::WantsWrite() const
{
    return m_eState != eClosed && m_eState != eReading && (!m_strOut.empty() || !m_chunks.empty());
}

EHttpParse CHttpConnection::Receive(CHttpRequest* pRequest)
{
    m_bRead = true;
    char rgBuf[2048];
    for (;;)
    {
        int nRead = ::recv(m_socket, rgBuf, sizeof(rgBuf), 0);
        if (nRead == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK)
            break;
        if (nRead <= 0)
        {
            Close();
            return eHttpIncomplete;
        }
        if (m_eState != eReading)
            continue;
        m_strReceived.append(rgBuf, static_cast<size_t>(nRead));
        if (m_strReceived.size() > CHttpRequest::nMaxHead + CHttpRequest::nMaxBody + 4)
            break;
    }
    if (m_eState != eReading)
        return eHttpIncomplete;
    return pRequest->Parse(m_strReceived);
}

void CHttpConnection::AwaitAnswer()
{
    m_eState = eWaiting;
}

void CHttpConnection::Respond(const std::string& strResponse)
{
    m_eState = eResponding;
    m_strOut = strResponse;
    m_nOutOffset = 0;
}

void CHttpConnection::StartStream()
{
    m_eState = eStreaming;
    m_bStream = true;
    m_strOut = CStreamChunk::ResponseHead();
    m_nOutOffset = 0;
}

bool CHttpConnection::Enqueue(const std::shared_ptr<const CStreamChunk>& spChunk)
{
    if (m_eState != eStreaming)
        return false;
    size_t cb = spChunk->Bytes().size();
    if (m_cbQueued + cb > nMaxQueued)
        return false;
    m_chunks.push_back(spChunk);
    m_cbQueued += cb;
    return true;
}

void CHttpConnection::Flush(std::vector<CDelivery>* pDelivered)
{
    while (m_eState == eResponding || m_eState == eStreaming)
    {
        // The answer or head, then the queued chunks, go out in one call: a
        // call per client and round is what many clients cost the server.
        WSABUF rgBufs[nMaxGather];
        DWORD cBufs = 0;
        size_t cbWanted = 0;
        size_t nOffset = m_nOutOffset;
        auto add = [&](const std::string& str) {
            rgBufs[cBufs].buf = const_cast<char*>(str.data() + nOffset);
            rgBufs[cBufs].len = static_cast<ULONG>(str.size() - nOffset);
            cbWanted += rgBufs[cBufs].len;
            nOffset = 0;
            ++cBufs;
        };
        if (!m_strOut.empty())
            add(m_strOut);
        for (auto it = m_chunks.begin(); it != m_chunks.end() && cBufs < nMaxGather; ++it)
            add((*it)->Bytes());
        if (cBufs == 0)
            break;

        int nSent = SendGathered(m_socket, rgBufs, cBufs);
        if (nSent < 0)
        {
            Close();
            return;
        }
        // A socket that took less than it was given is full: the server
        // waits for select to call it writable instead of trying each round.
        m_bBlocked = static_cast<size_t>(nSent) < cbWanted;
        if (!Consume(static_cast<size_t>(nSent), pDelivered) || m_bBlocked)
            return;
    }
}

bool CHttpConnection::Consume(size_t cbSent, std::vector<CDelivery>* pDelivered)
{
    while (cbSent > 0 && !m_strOut.empty())
    {
        size_t cb = std::min(cbSent, m_strOut.size() - m_nOutOffset);
        m_nOutOffset += cb;
        cbSent -= cb;
        if (m_nOutOffset < m_strOut.size())
            return true;
        m_strOut.clear();
        m_nOutOffset = 0;
        if (m_eState == eResponding)
        {
            // The answer is complete: end the connection gracefully.
            ::shutdown(m_socket, SD_SEND);
            Close();
            return false;
        }
    }
    while (cbSent > 0 && !m_chunks.empty())
    {
        const CStreamChunk& chunk = *m_chunks.front();
        size_t cb = std::min(cbSent, chunk.Bytes().size() - m_nOutOffset);
        m_nOutOffset += cb;
        cbSent -= cb;
        if (m_nOutOffset < chunk.Bytes().size())
            return true;
        m_nOutOffset = 0;
        pDelivered->push_back(
            {chunk.Kind(), chunk.PayloadSize(), TicksToMicroseconds(CurrentTicks() - chunk.Arrival())});
        m_cbQueued -= chunk.Bytes().size();
        m_chunks.pop_front();
    }
    return true;
}

void CHttpConnection::Finish()
{
    if (m_eState == eStreaming)
    {
        // A chunk that is partly out must go out whole before the trailer;
        // if the socket won't take it all now, the client just sees the
        // connection end.
        std::vector<CDelivery> delivered;
        Flush(&delivered);
        if (m_eState == eStreaming && m_chunks.empty() && m_strOut.empty())
        {
            std::string strTrailer = CStreamChunk::Trailer();
            ::send(m_socket, strTrailer.data(), static_cast<int>(strTrailer.size()), 0);
        }
        if (m_socket != INVALID_SOCKET)
            ::shutdown(m_socket, SD_SEND);
    }
    Close();
}

void CHttpConnection::Close()
{
    if (m_socket != INVALID_SOCKET)
    {
        ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
    m_eState = eClosed;
    m_chunks.clear();
    m_cbQueued = 0;
}
