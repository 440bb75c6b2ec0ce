#include "HttpConnection.h"

namespace {

// Sends what the socket takes now: the number of bytes written, or -1 when
// the client is gone.
int SendSome(SOCKET s, const char* p, size_t cb)
{
    int cbChunk = cb > 0x10000 ? 0x10000 : static_cast<int>(cb);
    int nSent = ::send(s, p, cbChunk, 0);
    if (nSent == SOCKET_ERROR)
        return ::WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
    return nSent;
}

} // namespace

CHttpConnection::CHttpConnection(SOCKET s, LONGLONG llAccepted)
    : m_socket(s), m_llAccepted(llAccepted), m_eState(eReading), m_bStream(false), m_nOutOffset(0),
      m_cbQueued(0)
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
        if (m_strReceived.size() > CHttpRequest::nMaxHead + 4)
            break;
    }
    if (m_eState != eReading)
        return eHttpIncomplete;
    return pRequest->Parse(m_strReceived);
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
        const std::string* pstrNext = nullptr;
        if (!m_strOut.empty())
            pstrNext = &m_strOut;
        else if (!m_chunks.empty())
            pstrNext = &m_chunks.front()->Bytes();
        else
            break;

        int nSent = SendSome(m_socket, pstrNext->data() + m_nOutOffset, pstrNext->size() - m_nOutOffset);
        if (nSent < 0)
        {
            Close();
            return;
        }
        if (nSent == 0)
            return;
        m_nOutOffset += static_cast<size_t>(nSent);
        if (m_nOutOffset < pstrNext->size())
            continue;

        m_nOutOffset = 0;
        if (pstrNext == &m_strOut)
        {
            m_strOut.clear();
            if (m_eState == eResponding)
            {
                // The answer is complete: end the connection gracefully.
                ::shutdown(m_socket, SD_SEND);
                Close();
            }
            continue;
        }
        const CStreamChunk& chunk = *m_chunks.front();
        pDelivered->push_back(
            {chunk.Kind(), chunk.PayloadSize(), TicksToMicroseconds(CurrentTicks() - chunk.Arrival())});
        m_cbQueued -= chunk.Bytes().size();
        m_chunks.pop_front();
    }
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
