// "Show output in browser" as a person uses it, with a real browser: the
// dialog builds the stand-ins' graph and plays it, Wine's browser service
// opens the served page in headless Chromium (show-in-chromium beside the
// executables), the page sets up its WebRTC session over WHEP, and the
// screenshots of its video element must show the moving test pattern,
// decoded by the browser's own H.264 or VP8 decoder, while the dialog counts
// the browser as a client; the audio encoder's packets (Opus, u-law or
// A-law) arrive as well. Once more through the run's TURN server: added in
// the dialog, with the page asking for the relayed candidates alone.
#include "tests/support/MainDialogDriver.h" // first: it brings winsock2.h

#include <cstdio>
#include <sstream>

#include "components/Ormidex.h"
#include "standins/generator/TestPattern.h"
#include "tests/browser/ScreenshotPixels.h"
#include "tests/support/GraphInspector.h"
#include "tests/support/RegKeyScope.h"
#include "tests/support/TestIceServers.h"

namespace {

// The harness's build: the generator's 720x576 source, coded at its size.
const int c_cxSource = 720;
const int c_cySource = 576;
const int c_cxChecker = 32;
const int c_cFrameNumberBits = 32;
const int c_cyFrameNumber = 8;

// Chromium's start on a busy machine, the page, then a key frame.
const DWORD c_dwCaptureTimeoutMs = 90000;
const DWORD c_dwClientTimeoutMs = 60000;

std::wstring BinDir()
{
    wchar_t szExe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    std::wstring strDir(szExe);
    return strDir.substr(0, strDir.find_last_of(L"\\/") + 1);
}

// The Unix path that Wine's browser service runs a Windows path as.
std::string UnixPath(const std::wstring& strPath)
{
    using PFN = char*(CDECL*)(LPCWSTR);
    auto pfn = reinterpret_cast<PFN>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (pfn == nullptr)
        return std::string();
    char* psz = pfn(strPath.c_str());
    std::string str = psz != nullptr ? psz : "";
    ::HeapFree(::GetProcessHeap(), 0, psz);
    return str;
}

bool FileExists(const std::wstring& strPath)
{
    return ::GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What show-in-chromium wrote: where the video element is, the two shots
// with the frames decoded by then, and WebRTC's names of the codecs.
struct CCapture
{
    RECT rcVideo = {};
    std::vector<std::wstring> shots;
    std::vector<int> framesDecoded;
    std::string strVideoCodec;
    std::string strAudioCodec;
    int nSoundButton = -1;
    int nAudioPackets = -1;
    std::string strError;
    std::string strText;
};

CCapture ReadCapture(const std::wstring& strFile)
{
    CCapture capture;
    FILE* pFile = _wfopen(strFile.c_str(), L"r");
    if (pFile == nullptr)
        return capture;
    std::string strContent;
    char sz[512];
    while (std::fgets(sz, sizeof(sz), pFile) != nullptr)
        strContent += sz;
    std::fclose(pFile);
    std::istringstream lines(strContent);
    std::string strLine;
    while (std::getline(lines, strLine))
    {
        capture.strText += strLine + "\n";
        std::istringstream line(strLine);
        std::string strWord;
        line >> strWord;
        if (strWord == "video-rect")
        {
            int x = 0, y = 0, cx = 0, cy = 0;
            line >> x >> y >> cx >> cy;
            capture.rcVideo = {x, y, x + cx, y + cy};
        }
        else if (strWord == "shot")
        {
            int n = 0;
            int nFrames = -1;
            std::string strPath;
            line >> n >> strPath >> nFrames;
            // The shots are beside the result.
            capture.shots.push_back(strFile.substr(0, strFile.find_last_of(L"\\/") + 1) +
                                    std::wstring(strPath.begin() + strPath.find_last_of('/') + 1, strPath.end()));
            capture.framesDecoded.push_back(nFrames);
        }
        else if (strWord == "video")
        {
            line >> capture.strVideoCodec;
        }
        else if (strWord == "audio")
        {
            line >> capture.strAudioCodec;
        }
        else if (strWord == "sound-button")
        {
            line >> capture.nSoundButton;
        }
        else if (strWord == "audio-packets")
        {
            line >> capture.nAudioPackets;
        }
        else if (strWord == "error")
        {
            capture.strError = strLine;
        }
    }
    return capture;
}

enum ECell
{
    eDark,
    eLight,
    eOther,
};

ECell Cell(const CScreenshot& shot, int x, int y)
{
    BYTE b = shot.Luma(x, y);
    return b < 64 ? eDark : b > 192 ? eLight : eOther;
}

// How much of the video above the frame-number rows is a checkerboard of
// 32-pixel cells: each sample is light or dark, and the one a cell away
// across and down is the other. One sample a cell; the pattern moves
// diagonally, so of the 32 places of the samples' grid the one that scores
// best counts, which keeps them off the edges that lossy coding blurs.
struct CCheckerScore
{
    int nSamples = 0;
    int nLight = 0;
    int nDark = 0;
    int nAlternating = 0;
};

CCheckerScore ScoreChecker(const CScreenshot& shot, const RECT& rc)
{
    CCheckerScore best;
    for (int nPhase = 0; nPhase < c_cxChecker; ++nPhase)
    {
        CCheckerScore score;
        for (int y = rc.top + nPhase; y + c_cxChecker < rc.bottom - c_cyFrameNumber; y += c_cxChecker)
        {
            for (int x = rc.left + nPhase; x + c_cxChecker < rc.right; x += c_cxChecker)
            {
                ECell e = Cell(shot, x, y);
                ++score.nSamples;
                score.nLight += e == eLight ? 1 : 0;
                score.nDark += e == eDark ? 1 : 0;
                ECell eAcross = Cell(shot, x + c_cxChecker, y);
                ECell eDown = Cell(shot, x, y + c_cxChecker);
                score.nAlternating +=
                    e != eOther && eAcross != eOther && eDown != eOther && e != eAcross && e != eDown;
            }
        }
        if (nPhase == 0 || score.nAlternating > best.nAlternating)
            best = score;
    }
    return best;
}

// The generator's frame number from the video's bottom rows: 32 cells of
// white for 1, most significant bit first, read at their middles. False
// when a cell is neither white nor black.
bool ReadFrameNumber(const CScreenshot& shot, const RECT& rc, DWORD* pdwFrame)
{
    int cxCell = (rc.right - rc.left) / c_cFrameNumberBits;
    DWORD dwFrame = 0;
    for (int i = 0; i < c_cFrameNumberBits; ++i)
    {
        ECell e = Cell(shot, rc.left + i * cxCell + cxCell / 2, rc.bottom - c_cyFrameNumber / 2);
        if (e == eOther)
            return false;
        dwFrame = (dwFrame << 1) | (e == eLight ? 1u : 0u);
    }
    *pdwFrame = dwFrame;
    return true;
}

int ConnectionsShown(const std::wstring& strStatistics)
{
    int nConnections = -1;
    return swscanf(strStatistics.c_str(), L"Connections: %d,", &nConnections) == 1 ? nConnections : -1;
}

// A video and an audio encoder of the dialog's lists, and the codecs that
// WebRTC's statistics then name for the received tracks.
struct CBrowserCase
{
    const wchar_t* pszVideoEncoder;
    const char* pszCodec;
    const wchar_t* pszAudioEncoder;
    const char* pszAudioCodec;
    // Through the run's TURN server: added in the dialog, and the page asks
    // for the filter's relayed candidates alone.
    bool bRelayed = false;
};

void PrintTo(const CBrowserCase& test, std::ostream* pos)
{
    *pos << test.pszCodec << " + " << test.pszAudioCodec << (test.bRelayed ? " relayed" : "");
}

std::wstring Wide(const std::string& str)
{
    return std::wstring(str.begin(), str.end());
}

class BrowserViewTest : public MainDialogFixture, public testing::WithParamInterface<CBrowserCase>
{
};

} // namespace

TEST_P(BrowserViewTest, ChromiumShowsTheMovingPatternWhileCountedAsAClient)
{
    const CBrowserCase& test = GetParam();
    const std::wstring strBin = BinDir();
    const std::string strCapture = UnixPath(strBin + L"show-in-chromium");
    if (strCapture.empty())
        GTEST_SKIP() << "needs Wine's browser service";
    const std::wstring strOut = strBin + L"browser\\";
    const std::wstring strResult = strOut + L"result.txt";
    ::CreateDirectoryW(strOut.c_str(), nullptr);
    ::DeleteFileW(strResult.c_str());
    // The page's query, for show-in-chromium; none unless relayed.
    const std::wstring strQuery = strOut + L"query.txt";
    ::DeleteFileW(strQuery.c_str());

    // Chromium is the desktop's browser for this test only; the key as it was
    // (the recorder) comes back afterwards, also when the test fails.
    CRegKeyScope browser(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser");
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", "Browsers", REG_SZ,
                                               strCapture.c_str(), static_cast<DWORD>(strCapture.size() + 1)));

    const CTurnAccount turn;
    if (test.bRelayed && turn.uri.empty())
        GTEST_SKIP() << "no TURN server in this run (scripts/test starts coturn in its namespace)";

    CCapture capture;
    int nClients = -1;
    std::string strStatus;
    const USHORT nPort = FindFreePort();
    Run([&](HWND hDlg) {
        // The loopback address alone: the browser is on this machine.
        SetControlText(hDlg, IDC_URL, (L"http://localhost:" + std::to_wstring(nPort) + L"/view/").c_str());
        SelectComboText(hDlg, IDC_ENC_VIDEO, test.pszVideoEncoder);
        SelectComboText(hDlg, IDC_ENC_AUDIO, test.pszAudioEncoder);
        PressButtonAndWait(hDlg, IDC_BUILD_GRAPH);
        ASSERT_TRUE(IsEnabled(hDlg, IDC_PLAY)) << "the build failed";
        // The harness builds moving bars without the frame number; the test
        // wants the checkerboard and the number to read.
        HRESULT hr = E_FAIL;
        OnUi(hDlg, [&] {
            CComQIPtr<IVideoGenerator> spGenerator(CGraphInspector::Source(m_dlg.GetGraph()));
            if (spGenerator != nullptr && SUCCEEDED(hr = spGenerator->SetPattern(ePatternChecker)))
                hr = spGenerator->SetOverlay(eOverlayFrameNumber);
        });
        ASSERT_EQ(S_OK, hr);
        if (test.bRelayed)
        {
            AddIceServerInDialog(hDlg, Wide(turn.uri).c_str(), Wide(turn.user).c_str(), Wide(turn.password).c_str());
            FILE* pQuery = _wfopen(strQuery.c_str(), L"w");
            ASSERT_NE(nullptr, pQuery);
            std::fputs("iceTransportPolicy=relay", pQuery);
            std::fclose(pQuery);
        }
        PressButtonAndWait(hDlg, IDC_PLAY);
        ASSERT_TRUE(WaitForState(hDlg, State_Running));

        PressButtonAndWait(hDlg, IDC_BROWSER);
        // The page's WebRTC session makes the browser a client while it
        // looks.
        WaitForText(hDlg, IDC_STATISTIC, [&](const std::wstring& s) { return ConnectionsShown(s) >= 1; },
                    c_dwClientTimeoutMs);
        nClients = ConnectionsShown(GetItemText(hDlg, IDC_STATISTIC));
        strStatus = HttpGet(nPort, "/view/status.json");
        WaitUntil([&] { return FileExists(strResult); }, c_dwCaptureTimeoutMs);
        capture = ReadCapture(strResult);
        // Let the browser go; leaving the page ends its session, and that is
        // counted too.
        FILE* pRelease = _wfopen((strOut + L"release").c_str(), L"w");
        if (pRelease != nullptr)
            std::fclose(pRelease);
        EXPECT_TRUE(WaitForText(hDlg, IDC_STATISTIC, [](const std::wstring& s) { return ConnectionsShown(s) == 0; },
                                30000))
            << GetItemText(hDlg, IDC_STATISTIC);
    });

    ::DeleteFileW(strQuery.c_str());
    EXPECT_GE(nClients, 1) << "the dialog did not count the browser as a client";
    // The browser's pair, as the server sees it: through coturn or direct.
    EXPECT_NE(std::string::npos, strStatus.find(test.bRelayed ? "\"relayed\":true" : "\"relayed\":false"))
        << strStatus;
    ASSERT_TRUE(capture.strError.empty() && capture.shots.size() == 2)
        << "no screenshots (see browser\\capture.log):\n" << capture.strText;
    // The track carried the encoder's codec, and the browser decoded it.
    EXPECT_EQ(test.pszCodec, capture.strVideoCodec) << capture.strText;
    ASSERT_EQ(2u, capture.framesDecoded.size());
    EXPECT_GT(capture.framesDecoded[0], 0) << capture.strText;
    const RECT& rc = capture.rcVideo;
    // The element shows the pictures at their own size, the source's.
    ASSERT_EQ(c_cxSource, rc.right - rc.left) << capture.strText;
    ASSERT_EQ(c_cySource, rc.bottom - rc.top) << capture.strText;

    DWORD rgdwFrame[2] = {};
    for (size_t i = 0; i < 2; ++i)
    {
        const std::string strShot(capture.shots[i].begin(), capture.shots[i].end());
        CScreenshot shot;
        ASSERT_TRUE(shot.Load(capture.shots[i])) << strShot;
        ASSERT_GE(shot.Width(), rc.right);
        ASSERT_GE(shot.Height(), rc.bottom);
        CCheckerScore score = ScoreChecker(shot, rc);
        EXPECT_GT(score.nLight, score.nSamples / 3) << strShot;
        EXPECT_GT(score.nDark, score.nSamples / 3) << strShot;
        EXPECT_GT(score.nAlternating, score.nSamples * 9 / 10) << strShot << ": no checkerboard";
        EXPECT_TRUE(ReadFrameNumber(shot, rc, &rgdwFrame[i])) << strShot << ": no frame number";
    }
    // About a second apart at 25 frames a second; a number read wrong would
    // hardly land this close.
    EXPECT_GT(rgdwFrame[1], rgdwFrame[0]) << "the picture does not move";
    EXPECT_LT(rgdwFrame[1] - rgdwFrame[0], 250u) << rgdwFrame[0] << " then " << rgdwFrame[1];
    // Chromium holds a page's sound until the user acts: the page offered
    // its button, with the muted video playing regardless; the audio track
    // carried the audio encoder's packets.
    EXPECT_EQ(1, capture.nSoundButton) << capture.strText;
    EXPECT_EQ(test.pszAudioCodec, capture.strAudioCodec) << capture.strText;
    EXPECT_GT(capture.nAudioPackets, 0) << capture.strText;
}

// Each video and each audio encoder at least once.
INSTANTIATE_TEST_SUITE_P(
    Codecs, BrowserViewTest,
    testing::Values(CBrowserCase{L"Ormidex QS Encoder", "video/H264", L"Ormidex Opus Encoder", "audio/opus"},
                    CBrowserCase{L"WebM VP8 Encoder Filter", "video/VP8", L"Ormidex Opus Encoder", "audio/opus"},
                    CBrowserCase{L"WebM VP8 Encoder Filter", "video/VP8", L"CCITT u-Law", "audio/PCMU"},
                    CBrowserCase{L"Ormidex QS Encoder", "video/H264", L"CCITT A-Law", "audio/PCMA"},
                    CBrowserCase{L"WebM VP8 Encoder Filter", "video/VP8", L"Ormidex Opus Encoder", "audio/opus", true}));
