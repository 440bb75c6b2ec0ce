// SRTP over fixed keys: each profile protects and unprotects RTP and RTCP
// between mirrored sessions, altered and replayed packets are refused, and
// buffers libsrtp could overrun are refused before it sees them.
#include <gtest/gtest.h>

#include "rtc/CryptoVersions.h"
#include "rtc/SrtpSession.h"
#include "tests/RtcSrtpCheck.h"

#include <cstring>
#include <memory>
#include <string>

namespace {

// Keys as the two ends of a DTLS association hold them: one's local is
// the other's remote.
rtc::SrtpKeys Keys(rtc::ESrtpProfile profile, size_t cbSalt, bool bFirst)
{
    rtc::SrtpKeys keys;
    keys.profile = profile;
    keys.cbKey = 16;
    keys.cbSalt = cbSalt;
    for (size_t i = 0; i < rtc::c_cbSrtpMaxMasterKeySalt; i++)
    {
        keys.rgbLocal[i] = static_cast<uint8_t>(bFirst ? i : 0x80 + i);
        keys.rgbRemote[i] = static_cast<uint8_t>(bFirst ? 0x80 + i : i);
    }
    return keys;
}

struct ProfileCase
{
    rtc::ESrtpProfile profile;
    size_t cbSalt;
    size_t cbRtpAdded;  // the tag
    size_t cbRtcpAdded; // the tag and the SRTCP index
};

const ProfileCase c_rgProfiles[] = {
    {rtc::ESrtpProfile::AesCm128HmacSha1_80, 14, 10, 14},
    {rtc::ESrtpProfile::AeadAes128Gcm, 12, 16, 20},
};

class SrtpPair
{
public:
    explicit SrtpPair(const ProfileCase& profile)
    {
        std::string reason;
        pA = rtc::SrtpSession::Create(Keys(profile.profile, profile.cbSalt, true), &reason);
        EXPECT_TRUE(pA) << reason;
        pB = rtc::SrtpSession::Create(Keys(profile.profile, profile.cbSalt, false), &reason);
        EXPECT_TRUE(pB) << reason;
    }

    std::unique_ptr<rtc::SrtpSession> pA;
    std::unique_ptr<rtc::SrtpSession> pB;
};

TEST(SrtpTest, EachProfileCarriesRtpAndRtcpBothWays)
{
    for (const ProfileCase& profile : c_rgProfiles)
    {
        SCOPED_TRACE(rtc::SrtpProfileName(profile.profile));
        SrtpPair pair(profile);
        ASSERT_TRUE(pair.pA && pair.pB);
        ExpectSrtpRoundTrip(*pair.pA, *pair.pB, ESrtpPacket::Rtp, profile.cbRtpAdded);
        ExpectSrtpRoundTrip(*pair.pA, *pair.pB, ESrtpPacket::Rtcp, profile.cbRtcpAdded);
        ExpectSrtpRoundTrip(*pair.pB, *pair.pA, ESrtpPacket::Rtp, profile.cbRtpAdded);
        ExpectSrtpRoundTrip(*pair.pB, *pair.pA, ESrtpPacket::Rtcp, profile.cbRtcpAdded);
    }
}

// A packet that arrives twice is refused the second time; one the sender
// sends again (asked for by a NACK) is protected again as it was.
TEST(SrtpTest, ReplayIsRefusedAndRepeatedSendingAllowed)
{
    SrtpPair pair(c_rgProfiles[0]);
    ASSERT_TRUE(pair.pA && pair.pB);
    const std::vector<uint8_t> packet = SamplePacket(ESrtpPacket::Rtp, 7);
    SrtpBuffer first;
    SrtpBuffer again;
    size_t cbFirst = 0;
    size_t cbAgain = 0;
    std::memcpy(first.Bytes(), packet.data(), packet.size());
    std::memcpy(again.Bytes(), packet.data(), packet.size());
    ASSERT_TRUE(pair.pA->ProtectRtp(first.Bytes(), packet.size(), SrtpBuffer::c_cb, &cbFirst));
    ASSERT_TRUE(pair.pA->ProtectRtp(again.Bytes(), packet.size(), SrtpBuffer::c_cb, &cbAgain))
        << rtc::SrtpStatusText(pair.pA->LastProtectStatus());
    ASSERT_EQ(cbFirst, cbAgain);
    EXPECT_EQ(0, std::memcmp(first.Bytes(), again.Bytes(), cbFirst));

    size_t cbOut = 0;
    ASSERT_TRUE(pair.pB->UnprotectRtp(first.Bytes(), cbFirst, &cbOut));
    EXPECT_FALSE(pair.pB->UnprotectRtp(again.Bytes(), cbAgain, &cbOut));
    EXPECT_EQ(srtp_err_status_replay_fail, pair.pB->LastUnprotectStatus());
}

// libsrtp writes past the packet and reads it as words: a buffer without
// the room, or not aligned, is refused whole and left as it was.
TEST(SrtpTest, BuffersLibSrtpCouldOverrunAreRefused)
{
    SrtpPair pair(c_rgProfiles[1]);
    ASSERT_TRUE(pair.pA);
    const struct
    {
        const char* pszName;
        ESrtpPacket kind;
        size_t nOffset;
        size_t cbRoom;
    } rgCases[] = {
        {"RTP without room", ESrtpPacket::Rtp, 0, rtc::c_cbSrtpRoom - 1},
        {"RTCP without room", ESrtpPacket::Rtcp, 0, rtc::c_cbSrtcpRoom - 1},
        {"RTP unaligned", ESrtpPacket::Rtp, 2, rtc::c_cbSrtpRoom},
        {"RTCP unaligned", ESrtpPacket::Rtcp, 1, rtc::c_cbSrtcpRoom},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(test.pszName);
        const std::vector<uint8_t> packet = SamplePacket(test.kind);
        SrtpBuffer buffer;
        uint8_t* pb = buffer.Bytes() + test.nOffset;
        std::memcpy(pb, packet.data(), packet.size());
        size_t cbOut = 0;
        EXPECT_FALSE(Protect(*pair.pA, test.kind, pb, packet.size(), packet.size() + test.cbRoom, &cbOut));
        EXPECT_EQ(srtp_err_status_bad_param, pair.pA->LastProtectStatus());
        EXPECT_EQ(packet, std::vector<uint8_t>(pb, pb + packet.size()));
        EXPECT_EQ(0u, cbOut);
    }
}

TEST(SrtpTest, KeysThatDoNotFitTheProfileAreRefused)
{
    const struct
    {
        rtc::SrtpKeys keys;
        const char* pszReason;
    } rgCases[] = {
        {Keys(rtc::ESrtpProfile::None, 14, true), "no SRTP profile was agreed"},
        {Keys(rtc::ESrtpProfile::AeadAes128Gcm, 14, true), "the keys do not fit SRTP_AEAD_AES_128_GCM"},
    };
    for (const auto& test : rgCases)
    {
        std::string reason;
        EXPECT_FALSE(rtc::SrtpSession::Create(test.keys, &reason));
        EXPECT_EQ(test.pszReason, reason);
    }
}

// The property page shows them.
TEST(SrtpTest, LibraryVersionsAreNamed)
{
    EXPECT_EQ(0, std::strncmp(rtc::OpenSslVersionText(), "OpenSSL 3.", 10)) << rtc::OpenSslVersionText();
    EXPECT_EQ(0, std::strncmp(rtc::SrtpVersionText(), "libsrtp2 2.", 11)) << rtc::SrtpVersionText();
}

} // namespace
