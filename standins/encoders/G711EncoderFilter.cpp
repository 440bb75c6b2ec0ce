#include "G711EncoderFilter.h"

#include "AudioTypes.h"
#include "EncoderIds.h"
#include "G711.h"

const wchar_t CALawEncoder::c_szName[] = L"CCITT A-Law";
const wchar_t CMuLawEncoder::c_szName[] = L"CCITT u-Law";

CALawEncoder::CALawEncoder() : CG711Encoder(c_szName, CLSID_CCITTALawEncoder, true) {}

CMuLawEncoder::CMuLawEncoder() : CG711Encoder(c_szName, CLSID_CCITTMuLawEncoder, false) {}

CG711Encoder::CG711Encoder(const wchar_t* pszName, REFCLSID clsid, bool bALaw)
    : CKitTransformFilter(pszName, clsid), m_bALaw(bALaw)
{
}

HRESULT CG711Encoder::CheckInputType(const AM_MEDIA_TYPE* pmt)
{
    return Pcm16Format(pmt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CG711Encoder::GetOutputType(ULONG iPosition, CMediaType* pmt)
{
    const WAVEFORMATEX* pwfxIn = Pcm16Format(&InputPin()->MediaType());
    if (iPosition > 0 || pwfxIn == nullptr)
        return VFW_S_NO_MORE_ITEMS;
    return MakeAudioType(pmt, m_bALaw ? MEDIASUBTYPE_StandinALaw : MEDIASUBTYPE_StandinMuLaw,
                         m_bALaw ? WAVE_FORMAT_ALAW : WAVE_FORMAT_MULAW, pwfxIn->nSamplesPerSec,
                         pwfxIn->nChannels, 8, pwfxIn->nChannels,
                         pwfxIn->nSamplesPerSec * pwfxIn->nChannels);
}

HRESULT CG711Encoder::GetOutputBufferSize(ALLOCATOR_PROPERTIES* pRequest)
{
    // Half of what the upstream allocator hands out, with room for a second
    // of audio whatever that is.
    const WAVEFORMATEX* pwfxIn = Pcm16Format(&InputPin()->MediaType());
    pRequest->cBuffers = 4;
    pRequest->cbBuffer = static_cast<long>(pwfxIn->nSamplesPerSec * pwfxIn->nChannels);
    return S_OK;
}

HRESULT CG711Encoder::Transform(IMediaSample* pIn, IMediaSample* pOut)
{
    BYTE* pbIn = nullptr;
    BYTE* pbOut = nullptr;
    HRESULT hr = pIn->GetPointer(&pbIn);
    if (SUCCEEDED(hr))
        hr = pOut->GetPointer(&pbOut);
    if (FAILED(hr))
        return hr;
    size_t cSamples = static_cast<size_t>(pIn->GetActualDataLength()) / sizeof(short);
    if (cSamples > static_cast<size_t>(pOut->GetSize()))
        return VFW_E_BUFFER_OVERFLOW;
    const short* psIn = reinterpret_cast<const short*>(pbIn);
    if (m_bALaw)
        EncodeALaw(psIn, cSamples, pbOut);
    else
        EncodeMuLaw(psIn, cSamples, pbOut);
    pOut->SetActualDataLength(static_cast<long>(cSamples));
    return S_OK;
}
