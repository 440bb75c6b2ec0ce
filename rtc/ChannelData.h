// TURN's ChannelData message (RFC 8656, 12.4): a channel number of
// 0x4000..0x4FFF, the data's length, the data. Over UDP the data may be
// padded to a multiple of 4, which the reader allows and the writer leaves
// out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rtc {

const uint16_t c_nTurnChannelFirst = 0x4000;
const uint16_t c_nTurnChannelLast = 0x4FFF;
const size_t c_cbChannelDataHeader = 4;

// A quick look for demultiplexing (RFC 7983): the first byte 64..79.
bool LooksLikeChannelData(const uint8_t* pb, size_t cb);

// Reads the datagram whole; the data points into pb. False with the
// reason when it is not one ChannelData message.
bool ReadChannelData(const uint8_t* pb, size_t cb, uint16_t* pnChannel, const uint8_t** ppbData, size_t* pcbData,
                     const char** ppszReason);

// The header and the data into pbOut, which must not overlap pb. False
// when the number is no channel's or it does not fit.
bool WriteChannelData(uint16_t nChannel, const uint8_t* pb, size_t cb, uint8_t* pbOut, size_t cbOutMax,
                      size_t* pcbOut);

} // namespace rtc
