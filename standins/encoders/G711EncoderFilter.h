// The "CCITT A-Law" and "CCITT u-Law" audio compressors: 16-bit PCM in, one
// G.711 byte per sample out, at the input's rate and channel count. They
// offer no property page.
#pragma once

#include "KitTransformFilter.h"

class CG711Encoder : public CKitTransformFilter
{
public:
    HRESULT CheckInputType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetOutputType(ULONG iPosition, CMediaType* pmt) override;
    HRESULT GetOutputBufferSize(ALLOCATOR_PROPERTIES* pRequest) override;
    HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) override;

protected:
    CG711Encoder(const wchar_t* pszName, REFCLSID clsid, bool bALaw);

private:
    bool m_bALaw;
};

class CALawEncoder : public CG711Encoder
{
public:
    static const wchar_t c_szName[]; // "CCITT A-Law"
    CALawEncoder();
};

class CMuLawEncoder : public CG711Encoder
{
public:
    static const wchar_t c_szName[]; // "CCITT u-Law"
    CMuLawEncoder();
};
