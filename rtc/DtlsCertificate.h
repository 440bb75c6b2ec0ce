// The certificate a WebRTC endpoint makes for itself: self-signed, ECDSA
// P-256, made at run time. Peers trust it through the SHA-256 fingerprint
// the session description carries (RFC 8122), not through a chain.
#pragma once

#include "rtc/OpenSslPtr.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace rtc {

const size_t c_cbSha256 = 32;
using Sha256 = std::array<uint8_t, c_cbSha256>;

// The SHA-256 of the certificate's DER form. False when OpenSSL cannot
// encode or hash it.
bool CertificateSha256(X509* pCertificate, Sha256* pDigest);
// As a=fingerprint writes it: upper-case hex pairs joined by colons.
std::string FingerprintText(const uint8_t* pb, size_t cb);

class DtlsCertificate
{
public:
    // A new key and certificate: a random serial, valid from an hour ago
    // (for peers whose clocks lag) for 30 days, subject and issuer
    // CN=corvasta. Null with the reason when OpenSSL fails.
    static std::unique_ptr<DtlsCertificate> Generate(std::string* pReason);

    X509* Certificate() const { return m_pCertificate.get(); }
    EVP_PKEY* PrivateKey() const { return m_pKey.get(); }
    const Sha256& Fingerprint() const { return m_fingerprint; }
    const std::string& FingerprintText() const { return m_fingerprintText; }

private:
    DtlsCertificate() = default;

    EvpPkeyPtr m_pKey;
    X509Ptr m_pCertificate;
    Sha256 m_fingerprint = {};
    std::string m_fingerprintText;
};

} // namespace rtc
