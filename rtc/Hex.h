// A hexadecimal digit's value, as the readers of addresses and fingerprints
// take them.
#pragma once

namespace rtc {

// 0-15, or -1 for anything but 0-9, a-f and A-F.
inline int HexDigitValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

} // namespace rtc
