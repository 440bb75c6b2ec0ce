// Building from a saved graph: the file-level failures, the stream that is
// not a saved graph, and finding the roles in graphs of every shape.
#include <gtest/gtest.h>

#include "components/ComponentIds.h"
#include "graph/Graph.h"
#include "grf/GrfCom.h"
#include "grf/GrfFile.h"
#include "grf/GrfLoad.h"
#include "grf/GrfReader.h"
#include "grf/GrfWriter.h"
#include "tests/support/GraphInspector.h"
#include "tests/support/ReportCapture.h"
#include "tests/support/SavedGraphs.h"

#include <algorithm>
#include <tuple>
#include <string>
#include <vector>

namespace {

const wchar_t szGenerator[] = L"Ormidex Video Generator";
const wchar_t szQS[] = L"Ormidex QS Encoder";
const wchar_t szOpus[] = L"Ormidex Opus Encoder";
const wchar_t szCantOpen[] = L"BuildFromGRF(): Can't open .grf file";
const wchar_t szInvalid[] = L"BuildFromGRF(): Invalid .grf file";
const wchar_t szCantLoad[] = L"BuildFromGRF(): Can't load data from .grf file";

const SavedFilter fltGenerator = {szGenerator, CLSID_OrmidexVideoGenerator};
const SavedFilter fltQS = {szQS, CLSID_OrmidexQSEncoder};
const SavedFilter fltOpus = {szOpus, CLSID_OrmidexOpusEncoder};
const SavedFilter fltCorvasta = {L"Corvasta", CLSID_CorvastaFilter};

using RoleNames = std::vector<std::wstring>;

class BuildFromGrfTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        m_graph.ReleaseGraph();
        ::DestroyWindow(m_hWnd);
    }

    HRESULT Build(const std::wstring& name)
    {
        return m_graph.BuildGraph(name.c_str(), m_hWnd, WM_APP + 123, nullptr, nullptr, nullptr);
    }

    std::wstring NameOf(IUnknown* pUnk)
    {
        CComQIPtr<IBaseFilter> spFilter(pUnk);
        FILTER_INFO info = {};
        if (spFilter == nullptr || FAILED(spFilter->QueryFilterInfo(&info)))
            return L"";
        if (info.pGraph != nullptr)
            info.pGraph->Release();
        return info.achName;
    }

    // The roles as filter names: source, server, video encoder, audio encoder.
    RoleNames Roles()
    {
        return {NameOf(CGraphInspector::Source(m_graph)), NameOf(CGraphInspector::Server(m_graph)),
                NameOf(CGraphInspector::EncoderVid(m_graph)), NameOf(CGraphInspector::EncoderAud(m_graph))};
    }

    CGraph m_graph;
    HWND m_hWnd = nullptr;
};

// The bytes of a small valid saved graph, for corrupting.
std::vector<uint8_t> ValidStream()
{
    grf::Graph graph;
    grf::Filter filter;
    filter.nId = 1;
    filter.name = u"Corvasta";
    filter.clsid = grf::Guid{UUID_CorvastaFilter};
    graph.filters.push_back(filter);
    graph.clock.bPresent = true;
    std::vector<uint8_t> bytes;
    grf::WriteStream(graph, &bytes);
    return bytes;
}

// The description with its filters numbered in the order of their names and
// its connections in the order of what they join.
grf::Graph Numbered(grf::Graph graph)
{
    std::vector<grf::Filter> filters = graph.filters;
    std::sort(filters.begin(), filters.end(),
              [](const grf::Filter& a, const grf::Filter& b) { return a.name < b.name; });
    auto newId = [&](int nOld) {
        for (size_t i = 0; i < filters.size(); i++)
        {
            if (filters[i].nId == nOld)
                return static_cast<int>(i) + 1;
        }
        return 0;
    };
    for (grf::Connection& c : graph.connections)
    {
        c.nFromId = newId(c.nFromId);
        c.nToId = newId(c.nToId);
    }
    if (graph.clock.kind == grf::ClockKind::Filter)
        graph.clock.nFilterId = newId(graph.clock.nFilterId);
    for (size_t i = 0; i < filters.size(); i++)
        filters[i].nId = static_cast<int>(i) + 1;
    graph.filters = filters;
    std::sort(graph.connections.begin(), graph.connections.end(), [](const grf::Connection& a, const grf::Connection& b) {
        return std::tie(a.nFromId, a.fromPin) < std::tie(b.nFromId, b.fromPin);
    });
    return graph;
}

} // namespace

TEST_F(BuildFromGrfTest, ComponentGraphSavedAndLoadedAgain)
{
    ASSERT_EQ(S_OK, m_graph.BuildGraph(szGenerator, m_hWnd, WM_APP + 123, szQS, szOpus, nullptr));
    CTempFile file(L"saved.GRF");
    ASSERT_EQ(S_OK, SaveGraphFile(CGraphInspector::Graph(m_graph), file.Path()));

    // The extension is recognised in any case.
    ASSERT_EQ(S_OK, Build(file.Path()));
    EXPECT_EQ((RoleNames{szGenerator, L"Corvasta", szQS, szOpus}), Roles());

    // What was loaded saves into the same description; only the numbering
    // may differ, since it follows the graph manager's order.
    CTempFile again(L"again.grf");
    ASSERT_EQ(S_OK, SaveGraphFile(CGraphInspector::Graph(m_graph), again.Path()));
    grf::Graph first, second;
    ASSERT_EQ(S_OK, grf::ReadGrfFile(file.c_str(), &first));
    ASSERT_EQ(S_OK, grf::ReadGrfFile(again.c_str(), &second));
    EXPECT_EQ(4u, first.filters.size());
    EXPECT_EQ(4u, first.connections.size());
    EXPECT_TRUE(Numbered(first) == Numbered(second));
}

TEST_F(BuildFromGrfTest, FileLevelFailures)
{
    CTempFile text(L"text.grf"), empty(L"empty.grf"), missing(L"missing.grf"), garbage(L"garbage.grf"),
        unknown(L"unknown.grf"), locked(L"locked.grf");
    ASSERT_TRUE(WritePlainFile(text.Path(), "0003\r\nFILTERS\r\nthis is a text file\r\n"));
    ASSERT_EQ(S_OK, WriteCompoundFile(empty.Path(), nullptr, {}));
    ASSERT_EQ(S_OK, WriteCompoundFile(garbage.Path(), grf::c_szStreamName, {'n', 0, 'o', 0, 't', 0}));

    grf::Graph unknownGraph;
    grf::Filter filter;
    filter.nId = 1;
    filter.name = u"Nobody's filter";
    filter.clsid = grf::Guid{0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    unknownGraph.filters.push_back(filter);
    ASSERT_EQ(S_OK, grf::WriteGrfFile(unknown.c_str(), unknownGraph));

    ASSERT_EQ(S_OK, SaveComposedGraph(locked.Path(), {fltCorvasta}, {}));
    HANDLE hLock = ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hLock);

    const struct
    {
        const CTempFile& file;
        HRESULT hr;
        const wchar_t* pszFlag;
    } cases[] = {
        {text, STG_E_FILEALREADYEXISTS, szCantOpen},
        {missing, STG_E_FILENOTFOUND, szCantOpen},
        {locked, STG_E_SHAREVIOLATION, szCantOpen},
        {empty, STG_E_FILENOTFOUND, szInvalid},
        {garbage, grf::kInvalidFormat, szCantLoad},
        {unknown, REGDB_E_CLASSNOTREG, szCantLoad},
    };
    for (const auto& c : cases)
    {
        CReportCapture capture;
        EXPECT_EQ(c.hr, Build(c.file.Path())) << c.file.Path();
        EXPECT_TRUE(capture.HasFlag(c.pszFlag)) << c.file.Path();
        // Half built: the graph manager is there, no role is set.
        EXPECT_TRUE(m_graph.HasGraph());
        EXPECT_EQ((RoleNames{L"", L"", L"", L""}), Roles());
    }
    ::CloseHandle(hLock);
    // Once the other opener has gone, the file loads.
    EXPECT_EQ(S_FALSE, Build(locked.Path()));
}

TEST_F(BuildFromGrfTest, StreamsThatAreNotSavedGraphs)
{
    std::vector<uint8_t> valid = ValidStream();
    std::vector<uint8_t> truncated(valid.begin(), valid.begin() + valid.size() / 2);
    // The data length of the first filter, far beyond the stream.
    std::vector<uint8_t> beyond = valid;
    const std::u16string zeros = u"0000000000";
    auto it = std::search(beyond.begin(), beyond.end(), reinterpret_cast<const uint8_t*>(zeros.data()),
                          reinterpret_cast<const uint8_t*>(zeros.data() + zeros.size()));
    ASSERT_TRUE(it != beyond.end());
    *it = '9';
    CTempFile file(L"bad-stream.grf");
    for (const std::vector<uint8_t>& bytes : {truncated, beyond, std::vector<uint8_t>()})
    {
        ASSERT_EQ(S_OK, WriteCompoundFile(file.Path(), grf::c_szStreamName, bytes));
        CReportCapture capture;
        EXPECT_EQ(grf::kInvalidFormat, Build(file.Path()));
        EXPECT_TRUE(capture.HasFlag(szCantLoad));
    }
    // The program goes on: the untouched stream loads.
    ASSERT_EQ(S_OK, WriteCompoundFile(file.Path(), grf::c_szStreamName, valid));
    EXPECT_EQ(S_FALSE, Build(file.Path()));
}

TEST_F(BuildFromGrfTest, RolesInGraphsOfEveryShape)
{
    const struct
    {
        const wchar_t* pszCase;
        std::vector<SavedFilter> filters;
        std::vector<SavedLink> links;
        HRESULT hr;
        RoleNames roles;
    } cases[] = {
        {L"nothing connected: no source, the server is not searched",
         {fltGenerator, fltCorvasta},
         {},
         S_FALSE,
         {L"", L"", L"", L""}},
        {L"first pin unconnected, second connected: still the source",
         {fltGenerator, fltOpus, fltCorvasta},
         {{szGenerator, L"Audio", szOpus, L"Input"}, {szOpus, L"Output", L"Corvasta", L"Audio"}},
         S_OK,
         {szGenerator, L"Corvasta", L"", szOpus}},
        {L"audio input unconnected: no audio encoder, built all the same",
         {fltGenerator, fltQS, fltCorvasta},
         {{szGenerator, L"Video", szQS, L"Input"}, {szQS, L"Output", L"Corvasta", L"Video"}},
         S_OK,
         {szGenerator, L"Corvasta", szQS, L""}},
        {L"source straight to the server: the source is the video encoder",
         {fltGenerator, fltOpus, fltCorvasta},
         {{szGenerator, L"Video", L"Corvasta", L"Video"},
          {szGenerator, L"Audio", szOpus, L"Input"},
          {szOpus, L"Output", L"Corvasta", L"Audio"}},
         S_OK,
         {szGenerator, L"Corvasta", szGenerator, szOpus}},
        {L"no Corvasta filter",
         {fltGenerator, fltQS},
         {{szGenerator, L"Video", szQS, L"Input"}},
         S_FALSE,
         {szGenerator, L"", L"", L""}},
    };
    for (const auto& c : cases)
    {
        CTempFile file(L"shape.grf");
        ASSERT_EQ(S_OK, SaveComposedGraph(file.Path(), c.filters, c.links)) << c.pszCase;
        EXPECT_EQ(c.hr, Build(file.Path())) << c.pszCase;
        EXPECT_EQ(c.roles, Roles()) << c.pszCase;
    }
}

TEST_F(BuildFromGrfTest, TwoCorvastaFiltersTheFirstWins)
{
    CTempFile file(L"two-servers.grf");
    ASSERT_EQ(S_OK, SaveComposedGraph(file.Path(),
                                      {fltGenerator, fltQS, fltOpus, fltCorvasta, {L"Corvasta 2", CLSID_CorvastaFilter}},
                                      {{szGenerator, L"Video", szQS, L"Input"},
                                       {szQS, L"Output", L"Corvasta", L"Video"},
                                       {szGenerator, L"Audio", szOpus, L"Input"},
                                       {szOpus, L"Output", L"Corvasta 2", L"Audio"}}));
    ASSERT_EQ(S_OK, Build(file.Path()));

    // The first of the two in the graph manager's order.
    std::wstring first;
    CComPtr<IEnumFilters> spEnum;
    CGraphInspector::Graph(m_graph)->EnumFilters(&spEnum);
    for (CComPtr<IBaseFilter> spFilter; first.empty() && spEnum->Next(1, &spFilter, nullptr) == S_OK;
         spFilter.Release())
    {
        std::wstring name = NameOf(spFilter);
        if (name.rfind(L"Corvasta", 0) == 0)
            first = name;
    }
    // Its encoders only: the other medium's encoder feeds the other filter.
    if (first == L"Corvasta")
        EXPECT_EQ((RoleNames{szGenerator, L"Corvasta", szQS, L""}), Roles());
    else
        EXPECT_EQ((RoleNames{szGenerator, L"Corvasta 2", L"", szOpus}), Roles());
}

// The real files name filters that this platform lacks: a build stops at the
// first of them with its code; the editor's way of loading (every failure
// listed) loads what the platform has.
TEST_F(BuildFromGrfTest, RealFilesLoadAsFarAsThePlatformHasTheirFilters)
{
    const wchar_t* const rgpszFiles[] = {
        L"flipcam-rgb24-csc-vmr.grf",
        L"pushsource-desktop-single-filter-clock-0000.grf",
        L"roxio-gamecap-capture-mpeg2ts-h264-vmr.grf",
        L"roxio-gamecap-preview-mpeg2ts-h264-vmr.grf",
        L"screen-capture-recorder-single-filter-system-clock.grf",
        L"uscreencapture-source-null-name.grf",
        L"virtual-audio-sniffer-pcm-dsound.grf",
    };
    for (const wchar_t* pszFile : rgpszFiles)
    {
        std::wstring path = FixtureFolder() + pszFile;
        grf::Graph graph;
        ASSERT_EQ(S_OK, grf::ReadGrfFile(path.c_str(), &graph)) << pszFile;

        // Which filters the platform can create.
        std::vector<std::u16string> available;
        const grf::Filter* pFirstMissing = nullptr;
        for (const grf::Filter& filter : graph.filters)
        {
            CComPtr<IBaseFilter> spFilter;
            if (SUCCEEDED(spFilter.CoCreateInstance(grf::ToGUID(filter.clsid), nullptr, CLSCTX_INPROC_SERVER)))
                available.push_back(filter.name);
            else if (pFirstMissing == nullptr)
                pFirstMissing = &filter;
        }
        ASSERT_TRUE(pFirstMissing != nullptr) << pszFile << ": every filter exists here";

        CReportCapture capture;
        EXPECT_EQ(REGDB_E_CLASSNOTREG, Build(path)) << pszFile;
        EXPECT_TRUE(capture.HasFlag(szCantLoad)) << pszFile;

        CComPtr<IGraphBuilder> spGraph;
        ASSERT_EQ(S_OK, spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER));
        std::vector<grf::LoadProblem> problems;
        EXPECT_EQ(REGDB_E_CLASSNOTREG, grf::LoadGraph(spGraph, graph, &problems)) << pszFile;
        ASSERT_FALSE(problems.empty());
        EXPECT_NE(std::wstring::npos, problems[0].what.find(grf::ToWide(pFirstMissing->name))) << problems[0].what;
        std::vector<std::u16string> loaded;
        CComPtr<IEnumFilters> spEnum;
        spGraph->EnumFilters(&spEnum);
        for (CComPtr<IBaseFilter> spFilter; spEnum->Next(1, &spFilter, nullptr) == S_OK; spFilter.Release())
            loaded.push_back(grf::FromWide(NameOf(spFilter).c_str()));
        std::sort(loaded.begin(), loaded.end());
        std::sort(available.begin(), available.end());
        std::wstring listed;
        for (const grf::LoadProblem& p : problems)
            listed += p.what + L" " + std::to_wstring(p.hr) + L"\n";
        EXPECT_EQ(available, loaded) << pszFile << listed;
    }
}
