// The Ormidex Video Generator stand-in: a capture source with a video pin
// (a moving test pattern) and an audio pin (a tone), set up through
// IVideoGenerator. Its defaults (640x480 RGB32 at 30 fps, the checkerboard,
// frame numbers, 16 kHz) are none of what the program sets, so that a set-up
// call that never arrives shows (IGeneratorStatus). Live by default; the
// setting "ClipLength" (milliseconds) of its fault key makes it a seekable
// clip that ends. A saved graph keeps what IVideoGenerator set
// (IPersistStream).
#pragma once

#include "KitSourceFilter.h"
#include "components/Ormidex.h"

#include "GeneratorStatus.h"
#include "TestPattern.h"

#include <atomic>

#define GENERATOR_RESERVED(n) \
    STDMETHODIMP Reserved##n() override { return E_NOTIMPL; }

class COrmidexGenerator : public CKitSourceFilter, public IVideoGenerator, public IGeneratorStatus
{
public:
    static const wchar_t c_szName[];       // "Ormidex Video Generator"
    static const wchar_t c_szVideoPin[];   // "Video"
    static const wchar_t c_szAudioPin[];   // "Audio"
    static const DWORD c_dwToneHz = 1000;

    COrmidexGenerator();
    HRESULT Init() override;

    KIT_DECLARE_IUNKNOWN(CKitSourceFilter)

    // IVideoGenerator
    STDMETHODIMP SetPattern(LONG nPattern) override;
    STDMETHODIMP SetOverlay(LONG nOverlay) override;
    // nColorSpace 0 RGB32, 1 YUY2; nInterlace 0 progressive (the only one);
    // nFlags unused, 0.
    STDMETHODIMP SetVideoFormat(LONG nColorSpace, LONG nInterlace, LONG nWidth, LONG nHeight,
                                double dFrameRate, LONG nFlags) override;
    STDMETHODIMP SetSamplingRate(LONG nHz) override;
    GENERATOR_RESERVED(4) GENERATOR_RESERVED(5) GENERATOR_RESERVED(6) GENERATOR_RESERVED(7)
    GENERATOR_RESERVED(8) GENERATOR_RESERVED(9) GENERATOR_RESERVED(10) GENERATOR_RESERVED(12)
    GENERATOR_RESERVED(13) GENERATOR_RESERVED(14) GENERATOR_RESERVED(15) GENERATOR_RESERVED(16)
    GENERATOR_RESERVED(17) GENERATOR_RESERVED(18) GENERATOR_RESERVED(19) GENERATOR_RESERVED(20)
    GENERATOR_RESERVED(21) GENERATOR_RESERVED(22) GENERATOR_RESERVED(23) GENERATOR_RESERVED(24)
    GENERATOR_RESERVED(25) GENERATOR_RESERVED(26) GENERATOR_RESERVED(27) GENERATOR_RESERVED(28)
    GENERATOR_RESERVED(29) GENERATOR_RESERVED(30) GENERATOR_RESERVED(31) GENERATOR_RESERVED(32)
    GENERATOR_RESERVED(33) GENERATOR_RESERVED(34) GENERATOR_RESERVED(35) GENERATOR_RESERVED(36)
    GENERATOR_RESERVED(38)

    // IGeneratorStatus
    STDMETHODIMP GetStatus(GENERATOR_STATUS* pStatus) override;

    // Kit hooks
    HRESULT CheckMediaType(CKitPin* pPin, const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(CKitPin* pPin, ULONG iPosition, CMediaType* pmt) override;
    HRESULT DecideBufferSize(CKitOutputPin* pPin, IMemAllocator* pAlloc,
                             ALLOCATOR_PROPERTIES* pRequest) override;
    HRESULT StartStream(CKitSourcePin* pPin, REFERENCE_TIME tPosition) override;
    HRESULT FillSample(CKitSourcePin* pPin, IMediaSample* pSample) override;

protected:
    void* GetInterface(REFIID riid) override;
    HRESULT GetStreamLength(REFERENCE_TIME* ptLength) override;
    void SaveSettings(CKitSettingsWriter& writer) override;
    HRESULT LoadSettings(CKitSettingsReader& reader) override;

private:
    // Under the filter lock: VFW_E_ALREADY_CONNECTED when the format would
    // change under a connected pin.
    HRESULT CheckVideoChange(bool bYUY2, LONG nWidth, LONG nHeight, double dFrameRate) const;
    HRESULT CheckRateChange(LONG nHz) const;
    HRESULT VideoType(bool bYUY2, CMediaType* pmt) const;
    HRESULT AudioType(CMediaType* pmt) const;
    HRESULT FillVideo(IMediaSample* pSample);
    HRESULT FillAudio(IMediaSample* pSample);
    REFERENCE_TIME FrameLength() const;
    DWORD AudioChunkSamples() const;

    CKitSourcePin* m_pVideoPin;
    CKitSourcePin* m_pAudioPin;
    REFERENCE_TIME m_tClipLength;   // 0: live

    // Format: changes only while the affected pin is unconnected.
    bool m_bYUY2;
    LONG m_nWidth;
    LONG m_nHeight;
    double m_dFrameRate;
    LONG m_nSampleRate;
    std::atomic<LONG> m_nPattern; // set by the graph's thread, drawn by the streaming thread
    std::atomic<LONG> m_nOverlay;

    // Stream positions, each touched by its pin's thread only.
    ULONGLONG m_iFrame;
    REFERENCE_TIME m_tVideoOrigin;
    REFERENCE_TIME m_tVideoStop;
    ULONGLONG m_iAudioSample;
    REFERENCE_TIME m_tAudioOrigin;
    REFERENCE_TIME m_tAudioStop;
};

#undef GENERATOR_RESERVED
