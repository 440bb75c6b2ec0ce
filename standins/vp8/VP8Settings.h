// The VP8 stand-in's own settings interface, through which its property
// page reads and sets what IVP8Encoder's used slots do not carry.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "components/ComponentIds.h"

constexpr GUID CLSID_VP8EncoderPropertyPage = {
    0x3c7a52d1, 0x5e0b, 0x4f6a, {0x9d, 0x41, 0x6b, 0x27, 0xa8, 0x0e, 0x55, 0x19}};

struct VP8_ENCODER_STATUS
{
    int nDeadline;          // microseconds; 0 best quality, 1 real time
    LONG nBitrateKbps;
    LONG nKeyFrameInterval; // frames from one key frame to the next
    ULONG cFrames;          // frames coded since the filter was created
    ULONG cKeyFrames;
};

struct IVP8EncoderSettings : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE GetStatus(VP8_ENCODER_STATUS* pStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBitrate(LONG nKbps) = 0;            // 1 to 100000
    virtual HRESULT STDMETHODCALLTYPE SetKeyFrameInterval(LONG nFrames) = 0; // 1 to 100000
    // libvpx's name and version as it reports them, and its last error
    // (empty when none); the caller frees both with SysFreeString.
    virtual HRESULT STDMETHODCALLTYPE GetLibrary(BSTR* pbstrVersion, BSTR* pbstrError) = 0;
};
#define UUID_IVP8EncoderSettings 0x7d0b6a2e, 0x1f43, 0x4c8e, 0x8a, 0x5d, 0x2e, 0x96, 0x01, 0xc4, 0x7b, 0x3a
CORVASTA_UUID_DECL(IVP8EncoderSettings, UUID_IVP8EncoderSettings)
