// The editor's own graph, in this process, made from the stand-ins: composed
// filter by filter, edited, saved and loaded, run for its events and its
// position; and what the holder refuses on a graph it is only attached to.
#include <gtest/gtest.h>

#include "CorvastaGraph.h"
#include "GraphHolderSupport.h"

#include "editor/GraphHolder.h"
#include "components/ComponentIds.h"
#include "grf/GrfFile.h"
#include "tests/support/SavedGraphs.h"

#include <evcode.h>

#include <map>

// The own graph's COM object, which the holder keeps to itself.
class CGraphHolderProbe
{
public:
    static CComPtr<IFilterGraph> Graph(const CGraphHolder& holder) { return holder.m_spGraph; }
};

namespace {

using GraphText = std::map<std::wstring, std::vector<std::wstring>>;

// Each filter's pins: "Video>Ormidex QS Encoder/Input", a pin, its direction
// and its peer.
GraphText DescribeGraph(const GraphData& graph)
{
    GraphText filters;
    for (const FilterData& filter : graph.filters)
    {
        std::vector<std::wstring>& pins = filters[filter.name];
        for (const PinData& pin : filter.pins)
        {
            std::wstring text = pin.name + (pin.bInput ? L"<" : L">");
            if (const PinData* pPeer = graph.Pin(pin.peer))
                text += graph.filters[pin.peer.nFilter].name + L"/" + pPeer->name;
            pins.push_back(text);
        }
    }
    return filters;
}

// The harness's graph, as BuildCorvastaGraph makes it.
const GraphText c_corvastaGraph = {
    {szGenerator, {L"Video>Ormidex QS Encoder/Input", L"Audio>Ormidex Opus Encoder/Input"}},
    {szQSEncoder, {L"Input<Ormidex Video Generator/Video", L"Output>Corvasta/Video"}},
    {szOpusEncoder, {L"Input<Ormidex Video Generator/Audio", L"Output>Corvasta/Audio"}},
    {szCorvasta, {L"Video<Ormidex QS Encoder/Output", L"Audio<Ormidex Opus Encoder/Output"}},
};

struct Link
{
    const wchar_t* pszFrom;
    const wchar_t* pszFromPin;
    const wchar_t* pszTo;
    const wchar_t* pszToPin;
    bool bDirect;
};

// Adds the filters and connects the links, each through the holder.
void Compose(CGraphHolder& holder, const std::vector<FilterChoice>& filters, const std::vector<Link>& links)
{
    for (const FilterChoice& choice : filters)
    {
        std::wstring name;
        ASSERT_EQ(S_OK, holder.AddFilter(choice, &name));
        EXPECT_EQ(choice.name, name);
    }
    for (const Link& link : links)
    {
        SCOPED_TRACE(testing::Message() << "connect " << link.pszFromPin << " to " << link.pszToPin);
        PinRef from = FindPin(holder.Graph(), link.pszFrom, link.pszFromPin);
        PinRef to = FindPin(holder.Graph(), link.pszTo, link.pszToPin);
        ASSERT_EQ(S_OK, holder.Connect(from, to, link.bDirect));
    }
}

void ComposeCorvastaGraph(CGraphHolder& holder)
{
    // Direct and intelligent connections alike.
    Compose(holder,
            {{szGenerator, CLSID_OrmidexVideoGenerator, L""},
             {szQSEncoder, CLSID_OrmidexQSEncoder, L""},
             {szOpusEncoder, CLSID_OrmidexOpusEncoder, L""},
             {szCorvasta, CLSID_CorvastaFilter, L""}},
            {{szGenerator, L"Video", szQSEncoder, L"Input", true},
             {szQSEncoder, L"Output", szCorvasta, L"Video", false},
             {szGenerator, L"Audio", szOpusEncoder, L"Input", false},
             {szOpusEncoder, L"Output", szCorvasta, L"Audio", true}});
}

// The display name of the moniker of the filter of that class in the
// category; empty when there is none.
std::wstring FilterMonikerName(const CLSID& category, const CLSID& clsid)
{
    CComPtr<ICreateDevEnum> spDevEnum;
    CComPtr<IEnumMoniker> spEnum;
    if (FAILED(spDevEnum.CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER)) ||
        spDevEnum->CreateClassEnumerator(category, &spEnum, 0) != S_OK)
        return std::wstring();
    for (CComPtr<IMoniker> spMoniker; spEnum->Next(1, &spMoniker, nullptr) == S_OK; spMoniker.Release())
    {
        CComPtr<IPropertyBag> spBag;
        CComVariant value;
        if (FAILED(spMoniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&spBag))) ||
            FAILED(spBag->Read(L"CLSID", &value, nullptr)) || value.vt != VT_BSTR)
            continue;
        CLSID found = GUID_NULL;
        if (FAILED(::CLSIDFromString(value.bstrVal, &found)) || found != clsid)
            continue;
        CComPtr<IBindCtx> spBindCtx;
        LPOLESTR pszName = nullptr;
        if (FAILED(::CreateBindCtx(0, &spBindCtx)) || FAILED(spMoniker->GetDisplayName(spBindCtx, nullptr, &pszName)))
            return std::wstring();
        std::wstring name = pszName;
        ::CoTaskMemFree(pszName);
        return name;
    }
    return std::wstring();
}

class GraphHolderEditTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(S_OK, m_holder.CreateNew()); }
    void TearDown() override { m_holder.Stop(); }

    CRecorder m_events;
    CGraphHolder m_holder{&m_events};
};

} // namespace

TEST_F(GraphHolderEditTest, ComposesTheHarnessGraphAndReportsEachStep)
{
    EXPECT_TRUE(m_holder.IsOwn());
    EXPECT_TRUE(m_holder.IsAttached());
    ASSERT_EQ(1u, m_events.m_reads.size());
    EXPECT_TRUE(m_events.m_reads[0].filters.empty());
    EXPECT_EQ(std::vector<FILTER_STATE>{State_Stopped}, m_events.m_states);

    ComposeCorvastaGraph(m_holder);
    EXPECT_EQ(c_corvastaGraph, DescribeGraph(m_holder.Graph()));
    // The new graph, 4 filters and 4 connections, one read each.
    ASSERT_EQ(9u, m_events.m_reads.size());
    EXPECT_EQ(c_corvastaGraph, DescribeGraph(m_events.m_reads.back()));
}

TEST_F(GraphHolderEditTest, ATakenNameGetsANewOne)
{
    FilterChoice qs = {szQSEncoder, CLSID_OrmidexQSEncoder, L""};
    std::wstring first, second;
    ASSERT_EQ(S_OK, m_holder.AddFilter(qs, &first));
    EXPECT_EQ(VFW_S_DUPLICATE_NAME, m_holder.AddFilter(qs, &second));
    EXPECT_EQ(szQSEncoder, first);
    EXPECT_NE(first, second);
    EXPECT_EQ(0u, second.find(szQSEncoder)) << second;
    ASSERT_EQ(2u, m_holder.Graph().filters.size());
    EXPECT_GE(FindFilterIndex(m_holder.Graph(), second), 0);

    // Through its moniker, whatever the class id says.
    FilterChoice byMoniker = {L"By moniker", GUID_NULL,
                              FilterMonikerName(CLSID_VideoCompressorCategory, CLSID_OrmidexQSEncoder)};
    ASSERT_FALSE(byMoniker.monikerName.empty());
    std::wstring third;
    ASSERT_EQ(S_OK, m_holder.AddFilter(byMoniker, &third));
    EXPECT_EQ(L"By moniker", third);
    int nThird = FindFilterIndex(m_holder.Graph(), third);
    ASSERT_GE(nThird, 0);
    ASSERT_EQ(2u, m_holder.Graph().filters[nThird].pins.size());
    EXPECT_EQ(L"Input", m_holder.Graph().filters[nThird].pins[0].name);
    ASSERT_EQ(S_OK, m_holder.RemoveFilter(nThird));

    // Nothing is added for a class or a moniker that gives no filter.
    struct Case
    {
        FilterChoice choice;
        HRESULT hr;
    };
    const CLSID clsidNone = {0x0badc0de, 0x1234, 0x5678, {0x9a, 0xbc, 0xde, 0xf0, 0x12, 0x34, 0x56, 0x78}};
    for (const Case& c : {Case{{L"None", clsidNone, L""}, REGDB_E_CLASSNOTREG},
                          Case{{L"None", GUID_NULL, L"@no such moniker"}, E_FAIL}})
    {
        std::wstring name = L"left over";
        HRESULT hr = m_holder.AddFilter(c.choice, &name);
        EXPECT_TRUE(FAILED(hr));
        if (c.hr != E_FAIL)
        {
            EXPECT_EQ(c.hr, hr);
        }
        EXPECT_TRUE(name.empty());
        EXPECT_EQ(2u, m_holder.Graph().filters.size());
    }
}

TEST_F(GraphHolderEditTest, DisconnectsRendersAndRemoves)
{
    ComposeCorvastaGraph(m_holder);
    const GraphData& graph = m_holder.Graph();

    // Either side of a connection takes both apart.
    ASSERT_EQ(S_OK, m_holder.Disconnect(FindPin(graph, szCorvasta, L"Video")));
    EXPECT_FALSE(graph.Pin(FindPin(graph, szQSEncoder, L"Output"))->peer.IsValid());
    EXPECT_FALSE(graph.Pin(FindPin(graph, szCorvasta, L"Video"))->peer.IsValid());
    EXPECT_EQ(3u, graph.Connections().size());
    EXPECT_EQ(S_FALSE, m_holder.Disconnect(FindPin(graph, szCorvasta, L"Video")));

    ASSERT_EQ(S_OK, m_holder.Disconnect(FindPin(graph, szGenerator, L"Video")));
    EXPECT_EQ(2u, graph.Connections().size());

    // Removing a filter takes its connections with it.
    size_t cReads = m_events.m_reads.size();
    ASSERT_EQ(S_OK, m_holder.RemoveFilter(FindFilterIndex(graph, szOpusEncoder)));
    EXPECT_EQ(cReads + 1, m_events.m_reads.size());
    EXPECT_EQ(3u, graph.filters.size());
    EXPECT_EQ(0u, graph.Connections().size());
    EXPECT_EQ(-1, FindFilterIndex(graph, szOpusEncoder));

    // The QS encoder's output rendered: to Corvasta's free input, or through
    // a filter of its own; either way the pin is connected then.
    PinRef qsOut = FindPin(graph, szQSEncoder, L"Output");
    HRESULT hr = m_holder.Render(qsOut);
    if (SUCCEEDED(hr))
    {
        EXPECT_TRUE(graph.Pin(FindPin(graph, szQSEncoder, L"Output"))->peer.IsValid());
    }
    else
    {
        EXPECT_FALSE(graph.Pin(qsOut)->peer.IsValid()) << std::hex << hr;
    }
    // Connected again, directly.
    ASSERT_EQ(S_OK, m_holder.Connect(FindPin(graph, szGenerator, L"Video"), FindPin(graph, szQSEncoder, L"Input"),
                                     true));
    EXPECT_TRUE(graph.Pin(FindPin(graph, szGenerator, L"Video"))->peer.IsValid());
}

TEST_F(GraphHolderEditTest, RendersAnOutputPin)
{
    std::wstring name;
    ASSERT_EQ(S_OK, m_holder.AddFilter({szGenerator, CLSID_OrmidexVideoGenerator, L""}, &name));
    const GraphData& graph = m_holder.Graph();
    HRESULT hr = m_holder.Render(FindPin(graph, szGenerator, L"Video"));
    ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    EXPECT_TRUE(graph.Pin(FindPin(graph, szGenerator, L"Video"))->peer.IsValid());
    EXPECT_GT(graph.filters.size(), 1u);
}

TEST_F(GraphHolderEditTest, IncompatiblePinsAndWrongIndexesLeaveTheGraphAsItWas)
{
    ComposeCorvastaGraph(m_holder);
    const GraphData& graph = m_holder.Graph();
    ASSERT_EQ(S_OK, m_holder.Disconnect(FindPin(graph, szGenerator, L"Audio")));
    ASSERT_EQ(S_OK, m_holder.Disconnect(FindPin(graph, szQSEncoder, L"Output")));
    GraphText before = DescribeGraph(graph);
    size_t cReads = m_events.m_reads.size();

    PinRef genAudio = FindPin(graph, szGenerator, L"Audio"), qsOut = FindPin(graph, szQSEncoder, L"Output");
    PinRef opusIn = FindPin(graph, szOpusEncoder, L"Input"), corvastaVideo = FindPin(graph, szCorvasta, L"Video");
    PinRef corvastaAudio = FindPin(graph, szCorvasta, L"Audio");
    int cFilters = static_cast<int>(graph.filters.size());
    struct Case
    {
        const char* pszWhat;
        std::function<HRESULT()> call;
        bool bInvalidArg; // E_INVALIDARG, else any failure
    };
    const Case rgCases[] = {
        {"audio to the video input, directly", [&] { return m_holder.Connect(genAudio, corvastaVideo, true); }},
        {"audio to the video input", [&] { return m_holder.Connect(genAudio, corvastaVideo, false); }},
        {"video to a connected input", [&] { return m_holder.Connect(qsOut, corvastaAudio, true); }},
        {"two inputs", [&] { return m_holder.Connect(opusIn, corvastaVideo, true); }, true},
        {"two outputs", [&] { return m_holder.Connect(genAudio, qsOut, false); }, true},
        {"no pin", [&] { return m_holder.Connect(PinRef{}, corvastaVideo, true); }, true},
        {"a pin past the last", [&] { return m_holder.Connect(qsOut, PinRef{0, 99}, true); }, true},
        {"a filter past the last", [&] { return m_holder.Connect(PinRef{cFilters, 0}, corvastaVideo, true); }, true},
        {"render an input", [&] { return m_holder.Render(opusIn); }, true},
        {"render no pin", [&] { return m_holder.Render(PinRef{-1, 0}); }, true},
        {"disconnect no pin", [&] { return m_holder.Disconnect(PinRef{0, -1}); }, true},
        {"remove no filter", [&] { return m_holder.RemoveFilter(-1); }, true},
        {"remove a filter past the last", [&] { return m_holder.RemoveFilter(cFilters); }, true},
    };
    for (const Case& c : rgCases)
    {
        SCOPED_TRACE(c.pszWhat);
        HRESULT hr = c.call();
        if (c.bInvalidArg)
        {
            EXPECT_EQ(E_INVALIDARG, hr);
        }
        else
        {
            EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        }
        EXPECT_EQ(before, DescribeGraph(graph));
        EXPECT_EQ(cReads, m_events.m_reads.size());
    }

    // An index of the last filter, once it is removed, is refused.
    int nLast = cFilters - 1;
    ASSERT_EQ(S_OK, m_holder.RemoveFilter(nLast));
    EXPECT_EQ(E_INVALIDARG, m_holder.RemoveFilter(nLast));
    EXPECT_EQ(E_INVALIDARG, m_holder.Disconnect(PinRef{nLast, 0}));
}

TEST_F(GraphHolderEditTest, AnAttachedGraphKeepsItsFiltersAndEventsAndIsLetGoOf)
{
    CComPtr<IGraphBuilder> spGraph;
    ASSERT_EQ(S_OK, BuildCorvastaGraph(&spGraph));
    CComPtr<IBaseFilter> spGenerator = FindFilter(spGraph, szGenerator);
    ULONG cGraphRefs = RefCount(spGraph), cFilterRefs = RefCount(spGenerator);

    ASSERT_EQ(S_OK, m_holder.Attach(spGraph));
    EXPECT_FALSE(m_holder.IsOwn());
    const GraphData& graph = m_holder.Graph();
    std::wstring name = L"left over";
    EXPECT_EQ(E_ACCESSDENIED, m_holder.AddFilter({L"Extra", CLSID_OrmidexQSEncoder, L""}, &name));
    EXPECT_TRUE(name.empty());
    EXPECT_EQ(E_ACCESSDENIED, m_holder.RemoveFilter(0));
    EXPECT_EQ(4u, graph.filters.size());
    std::vector<GraphEvent> events(1);
    EXPECT_EQ(S_FALSE, m_holder.TakeEvents(&events));
    EXPECT_TRUE(events.empty());

    // Its connections can be taken apart and made again.
    PinRef qsOut = FindPin(graph, szQSEncoder, L"Output");
    ASSERT_EQ(S_OK, m_holder.Disconnect(qsOut));
    EXPECT_EQ(3u, graph.Connections().size());
    ASSERT_EQ(S_OK, m_holder.Connect(qsOut, FindPin(graph, szCorvasta, L"Video"), true));
    EXPECT_EQ(c_corvastaGraph, DescribeGraph(graph));

    // A new graph of its own lets go of it.
    ASSERT_EQ(S_OK, m_holder.CreateNew());
    EXPECT_TRUE(m_holder.IsOwn());
    EXPECT_TRUE(graph.filters.empty());
    EXPECT_EQ(cGraphRefs, RefCount(spGraph));
    EXPECT_EQ(cFilterRefs, RefCount(spGenerator));
    m_holder.Detach();
    EXPECT_FALSE(m_holder.IsOwn());
}

TEST_F(GraphHolderEditTest, AnOwnGraphLetGoOfStopsAndReleasesItsFilters)
{
    ComposeCorvastaGraph(m_holder);
    CComPtr<IBaseFilter> spGenerator = FindFilter(CGraphHolderProbe::Graph(m_holder), szGenerator);
    ASSERT_NE(nullptr, spGenerator);
    ASSERT_TRUE(SUCCEEDED(m_holder.Run()));
    ASSERT_EQ(S_OK, m_holder.CreateNew());
    FILTER_STATE state = State_Running;
    EXPECT_EQ(S_OK, spGenerator->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    EXPECT_EQ(1u, RefCount(spGenerator));
    spGenerator.Release();

    ComposeCorvastaGraph(m_holder);
    spGenerator = FindFilter(CGraphHolderProbe::Graph(m_holder), szGenerator);
    m_holder.Detach();
    EXPECT_EQ(1u, RefCount(spGenerator));
}

TEST_F(GraphHolderEditTest, SavedAndLoadedTheGraphIsTheSame)
{
    ComposeCorvastaGraph(m_holder);
    CTempFile file(L"holder-round-trip.grf");
    ASSERT_EQ(S_OK, m_holder.Save(file.c_str()));

    CRecorder events;
    CGraphHolder loaded(&events);
    std::vector<std::wstring> problems = {L"left over"};
    ASSERT_EQ(S_OK, loaded.Load(file.c_str(), &problems));
    EXPECT_TRUE(problems.empty());
    EXPECT_TRUE(loaded.IsOwn());
    EXPECT_EQ(c_corvastaGraph, DescribeGraph(loaded.Graph()));
    ASSERT_EQ(1u, events.m_reads.size());
    EXPECT_EQ(c_corvastaGraph, DescribeGraph(events.m_reads[0]));

    // Loaded over the first, the same again.
    ASSERT_EQ(S_OK, m_holder.Load(file.c_str(), nullptr));
    EXPECT_EQ(c_corvastaGraph, DescribeGraph(m_holder.Graph()));
}

TEST_F(GraphHolderEditTest, ALoadListsTheFiltersItCannotCreateAndLoadsTheRest)
{
    // The harness's graph with the Opus encoder's class made up.
    CTempFile saved(L"holder-saved.grf"), file(L"holder-missing.grf");
    ComposeCorvastaGraph(m_holder);
    ASSERT_EQ(S_OK, m_holder.Save(saved.c_str()));
    grf::Graph description;
    ASSERT_EQ(S_OK, grf::ReadGrfFile(saved.c_str(), &description));
    const grf::Guid madeUp = {0x0badc0de, 0x1234, 0x5678, {0x9a, 0xbc, 0xde, 0xf0, 0x12, 0x34, 0x56, 0x78}};
    for (grf::Filter& filter : description.filters)
        if (filter.name == u"Ormidex Opus Encoder")
            filter.clsid = madeUp;
    ASSERT_EQ(S_OK, grf::WriteGrfFile(file.c_str(), description));

    std::vector<std::wstring> problems;
    ASSERT_EQ(S_FALSE, m_holder.Load(file.c_str(), &problems));
    ASSERT_EQ(1u, problems.size());
    EXPECT_EQ(0u, problems[0].find(L"Filter \"Ormidex Opus Encoder\" {0BADC0DE-1234-5678-9ABC-DEF012345678}: "))
        << problems[0];
    // "Class not registered (0x80040154)"; Wine has no text for it.
    EXPECT_NE(std::wstring::npos, problems[0].find(L"0x80040154")) << problems[0];
    const GraphData& graph = m_holder.Graph();
    EXPECT_EQ(3u, graph.filters.size());
    EXPECT_EQ(-1, FindFilterIndex(graph, szOpusEncoder));
    EXPECT_EQ(2u, graph.Connections().size());
    EXPECT_TRUE(m_holder.IsOwn());
}

TEST_F(GraphHolderEditTest, ARealSavedGraphLoadsWithItsProblemsListed)
{
    // FlipCam is a camera of another machine; the video renderer is here.
    std::vector<std::wstring> problems;
    ASSERT_EQ(S_FALSE, m_holder.Load((FixtureFolder() + L"flipcam-rgb24-csc-vmr.grf").c_str(), &problems));
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(0u, problems[0].find(L"Filter \"FlipCam\" {F89EB97B-2A47-49B5-A1B1-5E530517CDF6}: ")) << problems[0];
    for (const std::wstring& problem : problems)
        EXPECT_EQ(0u, problem.find(L"Filter \"")) << problem;
    EXPECT_GE(FindFilterIndex(m_holder.Graph(), L"Video Renderer"), 0);
}

TEST_F(GraphHolderEditTest, WhatIsNoSavedGraphFailsAndKeepsTheGraph)
{
    ComposeCorvastaGraph(m_holder);
    CTempFile plain(L"holder-plain.grf"), missing(L"holder-none.grf");
    ASSERT_TRUE(WritePlainFile(plain.Path(), "not a saved graph"));
    size_t cReads = m_events.m_reads.size();
    for (const CTempFile* pFile : {&plain, &missing})
    {
        SCOPED_TRACE(testing::Message() << pFile->Path());
        std::vector<std::wstring> problems;
        EXPECT_TRUE(FAILED(m_holder.Load(pFile->c_str(), &problems)));
        EXPECT_TRUE(problems.empty());
        EXPECT_TRUE(m_holder.IsOwn());
        EXPECT_EQ(c_corvastaGraph, DescribeGraph(m_holder.Graph()));
        EXPECT_EQ(cReads, m_events.m_reads.size());
    }
}

TEST_F(GraphHolderEditTest, ASaveWhereNoFileCanBeWrittenFails)
{
    ComposeCorvastaGraph(m_holder);
    CTempFile readOnly(L"holder-read-only.grf");
    ASSERT_TRUE(WritePlainFile(readOnly.Path(), "kept"));
    ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    std::wstring noFolder = readOnly.Path() + L"-no-folder\\graph.grf";

    HRESULT hr = m_holder.Save(noFolder.c_str());
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(noFolder.c_str()));
    EXPECT_EQ(E_ACCESSDENIED, m_holder.Save(readOnly.c_str()));
    std::vector<std::wstring> problems;
    EXPECT_TRUE(FAILED(m_holder.Load(readOnly.c_str(), &problems))); // still the plain file
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);

    m_holder.Detach();
    EXPECT_EQ(E_UNEXPECTED, m_holder.Save(readOnly.c_str()));
}

TEST_F(GraphHolderEditTest, EventsOfTheOwnGraphAreTakenOnce)
{
    ComposeCorvastaGraph(m_holder);
    std::vector<GraphEvent> events;
    ASSERT_EQ(S_OK, m_holder.TakeEvents(&events));

    // Run, and whatever the stand-ins tell is taken with the rest.
    ASSERT_TRUE(SUCCEEDED(m_holder.Run()));
    ::Sleep(200);
    CComQIPtr<IMediaEventSink> spSink(CGraphHolderProbe::Graph(m_holder));
    ASSERT_NE(nullptr, spSink);
    ASSERT_EQ(S_OK, spSink->Notify(EC_USER + 7, 5, 6));
    ASSERT_EQ(S_OK, m_holder.TakeEvents(&events));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(EC_USER + 7, events.back().lCode);
    EXPECT_EQ(5, events.back().lParam1);
    EXPECT_EQ(6, events.back().lParam2);
    ASSERT_EQ(S_OK, m_holder.TakeEvents(&events));
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(SUCCEEDED(m_holder.Stop()));
}

TEST_F(GraphHolderEditTest, PositionAndSeeking)
{
    LONGLONG llPosition = -1, llDuration = -1;
    // An empty graph cannot seek.
    EXPECT_EQ(S_FALSE, m_holder.GetPosition(&llPosition, &llDuration));
    EXPECT_EQ(0, llPosition);
    EXPECT_EQ(0, llDuration);

    // The stand-ins' generator is a live source: no duration, no seeking.
    ComposeCorvastaGraph(m_holder);
    llPosition = llDuration = -1;
    EXPECT_EQ(S_FALSE, m_holder.GetPosition(&llPosition, &llDuration));
    EXPECT_EQ(0, llPosition);
    EXPECT_EQ(0, llDuration);
    HRESULT hr = m_holder.Seek(0);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr; // E_NOTIMPL

    m_holder.Detach();
    llPosition = llDuration = -1;
    EXPECT_EQ(S_FALSE, m_holder.GetPosition(&llPosition, &llDuration));
    EXPECT_EQ(0, llPosition);
    EXPECT_EQ(0, llDuration);
    EXPECT_EQ(E_UNEXPECTED, m_holder.Seek(0));
}

TEST(DescribeEventTest, NamesTheCodeAndShowsTheParameters)
{
    struct Case
    {
        GraphEvent event;
        const wchar_t* pszText;
    };
    const Case rgCases[] = {
        {{EC_COMPLETE, 0, 0}, L"EC_COMPLETE (0x01): 0x00000000, 0x00000000"},
        {{EC_USERABORT, 0, 0}, L"EC_USERABORT (0x02): 0x00000000, 0x00000000"},
        {{EC_ERRORABORT, static_cast<LONG_PTR>(E_OUTOFMEMORY), 0},
         L"EC_ERRORABORT (0x03): 0x8007000E, 0x00000000: "},
        {{EC_VIDEO_SIZE_CHANGED, 0x01E00280, 0}, L"EC_VIDEO_SIZE_CHANGED (0x0A): 0x01E00280, 0x00000000"},
        {{EC_PAUSED, 0, 0}, L"EC_PAUSED (0x0E): 0x00000000, 0x00000000"},
        {{EC_STEP_COMPLETE, 0, 0}, L"EC_STEP_COMPLETE (0x24): 0x00000000, 0x00000000"},
        {{EC_CLOCK_UNSET, 0, 0}, L"EC_CLOCK_UNSET (0x51): 0x00000000, 0x00000000"},
        {{EC_USER, 1, 2}, L"EC_USER (0x8000): 0x00000001, 0x00000002"},
        {{EC_USER + 7, 5, 6}, L"EC_USER+7 (0x8007): 0x00000005, 0x00000006"},
        {{0x57, -1, 0x123456789ALL}, L"0x57: 0xFFFFFFFF, 0x000000123456789A"},
    };
    for (const Case& c : rgCases)
    {
        std::wstring text = DescribeEvent(c.event);
        EXPECT_EQ(0u, text.find(c.pszText)) << text;
    }
    // The failure of an abort, in words.
    std::wstring abort = DescribeEvent({EC_ERRORABORT, static_cast<LONG_PTR>(E_OUTOFMEMORY), 0});
    EXPECT_NE(std::wstring::npos, abort.find(L"(0x8007000E)", 40)) << abort;
}
