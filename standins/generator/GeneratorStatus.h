// A private interface of the generator stand-in through which tests read the
// settings it was given: its defaults differ from what the program sets, so
// a set-up call that never arrived shows here.
#pragma once

#include <windows.h>

#include "components/ComponentIds.h"

struct GENERATOR_STATUS
{
    LONG nColorSpace; // 0 RGB32, 1 YUY2
    LONG nWidth;
    LONG nHeight;
    double dFrameRate;
    LONG nSampleRate;
    LONG nPattern;
    LONG nOverlay;
};

struct IGeneratorStatus : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE GetStatus(GENERATOR_STATUS* pStatus) = 0;
};
#define UUID_IGeneratorStatus 0x2f0695e6, 0x3f54, 0x473c, 0xa8, 0x78, 0x03, 0x81, 0xbf, 0xac, 0x95, 0xaa
CORVASTA_UUID_DECL(IGeneratorStatus, UUID_IGeneratorStatus)
