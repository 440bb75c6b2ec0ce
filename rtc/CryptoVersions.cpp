#include "CryptoVersions.h"

#include <openssl/crypto.h>
#include <srtp2/srtp.h>

namespace rtc {

const char* OpenSslVersionText()
{
    return OpenSSL_version(OPENSSL_VERSION);
}

const char* SrtpVersionText()
{
    return srtp_get_version_string();
}

} // namespace rtc
