// Conversions between the saved graph's plain values and the platform's.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#include "grf/GrfGraph.h"

namespace grf {

static_assert(sizeof(Guid) == sizeof(GUID), "grf::Guid is laid out like GUID");
static_assert(sizeof(char16_t) == sizeof(wchar_t), "UTF-16 names are wide strings here");

inline GUID ToGUID(const Guid& guid)
{
    GUID out;
    std::memcpy(&out, &guid, sizeof(out));
    return out;
}

inline Guid FromGUID(REFGUID guid)
{
    Guid out;
    out.Data1 = guid.Data1;
    out.Data2 = guid.Data2;
    out.Data3 = guid.Data3;
    std::memcpy(out.Data4, guid.Data4, sizeof(out.Data4));
    return out;
}

inline LPCWSTR ToWide(const std::u16string& s)
{
    return reinterpret_cast<LPCWSTR>(s.c_str());
}

inline std::u16string FromWide(LPCWSTR psz)
{
    return psz != nullptr ? std::u16string(reinterpret_cast<const char16_t*>(psz)) : std::u16string();
}

} // namespace grf
