// Stands in for the harness in the cross-process tests: on a single-threaded
// apartment it builds the stand-in graph, queues an event, publishes the
// graph in the Running Object Table, signals the named event given as its
// argument and pumps messages until WM_QUIT.
//
// Exit code: 0 when the graph and its filters went with their final
// release; 100 + n when n references were still held (by a caller in another
// process that leaked them); below 100 a set-up step that failed.
#include "StandinGraph.h"

#include "graphedit/GraphEdit.h"

#include <algorithm>

namespace {

int Serve(HANDLE hReady)
{
    CComPtr<IGraphBuilder> spGraph;
    if (FAILED(spGraph.CoCreateInstance(CLSID_FilterGraph)))
        return 10;
    if (FAILED(BuildStandinGraph(spGraph)))
        return 11;
    // Held here until the graph has gone: then each must be the last.
    CComPtr<IBaseFilter> rgspFilters[4];
    const wchar_t* rgpszFilters[] = {szGeneratorFilter, szQSEncoderFilter, szVP8EncoderFilter, szCorvastaFilter};
    for (int i = 0; i < 4; i++)
        if (FAILED(spGraph->FindFilterByName(rgpszFilters[i], &rgspFilters[i])))
            return 11;
    CComQIPtr<IMediaEventSink> spSink(spGraph);
    if (spSink == nullptr ||
        FAILED(spSink->Notify(lRemoteEventCode, lRemoteEventParam, ::GetCurrentProcessId())))
        return 12;
    spSink.Release();
    DWORD dwCookie = 0;
    if (FAILED(AddGraphToRot(spGraph, &dwCookie)))
        return 13;

    // The queue exists before the test can post WM_QUIT to it.
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    ::SetEvent(hReady);
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }

    RemoveGraphFromRot(dwCookie);
    ULONG cRefs = spGraph.Detach()->Release();
    for (CComPtr<IBaseFilter>& spFilter : rgspFilters)
        cRefs += spFilter.Detach()->Release();
    return cRefs == 0 ? 0 : 100 + static_cast<int>(std::min<ULONG>(cRefs, 50));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    HANDLE hReady = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (hReady == nullptr)
        return 3;
    int nExit = 4;
    if (SUCCEEDED(::CoInitialize(nullptr)))
    {
        nExit = Serve(hReady);
        ::CoUninitialize();
    }
    ::CloseHandle(hReady);
    return nExit;
}
