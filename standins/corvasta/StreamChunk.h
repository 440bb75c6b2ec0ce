// The body of the stream that clients read: chunked transfer coding whose
// chunks are the parts of a multipart body, one part for each received
// sample, so that a client can tell samples, media and times apart.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

enum EMediaKind
{
    eMediaVideo = 0,
    eMediaAudio = 1,
};

// Arrival and delivery times come from the performance counter.
LONGLONG CurrentTicks();
LONGLONG TicksToMicroseconds(LONGLONG llTicks);

// What every part of one pin's samples says about its type: the content
// type, and for audio the rate and channels, which a player needs and the
// codec names alone do not tell.
struct CPartType
{
    const char* m_pszContentType;
    DWORD m_nSamplesPerSec; // 0: not told
    WORD m_nChannels;
};

class CStreamChunk
{
public:
    static const char szBoundary[];

    // One sample as a framed part; llStart is the sample's start time in
    // 100 ns units, or -1 when it has none.
    static std::shared_ptr<const CStreamChunk> Make(EMediaKind eKind, const CPartType& type,
                                                    const BYTE* pData, UINT cbData, LONGLONG llStart,
                                                    bool bKeyFrame, LONGLONG llArrival);

    // The response head of a stream, and the bytes that end its body.
    static std::string ResponseHead();
    static std::string Trailer();

    EMediaKind Kind() const { return m_eKind; }
    LONGLONG Arrival() const { return m_llArrival; }
    UINT PayloadSize() const { return m_cbPayload; }
    const std::string& Bytes() const { return m_strBytes; }

private:
    CStreamChunk(EMediaKind eKind, LONGLONG llArrival, UINT cbPayload)
        : m_eKind(eKind), m_llArrival(llArrival), m_cbPayload(cbPayload)
    {
    }

    EMediaKind m_eKind;
    LONGLONG m_llArrival;
    UINT m_cbPayload;
    std::string m_strBytes;
};
