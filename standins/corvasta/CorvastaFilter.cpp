#include "CorvastaFilter.h"

#include "CorvastaPropPage.h"
#include "StatusPage.h"
#include "dshow/FourCCSubtype.h"
#include "dshow/MediaFormat.h"

#include <cstring>

const wchar_t CCorvastaFilter::szName[] = L"Corvasta";
const wchar_t CCorvastaFilter::szVideoPin[] = L"Video";
const wchar_t CCorvastaFilter::szAudioPin[] = L"Audio";

namespace {

// The type of a stream part, so that a client can tell the codecs apart.
const char* ContentType(const AM_MEDIA_TYPE& mt)
{
    bool bVideo = mt.majortype == MEDIATYPE_Video;
    DWORD dwFourCC = 0;
    if (!IsFourCCSubtype(mt.subtype, &dwFourCC))
        return bVideo ? "video/x-raw" : "audio/x-raw";
    switch (dwFourCC)
    {
    case MAKEFOURCC('H', '2', '6', '4'):
    case MAKEFOURCC('h', '2', '6', '4'):
    case MAKEFOURCC('A', 'V', 'C', '1'):
    case MAKEFOURCC('a', 'v', 'c', '1'):
        return "video/h264";
    case MAKEFOURCC('V', 'P', '8', '0'):
        return "video/vp8";
    case 0x704F: // WAVE_FORMAT_OPUS
        return "audio/opus";
    case 0x0006: // WAVE_FORMAT_ALAW
        return "audio/pcma";
    case 0x0007: // WAVE_FORMAT_MULAW
        return "audio/pcmu";
    case WAVE_FORMAT_PCM:
        return "audio/x-raw";
    default:
        return bVideo ? "video/x-raw" : "application/octet-stream";
    }
}

CPartType PartType(const AM_MEDIA_TYPE& mt)
{
    CPartType type = {ContentType(mt), 0, 0};
    const WAVEFORMATEX* pwfx = mt.majortype == MEDIATYPE_Audio ? GetWaveFormat(&mt) : nullptr;
    if (pwfx != nullptr)
    {
        type.m_nSamplesPerSec = pwfx->nSamplesPerSec;
        type.m_nChannels = pwfx->nChannels;
    }
    return type;
}

} // namespace

CCorvastaFilter::CCorvastaFilter()
    : CKitSinkFilter(szName, CLSID_CorvastaFilter), m_pVideoPin(nullptr), m_pAudioPin(nullptr),
      m_bAppFilter(FALSE)
{
}

CCorvastaFilter::~CCorvastaFilter()
{
    m_server.Stop();
    m_rtc.Stop();
}

HRESULT CCorvastaFilter::Init()
{
    // Either pin may be left out by the fault switch "NoPin:<name>"; the
    // harness then finds too few free inputs, which is what such a switch
    // is for.
    m_pVideoPin = AddInputPin(szVideoPin);
    m_pAudioPin = AddInputPin(szAudioPin);
    AddPropertyPage(CLSID_CorvastaPropertyPage);
    return S_OK;
}

void* CCorvastaFilter::GetInterface(REFIID riid)
{
    KIT_INTERFACE(IServerControl);
    KIT_INTERFACE(IServerAppFilter);
    KIT_INTERFACE(IFilterVersion);
    KIT_INTERFACE(IIceServerStatus);
    return CKitSinkFilter::GetInterface(riid);
}

STDMETHODIMP CCorvastaFilter::Pause()
{
    KIT_FAULT(L"Pause");
    return CKitSinkFilter::Pause();
}

STDMETHODIMP CCorvastaFilter::Run(REFERENCE_TIME tStart)
{
    KIT_FAULT(L"Run");
    return CKitSinkFilter::Run(tStart);
}

HRESULT CCorvastaFilter::OnActive()
{
    m_stats.Reset();
    std::string rgstrUnsent[2];
    rtc::EMediaCodec video = PinCodec(m_pVideoPin, &rgstrUnsent[0]);
    rtc::EMediaCodec audio = PinCodec(m_pAudioPin, &rgstrUnsent[1]);
    HRESULT hr = m_rtc.Start(m_url, video, audio, rgstrUnsent[0], rgstrUnsent[1], this);
    if (FAILED(hr))
        return hr;
    hr = m_server.Start(m_url, this, &m_rtc);
    if (FAILED(hr))
        m_rtc.Stop();
    return hr;
}

HRESULT CCorvastaFilter::OnInactive()
{
    // The thread first: it reads the media socket that the endpoint closes.
    m_server.Stop();
    m_rtc.Stop();
    m_stats.OnConnections(0, false);
    return S_OK;
}

rtc::EMediaCodec CCorvastaFilter::PinCodec(CKitInputPin* pPin, std::string* pstrUnsent)
{
    if (pPin == nullptr || !pPin->IsConnected())
        return rtc::EMediaCodec::None;
    const AM_MEDIA_TYPE& mt = pPin->MediaType();
    // The stream's content types name the codecs already.
    static const std::pair<const char*, rtc::EMediaCodec> rgCodecs[] = {
        {"video/h264", rtc::EMediaCodec::H264}, {"video/vp8", rtc::EMediaCodec::VP8},
        {"audio/opus", rtc::EMediaCodec::Opus}, {"audio/pcma", rtc::EMediaCodec::PCMA},
        {"audio/pcmu", rtc::EMediaCodec::PCMU},
    };
    const char* pszType = ContentType(mt);
    bool bVideoType = std::strncmp(pszType, "video/", 6) == 0;
    rtc::EMediaCodec codec = rtc::EMediaCodec::None;
    for (const auto& entry : rgCodecs)
    {
        if (std::strcmp(entry.first, pszType) == 0 && bVideoType == (pPin == m_pVideoPin))
            codec = entry.second;
    }
    if (codec == rtc::EMediaCodec::None)
    {
        *pstrUnsent = std::string(pszType) + " is not a WebRTC codec (VP8, H.264, Opus, PCMU, PCMA)";
        return codec;
    }
    // RTP's G.711 is 8 kHz mono (RFC 3551).
    const WAVEFORMATEX* pwfx = GetWaveFormat(&mt);
    if ((codec == rtc::EMediaCodec::PCMU || codec == rtc::EMediaCodec::PCMA) &&
        (pwfx == nullptr || pwfx->nSamplesPerSec != 8000 || pwfx->nChannels != 1))
    {
        *pstrUnsent = std::string(rtc::MediaCodecName(codec)) + " goes as 8000 Hz mono, not " +
                      (pwfx == nullptr ? std::string("an unknown format")
                                       : std::to_string(pwfx->nSamplesPerSec) + " Hz with " +
                                             std::to_string(pwfx->nChannels) + " channels");
        return rtc::EMediaCodec::None;
    }
    return codec;
}

HRESULT CCorvastaFilter::CheckMediaType(CKitPin* pPin, const AM_MEDIA_TYPE* pmt)
{
    if (pmt == nullptr)
        return E_POINTER;
    const GUID& guidMajor = pPin == m_pVideoPin ? MEDIATYPE_Video : MEDIATYPE_Audio;
    return pmt->majortype == guidMajor ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CCorvastaFilter::Receive(CKitInputPin* pPin, IMediaSample* pSample)
{
    LONGLONG llArrival = CurrentTicks();
    EMediaKind eKind = pPin == m_pVideoPin ? eMediaVideo : eMediaAudio;
    BYTE* pData = nullptr;
    HRESULT hr = pSample->GetPointer(&pData);
    if (FAILED(hr))
        return hr;
    long cbData = pSample->GetActualDataLength();
    if (cbData < 0)
        return E_UNEXPECTED;
    m_stats.OnSample(eKind, static_cast<UINT>(cbData));

    REFERENCE_TIME tStart = 0;
    REFERENCE_TIME tStop = 0;
    bool bTimed = SUCCEEDED(pSample->GetTime(&tStart, &tStop));
    // An untimed sample is placed by its arrival on the same clock.
    m_rtc.Send(eKind, pData, static_cast<UINT>(cbData), bTimed ? tStart : TicksToMicroseconds(llArrival) * 10,
               llArrival);

    // Framing costs a copy; without clients nobody would read it.
    if (m_server.ClientCount() == 0)
        return S_OK;
    if (!bTimed)
        tStart = -1;
    m_server.Send(CStreamChunk::Make(eKind, PartType(pPin->MediaType()), pData, static_cast<UINT>(cbData),
                                     tStart, pSample->IsSyncPoint() == S_OK, llArrival));
    return S_OK;
}

void CCorvastaFilter::OnClientCount(UINT, bool)
{
    // A reader of the HTTP stream records what the filter receives; it is
    // no peer, so it neither counts as a connection nor asks for key frames.
}

void CCorvastaFilter::OnPeerCount(UINT nCount, bool bArrived)
{
    // A peer's first key frame comes from its own PLI, as a browser sends
    // one when it has nothing to decode.
    m_stats.OnConnections(nCount, bArrived);
    NotifyEvent(EC_USER + 1, static_cast<LONG_PTR>(nCount), 0);
}

void CCorvastaFilter::OnKeyFrameRequest()
{
    m_stats.OnKeyFrameRequest();
    NotifyEvent(EC_USER, 0, 0);
}

void CCorvastaFilter::OnRtpSent(EMediaKind eKind, UINT nPeers, UINT nPackets, UINT cbSent, LONGLONG llMicroseconds)
{
    m_stats.OnRtpSent(eKind, nPeers, nPackets, cbSent, llMicroseconds);
}

CWhepAnswer CCorvastaFilter::OnWhep(const CWhepRequest& request)
{
    if (request.m_strMethod == "DELETE")
        return m_rtc.End(request.m_strSession);
    return m_rtc.Offer(request);
}

bool CCorvastaFilter::TakeWhepAnswer(uint64_t nTicket, CWhepAnswer* pAnswer)
{
    return m_rtc.TakeAnswer(nTicket, pAnswer);
}

void CCorvastaFilter::OnWhepAbandoned(uint64_t nTicket)
{
    m_rtc.Abandon(nTicket);
}

void CCorvastaFilter::OnDelivered(const CDelivery&)
{
    // The statistics count what goes out as RTP.
}

std::string CCorvastaFilter::GetStatus(EStatusDocument eDocument)
{
    static const wchar_t* const rgpszState[] = {L"Stopped", L"Paused", L"Running"};
    FILTER_STATE state = State();
    ServerStats stats = {};
    m_stats.Fill(state, &stats);
    CPeerStatus peers;
    peers.m_strPeersJson = m_rtc.PeersJson();
    peers.m_strRejections = m_rtc.Rejections();
    peers.m_iceServers = m_rtc.IceServers();
    peers.m_dropped = m_rtc.Dropped();
    if (eDocument == eStatusJson)
        return MakeStatusJson(rgpszState[state], stats, peers);
    return MakeStatusPage(rgpszState[state], m_url, stats, peers);
}

std::wstring CCorvastaFilter::CurrentUrl()
{
    CKitAutoLock lock(FilterLock());
    return m_url.Text();
}
