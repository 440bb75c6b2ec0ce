#include "OpusEncoderFilter.h"

#include "AudioTypes.h"
#include "CodecLibrary.h"
#include "EncoderIds.h"

#include <opus/opus.h>

#include <cwchar>

const wchar_t COpusEncoder::c_szName[] = L"Ormidex Opus Encoder";

namespace {

const LONG c_nDefaultBitrate = 64000;
// libopus's largest packet for one frame.
const long c_cbMaxPacket = 1275;

bool IsOpusRate(DWORD nSamplesPerSec)
{
    return nSamplesPerSec == 8000 || nSamplesPerSec == 12000 || nSamplesPerSec == 16000 ||
           nSamplesPerSec == 24000 || nSamplesPerSec == 48000;
}

bool IsBitrate(LONG nBitrate)
{
    return nBitrate >= 6000 && nBitrate <= 510000;
}

} // namespace

COpusEncoder::COpusEncoder()
    : CKitTransformFilter(c_szName, CLSID_OrmidexOpusEncoder), m_pCodec(nullptr),
      m_nCodecBitrate(0), m_bTimeKnown(false), m_tNextFrame(0), m_nBitrate(c_nDefaultBitrate),
      m_cPackets(0)
{
}

COpusEncoder::~COpusEncoder()
{
    CloseCodec();
}

HRESULT COpusEncoder::Init()
{
    HRESULT hr = CKitTransformFilter::Init();
    AddPropertyPage(CLSID_OpusEncoderPropertyPage);
    return hr;
}

void* COpusEncoder::GetInterface(REFIID riid)
{
    KIT_INTERFACE(IOpusEncoderSettings);
    return CKitTransformFilter::GetInterface(riid);
}

void COpusEncoder::SetError(const std::wstring& error)
{
    CKitAutoLock lock(m_csError);
    m_error = error;
}

std::wstring COpusEncoder::Error() const
{
    CKitAutoLock lock(m_csError);
    return m_error;
}

HRESULT COpusEncoder::CheckInputType(const AM_MEDIA_TYPE* pmt)
{
    const WAVEFORMATEX* pwfx = Pcm16Format(pmt);
    if (pwfx == nullptr)
        return VFW_E_TYPE_NOT_ACCEPTED;
    if (!IsOpusRate(pwfx->nSamplesPerSec))
    {
        wchar_t sz[128];
        swprintf(sz, ARRAYSIZE(sz), L"%lu Hz refused: Opus takes 8, 12, 16, 24 or 48 kHz",
                 pwfx->nSamplesPerSec);
        SetError(sz);
        ::OutputDebugStringW((FaultName() + L": " + sz + L"\n").c_str());
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    SetError(std::wstring());
    return S_OK;
}

size_t COpusEncoder::FrameSamples() const
{
    const WAVEFORMATEX* pwfx = Pcm16Format(&InputPin()->MediaType());
    return static_cast<size_t>(pwfx->nSamplesPerSec / 50) * pwfx->nChannels;
}

// The format keeps the input's rate and channels; a receiver plays Opus at
// 48 kHz whatever rate it was coded from.
HRESULT COpusEncoder::GetOutputType(ULONG iPosition, CMediaType* pmt)
{
    const WAVEFORMATEX* pwfxIn = Pcm16Format(&InputPin()->MediaType());
    if (iPosition > 0 || pwfxIn == nullptr)
        return VFW_S_NO_MORE_ITEMS;
    return MakeAudioType(pmt, MEDIASUBTYPE_StandinOpus, c_wWaveFormatOpus, pwfxIn->nSamplesPerSec,
                         pwfxIn->nChannels, 0, 0, static_cast<DWORD>(m_nBitrate / 8));
}

HRESULT COpusEncoder::GetOutputBufferSize(ALLOCATOR_PROPERTIES* pRequest)
{
    pRequest->cBuffers = 8;
    pRequest->cbBuffer = c_cbMaxPacket;
    return S_OK;
}

STDMETHODIMP COpusEncoder::GetStatus(OPUS_ENCODER_STATUS* pStatus)
{
    if (pStatus == nullptr)
        return E_POINTER;
    pStatus->nBitrate = m_nBitrate;
    pStatus->cPackets = m_cPackets;
    return S_OK;
}

STDMETHODIMP COpusEncoder::SetBitrate(LONG nBitrate)
{
    if (!IsBitrate(nBitrate))
        return E_INVALIDARG;
    m_nBitrate = nBitrate;
    return S_OK;
}

STDMETHODIMP COpusEncoder::GetLibrary(BSTR* pbstrVersion, BSTR* pbstrError)
{
    return CopyLibraryStrings(WidenLibraryText(opus_get_version_string()), Error(), pbstrVersion, pbstrError);
}

HRESULT COpusEncoder::OpenCodec()
{
    const WAVEFORMATEX* pwfx = Pcm16Format(&InputPin()->MediaType());
    int nError = OPUS_OK;
    m_pCodec = opus_encoder_create(static_cast<opus_int32>(pwfx->nSamplesPerSec), pwfx->nChannels,
                                   OPUS_APPLICATION_AUDIO, &nError);
    if (m_pCodec == nullptr)
    {
        SetError(L"opus_encoder_create: " + WidenLibraryText(opus_strerror(nError)));
        return E_FAIL;
    }
    m_nCodecBitrate = 0;
    return S_OK;
}

void COpusEncoder::CloseCodec()
{
    if (m_pCodec != nullptr)
        opus_encoder_destroy(m_pCodec);
    m_pCodec = nullptr;
}

void COpusEncoder::OnStreamReset()
{
    CloseCodec();
    m_pending.clear();
    m_bTimeKnown = false;
    m_tNextFrame = 0;
}

HRESULT COpusEncoder::ProcessSample(IMediaSample* pIn)
{
    BYTE* pbIn = nullptr;
    HRESULT hr = pIn->GetPointer(&pbIn);
    if (FAILED(hr))
        return hr;
    REFERENCE_TIME tStart = 0, tEnd = 0;
    // Frames are timed from the first sample after a start or a flush;
    // later times follow from the count of samples.
    if (!m_bTimeKnown && SUCCEEDED(pIn->GetTime(&tStart, &tEnd)))
    {
        m_tNextFrame = tStart;
        m_bTimeKnown = true;
    }
    const short* psIn = reinterpret_cast<const short*>(pbIn);
    m_pending.insert(m_pending.end(), psIn, psIn + pIn->GetActualDataLength() / sizeof(short));

    size_t cFrame = FrameSamples();
    size_t iUsed = 0;
    while (m_pending.size() - iUsed >= cFrame)
    {
        if (FAILED(hr = DeliverFrame(m_pending.data() + iUsed)))
            break;
        iUsed += cFrame;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + iUsed);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT COpusEncoder::OnEndOfStream()
{
    if (m_pending.empty())
        return S_OK;
    m_pending.resize(FrameSamples(), 0);
    HRESULT hr = DeliverFrame(m_pending.data());
    m_pending.clear();
    return hr;
}

HRESULT COpusEncoder::DeliverFrame(const short* psFrame)
{
    HRESULT hr = S_OK;
    if (m_pCodec == nullptr && FAILED(hr = OpenCodec()))
        return hr;
    const LONG nBitrate = m_nBitrate;
    if (nBitrate != m_nCodecBitrate &&
        opus_encoder_ctl(m_pCodec, OPUS_SET_BITRATE(static_cast<opus_int32>(nBitrate))) == OPUS_OK)
        m_nCodecBitrate = nBitrate;

    CComPtr<IMediaSample> spOut;
    if (FAILED(hr = OutputPin()->GetDeliveryBuffer(&spOut)))
        return hr;
    BYTE* pbOut = nullptr;
    if (FAILED(hr = spOut->GetPointer(&pbOut)))
        return hr;
    const WAVEFORMATEX* pwfx = Pcm16Format(&InputPin()->MediaType());
    opus_int32 cb = opus_encode(m_pCodec, psFrame, static_cast<int>(pwfx->nSamplesPerSec / 50), pbOut,
                                spOut->GetSize());
    if (cb < 0)
    {
        SetError(L"opus_encode: " + WidenLibraryText(opus_strerror(cb)));
        return E_FAIL;
    }
    ++m_cPackets;
    spOut->SetActualDataLength(cb);
    REFERENCE_TIME tStart = m_tNextFrame, tEnd = m_tNextFrame + c_tFrame;
    spOut->SetTime(&tStart, &tEnd);
    spOut->SetSyncPoint(TRUE);
    m_tNextFrame = tEnd;
    return OutputPin()->Deliver(spOut);
}
