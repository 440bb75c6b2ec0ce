// Addresses as text, both ways: IPv4 dotted, IPv6 in RFC 5952's short form.
#include <gtest/gtest.h>

#include "rtc/NetAddress.h"

#include <string>

namespace {

TEST(NetAddress, TextReadsAndWritesBack)
{
    const struct
    {
        const char* pszText;
        const char* pszWritten; // null: refused
    } rgCases[] = {
        {"192.0.2.1", "192.0.2.1"},
        {"0.0.0.0", "0.0.0.0"},
        {"010.0.0.1", "10.0.0.1"},
        {"::1", "::1"},
        {"::", "::"},
        {"2001:DB8:0:0:0:0:0:1", "2001:db8::1"},
        {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
        {"2001:db8::1:0:0:0:1", "2001:db8:0:1::1"},
        {"2001:0:0:1:0:0:0:0", "2001:0:0:1::"},
        {"1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7:8"},
        {"::ffff:192.0.2.1", "::ffff:c000:201"},
        {"256.0.0.1", nullptr},
        {"1.2.3", nullptr},
        {"1.2.3.4.", nullptr},
        {"1.2.3.0004", nullptr},
        {"1:2:3:4:5:6:7:8:9", nullptr},
        {"1:2:3:4:5:6:7", nullptr},
        {"1::2::3", nullptr},
        {"12345::", nullptr},
        {"1:2:3:4:5:6:7::8", nullptr},
        {"fe80::1%eth0", nullptr},
        {"::1.2.3.4:5", nullptr},
        {"example.org", nullptr},
        {"", nullptr},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszText);
        rtc::NetAddress address;
        const bool bRead = rtc::ParseIpAddress(test.pszText, &address);
        EXPECT_EQ(test.pszWritten != nullptr, bRead);
        if (bRead)
        {
            EXPECT_EQ(test.pszWritten, rtc::IpText(address));
            EXPECT_EQ(0, address.nPort);
        }
    }
    rtc::NetAddress address;
    ASSERT_TRUE(rtc::ParseIpAddress("2001:db8::1", &address));
    address.nPort = 3478;
    EXPECT_EQ("[2001:db8::1]:3478", rtc::AddressText(address));
    ASSERT_TRUE(rtc::ParseIpAddress("192.0.2.1", &address));
    address.nPort = 3478;
    EXPECT_EQ("192.0.2.1:3478", rtc::AddressText(address));
}

} // namespace
