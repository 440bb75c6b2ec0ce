// Reading a saved graph's "ActiveMovieGraph" stream into its description.
#pragma once

#include <cstddef>
#include <cstdint>

#include "grf/GrfGraph.h"

namespace grf {

// The reader's failing code, as the platform names it:
// VFW_E_INVALID_FILE_FORMAT, "the file format is invalid".
constexpr int32_t kInvalidFormat = static_cast<int32_t>(0x8004022F);

// Where and why a stream was refused, for messages and tests.
struct ReadError
{
    size_t nOffset = 0;          // byte offset in the stream
    const char* pszWhat = "";    // a short English reason, static text
};

// Parses cb bytes at pb into *pGraph. Returns 0 (S_OK) or kInvalidFormat;
// never reads outside the bytes, and never allocates more than they can
// hold, whatever the lengths and numbers in them say. On failure *pGraph
// is left empty and *pError (when given) says where.
int32_t ReadStream(const uint8_t* pb, size_t cb, Graph* pGraph, ReadError* pError = nullptr);

} // namespace grf
