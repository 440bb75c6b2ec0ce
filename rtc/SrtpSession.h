// SRTP and SRTCP (RFC 3711, RFC 7714 for AES-GCM) over libsrtp2 with the
// keys DTLS-SRTP agreed. What we send and what the peer sends have
// sessions of their own, so that protecting media on one thread and
// unprotecting the peer's RTCP on another share nothing. Packets are
// worked on in place; libsrtp keeps a stream for each SSRC it meets.
#pragma once

#include "rtc/SrtpKeys.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace rtc {

// The room libsrtp asks for after a packet it protects, whatever it adds.
const size_t c_cbSrtpRoom = 144;
const size_t c_cbSrtcpRoom = 148;

class SrtpSession
{
public:
    // Null with the reason when libsrtp refuses the profile or the keys.
    static std::unique_ptr<SrtpSession> Create(const SrtpKeys& keys, std::string* pReason);
    ~SrtpSession();
    SrtpSession(const SrtpSession&) = delete;
    SrtpSession& operator=(const SrtpSession&) = delete;

    // With our key. pb holds cb bytes of the packet in a buffer of cbMax;
    // it must be 32-bit aligned (libsrtp reads words) and cbMax leave
    // c_cbSrtpRoom (c_cbSrtcpRoom) after the packet. *pcbOut: the
    // protected packet's size. Sending the same RTP packet again is allowed.
    bool ProtectRtp(uint8_t* pb, size_t cb, size_t cbMax, size_t* pcbOut);
    bool ProtectRtcp(uint8_t* pb, size_t cb, size_t cbMax, size_t* pcbOut);
    // With the peer's key: checked, decrypted, and refused when forged,
    // altered or replayed.
    bool UnprotectRtp(uint8_t* pb, size_t cb, size_t* pcbOut);
    bool UnprotectRtcp(uint8_t* pb, size_t cb, size_t* pcbOut);

    // libsrtp's srtp_err_status_t of the last call of each direction; a
    // buffer refused before libsrtp saw it is srtp_err_status_bad_param.
    int LastProtectStatus() const { return m_nProtectStatus; }
    int LastUnprotectStatus() const { return m_nUnprotectStatus; }

private:
    struct Context;
    SrtpSession();

    std::unique_ptr<Context> m_pOutbound;
    std::unique_ptr<Context> m_pInbound;
    int m_nProtectStatus = 0;
    int m_nUnprotectStatus = 0;
};

// Words for a libsrtp status, e.g. "authentication failed".
const char* SrtpStatusText(int nStatus);

} // namespace rtc
