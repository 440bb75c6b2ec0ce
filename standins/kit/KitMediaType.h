// AM_MEDIA_TYPE ownership: the format block and pUnk of a media type are
// owned by it, and a type handed across an interface is task memory.
#pragma once

#include "KitCore.h"

void KitFreeMediaType(AM_MEDIA_TYPE& mt);
void KitDeleteMediaType(AM_MEDIA_TYPE* pmt);
HRESULT KitCopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource);
// A task-memory copy, as IEnumMediaTypes::Next hands out.
AM_MEDIA_TYPE* KitCreateMediaType(const AM_MEDIA_TYPE* pmtSource);

class CKitMediaType : public AM_MEDIA_TYPE
{
public:
    CKitMediaType();
    CKitMediaType(const CKitMediaType& mt);
    ~CKitMediaType();
    CKitMediaType& operator=(const CKitMediaType& mt);

    HRESULT Set(const AM_MEDIA_TYPE* pmt);
    void Clear();
    // A zero-filled format block of cb bytes, or null when out of memory.
    BYTE* AllocFormat(ULONG cb);
    bool IsValid() const { return majortype != GUID_NULL; }
    // Major, sub and format type equal, and format blocks byte for byte.
    bool Equals(const AM_MEDIA_TYPE* pmt) const;

    template <class T>
    T* Format() const
    {
        return cbFormat >= sizeof(T) ? reinterpret_cast<T*>(pbFormat) : nullptr;
    }
};

// Format blocks of a media type, or null when it has another or a short one.
const VIDEOINFOHEADER* KitVideoInfo(const AM_MEDIA_TYPE* pmt);
const WAVEFORMATEX* KitWaveFormat(const AM_MEDIA_TYPE* pmt);

