#include "grf/GrfGraph.h"

#include <algorithm>

namespace grf {

bool operator==(const Guid& a, const Guid& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::equal(a.Data4, a.Data4 + 8, b.Data4);
}

bool operator==(const Filter& a, const Filter& b)
{
    return a.nId == b.nId && a.name == b.name && a.clsid == b.clsid && a.fileKind == b.fileKind &&
           a.fileName == b.fileName && a.data == b.data;
}

bool operator==(const MediaType& a, const MediaType& b)
{
    return a.majortype == b.majortype && a.subtype == b.subtype &&
           a.bFixedSizeSamples == b.bFixedSizeSamples && a.bTemporalCompression == b.bTemporalCompression &&
           a.lSampleSize == b.lSampleSize && a.formattype == b.formattype && a.format == b.format;
}

bool operator==(const Connection& a, const Connection& b)
{
    return a.nFromId == b.nFromId && a.fromPin == b.fromPin && a.nToId == b.nToId && a.toPin == b.toPin &&
           a.mt == b.mt;
}

bool operator==(const Clock& a, const Clock& b)
{
    return a.bPresent == b.bPresent && a.nFlag == b.nFlag && a.kind == b.kind && a.nFilterId == b.nFilterId &&
           a.clsid == b.clsid;
}

bool operator==(const Graph& a, const Graph& b)
{
    return a.nVersion == b.nVersion && a.filters == b.filters && a.connections == b.connections &&
           a.clock == b.clock;
}

} // namespace grf
