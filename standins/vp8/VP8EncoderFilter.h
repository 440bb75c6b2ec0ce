// The WebM VP8 Encoder Filter stand-in: a video compressor with the WebM
// filter's IVP8Encoder (all 76 slots), output VP80, coding real VP8 through
// libvpx (VP8Codec.h). SetDeadline, GetDeadline and SetForceKeyframe work;
// every other slot answers E_NOTIMPL. Its page sets the bit rate and the
// key-frame interval (IVP8EncoderSettings); a saved graph keeps all three.
#pragma once

#include "VideoEncoderFilter.h"
#include "components/VP8Encoder.h"

#include "VP8Codec.h"
#include "VP8Settings.h"

#define VP8_RESERVED(n) \
    STDMETHODIMP Reserved##n() override { return E_NOTIMPL; }

class CVP8Encoder : public CVideoEncoderFilter, public IVP8Encoder, public IVP8EncoderSettings
{
public:
    static const wchar_t c_szName[]; // "WebM VP8 Encoder Filter"

    CVP8Encoder();
    HRESULT Init() override;

    KIT_DECLARE_IUNKNOWN(CVideoEncoderFilter)

    // IVP8Encoder
    STDMETHODIMP ApplySettings() override { return E_NOTIMPL; }
    STDMETHODIMP ResetSettings() override { return E_NOTIMPL; }
    // Microseconds libvpx may spend on a frame: 0 best quality, 1 real time.
    STDMETHODIMP SetDeadline(int nDeadline) override;
    STDMETHODIMP GetDeadline(int* pnDeadline) override;
    STDMETHODIMP SetForceKeyframe() override;
    VP8_RESERVED(7) VP8_RESERVED(8) VP8_RESERVED(9) VP8_RESERVED(10) VP8_RESERVED(11)
    VP8_RESERVED(12) VP8_RESERVED(13) VP8_RESERVED(14) VP8_RESERVED(15) VP8_RESERVED(16)
    VP8_RESERVED(17) VP8_RESERVED(18) VP8_RESERVED(19) VP8_RESERVED(20) VP8_RESERVED(21)
    VP8_RESERVED(22) VP8_RESERVED(23) VP8_RESERVED(24) VP8_RESERVED(25) VP8_RESERVED(26)
    VP8_RESERVED(27) VP8_RESERVED(28) VP8_RESERVED(29) VP8_RESERVED(30) VP8_RESERVED(31)
    VP8_RESERVED(32) VP8_RESERVED(33) VP8_RESERVED(34) VP8_RESERVED(35) VP8_RESERVED(36)
    VP8_RESERVED(37) VP8_RESERVED(38) VP8_RESERVED(39) VP8_RESERVED(40) VP8_RESERVED(41)
    VP8_RESERVED(42) VP8_RESERVED(43) VP8_RESERVED(44) VP8_RESERVED(45) VP8_RESERVED(46)
    VP8_RESERVED(47) VP8_RESERVED(48) VP8_RESERVED(49) VP8_RESERVED(50) VP8_RESERVED(51)
    VP8_RESERVED(52) VP8_RESERVED(53) VP8_RESERVED(54) VP8_RESERVED(55) VP8_RESERVED(56)
    VP8_RESERVED(58) VP8_RESERVED(59) VP8_RESERVED(60) VP8_RESERVED(61) VP8_RESERVED(62)
    VP8_RESERVED(63) VP8_RESERVED(64) VP8_RESERVED(65) VP8_RESERVED(66) VP8_RESERVED(67)
    VP8_RESERVED(68) VP8_RESERVED(69) VP8_RESERVED(70) VP8_RESERVED(71) VP8_RESERVED(72)
    VP8_RESERVED(73) VP8_RESERVED(74) VP8_RESERVED(75)

    // IVP8EncoderSettings
    STDMETHODIMP GetStatus(VP8_ENCODER_STATUS* pStatus) override;
    STDMETHODIMP SetBitrate(LONG nKbps) override;
    STDMETHODIMP SetKeyFrameInterval(LONG nFrames) override;
    STDMETHODIMP GetLibrary(BSTR* pbstrVersion, BSTR* pbstrError) override;

protected:
    void* GetInterface(REFIID riid) override;
    CVideoCodec& Codec() override { return m_codec; }
    void SaveSettings(CKitSettingsWriter& writer) override;
    HRESULT LoadSettings(CKitSettingsReader& reader) override;

private:
    CVP8Codec m_codec;
    int m_nDeadline;
    LONG m_nBitrateKbps;
};

#undef VP8_RESERVED
