// RTP's fixed header (RFC 3550, 5.1) and the cutting of a coded frame into
// payloads within the packet budget, one way per codec: VP8 with its payload
// descriptor (RFC 7741), H.264 as single NAL units or FU-A fragments
// (RFC 6184, packetization mode 1), and audio frames whole (Opus, RFC 7587;
// G.711, RFC 3551). Nothing is copied or allocated: each payload reaches the
// sink as the few bytes the packetizer puts in front and a slice of the
// frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rtc {

struct RtpHeader
{
    uint8_t nPayloadType = 0; // 0-127
    bool bMarker = false;
    uint16_t nSequence = 0;
    uint32_t nTimestamp = 0;
    uint32_t nSsrc = 0;
};

const size_t c_cbRtpHeader = 12;

// Version 2, no padding, extension or contributing sources.
void WriteRtpHeader(const RtpHeader& header, uint8_t* pb);
// Reads a header; *pcbHeader counts its contributing sources and
// extension too. False for anything but version 2, or a header longer than
// the packet.
bool ReadRtpHeader(const uint8_t* pb, size_t cb, RtpHeader* pHeader, size_t* pcbHeader);

class IRtpPayloadSink
{
public:
    // One payload: cbPrefix bytes of the packetizer's, then cb of the
    // frame's. bLast on the frame's last payload (the marker's packet).
    // False stops the frame.
    virtual bool Payload(const uint8_t* pbPrefix, size_t cbPrefix, const uint8_t* pb, size_t cb, bool bLast) = 0;

protected:
    ~IRtpPayloadSink() = default;
};

enum class ERtpCodec
{
    VP8,
    H264,
    Whole, // one frame, one payload: Opus, PCMU, PCMA
};

// Cuts the frame into payloads of at most cbMaxPayload bytes, prefixes
// included. False when the frame is empty, cannot be cut within the budget
// (an audio frame larger than it, an H.264 frame with no start code), or
// the sink stopped.
bool PacketizeFrame(ERtpCodec codec, const uint8_t* pbFrame, size_t cbFrame, size_t cbMaxPayload,
                    IRtpPayloadSink& sink);

} // namespace rtc
