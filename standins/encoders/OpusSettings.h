// The Opus stand-in's own settings interface, for its property page.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "components/ComponentIds.h"

struct OPUS_ENCODER_STATUS
{
    LONG nBitrate;  // bits per second
    ULONG cPackets; // packets coded since the filter was created
};

struct IOpusEncoderSettings : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE GetStatus(OPUS_ENCODER_STATUS* pStatus) = 0;
    // 6000 to 510000 bits per second, taken from the next packet on.
    virtual HRESULT STDMETHODCALLTYPE SetBitrate(LONG nBitrate) = 0;
    // libopus's version as it reports it, and the last problem: an input
    // refused at connection, or libopus's error (empty when none).
    virtual HRESULT STDMETHODCALLTYPE GetLibrary(BSTR* pbstrVersion, BSTR* pbstrError) = 0;
};
#define UUID_IOpusEncoderSettings 0x5f1d2c3b, 0x8e47, 0x4a09, 0xb6, 0x1e, 0x93, 0x7c, 0x20, 0x4d, 0xa8, 0x6f
CORVASTA_UUID_DECL(IOpusEncoderSettings, UUID_IOpusEncoderSettings)
