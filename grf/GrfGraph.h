// A saved graph as the graph editor's "ActiveMovieGraph" stream holds it:
// plain values only, no COM object and no Windows dependency, so that the
// reader and writer also build natively (for fuzzing).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace grf {

// Laid out like the platform's GUID, so that the two convert by copying.
struct Guid
{
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};
};
bool operator==(const Guid& a, const Guid& b);
inline bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }

// What follows a filter's class id: nothing, SOURCE "file" or SINK "file".
enum class FileKind
{
    None,
    Source,
    Sink,
};

struct Filter
{
    int nId = 0;                // the number the file gives the filter
    std::u16string name;        // its name in the graph
    Guid clsid;
    FileKind fileKind = FileKind::None;
    std::u16string fileName;    // the SOURCE or SINK name, as written
    std::vector<uint8_t> data;  // the filter's IPersistStream bytes
};

// The whole media type of a connection; the format block is kept as bytes.
struct MediaType
{
    Guid majortype;
    Guid subtype;
    bool bFixedSizeSamples = false;
    bool bTemporalCompression = false;
    uint32_t lSampleSize = 0;
    Guid formattype;
    std::vector<uint8_t> format;
};

struct Connection
{
    int nFromId = 0;             // the upstream filter, by its number
    std::u16string fromPin;      // its output pin's name
    int nToId = 0;               // the downstream filter
    std::u16string toPin;        // its input pin's name
    MediaType mt;
};

// The CLOCK line: a filter of the graph, an object of a clock class, or
// 0000, the graph's default.
enum class ClockKind
{
    Default,
    Filter,
    Class,
};

struct Clock
{
    bool bPresent = false;       // the stream has a CLOCK line
    int nFlag = 1;               // the number written after CLOCK
    ClockKind kind = ClockKind::Default;
    int nFilterId = 0;           // with ClockKind::Filter
    Guid clsid;                  // with ClockKind::Class
};

struct Graph
{
    int nVersion = 3;            // the first line, "0003"
    std::vector<Filter> filters;
    std::vector<Connection> connections;
    Clock clock;
};

// Field by field, data bytes included: what a round trip must preserve.
bool operator==(const Filter& a, const Filter& b);
bool operator==(const MediaType& a, const MediaType& b);
bool operator==(const Connection& a, const Connection& b);
bool operator==(const Clock& a, const Clock& b);
bool operator==(const Graph& a, const Graph& b);
inline bool operator!=(const Graph& a, const Graph& b) { return !(a == b); }

} // namespace grf
