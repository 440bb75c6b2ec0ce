#include "BareHost.h"

#include "BareGraph.h"
#include "graph/Graph.h"

namespace {

// As the harness's: the graph manager posts it when events are queued.
const UINT WM_BAREGRAPHNOTIFY = WM_APP + 123;

CComPtr<IGraphBuilder> g_spGraph;

LRESULT CALLBACK HostProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_BAREBUILD:
    {
        HRESULT hr = BuildBareGraph(g_spGraph, hWnd, WM_BAREGRAPHNOTIFY);
        wchar_t szAddr[256] = L"";
        if (SUCCEEDED(hr) && wParam == 1)
            hr = GetHostAddr(szAddr, ARRAYSIZE(szAddr));
        return hr;
    }
    case WM_BAREGRAPHNOTIFY:
    {
        // Taken off the queue and dropped: the host only keeps the graph.
        CComQIPtr<IMediaEvent> spEvent(g_spGraph);
        long lCode = 0;
        LONG_PTR lParam1 = 0, lParam2 = 0;
        while (spEvent != nullptr && spEvent->GetEvent(&lCode, &lParam1, &lParam2, 0) == S_OK)
            spEvent->FreeEventParams(lCode, lParam1, lParam2);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            ::DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
    {
        CComQIPtr<IMediaControl> spControl(g_spGraph);
        if (spControl != nullptr)
            spControl->Stop();
        ReleaseBareGraph(g_spGraph);
        ::PostQuitMessage(0);
        return 0;
    }
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

HRESULT Start(HWND hWnd, EBareStart eStart)
{
    if (eStart == eBareIdle)
        return S_OK;
    HRESULT hr = BuildBareGraph(g_spGraph, hWnd, WM_BAREGRAPHNOTIFY);
    if (hr != S_OK)
        return hr;
    CComQIPtr<IMediaControl> spControl(g_spGraph);
    if (spControl == nullptr)
        return E_NOINTERFACE;
    hr = eStart == eBareRunning ? spControl->Run() : spControl->Pause();
    return FAILED(hr) ? hr : S_OK;
}

} // namespace

int BareHostMain(EBareStart eStart)
{
    if (FAILED(::CoInitialize(nullptr)))
        return 1;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = szBareHostClass;
    int nExit = 1;
    HWND hWnd = nullptr;
    if (::RegisterClassW(&wc) != 0 &&
        (hWnd = ::CreateWindowExW(0, szBareHostClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                  wc.hInstance, nullptr)) != nullptr)
    {
        if (Start(hWnd, eStart) == S_OK)
        {
            MSG msg;
            while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
                ::DispatchMessageW(&msg);
            nExit = 0;
        }
        else
        {
            ::DestroyWindow(hWnd);
        }
    }
    ReleaseBareGraph(g_spGraph);
    ::CoUninitialize();
    return nExit;
}
