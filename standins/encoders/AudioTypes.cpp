#include "AudioTypes.h"

#include "dshow/MediaFormat.h"

const WAVEFORMATEX* Pcm16Format(const AM_MEDIA_TYPE* pmt)
{
    const WAVEFORMATEX* pwfx = GetWaveFormat(pmt);
    if (pmt->majortype != MEDIATYPE_Audio || pmt->subtype != MEDIASUBTYPE_PCM || pwfx == nullptr)
        return nullptr;
    if (pwfx->wFormatTag != WAVE_FORMAT_PCM || pwfx->wBitsPerSample != 16 ||
        pwfx->nChannels < 1 || pwfx->nChannels > 2 || pwfx->nSamplesPerSec == 0 ||
        pwfx->nBlockAlign != 2 * pwfx->nChannels)
        return nullptr;
    return pwfx;
}

HRESULT MakeAudioType(CMediaType* pmt, REFGUID subtype, WORD wFormatTag, DWORD nSamplesPerSec,
                      WORD nChannels, WORD wBitsPerSample, WORD nBlockAlign,
                      DWORD nAvgBytesPerSec)
{
    auto* pwfx = reinterpret_cast<WAVEFORMATEX*>(pmt->AllocFormat(sizeof(WAVEFORMATEX)));
    if (pwfx == nullptr)
        return E_OUTOFMEMORY;
    pwfx->wFormatTag = wFormatTag;
    pwfx->nChannels = nChannels;
    pwfx->nSamplesPerSec = nSamplesPerSec;
    pwfx->nAvgBytesPerSec = nAvgBytesPerSec;
    pwfx->nBlockAlign = nBlockAlign;
    pwfx->wBitsPerSample = wBitsPerSample;
    pmt->majortype = MEDIATYPE_Audio;
    pmt->subtype = subtype;
    pmt->formattype = FORMAT_WaveFormatEx;
    pmt->bFixedSizeSamples = nBlockAlign != 0;
    pmt->lSampleSize = nBlockAlign;
    return S_OK;
}
