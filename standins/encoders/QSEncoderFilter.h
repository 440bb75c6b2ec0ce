// The Ormidex QS Encoder stand-in: a video compressor with IQSEncoder that
// codes real H.264 through openh264 (H264Codec.h). Both encoder kinds run
// openh264 in software; the target usage picks its complexity; B frames are
// taken and kept but none are coded, since constrained baseline has none.
// The setting "SupportedEncoders" (default 3) is the mask that
// GetSupportedEncoders reports and SelectEncoder checks against. A saved
// graph keeps the selected encoder, target usage, B-frames and bit rate.
#pragma once

#include "VideoEncoderFilter.h"
#include "components/Ormidex.h"

#include "EncoderIds.h"
#include "H264Codec.h"

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
    STDMETHODIMP SetBFrames(LONG nCount) override;       // 0 to 7; openh264 codes none whatever is set
    STDMETHODIMP RequestKeyFrame() override;
    QS_RESERVED(5) QS_RESERVED(6) QS_RESERVED(8) QS_RESERVED(9) QS_RESERVED(10) QS_RESERVED(11)
    QS_RESERVED(12) QS_RESERVED(14) QS_RESERVED(15) QS_RESERVED(16) QS_RESERVED(17)
    QS_RESERVED(18) QS_RESERVED(19) QS_RESERVED(20) QS_RESERVED(21) QS_RESERVED(23)
    QS_RESERVED(24) QS_RESERVED(25) QS_RESERVED(26) QS_RESERVED(27)

    // IQSEncoderStatus
    STDMETHODIMP GetStatus(QS_ENCODER_STATUS* pStatus) override;
    STDMETHODIMP GetLibrary(BSTR* pbstrVersion, BSTR* pbstrError) override;

    // openh264's complexity for a target usage: 1-2 high, 3-5 medium, 6-7 low.
    static int ComplexityOf(LONG nTargetUsage);

protected:
    void* GetInterface(REFIID riid) override;
    CVideoCodec& Codec() override { return m_codec; }
    void SaveSettings(CKitSettingsWriter& writer) override;
    HRESULT LoadSettings(CKitSettingsReader& reader) override;

private:
    void SetTargetUsageValue(LONG nUsage);

    CH264Codec m_codec;
    LONG m_nSupported;
    LONG m_nSelected;
    LONG m_nTargetUsage;
    LONG m_nBitrateKbps;
    LONG m_nBFrames;
};

#undef QS_RESERVED
