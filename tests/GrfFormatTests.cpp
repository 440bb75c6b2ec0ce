// The saved-graph reader and writer on hand-made streams: the loose grammar
// accepted, malformed streams refused with the place and reason, and
// descriptions that the format cannot carry refused by the writer.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "grf/GrfReader.h"
#include "grf/GrfWriter.h"
#include "tests/GrfTestData.h"

using namespace std::string_literals;

namespace {

const char kAsyncReader[] = "{E436EBB5-524F-11CE-9F53-0020AF0BA770}";
const char kFileWriter[] = "{8596E5F0-0DA5-11D0-BD21-00A0C911CE86}";
const char kStream[] = "{E436EB83-524F-11CE-9F53-0020AF0BA770}";
const char kMpeg1System[] = "{E436EB84-524F-11CE-9F53-0020AF0BA770}";
const char kFormatNone[] = "{0F6417D6-C318-11D0-A43F-00A0C9223196}";
const char kSystemClock[] = "{E436EBB1-524F-11CE-9F53-0020AF0BA770}";

const std::string kConnectionLine = "0001 \"Out\" 0002 \"In 0\" 0000000290 "s + kStream + " " + kMpeg1System +
                                    " 1 0 0000000004\0"s + kFormatNone + " 0000000004 xy\r\n";
// As the writer writes it. The blobs "ab" and "xy" are four bytes each.
const std::string kStrict =
    "0003\r\n"
    "FILTERS\r\n"
    "0001 \"Source: 1\" "s + kAsyncReader + " SOURCE \"C:\\clip 1.avi\" 0000000000 \r\n"
    "0002 \"Sink\" " + kFileWriter + " SINK \"out.avi\" 0000000004 ab\r\n"
    "CONNECTIONS\r\n" + kConnectionLine +
    "CLOCK 1 0002\r\n"
    "END";

grf::Guid G(const char* pszGuid)
{
    std::wstring text(pszGuid, pszGuid + 38);
    return GuidFromText(text.c_str());
}

grf::Graph StrictGraph()
{
    grf::Graph graph;
    graph.nVersion = 3;
    graph.filters.resize(2);
    grf::Filter& source = graph.filters[0];
    source.nId = 1;
    source.name = u"Source: 1";
    source.clsid = G(kAsyncReader);
    source.fileKind = grf::FileKind::Source;
    source.fileName = u"C:\\clip 1.avi";
    grf::Filter& sink = graph.filters[1];
    sink.nId = 2;
    sink.name = u"Sink";
    sink.clsid = G(kFileWriter);
    sink.fileKind = grf::FileKind::Sink;
    sink.fileName = u"out.avi";
    sink.data = {'a', 0, 'b', 0};

    graph.connections.resize(1);
    grf::Connection& c = graph.connections[0];
    c.nFromId = 1;
    c.fromPin = u"Out";
    c.nToId = 2;
    c.toPin = u"In 0";
    c.mt.majortype = G(kStream);
    c.mt.subtype = G(kMpeg1System);
    c.mt.bFixedSizeSamples = true;
    c.mt.bTemporalCompression = false;
    c.mt.lSampleSize = 4;
    c.mt.formattype = G(kFormatNone);
    c.mt.format = {'x', 0, 'y', 0};

    graph.clock.bPresent = true;
    graph.clock.nFlag = 1;
    graph.clock.kind = grf::ClockKind::Filter;
    graph.clock.nFilterId = 2;
    return graph;
}

using Edits = std::vector<std::pair<std::string, std::string>>;

// Every occurrence of each edit's first text replaced by its second.
std::string Edit(std::string text, const Edits& edits)
{
    for (const auto& edit : edits)
    {
        for (size_t i = text.find(edit.first); i != std::string::npos;
             i = text.find(edit.first, i + edit.second.size()))
            text.replace(i, edit.first.size(), edit.second);
    }
    return text;
}

std::string Lower(std::string s)
{
    for (char& ch : s)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

int32_t Read(const std::vector<uint8_t>& bytes, grf::Graph* pGraph, grf::ReadError* pError = nullptr)
{
    return grf::ReadStream(bytes.data(), bytes.size(), pGraph, pError);
}

TEST(GrfFormat, StrictStreamReadsIntoItsDescriptionAndWritesBackExactly)
{
    const std::vector<uint8_t> bytes = Utf16(kStrict);
    grf::Graph graph;
    grf::ReadError error;
    ASSERT_EQ(0, Read(bytes, &graph, &error)) << error.pszWhat << " at " << error.nOffset;
    EXPECT_TRUE(graph == StrictGraph());

    std::vector<uint8_t> written;
    ASSERT_EQ(0, grf::WriteStream(StrictGraph(), &written));
    EXPECT_TRUE(written == bytes);
}

struct LooseCase
{
    const char* pszWhat;
    Edits edits;
    void (*adjust)(grf::Graph* pExpected);
};

TEST(GrfFormat, LooseGrammarIsAccepted)
{
    Edits lowerGuids;
    for (const char* psz : {kAsyncReader, kFileWriter, kStream, kMpeg1System, kFormatNone})
        lowerGuids.emplace_back(psz, Lower(psz));

    const LooseCase rgCases[] = {
        {"LF line ends", {{"\r\n", "\n"}}, nullptr},
        {"lower-case GUIDs", lowerGuids, nullptr},
        {"spaces, tabs and blank lines between fields and records",
         {{"FILTERS\r\n", "FILTERS \t\r\n\r\n"}, {"0001 \"Source", "0001  \t\"Source"},
          {"SINK \"out.avi\"", "SINK\t\"out.avi\"  "}, {"ab\r\n", "ab \t\r\n\r\n"},
          {"0002 \"In 0\"", "0002\t\t\"In 0\"\t"}, {"CLOCK 1 0002", "CLOCK  1\t0002  "}},
         nullptr},
        // Inside the media type the byte count follows the text: two more
        // characters are four more bytes.
        {"spaces inside the media type", {{" 1 0 ", "  1 0  "}, {"0000000290", "0000000294"}}, nullptr},
        {"a space after the sample size", {{"0000000004\0"s, "0000000004 "}}, nullptr},
        // Two ten-digit fields of the media type shrink by nine characters.
        {"numbers of other digit counts",
         {{"0000000290", "254"}, {"0003\r\n", "3\r\n"}, {"0001", "1"}, {"0002", "000000002"},
          {"0000000000 ", "0 "}, {"0000000004\0"s, "4\0"s}, {"0000000004 xy", "4 xy"}},
         nullptr},
        {"white space after END", {{"END", "END\r\n \t\n"}}, nullptr},
        {"no CLOCK line", {{"CLOCK 1 0002\r\n", ""}}, [](grf::Graph* p) { p->clock = grf::Clock(); }},
        {"an empty CONNECTIONS section", {{kConnectionLine, ""}},
         [](grf::Graph* p) { p->connections.clear(); }},
        {"an empty CONNECTIONS section and no CLOCK line", {{kConnectionLine, ""}, {"CLOCK 1 0002\r\n", ""}},
         [](grf::Graph* p) {
             p->connections.clear();
             p->clock = grf::Clock();
         }},
        {"a clock of a class, lower case", {{"CLOCK 1 0002", "CLOCK 1 "s + Lower(kSystemClock)}},
         [](grf::Graph* p) {
             p->clock.kind = grf::ClockKind::Class;
             p->clock.nFilterId = 0;
             p->clock.clsid = G(kSystemClock);
         }},
        {"no clock required, none named", {{"CLOCK 1 0002", "CLOCK 0 0000"}},
         [](grf::Graph* p) {
             p->clock.nFlag = 0;
             p->clock.kind = grf::ClockKind::Default;
             p->clock.nFilterId = 0;
         }},
        {"another version number", {{"0003\r\n", "0002\r\n"}}, [](grf::Graph* p) { p->nVersion = 2; }},
    };
    for (const LooseCase& c : rgCases)
    {
        const std::vector<uint8_t> bytes = Utf16(Edit(kStrict, c.edits));
        grf::Graph expected = StrictGraph();
        if (c.adjust)
            c.adjust(&expected);
        grf::Graph graph;
        grf::ReadError error;
        ASSERT_EQ(0, Read(bytes, &graph, &error)) << c.pszWhat << ": " << error.pszWhat << " at " << error.nOffset;
        EXPECT_TRUE(graph == expected) << c.pszWhat;
    }
}

// Blobs of odd length put the text after them at odd offsets, and one odd
// blob makes a stream of odd size: both read and write back exactly.
TEST(GrfFormat, TextAtOddOffsetsAfterOddLengthBlobs)
{
    std::vector<uint8_t> bytes = Utf16("0003\r\nFILTERS\r\n0001 \"A\" "s + kAsyncReader + " 0000000003 ");
    bytes += {0x22, 0x0D, 0x0A};  // a quote and a line break, as opaque bytes
    bytes += Utf16("\r\n0002 \"B\" "s + kFileWriter + " 0000000000 \r\nCONNECTIONS\r\n");
    bytes += Utf16("0001 \"Out\" 0002 \"In\" 0000000287 "s + kStream + " " + kMpeg1System + " 0 1 0000000000\0"s +
                   kFormatNone + " 0000000001 ");
    bytes += {0xFF};
    bytes += Utf16("\r\nCLOCK 1 0001\r\nEND");
    ASSERT_EQ(0u, bytes.size() % 2);

    grf::Graph graph;
    grf::ReadError error;
    ASSERT_EQ(0, Read(bytes, &graph, &error)) << error.pszWhat << " at " << error.nOffset;
    ASSERT_EQ(2u, graph.filters.size());
    EXPECT_TRUE(graph.filters[0].data == std::vector<uint8_t>({0x22, 0x0D, 0x0A}));
    EXPECT_TRUE(graph.filters[1].name == u"B");
    ASSERT_EQ(1u, graph.connections.size());
    EXPECT_TRUE(graph.connections[0].toPin == u"In");
    EXPECT_FALSE(graph.connections[0].mt.bFixedSizeSamples);
    EXPECT_TRUE(graph.connections[0].mt.bTemporalCompression);
    EXPECT_TRUE(graph.connections[0].mt.format == std::vector<uint8_t>({0xFF}));
    EXPECT_EQ(grf::ClockKind::Filter, graph.clock.kind);
    EXPECT_EQ(1, graph.clock.nFilterId);

    std::vector<uint8_t> written;
    ASSERT_EQ(0, grf::WriteStream(graph, &written));
    EXPECT_TRUE(written == bytes);

    graph.filters[1].data = {0x7F};
    ASSERT_EQ(0, grf::WriteStream(graph, &written));
    ASSERT_EQ(1u, written.size() % 2);
    grf::Graph again;
    ASSERT_EQ(0, Read(written, &again, &error)) << error.pszWhat << " at " << error.nOffset;
    EXPECT_TRUE(again == graph);
}

struct BadCase
{
    const char* pszWhat;
    std::string find;        // its first occurrence in the strict stream...
    std::string replace;     // ...replaced by this
    size_t cchIntoReplaced;  // where the refusal is reported, in characters
    const char* pszReason;
};

TEST(GrfFormat, MalformedTextIsRefusedWhereItGoesWrong)
{
    const BadCase rgCases[] = {
        {"version of five digits", "0003", "10003", 0, "bad version number"},
        {"no FILTERS", "FILTERS", "FILTER", 0, "no FILTERS section"},
        {"filter id 0", "0001 \"Source", "0000 \"Source", 0, "filter id 0"},
        {"filter id of five digits", "0002 \"Sink", "10002 \"Sink", 0, "bad filter id"},
        {"filter id used twice", "0002 \"Sink", "0001 \"Sink", 0, "filter id used twice"},
        {"no white space between fields", "0001 \"Source", "0001\"Source", 4, "no white space between fields"},
        {"line break in a name", "\"Sink\"", "\"Si\r\nnk\"", 0, "bad quoted name"},
        {"name without its closing quote", "\"In 0\"", "\"In 0", 0, "bad quoted name"},
        {"GUID with a non-hex digit", kFileWriter, "{8596E5F0-0DA5-11D0-BD21-00A0C911CE8G}", 0, "bad GUID"},
        {"GUID one digit short", kFileWriter, "{8596E5F0-0DA5-11D0-BD21-00A0C911CE8}", 0, "bad GUID"},
        {"GUID without braces", kAsyncReader, "E436EBB5-524F-11CE-9F53-0020AF0BA770", 0, "bad GUID"},
        {"filter length far beyond the stream", "0000000004 ab", "9999999999 ab", 0,
         "length beyond the end of the stream"},
        {"filter length of eleven digits", "0000000004 ab", "99999999999 ab", 0, "bad length"},
        {"no white space after a length", "0000000004 ab", "0000000004ab", 10, "no white space after a length"},
        {"no CONNECTIONS", "CONNECTIONS", "CONNECTION", 0, "no CONNECTIONS section"},
        {"connection from an unknown filter", "0001 \"Out\"", "0007 \"Out\"", 0,
         "connection names an unknown filter"},
        {"connection to an unknown filter", "0002 \"In 0\"", "0003 \"In 0\"", 0,
         "connection names an unknown filter"},
        {"byte count two bytes over", "0000000290", "0000000292", 0,
         "media type byte count disagrees with its bytes"},
        {"byte count two bytes under", "0000000290", "0000000288", 0,
         "media type byte count disagrees with its bytes"},
        {"byte count far beyond the stream", "0000000290", "9999999999", 0,
         "media type byte count disagrees with its bytes"},
        {"flag 2", " 1 0 ", " 2 0 ", 1, "flag is not 0 or 1"},
        {"sample size past 32 bits", "0000000004\0"s, "4294967296\0"s, 0, "bad sample size"},
        {"format length far beyond the stream", "0000000004 xy", "9999999999 xy", 0,
         "length beyond the end of the stream"},
        {"clock flag 2", "CLOCK 1", "CLOCK 2", 6, "bad clock flag"},
        {"clock of an unknown filter", "CLOCK 1 0002", "CLOCK 1 0009", 8, "clock names an unknown filter"},
        {"no END", "END", "", 0, "expected END"},
        {"something else than CLOCK or END", "CLOCK 1 0002\r\n", "CLUCK 1 0002\r\n", 0, "expected CLOCK or END"},
        {"text after END", "END", "END X", 4, "bytes after END"},
        {"U+0000 after END", "END", "END\0"s, 3, "bytes after END"},
    };
    for (const BadCase& c : rgCases)
    {
        std::string text = kStrict;
        const size_t ich = text.find(c.find);
        ASSERT_NE(std::string::npos, ich) << c.pszWhat;
        text.replace(ich, c.find.size(), c.replace);
        const std::vector<uint8_t> bytes = Utf16(text);

        grf::Graph graph;
        graph.filters.resize(1);
        grf::ReadError error;
        EXPECT_EQ(grf::kInvalidFormat, Read(bytes, &graph, &error)) << c.pszWhat;
        EXPECT_STREQ(c.pszReason, error.pszWhat) << c.pszWhat;
        EXPECT_EQ(2 * (ich + c.cchIntoReplaced), error.nOffset) << c.pszWhat;
        EXPECT_TRUE(graph == grf::Graph()) << c.pszWhat;
    }
}

TEST(GrfFormat, StreamsThatAreNotTheFormatAreRefused)
{
    std::vector<uint8_t> oddSize = Utf16(kStrict);  // one stray byte after END
    oddSize.push_back(0);
    std::vector<uint8_t> compoundFile;
    ASSERT_TRUE(ReadFileBytes(GrfFixturePath(L"uscreencapture-source-null-name.grf"), &compoundFile));
    const std::string eightBit = kStrict.substr(0, kStrict.size() & ~size_t(1));
    std::vector<uint8_t> byteOrderMark = {0xFF, 0xFE};
    byteOrderMark += Utf16(kStrict);

    struct Case
    {
        const char* pszWhat;
        std::vector<uint8_t> bytes;
        size_t nOffset;
        const char* pszReason;
    };
    const Case rgCases[] = {
        {"empty", {}, 0, "bad version number"},
        {"one byte after END", oddSize, oddSize.size() - 1, "bytes after END"},
        {"a whole .grf file", compoundFile, 0, "bad version number"},
        {"the text in 8 bits", std::vector<uint8_t>(eightBit.begin(), eightBit.end()), 0, "bad version number"},
        {"a byte-order mark", byteOrderMark, 0, "bad version number"},
    };
    for (const Case& c : rgCases)
    {
        grf::Graph graph;
        grf::ReadError error;
        EXPECT_EQ(grf::kInvalidFormat, Read(c.bytes, &graph, &error)) << c.pszWhat;
        EXPECT_EQ(c.nOffset, error.nOffset) << c.pszWhat;
        EXPECT_STREQ(c.pszReason, error.pszWhat) << c.pszWhat;
    }
}

struct WriteCase
{
    const char* pszWhat;
    void (*change)(grf::Graph* p);
};

TEST(GrfFormat, WriterRefusesWhatTheFormatCannotCarry)
{
    const WriteCase rgCases[] = {
        {"quote in a filter name", [](grf::Graph* p) { p->filters[0].name = u"a\"b"; }},
        {"CR in a filter name", [](grf::Graph* p) { p->filters[0].name = u"a\rb"; }},
        {"LF in a file name", [](grf::Graph* p) { p->filters[1].fileName = u"a\nb"; }},
        {"quote in a pin name", [](grf::Graph* p) { p->connections[0].toPin = u"\""; }},
        {"file name without SOURCE or SINK",
         [](grf::Graph* p) { p->filters[1].fileKind = grf::FileKind::None; }},
        {"filter id 0", [](grf::Graph* p) { p->filters[0].nId = 0; p->connections[0].nFromId = 0; }},
        {"filter id 10000", [](grf::Graph* p) { p->filters[0].nId = 10000; p->connections[0].nFromId = 10000; }},
        {"negative filter id", [](grf::Graph* p) { p->filters[0].nId = -1; p->connections[0].nFromId = -1; }},
        {"filter id used twice", [](grf::Graph* p) { p->filters[1].nId = 1; p->connections[0].nToId = 1; }},
        {"connection to an unknown filter", [](grf::Graph* p) { p->connections[0].nToId = 3; }},
        {"clock of an unknown filter", [](grf::Graph* p) { p->clock.nFilterId = 3; }},
        {"clock flag 2", [](grf::Graph* p) { p->clock.nFlag = 2; }},
        {"version 10000", [](grf::Graph* p) { p->nVersion = 10000; }},
        {"negative version", [](grf::Graph* p) { p->nVersion = -1; }},
    };
    for (const WriteCase& c : rgCases)
    {
        grf::Graph graph = StrictGraph();
        c.change(&graph);
        std::vector<uint8_t> bytes = {1, 2, 3};
        EXPECT_EQ(grf::kCannotWrite, grf::WriteStream(graph, &bytes)) << c.pszWhat;
        EXPECT_TRUE(bytes.empty()) << c.pszWhat;
    }
}

} // namespace
