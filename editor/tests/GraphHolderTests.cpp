// The graph holder against the real graph manager and the stand-ins, in this
// process: what it reads, what a poll reports, run control, property pages,
// and that it lets go of every reference.
#include <gtest/gtest.h>

#include "CorvastaGraph.h"
#include "GraphHolderSupport.h"

#include "editor/GraphHolder.h"
#include "standins/encoders/EncoderIds.h"
#include "tests/support/WindowDriver.h"

#include <map>

namespace {

// "Video>Ormidex QS Encoder/Input": a pin, its direction and its peer.
std::wstring DescribePin(const GraphData& graph, const PinData& pin)
{
    std::wstring text = pin.name + (pin.bInput ? L"<" : L">");
    if (const PinData* pPeer = graph.Pin(pin.peer))
        text += graph.filters[pin.peer.nFilter].name + L"/" + pPeer->name;
    return text;
}

std::map<std::wstring, std::vector<std::wstring>> DescribeGraph(const GraphData& graph)
{
    std::map<std::wstring, std::vector<std::wstring>> filters;
    for (const FilterData& filter : graph.filters)
    {
        std::vector<std::wstring>& pins = filters[filter.name];
        for (const PinData& pin : filter.pins)
            pins.push_back(DescribePin(graph, pin));
    }
    return filters;
}

class GraphHolderTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(S_OK, BuildCorvastaGraph(&m_spGraph)); }
    void TearDown() override
    {
        CComQIPtr<IMediaControl> spControl(m_spGraph);
        if (spControl != nullptr)
            spControl->Stop();
    }

    CComPtr<IGraphBuilder> m_spGraph;
    CRecorder m_events;
};

} // namespace

TEST_F(GraphHolderTest, ReadsFiltersPinsAndConnections)
{
    CGraphHolder holder(&m_events);
    ASSERT_EQ(S_OK, holder.Attach(m_spGraph));
    EXPECT_TRUE(holder.IsAttached());
    ASSERT_EQ(1u, m_events.m_reads.size());
    ASSERT_EQ(1u, m_events.m_states.size());
    EXPECT_EQ(State_Stopped, m_events.m_states[0]);
    EXPECT_TRUE(m_events.m_losts.empty());

    std::map<std::wstring, std::vector<std::wstring>> expected = {
        {szGenerator, {L"Video>Ormidex QS Encoder/Input", L"Audio>Ormidex Opus Encoder/Input"}},
        {szQSEncoder, {L"Input<Ormidex Video Generator/Video", L"Output>Corvasta/Video"}},
        {szOpusEncoder, {L"Input<Ormidex Video Generator/Audio", L"Output>Corvasta/Audio"}},
        {szCorvasta, {L"Video<Ormidex QS Encoder/Output", L"Audio<Ormidex Opus Encoder/Output"}},
    };
    EXPECT_EQ(expected, DescribeGraph(m_events.m_reads[0]));
    EXPECT_EQ(4u, m_events.m_reads[0].Connections().size());
    EXPECT_EQ(expected, DescribeGraph(holder.Graph()));
}

TEST_F(GraphHolderTest, PollReportsOnlyWhatChanged)
{
    CGraphHolder holder(&m_events);
    ASSERT_EQ(S_OK, holder.Attach(m_spGraph));
    CComQIPtr<IMediaControl> spControl(m_spGraph);
    CComPtr<IBaseFilter> spQS = FindFilter(m_spGraph, szQSEncoder);
    CComPtr<IPin> spOut;
    ASSERT_EQ(S_OK, spQS->FindPin(L"Output", &spOut));
    CComPtr<IBaseFilter> spExtra;
    ASSERT_EQ(S_OK, spExtra.CoCreateInstance(CLSID_CCITTALawEncoder, nullptr, CLSCTX_INPROC_SERVER));

    struct Step
    {
        const char* pszWhat;
        std::function<HRESULT()> change;
        std::vector<FILTER_STATE> states; // reported by the poll
        int cFilters;                     // of the graph read, -1: none read
        int cConnections;
    };
    const Step rgSteps[] = {
        {"nothing", [] { return S_OK; }, {}, -1, 0},
        {"run", [&] { return spControl->Run(); }, {State_Running}, -1, 0},
        {"stop", [&] { return spControl->Stop(); }, {State_Stopped}, -1, 0},
        {"disconnect the QS encoder's output", [&] { return m_spGraph->Disconnect(spOut); }, {}, 4, 3},
        {"add a filter", [&] { return m_spGraph->AddFilter(spExtra, L"Extra"); }, {}, 5, 3},
        {"nothing again", [] { return S_OK; }, {}, -1, 0},
        {"remove it", [&] { return m_spGraph->RemoveFilter(spExtra); }, {}, 4, 3},
    };
    for (const Step& step : rgSteps)
    {
        SCOPED_TRACE(step.pszWhat);
        m_events.Clear();
        ASSERT_TRUE(SUCCEEDED(step.change()));
        EXPECT_EQ(S_OK, holder.Poll());
        EXPECT_EQ(step.states, m_events.m_states);
        if (step.cFilters < 0)
        {
            EXPECT_TRUE(m_events.m_reads.empty());
            continue;
        }
        ASSERT_EQ(1u, m_events.m_reads.size());
        const GraphData& graph = m_events.m_reads[0];
        EXPECT_EQ(static_cast<size_t>(step.cFilters), graph.filters.size());
        EXPECT_EQ(static_cast<size_t>(step.cConnections), graph.Connections().size());
    }
    // The QS encoder's output is open now, and so is Corvasta's video input.
    const GraphData& graph = holder.Graph();
    EXPECT_FALSE(graph.Pin(FindPin(graph, szQSEncoder, L"Output"))->peer.IsValid());
    EXPECT_FALSE(graph.Pin(FindPin(graph, szCorvasta, L"Video"))->peer.IsValid());
}

TEST_F(GraphHolderTest, RunPauseStopActOnTheGraph)
{
    CGraphHolder holder(&m_events);
    EXPECT_EQ(E_UNEXPECTED, holder.Run());
    ASSERT_EQ(S_OK, holder.Attach(m_spGraph));
    m_events.Clear();
    CComQIPtr<IMediaControl> spControl(m_spGraph);

    struct Case
    {
        HRESULT (CGraphHolder::*pfn)();
        FILTER_STATE state;
    };
    for (const Case& c : {Case{&CGraphHolder::Run, State_Running}, Case{&CGraphHolder::Pause, State_Paused},
                          Case{&CGraphHolder::Stop, State_Stopped}})
    {
        EXPECT_TRUE(SUCCEEDED((holder.*c.pfn)()));
        OAFilterState state = -1;
        EXPECT_TRUE(SUCCEEDED(spControl->GetState(INFINITE, &state)));
        EXPECT_EQ(c.state, state);
        EXPECT_EQ(c.state, holder.State());
    }
    EXPECT_EQ((std::vector<FILTER_STATE>{State_Running, State_Paused, State_Stopped}), m_events.m_states);
}

TEST_F(GraphHolderTest, AttachRefusesWhatIsNoGraphAndDetachLetsGoOfEverything)
{
    CComPtr<IBaseFilter> spGenerator = FindFilter(m_spGraph, szGenerator);
    CComPtr<IPin> spVideo;
    ASSERT_EQ(S_OK, spGenerator->FindPin(L"Video", &spVideo));
    ULONG cGraphRefs = RefCount(m_spGraph), cFilterRefs = RefCount(spGenerator), cPinRefs = RefCount(spVideo);

    CGraphHolder holder(&m_events);
    EXPECT_EQ(E_POINTER, holder.Attach(nullptr));
    EXPECT_EQ(E_NOINTERFACE, holder.Attach(spGenerator));
    EXPECT_FALSE(holder.IsAttached());
    EXPECT_TRUE(m_events.m_reads.empty());
    EXPECT_EQ(cFilterRefs, RefCount(spGenerator));

    ASSERT_EQ(S_OK, holder.Attach(m_spGraph));
    EXPECT_GT(RefCount(spVideo), cPinRefs);
    // Attaching again lets go of the first attachment's references.
    ASSERT_EQ(S_OK, holder.Attach(m_spGraph));
    holder.Detach();
    EXPECT_FALSE(holder.IsAttached());
    EXPECT_TRUE(holder.Graph().filters.empty());
    EXPECT_EQ(cGraphRefs, RefCount(m_spGraph));
    EXPECT_EQ(cFilterRefs, RefCount(spGenerator));
    EXPECT_EQ(cPinRefs, RefCount(spVideo));
    EXPECT_EQ(S_FALSE, holder.Poll());
    EXPECT_EQ(S_FALSE, holder.Refresh());
    EXPECT_TRUE(m_events.m_losts.empty());
}

TEST_F(GraphHolderTest, PropertyPagesOfFiltersAndPins)
{
    CComPtr<IBaseFilter> spALaw;
    ASSERT_EQ(S_OK, spALaw.CoCreateInstance(CLSID_CCITTALawEncoder, nullptr, CLSCTX_INPROC_SERVER));
    ASSERT_EQ(S_OK, m_spGraph->AddFilter(spALaw, L"A-Law"));
    CGraphHolder holder(&m_events);
    ASSERT_EQ(S_OK, holder.Attach(m_spGraph));
    const GraphData& graph = holder.Graph();

    // The frame is modal: a driver closes it once it shows, with its caption.
    auto showAndClose = [](const std::function<HRESULT()>& show, const std::wstring& captionPart,
                           std::wstring* pCaption) {
        HWND hFrame = nullptr;
        CDriver driver([&] {
            hFrame = WaitForWindow([&](HWND hWnd) {
                return GetClass(hWnd) == L"#32770" && GetText(hWnd).find(captionPart) != std::wstring::npos;
            });
            if (hFrame == nullptr)
                return;
            *pCaption = GetText(hFrame);
            ::PostMessageW(hFrame, WM_COMMAND, IDCANCEL, 0);
        });
        HRESULT hr = show();
        driver.Join();
        return hFrame != nullptr ? hr : E_FAIL;
    };

    // The frame's caption names the filter, or the filter and the pin.
    std::wstring caption;
    int nQS = FindFilterIndex(graph, szQSEncoder);
    EXPECT_EQ(S_OK, showAndClose([&] { return holder.ShowFilterPages(nQS, nullptr); }, szQSEncoder, &caption));
    EXPECT_EQ(std::wstring::npos, caption.find(L": Output"));

    PinRef qsOut = FindPin(graph, szQSEncoder, L"Output");
    EXPECT_EQ(S_OK, showAndClose([&] { return holder.ShowPinPages(qsOut, nullptr); }, L"Ormidex QS Encoder: Output",
                                 &caption));

    EXPECT_EQ(S_FALSE, holder.ShowFilterPages(FindFilterIndex(graph, L"A-Law"), nullptr));
    EXPECT_EQ(E_INVALIDARG, holder.ShowFilterPages(static_cast<int>(graph.filters.size()), nullptr));
    EXPECT_EQ(E_INVALIDARG, holder.ShowPinPages(PinRef{0, 99}, nullptr));
}
