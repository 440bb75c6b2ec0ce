#include "Stun.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <cstring>
#include <memory>
#include <string>

namespace rtc {

namespace {

const size_t c_cbHmacSha1 = 20;
const size_t c_cbUsernameMax = 512;
const size_t c_cbErrorReasonMax = 763;
const size_t c_cbRealmOrNonceMax = 763;
const size_t c_cchErrorTextReasonMax = 128;
const uint32_t c_nFingerprintXor = 0x5354554E; // "STUN"

uint16_t Read16(const uint8_t* pb)
{
    return static_cast<uint16_t>((pb[0] << 8) | pb[1]);
}

uint32_t Read32(const uint8_t* pb)
{
    return (uint32_t(pb[0]) << 24) | (uint32_t(pb[1]) << 16) | (uint32_t(pb[2]) << 8) | pb[3];
}

void Write16(uint8_t* pb, uint16_t n)
{
    pb[0] = static_cast<uint8_t>(n >> 8);
    pb[1] = static_cast<uint8_t>(n);
}

void Write32(uint8_t* pb, uint32_t n)
{
    Write16(pb, static_cast<uint16_t>(n >> 16));
    Write16(pb + 2, static_cast<uint16_t>(n));
}

size_t Padded(size_t cb)
{
    return (cb + 3) & ~size_t(3);
}

// CRC-32 of IEEE 802.3 (reflected, polynomial 0xEDB88320), as FINGERPRINT
// takes it.
struct Crc32Table
{
    uint32_t rgn[256];

    constexpr Crc32Table() : rgn()
    {
        for (uint32_t i = 0; i < 256; i++)
        {
            uint32_t n = i;
            for (int bit = 0; bit < 8; bit++)
                n = (n & 1) ? (n >> 1) ^ 0xEDB88320u : n >> 1;
            rgn[i] = n;
        }
    }
};

constexpr Crc32Table c_crc32;

uint32_t Crc32(const uint8_t* pb, size_t cb)
{
    uint32_t n = 0xFFFFFFFFu;
    for (size_t i = 0; i < cb; i++)
        n = c_crc32.rgn[(n ^ pb[i]) & 0xFF] ^ (n >> 8);
    return n ^ 0xFFFFFFFFu;
}

struct MacFree
{
    void operator()(EVP_MAC* p) const { EVP_MAC_free(p); }
    void operator()(EVP_MAC_CTX* p) const { EVP_MAC_CTX_free(p); }
};

// HMAC-SHA1 of the two pieces one after the other.
bool HmacSha1(const uint8_t* pbKey, size_t cbKey, const uint8_t* pbFirst, size_t cbFirst, const uint8_t* pbSecond,
              size_t cbSecond, uint8_t rgbMac[c_cbHmacSha1])
{
    std::unique_ptr<EVP_MAC, MacFree> pMac(EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr));
    if (!pMac)
        return false;
    std::unique_ptr<EVP_MAC_CTX, MacFree> pCtx(EVP_MAC_CTX_new(pMac.get()));
    if (!pCtx)
        return false;
    char szDigest[] = OSSL_DIGEST_NAME_SHA1;
    const OSSL_PARAM rgParams[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, szDigest, 0),
        OSSL_PARAM_construct_end(),
    };
    // An empty key still needs a pointer: a null one means "keep the last key".
    static const uint8_t c_bNoKey = 0;
    size_t cbMac = 0;
    return EVP_MAC_init(pCtx.get(), cbKey != 0 ? pbKey : &c_bNoKey, cbKey, rgParams) == 1 &&
           EVP_MAC_update(pCtx.get(), pbFirst, cbFirst) == 1 &&
           (cbSecond == 0 || EVP_MAC_update(pCtx.get(), pbSecond, cbSecond) == 1) &&
           EVP_MAC_final(pCtx.get(), rgbMac, &cbMac, c_cbHmacSha1) == 1 && cbMac == c_cbHmacSha1;
}

// Where an attribute's header starts in its message.
size_t OffsetOf(const StunMessage& message, const StunAttribute& attribute)
{
    return static_cast<size_t>(attribute.pb - message.pb) - 4;
}

// Where an attribute may stand relative to the integrity and fingerprint
// attributes, which close a message in that order.
enum class Tail
{
    Open,
    AfterIntegrity,
    AfterIntegritySha256,
    AfterFingerprint,
};

} // namespace

const StunAttribute* StunMessage::Find(uint16_t nType) const
{
    for (size_t i = 0; i < cAttributes; i++)
        if (rgAttributes[i].nType == nType)
            return &rgAttributes[i];
    return nullptr;
}

uint16_t StunMessageType(uint16_t nMethod, StunClass nClass)
{
    const uint16_t nClassBits = static_cast<uint16_t>(nClass);
    return static_cast<uint16_t>((nMethod & 0x000F) | ((nMethod & 0x0070) << 1) | ((nMethod & 0x0F80) << 2) |
                                 ((nClassBits & 1) << 4) | ((nClassBits & 2) << 7));
}

uint16_t StunMethodOf(uint16_t nType)
{
    return static_cast<uint16_t>((nType & 0x000F) | ((nType & 0x00E0) >> 1) | ((nType & 0x3E00) >> 2));
}

StunClass StunClassOf(uint16_t nType)
{
    return static_cast<StunClass>(((nType >> 4) & 1) | ((nType >> 7) & 2));
}

bool LooksLikeStun(const uint8_t* pb, size_t cb)
{
    return pb != nullptr && cb >= c_cbStunHeader && pb[0] <= 3 && Read32(pb + 4) == c_nStunMagicCookie;
}

bool ParseStun(const uint8_t* pb, size_t cb, StunMessage* pMessage, const char** ppszReason)
{
    *ppszReason = "";
    *pMessage = StunMessage();
    if (pb == nullptr || cb < c_cbStunHeader)
    {
        *ppszReason = "shorter than a STUN header";
        return false;
    }
    if ((pb[0] & 0xC0) != 0)
    {
        *ppszReason = "the first two bits are not zero";
        return false;
    }
    if (Read32(pb + 4) != c_nStunMagicCookie)
    {
        *ppszReason = "no magic cookie";
        return false;
    }
    const size_t cbBody = Read16(pb + 2);
    if (cbBody % 4 != 0)
    {
        *ppszReason = "a length that is not a multiple of 4";
        return false;
    }
    if (c_cbStunHeader + cbBody != cb)
    {
        *ppszReason = "a length other than the datagram's";
        return false;
    }

    StunMessage& message = *pMessage;
    message.pb = pb;
    message.cb = cb;
    message.nMethod = StunMethodOf(Read16(pb));
    message.nClass = StunClassOf(Read16(pb));
    std::memcpy(message.rgbTransactionId, pb + 8, c_cbStunTransactionId);

    Tail tail = Tail::Open;
    for (size_t i = c_cbStunHeader; i < cb;)
    {
        // The length is a multiple of 4, so a header always fits.
        const uint16_t nType = Read16(pb + i);
        const uint16_t cbValue = Read16(pb + i + 2);
        if (Padded(cbValue) > cb - i - 4)
        {
            *ppszReason = "an attribute longer than the message";
            break;
        }
        if (message.cAttributes == c_cStunAttributesMax)
        {
            *ppszReason = "more than 32 attributes";
            break;
        }
        if (tail == Tail::AfterFingerprint)
        {
            *ppszReason = "an attribute after FINGERPRINT";
            break;
        }
        if (nType == c_nStunFingerprint)
        {
            if (cbValue != 4)
            {
                *ppszReason = "a FINGERPRINT not 4 bytes long";
                break;
            }
            tail = Tail::AfterFingerprint;
        }
        else if (nType == c_nStunMessageIntegritySha256 && tail != Tail::AfterIntegritySha256)
        {
            // 32 bytes, or cut to a multiple of 4 no shorter than 16.
            if (cbValue < 16 || cbValue > 32 || cbValue % 4 != 0)
            {
                *ppszReason = "a MESSAGE-INTEGRITY-SHA256 of a wrong length";
                break;
            }
            tail = Tail::AfterIntegritySha256;
        }
        else if (tail != Tail::Open)
        {
            *ppszReason = "an attribute after MESSAGE-INTEGRITY";
            break;
        }
        else if (nType == c_nStunMessageIntegrity)
        {
            if (cbValue != c_cbHmacSha1)
            {
                *ppszReason = "a MESSAGE-INTEGRITY not 20 bytes long";
                break;
            }
            tail = Tail::AfterIntegrity;
        }
        StunAttribute& attribute = message.rgAttributes[message.cAttributes++];
        attribute.nType = nType;
        attribute.cb = cbValue;
        attribute.pb = pb + i + 4;
        i += 4 + Padded(cbValue);
    }
    if (**ppszReason != '\0')
    {
        *pMessage = StunMessage();
        return false;
    }
    return true;
}

bool ReadStunUsername(const StunMessage& message, std::string_view* pUsername)
{
    const StunAttribute* pAttribute = message.Find(c_nStunUsername);
    if (pAttribute == nullptr || pAttribute->cb > c_cbUsernameMax)
        return false;
    *pUsername = std::string_view(reinterpret_cast<const char*>(pAttribute->pb), pAttribute->cb);
    return true;
}

bool ReadStunXorAddress(const StunMessage& message, uint16_t nType, NetAddress* pAddress)
{
    const StunAttribute* pAttribute = message.Find(nType);
    if (pAttribute == nullptr || pAttribute->cb < 4)
        return false;
    const uint8_t* pb = pAttribute->pb;
    // The first byte is reserved and ignored.
    const uint8_t nFamily = pb[1] == 0x01 ? 4 : pb[1] == 0x02 ? 6 : 0;
    const size_t cbAddress = nFamily == 4 ? 4 : 16;
    if (nFamily == 0 || pAttribute->cb != 4 + cbAddress)
        return false;
    // The address is XORed with the cookie, and an IPv6 one further with
    // the transaction id; the port with the cookie's high half.
    uint8_t rgbMask[16];
    Write32(rgbMask, c_nStunMagicCookie);
    std::memcpy(rgbMask + 4, message.rgbTransactionId, c_cbStunTransactionId);
    NetAddress address;
    address.nFamily = nFamily;
    address.nPort = static_cast<uint16_t>(Read16(pb + 2) ^ (c_nStunMagicCookie >> 16));
    for (size_t i = 0; i < cbAddress; i++)
        address.rgbAddress[i] = static_cast<uint8_t>(pb[4 + i] ^ rgbMask[i]);
    *pAddress = address;
    return true;
}

bool ReadStunXorMappedAddress(const StunMessage& message, NetAddress* pAddress)
{
    return ReadStunXorAddress(message, c_nStunXorMappedAddress, pAddress);
}

bool ReadStunUint32(const StunMessage& message, uint16_t nType, uint32_t* pn)
{
    const StunAttribute* pAttribute = message.Find(nType);
    if (pAttribute == nullptr || pAttribute->cb != 4)
        return false;
    *pn = Read32(pAttribute->pb);
    return true;
}

bool ReadStunRealmOrNonce(const StunMessage& message, uint16_t nType, std::string_view* pText)
{
    const StunAttribute* pAttribute = message.Find(nType);
    if (pAttribute == nullptr || pAttribute->cb > c_cbRealmOrNonceMax)
        return false;
    *pText = std::string_view(reinterpret_cast<const char*>(pAttribute->pb), pAttribute->cb);
    return true;
}

bool ReadStunPriority(const StunMessage& message, uint32_t* pnPriority)
{
    return ReadStunUint32(message, c_nStunPriority, pnPriority);
}

bool HasStunUseCandidate(const StunMessage& message)
{
    const StunAttribute* pAttribute = message.Find(c_nStunUseCandidate);
    return pAttribute != nullptr && pAttribute->cb == 0;
}

namespace {

bool ReadUint64(const StunMessage& message, uint16_t nType, uint64_t* pn)
{
    const StunAttribute* pAttribute = message.Find(nType);
    if (pAttribute == nullptr || pAttribute->cb != 8)
        return false;
    *pn = (uint64_t(Read32(pAttribute->pb)) << 32) | Read32(pAttribute->pb + 4);
    return true;
}

} // namespace

bool ReadStunIceControlled(const StunMessage& message, uint64_t* pnTiebreaker)
{
    return ReadUint64(message, c_nStunIceControlled, pnTiebreaker);
}

bool ReadStunIceControlling(const StunMessage& message, uint64_t* pnTiebreaker)
{
    return ReadUint64(message, c_nStunIceControlling, pnTiebreaker);
}

bool ReadStunErrorCode(const StunMessage& message, int* pnCode, std::string_view* pReason)
{
    const StunAttribute* pAttribute = message.Find(c_nStunErrorCode);
    if (pAttribute == nullptr || pAttribute->cb < 4 || pAttribute->cb > 4 + c_cbErrorReasonMax)
        return false;
    // 21 reserved bits, the class (3..6) and the number (0..99).
    const int nClass = pAttribute->pb[2] & 0x07;
    const int nNumber = pAttribute->pb[3];
    if (nClass < 3 || nClass > 6 || nNumber > 99)
        return false;
    *pnCode = nClass * 100 + nNumber;
    *pReason = std::string_view(reinterpret_cast<const char*>(pAttribute->pb + 4), pAttribute->cb - 4u);
    return true;
}

namespace {

const char* StandardPhrase(int nCode)
{
    switch (nCode)
    {
    case 300: return "Try Alternate";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 420: return "Unknown Attribute";
    case 437: return "Allocation Mismatch";
    case 438: return "Stale Nonce";
    case 440: return "Address Family not Supported";
    case 441: return "Wrong Credentials";
    case 442: return "Unsupported Transport Protocol";
    case 443: return "Peer Address Family Mismatch";
    case 486: return "Allocation Quota Reached";
    case 487: return "Role Conflict";
    case 500: return "Server Error";
    case 508: return "Insufficient Capacity";
    }
    return "";
}

} // namespace

std::string StunErrorText(int nCode, std::string_view reason)
{
    std::string phrase;
    for (char ch : reason.substr(0, c_cchErrorTextReasonMax))
        phrase += (ch >= 0x20 && ch < 0x7F) ? ch : '?';
    while (!phrase.empty() && phrase.back() == ' ')
        phrase.pop_back();
    if (phrase.empty())
        phrase = StandardPhrase(nCode);
    return phrase.empty() ? std::to_string(nCode) : std::to_string(nCode) + " " + phrase;
}

bool StunLongTermKey(std::string_view username, std::string_view realm, std::string_view password,
                     uint8_t rgbKey[c_cbStunLongTermKey])
{
    struct Free
    {
        void operator()(EVP_MD* p) const { EVP_MD_free(p); }
        void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
    };
    std::unique_ptr<EVP_MD, Free> pMd(EVP_MD_fetch(nullptr, OSSL_DIGEST_NAME_MD5, nullptr));
    std::unique_ptr<EVP_MD_CTX, Free> pCtx(EVP_MD_CTX_new());
    unsigned cbKey = 0;
    return pMd && pCtx && EVP_DigestInit_ex2(pCtx.get(), pMd.get(), nullptr) == 1 &&
           EVP_DigestUpdate(pCtx.get(), username.data(), username.size()) == 1 &&
           EVP_DigestUpdate(pCtx.get(), ":", 1) == 1 &&
           EVP_DigestUpdate(pCtx.get(), realm.data(), realm.size()) == 1 &&
           EVP_DigestUpdate(pCtx.get(), ":", 1) == 1 &&
           EVP_DigestUpdate(pCtx.get(), password.data(), password.size()) == 1 &&
           EVP_DigestFinal_ex(pCtx.get(), rgbKey, &cbKey) == 1 && cbKey == c_cbStunLongTermKey;
}

bool CheckMessageIntegrity(const StunMessage& message, const uint8_t* pbKey, size_t cbKey)
{
    // The reader lets through one at most, followed by nothing but
    // FINGERPRINT or MESSAGE-INTEGRITY-SHA256.
    const StunAttribute* pIntegrity = message.Find(c_nStunMessageIntegrity);
    if (pIntegrity == nullptr)
        return false;
    // The HMAC covers the message up to the attribute, its header's length
    // counting to the attribute's end as if it were the last.
    const size_t cbCovered = OffsetOf(message, *pIntegrity);
    uint8_t rgbHeader[c_cbStunHeader];
    std::memcpy(rgbHeader, message.pb, c_cbStunHeader);
    Write16(rgbHeader + 2, static_cast<uint16_t>(cbCovered + 4 + c_cbHmacSha1 - c_cbStunHeader));
    uint8_t rgbMac[c_cbHmacSha1];
    if (!HmacSha1(pbKey, cbKey, rgbHeader, c_cbStunHeader, message.pb + c_cbStunHeader,
                  cbCovered - c_cbStunHeader, rgbMac))
        return false;
    return CRYPTO_memcmp(rgbMac, pIntegrity->pb, c_cbHmacSha1) == 0;
}

bool CheckFingerprint(const StunMessage& message)
{
    // The reader lets it through only last, so the header's length already
    // counts it.
    const StunAttribute* pFingerprint = message.Find(c_nStunFingerprint);
    if (pFingerprint == nullptr)
        return false;
    const size_t cbCovered = OffsetOf(message, *pFingerprint);
    return (Crc32(message.pb, cbCovered) ^ c_nFingerprintXor) == Read32(pFingerprint->pb);
}

StunWriter::StunWriter(uint8_t* pb, size_t cbMax) : m_pb(pb), m_cbMax(pb != nullptr ? cbMax : 0)
{
}

void StunWriter::Begin(uint16_t nMethod, StunClass nClass, const uint8_t rgbTransactionId[c_cbStunTransactionId])
{
    m_cb = 0;
    m_bBegun = m_bIntegrity = m_bFingerprint = m_bFailed = false;
    if (m_cbMax < c_cbStunHeader || nMethod > 0x0FFF)
    {
        m_bFailed = true;
        return;
    }
    Write16(m_pb, StunMessageType(nMethod, nClass));
    Write16(m_pb + 2, 0);
    Write32(m_pb + 4, c_nStunMagicCookie);
    std::memcpy(m_pb + 8, rgbTransactionId, c_cbStunTransactionId);
    m_cb = c_cbStunHeader;
    m_bBegun = true;
}

uint8_t* StunWriter::Reserve(uint16_t nType, size_t cbValue)
{
    if (m_bFailed || !m_bBegun || m_bFingerprint || (m_bIntegrity && nType != c_nStunFingerprint) ||
        cbValue > 0xFFFF)
    {
        m_bFailed = true;
        return nullptr;
    }
    const size_t cbAttribute = 4 + Padded(cbValue);
    if (cbAttribute > m_cbMax - m_cb || m_cb + cbAttribute - c_cbStunHeader > 0xFFFF)
    {
        m_bFailed = true;
        return nullptr;
    }
    uint8_t* pb = m_pb + m_cb;
    Write16(pb, nType);
    Write16(pb + 2, static_cast<uint16_t>(cbValue));
    std::memset(pb + 4 + cbValue, 0, Padded(cbValue) - cbValue);
    m_cb += cbAttribute;
    SetLength(m_cb);
    return pb + 4;
}

void StunWriter::SetLength(size_t cbMessage)
{
    Write16(m_pb + 2, static_cast<uint16_t>(cbMessage - c_cbStunHeader));
}

void StunWriter::AddAttribute(uint16_t nType, const void* pv, size_t cb)
{
    uint8_t* pb = Reserve(nType, cb);
    if (pb != nullptr && cb != 0)
        std::memcpy(pb, pv, cb);
}

void StunWriter::AddString(uint16_t nType, std::string_view value)
{
    AddAttribute(nType, value.data(), value.size());
}

void StunWriter::AddUint32(uint16_t nType, uint32_t n)
{
    uint8_t* pb = Reserve(nType, 4);
    if (pb != nullptr)
        Write32(pb, n);
}

void StunWriter::AddUint64(uint16_t nType, uint64_t n)
{
    uint8_t* pb = Reserve(nType, 8);
    if (pb != nullptr)
    {
        Write32(pb, static_cast<uint32_t>(n >> 32));
        Write32(pb + 4, static_cast<uint32_t>(n));
    }
}

void StunWriter::AddXorAddress(uint16_t nType, const NetAddress& address)
{
    const size_t cbAddress = address.AddressBytes();
    if (cbAddress == 0)
    {
        m_bFailed = true;
        return;
    }
    uint8_t* pb = Reserve(nType, 4 + cbAddress);
    if (pb == nullptr)
        return;
    uint8_t rgbMask[16];
    Write32(rgbMask, c_nStunMagicCookie);
    std::memcpy(rgbMask + 4, m_pb + 8, c_cbStunTransactionId);
    pb[0] = 0;
    pb[1] = address.nFamily == 4 ? 0x01 : 0x02;
    Write16(pb + 2, static_cast<uint16_t>(address.nPort ^ (c_nStunMagicCookie >> 16)));
    for (size_t i = 0; i < cbAddress; i++)
        pb[4 + i] = static_cast<uint8_t>(address.rgbAddress[i] ^ rgbMask[i]);
}

void StunWriter::AddXorMappedAddress(const NetAddress& address)
{
    AddXorAddress(c_nStunXorMappedAddress, address);
}

void StunWriter::AddErrorCode(int nCode, std::string_view reason)
{
    if (nCode < 300 || nCode > 699 || reason.size() > c_cbErrorReasonMax)
    {
        m_bFailed = true;
        return;
    }
    uint8_t* pb = Reserve(c_nStunErrorCode, 4 + reason.size());
    if (pb == nullptr)
        return;
    pb[0] = pb[1] = 0;
    pb[2] = static_cast<uint8_t>(nCode / 100);
    pb[3] = static_cast<uint8_t>(nCode % 100);
    if (!reason.empty())
        std::memcpy(pb + 4, reason.data(), reason.size());
}

void StunWriter::AddMessageIntegrity(const uint8_t* pbKey, size_t cbKey)
{
    // Reserving sets the length to count the attribute, as the HMAC needs.
    uint8_t* pb = Reserve(c_nStunMessageIntegrity, c_cbHmacSha1);
    if (pb == nullptr)
        return;
    m_bIntegrity = true;
    if (!HmacSha1(pbKey, cbKey, m_pb, pb - 4 - m_pb, nullptr, 0, pb))
        m_bFailed = true;
}

void StunWriter::AddFingerprint()
{
    uint8_t* pb = Reserve(c_nStunFingerprint, 4);
    if (pb == nullptr)
        return;
    m_bFingerprint = true;
    Write32(pb, Crc32(m_pb, pb - 4 - m_pb) ^ c_nFingerprintXor);
}

} // namespace rtc
