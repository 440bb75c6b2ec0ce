// RTCP as a WebRTC sender meets it: the receivers' reports (RFC 3550, 6.4),
// picture loss and full intra requests (RFC 4585 PLI, RFC 5104 FIR) and
// generic NACKs (RFC 4585) read from a compound packet, and the sender
// report written. The reader checks the whole compound packet before it
// hands anything on, and allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rtc {

struct RtcpReportBlock
{
    uint32_t nSsrc;              // the source reported on: ours
    uint8_t nFractionLost;       // of 256, since the last report
    int32_t nCumulativeLost;
    uint32_t nHighestSequence;   // extended
    uint32_t nJitter;            // in RTP timestamp units
    uint32_t nLastSenderReport;  // middle 32 bits of its NTP time
    uint32_t nDelaySinceLastSenderReport; // in 1/65536 s
};

class IRtcpHandler
{
public:
    virtual void OnReportBlock(uint32_t nReporterSsrc, const RtcpReportBlock& block) = 0;
    virtual void OnPictureLoss(uint32_t nMediaSsrc) = 0;    // PLI
    virtual void OnFullIntraRequest(uint32_t nMediaSsrc) = 0; // FIR
    virtual void OnNack(uint32_t nMediaSsrc, uint16_t nSequence) = 0;

protected:
    ~IRtcpHandler() = default;
};

// Hands the compound packet's contents to the handler, in order. False with
// a reason, and nothing handed on, when any packet in it is malformed.
bool ParseRtcp(const uint8_t* pb, size_t cb, IRtcpHandler& handler, const char** ppszReason);

struct RtcpSenderInfo
{
    uint32_t nSsrc;
    uint64_t nNtpTime;     // 32.32 fixed point seconds since 1900
    uint32_t nRtpTimestamp;
    uint32_t nPackets;
    uint32_t nOctets;
};

const size_t c_cbSenderReport = 28;
// A sender report without report blocks, as a sender that receives nothing
// sends it.
void WriteSenderReport(const RtcpSenderInfo& info, uint8_t* pb);

} // namespace rtc
