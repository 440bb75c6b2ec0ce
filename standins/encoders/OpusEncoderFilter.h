// The Ormidex Opus Encoder stand-in: 16-bit PCM at a rate that libopus
// takes as it is (8, 12, 16, 24 or 48 kHz), mono or stereo, in; one real
// Opus packet per 20 ms frame out, whatever the input's buffer sizes. A
// short last frame is padded with silence. Another rate is refused when the
// pins connect, and the reason is kept for the page.
#pragma once

#include "KitTransformFilter.h"

#include "OpusSettings.h"

#include <atomic>
#include <string>
#include <vector>

struct OpusEncoder;

class COpusEncoder : public CKitTransformFilter, public IOpusEncoderSettings
{
public:
    static const wchar_t c_szName[]; // "Ormidex Opus Encoder"
    static const REFERENCE_TIME c_tFrame = 20 * 10000;

    COpusEncoder();
    ~COpusEncoder() override;
    HRESULT Init() override;

    KIT_DECLARE_IUNKNOWN(CKitTransformFilter)

    HRESULT CheckInputType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetOutputType(ULONG iPosition, CMediaType* pmt) override;
    HRESULT GetOutputBufferSize(ALLOCATOR_PROPERTIES* pRequest) override;

    // IOpusEncoderSettings
    STDMETHODIMP GetStatus(OPUS_ENCODER_STATUS* pStatus) override;
    STDMETHODIMP SetBitrate(LONG nBitrate) override;
    STDMETHODIMP GetLibrary(BSTR* pbstrVersion, BSTR* pbstrError) override;

protected:
    void* GetInterface(REFIID riid) override;
    HRESULT ProcessSample(IMediaSample* pIn) override;
    HRESULT OnEndOfStream() override;
    void OnStreamReset() override;

private:
    size_t FrameSamples() const; // samples of all channels in one frame
    HRESULT OpenCodec();
    void CloseCodec();
    HRESULT DeliverFrame(const short* psFrame);
    void SetError(const std::wstring& error);
    std::wstring Error() const;

    // Streaming thread only, but for the close at a stream's reset.
    OpusEncoder* m_pCodec;
    LONG m_nCodecBitrate;
    std::vector<short> m_pending;
    bool m_bTimeKnown;
    REFERENCE_TIME m_tNextFrame;
    std::atomic<LONG> m_nBitrate;
    std::atomic<ULONG> m_cPackets;
    mutable CKitCritSec m_csError;
    std::wstring m_error;
};
