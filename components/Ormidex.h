// Control interfaces of the Ormidex Video Generator and the Ormidex QS Encoder.
// Only the named slots are called; the others keep the slot order.
#pragma once

#include <windows.h>

#include "ComponentIds.h"

#define ORMIDEX_RESERVED(n) virtual HRESULT STDMETHODCALLTYPE Reserved##n() = 0

// Values of IQSEncoder::GetSupportedEncoders' mask.
enum EQSEncoder
{
    QSEnc_H264_Software = 1,
    QSEnc_H264_Hardware = 2,
    QSEnc_H264_Any = 3,
};

struct IQSEncoder : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE GetSupportedEncoders(LONG* pnMask) = 0; // 3
    virtual HRESULT STDMETHODCALLTYPE SelectEncoder(LONG nEncoder) = 0;       // 4
    ORMIDEX_RESERVED(5);
    ORMIDEX_RESERVED(6);
    virtual HRESULT STDMETHODCALLTYPE SetTargetUsage(LONG nUsage) = 0;        // 7
    ORMIDEX_RESERVED(8);
    ORMIDEX_RESERVED(9);
    ORMIDEX_RESERVED(10);
    ORMIDEX_RESERVED(11);
    ORMIDEX_RESERVED(12);
    virtual HRESULT STDMETHODCALLTYPE SetBitrate(LONG nKbps) = 0;             // 13
    ORMIDEX_RESERVED(14);
    ORMIDEX_RESERVED(15);
    ORMIDEX_RESERVED(16);
    ORMIDEX_RESERVED(17);
    ORMIDEX_RESERVED(18);
    ORMIDEX_RESERVED(19);
    ORMIDEX_RESERVED(20);
    ORMIDEX_RESERVED(21);
    virtual HRESULT STDMETHODCALLTYPE SetBFrames(LONG nCount) = 0;            // 22
    ORMIDEX_RESERVED(23);
    ORMIDEX_RESERVED(24);
    ORMIDEX_RESERVED(25);
    ORMIDEX_RESERVED(26);
    ORMIDEX_RESERVED(27);
    virtual HRESULT STDMETHODCALLTYPE RequestKeyFrame() = 0;                  // 28
};
CORVASTA_UUID_DECL(IQSEncoder, UUID_IQSEncoder)

struct IVideoGenerator : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE SetPattern(LONG nPattern) = 0;          // 3
    ORMIDEX_RESERVED(4);
    ORMIDEX_RESERVED(5);
    ORMIDEX_RESERVED(6);
    ORMIDEX_RESERVED(7);
    ORMIDEX_RESERVED(8);
    ORMIDEX_RESERVED(9);
    ORMIDEX_RESERVED(10);
    virtual HRESULT STDMETHODCALLTYPE SetOverlay(LONG nOverlay) = 0;          // 11
    ORMIDEX_RESERVED(12);
    ORMIDEX_RESERVED(13);
    ORMIDEX_RESERVED(14);
    ORMIDEX_RESERVED(15);
    ORMIDEX_RESERVED(16);
    ORMIDEX_RESERVED(17);
    ORMIDEX_RESERVED(18);
    ORMIDEX_RESERVED(19);
    ORMIDEX_RESERVED(20);
    ORMIDEX_RESERVED(21);
    ORMIDEX_RESERVED(22);
    ORMIDEX_RESERVED(23);
    ORMIDEX_RESERVED(24);
    ORMIDEX_RESERVED(25);
    ORMIDEX_RESERVED(26);
    ORMIDEX_RESERVED(27);
    ORMIDEX_RESERVED(28);
    ORMIDEX_RESERVED(29);
    ORMIDEX_RESERVED(30);
    ORMIDEX_RESERVED(31);
    ORMIDEX_RESERVED(32);
    ORMIDEX_RESERVED(33);
    ORMIDEX_RESERVED(34);
    ORMIDEX_RESERVED(35);
    ORMIDEX_RESERVED(36);
    virtual HRESULT STDMETHODCALLTYPE SetVideoFormat(LONG nColorSpace, LONG nInterlace, LONG nWidth,
                                                     LONG nHeight, double dFrameRate,
                                                     LONG nFlags) = 0;        // 37
    ORMIDEX_RESERVED(38);
    virtual HRESULT STDMETHODCALLTYPE SetSamplingRate(LONG nHz) = 0;          // 39
};
CORVASTA_UUID_DECL(IVideoGenerator, UUID_IVideoGenerator)

#undef ORMIDEX_RESERVED
