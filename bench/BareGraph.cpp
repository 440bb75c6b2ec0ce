// The same sequence of calls as CGraph::BuildGraph with the preselected
// components (graph/Graph.cpp, graph/GraphBuild.cpp): the filters are found by
// name through CGraph::CreateFilterByName and their pins by CGraph::CollectPins,
// which are the device enumerator's and the pins' platform calls themselves;
// the rest is written out here, without the version, URL, ICE and display
// work that the dialog adds.
#include "BareGraph.h"

#include "components/ComponentIds.h"
#include "components/Corvasta.h"
#include "components/Ormidex.h"
#include "graph/Graph.h"

namespace {

const wchar_t szSource[] = L"Ormidex Video Generator";
const wchar_t szEncVid[] = L"Ormidex QS Encoder";
const wchar_t szEncAud[] = L"Ormidex Opus Encoder";
const wchar_t szUrl[] = L"http://+:50128/";

HRESULT AddByName(IGraphBuilder* pGraph, LPCWSTR pszName, REFCLSID clsidCategory, EFilter eFlt,
                  CComPtr<IBaseFilter>& spFilter, CComPtr<IPin>& spPin1, CComPtr<IPin>& spPin2)
{
    HRESULT hr = CGraph::CreateFilterByName(pszName, clsidCategory, &spFilter);
    if (hr == S_OK)
        hr = pGraph->AddFilter(spFilter, pszName);
    if (hr != S_OK)
        return FAILED(hr) ? hr : E_FAIL;
    if (eFlt == eFltSource)
    {
        CComQIPtr<IVideoGenerator> spVidGen(spFilter);
        if (spVidGen == nullptr)
            return E_NOINTERFACE;
        spVidGen->SetPattern(1);
        spVidGen->SetVideoFormat(0, 0, 720, 576, 25.0, 0);
        spVidGen->SetOverlay(0);
    }
    else if (eFlt == eFltEncoderVid)
    {
        CComQIPtr<IQSEncoder> spQSEnc(spFilter);
        LONG nSupported = 0;
        if (spQSEnc == nullptr || spQSEnc->GetSupportedEncoders(&nSupported) != S_OK)
            return E_NOINTERFACE;
        spQSEnc->SelectEncoder((nSupported & QSEnc_H264_Hardware) ? QSEnc_H264_Hardware : QSEnc_H264_Software);
        spQSEnc->SetTargetUsage(3);
        spQSEnc->SetBFrames(0);
    }
    return CGraph::CollectPins(spFilter, eFlt, &spPin1, &spPin2);
}

HRESULT Connect(IGraphBuilder* pGraph, IPin* pOut, IPin* pIn)
{
    return pOut != nullptr && pIn != nullptr ? pGraph->ConnectDirect(pOut, pIn, nullptr) : E_FAIL;
}

} // namespace

void ReleaseBareGraph(CComPtr<IGraphBuilder>& spGraph)
{
    CComQIPtr<IMediaEventEx> spEvent(spGraph);
    if (spEvent != nullptr)
        spEvent->SetNotifyWindow(0, 0, 0);
    spGraph.Release();
}

HRESULT BuildBareGraph(CComPtr<IGraphBuilder>& spGraph, HWND hWnd, UINT uMsg)
{
    ReleaseBareGraph(spGraph);
    HRESULT hr = spGraph.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER);
    if (FAILED(hr))
        return hr;

    CComPtr<IBaseFilter> spServer;
    if (FAILED(hr = spServer.CoCreateInstance(CLSID_CorvastaFilter, nullptr, CLSCTX_INPROC_SERVER)))
        return hr;
    if ((hr = spGraph->AddFilter(spServer, L"Corvasta")) != S_OK)
        return FAILED(hr) ? hr : E_FAIL;
    CComPtr<IPin> spServerVidIn, spServerAudIn;
    if ((hr = CGraph::CollectPins(spServer, eFltServer, &spServerVidIn, &spServerAudIn)) != S_OK)
        return FAILED(hr) ? hr : E_FAIL;

    CComPtr<IBaseFilter> spSource, spEncVid, spEncAud;
    CComPtr<IPin> spSrcVidOut, spSrcAudOut, spEncVidIn, spEncVidOut, spEncAudIn, spEncAudOut;
    if ((hr = AddByName(spGraph, szSource, CLSID_VideoInputDeviceCategory, eFltSource, spSource, spSrcVidOut,
                        spSrcAudOut)) != S_OK)
        return FAILED(hr) ? hr : E_FAIL;

    if ((hr = AddByName(spGraph, szEncVid, CLSID_VideoCompressorCategory, eFltEncoderVid, spEncVid, spEncVidIn,
                        spEncVidOut)) != S_OK ||
        (hr = Connect(spGraph, spSrcVidOut, spEncVidIn)) != S_OK)
        return FAILED(hr) ? hr : E_FAIL;
    CComQIPtr<IQSEncoder> spQSEnc(spEncVid);
    if (spQSEnc == nullptr)
        return E_NOINTERFACE;
    spQSEnc->SetBitrate(1000);
    if ((hr = Connect(spGraph, spEncVidOut, spServerVidIn)) != S_OK)
        return FAILED(hr) ? hr : E_FAIL;

    if ((hr = AddByName(spGraph, szEncAud, CLSID_AudioCompressorCategory, eFltEncoderAud, spEncAud, spEncAudIn,
                        spEncAudOut)) != S_OK)
        return FAILED(hr) ? hr : E_FAIL;
    CComQIPtr<IVideoGenerator> spVidGen(spSource);
    spVidGen->SetSamplingRate(48000);
    if ((hr = Connect(spGraph, spSrcAudOut, spEncAudIn)) != S_OK ||
        (hr = Connect(spGraph, spEncAudOut, spServerAudIn)) != S_OK)
        return FAILED(hr) ? hr : E_FAIL;

    CComQIPtr<IServerControl> spControl(spServer);
    if (spControl == nullptr || (hr = spControl->SetUrl(CComBSTR(szUrl))) != S_OK)
        return spControl == nullptr ? E_NOINTERFACE : hr;

    CComQIPtr<IMediaEventEx> spEvent(spGraph);
    if (spEvent == nullptr)
        return E_NOINTERFACE;
    return spEvent->SetNotifyWindow(reinterpret_cast<OAHWND>(hWnd), uMsg, 0);
}
