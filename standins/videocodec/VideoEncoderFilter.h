// What the video encoder stand-ins share: a transform from RGB32 or YUY2 to
// the frames of a codec library (VideoCodec.h), with a key frame at a set
// interval, on request, and at every start of the stream; each output sample
// is marked as a sync point exactly when the codec made a key frame.
#pragma once

#include "KitTransformFilter.h"

#include "VideoCodec.h"

#include <atomic>

class CVideoEncoderFilter : public CKitTransformFilter
{
public:
    // The next frame that is coded becomes a key frame.
    void RequestKeyFrame() { m_bKeyRequested = true; }
    ULONG FramesCoded() const { return m_cFrames; }
    ULONG KeyFramesCoded() const { return m_cKeyFrames; }
    ULONG KeyFrameInterval() const { return m_nKeyFrameInterval; }
    // The codec's own words when it could not be opened or encode, else empty.
    std::wstring CodecError() const;

protected:
    // ulKeyFrameInterval comes from the setting "KeyFrameInterval" when set.
    CVideoEncoderFilter(const wchar_t* pszFaultName, REFCLSID clsid, REFGUID subtypeOut,
                        DWORD dwFourCC, ULONG ulKeyFrameInterval);

    // The library that codes the frames, owned by the concrete filter.
    virtual CVideoCodec& Codec() = 0;

    HRESULT CheckInputType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetOutputType(ULONG iPosition, CMediaType* pmt) override;
    HRESULT GetOutputBufferSize(ALLOCATOR_PROPERTIES* pRequest) override;
    HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) override;
    void OnStreamReset() override;

    // In bits per second: announced by the output type and taken by the
    // codec before its next frame.
    void SetOutputBitRate(DWORD dwBitRate) { m_dwBitRate = dwBitRate; }
    DWORD OutputBitRate() const { return m_dwBitRate; }
    // Frames from one key frame to the next, at least 1.
    void SetKeyFrameInterval(ULONG nInterval) { m_nKeyFrameInterval = nInterval ? nInterval : 1; }
    void SetCodecError(const std::wstring& error);

private:
    HRESULT OpenCodec();
    HRESULT CodecFailed(HRESULT hr);
    DWORD MaxCodedSize() const;

    GUID m_subtypeOut;
    DWORD m_dwFourCC;
    std::atomic<ULONG> m_nKeyFrameInterval;
    std::atomic<DWORD> m_dwBitRate;
    // Streaming thread only.
    CI420Picture m_picture;
    std::vector<BYTE> m_coded;
    ULONG m_iSinceKey;
    DWORD m_dwCodecBitRate;
    // Set by the graph's thread, read and counted by the streaming thread.
    std::atomic<bool> m_bKeyRequested;
    std::atomic<ULONG> m_cFrames;
    std::atomic<ULONG> m_cKeyFrames;
    mutable CKitCritSec m_csError;
    std::wstring m_error;
};
