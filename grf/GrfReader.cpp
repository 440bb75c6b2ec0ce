#include "grf/GrfReader.h"

#include <utility>

#include "grf/GrfLimits.h"
#include "grf/Utf16Cursor.h"

namespace grf {

namespace {

// The grammar's <b> is white space (spaces, tabs, CR, LF) of any length; its
// <b1>, between a length and the bytes it counts, is one such character.
class Parser
{
public:
    Parser(const uint8_t* pb, size_t cb) : m_in(pb, cb) {}

    bool Parse(Graph* pGraph);
    const ReadError& Error() const { return m_error; }

private:
    bool Fail(const char* pszWhat) { return Fail(m_in.Offset(), pszWhat); }
    bool Fail(size_t nOffset, const char* pszWhat)
    {
        m_error.nOffset = nOffset;
        m_error.pszWhat = pszWhat;
        return false;
    }

    bool Gap();
    bool Keyword(const char16_t* pszWord, const char* pszWhat);
    bool StartsRecord() const;

    bool ReadFilter(Filter* pFilter);
    bool ReadConnection(Connection* pConnection);
    bool ReadClock(Clock* pClock);
    bool ReadEnd();

    bool ReadNumber(uint64_t nMax, uint64_t* pn, const char* pszWhat);
    bool ReadFilterId(int* pnId);
    bool ReadKnownFilterId(int* pnId);
    bool ReadFlag(bool* pb);
    bool ReadGuid(Guid* pGuid);
    bool ReadName(std::u16string* ps);
    bool ReadBlob(std::vector<uint8_t>* pData);

    Utf16Cursor m_in;
    FilterIdSet m_knownIds;
    ReadError m_error;
};

bool Parser::Parse(Graph* pGraph)
{
    uint64_t nVersion = 0;
    if (!ReadNumber(kMaxVersion, &nVersion, "bad version number") || !Gap())
        return false;
    pGraph->nVersion = static_cast<int>(nVersion);

    if (!Keyword(u"FILTERS", "no FILTERS section") || !Gap())
        return false;
    while (StartsRecord())
    {
        pGraph->filters.emplace_back();
        if (!ReadFilter(&pGraph->filters.back()))
            return false;
        m_in.SkipSpace();
    }

    if (!Keyword(u"CONNECTIONS", "no CONNECTIONS section") || !Gap())
        return false;
    while (StartsRecord())
    {
        pGraph->connections.emplace_back();
        if (!ReadConnection(&pGraph->connections.back()))
            return false;
        m_in.SkipSpace();
    }

    char16_t ch;
    if (m_in.Peek(&ch) && ch == u'C' && !ReadClock(&pGraph->clock))
        return false;
    return ReadEnd();
}

bool Parser::Gap()
{
    return m_in.SkipSpace() > 0 || Fail("no white space between fields");
}

bool Parser::Keyword(const char16_t* pszWord, const char* pszWhat)
{
    return m_in.SkipWord(pszWord) || Fail(pszWhat);
}

bool Parser::StartsRecord() const
{
    char16_t ch;
    return m_in.Peek(&ch) && IsDigit(ch);
}

bool Parser::ReadFilter(Filter* pFilter)
{
    const size_t nIdOffset = m_in.Offset();
    if (!ReadFilterId(&pFilter->nId))
        return false;
    if (!m_knownIds.Add(pFilter->nId))
        return Fail(nIdOffset, "filter id used twice");

    if (!Gap() || !ReadName(&pFilter->name) || !Gap() || !ReadGuid(&pFilter->clsid) || !Gap())
        return false;
    if (m_in.SkipWord(u"SOURCE"))
        pFilter->fileKind = FileKind::Source;
    else if (m_in.SkipWord(u"SINK"))
        pFilter->fileKind = FileKind::Sink;
    if (pFilter->fileKind != FileKind::None && (!Gap() || !ReadName(&pFilter->fileName) || !Gap()))
        return false;
    return ReadBlob(&pFilter->data);
}

bool Parser::ReadConnection(Connection* pConnection)
{
    if (!ReadKnownFilterId(&pConnection->nFromId) || !Gap() || !ReadName(&pConnection->fromPin) || !Gap() ||
        !ReadKnownFilterId(&pConnection->nToId) || !Gap() || !ReadName(&pConnection->toPin) || !Gap())
        return false;

    const size_t nCountOffset = m_in.Offset();
    uint64_t cbMediaType = 0;
    if (!ReadNumber(kMaxLength, &cbMediaType, "bad media type byte count") || !Gap())
        return false;
    const size_t ibStart = m_in.Offset();

    MediaType& mt = pConnection->mt;
    uint64_t nSampleSize = 0;
    if (!ReadGuid(&mt.majortype) || !Gap() || !ReadGuid(&mt.subtype) || !Gap() ||
        !ReadFlag(&mt.bFixedSizeSamples) || !Gap() || !ReadFlag(&mt.bTemporalCompression) || !Gap() ||
        !ReadNumber(UINT32_MAX, &nSampleSize, "bad sample size"))
        return false;
    mt.lSampleSize = static_cast<uint32_t>(nSampleSize);

    // The graph editor separates the sample size from the format type with
    // U+0000; white space is taken too.
    char16_t ch;
    if (m_in.Peek(&ch) && ch == u'\0')
        m_in.Next(&ch);
    else if (!Gap())
        return false;
    if (!ReadGuid(&mt.formattype) || !Gap() || !ReadBlob(&mt.format))
        return false;

    // The writer computes this count, so a count that disagrees with the
    // bytes is a damaged or hand-edited stream.
    if (m_in.Offset() - ibStart != cbMediaType)
        return Fail(nCountOffset, "media type byte count disagrees with its bytes");
    return true;
}

bool Parser::ReadClock(Clock* pClock)
{
    uint64_t nFlag = 0;
    if (!Keyword(u"CLOCK", "expected CLOCK or END") || !Gap() || !ReadNumber(1, &nFlag, "bad clock flag") || !Gap())
        return false;
    pClock->bPresent = true;
    pClock->nFlag = static_cast<int>(nFlag);

    char16_t ch;
    if (m_in.Peek(&ch) && ch == u'{')
    {
        pClock->kind = ClockKind::Class;
        return ReadGuid(&pClock->clsid) && Gap();
    }
    const size_t nIdOffset = m_in.Offset();
    uint64_t nId = 0;
    if (!ReadNumber(kMaxFilterId, &nId, "bad clock id"))
        return false;
    if (nId != 0)
    {
        if (!m_knownIds.Has(static_cast<int>(nId)))
            return Fail(nIdOffset, "clock names an unknown filter");
        pClock->kind = ClockKind::Filter;
        pClock->nFilterId = static_cast<int>(nId);
    }
    return Gap();
}

bool Parser::ReadEnd()
{
    if (!Keyword(u"END", "expected END"))
        return false;
    m_in.SkipSpace();
    return m_in.Remaining() == 0 || Fail("bytes after END");
}

bool Parser::ReadNumber(uint64_t nMax, uint64_t* pn, const char* pszWhat)
{
    return m_in.ReadNumber(nMax, pn) || Fail(pszWhat);
}

bool Parser::ReadFilterId(int* pnId)
{
    const size_t nOffset = m_in.Offset();
    uint64_t nId = 0;
    if (!ReadNumber(kMaxFilterId, &nId, "bad filter id"))
        return false;
    if (nId < kMinFilterId)
        return Fail(nOffset, "filter id 0");
    *pnId = static_cast<int>(nId);
    return true;
}

bool Parser::ReadKnownFilterId(int* pnId)
{
    const size_t nOffset = m_in.Offset();
    if (!ReadFilterId(pnId))
        return false;
    return m_knownIds.Has(*pnId) || Fail(nOffset, "connection names an unknown filter");
}

bool Parser::ReadFlag(bool* pb)
{
    uint64_t n = 0;
    if (!ReadNumber(1, &n, "flag is not 0 or 1"))
        return false;
    *pb = n != 0;
    return true;
}

bool Parser::ReadGuid(Guid* pGuid)
{
    return m_in.ReadGuid(pGuid) || Fail("bad GUID");
}

bool Parser::ReadName(std::u16string* ps)
{
    return m_in.ReadQuoted(ps) || Fail("bad quoted name");
}

bool Parser::ReadBlob(std::vector<uint8_t>* pData)
{
    const size_t nLengthOffset = m_in.Offset();
    uint64_t cb = 0;
    if (!ReadNumber(kMaxLength, &cb, "bad length"))
        return false;
    char16_t ch;
    if (!m_in.Peek(&ch) || !IsSpace(ch))
        return Fail("no white space after a length");
    m_in.Next(&ch);
    return m_in.ReadBytes(cb, pData) || Fail(nLengthOffset, "length beyond the end of the stream");
}

} // namespace

int32_t ReadStream(const uint8_t* pb, size_t cb, Graph* pGraph, ReadError* pError)
{
    ReadError error;
    Graph graph;
    if (!pGraph || (!pb && cb != 0))
    {
        error.pszWhat = "no stream";
    }
    else
    {
        Parser parser(pb, cb);
        if (parser.Parse(&graph))
        {
            *pGraph = std::move(graph);
            if (pError)
                *pError = ReadError();
            return 0;
        }
        error = parser.Error();
    }
    if (pGraph)
        *pGraph = Graph();
    if (pError)
        *pError = error;
    return kInvalidFormat;
}

} // namespace grf
