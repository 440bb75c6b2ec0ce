#include "DtlsCertificate.h"

#include "OpenSslError.h"

#include <openssl/err.h>
#include <openssl/rand.h>

namespace rtc {

namespace {

const long c_nValidFromSeconds = -60L * 60;
const long c_nValidForSeconds = 30L * 24 * 60 * 60;
const char c_szCommonName[] = "corvasta";

} // namespace

bool CertificateSha256(X509* pCertificate, Sha256* pDigest)
{
    unsigned int cb = 0;
    return X509_digest(pCertificate, EVP_sha256(), pDigest->data(), &cb) == 1 && cb == pDigest->size();
}

std::string FingerprintText(const uint8_t* pb, size_t cb)
{
    static const char c_szHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(cb * 3);
    for (size_t i = 0; i < cb; i++)
    {
        if (i != 0)
            text += ':';
        text += c_szHex[pb[i] >> 4];
        text += c_szHex[pb[i] & 0x0F];
    }
    return text;
}

std::unique_ptr<DtlsCertificate> DtlsCertificate::Generate(std::string* pReason)
{
    ERR_clear_error();
    std::unique_ptr<DtlsCertificate> pCertificate(new DtlsCertificate());
    pCertificate->m_pKey.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    if (!pCertificate->m_pKey)
    {
        *pReason = OpenSslFailure("cannot make an ECDSA P-256 key");
        return nullptr;
    }

    X509Ptr pX509(X509_new());
    uint64_t nSerial = 0;
    if (!pX509 || RAND_bytes(reinterpret_cast<unsigned char*>(&nSerial), sizeof(nSerial)) != 1)
    {
        *pReason = OpenSslFailure("cannot draw the certificate's serial number");
        return nullptr;
    }
    // Positive and not zero, as X.509 asks of a serial number.
    nSerial = (nSerial >> 1) | 1;
    X509_NAME* pName = X509_get_subject_name(pX509.get());
    if (X509_set_version(pX509.get(), X509_VERSION_3) != 1 ||
        ASN1_INTEGER_set_uint64(X509_get_serialNumber(pX509.get()), nSerial) != 1 ||
        !X509_gmtime_adj(X509_getm_notBefore(pX509.get()), c_nValidFromSeconds) ||
        !X509_gmtime_adj(X509_getm_notAfter(pX509.get()), c_nValidForSeconds) ||
        X509_NAME_add_entry_by_txt(pName, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(c_szCommonName),
                                   -1, -1, 0) != 1 ||
        X509_set_issuer_name(pX509.get(), pName) != 1 ||
        X509_set_pubkey(pX509.get(), pCertificate->m_pKey.get()) != 1 ||
        X509_sign(pX509.get(), pCertificate->m_pKey.get(), EVP_sha256()) <= 0)
    {
        *pReason = OpenSslFailure("cannot make the self-signed certificate");
        return nullptr;
    }
    if (!CertificateSha256(pX509.get(), &pCertificate->m_fingerprint))
    {
        *pReason = OpenSslFailure("cannot hash the certificate");
        return nullptr;
    }
    pCertificate->m_pCertificate = std::move(pX509);
    pCertificate->m_fingerprintText =
        rtc::FingerprintText(pCertificate->m_fingerprint.data(), pCertificate->m_fingerprint.size());
    return pCertificate;
}

} // namespace rtc
