// Winsock's IPv4 addresses to and from the WebRTC layers' own.
#pragma once

#include <winsock2.h>

#include "rtc/NetAddress.h"

inline rtc::NetAddress ToNetAddress(const sockaddr_in& addr)
{
    return rtc::NetAddress::V4(reinterpret_cast<const uint8_t*>(&addr.sin_addr), ntohs(addr.sin_port));
}

inline sockaddr_in ToSockAddr(const rtc::NetAddress& address)
{
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    memcpy(&addr.sin_addr, address.rgbAddress, 4);
    addr.sin_port = htons(address.nPort);
    return addr;
}
