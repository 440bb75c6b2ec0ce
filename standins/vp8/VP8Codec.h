// VP8 through libvpx, in one-pass constant bit rate with no frames held
// back; key frames only where the filter asks for them. The deadline is
// libvpx's per-frame time budget in microseconds: 0 best quality, 1 real
// time, anything else good quality within that budget.
#pragma once

#include "VideoCodec.h"

#include <vpx/vpx_encoder.h>

#include <atomic>

class CVP8Codec : public CVideoCodec
{
public:
    CVP8Codec();
    ~CVP8Codec() override;

    HRESULT Open(const VIDEO_CODEC_SETTINGS& settings) override;
    void Close() override;
    bool IsOpen() const override { return m_bOpen; }
    HRESULT Encode(const CI420Picture& picture, REFERENCE_TIME tStart, bool bKey,
                   std::vector<BYTE>* pCoded, bool* pbKey) override;
    HRESULT SetBitRate(DWORD dwBitRate) override;
    std::wstring LibraryVersion() const override;

    // Taken from the next frame on.
    void SetDeadline(int nDeadline) { m_nDeadline = nDeadline; }
    // libvpx's last error, with its detail when it gave one.
    std::wstring LastError() const override;

private:
    HRESULT Failed(vpx_codec_err_t err);

    vpx_codec_ctx_t m_context;
    vpx_codec_enc_cfg_t m_config;
    bool m_bOpen;
    std::atomic<int> m_nDeadline;
    REFERENCE_TIME m_tFrame;
    std::wstring m_lastError;
};
