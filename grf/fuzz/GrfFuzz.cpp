// Any bytes go to the reader. What it accepts must write back, and the
// written bytes must read to the same description and write to the same
// bytes again; a refusal must leave the description empty.
#include <cstdlib>
#include <vector>

#include "grf/GrfReader.h"
#include "grf/GrfWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pb, size_t cb)
{
    grf::Graph graph;
    grf::ReadError error;
    if (grf::ReadStream(pb, cb, &graph, &error) != 0)
    {
        if (graph != grf::Graph() || error.nOffset > cb)
            abort();
        return 0;
    }

    std::vector<uint8_t> written;
    if (grf::WriteStream(graph, &written) != 0)
        abort();
    grf::Graph again;
    if (grf::ReadStream(written.data(), written.size(), &again) != 0 || again != graph)
        abort();
    std::vector<uint8_t> rewritten;
    if (grf::WriteStream(again, &rewritten) != 0 || rewritten != written)
        abort();
    return 0;
}
