// STUN messages (RFC 8489) as ICE (RFC 8445) and TURN (RFC 8656) use them.
// The reader checks a datagram whole (header, every attribute's bounds, the
// places of MESSAGE-INTEGRITY and FINGERPRINT) and allocates nothing: its
// attributes point into the caller's bytes, which must outlive them. The
// writer fills a caller's buffer and says when it ran out of room.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rtc/NetAddress.h"

namespace rtc {

const uint32_t c_nStunMagicCookie = 0x2112A442;
const size_t c_cbStunHeader = 20;
const size_t c_cbStunTransactionId = 12;
const size_t c_cStunAttributesMax = 32;

enum class StunClass : uint8_t
{
    Request = 0,
    Indication = 1,
    Success = 2,
    Error = 3,
};

// Methods.
const uint16_t c_nStunBinding = 0x001;
const uint16_t c_nStunAllocate = 0x003;
const uint16_t c_nStunRefresh = 0x004;
const uint16_t c_nStunSendIndication = 0x006;
const uint16_t c_nStunDataIndication = 0x007;
const uint16_t c_nStunCreatePermission = 0x008;
const uint16_t c_nStunChannelBind = 0x009;

// Attribute types.
const uint16_t c_nStunMappedAddress = 0x0001;
const uint16_t c_nStunUsername = 0x0006;
const uint16_t c_nStunMessageIntegrity = 0x0008;
const uint16_t c_nStunErrorCode = 0x0009;
const uint16_t c_nStunUnknownAttributes = 0x000A;
const uint16_t c_nStunChannelNumber = 0x000C;
const uint16_t c_nStunLifetime = 0x000D;
const uint16_t c_nStunXorPeerAddress = 0x0012;
const uint16_t c_nStunData = 0x0013;
const uint16_t c_nStunRealm = 0x0014;
const uint16_t c_nStunNonce = 0x0015;
const uint16_t c_nStunXorRelayedAddress = 0x0016;
const uint16_t c_nStunRequestedTransport = 0x0019;
const uint16_t c_nStunMessageIntegritySha256 = 0x001C;
const uint16_t c_nStunXorMappedAddress = 0x0020;
const uint16_t c_nStunPriority = 0x0024;
const uint16_t c_nStunUseCandidate = 0x0025;
const uint16_t c_nStunSoftware = 0x8022;
const uint16_t c_nStunFingerprint = 0x8028;
const uint16_t c_nStunIceControlled = 0x8029;
const uint16_t c_nStunIceControlling = 0x802A;

// Error codes.
const int c_nStunBadRequest = 400;
const int c_nStunUnauthorized = 401;
const int c_nStunUnknownAttribute = 420;
const int c_nStunAllocationMismatch = 437;
const int c_nStunStaleNonce = 438;
const int c_nStunRoleConflict = 487;

struct StunAttribute
{
    uint16_t nType;
    uint16_t cb;       // the value's length, without its padding
    const uint8_t* pb; // the value, in the message
};

struct StunMessage
{
    const uint8_t* pb = nullptr; // the whole message: the caller's bytes
    size_t cb = 0;
    uint16_t nMethod = 0;
    StunClass nClass = StunClass::Request;
    uint8_t rgbTransactionId[c_cbStunTransactionId] = {};
    StunAttribute rgAttributes[c_cStunAttributesMax] = {};
    size_t cAttributes = 0;

    // The first attribute of the type; null when there is none.
    const StunAttribute* Find(uint16_t nType) const;
};

// The message type's bits interleave method and class.
uint16_t StunMessageType(uint16_t nMethod, StunClass nClass);
uint16_t StunMethodOf(uint16_t nType);
StunClass StunClassOf(uint16_t nType);

// A quick look for demultiplexing a datagram from DTLS, RTP and TURN
// channel data (RFC 7983): first byte 0..3 and the magic cookie.
bool LooksLikeStun(const uint8_t* pb, size_t cb);

// Reads the datagram whole. On failure returns false with the reason, and
// the message is not to be used; on success the reason is "".
bool ParseStun(const uint8_t* pb, size_t cb, StunMessage* pMessage, const char** ppszReason);

// Attribute readers: false when the attribute is absent or malformed.
bool ReadStunUsername(const StunMessage& message, std::string_view* pUsername);
// XOR-MAPPED-ADDRESS, or another attribute of its form (XOR-RELAYED-ADDRESS,
// XOR-PEER-ADDRESS) by type.
bool ReadStunXorAddress(const StunMessage& message, uint16_t nType, NetAddress* pAddress);
bool ReadStunXorMappedAddress(const StunMessage& message, NetAddress* pAddress);
bool ReadStunPriority(const StunMessage& message, uint32_t* pnPriority);
bool HasStunUseCandidate(const StunMessage& message);
bool ReadStunIceControlled(const StunMessage& message, uint64_t* pnTiebreaker);
bool ReadStunIceControlling(const StunMessage& message, uint64_t* pnTiebreaker);
// The code as class * 100 + number (300..699), and the reason phrase.
bool ReadStunErrorCode(const StunMessage& message, int* pnCode, std::string_view* pReason);
// A 32-bit value such as LIFETIME or PRIORITY, by type.
bool ReadStunUint32(const StunMessage& message, uint16_t nType, uint32_t* pn);
// REALM or NONCE, by type: at most 763 bytes.
bool ReadStunRealmOrNonce(const StunMessage& message, uint16_t nType, std::string_view* pText);

// An error for people: "401 Unauthorized". The server's reason phrase when
// it gave one (printable ASCII kept, at most 128 characters), else the
// phrase RFC 8489 and RFC 8656 give the code.
std::string StunErrorText(int nCode, std::string_view reason);

// The key of long-term credentials (RFC 8489, 9.2.2):
// MD5(username ":" realm ":" password). The three are taken as given:
// OpaqueString would leave ASCII ones as they are. False when MD5 is
// unavailable.
const size_t c_cbStunLongTermKey = 16;
bool StunLongTermKey(std::string_view username, std::string_view realm, std::string_view password,
                     uint8_t rgbKey[c_cbStunLongTermKey]);

// MESSAGE-INTEGRITY (HMAC-SHA1) with the key: for short-term credentials
// the password itself. False when the attribute is absent or does not match.
bool CheckMessageIntegrity(const StunMessage& message, const uint8_t* pbKey, size_t cbKey);
// False when FINGERPRINT is absent or does not match.
bool CheckFingerprint(const StunMessage& message);

// Writes a message into the caller's buffer: Begin, attributes, then
// MESSAGE-INTEGRITY and FINGERPRINT last. Once out of room, or used out of
// that order, it is Failed and writes nothing more.
class StunWriter
{
public:
    StunWriter(uint8_t* pb, size_t cbMax);

    void Begin(uint16_t nMethod, StunClass nClass, const uint8_t rgbTransactionId[c_cbStunTransactionId]);
    void AddAttribute(uint16_t nType, const void* pv, size_t cb);
    void AddString(uint16_t nType, std::string_view value);
    void AddUint32(uint16_t nType, uint32_t n);
    void AddUint64(uint16_t nType, uint64_t n);
    void AddXorAddress(uint16_t nType, const NetAddress& address);
    void AddXorMappedAddress(const NetAddress& address);
    void AddErrorCode(int nCode, std::string_view reason);
    void AddMessageIntegrity(const uint8_t* pbKey, size_t cbKey);
    void AddFingerprint();

    size_t Size() const { return m_cb; }
    bool Failed() const { return m_bFailed; }

private:
    uint8_t* Reserve(uint16_t nType, size_t cbValue);
    void SetLength(size_t cbMessage);

    uint8_t* m_pb;
    size_t m_cbMax;
    size_t m_cb = 0;
    bool m_bBegun = false;
    bool m_bIntegrity = false;
    bool m_bFingerprint = false;
    bool m_bFailed = false;
};

} // namespace rtc
