// A UDP endpoint as the WebRTC layers see it, free of any socket API: the
// socket code converts to and from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace rtc {

struct NetAddress
{
    uint8_t nFamily = 0;          // 4 or 6; 0: none
    uint8_t rgbAddress[16] = {};  // network order; IPv4 in the first 4, the rest 0
    uint16_t nPort = 0;           // host order

    static NetAddress V4(const uint8_t rgb[4], uint16_t nPort)
    {
        NetAddress address;
        address.nFamily = 4;
        std::memcpy(address.rgbAddress, rgb, 4);
        address.nPort = nPort;
        return address;
    }

    static NetAddress V6(const uint8_t rgb[16], uint16_t nPort)
    {
        NetAddress address;
        address.nFamily = 6;
        std::memcpy(address.rgbAddress, rgb, 16);
        address.nPort = nPort;
        return address;
    }

    size_t AddressBytes() const { return nFamily == 6 ? 16 : nFamily == 4 ? 4 : 0; }
};

inline bool operator==(const NetAddress& a, const NetAddress& b)
{
    return a.nFamily == b.nFamily && a.nPort == b.nPort &&
           std::memcmp(a.rgbAddress, b.rgbAddress, a.AddressBytes()) == 0;
}

inline bool operator!=(const NetAddress& a, const NetAddress& b)
{
    return !(a == b);
}

// Whether the two are the same IP address, whatever their ports.
inline bool SameIp(const NetAddress& a, const NetAddress& b)
{
    return a.nFamily == b.nFamily && std::memcmp(a.rgbAddress, b.rgbAddress, a.AddressBytes()) == 0;
}

// "192.0.2.1" or "2001:db8::1" (RFC 5952's form); "" for no family.
std::string IpText(const NetAddress& address);
// "192.0.2.1:3478" or "[2001:db8::1]:3478".
std::string AddressText(const NetAddress& address);
// A dotted IPv4 address (four numbers of up to three digits, each at most
// 255) or an IPv6 one without brackets or zone; the port is left 0. False
// for anything else, such as a host name.
bool ParseIpAddress(std::string_view text, NetAddress* pAddress);

} // namespace rtc
