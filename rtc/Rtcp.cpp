#include "Rtcp.h"

namespace rtc {

namespace {

const uint8_t c_nSenderReport = 200;
const uint8_t c_nReceiverReport = 201;
const uint8_t c_nTransportFeedback = 205; // RTPFB
const uint8_t c_nPayloadFeedback = 206;   // PSFB
const uint8_t c_nFmtNack = 1;
const uint8_t c_nFmtPli = 1;
const uint8_t c_nFmtFir = 4;
const size_t c_cbReportBlock = 24;

uint32_t Read32(const uint8_t* pb)
{
    return (uint32_t(pb[0]) << 24) | (uint32_t(pb[1]) << 16) | (uint32_t(pb[2]) << 8) | pb[3];
}

void Write32(uint8_t* pb, uint32_t n)
{
    pb[0] = static_cast<uint8_t>(n >> 24);
    pb[1] = static_cast<uint8_t>(n >> 16);
    pb[2] = static_cast<uint8_t>(n >> 8);
    pb[3] = static_cast<uint8_t>(n);
}

RtcpReportBlock ReadReportBlock(const uint8_t* pb)
{
    RtcpReportBlock block;
    block.nSsrc = Read32(pb);
    block.nFractionLost = pb[4];
    // 24-bit signed.
    int32_t nLost = static_cast<int32_t>((uint32_t(pb[5]) << 16) | (uint32_t(pb[6]) << 8) | pb[7]);
    block.nCumulativeLost = (nLost & 0x800000) ? nLost - 0x1000000 : nLost;
    block.nHighestSequence = Read32(pb + 8);
    block.nJitter = Read32(pb + 12);
    block.nLastSenderReport = Read32(pb + 16);
    block.nDelaySinceLastSenderReport = Read32(pb + 20);
    return block;
}

// One packet of the compound, its header's count, type and body already
// bounded. A null handler: only checked.
bool Packet(uint8_t nCount, uint8_t nType, const uint8_t* pb, size_t cb, IRtcpHandler* pHandler,
            const char** ppszReason)
{
    switch (nType)
    {
    case c_nSenderReport:
    case c_nReceiverReport:
    {
        size_t cbHead = nType == c_nSenderReport ? 24 : 4; // SSRC, and a sender's info
        if (cb < cbHead + nCount * c_cbReportBlock)
        {
            *ppszReason = "a report shorter than its report blocks";
            return false;
        }
        if (pHandler != nullptr)
            for (uint8_t i = 0; i < nCount; i++)
                pHandler->OnReportBlock(Read32(pb), ReadReportBlock(pb + cbHead + i * c_cbReportBlock));
        return true;
    }
    case c_nTransportFeedback:
    case c_nPayloadFeedback:
    {
        // Sender SSRC, media SSRC, then the feedback control information.
        if (cb < 8)
        {
            *ppszReason = "a feedback message without its two SSRCs";
            return false;
        }
        const uint32_t nMediaSsrc = Read32(pb + 4);
        const uint8_t* pbFci = pb + 8;
        const size_t cbFci = cb - 8;
        if (nType == c_nTransportFeedback && nCount == c_nFmtNack)
        {
            if (cbFci == 0 || cbFci % 4 != 0)
            {
                *ppszReason = "a NACK without whole entries";
                return false;
            }
            if (pHandler != nullptr)
                for (size_t i = 0; i < cbFci; i += 4)
                {
                    // PID, and BLP: the 16 packets after it that are lost too.
                    uint16_t nPid = static_cast<uint16_t>((pbFci[i] << 8) | pbFci[i + 1]);
                    uint16_t nBlp = static_cast<uint16_t>((pbFci[i + 2] << 8) | pbFci[i + 3]);
                    pHandler->OnNack(nMediaSsrc, nPid);
                    for (int n = 0; n < 16; n++)
                        if (nBlp & (1u << n))
                            pHandler->OnNack(nMediaSsrc, static_cast<uint16_t>(nPid + n + 1));
                }
        }
        else if (nType == c_nPayloadFeedback && nCount == c_nFmtPli)
        {
            if (pHandler != nullptr)
                pHandler->OnPictureLoss(nMediaSsrc);
        }
        else if (nType == c_nPayloadFeedback && nCount == c_nFmtFir)
        {
            // Entries of the SSRC asked for and a sequence number.
            if (cbFci == 0 || cbFci % 8 != 0)
            {
                *ppszReason = "a FIR without whole entries";
                return false;
            }
            if (pHandler != nullptr)
                for (size_t i = 0; i < cbFci; i += 8)
                    pHandler->OnFullIntraRequest(Read32(pbFci + i));
        }
        return true;
    }
    default:
        // SDES, BYE, APP and the rest: bounded, not needed.
        return true;
    }
}

// Walks the compound packet; with a null handler it only checks.
bool Walk(const uint8_t* pb, size_t cb, IRtcpHandler* pHandler, const char** ppszReason)
{
    if (cb < 4)
    {
        *ppszReason = "shorter than an RTCP header";
        return false;
    }
    size_t i = 0;
    while (i < cb)
    {
        if (cb - i < 4)
        {
            *ppszReason = "bytes after the last packet";
            return false;
        }
        const uint8_t* pbPacket = pb + i;
        if ((pbPacket[0] >> 6) != 2)
        {
            *ppszReason = "not RTP version 2";
            return false;
        }
        size_t cbPacket = 4 * (static_cast<size_t>((pbPacket[2] << 8) | pbPacket[3]) + 1);
        if (cbPacket > cb - i)
        {
            *ppszReason = "a packet longer than the datagram";
            return false;
        }
        size_t cbBody = cbPacket - 4;
        if ((pbPacket[0] & 0x20) != 0)
        {
            // Padding: its count is the packet's last byte.
            size_t cbPadding = pbPacket[cbPacket - 1];
            if (cbPadding == 0 || cbPadding > cbBody)
            {
                *ppszReason = "padding larger than the packet";
                return false;
            }
            cbBody -= cbPadding;
        }
        if (!Packet(pbPacket[0] & 0x1F, pbPacket[1], pbPacket + 4, cbBody, pHandler, ppszReason))
            return false;
        i += cbPacket;
    }
    return true;
}

} // namespace

bool ParseRtcp(const uint8_t* pb, size_t cb, IRtcpHandler& handler, const char** ppszReason)
{
    *ppszReason = "";
    if (pb == nullptr)
        cb = 0;
    if (!Walk(pb, cb, nullptr, ppszReason))
        return false;
    return Walk(pb, cb, &handler, ppszReason);
}

void WriteSenderReport(const RtcpSenderInfo& info, uint8_t* pb)
{
    pb[0] = 0x80; // version 2, no padding, no report blocks
    pb[1] = c_nSenderReport;
    pb[2] = 0;
    pb[3] = static_cast<uint8_t>(c_cbSenderReport / 4 - 1);
    Write32(pb + 4, info.nSsrc);
    Write32(pb + 8, static_cast<uint32_t>(info.nNtpTime >> 32));
    Write32(pb + 12, static_cast<uint32_t>(info.nNtpTime));
    Write32(pb + 16, info.nRtpTimestamp);
    Write32(pb + 20, info.nPackets);
    Write32(pb + 24, info.nOctets);
}

} // namespace rtc
