// A source and a sink built on the kit, for tests: the source sends a
// numbered run of samples (or, live, an endless one) and the sink records
// what reaches each of its inputs.
#pragma once

#include "KitSinkFilter.h"
#include "KitSourceFilter.h"

#include <vector>

class CTestSource : public CKitSourceFilter
{
public:
    // cSamples 0: a live source without end or length.
    static HRESULT Create(ULONG cSamples, REFERENCE_TIME tSampleLength, REFGUID majortype,
                          IBaseFilter** ppFilter);

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
    CTestSource(ULONG cSamples, REFERENCE_TIME tSampleLength, REFGUID majortype);

    ULONG m_cSamples;
    REFERENCE_TIME m_tSampleLength;
    GUID m_majortype;
    ULONG m_iNext;
    REFERENCE_TIME m_tOrigin;
    REFERENCE_TIME m_tStop;
};

struct CTestSinkInput
{
    ULONG cSamples = 0;
    ULONG cEndOfStream = 0;
    ULONG cFlushes = 0;
    ULONG cSegments = 0;
    REFERENCE_TIME tSegmentStart = 0;
    std::vector<REFERENCE_TIME> rgStarts;
    std::vector<bool> rgSyncPoints;
    std::vector<std::vector<BYTE>> rgPayloads;
    CMediaType mt;
};

class CTestSink : public CKitSinkFilter
{
public:
    // An input accepts every type of majortype (any, for GUID_NULL).
    static HRESULT Create(ULONG cInputs, REFGUID majortype, CTestSink** ppSink);

    HRESULT Init() override;
    HRESULT CheckMediaType(CKitPin* pPin, const AM_MEDIA_TYPE* pmt) override;
    HRESULT CompleteConnect(CKitPin* pPin, IPin* pPeer) override;
    HRESULT Receive(CKitInputPin* pPin, IMediaSample* pSample) override;
    HRESULT NewSegment(CKitInputPin* pPin, REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                       double dRate) override;

    IPin* InputPin(ULONG i) { return Pin(i); }
    CTestSinkInput Input(ULONG i);
    // Waits until input i has received cSamples; false after dwTimeout ms.
    bool WaitForSamples(ULONG i, ULONG cSamples, DWORD dwTimeout);

protected:
    HRESULT OnEndOfStream(CKitInputPin* pPin) override;
    HRESULT OnEndFlush(CKitInputPin* pPin) override;

private:
    CTestSink(ULONG cInputs, REFGUID majortype);
    ~CTestSink() override;
    ULONG IndexOf(CKitPin* pPin);

    ULONG m_cInputs;
    GUID m_majortype;
    CKitCritSec m_csRecord;
    HANDLE m_hReceived;
    std::vector<CTestSinkInput> m_rgInputs;
};

// Test helpers for a graph.
HRESULT WaitForGraphEvent(IUnknown* pGraph, long nCode, DWORD dwTimeout);
ULONG RefCount(IUnknown* pUnk);
