#include "StreamChunk.h"

const char CStreamChunk::szBoundary[] = "corvasta-sample";

namespace {

// The size line that opens a chunk: hexadecimal, then CRLF.
std::string ChunkSize(size_t cb)
{
    static const char szHex[] = "0123456789abcdef";
    std::string str;
    do
    {
        str.insert(str.begin(), szHex[cb & 0xF]);
        cb >>= 4;
    } while (cb != 0);
    return str + "\r\n";
}

} // namespace

LONGLONG CurrentTicks()
{
    LARGE_INTEGER li = {};
    ::QueryPerformanceCounter(&li);
    return li.QuadPart;
}

LONGLONG TicksToMicroseconds(LONGLONG llTicks)
{
    static const LONGLONG llFrequency = [] {
        LARGE_INTEGER li = {};
        ::QueryPerformanceFrequency(&li);
        return li.QuadPart > 0 ? li.QuadPart : 1;
    }();
    return llTicks / llFrequency * 1000000 + llTicks % llFrequency * 1000000 / llFrequency;
}

std::shared_ptr<const CStreamChunk> CStreamChunk::Make(EMediaKind eKind, const CPartType& type,
                                                       const BYTE* pData, UINT cbData, LONGLONG llStart,
                                                       bool bKeyFrame, LONGLONG llArrival)
{
    std::string strHead = std::string("--") + szBoundary + "\r\nContent-Type: " + type.m_pszContentType +
                          "\r\nContent-Length: " + std::to_string(cbData) +
                          "\r\nX-Media: " + (eKind == eMediaVideo ? "video" : "audio") +
                          "\r\nX-Key-Frame: " + (bKeyFrame ? "1" : "0");
    if (llStart >= 0)
        strHead += "\r\nX-Start-Time: " + std::to_string(llStart);
    if (type.m_nSamplesPerSec != 0)
        strHead += "\r\nX-Sample-Rate: " + std::to_string(type.m_nSamplesPerSec) +
                   "\r\nX-Channels: " + std::to_string(type.m_nChannels);
    strHead += "\r\n\r\n";

    std::shared_ptr<CStreamChunk> spChunk(new CStreamChunk(eKind, llArrival, cbData));
    std::string& strBytes = spChunk->m_strBytes;
    size_t cbPart = strHead.size() + cbData + 2;
    strBytes.reserve(cbPart + 16);
    strBytes = ChunkSize(cbPart) + strHead;
    if (cbData > 0)
        strBytes.append(reinterpret_cast<const char*>(pData), cbData);
    strBytes += "\r\n\r\n";
    return spChunk;
}

std::string CStreamChunk::ResponseHead()
{
    return std::string("HTTP/1.1 200 OK\r\n"
                       "Content-Type: multipart/mixed; boundary=") +
           szBoundary +
           "\r\n"
           "Transfer-Encoding: chunked\r\n"
           "Cache-Control: no-cache, no-store\r\n"
           "Connection: close\r\n"
           "\r\n";
}

std::string CStreamChunk::Trailer()
{
    std::string strClose = std::string("--") + szBoundary + "--\r\n";
    return ChunkSize(strClose.size()) + strClose + "\r\n0\r\n\r\n";
}
