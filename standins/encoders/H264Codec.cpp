#include "H264Codec.h"

#include <wels/codec_api.h>

#include <cwchar>

namespace {

// A full picture at 3.1, the level that web clients' decoders all take.
const ELevelIdc c_eLevel = LEVEL_3_1;

std::wstring ResultText(const wchar_t* pszCall, int nResult)
{
    wchar_t sz[96];
    swprintf(sz, ARRAYSIZE(sz), L"%ls failed (%d)", pszCall, nResult);
    return sz;
}

} // namespace

CH264Codec::CH264Codec() : m_pEncoder(nullptr), m_nComplexity(MEDIUM_COMPLEXITY) {}

CH264Codec::~CH264Codec()
{
    Close();
}

std::wstring CH264Codec::LibraryVersion() const
{
    OpenH264Version version = WelsGetCodecVersion();
    wchar_t sz[64];
    swprintf(sz, ARRAYSIZE(sz), L"OpenH264 %u.%u.%u", version.uMajor, version.uMinor,
             version.uRevision);
    return sz;
}

std::wstring CH264Codec::LastError() const
{
    return m_lastError;
}

HRESULT CH264Codec::Open(const VIDEO_CODEC_SETTINGS& settings)
{
    Close();
    int nResult = WelsCreateSVCEncoder(&m_pEncoder);
    if (nResult != 0 || m_pEncoder == nullptr)
    {
        m_pEncoder = nullptr;
        m_lastError = ResultText(L"WelsCreateSVCEncoder", nResult);
        return E_FAIL;
    }
    // Its warnings go to the process's standard error; errors are ours to report.
    int nTraceLevel = WELS_LOG_ERROR;
    m_pEncoder->SetOption(ENCODER_OPTION_TRACE_LEVEL, &nTraceLevel);
    SEncParamExt param;
    m_pEncoder->GetDefaultParams(&param);
    const float fFrameRate = 1e7f / static_cast<float>(settings.tFrame);
    param.iUsageType = CAMERA_VIDEO_REAL_TIME;
    param.iPicWidth = settings.nWidth;
    param.iPicHeight = settings.nHeight;
    param.fMaxFrameRate = fFrameRate;
    param.iTargetBitrate = static_cast<int>(settings.dwBitRate);
    param.iRCMode = RC_BITRATE_MODE;
    param.bEnableFrameSkip = false;
    param.uiIntraPeriod = 0;
    param.bEnableSceneChangeDetect = false;
    param.eSpsPpsIdStrategy = CONSTANT_ID;
    param.bPrefixNalAddingCtrl = false;
    param.iEntropyCodingModeFlag = 0;
    param.iComplexityMode = static_cast<ECOMPLEXITY_MODE>(m_nComplexity.load());
    param.iMultipleThreadIdc = 1;
    param.iSpatialLayerNum = 1;
    param.iTemporalLayerNum = 1;
    SSpatialLayerConfig& layer = param.sSpatialLayers[0];
    layer.iVideoWidth = settings.nWidth;
    layer.iVideoHeight = settings.nHeight;
    layer.fFrameRate = fFrameRate;
    layer.iSpatialBitrate = param.iTargetBitrate;
    layer.iMaxSpatialBitrate = UNSPECIFIED_BIT_RATE;
    layer.uiProfileIdc = PRO_BASELINE;
    layer.uiLevelIdc = c_eLevel;
    layer.sSliceArgument.uiSliceMode = SM_SINGLE_SLICE;
    if ((nResult = m_pEncoder->InitializeExt(&param)) != cmResultSuccess)
    {
        m_lastError = ResultText(L"InitializeExt", nResult);
        WelsDestroySVCEncoder(m_pEncoder);
        m_pEncoder = nullptr;
        return E_FAIL;
    }
    int nFormat = videoFormatI420;
    m_pEncoder->SetOption(ENCODER_OPTION_DATAFORMAT, &nFormat);
    return S_OK;
}

void CH264Codec::Close()
{
    if (m_pEncoder == nullptr)
        return;
    m_pEncoder->Uninitialize();
    WelsDestroySVCEncoder(m_pEncoder);
    m_pEncoder = nullptr;
}

HRESULT CH264Codec::SetBitRate(DWORD dwBitRate)
{
    if (m_pEncoder == nullptr)
        return S_FALSE;
    SBitrateInfo bitrate = {};
    bitrate.iLayer = SPATIAL_LAYER_ALL;
    bitrate.iBitrate = static_cast<int>(dwBitRate);
    int nResult = m_pEncoder->SetOption(ENCODER_OPTION_BITRATE, &bitrate);
    if (nResult != cmResultSuccess)
    {
        m_lastError = ResultText(L"SetOption(ENCODER_OPTION_BITRATE)", nResult);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CH264Codec::Encode(const CI420Picture& picture, REFERENCE_TIME tStart, bool bKey,
                           std::vector<BYTE>* pCoded, bool* pbKey)
{
    pCoded->clear();
    *pbKey = false;
    if (m_pEncoder == nullptr)
        return E_UNEXPECTED;
    SSourcePicture source = {};
    source.iColorFormat = videoFormatI420;
    source.iPicWidth = picture.Width();
    source.iPicHeight = picture.Height();
    source.iStride[0] = picture.StrideY();
    source.iStride[1] = source.iStride[2] = picture.StrideUV();
    // openh264 reads the planes only.
    source.pData[0] = const_cast<BYTE*>(picture.Y());
    source.pData[1] = const_cast<BYTE*>(picture.U());
    source.pData[2] = const_cast<BYTE*>(picture.V());
    source.uiTimeStamp = tStart / 10000;
    if (bKey)
        m_pEncoder->ForceIntraFrame(true);
    SFrameBSInfo info = {};
    int nResult = m_pEncoder->EncodeFrame(&source, &info);
    if (nResult != cmResultSuccess)
    {
        m_lastError = ResultText(L"EncodeFrame", nResult);
        return E_FAIL;
    }
    if (info.eFrameType == videoFrameTypeSkip || info.eFrameType == videoFrameTypeInvalid)
        return S_OK;
    // Each layer's NAL units lie one after the other, start codes included.
    for (int iLayer = 0; iLayer < info.iLayerNum; ++iLayer)
    {
        const SLayerBSInfo& layer = info.sLayerInfo[iLayer];
        size_t cb = 0;
        for (int iNal = 0; iNal < layer.iNalCount; ++iNal)
            cb += static_cast<size_t>(layer.pNalLengthInByte[iNal]);
        pCoded->insert(pCoded->end(), layer.pBsBuf, layer.pBsBuf + cb);
    }
    *pbKey = info.eFrameType == videoFrameTypeIDR;
    return S_OK;
}
