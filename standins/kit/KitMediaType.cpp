#include "KitMediaType.h"

#include <cstring>

void KitFreeMediaType(AM_MEDIA_TYPE& mt)
{
    if (mt.cbFormat != 0)
        ::CoTaskMemFree(mt.pbFormat);
    mt.cbFormat = 0;
    mt.pbFormat = nullptr;
    if (mt.pUnk != nullptr)
    {
        mt.pUnk->Release();
        mt.pUnk = nullptr;
    }
}

void KitDeleteMediaType(AM_MEDIA_TYPE* pmt)
{
    if (pmt == nullptr)
        return;
    KitFreeMediaType(*pmt);
    ::CoTaskMemFree(pmt);
}

HRESULT KitCopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource)
{
    *pmtTarget = *pmtSource;
    if (pmtSource->cbFormat != 0)
    {
        pmtTarget->pbFormat = static_cast<BYTE*>(::CoTaskMemAlloc(pmtSource->cbFormat));
        if (pmtTarget->pbFormat == nullptr)
        {
            pmtTarget->cbFormat = 0;
            pmtTarget->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        memcpy(pmtTarget->pbFormat, pmtSource->pbFormat, pmtSource->cbFormat);
    }
    else
    {
        pmtTarget->pbFormat = nullptr;
    }
    if (pmtTarget->pUnk != nullptr)
        pmtTarget->pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* KitCreateMediaType(const AM_MEDIA_TYPE* pmtSource)
{
    AM_MEDIA_TYPE* pmt = static_cast<AM_MEDIA_TYPE*>(::CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (pmt == nullptr)
        return nullptr;
    if (FAILED(KitCopyMediaType(pmt, pmtSource)))
    {
        ::CoTaskMemFree(pmt);
        return nullptr;
    }
    return pmt;
}

CKitMediaType::CKitMediaType()
{
    memset(static_cast<AM_MEDIA_TYPE*>(this), 0, sizeof(AM_MEDIA_TYPE));
}

CKitMediaType::CKitMediaType(const CKitMediaType& mt) : CKitMediaType()
{
    Set(&mt);
}

CKitMediaType::~CKitMediaType()
{
    KitFreeMediaType(*this);
}

CKitMediaType& CKitMediaType::operator=(const CKitMediaType& mt)
{
    if (this != &mt)
        Set(&mt);
    return *this;
}

HRESULT CKitMediaType::Set(const AM_MEDIA_TYPE* pmt)
{
    Clear();
    if (pmt == nullptr)
        return S_OK;
    return KitCopyMediaType(this, pmt);
}

void CKitMediaType::Clear()
{
    KitFreeMediaType(*this);
    memset(static_cast<AM_MEDIA_TYPE*>(this), 0, sizeof(AM_MEDIA_TYPE));
}

BYTE* CKitMediaType::AllocFormat(ULONG cb)
{
    if (cbFormat != 0)
        ::CoTaskMemFree(pbFormat);
    pbFormat = static_cast<BYTE*>(::CoTaskMemAlloc(cb));
    cbFormat = pbFormat ? cb : 0;
    if (pbFormat != nullptr)
        memset(pbFormat, 0, cb);
    return pbFormat;
}

bool CKitMediaType::Equals(const AM_MEDIA_TYPE* pmt) const
{
    return pmt != nullptr && majortype == pmt->majortype && subtype == pmt->subtype &&
           formattype == pmt->formattype && cbFormat == pmt->cbFormat &&
           (cbFormat == 0 || memcmp(pbFormat, pmt->pbFormat, cbFormat) == 0);
}

const VIDEOINFOHEADER* KitVideoInfo(const AM_MEDIA_TYPE* pmt)
{
    if (pmt == nullptr || pmt->formattype != FORMAT_VideoInfo ||
        pmt->cbFormat < sizeof(VIDEOINFOHEADER) || pmt->pbFormat == nullptr)
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(pmt->pbFormat);
}

const WAVEFORMATEX* KitWaveFormat(const AM_MEDIA_TYPE* pmt)
{
    if (pmt == nullptr || pmt->formattype != FORMAT_WaveFormatEx ||
        pmt->cbFormat < sizeof(WAVEFORMATEX) || pmt->pbFormat == nullptr)
        return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(pmt->pbFormat);
}

