#include "RtpPacketizer.h"

namespace rtc {

namespace {

const uint8_t c_bVp8StartOfPartition = 0x10; // S: the first packet of partition 0
const uint8_t c_nFuA = 28;
const uint8_t c_bFuStart = 0x80;
const uint8_t c_bFuEnd = 0x40;

// RFC 7741, 4.2: the one-byte descriptor, no extension; PID 0.
bool PacketizeVp8(const uint8_t* pb, size_t cb, size_t cbMaxPayload, IRtpPayloadSink& sink)
{
    if (cbMaxPayload < 2)
        return false;
    const size_t cbChunk = cbMaxPayload - 1;
    for (size_t i = 0; i < cb; i += cbChunk)
    {
        uint8_t bDescriptor = i == 0 ? c_bVp8StartOfPartition : 0;
        size_t cbThis = cb - i < cbChunk ? cb - i : cbChunk;
        if (!sink.Payload(&bDescriptor, 1, pb + i, cbThis, i + cbThis == cb))
            return false;
    }
    return true;
}

// The next NAL unit of an Annex B stream from i on: where it starts past
// its start code, and where the next start code (or the end) is.
bool NextNalUnit(const uint8_t* pb, size_t cb, size_t* pi, size_t* piStart, size_t* piEnd)
{
    size_t i = *pi;
    while (i + 3 <= cb && !(pb[i] == 0 && pb[i + 1] == 0 && pb[i + 2] == 1))
        i++;
    if (i + 3 > cb)
        return false;
    *piStart = i + 3;
    size_t j = *piStart;
    while (j + 3 <= cb && !(pb[j] == 0 && pb[j + 1] == 0 && (pb[j + 2] == 1 || (pb[j + 2] == 0 && j + 3 < cb && pb[j + 3] == 1))))
        j++;
    *piEnd = j + 3 <= cb ? j : cb;
    *pi = *piEnd;
    return true;
}

bool PacketizeNalUnit(const uint8_t* pb, size_t cb, size_t cbMaxPayload, bool bLastUnit, IRtpPayloadSink& sink)
{
    if (cb <= cbMaxPayload)
        return sink.Payload(nullptr, 0, pb, cb, bLastUnit);
    // FU-A (RFC 6184, 5.8): the unit's header becomes the indicator's F and
    // NRI and the FU header's type; its payload is cut.
    if (cbMaxPayload < 3)
        return false;
    const size_t cbChunk = cbMaxPayload - 2;
    for (size_t i = 1; i < cb; i += cbChunk)
    {
        size_t cbThis = cb - i < cbChunk ? cb - i : cbChunk;
        bool bEnd = i + cbThis == cb;
        uint8_t rgbPrefix[2] = {static_cast<uint8_t>((pb[0] & 0xE0) | c_nFuA),
                                static_cast<uint8_t>((i == 1 ? c_bFuStart : 0) | (bEnd ? c_bFuEnd : 0) | (pb[0] & 0x1F))};
        if (!sink.Payload(rgbPrefix, 2, pb + i, cbThis, bLastUnit && bEnd))
            return false;
    }
    return true;
}

bool PacketizeH264(const uint8_t* pb, size_t cb, size_t cbMaxPayload, IRtpPayloadSink& sink)
{
    // Each unit is sent when the next is known, so that the last gets the marker.
    size_t i = 0, iStart = 0, iEnd = 0;
    if (!NextNalUnit(pb, cb, &i, &iStart, &iEnd))
        return false;
    for (;;)
    {
        size_t iNextStart = 0, iNextEnd = 0;
        bool bMore = NextNalUnit(pb, cb, &i, &iNextStart, &iNextEnd);
        // A unit's trailing zero bytes belong to the next start code.
        size_t iStop = iEnd;
        while (iStop > iStart && pb[iStop - 1] == 0 && bMore)
            iStop--;
        if (iStop > iStart && !PacketizeNalUnit(pb + iStart, iStop - iStart, cbMaxPayload, !bMore, sink))
            return false;
        if (!bMore)
            return true;
        iStart = iNextStart;
        iEnd = iNextEnd;
    }
}

} // namespace

void WriteRtpHeader(const RtpHeader& header, uint8_t* pb)
{
    pb[0] = 0x80;
    pb[1] = static_cast<uint8_t>((header.bMarker ? 0x80 : 0) | (header.nPayloadType & 0x7F));
    pb[2] = static_cast<uint8_t>(header.nSequence >> 8);
    pb[3] = static_cast<uint8_t>(header.nSequence);
    for (int i = 0; i < 4; i++)
    {
        pb[4 + i] = static_cast<uint8_t>(header.nTimestamp >> (24 - 8 * i));
        pb[8 + i] = static_cast<uint8_t>(header.nSsrc >> (24 - 8 * i));
    }
}

bool ReadRtpHeader(const uint8_t* pb, size_t cb, RtpHeader* pHeader, size_t* pcbHeader)
{
    if (cb < c_cbRtpHeader || (pb[0] >> 6) != 2)
        return false;
    size_t cbHeader = c_cbRtpHeader + 4 * static_cast<size_t>(pb[0] & 0x0F);
    if ((pb[0] & 0x10) != 0)
    {
        if (cb < cbHeader + 4)
            return false;
        cbHeader += 4 + 4 * static_cast<size_t>((pb[cbHeader + 2] << 8) | pb[cbHeader + 3]);
    }
    if (cbHeader > cb)
        return false;
    pHeader->bMarker = (pb[1] & 0x80) != 0;
    pHeader->nPayloadType = pb[1] & 0x7F;
    pHeader->nSequence = static_cast<uint16_t>((pb[2] << 8) | pb[3]);
    pHeader->nTimestamp = (uint32_t(pb[4]) << 24) | (uint32_t(pb[5]) << 16) | (uint32_t(pb[6]) << 8) | pb[7];
    pHeader->nSsrc = (uint32_t(pb[8]) << 24) | (uint32_t(pb[9]) << 16) | (uint32_t(pb[10]) << 8) | pb[11];
    *pcbHeader = cbHeader;
    return true;
}

bool PacketizeFrame(ERtpCodec codec, const uint8_t* pbFrame, size_t cbFrame, size_t cbMaxPayload,
                    IRtpPayloadSink& sink)
{
    if (pbFrame == nullptr || cbFrame == 0)
        return false;
    switch (codec)
    {
    case ERtpCodec::VP8:
        return PacketizeVp8(pbFrame, cbFrame, cbMaxPayload, sink);
    case ERtpCodec::H264:
        return PacketizeH264(pbFrame, cbFrame, cbMaxPayload, sink);
    case ERtpCodec::Whole:
        return cbFrame <= cbMaxPayload && sink.Payload(nullptr, 0, pbFrame, cbFrame, true);
    }
    return false;
}

} // namespace rtc
