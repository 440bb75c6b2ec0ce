// Helpers for the tests of the Corvasta stand-in as a COM object: calls
// through a vtable slot by number, and the graph's event queue.
#pragma once

#include "atlbase.h"
#include "atldshow.h"

#include "components/Corvasta.h"

// Calls the function in slot nSlot of p's vtable, so that a test checks the
// slot order instead of trusting the declaration.
template <class... TArgs>
HRESULT CallSlot(IUnknown* p, int nSlot, TArgs... args)
{
    typedef HRESULT(STDMETHODCALLTYPE * PFN)(IUnknown*, TArgs...);
    void** rgpfn = *reinterpret_cast<void***>(p);
    return reinterpret_cast<PFN>(rgpfn[nSlot])(p, args...);
}

// Takes events off the graph's queue until one with lCode arrives (true,
// with its first parameter) or dwTimeoutMs passes.
bool WaitForGraphEvent(IMediaEvent* pEvent, long lCode, LONG_PTR* plParam1, DWORD dwTimeoutMs = 5000);

// What GetStatistics reports now; the record is zero-filled first.
ServerStats QueryStatistics(IUnknown* pFilter);
