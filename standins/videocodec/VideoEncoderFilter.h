// What the video encoder stand-ins share: a transform from RGB32 or YUY2 to
// coded frames (FrameCoder.h), with a key frame at a fixed interval, on
// request, and at every start of the stream; each output sample is marked
// as a sync point exactly when it is a key frame.
#pragma once

#include "KitTransformFilter.h"

#include "FrameCoder.h"

#include <atomic>

class CVideoEncoderFilter : public CKitTransformFilter
{
public:
    // The next frame that is coded becomes a key frame.
    void RequestKeyFrame() { m_bKeyRequested = true; }
    ULONG FramesCoded() const { return m_cFrames; }
    ULONG KeyFramesCoded() const { return m_cKeyFrames; }
    ULONG KeyFrameInterval() const { return m_nKeyFrameInterval; }

protected:
    // ulKeyFrameInterval comes from the setting "KeyFrameInterval" when set.
    CVideoEncoderFilter(const wchar_t* pszFaultName, REFCLSID clsid, REFGUID subtypeOut,
                        DWORD dwFourCC, ULONG ulKeyFrameInterval);

    HRESULT CheckInputType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetOutputType(ULONG iPosition, CMediaType* pmt) override;
    HRESULT GetOutputBufferSize(ALLOCATOR_PROPERTIES* pRequest) override;
    HRESULT CompleteConnect(CKitPin* pPin, IPin* pPeer) override;
    HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) override;
    void OnStreamReset() override;

    // The bit rate the output type announces, in bits per second.
    void SetOutputBitRate(DWORD dwBitRate) { m_dwBitRate = dwBitRate; }

private:
    GUID m_subtypeOut;
    DWORD m_dwFourCC;
    ULONG m_nKeyFrameInterval;
    DWORD m_dwBitRate;
    CFrameCoder m_coder;
    ULONG m_iSinceKey;
    // Set by the graph's thread, read and counted by the streaming thread.
    std::atomic<bool> m_bKeyRequested;
    std::atomic<ULONG> m_cFrames;
    std::atomic<ULONG> m_cKeyFrames;
};
