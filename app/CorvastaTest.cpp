#include "CorvastaTest.h"

#include "ui/MainDialog.h"

CCorvastaTestModule _AtlModule;

int CorvastaTestMain()
{
    // S_FALSE (COM already initialised on this thread) ends the program too.
    HRESULT hr = ::CoInitialize(nullptr);
    if (hr != S_OK)
    {
        ATLASSERT(!L"wWinMain(): CoInitialize() FAILED");
        return hr;
    }

    HWND hWndParent = ::GetActiveWindow();
    {
        CMainDialog dlg;
        dlg.DoModal(hWndParent, 0);
    }

    _AtlWinModule.Term();
    ::CoUninitialize();
    return 0;
}
