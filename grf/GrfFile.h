// A saved graph in a compound file: its "ActiveMovieGraph" stream read into
// a description, and a description written out as a new file.
#pragma once

#include <objidl.h>

#include "grf/GrfGraph.h"
#include "grf/GrfReader.h"

namespace grf {

extern const wchar_t c_szStreamName[];   // "ActiveMovieGraph"

// Reads the whole stream from its current position; kInvalidFormat for a
// stream that is not a saved graph (or is larger than any saved graph).
HRESULT ReadGraphStream(IStream* pStream, Graph* pGraph, ReadError* pError = nullptr);

// Opens the file read-only and unshared, as the graph editor's loader does.
HRESULT ReadGrfFile(LPCWSTR pszFile, Graph* pGraph, ReadError* pError = nullptr);

// Writes the description as a new file, replacing an existing one only
// once the new one is complete.
HRESULT WriteGrfFile(LPCWSTR pszFile, const Graph& graph);

} // namespace grf
