#include "StandinTestSupport.h"

#include "TestPattern.h"
#include "components/Ormidex.h"

HRESULT CreateStandin(REFCLSID clsid, IBaseFilter** ppFilter)
{
    return ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IBaseFilter),
                              reinterpret_cast<void**>(ppFilter));
}

CComPtr<IPin> FindPin(IBaseFilter* pFilter, const wchar_t* pszName)
{
    CComPtr<IPin> spPin;
    pFilter->FindPin(pszName, &spPin);
    return spPin;
}

HRESULT FirstMediaType(IPin* pPin, CMediaType* pmt)
{
    CComPtr<IEnumMediaTypes> spEnum;
    HRESULT hr = pPin->EnumMediaTypes(&spEnum);
    if (FAILED(hr))
        return hr;
    AM_MEDIA_TYPE* pmtFirst = nullptr;
    if ((hr = spEnum->Next(1, &pmtFirst, nullptr)) != S_OK)
        return FAILED(hr) ? hr : E_FAIL;
    pmt->Attach(pmtFirst);
    return S_OK;
}

void SetUpGeneratorAsTheProgram(IBaseFilter* pGenerator)
{
    CComQIPtr<IVideoGenerator> spControl(pGenerator);
    ASSERT_TRUE(spControl != nullptr);
    ASSERT_EQ(S_OK, spControl->SetPattern(ePatternMovingBars));
    ASSERT_EQ(S_OK, spControl->SetOverlay(eOverlayNone));
    ASSERT_EQ(S_OK, spControl->SetVideoFormat(0, 0, 720, 576, 25.0, 0));
    ASSERT_EQ(S_OK, spControl->SetSamplingRate(48000));
}

void StandinGraphTest::SetUp()
{
    ASSERT_EQ(S_OK, m_spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER));
}

void StandinGraphTest::TearDown()
{
    if (m_spGraph)
    {
        Stop();
        EXPECT_EQ(0u, m_spGraph.Detach()->Release());
    }
    if (m_pSink != nullptr)
    {
        EXPECT_EQ(0u, m_pSink->Release());
        m_pSink = nullptr;
    }
}

CComPtr<IBaseFilter> StandinGraphTest::Add(REFCLSID clsid, const wchar_t* pszName)
{
    CComPtr<IBaseFilter> spFilter;
    EXPECT_EQ(S_OK, CreateStandin(clsid, &spFilter));
    if (spFilter)
    {
        EXPECT_EQ(S_OK, m_spGraph->AddFilter(spFilter, pszName));
    }
    return spFilter;
}

CTestSink* StandinGraphTest::AddSink(ULONG cInputs)
{
    EXPECT_EQ(S_OK, CTestSink::Create(cInputs, GUID_NULL, &m_pSink));
    if (m_pSink != nullptr)
    {
        EXPECT_EQ(S_OK, m_spGraph->AddFilter(m_pSink, L"Sink"));
    }
    return m_pSink;
}

HRESULT StandinGraphTest::Connect(IBaseFilter* pFrom, const wchar_t* pszOut, IBaseFilter* pTo,
                                  const wchar_t* pszIn)
{
    CComPtr<IPin> spOut = FindPin(pFrom, pszOut), spIn = FindPin(pTo, pszIn);
    if (!spOut || !spIn)
        return VFW_E_NOT_FOUND;
    return m_spGraph->ConnectDirect(spOut, spIn, nullptr);
}

HRESULT StandinGraphTest::ConnectToSink(IBaseFilter* pFrom, const wchar_t* pszOut, ULONG iInput)
{
    CComPtr<IPin> spOut = FindPin(pFrom, pszOut);
    if (!spOut)
        return VFW_E_NOT_FOUND;
    return m_spGraph->ConnectDirect(spOut, m_pSink->InputPin(iInput), nullptr);
}

HRESULT StandinGraphTest::Run()
{
    CComQIPtr<IMediaControl> spControl(m_spGraph);
    return spControl->Run();
}

HRESULT StandinGraphTest::Stop()
{
    CComQIPtr<IMediaControl> spControl(m_spGraph);
    return spControl->Stop();
}

HRESULT StandinGraphTest::WaitForComplete(DWORD dwTimeout)
{
    return WaitForGraphEvent(m_spGraph, EC_COMPLETE, dwTimeout);
}
