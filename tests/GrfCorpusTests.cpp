// The kept fuzzing corpus (grf/fuzz/corpus) replayed in the ordinary test
// run, with the fuzz target's checks: whatever the reader accepts writes
// back, and the written bytes read to the same description and write to the
// same bytes again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grf/GrfReader.h"
#include "grf/GrfWriter.h"
#include "tests/GrfTestData.h"

namespace {

TEST(GrfCorpus, EveryInputReadsOrIsRefusedAndWhatIsReadWritesBackStably)
{
    const std::vector<std::wstring> files = GrfCorpusFiles();
    size_t cSeeds = 0;
    for (const std::wstring& file : files)
    {
        SCOPED_TRACE(testing::Message() << file);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFileBytes(file, &bytes));
        // The seeds are the fixtures' streams, which must read.
        const bool bSeed = file.find(L"\\seed-") != std::wstring::npos;
        cSeeds += bSeed;

        grf::Graph graph;
        grf::ReadError error;
        if (grf::ReadStream(bytes.data(), bytes.size(), &graph, &error) != 0)
        {
            EXPECT_FALSE(bSeed) << error.pszWhat << " at " << error.nOffset;
            EXPECT_LE(error.nOffset, bytes.size());
            EXPECT_TRUE(graph == grf::Graph());
            continue;
        }
        std::vector<uint8_t> written;
        ASSERT_EQ(0, grf::WriteStream(graph, &written));
        if (bSeed)
        {
            EXPECT_TRUE(written == bytes);
        }
        grf::Graph again;
        ASSERT_EQ(0, grf::ReadStream(written.data(), written.size(), &again));
        EXPECT_TRUE(again == graph);
        std::vector<uint8_t> rewritten;
        ASSERT_EQ(0, grf::WriteStream(again, &rewritten));
        EXPECT_TRUE(rewritten == written);
    }
    EXPECT_EQ(7u, cSeeds) << "seeds found in the corpus folder";
}

} // namespace
