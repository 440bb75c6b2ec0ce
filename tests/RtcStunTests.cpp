// The STUN reader and writer: RFC 5769's sample messages, whose integrity
// and fingerprint were computed by others, read and checked; what the
// writer writes read back; malformed messages refused with their reason.
#include <gtest/gtest.h>

#include "rtc/Stun.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const char c_szRfcPassword[] = "VOkJxbRl1RmTxUk/WvJxBt";

const uint8_t c_rgbRfcTransactionId[12] = {0xb7, 0xe7, 0xa7, 0x01, 0xbc, 0x34, 0xd6, 0x86, 0xfa, 0x87, 0xdf, 0xae};

// RFC 5769, 2.1: a request with SOFTWARE, PRIORITY, ICE-CONTROLLED and
// USERNAME; its padding is spaces.
const Bytes c_rgbRfcRequest = {
    0x00, 0x01, 0x00, 0x58, 0x21, 0x12, 0xa4, 0x42, 0xb7, 0xe7, 0xa7, 0x01, 0xbc, 0x34, 0xd6, 0x86,
    0xfa, 0x87, 0xdf, 0xae, 0x80, 0x22, 0x00, 0x10, 0x53, 0x54, 0x55, 0x4e, 0x20, 0x74, 0x65, 0x73,
    0x74, 0x20, 0x63, 0x6c, 0x69, 0x65, 0x6e, 0x74, 0x00, 0x24, 0x00, 0x04, 0x6e, 0x00, 0x01, 0xff,
    0x80, 0x29, 0x00, 0x08, 0x93, 0x2f, 0xf9, 0xb1, 0x51, 0x26, 0x3b, 0x36, 0x00, 0x06, 0x00, 0x09,
    0x65, 0x76, 0x74, 0x6a, 0x3a, 0x68, 0x36, 0x76, 0x59, 0x20, 0x20, 0x20, 0x00, 0x08, 0x00, 0x14,
    0x9a, 0xea, 0xa7, 0x0c, 0xbf, 0xd8, 0xcb, 0x56, 0x78, 0x1e, 0xf2, 0xb5, 0xb2, 0xd3, 0xf2, 0x49,
    0xc1, 0xb5, 0x71, 0xa2, 0x80, 0x28, 0x00, 0x04, 0xe5, 0x7a, 0x3b, 0xcf,
};

// 2.2: the IPv4 response, 192.0.2.1 port 32853.
const Bytes c_rgbRfcResponseV4 = {
    0x01, 0x01, 0x00, 0x3c, 0x21, 0x12, 0xa4, 0x42, 0xb7, 0xe7, 0xa7, 0x01, 0xbc, 0x34, 0xd6, 0x86,
    0xfa, 0x87, 0xdf, 0xae, 0x80, 0x22, 0x00, 0x0b, 0x74, 0x65, 0x73, 0x74, 0x20, 0x76, 0x65, 0x63,
    0x74, 0x6f, 0x72, 0x20, 0x00, 0x20, 0x00, 0x08, 0x00, 0x01, 0xa1, 0x47, 0xe1, 0x12, 0xa6, 0x43,
    0x00, 0x08, 0x00, 0x14, 0x2b, 0x91, 0xf5, 0x99, 0xfd, 0x9e, 0x90, 0xc3, 0x8c, 0x74, 0x89, 0xf9,
    0x2a, 0xf9, 0xba, 0x53, 0xf0, 0x6b, 0xe7, 0xd7, 0x80, 0x28, 0x00, 0x04, 0xc0, 0x7d, 0x4c, 0x96,
};

// 2.3: the IPv6 response, 2001:db8:1234:5678:11:2233:4455:6677 port 32853.
const Bytes c_rgbRfcResponseV6 = {
    0x01, 0x01, 0x00, 0x48, 0x21, 0x12, 0xa4, 0x42, 0xb7, 0xe7, 0xa7, 0x01, 0xbc, 0x34, 0xd6, 0x86,
    0xfa, 0x87, 0xdf, 0xae, 0x80, 0x22, 0x00, 0x0b, 0x74, 0x65, 0x73, 0x74, 0x20, 0x76, 0x65, 0x63,
    0x74, 0x6f, 0x72, 0x20, 0x00, 0x20, 0x00, 0x14, 0x00, 0x02, 0xa1, 0x47, 0x01, 0x13, 0xa9, 0xfa,
    0xa5, 0xd3, 0xf1, 0x79, 0xbc, 0x25, 0xf4, 0xb5, 0xbe, 0xd2, 0xb9, 0xd9, 0x00, 0x08, 0x00, 0x14,
    0xa3, 0x82, 0x95, 0x4e, 0x4b, 0xe6, 0x7b, 0xf1, 0x17, 0x84, 0xc9, 0x7c, 0x82, 0x92, 0xc2, 0x75,
    0xbf, 0xe3, 0xed, 0x41, 0x80, 0x28, 0x00, 0x04, 0xc8, 0xfb, 0x0b, 0x4c,
};

const uint8_t c_rgbRfcV4[4] = {192, 0, 2, 1};
const uint8_t c_rgbRfcV6[16] = {0x20, 0x01, 0x0d, 0xb8, 0x12, 0x34, 0x56, 0x78,
                                0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};

const uint8_t* Key(const char* psz)
{
    return reinterpret_cast<const uint8_t*>(psz);
}

bool Parse(const Bytes& bytes, rtc::StunMessage* pMessage)
{
    const char* pszReason = nullptr;
    bool bParsed = rtc::ParseStun(bytes.data(), bytes.size(), pMessage, &pszReason);
    EXPECT_TRUE(bParsed) << pszReason;
    return bParsed;
}

// Each sample's integrity and fingerprint check with the published
// password, and neither survives a changed byte or another password.
TEST(StunTest, RfcSamplesCheck)
{
    const struct
    {
        const char* pszName;
        const Bytes* pBytes;
        rtc::StunClass nClass;
    } rgCases[] = {
        {"request", &c_rgbRfcRequest, rtc::StunClass::Request},
        {"IPv4 response", &c_rgbRfcResponseV4, rtc::StunClass::Success},
        {"IPv6 response", &c_rgbRfcResponseV6, rtc::StunClass::Success},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        rtc::StunMessage message;
        ASSERT_TRUE(Parse(*test.pBytes, &message));
        EXPECT_EQ(rtc::c_nStunBinding, message.nMethod);
        EXPECT_EQ(test.nClass, message.nClass);
        EXPECT_EQ(0, std::memcmp(c_rgbRfcTransactionId, message.rgbTransactionId, 12));
        EXPECT_TRUE(rtc::CheckMessageIntegrity(message, Key(c_szRfcPassword), std::strlen(c_szRfcPassword)));
        EXPECT_FALSE(rtc::CheckMessageIntegrity(message, Key("VOkJxbRl1RmTxUk/WvJxBu"), 22));
        EXPECT_TRUE(rtc::CheckFingerprint(message));

        // A changed byte of the transaction id, which both cover.
        Bytes changed = *test.pBytes;
        changed[19] ^= 1;
        ASSERT_TRUE(Parse(changed, &message));
        EXPECT_FALSE(rtc::CheckMessageIntegrity(message, Key(c_szRfcPassword), std::strlen(c_szRfcPassword)));
        EXPECT_FALSE(rtc::CheckFingerprint(message));
    }
}

TEST(StunTest, RfcRequestAttributesRead)
{
    rtc::StunMessage message;
    ASSERT_TRUE(Parse(c_rgbRfcRequest, &message));
    std::string_view username;
    ASSERT_TRUE(rtc::ReadStunUsername(message, &username));
    EXPECT_EQ("evtj:h6vY", username);
    uint32_t nPriority = 0;
    ASSERT_TRUE(rtc::ReadStunPriority(message, &nPriority));
    EXPECT_EQ(0x6e0001ffu, nPriority);
    uint64_t nTiebreaker = 0;
    ASSERT_TRUE(rtc::ReadStunIceControlled(message, &nTiebreaker));
    EXPECT_EQ(0x932ff9b151263b36u, nTiebreaker);
    EXPECT_FALSE(rtc::ReadStunIceControlling(message, &nTiebreaker));
    EXPECT_FALSE(rtc::HasStunUseCandidate(message));
    const rtc::StunAttribute* pSoftware = message.Find(rtc::c_nStunSoftware);
    ASSERT_NE(nullptr, pSoftware);
    EXPECT_EQ("STUN test client", std::string(reinterpret_cast<const char*>(pSoftware->pb), pSoftware->cb));
}

// The samples' mapped addresses read, and the writer XORs them to the
// samples' very bytes.
TEST(StunTest, RfcMappedAddressesReadAndWrite)
{
    const struct
    {
        const char* pszName;
        const Bytes* pBytes;
        rtc::NetAddress address;
        size_t iAttribute; // where XOR-MAPPED-ADDRESS stands in the sample
    } rgCases[] = {
        {"IPv4", &c_rgbRfcResponseV4, rtc::NetAddress::V4(c_rgbRfcV4, 32853), 36},
        {"IPv6", &c_rgbRfcResponseV6, rtc::NetAddress::V6(c_rgbRfcV6, 32853), 36},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        rtc::StunMessage message;
        ASSERT_TRUE(Parse(*test.pBytes, &message));
        rtc::NetAddress address;
        ASSERT_TRUE(rtc::ReadStunXorMappedAddress(message, &address));
        EXPECT_TRUE(address == test.address);

        uint8_t rgb[64];
        rtc::StunWriter writer(rgb, sizeof(rgb));
        writer.Begin(rtc::c_nStunBinding, rtc::StunClass::Success, c_rgbRfcTransactionId);
        writer.AddXorMappedAddress(test.address);
        ASSERT_FALSE(writer.Failed());
        const size_t cbAttribute = writer.Size() - rtc::c_cbStunHeader;
        EXPECT_EQ(Bytes(test.pBytes->begin() + test.iAttribute, test.pBytes->begin() + test.iAttribute + cbAttribute),
                  Bytes(rgb + rtc::c_cbStunHeader, rgb + writer.Size()));
    }
}

// A message as a TURN server answers an Allocate: written, read back with
// the generic lookup, and its integrity and fingerprint checked.
TEST(StunTest, WrittenMessageReadsBack)
{
    const uint8_t rgbRelayed[4] = {203, 0, 113, 9};
    const rtc::NetAddress relayed = rtc::NetAddress::V4(rgbRelayed, 50000);
    const rtc::NetAddress mapped = rtc::NetAddress::V6(c_rgbRfcV6, 4000);
    const uint8_t rgbKey[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    uint8_t rgb[256];
    rtc::StunWriter writer(rgb, sizeof(rgb));
    writer.Begin(rtc::c_nStunAllocate, rtc::StunClass::Success, c_rgbRfcTransactionId);
    writer.AddXorAddress(rtc::c_nStunXorRelayedAddress, relayed);
    writer.AddXorMappedAddress(mapped);
    writer.AddUint32(rtc::c_nStunLifetime, 600);
    writer.AddString(rtc::c_nStunSoftware, "x"); // three bytes of padding
    writer.AddMessageIntegrity(rgbKey, sizeof(rgbKey));
    writer.AddFingerprint();
    ASSERT_FALSE(writer.Failed());
    EXPECT_EQ(0u, writer.Size() % 4);

    const Bytes written(rgb, rgb + writer.Size());
    rtc::StunMessage message;
    ASSERT_TRUE(Parse(written, &message));
    EXPECT_EQ(rtc::c_nStunAllocate, message.nMethod);
    EXPECT_EQ(rtc::StunClass::Success, message.nClass);
    EXPECT_EQ(6u, message.cAttributes);
    rtc::NetAddress address;
    ASSERT_TRUE(rtc::ReadStunXorAddress(message, rtc::c_nStunXorRelayedAddress, &address));
    EXPECT_TRUE(address == relayed);
    ASSERT_TRUE(rtc::ReadStunXorMappedAddress(message, &address));
    EXPECT_TRUE(address == mapped);
    uint32_t nLifetime = 0;
    ASSERT_TRUE(rtc::ReadStunUint32(message, rtc::c_nStunLifetime, &nLifetime));
    EXPECT_EQ(600u, nLifetime);
    EXPECT_TRUE(rtc::CheckMessageIntegrity(message, rgbKey, sizeof(rgbKey)));
    EXPECT_FALSE(rtc::CheckMessageIntegrity(message, rgbKey, sizeof(rgbKey) - 1));
    EXPECT_TRUE(rtc::CheckFingerprint(message));
}

TEST(StunTest, ErrorCodeReadsBack)
{
    const struct
    {
        int nCode;
        const char* pszReason;
    } rgCases[] = {{300, "Try Alternate"}, {401, "Unauthorized"}, {487, "Role Conflict"}, {699, ""}};
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.nCode);
        uint8_t rgb[64];
        rtc::StunWriter writer(rgb, sizeof(rgb));
        writer.Begin(rtc::c_nStunBinding, rtc::StunClass::Error, c_rgbRfcTransactionId);
        writer.AddErrorCode(test.nCode, test.pszReason);
        ASSERT_FALSE(writer.Failed());
        const Bytes written(rgb, rgb + writer.Size());
        rtc::StunMessage message;
        ASSERT_TRUE(Parse(written, &message));
        int nCode = 0;
        std::string_view reason;
        ASSERT_TRUE(rtc::ReadStunErrorCode(message, &nCode, &reason));
        EXPECT_EQ(test.nCode, nCode);
        EXPECT_EQ(test.pszReason, reason);
    }
}

// RFC 5769, 2.4: a request with long-term credentials. Its user name is
// "マトリックス" and its password "TheMatrIX" once through SASLprep.
const Bytes c_rgbRfcLongTermRequest = {
    0x00, 0x01, 0x00, 0x60, 0x21, 0x12, 0xa4, 0x42, 0x78, 0xad, 0x34, 0x33, 0xc6, 0xad, 0x72, 0xc0,
    0x29, 0xda, 0x41, 0x2e, 0x00, 0x06, 0x00, 0x12, 0xe3, 0x83, 0x9e, 0xe3, 0x83, 0x88, 0xe3, 0x83,
    0xaa, 0xe3, 0x83, 0x83, 0xe3, 0x82, 0xaf, 0xe3, 0x82, 0xb9, 0x00, 0x00, 0x00, 0x15, 0x00, 0x1c,
    0x66, 0x2f, 0x2f, 0x34, 0x39, 0x39, 0x6b, 0x39, 0x35, 0x34, 0x64, 0x36, 0x4f, 0x4c, 0x33, 0x34,
    0x6f, 0x4c, 0x39, 0x46, 0x53, 0x54, 0x76, 0x79, 0x36, 0x34, 0x73, 0x41, 0x00, 0x14, 0x00, 0x0b,
    0x65, 0x78, 0x61, 0x6d, 0x70, 0x6c, 0x65, 0x2e, 0x6f, 0x72, 0x67, 0x00, 0x00, 0x08, 0x00, 0x14,
    0xf6, 0x70, 0x24, 0x65, 0x6d, 0xd6, 0x4a, 0x3e, 0x02, 0xb8, 0xe0, 0x71, 0x2e, 0x85, 0xc9, 0xa2,
    0x8c, 0xa8, 0x96, 0x66,
};

// The key MD5(user ":" realm ":" password) checks the sample's integrity,
// which others computed; the realm and nonce read back.
TEST(StunTest, RfcLongTermSampleChecksWithItsKey)
{
    rtc::StunMessage message;
    ASSERT_TRUE(Parse(c_rgbRfcLongTermRequest, &message));
    std::string_view username, realm, nonce;
    ASSERT_TRUE(rtc::ReadStunUsername(message, &username));
    EXPECT_EQ("\xe3\x83\x9e\xe3\x83\x88\xe3\x83\xaa\xe3\x83\x83\xe3\x82\xaf\xe3\x82\xb9", username);
    ASSERT_TRUE(rtc::ReadStunRealmOrNonce(message, rtc::c_nStunRealm, &realm));
    EXPECT_EQ("example.org", realm);
    ASSERT_TRUE(rtc::ReadStunRealmOrNonce(message, rtc::c_nStunNonce, &nonce));
    EXPECT_EQ("f//499k954d6OL34oL9FSTvy64sA", nonce);

    uint8_t rgbKey[rtc::c_cbStunLongTermKey];
    ASSERT_TRUE(rtc::StunLongTermKey(username, realm, "TheMatrIX", rgbKey));
    EXPECT_TRUE(rtc::CheckMessageIntegrity(message, rgbKey, sizeof(rgbKey)));
    ASSERT_TRUE(rtc::StunLongTermKey(username, realm, "TheMatrix", rgbKey));
    EXPECT_FALSE(rtc::CheckMessageIntegrity(message, rgbKey, sizeof(rgbKey)));
    ASSERT_TRUE(rtc::StunLongTermKey(username, "example.com", "TheMatrIX", rgbKey));
    EXPECT_FALSE(rtc::CheckMessageIntegrity(message, rgbKey, sizeof(rgbKey)));
}

TEST(StunTest, ErrorTextForPeople)
{
    const struct
    {
        int nCode;
        std::string reason;
        const char* pszText;
    } rgCases[] = {
        {401, "Unauthorized", "401 Unauthorized"},
        {401, "", "401 Unauthorized"},
        {438, "", "438 Stale Nonce"},
        {486, "", "486 Allocation Quota Reached"},
        {599, "", "599"},
        {403, "Forbidden IP  ", "403 Forbidden IP"},
        {500, std::string("bad\x01\xff" "bytes", 10), "500 bad??bytes"},
        {400, std::string(200, 'x'), nullptr},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.nCode);
        const std::string text = rtc::StunErrorText(test.nCode, test.reason);
        if (test.pszText != nullptr)
        {
            EXPECT_EQ(test.pszText, text);
        }
        else
        {
            EXPECT_EQ("400 " + std::string(128, 'x'), text);
        }
    }
}

// Method and class interleave in the type: the types of RFC 8489 and TURN.
TEST(StunTest, MessageTypeSplitsIntoMethodAndClass)
{
    const struct
    {
        uint16_t nType;
        uint16_t nMethod;
        rtc::StunClass nClass;
    } rgCases[] = {
        {0x0001, rtc::c_nStunBinding, rtc::StunClass::Request},
        {0x0011, rtc::c_nStunBinding, rtc::StunClass::Indication},
        {0x0101, rtc::c_nStunBinding, rtc::StunClass::Success},
        {0x0111, rtc::c_nStunBinding, rtc::StunClass::Error},
        {0x0113, rtc::c_nStunAllocate, rtc::StunClass::Error},
        {0x0016, rtc::c_nStunSendIndication, rtc::StunClass::Indication},
        {0x0017, rtc::c_nStunDataIndication, rtc::StunClass::Indication},
        {0x0108, rtc::c_nStunCreatePermission, rtc::StunClass::Success},
        {0x3EEF, 0x0FFF, rtc::StunClass::Request},
        {0x3FFF, 0x0FFF, rtc::StunClass::Error},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.nType);
        EXPECT_EQ(test.nMethod, rtc::StunMethodOf(test.nType));
        EXPECT_EQ(test.nClass, rtc::StunClassOf(test.nType));
        EXPECT_EQ(test.nType, rtc::StunMessageType(test.nMethod, test.nClass));
    }
}

TEST(StunTest, DemultiplexingTellsStunApart)
{
    EXPECT_TRUE(rtc::LooksLikeStun(c_rgbRfcRequest.data(), c_rgbRfcRequest.size()));
    EXPECT_TRUE(rtc::LooksLikeStun(c_rgbRfcResponseV4.data(), c_rgbRfcResponseV4.size()));
    Bytes bytes = c_rgbRfcRequest;
    bytes[0] = 22; // a DTLS handshake
    EXPECT_FALSE(rtc::LooksLikeStun(bytes.data(), bytes.size()));
    bytes[0] = 0x80; // RTP
    EXPECT_FALSE(rtc::LooksLikeStun(bytes.data(), bytes.size()));
    bytes = c_rgbRfcRequest;
    bytes[4] = 0;
    EXPECT_FALSE(rtc::LooksLikeStun(bytes.data(), bytes.size()));
    EXPECT_FALSE(rtc::LooksLikeStun(c_rgbRfcRequest.data(), rtc::c_cbStunHeader - 1));
}

// A Binding request of the given attributes (type, value), the length
// right and each value padded with zeros.
Bytes Message(const std::vector<std::pair<uint16_t, Bytes>>& attributes)
{
    Bytes bytes(c_rgbRfcRequest.begin(), c_rgbRfcRequest.begin() + rtc::c_cbStunHeader);
    for (const auto& attribute : attributes)
    {
        const size_t cb = attribute.second.size();
        bytes.insert(bytes.end(), {uint8_t(attribute.first >> 8), uint8_t(attribute.first), uint8_t(cb >> 8),
                                   uint8_t(cb)});
        bytes.insert(bytes.end(), attribute.second.begin(), attribute.second.end());
        bytes.resize(bytes.size() + (4 - cb % 4) % 4);
    }
    bytes[2] = uint8_t((bytes.size() - 20) >> 8);
    bytes[3] = uint8_t(bytes.size() - 20);
    return bytes;
}

TEST(StunTest, MalformedMessagesAreRefusedWithTheirReason)
{
    const Bytes integrity(20), fingerprint(4), software = {'x'};
    auto edited = [](Bytes bytes, size_t i, uint8_t b) {
        bytes[i] = b;
        return bytes;
    };
    std::vector<std::pair<uint16_t, Bytes>> many(33, {rtc::c_nStunSoftware, software});
    const Bytes wellFormed = Message({{rtc::c_nStunSoftware, software},
                                      {rtc::c_nStunMessageIntegrity, integrity},
                                      {rtc::c_nStunMessageIntegritySha256, Bytes(32)},
                                      {rtc::c_nStunFingerprint, fingerprint}});
    const struct
    {
        const char* pszName;
        Bytes bytes;
        const char* pszReason;
    } rgCases[] = {
        {"empty", {}, "shorter than a STUN header"},
        {"a header cut short", Bytes(c_rgbRfcRequest.begin(), c_rgbRfcRequest.begin() + 19),
         "shorter than a STUN header"},
        {"first bits set", edited(c_rgbRfcRequest, 0, 0x40), "the first two bits are not zero"},
        {"another cookie", edited(c_rgbRfcRequest, 7, 0x43), "no magic cookie"},
        {"a length of 2 mod 4", edited(c_rgbRfcRequest, 3, 0x56), "a length that is not a multiple of 4"},
        {"a length short of the datagram", edited(c_rgbRfcRequest, 3, 0x54), "a length other than the datagram's"},
        {"a length past the datagram", edited(c_rgbRfcRequest, 3, 0x5C), "a length other than the datagram's"},
        {"an attribute past the end", edited(c_rgbRfcRequest, 23, 0x50), "an attribute longer than the message"},
        {"33 attributes", Message(many), "more than 32 attributes"},
        {"an attribute after FINGERPRINT",
         Message({{rtc::c_nStunFingerprint, fingerprint}, {rtc::c_nStunSoftware, software}}),
         "an attribute after FINGERPRINT"},
        {"two FINGERPRINTs", Message({{rtc::c_nStunFingerprint, fingerprint}, {rtc::c_nStunFingerprint, fingerprint}}),
         "an attribute after FINGERPRINT"},
        {"an attribute after MESSAGE-INTEGRITY",
         Message({{rtc::c_nStunMessageIntegrity, integrity}, {rtc::c_nStunSoftware, software}}),
         "an attribute after MESSAGE-INTEGRITY"},
        {"two MESSAGE-INTEGRITYs",
         Message({{rtc::c_nStunMessageIntegrity, integrity}, {rtc::c_nStunMessageIntegrity, integrity}}),
         "an attribute after MESSAGE-INTEGRITY"},
        {"MESSAGE-INTEGRITY after its SHA-256 kind",
         Message({{rtc::c_nStunMessageIntegritySha256, Bytes(32)}, {rtc::c_nStunMessageIntegrity, integrity}}),
         "an attribute after MESSAGE-INTEGRITY"},
        {"a short MESSAGE-INTEGRITY", Message({{rtc::c_nStunMessageIntegrity, Bytes(16)}}),
         "a MESSAGE-INTEGRITY not 20 bytes long"},
        {"a long FINGERPRINT", Message({{rtc::c_nStunFingerprint, Bytes(8)}}), "a FINGERPRINT not 4 bytes long"},
        {"a MESSAGE-INTEGRITY-SHA256 cut to 12", Message({{rtc::c_nStunMessageIntegritySha256, Bytes(12)}}),
         "a MESSAGE-INTEGRITY-SHA256 of a wrong length"},
        {"a MESSAGE-INTEGRITY-SHA256 of 30", Message({{rtc::c_nStunMessageIntegritySha256, Bytes(30)}}),
         "a MESSAGE-INTEGRITY-SHA256 of a wrong length"},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        rtc::StunMessage message;
        const char* pszReason = nullptr;
        const bool bParsed = rtc::ParseStun(test.bytes.data(), test.bytes.size(), &message, &pszReason);
        EXPECT_EQ(*test.pszReason == '\0', bParsed);
        EXPECT_STREQ(test.pszReason, pszReason);
        if (!bParsed)
        {
            EXPECT_EQ(0u, message.cAttributes);
        }
    }
    // What closes a message may close it in that order.
    rtc::StunMessage message;
    ASSERT_TRUE(Parse(wellFormed, &message));
    EXPECT_EQ(4u, message.cAttributes);
    // 32 attributes are taken.
    many.pop_back();
    const Bytes thirtyTwo = Message(many);
    ASSERT_TRUE(Parse(thirtyTwo, &message));
    EXPECT_EQ(32u, message.cAttributes);
}

// Attributes the reader took whole but whose values are wrong are not read.
TEST(StunTest, MalformedAttributeValuesAreNotRead)
{
    const Bytes xorV4 = {0, 1, 0xa1, 0x47, 0xe1, 0x12, 0xa6, 0x43};
    const Bytes errorCode = {0, 0, 4, 87};
    auto edited = [](Bytes bytes, size_t i, uint8_t b) {
        bytes[i] = b;
        return bytes;
    };
    using Reader = bool (*)(const rtc::StunMessage&);
    const Reader address = [](const rtc::StunMessage& m) {
        rtc::NetAddress address;
        return rtc::ReadStunXorMappedAddress(m, &address);
    };
    const Reader error = [](const rtc::StunMessage& m) {
        int nCode = 0;
        std::string_view reason;
        return rtc::ReadStunErrorCode(m, &nCode, &reason) && nCode == 487;
    };
    const Reader priority = [](const rtc::StunMessage& m) {
        uint32_t n = 0;
        return rtc::ReadStunPriority(m, &n);
    };
    const Reader controlling = [](const rtc::StunMessage& m) {
        uint64_t n = 0;
        return rtc::ReadStunIceControlling(m, &n);
    };
    const Reader username = [](const rtc::StunMessage& m) {
        std::string_view username;
        return rtc::ReadStunUsername(m, &username);
    };
    const struct
    {
        const char* pszName;
        uint16_t nType;
        Bytes value;
        Reader read;
        bool bRead;
    } rgCases[] = {
        {"an IPv4 address", rtc::c_nStunXorMappedAddress, xorV4, address, true},
        {"family 3", rtc::c_nStunXorMappedAddress, edited(xorV4, 1, 3), address, false},
        {"IPv6 in IPv4's room", rtc::c_nStunXorMappedAddress, edited(xorV4, 1, 2), address, false},
        {"an address cut short", rtc::c_nStunXorMappedAddress, Bytes(xorV4.begin(), xorV4.begin() + 7), address,
         false},
        {"error 487", rtc::c_nStunErrorCode, errorCode, error, true},
        {"error class 7", rtc::c_nStunErrorCode, edited(errorCode, 2, 7), error, false},
        {"error class 2", rtc::c_nStunErrorCode, edited(errorCode, 2, 2), error, false},
        {"error number 100", rtc::c_nStunErrorCode, edited(errorCode, 3, 100), error, false},
        {"an error cut short", rtc::c_nStunErrorCode, Bytes(3), error, false},
        {"a priority of 3 bytes", rtc::c_nStunPriority, Bytes(3), priority, false},
        {"a tiebreaker of 4 bytes", rtc::c_nStunIceControlling, Bytes(4), controlling, false},
        {"USE-CANDIDATE with a value", rtc::c_nStunUseCandidate, Bytes(1), rtc::HasStunUseCandidate, false},
        {"a username of 512 bytes", rtc::c_nStunUsername, Bytes(512, 'u'), username, true},
        {"a username of 513 bytes", rtc::c_nStunUsername, Bytes(513, 'u'), username, false},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        const Bytes bytes = Message({{test.nType, test.value}});
        rtc::StunMessage message;
        ASSERT_TRUE(Parse(bytes, &message));
        EXPECT_EQ(test.bRead, test.read(message));
        EXPECT_FALSE(rtc::CheckMessageIntegrity(message, Key("x"), 1)) << "none there";
        EXPECT_FALSE(rtc::CheckFingerprint(message)) << "none there";
    }
}

// The writer stops at the end of the buffer and at attributes out of
// order, and a failed message is not to be sent.
TEST(StunTest, WriterFailsRatherThanOverrun)
{
    const uint8_t rgbKey[] = {'k'};
    uint8_t rgb[64];
    const struct
    {
        const char* pszName;
        size_t cbMax;
        void (*write)(rtc::StunWriter& writer, const uint8_t* pbKey);
        bool bFailed;
    } rgCases[] = {
        {"a header in 19 bytes", 19, [](rtc::StunWriter&, const uint8_t*) {}, true},
        {"integrity and fingerprint in 52", 52,
         [](rtc::StunWriter& w, const uint8_t* pbKey) {
             w.AddMessageIntegrity(pbKey, 1);
             w.AddFingerprint();
         },
         false},
        {"integrity and fingerprint in 51", 51,
         [](rtc::StunWriter& w, const uint8_t* pbKey) {
             w.AddMessageIntegrity(pbKey, 1);
             w.AddFingerprint();
         },
         true},
        {"an attribute after integrity", 64,
         [](rtc::StunWriter& w, const uint8_t* pbKey) {
             w.AddMessageIntegrity(pbKey, 1);
             w.AddUint32(rtc::c_nStunPriority, 1);
         },
         true},
        {"an attribute after fingerprint", 64,
         [](rtc::StunWriter& w, const uint8_t*) {
             w.AddFingerprint();
             w.AddUint32(rtc::c_nStunPriority, 1);
         },
         true},
        {"a code out of range", 64, [](rtc::StunWriter& w, const uint8_t*) { w.AddErrorCode(700, ""); }, true},
        {"an address of no family", 64,
         [](rtc::StunWriter& w, const uint8_t*) { w.AddXorMappedAddress(rtc::NetAddress()); }, true},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        std::memset(rgb, 0xEE, sizeof(rgb));
        rtc::StunWriter writer(rgb, test.cbMax);
        writer.Begin(rtc::c_nStunBinding, rtc::StunClass::Request, c_rgbRfcTransactionId);
        test.write(writer, rgbKey);
        EXPECT_EQ(test.bFailed, writer.Failed());
        EXPECT_LE(writer.Size(), test.cbMax);
        for (size_t i = test.cbMax; i < sizeof(rgb); i++)
            ASSERT_EQ(0xEE, rgb[i]) << "written past the buffer at " << i;
    }
}

} // namespace
