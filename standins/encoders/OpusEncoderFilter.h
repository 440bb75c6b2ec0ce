// The Ormidex Opus Encoder stand-in: 16-bit PCM at an Opus rate in, one
// packet per 20 ms frame out, whatever the input's buffer sizes. A packet is
// the Opus table-of-contents byte for a 20 ms CELT frame followed by the
// frame's samples in u-law. A short last frame is padded with silence.
#pragma once

#include "KitTransformFilter.h"

#include <vector>

class COpusEncoder : public CKitTransformFilter
{
public:
    static const wchar_t c_szName[]; // "Ormidex Opus Encoder"
    static const REFERENCE_TIME c_tFrame = 20 * 10000;

    COpusEncoder();
    HRESULT Init() override;

    HRESULT CheckInputType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetOutputType(ULONG iPosition, CMediaType* pmt) override;
    HRESULT GetOutputBufferSize(ALLOCATOR_PROPERTIES* pRequest) override;

    // The TOC byte of a 20 ms CELT frame at a rate, for mono or stereo.
    static BYTE TocByte(DWORD nSamplesPerSec, WORD nChannels);

protected:
    HRESULT ProcessSample(IMediaSample* pIn) override;
    HRESULT OnEndOfStream() override;
    void OnStreamReset() override;

private:
    size_t FrameSamples() const; // samples of all channels in one frame
    HRESULT DeliverFrame(const short* psFrame);

    std::vector<short> m_pending;
    bool m_bTimeKnown;
    REFERENCE_TIME m_tNextFrame;
};
