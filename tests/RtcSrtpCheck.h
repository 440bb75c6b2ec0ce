// One packet through SRTP: protected by the sender's session, an altered
// copy refused by the receiver's, the packet itself given back as it was.
#pragma once

#include <gtest/gtest.h>

#include "rtc/Rtcp.h"
#include "rtc/RtpPacketizer.h"
#include "rtc/SrtpSession.h"

#include <srtp2/srtp.h>

#include <cstring>
#include <vector>

enum class ESrtpPacket
{
    Rtp,
    Rtcp,
};

// A buffer of 32-bit words, aligned as libsrtp wants, with room after the
// packet.
struct SrtpBuffer
{
    uint32_t rgn[400] = {};
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(rgn); }
    static constexpr size_t c_cb = sizeof(rgn);
};

// An RTP packet (a header and 200 bytes of payload) or a sender report,
// with a mark of its own in the SSRC and the sequence number.
inline std::vector<uint8_t> SamplePacket(ESrtpPacket kind, uint16_t nSequence = 1)
{
    if (kind == ESrtpPacket::Rtcp)
    {
        std::vector<uint8_t> packet(rtc::c_cbSenderReport);
        rtc::RtcpSenderInfo info = {0x5EED0001, 0xE5F0000012345678ull, 90000, 10, 2000};
        rtc::WriteSenderReport(info, packet.data());
        return packet;
    }
    std::vector<uint8_t> packet(rtc::c_cbRtpHeader + 200);
    rtc::RtpHeader header;
    header.nPayloadType = 96;
    header.nSequence = nSequence;
    header.nTimestamp = 3000;
    header.nSsrc = 0x5EED0002;
    rtc::WriteRtpHeader(header, packet.data());
    for (size_t i = rtc::c_cbRtpHeader; i < packet.size(); i++)
        packet[i] = static_cast<uint8_t>(i);
    return packet;
}

inline bool Protect(rtc::SrtpSession& session, ESrtpPacket kind, uint8_t* pb, size_t cb, size_t cbMax,
                    size_t* pcbOut)
{
    return kind == ESrtpPacket::Rtp ? session.ProtectRtp(pb, cb, cbMax, pcbOut)
                                    : session.ProtectRtcp(pb, cb, cbMax, pcbOut);
}

inline bool Unprotect(rtc::SrtpSession& session, ESrtpPacket kind, uint8_t* pb, size_t cb, size_t* pcbOut)
{
    return kind == ESrtpPacket::Rtp ? session.UnprotectRtp(pb, cb, pcbOut) : session.UnprotectRtcp(pb, cb, pcbOut);
}

// cbAdded: what protection adds to this kind of packet in the profile.
inline void ExpectSrtpRoundTrip(rtc::SrtpSession& sender, rtc::SrtpSession& receiver, ESrtpPacket kind,
                                size_t cbAdded)
{
    const std::vector<uint8_t> packet = SamplePacket(kind);
    SrtpBuffer buffer;
    std::memcpy(buffer.Bytes(), packet.data(), packet.size());
    size_t cbProtected = 0;
    ASSERT_TRUE(Protect(sender, kind, buffer.Bytes(), packet.size(), SrtpBuffer::c_cb, &cbProtected))
        << rtc::SrtpStatusText(sender.LastProtectStatus());
    ASSERT_EQ(packet.size() + cbAdded, cbProtected);
    // The header stays readable; what follows it is encrypted.
    const size_t cbHeader = kind == ESrtpPacket::Rtp ? rtc::c_cbRtpHeader : 8;
    EXPECT_EQ(0, std::memcmp(packet.data(), buffer.Bytes(), cbHeader));
    EXPECT_NE(0, std::memcmp(packet.data() + cbHeader, buffer.Bytes() + cbHeader, packet.size() - cbHeader));

    SrtpBuffer altered = buffer;
    altered.Bytes()[cbHeader + 3] ^= 0x01;
    size_t cbOut = 0;
    EXPECT_FALSE(Unprotect(receiver, kind, altered.Bytes(), cbProtected, &cbOut));
    EXPECT_EQ(srtp_err_status_auth_fail, receiver.LastUnprotectStatus())
        << rtc::SrtpStatusText(receiver.LastUnprotectStatus());

    ASSERT_TRUE(Unprotect(receiver, kind, buffer.Bytes(), cbProtected, &cbOut))
        << rtc::SrtpStatusText(receiver.LastUnprotectStatus());
    EXPECT_EQ(packet, std::vector<uint8_t>(buffer.Bytes(), buffer.Bytes() + cbOut));
}
