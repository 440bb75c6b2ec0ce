// Every failure that the stand-ins' fault switches cause behind the main
// dialog's commands, one row each: building from components, the server
// settings and playback. Each row names its switches, the command and the
// message box it must end in (or none). After every row the dialog still
// answers, a clean build works and no stand-in object is left; over a whole
// table the process keeps its handles and windows.
#include "tests/support/MainDialogDriver.h" // first: it brings winsock2.h

#include <cwchar>
#include <memory>
#include <vector>

#include "standins/kit/FaultSwitch.h"
#include "tests/support/ReportCapture.h"
#include "tests/support/ResourceUse.h"
#include "tests/support/StandinDlls.h"

namespace {

const wchar_t szCorvasta[] = L"Corvasta";
const wchar_t szGenerator[] = L"Ormidex Video Generator";
const wchar_t szQS[] = L"Ormidex QS Encoder";
const wchar_t szVP8[] = L"WebM VP8 Encoder Filter";
const wchar_t szOpus[] = L"Ormidex Opus Encoder";
const wchar_t szALaw[] = L"CCITT A-Law";
const wchar_t szNotSelected[] = L"Not selected";

const wchar_t szCantBuild[] = L"Can't build graph";
const wchar_t szCantInsert[] = L"Can't insert server or source filter to graph";

struct Switch
{
    const wchar_t* pszFilter;
    const wchar_t* pszName;
    DWORD dwValue;
};

DWORD Code(HRESULT hr)
{
    return static_cast<DWORD>(hr);
}

// A main-dialog message box: its text and code. No text: no box at all.
struct Box
{
    const wchar_t* pszText;
    HRESULT hr;
};
const Box noBox = {nullptr, S_OK};

enum ECommand
{
    eBuildOnly,
    eUrlSet,
    eApply,
    eIceAdd,    // a server through the ICE server dialog
    eIceRemove, // the first listed server
    ePlay,
    ePause,
    eKeyFrame,   // a client's key-frame request while running
    eStatistics, // a refresh of the statistics line
};

struct Row
{
    const wchar_t* pszName;
    std::vector<Switch> switches;
    const wchar_t* pszEncVid; // the build's encoders; null: "Not selected"
    const wchar_t* pszEncAud;
    Box build;               // what "Build graph" shows
    const wchar_t* pszFlag;  // the failing step's diagnostic, if it has one
    ECommand eCommand;       // pressed after the build
    Box command;             // what the command shows
    std::function<void(HWND)> fCheck; // what else the row leaves on screen
    bool bAutoUrl = false;   // "auto": the build sets no URL
};

std::wstring CodeLine(HRESULT hr)
{
    wchar_t sz[32];
    std::swprintf(sz, ARRAYSIZE(sz), L"Error 0x%X", Code(hr));
    return sz;
}

bool IsFailedBuild(const Box& box)
{
    return box.pszText != nullptr &&
           (std::wcscmp(box.pszText, szCantBuild) == 0 || std::wcscmp(box.pszText, szCantInsert) == 0);
}

std::wstring LoopbackUrl(const wchar_t* pszPath)
{
    return L"http://127.0.0.1:" + std::to_wstring(FindFreePort()) + pszPath;
}

bool Answers(HWND hDlg)
{
    DWORD_PTR dwResult = 0;
    return ::SendMessageTimeoutW(hDlg, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &dwResult) != 0;
}

// The served URL shown is not the one the row's build set.
void ExpectUrlKept(HWND hDlg)
{
    EXPECT_EQ(std::wstring::npos, GetItemText(hDlg, IDC_URL_CURRENT).find(L"/row"))
        << GetItemText(hDlg, IDC_URL_CURRENT);
}

class FaultMatrixTest : public MainDialogFixture
{
protected:
    // Runs the rows in one session of the dialog, after a warm-up that loads
    // every stand-in and opens each kind of window once.
    void RunTable(const std::vector<Row>& rows)
    {
        ResourceUse start, end;
        Run([&](HWND hDlg) {
            Warm(hDlg);
            start = MeasureResourceUse();
            for (const Row& row : rows)
                RunRow(hDlg, row);
            end = MeasureResourceUse();
        });
        // Each row builds two graphs; what the platform's graph manager loses
        // on its own is not ours. A handle lost in every other row shows.
        long lPlatform = GraphManagerHandleLoss(2 * static_cast<int>(rows.size()));
        std::string figures = ResourceUseText(start, end) + "  the platform's own handle loss: " +
                              std::to_string(lPlatform) + "\n";
        EXPECT_LT(static_cast<long>(end.OwnHandles()),
                  static_cast<long>(start.OwnHandles() + rows.size() / 2) + lPlatform)
            << figures;
        // The message boxes and dialogs are closed again, and nothing else
        // opened a window.
        EXPECT_EQ(start.nWindows, end.nWindows) << figures;
    }

    void RunRow(HWND hDlg, const Row& row)
    {
        SCOPED_TRACE(row.pszName);
        std::wstring title = GetText(hDlg);
        std::wstring url = GetItemText(hDlg, IDC_URL_CURRENT);
        {
            std::vector<std::unique_ptr<CFaultSwitch>> switches;
            for (const Switch& s : row.switches)
            {
                switches.push_back(std::make_unique<CFaultSwitch>(s.pszFilter, s.pszName, s.dwValue));
                ASSERT_EQ(ERROR_SUCCESS, switches.back()->Result()) << s.pszName;
            }
            m_capture.Clear();
            SelectComboText(hDlg, IDC_ENC_VIDEO, row.pszEncVid != nullptr ? row.pszEncVid : szNotSelected);
            SelectComboText(hDlg, IDC_ENC_AUDIO, row.pszEncAud != nullptr ? row.pszEncAud : szNotSelected);
            SetControlText(hDlg, IDC_URL, row.bAutoUrl ? L"auto" : LoopbackUrl(L"/row").c_str());
            Press(hDlg, IDC_BUILD_GRAPH, row.build);
            if (IsFailedBuild(row.build))
            {
                // Nothing of the half-built graph is offered; the window keeps
                // what the last good build showed.
                EXPECT_FALSE(IsEnabled(hDlg, IDC_PLAY));
                EXPECT_EQ(title, GetText(hDlg));
                EXPECT_EQ(url, GetItemText(hDlg, IDC_URL_CURRENT));
            }
            else
            {
                EXPECT_TRUE(IsEnabled(hDlg, IDC_PLAY));
            }
            if (row.pszFlag != nullptr)
            {
                EXPECT_TRUE(m_capture.HasFlag(row.pszFlag)) << testing::PrintToString(m_capture.Asserts());
            }
            Command(hDlg, row);
            if (row.fCheck)
                row.fCheck(hDlg);
            EXPECT_TRUE(Answers(hDlg));
        }
        ExpectCleanBuild(hDlg);
    }

    // A build without switches works, and once its graph is released no
    // stand-in holds an object: the row left no reference behind.
    void ExpectCleanBuild(HWND hDlg)
    {
        SelectComboText(hDlg, IDC_ENC_VIDEO, szQS);
        SelectComboText(hDlg, IDC_ENC_AUDIO, szOpus);
        SetControlText(hDlg, IDC_URL, LoopbackUrl(L"/").c_str());
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        EXPECT_TRUE(IsEnabled(hDlg, IDC_PLAY)) << "the clean build failed";
        EXPECT_EQ(0u, GetText(hDlg).find(L"Test for ")) << GetText(hDlg);
        OnUi(hDlg, [&] { m_dlg.GetGraph().ReleaseGraph(); });
        for (const wchar_t* pszDll : rgszStandinDlls)
            EXPECT_EQ(S_OK, StandinCanUnload(pszDll)) << pszDll;
    }

    void Press(HWND hDlg, int nID, const Box& box)
    {
        if (box.pszText == nullptr)
            PressButtonAndWait(hDlg, nID);
        else
            EXPECT_EQ(ExpectedBoxText(box.pszText, box.hr, CodeLine(box.hr).c_str()), PressExpectingBox(hDlg, nID));
    }

    void Command(HWND hDlg, const Row& row)
    {
        switch (row.eCommand)
        {
        case eBuildOnly:
            break;
        case eUrlSet:
        {
            std::wstring url = GetItemText(hDlg, IDC_URL_CURRENT);
            SetControlText(hDlg, IDC_URL, LoopbackUrl(L"/set").c_str());
            Press(hDlg, IDC_URL_SET, row.command);
            if (row.command.pszText != nullptr)
            {
                EXPECT_EQ(url, GetItemText(hDlg, IDC_URL_CURRENT));
            }
            break;
        }
        case eApply:
            SetControlText(hDlg, IDC_FILTER, L"chrome");
            Press(hDlg, IDC_FILTER_APPLY, row.command);
            // A refusal keeps what was typed, to be applied again.
            EXPECT_EQ(L"chrome", GetItemText(hDlg, IDC_FILTER));
            EXPECT_EQ(row.command.pszText != nullptr, IsEnabled(hDlg, IDC_FILTER_APPLY));
            break;
        case eIceAdd:
            AddIceServer(hDlg, row.command);
            break;
        case eIceRemove:
        {
            int nCount = ListBoxCount(hDlg, IDC_ICE_LIST);
            ASSERT_GT(nCount, 0);
            ::SendDlgItemMessageW(hDlg, IDC_ICE_LIST, LB_SETCURSEL, 0, 0);
            Press(hDlg, IDC_ICE_REMOVE, row.command);
            EXPECT_EQ(nCount, ListBoxCount(hDlg, IDC_ICE_LIST));
            break;
        }
        case ePlay:
            Press(hDlg, IDC_PLAY, row.command);
            break;
        case ePause:
            Press(hDlg, IDC_PAUSE, row.command);
            break;
        case eKeyFrame:
            PressButtonAndWait(hDlg, IDC_PLAY);
            ASSERT_TRUE(WaitForState(hDlg, State_Running));
            Notify(hDlg, EC_USER, 0);
            EXPECT_TRUE(Answers(hDlg));
            EXPECT_EQ(State_Running, GraphState(hDlg));
            break;
        case eStatistics:
            SetControlText(hDlg, IDC_STATISTIC, L"before");
            OnUi(hDlg, [&] { m_dlg.ShowStatistics(); });
            EXPECT_EQ(L"before", GetItemText(hDlg, IDC_STATISTIC));
            break;
        }
    }

    // The ICE server dialog reports the refusal in its own box and stays
    // open; cancelled, it leaves the main dialog's list as it was.
    void AddIceServer(HWND hDlg, const Box& box)
    {
        int nCount = ListBoxCount(hDlg, IDC_ICE_LIST);
        PressButton(hDlg, IDC_ICE_ADD);
        HWND hIce = WaitForDialog(L"Add ICE Server");
        ASSERT_NE(nullptr, hIce);
        SetControlText(hIce, IDC_ICE_URI, L"stun:stun.example.org:3478");
        ::PostMessageW(hIce, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        MessageBoxInfo info;
        EXPECT_TRUE(WaitForMessageBox(L"Https Test", &info));
        EXPECT_EQ(ExpectedBoxText(box.pszText, box.hr, CodeLine(box.hr).c_str()), info.text);
        EXPECT_TRUE(::IsWindow(hIce));
        ::PostMessageW(hIce, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_TRUE(WaitForWindowGone(hIce));
        EXPECT_TRUE(Answers(hDlg));
        EXPECT_EQ(nCount, ListBoxCount(hDlg, IDC_ICE_LIST));
    }

    // Every stand-in DLL loaded, a graph played and stopped, a message box
    // and the ICE server dialog shown once.
    void Warm(HWND hDlg)
    {
        SelectComboText(hDlg, IDC_ENC_VIDEO, szVP8);
        SelectComboText(hDlg, IDC_ENC_AUDIO, szALaw);
        SetControlText(hDlg, IDC_URL, LoopbackUrl(L"/").c_str());
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        PressButtonAndWait(hDlg, IDC_PLAY);
        EXPECT_TRUE(WaitForState(hDlg, State_Running));
        PressButtonAndWait(hDlg, IDC_STOP);
        PressButton(hDlg, IDC_ICE_ADD);
        HWND hIce = WaitForDialog(L"Add ICE Server");
        ASSERT_NE(nullptr, hIce);
        ::PostMessageW(hIce, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_TRUE(WaitForWindowGone(hIce));
        SetControlText(hDlg, IDC_URL, L"");
        EXPECT_FALSE(PressExpectingBox(hDlg, IDC_URL_SET).empty());
        ExpectCleanBuild(hDlg);
        for (const wchar_t* pszDll : rgszStandinDlls)
            ASSERT_NE(nullptr, ::GetModuleHandleW(pszDll)) << pszDll;
    }

    CReportCapture m_capture;
};

// The result of one step, switched on one filter.
std::vector<Switch> Fault(const wchar_t* pszFilter, const wchar_t* pszName, HRESULT hr)
{
    return {{pszFilter, pszName, Code(hr)}};
}

} // namespace

// Each step of building from components that can fail, and the calls whose
// failure the build only notes.
TEST_F(FaultMatrixTest, BuildFromComponents)
{
    const HRESULT hrWin32Busy = HRESULT_FROM_WIN32(ERROR_BUSY);
    auto title = [](const wchar_t* pszTitle) {
        return [pszTitle](HWND hDlg) { EXPECT_EQ(pszTitle, GetText(hDlg)); };
    };
    auto iceServers = [](int nCount) {
        return [nCount](HWND hDlg) { EXPECT_EQ(nCount, ListBoxCount(hDlg, IDC_ICE_LIST)); };
    };
    const std::vector<Row> rows = {
        {L"Corvasta filter not created", {{szCorvasta, L"NoInterface:IBaseFilter", 1}}, szQS, szOpus,
         {szCantBuild, E_NOINTERFACE}, L"CGraph::CreateGraph(): Can't create Corvasta filter"},
        {L"Corvasta filter not inserted", Fault(szCorvasta, L"JoinFilterGraph", E_ACCESSDENIED), szQS, szOpus,
         {szCantBuild, E_ACCESSDENIED}, L"CGraph::CreateGraph(): Can't insert Corvasta to graph"},
        {L"Corvasta filter with one input", {{szCorvasta, L"NoPin:Audio", 1}}, szQS, szOpus, {szCantBuild, E_FAIL},
         L"CGraph::CreateGraph(): GetPins( server ) FAILED"},
        {L"source not created", {{szGenerator, L"NoInterface:IBaseFilter", 1}}, szQS, szOpus,
         {szCantBuild, E_NOINTERFACE}, L"CGraph::CreateGraph(): Can't create source filter"},
        {L"source not inserted", Fault(szGenerator, L"JoinFilterGraph", E_UNEXPECTED), szQS, szOpus,
         {szCantBuild, E_UNEXPECTED}, L"CGraph::CreateGraph(): Can't insert source filter to graph"},
        {L"source without outputs", {{szGenerator, L"NoPin:Video", 1}, {szGenerator, L"NoPin:Audio", 1}}, szQS,
         szOpus, {szCantBuild, E_FAIL}, L"CGraph::CreateGraph(): GetPins( source ) FAILED"},
        {L"video encoder not created", {{szQS, L"NoInterface:IBaseFilter", 1}}, szQS, szOpus,
         {szCantBuild, E_NOINTERFACE}, L"CGraph::CreateGraph(): Can't create video encoder filter"},
        {L"video encoder not inserted", Fault(szQS, L"JoinFilterGraph", hrWin32Busy), szQS, szOpus,
         {szCantBuild, hrWin32Busy}, L"CGraph::CreateGraph(): Can't insert video encoder to graph"},
        {L"video encoder's class", Fault(szQS, L"GetClassID", E_OUTOFMEMORY), szQS, szOpus,
         {szCantBuild, E_OUTOFMEMORY}, L"CGraph::CreateGraph(): spEncoder->GetClassID() FAILED for video encoder"},
        {L"QS encoder without its interface", {{szQS, L"NoInterface:IQSEncoder", 1}}, szQS, szOpus,
         {szCantBuild, E_NOINTERFACE}},
        {L"H.264 kind refused", Fault(szQS, L"SelectEncoder", E_NOTIMPL), szQS, szOpus, {szCantBuild, E_NOTIMPL},
         L"CGraph::CreateGraph(): Can't select H264 encoder"},
        // A success code but S_OK fails the build too, in the dialog's own words.
        {L"H.264 kind half taken", Fault(szQS, L"SelectEncoder", S_FALSE), szQS, szOpus, {szCantInsert, S_FALSE},
         L"CGraph::CreateGraph(): Can't select H264 encoder"},
        {L"VP8 encoder without its interface", {{szVP8, L"NoInterface:IVP8Encoder", 1}}, szVP8, szOpus,
         {szCantBuild, E_NOINTERFACE}, L"CGraph::CreateGraph(): Can't QI(IVP8Encoder)"},
        {L"video encoder without output", {{szQS, L"NoPin:Output", 1}}, szQS, szOpus, {szCantBuild, E_FAIL},
         L"CGraph::CreateGraph(): GetPins( video encoder ) FAILED"},
        {L"source to video encoder", Fault(szGenerator, L"Connect", E_ABORT), szQS, szOpus, {szCantBuild, E_ABORT},
         L"CGraph::CreateGraph(): Can't connect video source and video encoder"},
        {L"video encoder to Corvasta", Fault(szQS, L"Connect", E_HANDLE), szQS, szOpus, {szCantBuild, E_HANDLE},
         L"CGraph::CreateGraph(): Can't connect video encoder and Corvasta"},
        {L"audio encoder not created", {{szOpus, L"NoInterface:IBaseFilter", 1}}, szQS, szOpus,
         {szCantBuild, E_NOINTERFACE}, L"CGraph::CreateGraph(): Can't create audio encoder filter"},
        {L"audio encoder not inserted", Fault(szOpus, L"JoinFilterGraph", E_ACCESSDENIED), szQS, szOpus,
         {szCantBuild, E_ACCESSDENIED}, L"CGraph::CreateGraph(): Can't insert audio encoder to graph"},
        {L"audio encoder's class", Fault(szOpus, L"GetClassID", E_UNEXPECTED), nullptr, szOpus,
         {szCantBuild, E_UNEXPECTED}, L"CGraph::CreateGraph(): spEncoder->GetClassID() FAILED for audio encoder"},
        {L"sampling rate refused", Fault(szGenerator, L"SetSamplingRate", E_INVALIDARG), szQS, szOpus,
         {szCantBuild, E_INVALIDARG}, L"CGraph::CreateGraph(): spVidGen->SetSamplingRate() FAILED"},
        {L"audio encoder without input", {{szOpus, L"NoPin:Input", 1}}, szQS, szOpus, {szCantBuild, E_FAIL},
         L"CGraph::CreateGraph(): GetPins( audio encoder ) FAILED"},
        {L"source to audio encoder", Fault(szGenerator, L"Connect", E_ABORT), nullptr, szALaw, {szCantBuild, E_ABORT},
         L"CGraph::CreateGraph(): Can't connect audio source and audio encoder"},
        {L"audio encoder to Corvasta", Fault(szOpus, L"Connect", hrWin32Busy), szQS, szOpus,
         {szCantBuild, hrWin32Busy}, L"CGraph::CreateGraph(): Can't connect audio encoder and Corvasta"},
        {L"URL refused", Fault(szCorvasta, L"SetUrl", E_INVALIDARG), szQS, szOpus, {szCantBuild, E_INVALIDARG},
         L"CGraph::BuildGraph(): m_spServer->SetUrl() FAILED"},
        {L"URL for a filter without its control", {{szCorvasta, L"NoInterface:IServerControl", 1}}, szQS, szOpus,
         {szCantBuild, E_NOINTERFACE}, L"CGraph::BuildGraph(): IServerControl NOT FOUND"},
        {L"default ICE server refused", Fault(szCorvasta, L"AddIceServer", E_OUTOFMEMORY), szQS, szOpus,
         {L"Can't add ICE Server", E_OUTOFMEMORY}, nullptr, eBuildOnly, noBox, iceServers(0)},

        // Noted only: the build goes on.
        {L"generator's settings",
         {{szGenerator, L"SetPattern", Code(E_FAIL)},
          {szGenerator, L"SetVideoFormat", Code(E_INVALIDARG)},
          {szGenerator, L"SetOverlay", Code(E_FAIL)}},
         szQS, szOpus, noBox},
        {L"QS encoder's settings",
         {{szQS, L"SupportedEncoders", 3},
          {szQS, L"GetSupportedEncoders", Code(E_FAIL)},
          {szQS, L"SetTargetUsage", Code(E_INVALIDARG)},
          {szQS, L"SetBFrames", Code(E_INVALIDARG)},
          {szQS, L"SetBitrate", Code(E_FAIL)}},
         szQS, szOpus, noBox},
        {L"VP8 deadline", Fault(szVP8, L"SetDeadline", E_INVALIDARG), szVP8, szOpus, noBox},
        {L"version parts",
         {{szCorvasta, L"GetType", Code(E_FAIL)},
          {szCorvasta, L"GetOS", Code(E_FAIL)},
          {szCorvasta, L"GetName", Code(E_FAIL)},
          {szCorvasta, L"GetNumber", Code(E_FAIL)},
          {szCorvasta, L"GetDateTime", Code(E_FAIL)}},
         szQS, szOpus, noBox, nullptr, eBuildOnly, noBox, title(L"Test for  [D32 v. ]")},
        {L"no version interface", {{szCorvasta, L"NoInterface:IFilterVersion", 1}}, szQS, szOpus, noBox, nullptr,
         eBuildOnly, noBox, title(L"Corvasta Test")},
        {L"URL not read back", Fault(szCorvasta, L"GetUrl", E_UNEXPECTED), szQS, szOpus, noBox, nullptr, eBuildOnly,
         noBox, ExpectUrlKept},
        {L"null URL read back", {{szCorvasta, L"NullUrl", 1}}, szQS, szOpus, noBox, nullptr, eBuildOnly, noBox,
         ExpectUrlKept},
        {L"ICE server count unknown", Fault(szCorvasta, L"GetIceServerCount", E_FAIL), szQS, szOpus, noBox, nullptr,
         eBuildOnly, noBox, iceServers(0)},
        {L"ICE server unreadable", Fault(szCorvasta, L"GetIceServer", E_FAIL), szQS, szOpus, noBox, nullptr,
         eBuildOnly, noBox, iceServers(0)},
        {L"filter without its control", {{szCorvasta, L"NoInterface:IServerControl", 1}}, szQS, szOpus, noBox,
         nullptr, eBuildOnly, noBox,
         [&](HWND hDlg) {
             title(L"Corvasta Test")(hDlg);
             iceServers(0)(hDlg);
         },
         true},
    };
    RunTable(rows);
}

// The URL, application filter and ICE server commands on a filter that
// refuses them.
TEST_F(FaultMatrixTest, ServerSettings)
{
    const HRESULT hrWin32Busy = HRESULT_FROM_WIN32(ERROR_BUSY);
    const std::vector<Row> rows = {
        {L"URL refused", Fault(szCorvasta, L"SetUrl", hrWin32Busy), szQS, nullptr, noBox, nullptr, eUrlSet,
         {L"Can't set URL", hrWin32Busy}, nullptr, true},
        {L"new URL not read back", Fault(szCorvasta, L"GetUrl", E_UNEXPECTED), szQS, nullptr, noBox, nullptr, eUrlSet,
         {L"Can't get new URL from filter", E_UNEXPECTED}},
        {L"null URL read back", {{szCorvasta, L"NullUrl", 1}}, szQS, nullptr, noBox, nullptr, eUrlSet,
         {L"Can't get new URL from filter", E_INVALIDARG}},
        {L"URL for a filter without its control", {{szCorvasta, L"NoInterface:IServerControl", 1}}, szQS, nullptr,
         noBox, nullptr, eUrlSet, {L"Can't set URL", E_NOINTERFACE}, nullptr, true},
        {L"application filter refused", Fault(szCorvasta, L"SetAppFilter", E_ACCESSDENIED), szQS, nullptr, noBox,
         nullptr, eApply, {L"m_graph.SetFilter() FAILED", E_ACCESSDENIED}},
        {L"application filter not read back", Fault(szCorvasta, L"GetAppFilter", E_OUTOFMEMORY), szQS, nullptr, noBox,
         nullptr, eApply, {L"m_graph.GetFilter() FAILED", E_OUTOFMEMORY}},
        {L"no application filter interface", {{szCorvasta, L"NoInterface:IServerAppFilter", 1}}, szQS, nullptr,
         noBox, nullptr, eApply, {L"m_graph.SetFilter() FAILED", E_NOINTERFACE}},
        {L"application filter without the control", {{szCorvasta, L"NoInterface:IServerControl", 1}}, szQS,
         nullptr, noBox, nullptr, eApply, {L"m_graph.SetFilter() FAILED", E_NOINTERFACE}, nullptr, true},
        {L"ICE server refused", Fault(szCorvasta, L"AddIceServer", E_INVALIDARG), szQS, nullptr,
         {L"Can't add ICE Server", E_INVALIDARG}, nullptr, eIceAdd, {L"Add ICE Server error", E_INVALIDARG}},
        // Not reported: the list stays as it was.
        {L"ICE server not removed", Fault(szCorvasta, L"RemoveIceServer", E_UNEXPECTED), szQS, nullptr, noBox,
         nullptr, eIceRemove, noBox},
    };
    RunTable(rows);
}

// Play and Pause refused by the filter; the key-frame request and the
// statistics, whose failures are not reported.
TEST_F(FaultMatrixTest, Playback)
{
    const HRESULT hrInUse = HRESULT_FROM_WIN32(WSAEADDRINUSE);
    const std::vector<Row> rows = {
        // Run from stopped pauses first. (A filter's refusal of Run itself
        // is not passed on by every graph manager: Wine's starts the filters
        // later, on a thread of its own.)
        {L"run's pause refused for rights", Fault(szCorvasta, L"Pause", E_ACCESSDENIED), szQS, nullptr, noBox,
         nullptr, ePlay, {szPlayAccessDenied, E_ACCESSDENIED}},
        {L"run's pause refused", Fault(szCorvasta, L"Pause", hrInUse), szQS, nullptr, noBox, nullptr, ePlay,
         {L"Can't play", hrInUse}},
        {L"pause refused for rights", Fault(szCorvasta, L"Pause", E_ACCESSDENIED), szQS, nullptr, noBox, nullptr,
         ePause, {szPauseAccessDenied, E_ACCESSDENIED}},
        {L"pause refused", Fault(szCorvasta, L"Pause", E_UNEXPECTED), szQS, nullptr, noBox, nullptr, ePause,
         {L"Can't pause", E_UNEXPECTED}},
        {L"URL not read back on play", Fault(szCorvasta, L"GetUrl", E_UNEXPECTED), szQS, nullptr, noBox, nullptr,
         ePlay, noBox, ExpectUrlKept},
        {L"key frame refused", Fault(szQS, L"RequestKeyFrame", E_FAIL), szQS, nullptr, noBox, nullptr, eKeyFrame,
         noBox},
        {L"key frame refused by VP8", Fault(szVP8, L"SetForceKeyframe", E_FAIL), szVP8, nullptr, noBox, nullptr,
         eKeyFrame, noBox},
        {L"statistics refused", Fault(szCorvasta, L"GetStatistics", E_FAIL), szQS, nullptr, noBox, nullptr,
         eStatistics, noBox},
    };
    RunTable(rows);
}
