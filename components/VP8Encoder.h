// The WebM project's VP8 encoder filter interface: 76 slots counting
// IUnknown's three. Only SetDeadline (5) and SetForceKeyframe (57) are called.
#pragma once

#include <windows.h>

#include "ComponentIds.h"

struct IVP8Encoder : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE ApplySettings() = 0; // 3
    virtual HRESULT STDMETHODCALLTYPE ResetSettings() = 0; // 4
    virtual HRESULT STDMETHODCALLTYPE SetDeadline(int nDeadline) = 0; // 5
    virtual HRESULT STDMETHODCALLTYPE GetDeadline(int* pnDeadline) = 0; // 6
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0; // 7
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0; // 8
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0; // 9
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0; // 10
    virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0; // 11
    virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0; // 12
    virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0; // 13
    virtual HRESULT STDMETHODCALLTYPE Reserved14() = 0; // 14
    virtual HRESULT STDMETHODCALLTYPE Reserved15() = 0; // 15
    virtual HRESULT STDMETHODCALLTYPE Reserved16() = 0; // 16
    virtual HRESULT STDMETHODCALLTYPE Reserved17() = 0; // 17
    virtual HRESULT STDMETHODCALLTYPE Reserved18() = 0; // 18
    virtual HRESULT STDMETHODCALLTYPE Reserved19() = 0; // 19
    virtual HRESULT STDMETHODCALLTYPE Reserved20() = 0; // 20
    virtual HRESULT STDMETHODCALLTYPE Reserved21() = 0; // 21
    virtual HRESULT STDMETHODCALLTYPE Reserved22() = 0; // 22
    virtual HRESULT STDMETHODCALLTYPE Reserved23() = 0; // 23
    virtual HRESULT STDMETHODCALLTYPE Reserved24() = 0; // 24
    virtual HRESULT STDMETHODCALLTYPE Reserved25() = 0; // 25
    virtual HRESULT STDMETHODCALLTYPE Reserved26() = 0; // 26
    virtual HRESULT STDMETHODCALLTYPE Reserved27() = 0; // 27
    virtual HRESULT STDMETHODCALLTYPE Reserved28() = 0; // 28
    virtual HRESULT STDMETHODCALLTYPE Reserved29() = 0; // 29
    virtual HRESULT STDMETHODCALLTYPE Reserved30() = 0; // 30
    virtual HRESULT STDMETHODCALLTYPE Reserved31() = 0; // 31
    virtual HRESULT STDMETHODCALLTYPE Reserved32() = 0; // 32
    virtual HRESULT STDMETHODCALLTYPE Reserved33() = 0; // 33
    virtual HRESULT STDMETHODCALLTYPE Reserved34() = 0; // 34
    virtual HRESULT STDMETHODCALLTYPE Reserved35() = 0; // 35
    virtual HRESULT STDMETHODCALLTYPE Reserved36() = 0; // 36
    virtual HRESULT STDMETHODCALLTYPE Reserved37() = 0; // 37
    virtual HRESULT STDMETHODCALLTYPE Reserved38() = 0; // 38
    virtual HRESULT STDMETHODCALLTYPE Reserved39() = 0; // 39
    virtual HRESULT STDMETHODCALLTYPE Reserved40() = 0; // 40
    virtual HRESULT STDMETHODCALLTYPE Reserved41() = 0; // 41
    virtual HRESULT STDMETHODCALLTYPE Reserved42() = 0; // 42
    virtual HRESULT STDMETHODCALLTYPE Reserved43() = 0; // 43
    virtual HRESULT STDMETHODCALLTYPE Reserved44() = 0; // 44
    virtual HRESULT STDMETHODCALLTYPE Reserved45() = 0; // 45
    virtual HRESULT STDMETHODCALLTYPE Reserved46() = 0; // 46
    virtual HRESULT STDMETHODCALLTYPE Reserved47() = 0; // 47
    virtual HRESULT STDMETHODCALLTYPE Reserved48() = 0; // 48
    virtual HRESULT STDMETHODCALLTYPE Reserved49() = 0; // 49
    virtual HRESULT STDMETHODCALLTYPE Reserved50() = 0; // 50
    virtual HRESULT STDMETHODCALLTYPE Reserved51() = 0; // 51
    virtual HRESULT STDMETHODCALLTYPE Reserved52() = 0; // 52
    virtual HRESULT STDMETHODCALLTYPE Reserved53() = 0; // 53
    virtual HRESULT STDMETHODCALLTYPE Reserved54() = 0; // 54
    virtual HRESULT STDMETHODCALLTYPE Reserved55() = 0; // 55
    virtual HRESULT STDMETHODCALLTYPE Reserved56() = 0; // 56
    virtual HRESULT STDMETHODCALLTYPE SetForceKeyframe() = 0; // 57
    virtual HRESULT STDMETHODCALLTYPE Reserved58() = 0; // 58
    virtual HRESULT STDMETHODCALLTYPE Reserved59() = 0; // 59
    virtual HRESULT STDMETHODCALLTYPE Reserved60() = 0; // 60
    virtual HRESULT STDMETHODCALLTYPE Reserved61() = 0; // 61
    virtual HRESULT STDMETHODCALLTYPE Reserved62() = 0; // 62
    virtual HRESULT STDMETHODCALLTYPE Reserved63() = 0; // 63
    virtual HRESULT STDMETHODCALLTYPE Reserved64() = 0; // 64
    virtual HRESULT STDMETHODCALLTYPE Reserved65() = 0; // 65
    virtual HRESULT STDMETHODCALLTYPE Reserved66() = 0; // 66
    virtual HRESULT STDMETHODCALLTYPE Reserved67() = 0; // 67
    virtual HRESULT STDMETHODCALLTYPE Reserved68() = 0; // 68
    virtual HRESULT STDMETHODCALLTYPE Reserved69() = 0; // 69
    virtual HRESULT STDMETHODCALLTYPE Reserved70() = 0; // 70
    virtual HRESULT STDMETHODCALLTYPE Reserved71() = 0; // 71
    virtual HRESULT STDMETHODCALLTYPE Reserved72() = 0; // 72
    virtual HRESULT STDMETHODCALLTYPE Reserved73() = 0; // 73
    virtual HRESULT STDMETHODCALLTYPE Reserved74() = 0; // 74
    virtual HRESULT STDMETHODCALLTYPE Reserved75() = 0; // 75
};
CORVASTA_UUID_DECL(IVP8Encoder, UUID_IVP8Encoder)
