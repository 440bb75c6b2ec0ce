// The pin property page in proppage.dll, created through COM as the graph
// editor creates it: its registration, the pins it accepts, what it shows
// for connected and open pins in this process and in another, and the
// platform's property frame around it.
#include <gtest/gtest.h>

#include "components/ComponentIds.h"
#include "proppage/PinPageIds.h"
#include "tests/remotegraph/RemoteGraph.h"
#include "tests/remotegraph/StandinGraph.h"
#include "tests/support/WindowDriver.h"

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const wchar_t c_szOpusEncoderFilter[] = L"Ormidex Opus Encoder";

using Rows = std::vector<std::pair<std::wstring, std::wstring>>;

// What the page shows, read from its controls.
struct PageView
{
    std::wstring name, direction, filter, connection;
    Rows rows;

    bool operator==(const PageView& other) const
    {
        return name == other.name && direction == other.direction && filter == other.filter &&
               connection == other.connection && rows == other.rows;
    }
};

std::wstring ListText(HWND hwndList, int iItem, int iColumn)
{
    wchar_t sz[256] = L"";
    ListView_GetItemText(hwndList, iItem, iColumn, sz, ARRAYSIZE(sz));
    return sz;
}

PageView ReadPage(HWND hwndPage)
{
    PageView view;
    view.name = GetItemText(hwndPage, IDC_PIN_NAME);
    view.direction = GetItemText(hwndPage, IDC_PIN_DIRECTION);
    view.filter = GetItemText(hwndPage, IDC_PIN_FILTER);
    view.connection = GetItemText(hwndPage, IDC_PIN_CONNECTION);
    HWND hwndList = ::GetDlgItem(hwndPage, IDC_PIN_FORMAT);
    for (int i = 0; i < ListView_GetItemCount(hwndList); i++)
        view.rows.emplace_back(ListText(hwndList, i, 0), ListText(hwndList, i, 1));
    return view;
}

HRESULT CreatePage(IPropertyPage** ppPage)
{
    return ::CoCreateInstance(CLSID_PinPropertyPage, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                              reinterpret_cast<void**>(ppPage));
}

// Opens the page for pObject in a window of its own, reads it and closes it
// again as a property frame does.
HRESULT ShowPage(IUnknown* pObject, PageView* pView)
{
    CComPtr<IPropertyPage> spPage;
    HRESULT hr = CreatePage(&spPage);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = spPage->SetObjects(1, &pObject)))
        return hr;
    HWND hwndParent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                        nullptr, nullptr);
    RECT rc = {0, 0, 340, 260};
    hr = spPage->Activate(hwndParent, &rc, TRUE);
    if (SUCCEEDED(hr))
    {
        *pView = ReadPage(::GetWindow(hwndParent, GW_CHILD));
        hr = spPage->Deactivate();
    }
    spPage->SetObjects(0, nullptr);
    ::DestroyWindow(hwndParent);
    return hr;
}

// The row's value, or "(none)" when the page has no such row.
std::wstring Row(const PageView& view, const wchar_t* pszName)
{
    for (const auto& row : view.rows)
        if (row.first == pszName)
            return row.second;
    return L"(none)";
}

// The page's window inside a property frame: the parent of its pin name.
HWND FindPage(HWND hwndFrame)
{
    HWND hwndPage = nullptr;
    ::EnumChildWindows(
        hwndFrame,
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            if (::GetDlgCtrlID(hWnd) != IDC_PIN_NAME || GetClass(::GetParent(hWnd)) != L"CorvastaKitPropertyPage")
                return TRUE;
            *reinterpret_cast<HWND*>(lParam) = ::GetParent(hWnd);
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&hwndPage));
    return hwndPage;
}

ULONG RefCount(IUnknown* pUnknown)
{
    pUnknown->AddRef();
    return pUnknown->Release();
}

class PinPageTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, m_spGraph.CoCreateInstance(CLSID_FilterGraph));
        ASSERT_EQ(S_OK, BuildStandinGraph(m_spGraph));
        // The generator's audio into the Opus encoder, for a wave format.
        CComPtr<IBaseFilter> spOpus;
        ASSERT_EQ(S_OK, spOpus.CoCreateInstance(CLSID_OrmidexOpusEncoder));
        ASSERT_EQ(S_OK, m_spGraph->AddFilter(spOpus, c_szOpusEncoderFilter));
        CComPtr<IPin> spAudio, spInput;
        ASSERT_EQ(S_OK, FindFilterPin(m_spGraph, szGeneratorFilter, L"Audio", &spAudio));
        ASSERT_EQ(S_OK, FindFilterPin(m_spGraph, c_szOpusEncoderFilter, L"Input", &spInput));
        ASSERT_EQ(S_OK, m_spGraph->ConnectDirect(spAudio, spInput, nullptr));
    }

    CComPtr<IPin> Pin(LPCWSTR pszFilter, LPCWSTR pszPin)
    {
        CComPtr<IPin> spPin;
        EXPECT_EQ(S_OK, FindFilterPin(m_spGraph, pszFilter, pszPin, &spPin));
        return spPin;
    }

    CComPtr<IGraphBuilder> m_spGraph;
};

} // namespace

TEST(PinPageRegistrationTest, ServedByProppageUnderThePropertyPagesClass)
{
    wchar_t sz[MAX_PATH] = L"";
    DWORD cb = sizeof(sz);
    const wchar_t szKey[] = L"CLSID\\{29E07010-BD27-11CE-AB59-00AA00577DA1}\\InprocServer32";
    ASSERT_EQ(ERROR_SUCCESS, ::RegGetValueW(HKEY_CLASSES_ROOT, szKey, nullptr, RRF_RT_REG_SZ, nullptr, sz, &cb));
    std::wstring server = sz;
    EXPECT_EQ(L"\\proppage.dll", server.substr(server.find_last_of(L'\\')));
    cb = sizeof(sz);
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegGetValueW(HKEY_CLASSES_ROOT, szKey, L"ThreadingModel", RRF_RT_REG_SZ, nullptr, sz, &cb));
    EXPECT_STREQ(L"Both", sz);

    CComPtr<IPropertyPage> spPage;
    ASSERT_EQ(S_OK, CreatePage(&spPage));
    PROPPAGEINFO info = {};
    ASSERT_EQ(S_OK, spPage->GetPageInfo(&info));
    EXPECT_STREQ(L"Pin", info.pszTitle);
    EXPECT_EQ(340, info.size.cx);
    EXPECT_EQ(260, info.size.cy);
    ::CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(0u, spPage.Detach()->Release());
}

TEST_F(PinPageTest, TakesOnlyAPin)
{
    CComPtr<IPropertyPage> spPage;
    ASSERT_EQ(S_OK, CreatePage(&spPage));
    CComPtr<IBaseFilter> spFilter;
    ASSERT_EQ(S_OK, m_spGraph->FindFilterByName(szGeneratorFilter, &spFilter));
    IUnknown* pFilter = spFilter;
    EXPECT_EQ(E_NOINTERFACE, spPage->SetObjects(1, &pFilter));
    IUnknown* pNull = nullptr;
    EXPECT_EQ(E_POINTER, spPage->SetObjects(1, &pNull));
    EXPECT_EQ(E_POINTER, spPage->SetObjects(1, nullptr));
    EXPECT_EQ(S_OK, spPage->SetObjects(0, nullptr));
}

TEST_F(PinPageTest, ShowsEachPinWithItsConnection)
{
    const struct
    {
        const wchar_t* pszFilter;
        const wchar_t* pszPin;
        const wchar_t* pszDirection;
        const wchar_t* pszConnection;
        Rows rows; // a selection of the media type's rows
    } rgCases[] = {
        {szGeneratorFilter, L"Video", L"Output", L"Ormidex QS Encoder: Input",
         {{L"Major type", L"Video"}, {L"Subtype", L"RGB32"}, {L"Format type", L"VideoInfo"},
          {L"AvgTimePerFrame", L"333333 (30.000 fps)"}, {L"biWidth", L"640"}, {L"biBitCount", L"32"},
          {L"biCompression", L"BI_RGB"}}},
        {szQSEncoderFilter, L"Input", L"Input", L"Ormidex Video Generator: Video",
         {{L"Major type", L"Video"}, {L"Subtype", L"RGB32"}, {L"biWidth", L"640"}}},
        {szGeneratorFilter, L"Audio", L"Output", L"Ormidex Opus Encoder: Input",
         {{L"Major type", L"Audio"}, {L"Subtype", L"PCM"}, {L"Format type", L"WaveFormatEx"},
          {L"nChannels", L"1"}, {L"nSamplesPerSec", L"16000"}, {L"wBitsPerSample", L"16"}}},
        {szQSEncoderFilter, L"Output", L"Output", L"not connected", {}},
        {szVP8EncoderFilter, L"Input", L"Input", L"not connected", {}},
    };
    for (const auto& test : rgCases)
    {
        SCOPED_TRACE(testing::Message() << test.pszFilter << " " << test.pszPin);
        CComPtr<IPin> spPin = Pin(test.pszFilter, test.pszPin);
        ASSERT_NE(nullptr, spPin);
        ULONG cRefs = RefCount(spPin);
        PageView view;
        ASSERT_EQ(S_OK, ShowPage(spPin, &view));
        EXPECT_EQ(test.pszPin, view.name);
        EXPECT_EQ(test.pszDirection, view.direction);
        EXPECT_EQ(test.pszFilter, view.filter);
        EXPECT_EQ(test.pszConnection, view.connection);
        for (const auto& row : test.rows)
            EXPECT_EQ(row.second, Row(view, row.first.c_str())) << row.first;
        EXPECT_EQ(test.rows.empty(), view.rows.empty());
        // The page, its filter and peer reads hold nothing once it is gone.
        EXPECT_EQ(cRefs, RefCount(spPin));
    }
}

TEST_F(PinPageTest, PinsInAnotherProcessShowAsInThisOne)
{
    CRemoteGraph host;
    ASSERT_EQ(S_OK, host.Start());
    {
        CComPtr<IFilterGraph> spRemote;
        ASSERT_EQ(S_OK, host.GetGraph(&spRemote));
        const std::pair<const wchar_t*, const wchar_t*> rgPins[] = {
            {szGeneratorFilter, L"Video"},
            {szQSEncoderFilter, L"Input"},
            {szQSEncoderFilter, L"Output"},
        };
        for (const auto& pin : rgPins)
        {
            SCOPED_TRACE(testing::Message() << pin.first << " " << pin.second);
            CComPtr<IPin> spRemotePin;
            ASSERT_EQ(S_OK, FindFilterPin(spRemote, pin.first, pin.second, &spRemotePin));
            PageView remote, local;
            ASSERT_EQ(S_OK, ShowPage(spRemotePin, &remote));
            ASSERT_EQ(S_OK, ShowPage(Pin(pin.first, pin.second), &local));
            EXPECT_EQ(pin.second, remote.name);
            EXPECT_TRUE(local == remote);
        }
    }
    // The reads across left no reference behind in the owner.
    EXPECT_EQ(0u, host.Stop());
}

TEST_F(PinPageTest, PinOfAProcessThatHasGoneShowsItIsNotAvailable)
{
    CRemoteGraph host;
    ASSERT_EQ(S_OK, host.Start());
    CComPtr<IPin> spPin;
    {
        CComPtr<IFilterGraph> spRemote;
        ASSERT_EQ(S_OK, host.GetGraph(&spRemote));
        ASSERT_EQ(S_OK, FindFilterPin(spRemote, szGeneratorFilter, L"Video", &spPin));
    }
    // The proxy still held keeps the owner's pin: it ends with references left.
    EXPECT_NE(STILL_ACTIVE, host.Stop());
    PageView view;
    ASSERT_EQ(S_OK, ShowPage(spPin, &view));
    EXPECT_EQ(0u, view.name.find(L"not available (0x800"));
    EXPECT_EQ(L"", view.connection);
    EXPECT_TRUE(view.rows.empty());
}

TEST_F(PinPageTest, OpensInThePlatformsPropertyFrame)
{
    HWND hwndOwner = ::CreateWindowExW(0, L"STATIC", L"Pin page owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                       200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hwndOwner);
    CComPtr<IPin> spPin = Pin(szGeneratorFilter, L"Video");
    ASSERT_NE(nullptr, spPin);
    PageView view;
    std::wstring caption;
    // The frame is the only dialog of this test; Wine's has no owner.
    CDriver driver([&view, &caption] {
        HWND hwndFrame = WaitForWindow([](HWND hWnd) { return GetClass(hWnd) == L"#32770"; });
        if (hwndFrame == nullptr)
            return;
        caption = GetText(hwndFrame);
        HWND hwndPage = nullptr;
        for (int i = 0; i < 500 && hwndPage == nullptr; i++, ::Sleep(10))
            hwndPage = FindPage(hwndFrame);
        if (hwndPage != nullptr)
            view = ReadPage(hwndPage);
        ::PostMessageW(hwndFrame, WM_COMMAND, IDCANCEL, 0);
    });
    IUnknown* pPin = spPin;
    CLSID clsid = CLSID_PinPropertyPage;
    EXPECT_EQ(S_OK, ::OleCreatePropertyFrame(hwndOwner, 0, 0, L"Video", 1, &pPin, 1, &clsid, 0, 0, nullptr));
    driver.Join();
    ::DestroyWindow(hwndOwner);
    EXPECT_NE(std::wstring::npos, caption.find(L"Video")) << caption;
    EXPECT_EQ(L"Video", view.name);
    EXPECT_EQ(L"Ormidex QS Encoder: Input", view.connection);
    EXPECT_EQ(L"VideoInfo", Row(view, L"Format type"));
}
