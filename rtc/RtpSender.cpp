#include "rtc/RtpSender.h"

#include <cstring>

namespace rtc {

class RtpSender::CFrameSink : public IRtpPayloadSink
{
public:
    CFrameSink(RtpSender& sender, IRtpPacketOut& out) : m_sender(sender), m_out(out) {}

    bool Payload(const uint8_t* pbPrefix, size_t cbPrefix, const uint8_t* pb, size_t cb, bool bLast) override
    {
        return m_sender.SendPacket(pbPrefix, cbPrefix, pb, cb, bLast, m_out);
    }

private:
    RtpSender& m_sender;
    IRtpPacketOut& m_out;
};

RtpSender::RtpSender(uint32_t nSsrc, uint8_t nPayloadType, uint32_t nClockRate, ERtpCodec codec, size_t cHistory,
                     uint32_t nTimestampBase, uint16_t nFirstSequence)
    : m_nSsrc(nSsrc), m_nPayloadType(nPayloadType), m_nClockRate(nClockRate), m_codec(codec),
      m_nTimestampBase(nTimestampBase), m_nSequence(nFirstSequence), m_history(cHistory)
{
}

uint32_t RtpSender::TimestampOf(int64_t llStart) const
{
    // Wraps as RTP time does; the product stays in range for 29 000 years
    // of 90 kHz.
    uint64_t nTicks = static_cast<uint64_t>(llStart) * m_nClockRate / 10000000u;
    return m_nTimestampBase + static_cast<uint32_t>(nTicks);
}

bool RtpSender::SendFrame(const uint8_t* pbFrame, size_t cbFrame, uint32_t nTimestamp, uint64_t nNowMs,
                          IRtpPacketOut& out)
{
    m_nFrameTimestamp = nTimestamp;
    m_nFrameMs = nNowMs;
    m_bSentFrame = true;
    CFrameSink sink(*this, out);
    return PacketizeFrame(m_codec, pbFrame, cbFrame, c_cbMaxRtpPacket - c_cbRtpHeader, sink);
}

bool RtpSender::SendPacket(const uint8_t* pbPrefix, size_t cbPrefix, const uint8_t* pb, size_t cb, bool bLast,
                           IRtpPacketOut& out)
{
    RtpHeader header;
    header.nPayloadType = m_nPayloadType;
    header.bMarker = bLast;
    header.nSequence = m_nSequence++;
    header.nTimestamp = m_nFrameTimestamp;
    header.nSsrc = m_nSsrc;
    WriteRtpHeader(header, m_rgbPacket);
    std::memcpy(m_rgbPacket + c_cbRtpHeader, pbPrefix, cbPrefix);
    std::memcpy(m_rgbPacket + c_cbRtpHeader + cbPrefix, pb, cb);
    size_t cbPacket = c_cbRtpHeader + cbPrefix + cb;
    size_t cbProtected = 0;
    if (!out.Protect(m_rgbPacket, cbPacket, sizeof(m_rgbPacket), &cbProtected))
        return false;
    out.Send(m_rgbPacket, cbProtected);
    ++m_counts.nPackets;
    m_counts.nOctets += static_cast<uint32_t>(cbPrefix + cb);
    m_counts.nBytes += cbProtected;
    if (!m_history.empty())
    {
        CKept& kept = m_history[header.nSequence % m_history.size()];
        kept.bValid = true;
        kept.nSequence = header.nSequence;
        kept.cb = static_cast<uint16_t>(cbProtected);
        std::memcpy(kept.rgb, m_rgbPacket, cbProtected);
    }
    return true;
}

bool RtpSender::Resend(uint16_t nSequence, IRtpPacketOut& out)
{
    if (m_history.empty())
        return false;
    const CKept& kept = m_history[nSequence % m_history.size()];
    if (!kept.bValid || kept.nSequence != nSequence)
        return false;
    out.Send(kept.rgb, kept.cb);
    ++m_counts.nPackets;
    ++m_counts.nResent;
    m_counts.nBytes += kept.cb;
    return true;
}

bool RtpSender::TimestampAt(uint64_t nNowMs, uint32_t* pnTimestamp) const
{
    if (!m_bSentFrame)
        return false;
    *pnTimestamp = m_nFrameTimestamp + static_cast<uint32_t>((nNowMs - m_nFrameMs) * m_nClockRate / 1000);
    return true;
}

} // namespace rtc
