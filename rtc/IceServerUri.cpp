#include "rtc/IceServerUri.h"

namespace rtc {

namespace {

const size_t c_cchHostNameMax = 253;
const size_t c_cchLabelMax = 63;

char LowerAscii(char ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

bool IsAlnum(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
}

bool ReadScheme(std::string_view text, IceServerScheme* pScheme)
{
    static const struct
    {
        const char* psz;
        IceServerScheme scheme;
    } c_rgSchemes[] = {
        {"stun", IceServerScheme::Stun},
        {"stuns", IceServerScheme::Stuns},
        {"turn", IceServerScheme::Turn},
        {"turns", IceServerScheme::Turns},
    };
    for (const auto& entry : c_rgSchemes)
        if (EqualsNoCase(text, entry.psz))
        {
            *pScheme = entry.scheme;
            return true;
        }
    return false;
}

bool ReadHostName(std::string_view host, std::string* pReason)
{
    if (host.size() > c_cchHostNameMax)
    {
        *pReason = "a host name longer than 253 characters";
        return false;
    }
    if (host.find_first_not_of("0123456789.") == std::string_view::npos)
    {
        // Something that looks like an address must be one, so that a typo
        // such as 127.0.0.256 is refused rather than looked up as a name.
        *pReason = "\"" + std::string(host) + "\" is not an IPv4 address";
        return false;
    }
    for (size_t i = 0; i <= host.size();)
    {
        size_t iDot = host.find('.', i);
        if (iDot == std::string_view::npos)
            iDot = host.size();
        const std::string_view label = host.substr(i, iDot - i);
        if (label.empty())
        {
            *pReason = "an empty label in the host name";
            return false;
        }
        if (label.size() > c_cchLabelMax)
        {
            *pReason = "a host name label longer than 63 characters";
            return false;
        }
        if (label.front() == '-' || label.back() == '-')
        {
            *pReason = "a host name label that begins or ends with '-'";
            return false;
        }
        for (char ch : label)
            if (!IsAlnum(ch) && ch != '-')
            {
                *pReason = "a host name with a character other than letters, digits, '-' and '.'";
                return false;
            }
        i = iDot + 1;
    }
    return true;
}

bool ReadPort(std::string_view text, uint16_t* pnPort, std::string* pReason)
{
    unsigned n = 0;
    bool bNumber = !text.empty() && text.size() <= 5;
    for (char ch : text)
    {
        if (ch < '0' || ch > '9')
        {
            bNumber = false;
            break;
        }
        n = n * 10 + static_cast<unsigned>(ch - '0');
    }
    if (!bNumber || n == 0 || n > 65535)
    {
        *pReason = "a port that is not a number from 1 to 65535";
        return false;
    }
    *pnPort = static_cast<uint16_t>(n);
    return true;
}

// host, [v6], host:port or [v6]:port into the URI.
bool ReadHostPort(std::string_view text, bool bPortRequired, IceServerUri* pUri, std::string* pReason)
{
    std::string_view host;
    std::string_view rest;
    NetAddress literal;
    if (!text.empty() && text.front() == '[')
    {
        const size_t iClose = text.find(']');
        if (iClose == std::string_view::npos)
        {
            *pReason = "'[' without ']'";
            return false;
        }
        host = text.substr(1, iClose - 1);
        rest = text.substr(iClose + 1);
        if (!ParseIpAddress(host, &literal) || literal.nFamily != 6)
        {
            *pReason = "brackets around something other than an IPv6 address";
            return false;
        }
    }
    else
    {
        const size_t iColon = text.find(':');
        host = text.substr(0, iColon);
        if (iColon != std::string_view::npos)
            rest = text.substr(iColon);
        if (rest.find(':', 1) != std::string_view::npos)
        {
            *pReason = "an IPv6 address without brackets";
            return false;
        }
        if (host.empty())
        {
            *pReason = "no host";
            return false;
        }
        if (!ParseIpAddress(host, &literal) && !ReadHostName(host, pReason))
            return false;
    }
    uint16_t nPort = pUri->scheme == IceServerScheme::Stuns || pUri->scheme == IceServerScheme::Turns
                         ? c_nStunsDefaultPort
                         : c_nStunDefaultPort;
    if (rest.empty())
    {
        if (bPortRequired)
        {
            *pReason = "no port (write host:port, or stun:host)";
            return false;
        }
    }
    else if (rest.front() != ':')
    {
        *pReason = "something other than a port after the host";
        return false;
    }
    else if (!ReadPort(rest.substr(1), &nPort, pReason))
    {
        return false;
    }
    pUri->host = std::string(host);
    pUri->nPort = nPort;
    pUri->literal = literal;
    pUri->literal.nPort = literal.nFamily != 0 ? nPort : 0;
    return true;
}

} // namespace

bool ParseIceServerUri(std::string_view text, IceServerUri* pUri, std::string* pReason)
{
    pReason->clear();
    *pUri = IceServerUri();
    if (text.empty())
    {
        *pReason = "empty";
        return false;
    }
    if (text.size() > c_cchIceServerUriMax)
    {
        *pReason = "longer than 255 characters";
        return false;
    }
    IceServerUri uri;
    const size_t iColon = text.find(':');
    if (iColon == std::string_view::npos || !ReadScheme(text.substr(0, iColon), &uri.scheme))
    {
        if (text.find("://") != std::string_view::npos)
        {
            *pReason = "an unknown scheme \"" + std::string(text.substr(0, text.find("://"))) + "\"";
            return false;
        }
        // The built-in list's form.
        if (!ReadHostPort(text, true, &uri, pReason))
            return false;
        *pUri = uri;
        return true;
    }

    std::string_view rest = text.substr(iColon + 1);
    if (rest.substr(0, 2) == "//")
    {
        *pReason = "'//' after the scheme (write stun:host[:port] or turn:host[:port])";
        return false;
    }
    const size_t iQuery = rest.find('?');
    if (iQuery != std::string_view::npos)
    {
        const std::string_view query = rest.substr(iQuery + 1);
        rest = rest.substr(0, iQuery);
        if (!uri.IsTurn())
        {
            *pReason = "a query after a STUN server";
            return false;
        }
        if (EqualsNoCase(query, "transport=tcp"))
        {
            uri.bTcp = true;
        }
        else if (!EqualsNoCase(query, "transport=udp"))
        {
            *pReason = "a query other than transport=udp or transport=tcp";
            return false;
        }
    }
    if (!ReadHostPort(rest, false, &uri, pReason))
        return false;
    *pUri = uri;
    return true;
}

bool IsIceServerSupported(const IceServerUri& uri, std::string* pReason)
{
    pReason->clear();
    if (uri.scheme == IceServerScheme::Stuns)
        *pReason = "STUN over TLS (stuns:) is not supported";
    else if (uri.scheme == IceServerScheme::Turns)
        *pReason = "TURN over TLS (turns:) is not supported";
    else if (uri.bTcp)
        *pReason = "TURN over TCP is not supported";
    return pReason->empty();
}

std::string IceServerLabel(const IceServerUri& uri)
{
    static const char* const c_rgpszSchemes[] = {"STUN", "STUNS", "TURN", "TURNS"};
    const bool bV6 = uri.host.find(':') != std::string::npos;
    return std::string(c_rgpszSchemes[static_cast<size_t>(uri.scheme)]) + " " + (bV6 ? "[" : "") + uri.host +
           (bV6 ? "]" : "") + ":" + std::to_string(uri.nPort);
}

} // namespace rtc
