// ICE servers as the harness gives them, read or refused with a reason,
// and those that can be read but not used told apart.
#include <gtest/gtest.h>

#include "rtc/IceServerUri.h"

#include <string>

namespace {

TEST(IceServerUri, ServersAreReadOrRefusedWithAReason)
{
    using rtc::IceServerScheme;
    const struct
    {
        const char* pszUri;
        const char* pszReason; // "" when read
        IceServerScheme scheme;
        const char* pszLabel;
        bool bLiteral; // the host is an address
        const char* pszUnsupported;
    } rgCases[] = {
        // Read, and what they give.
        {"stun:stun.example.org", "", IceServerScheme::Stun, "STUN stun.example.org:3478", false, ""},
        {"stun:stun.example.org:19302", "", IceServerScheme::Stun, "STUN stun.example.org:19302", false, ""},
        {"STUN:Stun.Example.org", "", IceServerScheme::Stun, "STUN Stun.Example.org:3478", false, ""},
        {"stun.l.example.com:19302", "", IceServerScheme::Stun, "STUN stun.l.example.com:19302", false, ""},
        {"127.0.0.1:3478", "", IceServerScheme::Stun, "STUN 127.0.0.1:3478", true, ""},
        {"[::1]:3478", "", IceServerScheme::Stun, "STUN [::1]:3478", true, ""},
        {"turn:127.0.0.1", "", IceServerScheme::Turn, "TURN 127.0.0.1:3478", true, ""},
        {"turn:127.0.0.1:3479?transport=udp", "", IceServerScheme::Turn, "TURN 127.0.0.1:3479", true, ""},
        {"turn:[2001:db8::7]:5000?Transport=UDP", "", IceServerScheme::Turn, "TURN [2001:db8::7]:5000", true, ""},
        {"turn:turn-1.example.net", "", IceServerScheme::Turn, "TURN turn-1.example.net:3478", false, ""},
        // Read, not usable.
        {"turn:turn.example.net?transport=tcp", "", IceServerScheme::Turn, "TURN turn.example.net:3478", false,
         "TURN over TCP is not supported"},
        {"turns:turn.example.net", "", IceServerScheme::Turns, "TURNS turn.example.net:5349", false,
         "TURN over TLS (turns:) is not supported"},
        {"stuns:stun.example.org", "", IceServerScheme::Stuns, "STUNS stun.example.org:5349", false,
         "STUN over TLS (stuns:) is not supported"},
        // Refused.
        {"", "empty", IceServerScheme::Stun, "", false, ""},
        {"stun.example.org", "no port (write host:port, or stun:host)", IceServerScheme::Stun, "", false, ""},
        {"stun:", "no host", IceServerScheme::Stun, "", false, ""},
        {"stun:3478", "\"3478\" is not an IPv4 address", IceServerScheme::Stun, "", false, ""},
        {"stun:127.0.0.256", "\"127.0.0.256\" is not an IPv4 address", IceServerScheme::Stun, "", false, ""},
        {"stun://stun.example.org", "'//' after the scheme (write stun:host[:port] or turn:host[:port])",
         IceServerScheme::Stun, "", false, ""},
        {"http://stun.example.org", "an unknown scheme \"http\"", IceServerScheme::Stun, "", false, ""},
        {"stun:stun.example.org:0", "a port that is not a number from 1 to 65535", IceServerScheme::Stun, "", false,
         ""},
        {"stun:stun.example.org:65536", "a port that is not a number from 1 to 65535", IceServerScheme::Stun, "",
         false, ""},
        {"stun:stun.example.org:34x", "a port that is not a number from 1 to 65535", IceServerScheme::Stun, "", false,
         ""},
        {"stun:stun.example.org?transport=udp", "a query after a STUN server", IceServerScheme::Stun, "", false, ""},
        {"turn:h?transport=sctp", "a query other than transport=udp or transport=tcp", IceServerScheme::Stun, "",
         false, ""},
        {"turn:user@h", "a host name with a character other than letters, digits, '-' and '.'",
         IceServerScheme::Stun, "", false, ""},
        {"turn:-h.example", "a host name label that begins or ends with '-'", IceServerScheme::Stun, "", false, ""},
        {"turn:h..example", "an empty label in the host name", IceServerScheme::Stun, "", false, ""},
        {"turn:[::1", "'[' without ']'", IceServerScheme::Stun, "", false, ""},
        {"turn:[example.org]", "brackets around something other than an IPv6 address", IceServerScheme::Stun, "",
         false, ""},
        {"turn:[::1]x", "something other than a port after the host", IceServerScheme::Stun, "", false, ""},
        {"turn:2001:db8::1", "an IPv6 address without brackets", IceServerScheme::Stun, "", false, ""},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszUri);
        rtc::IceServerUri uri;
        std::string reason = "unset";
        const bool bRead = rtc::ParseIceServerUri(test.pszUri, &uri, &reason);
        EXPECT_EQ(test.pszReason, reason);
        EXPECT_EQ(*test.pszReason == '\0', bRead);
        if (!bRead)
            continue;
        EXPECT_EQ(test.scheme, uri.scheme);
        EXPECT_EQ(test.pszLabel, rtc::IceServerLabel(uri));
        EXPECT_EQ(test.bLiteral, uri.literal.nFamily != 0);
        if (test.bLiteral)
        {
            EXPECT_EQ(uri.nPort, uri.literal.nPort);
        }
        EXPECT_EQ(*test.pszUnsupported == '\0', rtc::IsIceServerSupported(uri, &reason));
        EXPECT_EQ(test.pszUnsupported, reason);
    }
}

TEST(IceServerUri, LengthIsBounded)
{
    const std::string label(63, 'a');
    const std::string host = label + "." + label + "." + label + "." + std::string(58, 'b');
    rtc::IceServerUri uri;
    std::string reason;
    EXPECT_TRUE(rtc::ParseIceServerUri("turn:" + host, &uri, &reason)) << reason;
    EXPECT_EQ(255u, host.size() + 5);
    EXPECT_FALSE(rtc::ParseIceServerUri("turn:" + host + "b", &uri, &reason));
    EXPECT_EQ("longer than 255 characters", reason);
    EXPECT_FALSE(rtc::ParseIceServerUri("turn:" + label + "a.example", &uri, &reason));
    EXPECT_EQ("a host name label longer than 63 characters", reason);
}

} // namespace
