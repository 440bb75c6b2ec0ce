#include "SrtpSession.h"

#include <srtp2/srtp.h>

#include <climits>
#include <cstring>
#include <mutex>

namespace rtc {

static_assert(c_cbSrtpRoom == SRTP_MAX_TRAILER_LEN, "libsrtp's room after an RTP packet");
static_assert(c_cbSrtcpRoom == SRTP_MAX_TRAILER_LEN + 4, "libsrtp's room after an RTCP packet");

namespace {

using SrtpFunction = srtp_err_status_t (*)(srtp_t, void*, int*);

// libsrtp is started once for the process and never shut down: sessions
// may live until its end.
srtp_err_status_t StartLibSrtp()
{
    static std::once_flag s_once;
    static srtp_err_status_t s_status = srtp_err_status_ok;
    std::call_once(s_once, [] { s_status = srtp_init(); });
    return s_status;
}

bool ToLibSrtpProfile(ESrtpProfile profile, srtp_profile_t* pProfile)
{
    switch (profile)
    {
    case ESrtpProfile::AesCm128HmacSha1_80:
        *pProfile = srtp_profile_aes128_cm_sha1_80;
        return true;
    case ESrtpProfile::AeadAes128Gcm:
        *pProfile = srtp_profile_aead_aes_128_gcm;
        return true;
    case ESrtpProfile::None:
        break;
    }
    return false;
}

// The packet as libsrtp wants it, or srtp_err_status_bad_param: aligned,
// its size an int, and room for what libsrtp may write after it.
srtp_err_status_t Apply(SrtpFunction fApply, srtp_t pSrtp, uint8_t* pb, size_t cb, size_t cbMax, size_t cbRoom,
                        size_t* pcbOut)
{
    if (reinterpret_cast<uintptr_t>(pb) % 4 != 0 || cb > INT_MAX - c_cbSrtcpRoom || cbMax < cb ||
        cbMax - cb < cbRoom)
        return srtp_err_status_bad_param;
    int n = static_cast<int>(cb);
    srtp_err_status_t status = fApply(pSrtp, pb, &n);
    if (status == srtp_err_status_ok)
        *pcbOut = static_cast<size_t>(n);
    return status;
}

} // namespace

struct SrtpSession::Context
{
    srtp_t pSrtp = nullptr;

    ~Context()
    {
        if (pSrtp)
            srtp_dealloc(pSrtp);
    }
};

SrtpSession::SrtpSession() : m_pOutbound(new Context()), m_pInbound(new Context()) {}

SrtpSession::~SrtpSession() = default;

std::unique_ptr<SrtpSession> SrtpSession::Create(const SrtpKeys& keys, std::string* pReason)
{
    srtp_err_status_t status = StartLibSrtp();
    if (status != srtp_err_status_ok)
    {
        *pReason = std::string("libsrtp cannot start: ") + SrtpStatusText(status);
        return nullptr;
    }
    srtp_profile_t profile;
    if (!ToLibSrtpProfile(keys.profile, &profile))
    {
        *pReason = "no SRTP profile was agreed";
        return nullptr;
    }
    if (keys.cbKey != srtp_profile_get_master_key_length(profile) ||
        keys.cbSalt != srtp_profile_get_master_salt_length(profile))
    {
        *pReason = std::string("the keys do not fit ") + SrtpProfileName(keys.profile);
        return nullptr;
    }

    std::unique_ptr<SrtpSession> pSession(new SrtpSession());
    struct
    {
        srtp_ssrc_type_t type;
        const uint8_t* pbKey;
        Context* pContext;
    } rgDirections[] = {
        {ssrc_any_outbound, keys.rgbLocal, pSession->m_pOutbound.get()},
        {ssrc_any_inbound, keys.rgbRemote, pSession->m_pInbound.get()},
    };
    for (const auto& direction : rgDirections)
    {
        uint8_t rgbKey[c_cbSrtpMaxMasterKeySalt];
        std::memcpy(rgbKey, direction.pbKey, sizeof(rgbKey));
        srtp_policy_t policy;
        std::memset(&policy, 0, sizeof(policy));
        srtp_crypto_policy_set_from_profile_for_rtp(&policy.rtp, profile);
        srtp_crypto_policy_set_from_profile_for_rtcp(&policy.rtcp, profile);
        policy.ssrc.type = direction.type;
        policy.key = rgbKey;
        // A packet the peer asks for again goes out again as it was.
        policy.allow_repeat_tx = direction.type == ssrc_any_outbound;
        status = srtp_create(&direction.pContext->pSrtp, &policy);
        // libsrtp has derived its session keys.
        std::memset(rgbKey, 0, sizeof(rgbKey));
        if (status != srtp_err_status_ok)
        {
            direction.pContext->pSrtp = nullptr;
            *pReason = std::string("libsrtp refuses the keys: ") + SrtpStatusText(status);
            return nullptr;
        }
    }
    return pSession;
}

bool SrtpSession::ProtectRtp(uint8_t* pb, size_t cb, size_t cbMax, size_t* pcbOut)
{
    m_nProtectStatus = Apply(srtp_protect, m_pOutbound->pSrtp, pb, cb, cbMax, c_cbSrtpRoom, pcbOut);
    return m_nProtectStatus == srtp_err_status_ok;
}

bool SrtpSession::ProtectRtcp(uint8_t* pb, size_t cb, size_t cbMax, size_t* pcbOut)
{
    m_nProtectStatus = Apply(srtp_protect_rtcp, m_pOutbound->pSrtp, pb, cb, cbMax, c_cbSrtcpRoom, pcbOut);
    return m_nProtectStatus == srtp_err_status_ok;
}

bool SrtpSession::UnprotectRtp(uint8_t* pb, size_t cb, size_t* pcbOut)
{
    m_nUnprotectStatus = Apply(srtp_unprotect, m_pInbound->pSrtp, pb, cb, cb, 0, pcbOut);
    return m_nUnprotectStatus == srtp_err_status_ok;
}

bool SrtpSession::UnprotectRtcp(uint8_t* pb, size_t cb, size_t* pcbOut)
{
    m_nUnprotectStatus = Apply(srtp_unprotect_rtcp, m_pInbound->pSrtp, pb, cb, cb, 0, pcbOut);
    return m_nUnprotectStatus == srtp_err_status_ok;
}

const char* SrtpStatusText(int nStatus)
{
    switch (nStatus)
    {
    case srtp_err_status_ok:
        return "no error";
    case srtp_err_status_bad_param:
        return "a packet or buffer libsrtp cannot take (too short, unaligned, or no room)";
    case srtp_err_status_alloc_fail:
        return "out of memory";
    case srtp_err_status_init_fail:
        return "libsrtp could not start";
    case srtp_err_status_auth_fail:
        return "authentication failed: the packet was altered or has another key";
    case srtp_err_status_cipher_fail:
        return "the cipher failed";
    case srtp_err_status_replay_fail:
        return "a replayed packet";
    case srtp_err_status_replay_old:
        return "a packet too old for the replay window";
    case srtp_err_status_no_ctx:
        return "no stream for the packet's SSRC";
    case srtp_err_status_key_expired:
        return "the key has protected all it may";
    case srtp_err_status_parse_err:
        return "a malformed packet";
    default:
        return "libsrtp failed";
    }
}

} // namespace rtc
