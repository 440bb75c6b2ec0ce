// Shared by the stand-in tests: creating a stand-in through COM, calling an
// interface by slot number, and a graph with a test sink to stream into.
#pragma once

#include <gtest/gtest.h>

#include "TestFilters.h"

// Calls slot nSlot of pItf's vtable with the arguments, as a caller that
// knows only the slot order does.
template <class... TArgs>
HRESULT CallSlot(void* pItf, int nSlot, TArgs... args)
{
    using PFN = HRESULT(STDMETHODCALLTYPE*)(void*, TArgs...);
    void** pVtbl = *static_cast<void***>(pItf);
    return reinterpret_cast<PFN>(pVtbl[nSlot])(pItf, args...);
}

HRESULT CreateStandin(REFCLSID clsid, IBaseFilter** ppFilter);
CComPtr<IPin> FindPin(IBaseFilter* pFilter, const wchar_t* pszName);
// The first media type a pin offers.
HRESULT FirstMediaType(IPin* pPin, CMediaType* pmt);
// Gives the generator the settings the program gives it (moving bars, no
// overlay, 720x576 RGB32 at 25 fps, 48 kHz): its own defaults differ.
void SetUpGeneratorAsTheProgram(IBaseFilter* pGenerator);

// A filter graph with stand-ins and a test sink: filters are added under
// their names and connected directly; everything is released at the end,
// the graph's last reference included.
class StandinGraphTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates and adds a stand-in.
    CComPtr<IBaseFilter> Add(REFCLSID clsid, const wchar_t* pszName);
    // Adds a test sink with cInputs inputs accepting anything.
    CTestSink* AddSink(ULONG cInputs = 1);
    HRESULT Connect(IBaseFilter* pFrom, const wchar_t* pszOut, IBaseFilter* pTo,
                    const wchar_t* pszIn);
    HRESULT ConnectToSink(IBaseFilter* pFrom, const wchar_t* pszOut, ULONG iInput = 0);
    HRESULT Run();
    HRESULT Stop();
    HRESULT WaitForComplete(DWORD dwTimeout = 15000);

    CComPtr<IGraphBuilder> m_spGraph;
    CTestSink* m_pSink = nullptr;
};
