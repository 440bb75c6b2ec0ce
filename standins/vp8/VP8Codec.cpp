#include "VP8Codec.h"

#include "CodecLibrary.h"

#include <vpx/vp8cx.h>

#include <string>

namespace {

const int c_nTimebase = 10000000; // sample times are in 100 ns units
// libvpx's speed for real time: fast enough for 640x480 at 30 fps on one core.
const int c_nRealTimeCpuUsed = -6;

} // namespace

CVP8Codec::CVP8Codec() : m_context(), m_config(), m_bOpen(false), m_nDeadline(VPX_DL_REALTIME),
                         m_tFrame(0)
{
}

CVP8Codec::~CVP8Codec()
{
    Close();
}

std::wstring CVP8Codec::LibraryVersion() const
{
    return WidenLibraryText(vpx_codec_iface_name(vpx_codec_vp8_cx()));
}

std::wstring CVP8Codec::LastError() const
{
    return m_lastError;
}

// libvpx's words for err, with its detail when the context has one.
HRESULT CVP8Codec::Failed(vpx_codec_err_t err)
{
    m_lastError = WidenLibraryText(vpx_codec_err_to_string(err));
    if (m_bOpen && vpx_codec_error_detail(&m_context) != nullptr)
        m_lastError += L": " + WidenLibraryText(vpx_codec_error_detail(&m_context));
    return E_FAIL;
}

HRESULT CVP8Codec::Open(const VIDEO_CODEC_SETTINGS& settings)
{
    Close();
    vpx_codec_err_t err = vpx_codec_enc_config_default(vpx_codec_vp8_cx(), &m_config, 0);
    if (err == VPX_CODEC_OK)
    {
        m_config.g_w = static_cast<unsigned>(settings.nWidth);
        m_config.g_h = static_cast<unsigned>(settings.nHeight);
        m_config.g_timebase.num = 1;
        m_config.g_timebase.den = c_nTimebase;
        m_config.g_threads = 1;
        m_config.g_pass = VPX_RC_ONE_PASS;
        m_config.g_lag_in_frames = 0;
        m_config.g_error_resilient = VPX_ERROR_RESILIENT_DEFAULT;
        m_config.rc_end_usage = VPX_CBR;
        m_config.rc_target_bitrate = settings.dwBitRate / 1000 ? settings.dwBitRate / 1000 : 1;
        m_config.kf_mode = VPX_KF_DISABLED;
        m_tFrame = settings.tFrame;
        err = vpx_codec_enc_init(&m_context, vpx_codec_vp8_cx(), &m_config, 0);
    }
    if (err != VPX_CODEC_OK)
        return Failed(err);
    m_bOpen = true;
    vpx_codec_control(&m_context, VP8E_SET_CPUUSED, c_nRealTimeCpuUsed);
    return S_OK;
}

void CVP8Codec::Close()
{
    if (m_bOpen)
        vpx_codec_destroy(&m_context);
    m_bOpen = false;
}

HRESULT CVP8Codec::SetBitRate(DWORD dwBitRate)
{
    if (!m_bOpen)
        return S_FALSE;
    m_config.rc_target_bitrate = dwBitRate / 1000 ? dwBitRate / 1000 : 1;
    vpx_codec_err_t err = vpx_codec_enc_config_set(&m_context, &m_config);
    return err == VPX_CODEC_OK ? S_OK : Failed(err);
}

HRESULT CVP8Codec::Encode(const CI420Picture& picture, REFERENCE_TIME tStart, bool bKey,
                          std::vector<BYTE>* pCoded, bool* pbKey)
{
    pCoded->clear();
    *pbKey = false;
    if (!m_bOpen)
        return E_UNEXPECTED;
    vpx_image_t image;
    // libvpx reads the planes only; its wrapper wants them writable.
    if (vpx_img_wrap(&image, VPX_IMG_FMT_I420, static_cast<unsigned>(picture.Width()),
                     static_cast<unsigned>(picture.Height()), 1,
                     const_cast<BYTE*>(picture.Y())) == nullptr)
        return E_INVALIDARG;
    vpx_codec_err_t err = vpx_codec_encode(&m_context, &image, tStart,
                                           static_cast<unsigned long>(m_tFrame),
                                           bKey ? VPX_EFLAG_FORCE_KF : 0,
                                           static_cast<unsigned long>(m_nDeadline.load()));
    if (err != VPX_CODEC_OK)
        return Failed(err);
    vpx_codec_iter_t iter = nullptr;
    while (const vpx_codec_cx_pkt_t* pPacket = vpx_codec_get_cx_data(&m_context, &iter))
    {
        if (pPacket->kind != VPX_CODEC_CX_FRAME_PKT)
            continue;
        const BYTE* pb = static_cast<const BYTE*>(pPacket->data.frame.buf);
        pCoded->insert(pCoded->end(), pb, pb + pPacket->data.frame.sz);
        *pbKey = *pbKey || (pPacket->data.frame.flags & VPX_FRAME_IS_KEY) != 0;
    }
    return S_OK;
}
