// Writing a description into the bytes that the graph editor saves.
#pragma once

#include <cstdint>
#include <vector>

#include "grf/GrfGraph.h"

namespace grf {

// The writer's failing code, E_INVALIDARG: a description that the format
// cannot carry (a name with a quote or a line break, a number out of range).
constexpr int32_t kCannotWrite = static_cast<int32_t>(0x80070057);

// Returns 0 (S_OK) with *pBytes holding the whole stream, or kCannotWrite
// with *pBytes empty.
int32_t WriteStream(const Graph& graph, std::vector<uint8_t>* pBytes);

} // namespace grf
