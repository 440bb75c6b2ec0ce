#include "grf/GrfWriter.h"

#include "grf/GrfLimits.h"
#include "grf/Utf16Writer.h"

namespace grf {

namespace {

constexpr size_t kIdDigits = 4;
constexpr size_t kLengthDigits = 10;

bool IsWritableName(const std::u16string& s)
{
    return s.find_first_of(u"\"\r\n") == std::u16string::npos;
}

// Everything the reader would refuse in the written bytes, so that whatever
// is written can be read back.
bool CanWrite(const Graph& graph)
{
    if (graph.nVersion < 0 || graph.nVersion > kMaxVersion)
        return false;

    FilterIdSet knownIds;
    for (const Filter& filter : graph.filters)
    {
        if (!knownIds.Add(filter.nId) || !IsWritableName(filter.name) ||
            !IsWritableName(filter.fileName) || filter.data.size() > kMaxLength)
            return false;
        // A file name is written only after SOURCE or SINK.
        if (filter.fileKind == FileKind::None && !filter.fileName.empty())
            return false;
    }
    for (const Connection& connection : graph.connections)
    {
        if (!knownIds.Has(connection.nFromId) || !knownIds.Has(connection.nToId) ||
            !IsWritableName(connection.fromPin) || !IsWritableName(connection.toPin) ||
            connection.mt.format.size() > kMaxLength - kMediaTypeTextBytes)
            return false;
    }
    const Clock& clock = graph.clock;
    if (clock.bPresent)
    {
        if (clock.nFlag != 0 && clock.nFlag != 1)
            return false;
        if (clock.kind == ClockKind::Filter && !knownIds.Has(clock.nFilterId))
            return false;
    }
    return true;
}

void WriteLineEnd(Utf16Writer& out)
{
    out.Text(u"\r\n");
}

void WriteQuoted(Utf16Writer& out, const std::u16string& s)
{
    out.Char(u'"');
    out.Text(s);
    out.Char(u'"');
    out.Char(u' ');
}

// The length, one space, the bytes: a zero length keeps its space.
void WriteBlob(Utf16Writer& out, const std::vector<uint8_t>& data)
{
    out.Number(data.size(), kLengthDigits);
    out.Char(u' ');
    out.Bytes(data);
}

void WriteFilter(Utf16Writer& out, const Filter& filter)
{
    out.Number(static_cast<uint64_t>(filter.nId), kIdDigits);
    out.Char(u' ');
    WriteQuoted(out, filter.name);
    out.GuidText(filter.clsid);
    out.Char(u' ');
    if (filter.fileKind != FileKind::None)
    {
        out.Text(filter.fileKind == FileKind::Source ? u"SOURCE " : u"SINK ");
        WriteQuoted(out, filter.fileName);
    }
    WriteBlob(out, filter.data);
    WriteLineEnd(out);
}

void WriteConnection(Utf16Writer& out, const Connection& connection)
{
    const MediaType& mt = connection.mt;
    out.Number(static_cast<uint64_t>(connection.nFromId), kIdDigits);
    out.Char(u' ');
    WriteQuoted(out, connection.fromPin);
    out.Number(static_cast<uint64_t>(connection.nToId), kIdDigits);
    out.Char(u' ');
    WriteQuoted(out, connection.toPin);
    out.Number(kMediaTypeTextBytes + mt.format.size(), kLengthDigits);
    out.Char(u' ');
    out.GuidText(mt.majortype);
    out.Char(u' ');
    out.GuidText(mt.subtype);
    out.Text(mt.bFixedSizeSamples ? u" 1" : u" 0");
    out.Text(mt.bTemporalCompression ? u" 1 " : u" 0 ");
    out.Number(mt.lSampleSize, kLengthDigits);
    // What the graph editor writes here is U+0000, not a space.
    out.Char(u'\0');
    out.GuidText(mt.formattype);
    out.Char(u' ');
    WriteBlob(out, mt.format);
    WriteLineEnd(out);
}

void WriteClock(Utf16Writer& out, const Clock& clock)
{
    out.Text(u"CLOCK ");
    out.Number(static_cast<uint64_t>(clock.nFlag), 1);
    out.Char(u' ');
    if (clock.kind == ClockKind::Class)
        out.GuidText(clock.clsid);
    else
        out.Number(clock.kind == ClockKind::Filter ? static_cast<uint64_t>(clock.nFilterId) : 0, kIdDigits);
    WriteLineEnd(out);
}

} // namespace

int32_t WriteStream(const Graph& graph, std::vector<uint8_t>* pBytes)
{
    if (!pBytes)
        return kCannotWrite;
    pBytes->clear();
    if (!CanWrite(graph))
        return kCannotWrite;

    Utf16Writer out(pBytes);
    out.Number(static_cast<uint64_t>(graph.nVersion), kIdDigits);
    WriteLineEnd(out);
    out.Text(u"FILTERS");
    WriteLineEnd(out);
    for (const Filter& filter : graph.filters)
        WriteFilter(out, filter);
    out.Text(u"CONNECTIONS");
    WriteLineEnd(out);
    for (const Connection& connection : graph.connections)
        WriteConnection(out, connection);
    if (graph.clock.bPresent)
        WriteClock(out, graph.clock);
    out.Text(u"END");
    return 0;
}

} // namespace grf
