// The Ormidex QS Encoder stand-in: a video compressor with IQSEncoder whose
// output says H.264 and carries the shared frame coder's key and delta
// frames. The setting "SupportedEncoders" (default 3) is the mask that
// GetSupportedEncoders reports and SelectEncoder checks against. A saved
// graph keeps the selected encoder, target usage, B-frames and bit rate.
#pragma once

#include "VideoEncoderFilter.h"
#include "components/Ormidex.h"

#include "EncoderIds.h"

#define QS_RESERVED(n) \
    STDMETHODIMP Reserved##n() override { return E_NOTIMPL; }

class CQSEncoder : public CVideoEncoderFilter, public IQSEncoder, public IQSEncoderStatus
{
public:
    static const wchar_t c_szName[];  // "Ormidex QS Encoder"

    CQSEncoder();
    HRESULT Init() override;

    KIT_DECLARE_IUNKNOWN(CVideoEncoderFilter)

    // IQSEncoder
    STDMETHODIMP GetSupportedEncoders(LONG* pnMask) override;
    STDMETHODIMP SelectEncoder(LONG nEncoder) override;
    STDMETHODIMP SetTargetUsage(LONG nUsage) override;   // 1 (quality) to 7 (speed)
    STDMETHODIMP SetBitrate(LONG nKbps) override;        // 1 to 100000, once the input is connected
    STDMETHODIMP SetBFrames(LONG nCount) override;       // 0 to 7; the coder makes none whatever is set
    STDMETHODIMP RequestKeyFrame() override;
    QS_RESERVED(5) QS_RESERVED(6) QS_RESERVED(8) QS_RESERVED(9) QS_RESERVED(10) QS_RESERVED(11)
    QS_RESERVED(12) QS_RESERVED(14) QS_RESERVED(15) QS_RESERVED(16) QS_RESERVED(17)
    QS_RESERVED(18) QS_RESERVED(19) QS_RESERVED(20) QS_RESERVED(21) QS_RESERVED(23)
    QS_RESERVED(24) QS_RESERVED(25) QS_RESERVED(26) QS_RESERVED(27)

    // IQSEncoderStatus
    STDMETHODIMP GetStatus(QS_ENCODER_STATUS* pStatus) override;

protected:
    void* GetInterface(REFIID riid) override;
    void SaveSettings(CKitSettingsWriter& writer) override;
    HRESULT LoadSettings(CKitSettingsReader& reader) override;

private:
    LONG m_nSupported;
    LONG m_nSelected;
    LONG m_nTargetUsage;
    LONG m_nBitrateKbps;
    LONG m_nBFrames;
};

#undef QS_RESERVED
