// The SRTP profiles DTLS-SRTP may agree on (RFC 5764, RFC 7714) and the
// master keys it hands to SRTP, ours and the peer's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rtc {

enum class ESrtpProfile
{
    None,
    AesCm128HmacSha1_80, // SRTP_AES128_CM_HMAC_SHA1_80: 16-byte key, 14-byte salt
    AeadAes128Gcm,       // SRTP_AEAD_AES_128_GCM: 16-byte key, 12-byte salt
};

const size_t c_cbSrtpMaxMasterKeySalt = 30;

struct SrtpKeys
{
    ESrtpProfile profile = ESrtpProfile::None;
    size_t cbKey = 0;
    size_t cbSalt = 0;
    // Each the master key followed by the master salt: ours protects what
    // we send, the peer's unprotects what it sends.
    uint8_t rgbLocal[c_cbSrtpMaxMasterKeySalt] = {};
    uint8_t rgbRemote[c_cbSrtpMaxMasterKeySalt] = {};
};

// The profile's name in the use_srtp registry, e.g. "SRTP_AEAD_AES_128_GCM".
const char* SrtpProfileName(ESrtpProfile profile);

} // namespace rtc
