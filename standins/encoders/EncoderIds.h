// Identifiers of the encoder stand-ins that the program does not know: the
// two G.711 encoders, the property pages, the media subtypes, and a private
// interface through which the QS encoder's page reads the settings.
#pragma once

#include <windows.h>
#include <guiddef.h>
#include <mmreg.h>

#include "dshow/FourCCSubtype.h"
#include "components/ComponentIds.h"

constexpr GUID CLSID_CCITTALawEncoder = {
    0x73904739, 0x461d, 0x44a7, {0x86, 0x6d, 0x58, 0x6c, 0xd7, 0x67, 0x4e, 0x32}};
constexpr GUID CLSID_CCITTMuLawEncoder = {
    0x7c7929f4, 0xae2e, 0x41b9, {0xab, 0xab, 0xfe, 0x46, 0x13, 0x4e, 0x17, 0x66}};
constexpr GUID CLSID_QSEncoderPropertyPage = {
    0x0607824c, 0x29b7, 0x4313, {0xa9, 0xcf, 0xae, 0xe3, 0x3a, 0xdd, 0xc7, 0x88}};
constexpr GUID CLSID_OpusEncoderPropertyPage = {
    0x52903b9b, 0x630a, 0x48c9, {0xa2, 0xc9, 0xcf, 0x97, 0x7a, 0x42, 0x7b, 0xf8}};

constexpr GUID MEDIASUBTYPE_StandinH264 = FourCCSubtype(MAKEFOURCC('H', '2', '6', '4'));
constexpr GUID MEDIASUBTYPE_StandinALaw = FourCCSubtype(WAVE_FORMAT_ALAW);
constexpr GUID MEDIASUBTYPE_StandinMuLaw = FourCCSubtype(WAVE_FORMAT_MULAW);
constexpr WORD c_wWaveFormatOpus = 0x704F;
constexpr GUID MEDIASUBTYPE_StandinOpus = FourCCSubtype(c_wWaveFormatOpus);

// The QS encoder's current settings, for its property page and tests.
struct QS_ENCODER_STATUS
{
    LONG nSupportedEncoders;
    LONG nSelectedEncoder;  // 0 before SelectEncoder
    LONG nTargetUsage;
    LONG nBitrateKbps;
    LONG nBFrames;
    ULONG cFrames;          // frames coded since the filter was created
    ULONG cKeyFrames;
};

struct IQSEncoderStatus : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE GetStatus(QS_ENCODER_STATUS* pStatus) = 0;
    // openh264's name and version as it reports them, and its last error
    // (empty when none); the caller frees both with SysFreeString.
    virtual HRESULT STDMETHODCALLTYPE GetLibrary(BSTR* pbstrVersion, BSTR* pbstrError) = 0;
};
#define UUID_IQSEncoderStatus 0xe2764848, 0x76db, 0x4095, 0xb5, 0x3c, 0xd0, 0xe3, 0x7a, 0xec, 0x33, 0x25
CORVASTA_UUID_DECL(IQSEncoderStatus, UUID_IQSEncoderStatus)
