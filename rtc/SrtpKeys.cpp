#include "SrtpKeys.h"

namespace rtc {

const char* SrtpProfileName(ESrtpProfile profile)
{
    switch (profile)
    {
    case ESrtpProfile::AesCm128HmacSha1_80:
        return "SRTP_AES128_CM_HMAC_SHA1_80";
    case ESrtpProfile::AeadAes128Gcm:
        return "SRTP_AEAD_AES_128_GCM";
    case ESrtpProfile::None:
        break;
    }
    return "none";
}

} // namespace rtc
