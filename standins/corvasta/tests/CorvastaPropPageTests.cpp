// The Corvasta stand-in's property page, driven as a property frame would:
// created by its class identifier, given the filter, shown in a window.
#include <winsock2.h>

#include <gtest/gtest.h>

#include "standins/corvasta/CorvastaPropPage.h"
#include "standins/corvasta/tests/CorvastaTestSupport.h"
#include "tests/support/LoopbackClient.h"

namespace {

std::wstring WindowText(HWND hwnd)
{
    wchar_t sz[512] = {};
    ::GetWindowTextW(hwnd, sz, ARRAYSIZE(sz));
    return sz;
}

// Runs the thread's messages (the page's refresh timer among them) until
// pfnDone holds or the time is up.
template <class F>
bool PumpUntil(F pfnDone, DWORD dwTimeoutMs = 3000)
{
    DWORD dwStart = ::GetTickCount();
    while (!pfnDone())
    {
        if (::GetTickCount() - dwStart >= dwTimeoutMs)
            return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        ::Sleep(10);
    }
    return true;
}

TEST(CorvastaPropPage, ShowsUrlAndStatisticsAndAppliesTheUrl)
{
    CWinsock winsock;
    USHORT nPort = FindFreePort();
    std::wstring strUrl = L"http://127.0.0.1:" + std::to_wstring(nPort) + L"/";
    IBaseFilter* pFilter = nullptr;
    ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_CorvastaFilter, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IBaseFilter),
                                       reinterpret_cast<void**>(&pFilter)));
    CComQIPtr<IServerControl> spServer(pFilter);
    ASSERT_EQ(S_OK, spServer->SetUrl(CComBSTR(strUrl.c_str())));

    IPropertyPage* pPage = nullptr;
    ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_CorvastaPropertyPage, nullptr, CLSCTX_INPROC_SERVER,
                                       __uuidof(IPropertyPage), reinterpret_cast<void**>(&pPage)));
    PROPPAGEINFO info = {};
    ASSERT_EQ(S_OK, pPage->GetPageInfo(&info));
    EXPECT_STREQ(L"Corvasta", info.pszTitle);
    ::CoTaskMemFree(info.pszTitle);

    IUnknown* rgpObjects[] = {spServer};
    CComPtr<IUnknown> spNotAServer;
    ASSERT_EQ(S_OK, spNotAServer.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER));
    IUnknown* rgpWrong[] = {spNotAServer};
    EXPECT_EQ(E_NOINTERFACE, pPage->SetObjects(1, rgpWrong));
    ASSERT_EQ(S_OK, pPage->SetObjects(1, rgpObjects));

    HWND hwndHost = ::CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 250, nullptr, nullptr,
                                      nullptr, nullptr);
    ASSERT_NE(nullptr, hwndHost);
    RECT rc = {0, 0, 320, 150};
    ASSERT_EQ(S_OK, pPage->Activate(hwndHost, &rc, TRUE));
    HWND hwndPage = ::GetWindow(hwndHost, GW_CHILD);
    HWND hwndUrl = ::GetDlgItem(hwndPage, CCorvastaPropPage::IDC_PAGE_URL);
    HWND hwndStatistics = ::GetDlgItem(hwndPage, CCorvastaPropPage::IDC_PAGE_STATISTICS);
    EXPECT_EQ(strUrl, WindowText(hwndUrl));
    EXPECT_NE(std::wstring::npos, WindowText(hwndStatistics).find(L"State: Stopped"));
    EXPECT_NE(std::wstring::npos, WindowText(hwndStatistics).find(L"Connections: 0 (0 served)"));
    // The libraries as they name themselves at run time.
    std::wstring strLibraries = WindowText(::GetDlgItem(hwndPage, CCorvastaPropPage::IDC_PAGE_LIBRARIES));
    EXPECT_EQ(0u, strLibraries.find(L"OpenSSL 3.0.")) << strLibraries;
    EXPECT_NE(std::wstring::npos, strLibraries.find(L"\r\nlibsrtp2 2.5.")) << strLibraries;
    EXPECT_EQ(S_FALSE, pPage->IsPageDirty());
    HWND hwndIce = ::GetDlgItem(hwndPage, CCorvastaPropPage::IDC_PAGE_ICE_SERVERS);
    EXPECT_EQ(L"none", WindowText(hwndIce));

    // The statistics and the ICE servers follow the filter while the page is open.
    ASSERT_EQ(S_OK, spServer->AddIceServer(CComBSTR(L"stun:127.0.0.1:3478"), nullptr, nullptr));
    ASSERT_EQ(S_OK, spServer->AddIceServer(CComBSTR(L"turn:127.0.0.1:3478"), CComBSTR(L"u"), CComBSTR(L"p")));
    EXPECT_TRUE(PumpUntil([&] {
        return WindowText(hwndIce) == L"stun:127.0.0.1:3478: waiting for a client\r\n"
                                      L"turn:127.0.0.1:3478: waiting for a client";
    })) << WindowText(hwndIce);
    ASSERT_EQ(S_OK, pFilter->Pause());
    EXPECT_TRUE(PumpUntil([&] { return WindowText(hwndStatistics).find(L"State: Paused") != std::wstring::npos; }));

    std::wstring strNewUrl = L"http://localhost:" + std::to_wstring(nPort) + L"/live/";
    ::SetWindowTextW(hwndUrl, strNewUrl.c_str());
    EXPECT_EQ(S_OK, pPage->IsPageDirty());
    EXPECT_EQ(VFW_E_NOT_STOPPED, pPage->Apply()) << "the URL is bound while the filter serves";
    ASSERT_EQ(S_OK, pFilter->Stop());
    EXPECT_EQ(S_OK, pPage->Apply());
    EXPECT_EQ(S_FALSE, pPage->IsPageDirty());
    CComBSTR cbsUrl;
    ASSERT_EQ(S_OK, spServer->GetUrl(&cbsUrl));
    EXPECT_EQ(strNewUrl, cbsUrl.m_str);

    ::SetWindowTextW(hwndUrl, L"nonsense");
    EXPECT_EQ(E_INVALIDARG, pPage->Apply());

    EXPECT_EQ(S_OK, pPage->Deactivate());
    EXPECT_EQ(S_OK, pPage->SetObjects(0, nullptr));
    EXPECT_EQ(0u, pPage->Release());
    ::DestroyWindow(hwndHost);
    spServer.Release();
    EXPECT_EQ(0u, pFilter->Release()) << "the page let go of the filter";
}

} // namespace
