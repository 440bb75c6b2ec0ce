#include "OpusEncoderFilter.h"

#include "AudioTypes.h"
#include "EncoderIds.h"
#include "G711.h"

const wchar_t COpusEncoder::c_szName[] = L"Ormidex Opus Encoder";

namespace {

bool IsOpusRate(DWORD nSamplesPerSec)
{
    return nSamplesPerSec == 8000 || nSamplesPerSec == 12000 || nSamplesPerSec == 16000 ||
           nSamplesPerSec == 24000 || nSamplesPerSec == 48000;
}

} // namespace

COpusEncoder::COpusEncoder()
    : CKitTransformFilter(c_szName, CLSID_OrmidexOpusEncoder), m_bTimeKnown(false),
      m_tNextFrame(0)
{
}

HRESULT COpusEncoder::Init()
{
    HRESULT hr = CKitTransformFilter::Init();
    AddPropertyPage(CLSID_OpusEncoderPropertyPage);
    return hr;
}

BYTE COpusEncoder::TocByte(DWORD nSamplesPerSec, WORD nChannels)
{
    // CELT configurations of 20 ms: narrow, wide, super-wide and full band.
    BYTE bConfig = nSamplesPerSec <= 8000 ? 19 : nSamplesPerSec <= 16000 ? 23
                 : nSamplesPerSec <= 24000 ? 27 : 31;
    return static_cast<BYTE>((bConfig << 3) | (nChannels == 2 ? 0x04 : 0x00));
}

HRESULT COpusEncoder::CheckInputType(const AM_MEDIA_TYPE* pmt)
{
    const WAVEFORMATEX* pwfx = Pcm16Format(pmt);
    return pwfx && IsOpusRate(pwfx->nSamplesPerSec) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

size_t COpusEncoder::FrameSamples() const
{
    const WAVEFORMATEX* pwfx = Pcm16Format(&InputPin()->MediaType());
    return static_cast<size_t>(pwfx->nSamplesPerSec / 50) * pwfx->nChannels;
}

HRESULT COpusEncoder::GetOutputType(ULONG iPosition, CMediaType* pmt)
{
    const WAVEFORMATEX* pwfxIn = Pcm16Format(&InputPin()->MediaType());
    if (iPosition > 0 || pwfxIn == nullptr)
        return VFW_S_NO_MORE_ITEMS;
    DWORD cbPacket = static_cast<DWORD>(1 + FrameSamples());
    return MakeAudioType(pmt, MEDIASUBTYPE_StandinOpus, c_wWaveFormatOpus, pwfxIn->nSamplesPerSec,
                         pwfxIn->nChannels, 0, 0, cbPacket * 50);
}

HRESULT COpusEncoder::GetOutputBufferSize(ALLOCATOR_PROPERTIES* pRequest)
{
    pRequest->cBuffers = 8;
    pRequest->cbBuffer = static_cast<long>(1 + FrameSamples());
    return S_OK;
}

void COpusEncoder::OnStreamReset()
{
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
    CComPtr<IMediaSample> spOut;
    HRESULT hr = OutputPin()->GetDeliveryBuffer(&spOut);
    if (FAILED(hr))
        return hr;
    BYTE* pbOut = nullptr;
    if (FAILED(hr = spOut->GetPointer(&pbOut)))
        return hr;
    size_t cFrame = FrameSamples();
    if (static_cast<size_t>(spOut->GetSize()) < 1 + cFrame)
        return VFW_E_BUFFER_OVERFLOW;
    const WAVEFORMATEX* pwfx = Pcm16Format(&InputPin()->MediaType());
    pbOut[0] = TocByte(pwfx->nSamplesPerSec, pwfx->nChannels);
    EncodeMuLaw(psFrame, cFrame, pbOut + 1);
    spOut->SetActualDataLength(static_cast<long>(1 + cFrame));
    REFERENCE_TIME tStart = m_tNextFrame, tEnd = m_tNextFrame + c_tFrame;
    spOut->SetTime(&tStart, &tEnd);
    spOut->SetSyncPoint(TRUE);
    m_tNextFrame = tEnd;
    return OutputPin()->Deliver(spOut);
}
