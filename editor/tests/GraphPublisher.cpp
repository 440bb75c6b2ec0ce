// The owner of a published graph in a process of its own, for the editor's
// tests of a graph whose process goes away: builds the stand-ins' graph,
// publishes it as the harness does and serves it until WM_QUIT.
#include "CorvastaGraph.h"

#include "graphedit/GraphEdit.h"

extern "C" int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    if (FAILED(::CoInitialize(nullptr)))
        return 2;
    int nExitCode = 0;
    {
        CComPtr<IGraphBuilder> spGraph;
        DWORD dwCookie = 0;
        if (FAILED(BuildCorvastaGraph(&spGraph)) || FAILED(AddGraphToRot(spGraph, &dwCookie)))
            nExitCode = 3;
        MSG msg;
        while (nExitCode == 0 && ::GetMessageW(&msg, nullptr, 0, 0) > 0)
            ::DispatchMessageW(&msg);
        RemoveGraphFromRot(dwCookie);
    }
    ::CoUninitialize();
    return nExitCode;
}
