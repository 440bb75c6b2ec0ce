#include "rtc/ChannelData.h"

#include <cstring>

namespace rtc {

bool LooksLikeChannelData(const uint8_t* pb, size_t cb)
{
    return pb != nullptr && cb >= 1 && pb[0] >= 64 && pb[0] <= 79;
}

bool ReadChannelData(const uint8_t* pb, size_t cb, uint16_t* pnChannel, const uint8_t** ppbData, size_t* pcbData,
                     const char** ppszReason)
{
    *ppszReason = "";
    if (pb == nullptr || cb < c_cbChannelDataHeader)
    {
        *ppszReason = "shorter than a ChannelData header";
        return false;
    }
    const uint16_t nChannel = static_cast<uint16_t>((pb[0] << 8) | pb[1]);
    const size_t cbData = static_cast<size_t>((pb[2] << 8) | pb[3]);
    if (nChannel < c_nTurnChannelFirst || nChannel > c_nTurnChannelLast)
    {
        *ppszReason = "a channel number outside 0x4000..0x4FFF";
        return false;
    }
    if (cbData > cb - c_cbChannelDataHeader)
    {
        *ppszReason = "a length past the datagram";
        return false;
    }
    if (cb - c_cbChannelDataHeader - cbData > (4 - cbData % 4) % 4)
    {
        *ppszReason = "more than padding after the data";
        return false;
    }
    *pnChannel = nChannel;
    *ppbData = pb + c_cbChannelDataHeader;
    *pcbData = cbData;
    return true;
}

bool WriteChannelData(uint16_t nChannel, const uint8_t* pb, size_t cb, uint8_t* pbOut, size_t cbOutMax,
                      size_t* pcbOut)
{
    *pcbOut = 0;
    if (nChannel < c_nTurnChannelFirst || nChannel > c_nTurnChannelLast || cb > 0xFFFF || pbOut == nullptr ||
        cbOutMax < c_cbChannelDataHeader || cb > cbOutMax - c_cbChannelDataHeader)
        return false;
    pbOut[0] = static_cast<uint8_t>(nChannel >> 8);
    pbOut[1] = static_cast<uint8_t>(nChannel);
    pbOut[2] = static_cast<uint8_t>(cb >> 8);
    pbOut[3] = static_cast<uint8_t>(cb);
    if (cb != 0)
        std::memcpy(pbOut + c_cbChannelDataHeader, pb, cb);
    *pcbOut = c_cbChannelDataHeader + cb;
    return true;
}

} // namespace rtc
