// Building the graph from components: the Corvasta filter, a source and the
// encoders, found by friendly name and connected pin to pin.
#include "Graph.h"

#include "dshow/DeviceEnum.h"
#include "dshow/MediaType.h"
#include "components/Ormidex.h"
#include "components/VP8Encoder.h"

namespace {

bool IsEmptyName(LPCWSTR psz)
{
    return psz == nullptr || psz[0] == L'\0';
}

// A pin search that found nothing or too little becomes E_FAIL.
HRESULT PinResult(HRESULT hr)
{
    return FAILED(hr) ? hr : E_FAIL;
}

HRESULT GetClassID(IBaseFilter* pFilter, CLSID* pclsid)
{
    *pclsid = GUID_NULL;
    return pFilter->GetClassID(pclsid);
}

// The major type of a pin's first media type; GUID_NULL when it has none.
GUID FirstMajorType(IPin* pPin)
{
    GUID majortype = GUID_NULL;
    CComPtr<IEnumMediaTypes> spEnum;
    if (FAILED(pPin->EnumMediaTypes(&spEnum)) || spEnum == nullptr)
        return majortype;
    AM_MEDIA_TYPE* pmt = nullptr;
    if (spEnum->Next(1, &pmt, nullptr) == S_OK && pmt != nullptr)
    {
        majortype = pmt->majortype;
        DeleteMediaType(pmt);
    }
    return majortype;
}

} // namespace

HRESULT CGraph::CreateFilterByName(LPCWSTR pszFriendlyName, REFCLSID clsidCategory, IBaseFilter** ppFilter)
{
    if (IsEmptyName(pszFriendlyName))
        return E_INVALIDARG;
    if (ppFilter == nullptr)
        return E_POINTER;
    ATLASSERT(*ppFilter == nullptr);
    *ppFilter = nullptr;

    CDeviceEnum devices;
    HRESULT hr = devices.Create();
    ATLASSERT(SUCCEEDED(hr));
    if (FAILED(hr))
        return hr;

    hr = devices.Open(clsidCategory);
    if (hr != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateFilterByName(): Can't create enumerator for filter category");
        return hr; // S_FALSE for a category without entries
    }

    for (;;)
    {
        hr = devices.Next();
        if (hr == S_FALSE)
        {
            ATLASSERT(!L"CGraph::CreateFilterByName(): filter not found");
            return E_FAIL;
        }
        if (hr != S_OK)
        {
            ATLASSERT(!L"CGraph::CreateFilterByName(): spEnum->Next() FAILED");
            return hr;
        }

        if (FAILED(devices.BindProperties()))
        {
            ATLASSERT(!L"CGraph::CreateFilterByName(): spMoniker->BindToStorage() FAILED");
            continue;
        }
        CComBSTR bstrName;
        if (FAILED(devices.ReadName(&bstrName)))
        {
            ATLASSERT(!L"CGraph::CreateFilterByName(): spPropBag->Read() FAILED");
            continue;
        }
        if (::lstrcmpiW(pszFriendlyName, bstrName) != 0)
            continue;

        hr = devices.BindFilter(ppFilter);
        if (FAILED(hr))
            ATLASSERT(!L"CGraph::CreateFilterByName(): spMoniker->BindToObject() FAILED");
        return hr;
    }
}

HRESULT CGraph::CollectPins(IBaseFilter* pFilter, EFilter eFlt, IPin** ppPin1, IPin** ppPin2)
{
    if (pFilter == nullptr || !IsFilter(eFlt) || (ppPin1 == nullptr && ppPin2 == nullptr))
        return E_INVALIDARG;
    if (ppPin1 != nullptr)
        *ppPin1 = nullptr;
    if (ppPin2 != nullptr)
        *ppPin2 = nullptr;

    CComPtr<IEnumPins> spEnum;
    HRESULT hr = pFilter->EnumPins(&spEnum);
    ATLASSERT(SUCCEEDED(hr));
    if (FAILED(hr))
        return hr;

    CComPtr<IPin> spPin1, spPin2;
    for (;;)
    {
        CComPtr<IPin> spPin;
        if (spEnum->Next(1, &spPin, nullptr) != S_OK)
            break;

        CComPtr<IPin> spConnected;
        if (spPin->ConnectedTo(&spConnected) == S_OK)
            continue;

        PIN_DIRECTION dir = PINDIR_OUTPUT;
        hr = spPin->QueryDirection(&dir);
        if (FAILED(hr))
        {
            ATLASSERT(!L"CGraph::CollectPins(): spPin->QueryDirection() FAILED");
            return hr;
        }

        switch (eFlt)
        {
        case eFltServer:
            if (dir != PINDIR_INPUT)
                break;
            if (spPin1 == nullptr)
                spPin1 = spPin;
            else if (spPin2 == nullptr)
                spPin2 = spPin;
            break;
        case eFltSource:
        {
            if (dir != PINDIR_OUTPUT)
                break;
            GUID majortype = FirstMajorType(spPin);
            if (majortype == MEDIATYPE_Video && spPin1 == nullptr)
                spPin1 = spPin;
            else if (majortype == MEDIATYPE_Audio && spPin2 == nullptr)
                spPin2 = spPin;
            break;
        }
        case eFltEncoderVid:
        case eFltEncoderAud:
            if (dir == PINDIR_INPUT && spPin1 == nullptr)
                spPin1 = spPin;
            else if (dir == PINDIR_OUTPUT && spPin2 == nullptr)
                spPin2 = spPin;
            break;
        }
    }

    bool bFound = (ppPin1 != nullptr && spPin1 != nullptr) || (ppPin2 != nullptr && spPin2 != nullptr);
    if (ppPin1 != nullptr)
        *ppPin1 = spPin1.Detach();
    if (ppPin2 != nullptr)
        *ppPin2 = spPin2.Detach();
    return bFound ? S_OK : S_FALSE;
}

HRESULT CGraph::CreateGraph(LPCWSTR pszSource, LPCWSTR pszEncVid, LPCWSTR pszEncAud)
{
    if (pszSource == nullptr || (IsEmptyName(pszEncVid) && IsEmptyName(pszEncAud)))
        return E_INVALIDARG;
    ATLASSERT(m_spGraph != 0);
    if (m_spGraph == nullptr)
        return E_FAIL;

    CComPtr<IBaseFilter> spServer;
    HRESULT hr = spServer.CoCreateInstance(CLSID_CorvastaFilter, nullptr, CLSCTX_INPROC_SERVER);
    if (FAILED(hr))
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't create Corvasta filter");
        return hr;
    }
    if ((hr = m_spGraph->AddFilter(spServer, L"Corvasta")) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't insert Corvasta to graph");
        return hr;
    }
    CComPtr<IPin> spServerVidIn, spServerAudIn;
    hr = CollectPins(spServer, eFltServer, &spServerVidIn, &spServerAudIn);
    if (hr != S_OK || spServerVidIn == nullptr || spServerAudIn == nullptr)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): GetPins( server ) FAILED");
        return PinResult(hr);
    }

    CComPtr<IBaseFilter> spSource;
    if ((hr = CreateFilterByName(pszSource, CLSID_VideoInputDeviceCategory, &spSource)) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't create source filter");
        return hr;
    }
    if ((hr = m_spGraph->AddFilter(spSource, pszSource)) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't insert source filter to graph");
        return hr;
    }

    CComQIPtr<IVideoGenerator> spVidGen(spSource);
    if (spVidGen != nullptr)
    {
        hr = spVidGen->SetPattern(1);
        ATLASSERT(hr == S_OK);
        hr = spVidGen->SetVideoFormat(0, 0, 720, 576, 25.0, 0);
        ATLASSERT(hr == S_OK);
        hr = spVidGen->SetOverlay(0);
        ATLASSERT(hr == S_OK);
    }

    CComPtr<IPin> spSrcVidOut, spSrcAudOut;
    if ((hr = CollectPins(spSource, eFltSource, &spSrcVidOut, &spSrcAudOut)) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): GetPins( source ) FAILED");
        return PinResult(hr);
    }

    if (spSrcVidOut != nullptr && !IsEmptyName(pszEncVid))
    {
        if ((hr = BuildVideoChain(pszEncVid, spSrcVidOut, spServerVidIn)) != S_OK)
            return hr;
    }
    if (spSrcAudOut != nullptr && !IsEmptyName(pszEncAud))
    {
        if ((hr = BuildAudioChain(pszEncAud, spVidGen, spSrcAudOut, spServerAudIn)) != S_OK)
            return hr;
    }

    // The members take over only now that the whole build has succeeded.
    spServer.QueryInterface(&m_spServer);
    m_spSource = spSource;
    return S_OK;
}

HRESULT CGraph::BuildVideoChain(LPCWSTR pszEncVid, IPin* pSrcVidOut, IPin* pServerVidIn)
{
    CComPtr<IBaseFilter> spEncoder;
    HRESULT hr = CreateFilterByName(pszEncVid, CLSID_VideoCompressorCategory, &spEncoder);
    if (hr != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't create video encoder filter");
        return hr;
    }
    if ((hr = m_spGraph->AddFilter(spEncoder, pszEncVid)) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't insert video encoder to graph");
        return hr;
    }
    CLSID clsid;
    if ((hr = GetClassID(spEncoder, &clsid)) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): spEncoder->GetClassID() FAILED for video encoder");
        return hr;
    }

    bool bQSEncoder = clsid == CLSID_OrmidexQSEncoder;
    if (bQSEncoder)
    {
        CComQIPtr<IQSEncoder> spQSEnc(spEncoder);
        ATLASSERT(spQSEnc != 0);
        if (spQSEnc == nullptr)
            return E_NOINTERFACE;
        LONG nSupportedEncoders = 0;
        hr = spQSEnc->GetSupportedEncoders(&nSupportedEncoders);
        ATLASSERT(hr == S_OK);
        ATLASSERT((nSupportedEncoders & QSEnc_H264_Any) != 0);
        hr = spQSEnc->SelectEncoder((nSupportedEncoders & QSEnc_H264_Hardware) ? QSEnc_H264_Hardware
                                                                                : QSEnc_H264_Software);
        if (hr != S_OK)
        {
            ATLASSERT(!L"CGraph::CreateGraph(): Can't select H264 encoder");
            return hr;
        }
        hr = spQSEnc->SetTargetUsage(3);
        ATLASSERT(hr == S_OK);
        hr = spQSEnc->SetBFrames(0);
        ATLASSERT(hr == S_OK);
    }
    else if (clsid == CLSID_VP8Encoder)
    {
        CComQIPtr<IVP8Encoder> spVP8Enc(spEncoder);
        if (spVP8Enc == nullptr)
        {
            ATLASSERT(!L"CGraph::CreateGraph(): Can't QI(IVP8Encoder)");
            return E_NOINTERFACE;
        }
        hr = spVP8Enc->SetDeadline(1);
        ATLASSERT(hr == S_OK);
    }

    CComPtr<IPin> spEncVidIn, spEncVidOut;
    if ((hr = CollectPins(spEncoder, eFltEncoderVid, &spEncVidIn, &spEncVidOut)) != S_OK ||
        spEncVidIn == nullptr || spEncVidOut == nullptr)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): GetPins( video encoder ) FAILED");
        return PinResult(hr);
    }
    if ((hr = m_spGraph->ConnectDirect(pSrcVidOut, spEncVidIn, nullptr)) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't connect video source and video encoder");
        return hr;
    }
    if (bQSEncoder)
    {
        // The bit rate is taken only once the input format is known.
        CComQIPtr<IQSEncoder> spQSEnc(spEncoder);
        HRESULT hrRate = spQSEnc != nullptr ? spQSEnc->SetBitrate(1000) : E_NOINTERFACE;
        ATLASSERT(hrRate == S_OK);
        (void)hrRate;
    }
    if ((hr = m_spGraph->ConnectDirect(spEncVidOut, pServerVidIn, nullptr)) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't connect video encoder and Corvasta");
        return hr;
    }
    m_spEncoderVid = spEncoder;
    return S_OK;
}

HRESULT CGraph::BuildAudioChain(LPCWSTR pszEncAud, IVideoGenerator* pVidGen, IPin* pSrcAudOut, IPin* pServerAudIn)
{
    CComPtr<IBaseFilter> spEncoder;
    HRESULT hr = CreateFilterByName(pszEncAud, CLSID_AudioCompressorCategory, &spEncoder);
    if (hr != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't create audio encoder filter");
        return hr;
    }
    if ((hr = m_spGraph->AddFilter(spEncoder, pszEncAud)) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't insert audio encoder to graph");
        return hr;
    }
    CLSID clsid;
    if ((hr = GetClassID(spEncoder, &clsid)) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): spEncoder->GetClassID() FAILED for audio encoder");
        return hr;
    }
    if (pVidGen != nullptr)
    {
        hr = pVidGen->SetSamplingRate(clsid == CLSID_OrmidexOpusEncoder ? 48000 : 8000);
        if (hr != S_OK)
        {
            ATLASSERT(!L"CGraph::CreateGraph(): spVidGen->SetSamplingRate() FAILED");
            return hr;
        }
    }

    CComPtr<IPin> spEncAudIn, spEncAudOut;
    if ((hr = CollectPins(spEncoder, eFltEncoderAud, &spEncAudIn, &spEncAudOut)) != S_OK ||
        spEncAudIn == nullptr || spEncAudOut == nullptr)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): GetPins( audio encoder ) FAILED");
        return PinResult(hr);
    }
    if ((hr = m_spGraph->ConnectDirect(pSrcAudOut, spEncAudIn, nullptr)) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't connect audio source and audio encoder");
        return hr;
    }
    if ((hr = m_spGraph->ConnectDirect(spEncAudOut, pServerAudIn, nullptr)) != S_OK)
    {
        ATLASSERT(!L"CGraph::CreateGraph(): Can't connect audio encoder and Corvasta");
        return hr;
    }
    m_spEncoderAud = spEncoder;
    return S_OK;
}
