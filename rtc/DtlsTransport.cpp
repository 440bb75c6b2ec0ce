#include "DtlsTransport.h"

#include "OpenSslError.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/srtp.h>

#include <algorithm>
#include <cstring>

namespace rtc {

namespace {

const char c_szSrtpExporterLabel[] = "EXTRACTOR-dtls_srtp";
const unsigned int c_nMaxTimeoutUs = 60 * 1000 * 1000;

} // namespace

std::unique_ptr<DtlsTransport> DtlsTransport::Create(const DtlsCertificate& certificate, EDtlsRole role,
                                                     const std::vector<uint8_t>& peerFingerprint,
                                                     IDatagramSink& sink, std::string* pReason,
                                                     const DtlsOptions& options)
{
    std::unique_ptr<DtlsTransport> pTransport(new DtlsTransport(role, sink, options));
    if (!pTransport->Setup(certificate, peerFingerprint, pReason))
        return nullptr;
    return pTransport;
}

DtlsTransport::DtlsTransport(EDtlsRole role, IDatagramSink& sink, const DtlsOptions& options)
    : m_role(role), m_sink(sink), m_options(options)
{
}

DtlsTransport::~DtlsTransport()
{
    OPENSSL_cleanse(&m_keys, sizeof(m_keys));
}

bool DtlsTransport::Setup(const DtlsCertificate& certificate, const std::vector<uint8_t>& peerFingerprint,
                          std::string* pReason)
{
    if (peerFingerprint.size() != m_peerFingerprint.size())
    {
        *pReason = "the peer's fingerprint has " + std::to_string(peerFingerprint.size()) +
                   " bytes, not the 32 of a SHA-256";
        return false;
    }
    std::copy(peerFingerprint.begin(), peerFingerprint.end(), m_peerFingerprint.begin());

    ERR_clear_error();
    m_pCtx.reset(SSL_CTX_new(DTLS_method()));
    SSL_CTX* pCtx = m_pCtx.get();
    if (!pCtx || SSL_CTX_set_min_proto_version(pCtx, DTLS1_2_VERSION) != 1 ||
        SSL_CTX_set_max_proto_version(pCtx, DTLS1_2_VERSION) != 1 ||
        SSL_CTX_use_certificate(pCtx, certificate.Certificate()) != 1 ||
        SSL_CTX_use_PrivateKey(pCtx, certificate.PrivateKey()) != 1 || SSL_CTX_check_private_key(pCtx) != 1)
    {
        *pReason = OpenSslFailure("cannot set up DTLS 1.2 with the certificate");
        return false;
    }
    // Zero is success here.
    if (SSL_CTX_set_tlsext_use_srtp(pCtx, m_options.pszSrtpProfiles) != 0)
    {
        *pReason = OpenSslFailure((std::string("cannot offer the SRTP profiles ") + m_options.pszSrtpProfiles).c_str());
        return false;
    }
    // The peer must show a certificate; its fingerprint, not a chain, is
    // what makes it trusted.
    SSL_CTX_set_verify(pCtx, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
    SSL_CTX_set_cert_verify_callback(pCtx, VerifyPeer, this);
    // No path MTU probing through the caller's datagrams: the size is set.
    SSL_CTX_set_options(pCtx, SSL_OP_NO_QUERY_MTU);

    m_pBioMethod.reset(BIO_meth_new(BIO_TYPE_SOURCE_SINK, "rtc datagrams"));
    m_pSsl.reset(SSL_new(pCtx));
    if (!m_pBioMethod || !m_pSsl || BIO_meth_set_write(m_pBioMethod.get(), BioWrite) != 1 ||
        BIO_meth_set_read(m_pBioMethod.get(), BioRead) != 1 || BIO_meth_set_ctrl(m_pBioMethod.get(), BioCtrl) != 1)
    {
        *pReason = OpenSslFailure("cannot make the DTLS session");
        return false;
    }
    BIO* pBio = BIO_new(m_pBioMethod.get());
    if (!pBio)
    {
        *pReason = OpenSslFailure("cannot make the DTLS session's datagram channel");
        return false;
    }
    BIO_set_data(pBio, this);
    BIO_set_init(pBio, 1);
    SSL* pSsl = m_pSsl.get();
    SSL_set_bio(pSsl, pBio, pBio); // owned by the session from here
    SSL_set_app_data(pSsl, this);
    // Zero is failure here, the size success.
    if (SSL_set_mtu(pSsl, static_cast<long>(m_options.cbMtu)) == 0)
    {
        *pReason = OpenSslFailure(("cannot keep records within " + std::to_string(m_options.cbMtu) + " bytes").c_str());
        return false;
    }
    DTLS_set_timer_cb(pSsl, NextTimeoutUs);
    SSL_set_info_callback(pSsl, OnInfo);
    if (m_role == EDtlsRole::Server)
        SSL_set_accept_state(pSsl);
    else
        SSL_set_connect_state(pSsl);
    return true;
}

EDtlsEvent DtlsTransport::Start(uint64_t nNowMs)
{
    if (m_state != EState::Handshaking)
        return EDtlsEvent::None;
    return Drive(nNowMs);
}

EDtlsEvent DtlsTransport::OnDatagram(const uint8_t* pb, size_t cb, uint64_t nNowMs)
{
    if (m_state == EState::Closed || m_state == EState::Failed)
        return EDtlsEvent::None;
    if (cb == 0 || cb > c_cbMaxDtlsDatagram)
    {
        m_reason = "a datagram of " + std::to_string(cb) + " bytes; DTLS takes 1 to " +
                   std::to_string(c_cbMaxDtlsDatagram);
        return EDtlsEvent::Refused;
    }
    m_pbDatagram = pb;
    m_cbDatagram = cb;
    m_bDatagramRefused = false;
    EDtlsEvent event = Drive(nNowMs);
    m_pbDatagram = nullptr;
    if (event == EDtlsEvent::None && m_bDatagramRefused)
        return EDtlsEvent::Refused;
    return event;
}

EDtlsEvent DtlsTransport::OnTimer(uint64_t nNowMs)
{
    if (m_state != EState::Handshaking)
        return EDtlsEvent::None;
    ERR_clear_error();
    // Acts only when OpenSSL's own timer agrees that the flight is due.
    if (DTLSv1_handle_timeout(m_pSsl.get()) < 0)
        return Fail("the DTLS handshake timed out");
    UpdateDeadline(nNowMs);
    return EDtlsEvent::None;
}

void DtlsTransport::Close()
{
    if (m_state == EState::Connected)
    {
        ERR_clear_error();
        SSL_shutdown(m_pSsl.get());
        ERR_clear_error();
    }
    if (m_state == EState::Connected || m_state == EState::Handshaking)
    {
        m_state = EState::Closed;
        m_reason = "closed";
    }
    m_nDeadlineMs = c_nNoDtlsTimeout;
}

EDtlsEvent DtlsTransport::Drive(uint64_t nNowMs)
{
    ERR_clear_error();
    EDtlsEvent event = EDtlsEvent::None;
    SSL* pSsl = m_pSsl.get();
    if (m_state == EState::Handshaking)
    {
        int nResult = SSL_do_handshake(pSsl);
        event = nResult == 1 ? OnHandshakeDone() : OnSslResult(nResult);
    }
    if (m_state == EState::Connected)
    {
        // What else came: alerts, the peer's last flight again (answered
        // with ours), application data, which is not ours to read.
        uint8_t rgb[c_cbMaxDtlsDatagram];
        int nResult;
        while ((nResult = SSL_read(pSsl, rgb, sizeof(rgb))) > 0)
        {
        }
        EDtlsEvent eventRead = OnSslResult(nResult);
        if (eventRead != EDtlsEvent::None)
            event = eventRead;
    }
    UpdateDeadline(nNowMs);
    return event;
}

EDtlsEvent DtlsTransport::OnHandshakeDone()
{
    SSL* pSsl = m_pSsl.get();
    if (!m_bPeerVerified)
        return Fail("the peer's certificate was not checked against its fingerprint");
    const SRTP_PROTECTION_PROFILE* pProfile = SSL_get_selected_srtp_profile(pSsl);
    if (!pProfile)
    {
        SSL_shutdown(pSsl);
        return Fail("the peer agreed to none of the SRTP profiles " + std::string(m_options.pszSrtpProfiles));
    }
    SrtpKeys keys;
    switch (pProfile->id)
    {
    case SRTP_AES128_CM_SHA1_80:
        keys.profile = ESrtpProfile::AesCm128HmacSha1_80;
        keys.cbKey = 16;
        keys.cbSalt = 14;
        break;
    case SRTP_AEAD_AES_128_GCM:
        keys.profile = ESrtpProfile::AeadAes128Gcm;
        keys.cbKey = 16;
        keys.cbSalt = 12;
        break;
    default:
        SSL_shutdown(pSsl);
        return Fail(std::string("the peer chose the SRTP profile ") + pProfile->name + ", which is not offered");
    }
    uint8_t rgb[2 * c_cbSrtpMaxMasterKeySalt];
    const size_t cbKeySalt = keys.cbKey + keys.cbSalt;
    if (SSL_export_keying_material(pSsl, rgb, 2 * cbKeySalt, c_szSrtpExporterLabel, sizeof(c_szSrtpExporterLabel) - 1,
                                   nullptr, 0, 0) != 1)
    {
        SSL_shutdown(pSsl);
        return Fail(OpenSslFailure("cannot export the SRTP keys"));
    }
    // RFC 5764, 4.2: the client's key, the server's, the client's salt,
    // the server's.
    const uint8_t* pbClientKey = rgb;
    const uint8_t* pbServerKey = rgb + keys.cbKey;
    const uint8_t* pbClientSalt = rgb + 2 * keys.cbKey;
    const uint8_t* pbServerSalt = pbClientSalt + keys.cbSalt;
    const bool bClient = m_role == EDtlsRole::Client;
    std::memcpy(keys.rgbLocal, bClient ? pbClientKey : pbServerKey, keys.cbKey);
    std::memcpy(keys.rgbLocal + keys.cbKey, bClient ? pbClientSalt : pbServerSalt, keys.cbSalt);
    std::memcpy(keys.rgbRemote, bClient ? pbServerKey : pbClientKey, keys.cbKey);
    std::memcpy(keys.rgbRemote + keys.cbKey, bClient ? pbServerSalt : pbClientSalt, keys.cbSalt);
    OPENSSL_cleanse(rgb, sizeof(rgb));
    m_keys = keys;
    OPENSSL_cleanse(&keys, sizeof(keys));
    m_state = EState::Connected;
    m_reason.clear();
    return EDtlsEvent::Connected;
}

EDtlsEvent DtlsTransport::OnSslResult(int nResult)
{
    switch (SSL_get_error(m_pSsl.get(), nResult))
    {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
        return EDtlsEvent::None;
    case SSL_ERROR_ZERO_RETURN:
        m_state = EState::Closed;
        m_reason = "the peer closed the association";
        m_nDeadlineMs = c_nNoDtlsTimeout;
        return EDtlsEvent::Closed;
    default:
        return Fail(OpenSslFailure(m_state == EState::Handshaking ? "the DTLS handshake failed" : "DTLS failed"));
    }
}

EDtlsEvent DtlsTransport::Fail(const std::string& reason)
{
    // Our own check, then the peer's word, say more than OpenSSL's code.
    m_reason = !m_verifyFailure.empty() ? m_verifyFailure : !m_peerAlert.empty() ? m_peerAlert : reason;
    m_state = EState::Failed;
    m_nDeadlineMs = c_nNoDtlsTimeout;
    ERR_clear_error();
    return EDtlsEvent::Failed;
}

void DtlsTransport::UpdateDeadline(uint64_t nNowMs)
{
    timeval left = {};
    if (m_state == EState::Handshaking && DTLSv1_get_timeout(m_pSsl.get(), &left) == 1)
        m_nDeadlineMs =
            nNowMs + static_cast<uint64_t>(left.tv_sec) * 1000 + (static_cast<uint64_t>(left.tv_usec) + 999) / 1000;
    else
        m_nDeadlineMs = c_nNoDtlsTimeout;
}

int DtlsTransport::VerifyPeer(X509_STORE_CTX* pStore, void* pArg)
{
    auto* pThis = static_cast<DtlsTransport*>(pArg);
    const char* pszPeer = pThis->m_role == EDtlsRole::Server ? "client" : "server";
    Sha256 digest = {};
    X509* pCertificate = X509_STORE_CTX_get0_cert(pStore);
    if (!pCertificate || !CertificateSha256(pCertificate, &digest))
    {
        pThis->m_verifyFailure = std::string("cannot hash the ") + pszPeer + "'s certificate";
        X509_STORE_CTX_set_error(pStore, X509_V_ERR_UNSPECIFIED);
        return 0;
    }
    if (CRYPTO_memcmp(digest.data(), pThis->m_peerFingerprint.data(), digest.size()) != 0)
    {
        pThis->m_verifyFailure =
            std::string("the ") + pszPeer + "'s certificate does not match the offer's fingerprint";
        X509_STORE_CTX_set_error(pStore, X509_V_ERR_CERT_REJECTED);
        return 0;
    }
    // Self-signed, as WebRTC's are: the fingerprint is the whole check.
    pThis->m_bPeerVerified = true;
    return 1;
}

void DtlsTransport::OnInfo(const SSL* pSsl, int nWhere, int nValue)
{
    if ((nWhere & SSL_CB_READ_ALERT) && (nValue >> 8) == SSL3_AL_FATAL)
    {
        auto* pThis = static_cast<DtlsTransport*>(SSL_get_app_data(pSsl));
        pThis->m_peerAlert = std::string("the peer ended the association: ") + SSL_alert_desc_string_long(nValue);
    }
}

unsigned int DtlsTransport::NextTimeoutUs(SSL* pSsl, unsigned int nPreviousUs)
{
    if (nPreviousUs == 0)
    {
        auto* pThis = static_cast<DtlsTransport*>(SSL_get_app_data(pSsl));
        return std::min(pThis->m_options.nInitialTimeoutMs, c_nMaxTimeoutUs / 1000) * 1000;
    }
    return std::min(nPreviousUs * 2, c_nMaxTimeoutUs);
}

int DtlsTransport::BioWrite(BIO* pBio, const char* pb, int cb)
{
    BIO_clear_retry_flags(pBio);
    if (cb <= 0)
        return 0;
    // OpenSSL writes each datagram whole, its records packed to the MTU.
    static_cast<DtlsTransport*>(BIO_get_data(pBio))->m_sink.SendDatagram(reinterpret_cast<const uint8_t*>(pb),
                                                                         static_cast<size_t>(cb));
    return cb;
}

int DtlsTransport::BioRead(BIO* pBio, char* pb, int cb)
{
    auto* pThis = static_cast<DtlsTransport*>(BIO_get_data(pBio));
    BIO_clear_retry_flags(pBio);
    const uint8_t* pbDatagram = pThis->m_pbDatagram;
    pThis->m_pbDatagram = nullptr;
    if (pbDatagram != nullptr && cb >= 0 && pThis->m_cbDatagram <= static_cast<size_t>(cb))
    {
        std::memcpy(pb, pbDatagram, pThis->m_cbDatagram);
        return static_cast<int>(pThis->m_cbDatagram);
    }
    if (pbDatagram != nullptr)
    {
        // Never a part of a datagram: its records would be cut.
        pThis->m_bDatagramRefused = true;
        pThis->m_reason = "a datagram of " + std::to_string(pThis->m_cbDatagram) + " bytes, more than the " +
                          std::to_string(cb) + " OpenSSL reads";
    }
    BIO_set_retry_read(pBio);
    return -1;
}

long DtlsTransport::BioCtrl(BIO*, int nCommand, long, void*)
{
    // Writes go out at once; nothing else of a socket's is there to ask.
    return nCommand == BIO_CTRL_FLUSH ? 1 : 0;
}

} // namespace rtc
