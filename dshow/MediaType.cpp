#include "MediaType.h"

#include <cstring>

namespace {

// Fields only: no block is freed, no reference taken or released.
void ZeroMediaType(AM_MEDIA_TYPE& mt)
{
    memset(&mt, 0, sizeof(AM_MEDIA_TYPE));
}

} // namespace

void FreeMediaType(AM_MEDIA_TYPE& mt)
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

void DeleteMediaType(AM_MEDIA_TYPE* pmt)
{
    if (pmt == nullptr)
        return;
    FreeMediaType(*pmt);
    ::CoTaskMemFree(pmt);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource)
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

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* pmtSource)
{
    AM_MEDIA_TYPE* pmt = static_cast<AM_MEDIA_TYPE*>(::CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (pmt == nullptr)
        return nullptr;
    if (FAILED(CopyMediaType(pmt, pmtSource)))
    {
        ::CoTaskMemFree(pmt);
        return nullptr;
    }
    return pmt;
}

CMediaType::CMediaType()
{
    ZeroMediaType(*this);
}

CMediaType::CMediaType(const CMediaType& mt) : CMediaType()
{
    Set(&mt);
}

CMediaType::CMediaType(CMediaType&& mt) noexcept : AM_MEDIA_TYPE(mt)
{
    ZeroMediaType(mt);
}

CMediaType::~CMediaType()
{
    FreeMediaType(*this);
}

CMediaType& CMediaType::operator=(const CMediaType& mt)
{
    if (this != &mt)
        Set(&mt);
    return *this;
}

CMediaType& CMediaType::operator=(CMediaType&& mt) noexcept
{
    if (this != &mt)
    {
        FreeMediaType(*this);
        static_cast<AM_MEDIA_TYPE&>(*this) = mt;
        ZeroMediaType(mt);
    }
    return *this;
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE* pmt)
{
    Clear();
    if (pmt == nullptr)
        return S_OK;
    return CopyMediaType(this, pmt);
}

void CMediaType::Attach(AM_MEDIA_TYPE* pmt)
{
    Clear();
    if (pmt == nullptr)
        return;
    static_cast<AM_MEDIA_TYPE&>(*this) = *pmt;
    ::CoTaskMemFree(pmt);
}

HRESULT CMediaType::CopyTo(AM_MEDIA_TYPE** ppmt) const
{
    if (ppmt == nullptr)
        return E_POINTER;
    *ppmt = CreateMediaType(this);
    return *ppmt != nullptr ? S_OK : E_OUTOFMEMORY;
}

void CMediaType::Clear()
{
    FreeMediaType(*this);
    ZeroMediaType(*this);
}

BYTE* CMediaType::AllocFormat(ULONG cb)
{
    if (cbFormat != 0)
        ::CoTaskMemFree(pbFormat);
    pbFormat = static_cast<BYTE*>(::CoTaskMemAlloc(cb));
    cbFormat = pbFormat ? cb : 0;
    if (pbFormat != nullptr)
        memset(pbFormat, 0, cb);
    return pbFormat;
}

bool CMediaType::Equals(const AM_MEDIA_TYPE* pmt) const
{
    return pmt != nullptr && majortype == pmt->majortype && subtype == pmt->subtype &&
           formattype == pmt->formattype && cbFormat == pmt->cbFormat &&
           (cbFormat == 0 || memcmp(pbFormat, pmt->pbFormat, cbFormat) == 0);
}
