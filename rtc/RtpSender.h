// One outgoing RTP stream of a peer: its SSRC and payload type, sequence
// numbers, timestamps from the samples' start times, the counts a sender
// report carries, and the packets sent lately, kept as they went out (already
// protected) so that a NACK is answered by sending them again. Every buffer
// is made with the stream: sending a frame allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtc/RtpPacketizer.h"

namespace rtc {

// The UDP payload budget of WebRTC senders, which keeps packets below the
// path MTU of tunnels and VPNs; SRTP's tag is inside it.
const size_t c_cbMaxDatagram = 1200;
// The longest SRTP tag: AEAD_AES_128_GCM's 16 bytes (HMAC-SHA1-80: 10).
const size_t c_cbMaxSrtpTag = 16;
const size_t c_cbMaxRtpPacket = c_cbMaxDatagram - c_cbMaxSrtpTag;
// The room that protection may ask for after a packet (libsrtp's most).
const size_t c_cbProtectRoom = 160;

class IRtpPacketOut
{
public:
    // Protects the packet in place (cbCapacity bytes may be used); false
    // when it cannot.
    virtual bool Protect(uint8_t* pb, size_t cb, size_t cbCapacity, size_t* pcbProtected) = 0;
    virtual void Send(const uint8_t* pb, size_t cb) = 0;

protected:
    ~IRtpPacketOut() = default;
};

struct RtpSenderCounts
{
    uint32_t nPackets = 0;     // first sends and resends
    uint32_t nOctets = 0;      // payload octets of first sends (RFC 3550, 6.4.1)
    uint64_t nBytes = 0;       // datagram bytes, protected, resends too
    uint32_t nResent = 0;
};

class RtpSender
{
public:
    // cHistory packets are kept for NACKs (0: none, as for audio).
    RtpSender(uint32_t nSsrc, uint8_t nPayloadType, uint32_t nClockRate, ERtpCodec codec, size_t cHistory,
              uint32_t nTimestampBase, uint16_t nFirstSequence);
    RtpSender(const RtpSender&) = delete;
    RtpSender& operator=(const RtpSender&) = delete;

    uint32_t Ssrc() const { return m_nSsrc; }
    uint32_t ClockRate() const { return m_nClockRate; }

    // The RTP time of a start time in 100 ns units.
    uint32_t TimestampOf(int64_t llStart) const;

    // Cuts the frame into packets, each protected and sent, the last with
    // the marker bit. False when the frame cannot be cut or protected.
    bool SendFrame(const uint8_t* pbFrame, size_t cbFrame, uint32_t nTimestamp, uint64_t nNowMs, IRtpPacketOut& out);
    // Sends a kept packet again; false when it has left the history.
    bool Resend(uint16_t nSequence, IRtpPacketOut& out);

    const RtpSenderCounts& Counts() const { return m_counts; }
    // The RTP time that goes with nNowMs, from the last frame's, for the
    // sender report; false before the first frame.
    bool TimestampAt(uint64_t nNowMs, uint32_t* pnTimestamp) const;

private:
    class CFrameSink;
    struct CKept
    {
        bool bValid = false;
        uint16_t nSequence = 0;
        uint16_t cb = 0;
        uint8_t rgb[c_cbMaxDatagram];
    };

    bool SendPacket(const uint8_t* pbPrefix, size_t cbPrefix, const uint8_t* pb, size_t cb, bool bLast,
                    IRtpPacketOut& out);

    uint32_t m_nSsrc;
    uint8_t m_nPayloadType;
    uint32_t m_nClockRate;
    ERtpCodec m_codec;
    uint32_t m_nTimestampBase;
    uint16_t m_nSequence;
    uint32_t m_nFrameTimestamp = 0;
    uint64_t m_nFrameMs = 0;
    bool m_bSentFrame = false;
    RtpSenderCounts m_counts;
    // Aligned: SRTP works on it in words.
    alignas(8) uint8_t m_rgbPacket[c_cbMaxRtpPacket + c_cbProtectRoom];
    std::vector<CKept> m_history;
};

} // namespace rtc
