// One peer's DTLS 1.2 association as DTLS-SRTP uses it (RFC 5763, 5764):
// records come in and go out as whole datagrams through the caller, with
// no socket; the caller's clock drives retransmission. The peer's
// certificate is trusted by its SHA-256 fingerprint from the session
// description alone. Once connected it yields the SRTP profile and the
// master keys, ours and the peer's. Application data is not carried.
// One thread at a time.
#pragma once

#include "rtc/DtlsCertificate.h"
#include "rtc/OpenSslPtr.h"
#include "rtc/SrtpKeys.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rtc {

// Server: the answerer with a=setup:passive, which the server always is
// unless the offer is passive itself; then it is the client.
enum class EDtlsRole
{
    Server,
    Client,
};

enum class EDtlsEvent
{
    None,
    Connected, // the handshake is done: SrtpKeys() holds the keys
    Closed,    // the peer sent close_notify
    Failed,    // the association is over: Reason() says why
    Refused,   // the datagram was dropped unread (Reason() says why); the association goes on
};

class IDatagramSink
{
public:
    // Called from within the transport's calls; must not call back into it.
    virtual void SendDatagram(const uint8_t* pb, size_t cb) = 0;

protected:
    ~IDatagramSink() = default;
};

// The largest datagram taken; WebRTC peers keep theirs near 1200 bytes.
const size_t c_cbMaxDtlsDatagram = 2048;
const uint64_t c_nNoDtlsTimeout = UINT64_MAX;

struct DtlsOptions
{
    // OpenSSL's names, in our order of preference: the server takes the
    // first of its own it finds among the client's.
    const char* pszSrtpProfiles = "SRTP_AEAD_AES_128_GCM:SRTP_AES128_CM_SHA1_80";
    // Before the first retransmission of a flight, doubling after each up
    // to a minute (RFC 6347, 4.2.4.1); the twelfth fails the handshake.
    uint32_t nInitialTimeoutMs = 1000;
    size_t cbMtu = 1200;
};

class DtlsTransport
{
public:
    // peerFingerprint: the SHA-256 of the peer's certificate, from its
    // a=fingerprint. Null with the reason when it is not a SHA-256 or
    // OpenSSL cannot be set up.
    static std::unique_ptr<DtlsTransport> Create(const DtlsCertificate& certificate, EDtlsRole role,
                                                 const std::vector<uint8_t>& peerFingerprint, IDatagramSink& sink,
                                                 std::string* pReason, const DtlsOptions& options = DtlsOptions());
    ~DtlsTransport();
    DtlsTransport(const DtlsTransport&) = delete;
    DtlsTransport& operator=(const DtlsTransport&) = delete;

    // The client sends its first flight; the server waits for it.
    EDtlsEvent Start(uint64_t nNowMs);
    EDtlsEvent OnDatagram(const uint8_t* pb, size_t cb, uint64_t nNowMs);
    // When OnTimer is next due, on the clock the calls pass;
    // c_nNoDtlsTimeout when nothing waits for an answer.
    uint64_t NextTimeoutMs() const { return m_nDeadlineMs; }
    // Sends the last flight again if it has gone unanswered for its
    // timeout. OpenSSL measures that timeout on the system clock itself,
    // so the caller's clock should follow real time.
    EDtlsEvent OnTimer(uint64_t nNowMs);
    // Sends close_notify once connected; the association is then over.
    void Close();

    bool IsConnected() const { return m_state == EState::Connected; }
    const std::string& Reason() const { return m_reason; }
    // The profile and keys, once connected.
    const SrtpKeys& Keys() const { return m_keys; }

private:
    enum class EState
    {
        Handshaking,
        Connected,
        Closed,
        Failed,
    };

    DtlsTransport(EDtlsRole role, IDatagramSink& sink, const DtlsOptions& options);
    bool Setup(const DtlsCertificate& certificate, const std::vector<uint8_t>& peerFingerprint,
               std::string* pReason);
    EDtlsEvent Drive(uint64_t nNowMs);
    EDtlsEvent OnHandshakeDone();
    EDtlsEvent OnSslResult(int nResult);
    EDtlsEvent Fail(const std::string& reason);
    void UpdateDeadline(uint64_t nNowMs);

    static int VerifyPeer(X509_STORE_CTX* pStore, void* pArg);
    static void OnInfo(const SSL* pSsl, int nWhere, int nValue);
    static unsigned int NextTimeoutUs(SSL* pSsl, unsigned int nPreviousUs);
    static int BioWrite(BIO* pBio, const char* pb, int cb);
    static int BioRead(BIO* pBio, char* pb, int cb);
    static long BioCtrl(BIO* pBio, int nCommand, long nArg, void* pArg);

    const EDtlsRole m_role;
    IDatagramSink& m_sink;
    const DtlsOptions m_options;
    Sha256 m_peerFingerprint = {};
    BioMethodPtr m_pBioMethod;
    SslCtxPtr m_pCtx;
    SslPtr m_pSsl;
    EState m_state = EState::Handshaking;
    std::string m_reason;
    std::string m_verifyFailure; // the verification's reason, ahead of OpenSSL's
    std::string m_peerAlert;     // the fatal alert the peer sent, ahead of OpenSSL's
    bool m_bPeerVerified = false;
    uint64_t m_nDeadlineMs = c_nNoDtlsTimeout;
    SrtpKeys m_keys;
    // The datagram being fed, until OpenSSL reads it.
    const uint8_t* m_pbDatagram = nullptr;
    size_t m_cbDatagram = 0;
    bool m_bDatagramRefused = false;
};

} // namespace rtc
