#include "rtc/NetAddress.h"
#include "rtc/Hex.h"

#include <cstdio>

namespace rtc {

namespace {

bool ParseIpv4(std::string_view text, uint8_t rgb[4])
{
    size_t iPart = 0;
    size_t i = 0;
    while (iPart < 4)
    {
        size_t cDigits = 0;
        unsigned n = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && cDigits < 4)
        {
            n = n * 10 + static_cast<unsigned>(text[i++] - '0');
            cDigits++;
        }
        if (cDigits == 0 || cDigits > 3 || n > 255)
            return false;
        rgb[iPart++] = static_cast<uint8_t>(n);
        if (iPart < 4 && (i >= text.size() || text[i++] != '.'))
            return false;
    }
    return i == text.size();
}

// Groups of up to four hex digits between colons, the last of the whole
// address possibly dotted IPv4; counts the 16-bit groups into rgn.
bool ParseIpv6Groups(std::string_view text, bool bLast, uint16_t rgn[8], size_t* pcGroups)
{
    *pcGroups = 0;
    if (text.empty())
        return true;
    size_t i = 0;
    for (;;)
    {
        const size_t iColon = text.find(':', i);
        const std::string_view group = text.substr(i, iColon == std::string_view::npos ? std::string_view::npos
                                                                                        : iColon - i);
        if (bLast && iColon == std::string_view::npos && group.find('.') != std::string_view::npos)
        {
            uint8_t rgb[4];
            if (*pcGroups > 6 || !ParseIpv4(group, rgb))
                return false;
            rgn[(*pcGroups)++] = static_cast<uint16_t>((rgb[0] << 8) | rgb[1]);
            rgn[(*pcGroups)++] = static_cast<uint16_t>((rgb[2] << 8) | rgb[3]);
            return true;
        }
        if (group.empty() || group.size() > 4 || *pcGroups == 8)
            return false;
        unsigned n = 0;
        for (char ch : group)
        {
            const int nDigit = HexDigitValue(ch);
            if (nDigit < 0)
                return false;
            n = n * 16 + static_cast<unsigned>(nDigit);
        }
        rgn[(*pcGroups)++] = static_cast<uint16_t>(n);
        if (iColon == std::string_view::npos)
            return true;
        i = iColon + 1;
    }
}

bool ParseIpv6(std::string_view text, uint8_t rgb[16])
{
    // The longest form, with dotted IPv4 at its end.
    if (text.size() > 45)
        return false;
    uint16_t rgnHead[8] = {};
    uint16_t rgnTail[8] = {};
    size_t cHead = 0;
    size_t cTail = 0;
    const size_t iGap = text.find("::");
    if (iGap == std::string_view::npos)
    {
        if (!ParseIpv6Groups(text, true, rgnHead, &cHead) || cHead != 8)
            return false;
    }
    else
    {
        // One gap at most, standing for one or more groups of zeros.
        if (text.find("::", iGap + 1) != std::string_view::npos ||
            !ParseIpv6Groups(text.substr(0, iGap), false, rgnHead, &cHead) ||
            !ParseIpv6Groups(text.substr(iGap + 2), true, rgnTail, &cTail) || cHead + cTail > 7)
            return false;
    }
    uint16_t rgn[8] = {};
    for (size_t i = 0; i < cHead; i++)
        rgn[i] = rgnHead[i];
    for (size_t i = 0; i < cTail; i++)
        rgn[8 - cTail + i] = rgnTail[i];
    for (size_t i = 0; i < 8; i++)
    {
        rgb[2 * i] = static_cast<uint8_t>(rgn[i] >> 8);
        rgb[2 * i + 1] = static_cast<uint8_t>(rgn[i]);
    }
    return true;
}

} // namespace

std::string IpText(const NetAddress& address)
{
    const uint8_t* pb = address.rgbAddress;
    char sz[48];
    if (address.nFamily == 4)
    {
        std::snprintf(sz, sizeof(sz), "%u.%u.%u.%u", pb[0], pb[1], pb[2], pb[3]);
        return sz;
    }
    if (address.nFamily != 6)
        return "";
    uint16_t rgn[8];
    for (size_t i = 0; i < 8; i++)
        rgn[i] = static_cast<uint16_t>((pb[2 * i] << 8) | pb[2 * i + 1]);
    // The first longest run of two or more zero groups becomes "::".
    size_t iRun = 8, cRun = 0;
    for (size_t i = 0; i < 8;)
    {
        size_t c = 0;
        while (i + c < 8 && rgn[i + c] == 0)
            c++;
        if (c >= 2 && c > cRun)
        {
            iRun = i;
            cRun = c;
        }
        i += c != 0 ? c : 1;
    }
    std::string text;
    for (size_t i = 0; i < 8; i++)
    {
        if (i == iRun)
        {
            text += "::";
            i += cRun - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':')
            text += ':';
        std::snprintf(sz, sizeof(sz), "%x", rgn[i]);
        text += sz;
    }
    return text;
}

std::string AddressText(const NetAddress& address)
{
    const std::string ip = IpText(address);
    const std::string port = std::to_string(address.nPort);
    return address.nFamily == 6 ? "[" + ip + "]:" + port : ip + ":" + port;
}

bool ParseIpAddress(std::string_view text, NetAddress* pAddress)
{
    uint8_t rgb[16];
    if (ParseIpv4(text, rgb))
    {
        *pAddress = NetAddress::V4(rgb, 0);
        return true;
    }
    if (text.find(':') != std::string_view::npos && ParseIpv6(text, rgb))
    {
        *pAddress = NetAddress::V6(rgb, 0);
        return true;
    }
    return false;
}

} // namespace rtc
