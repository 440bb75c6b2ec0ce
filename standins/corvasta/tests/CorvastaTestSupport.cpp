#include "CorvastaTestSupport.h"

bool WaitForGraphEvent(IMediaEvent* pEvent, long lCode, LONG_PTR* plParam1, DWORD dwTimeoutMs)
{
    DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        DWORD dwElapsed = ::GetTickCount() - dwStart;
        if (dwElapsed >= dwTimeoutMs)
            return false;
        long lEvent = 0;
        LONG_PTR lParam1 = 0;
        LONG_PTR lParam2 = 0;
        // Wine's GetEvent can answer E_ABORT at once although a time-out was
        // given (seen after the first event of a run), so the wait polls
        // until its own time is up.
        if (pEvent->GetEvent(&lEvent, &lParam1, &lParam2, 100) != S_OK)
        {
            ::Sleep(10);
            continue;
        }
        pEvent->FreeEventParams(lEvent, lParam1, lParam2);
        if (lEvent == lCode)
        {
            if (plParam1 != nullptr)
                *plParam1 = lParam1;
            return true;
        }
    }
}

ServerStats QueryStatistics(IUnknown* pFilter)
{
    ServerStats stats = {};
    CComQIPtr<IServerControl> spControl(pFilter);
    if (spControl != nullptr)
        spControl->GetStatistics(&stats);
    return stats;
}
