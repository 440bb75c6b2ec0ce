// A push source for the Corvasta stand-in's graph tests: a video pin (H.264
// by subtype) and an audio pin (PCM) that deliver small numbered samples,
// "video-<n>" and "audio-<n>", one every 10 ms of stream time.
#pragma once

#include "standins/kit/KitSourceFilter.h"

class CTestAVSource : public CKitSourceFilter
{
public:
    // nSamples per pin before the end of the stream; 0 streams until stopped.
    static HRESULT Create(ULONG nSamples, IBaseFilter** ppFilter);

    CTestAVSource();
    HRESULT Init() override;

    HRESULT CheckMediaType(CKitPin* pPin, const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(CKitPin* pPin, ULONG iPosition, CMediaType* pmt) override;
    HRESULT DecideBufferSize(CKitOutputPin* pPin, IMemAllocator* pAlloc,
                             ALLOCATOR_PROPERTIES* pRequest) override;
    HRESULT StartStream(CKitSourcePin* pPin, REFERENCE_TIME tPosition) override;
    HRESULT FillSample(CKitSourcePin* pPin, IMediaSample* pSample) override;

protected:
    HRESULT GetStreamLength(REFERENCE_TIME* ptLength) override;

private:
    int PinIndex(CKitPin* pPin) const { return pPin == m_rgpPins[0] ? 0 : 1; }

    ULONG m_nSamples;
    CKitSourcePin* m_rgpPins[2];
    ULONG m_rgnNext[2]; // each touched only by its pin's thread
};
