// Media types that own their format block and pUnk, and the task-memory
// AM_MEDIA_TYPE that pins and enumerators hand out.
#pragma once

#include "atldshow.h"

// Releases what mt owns (the format block, pUnk) and clears those fields.
void FreeMediaType(AM_MEDIA_TYPE& mt);
// Frees a task-memory type as IEnumMediaTypes::Next hands it out; null is fine.
void DeleteMediaType(AM_MEDIA_TYPE* pmt);
// A deep copy into *pmtTarget, which owns nothing yet; on E_OUTOFMEMORY it
// is left owning nothing.
HRESULT CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource);
// A task-memory deep copy, as IEnumMediaTypes::Next hands out; null when out
// of memory.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* pmtSource);

// An AM_MEDIA_TYPE that owns its format block and its pUnk reference; it
// passes wherever an AM_MEDIA_TYPE* is asked for.
class CMediaType : public AM_MEDIA_TYPE
{
public:
    CMediaType();
    CMediaType(const CMediaType& mt);
    CMediaType(CMediaType&& mt) noexcept;
    ~CMediaType();
    CMediaType& operator=(const CMediaType& mt);
    CMediaType& operator=(CMediaType&& mt) noexcept;

    // A copy of *pmt; null empties the type.
    HRESULT Set(const AM_MEDIA_TYPE* pmt);
    // Takes over a task-memory type as an enumerator hands it out, and frees
    // the structure itself; null empties the type.
    void Attach(AM_MEDIA_TYPE* pmt);
    // A task-memory copy for the caller to free with DeleteMediaType.
    HRESULT CopyTo(AM_MEDIA_TYPE** ppmt) const;
    void Clear();
    // A zero-filled format block of cb bytes in place of the old one, or null
    // when out of memory.
    BYTE* AllocFormat(ULONG cb);
    bool IsValid() const { return majortype != GUID_NULL; }
    // Major, sub and format type equal, and format blocks byte for byte.
    bool Equals(const AM_MEDIA_TYPE* pmt) const;
};
