#include "KitSourceFilter.h"

#include <algorithm>

namespace {

const DWORD c_dwAckTimeout = 10000;

} // namespace

CKitSourcePin::CKitSourcePin(CKitSourceFilter* pFilter, const wchar_t* pszName)
    : CKitOutputPin(pFilter, pszName), m_pSource(pFilter), m_hThread(nullptr),
      m_hWake(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_hAck(::CreateEventW(nullptr, FALSE, FALSE, nullptr)), m_bExit(false), m_nGeneration(0),
      m_nAcked(0), m_nReleased(0), m_tLastDelivered(0)
{
}

CKitSourcePin::~CKitSourcePin()
{
    Inactive();
    ::CloseHandle(m_hWake);
    ::CloseHandle(m_hAck);
}

void* CKitSourcePin::GetInterface(REFIID riid)
{
    KIT_INTERFACE(IMediaSeeking);
    return CKitOutputPin::GetInterface(riid);
}

HRESULT CKitSourcePin::Active()
{
    HRESULT hr = CKitOutputPin::Active();
    if (FAILED(hr) || !IsConnected() || m_hThread != nullptr)
        return hr;
    {
        CKitAutoLock lock(m_csThread);
        m_bExit = false;
        m_nGeneration = m_nAcked = m_nReleased = 0;
    }
    m_hThread = ::CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    return m_hThread ? S_OK : HRESULT_FROM_WIN32(::GetLastError());
}

HRESULT CKitSourcePin::Inactive()
{
    if (m_hThread != nullptr)
    {
        {
            CKitAutoLock lock(m_csThread);
            m_bExit = true;
        }
        Wake();
        // A thread waiting for a buffer wakes when the allocator decommits.
        CKitOutputPin::Inactive();
        ::WaitForSingleObject(m_hThread, INFINITE);
        ::CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    return CKitOutputPin::Inactive();
}

HRESULT CKitSourcePin::Run(REFERENCE_TIME)
{
    Wake();
    return S_OK;
}

HRESULT CKitSourcePin::Pause()
{
    Wake();
    return S_OK;
}

void CKitSourcePin::Restart()
{
    if (m_hThread == nullptr)
        return;
    DeliverBeginFlush();
    LONG nGeneration;
    {
        CKitAutoLock lock(m_csThread);
        nGeneration = ++m_nGeneration;
    }
    Wake();
    for (;;)
    {
        {
            CKitAutoLock lock(m_csThread);
            if (m_nAcked >= nGeneration || m_bExit)
                break;
        }
        if (::WaitForSingleObject(m_hAck, c_dwAckTimeout) == WAIT_TIMEOUT)
            break;
    }
    DeliverEndFlush();
    {
        CKitAutoLock lock(m_csThread);
        m_nReleased = nGeneration;
    }
    Wake();
}

DWORD WINAPI CKitSourcePin::ThreadProc(void* pv)
{
    HRESULT hrCo = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    static_cast<CKitSourcePin*>(pv)->ThreadMain();
    if (SUCCEEDED(hrCo))
        ::CoUninitialize();
    return 0;
}

bool CKitSourcePin::TakeCommands(LONG& nGeneration, bool& bRestarted)
{
    CKitAutoLock lock(m_csThread);
    if (m_bExit)
        return false;
    if (m_nGeneration != nGeneration)
    {
        nGeneration = m_nGeneration;
        m_nAcked = nGeneration;
        ::SetEvent(m_hAck);
        bRestarted = true;
    }
    return true;
}

bool CKitSourcePin::WaitReleased(LONG nGeneration)
{
    for (;;)
    {
        {
            CKitAutoLock lock(m_csThread);
            if (m_bExit || m_nGeneration != nGeneration)
                return false;
            if (m_nReleased >= nGeneration)
                return true;
        }
        ::WaitForSingleObject(m_hWake, INFINITE);
    }
}

bool CKitSourcePin::WaitUntil(REFERENCE_TIME tSample, LONG nGeneration)
{
    for (;;)
    {
        {
            CKitAutoLock lock(m_csThread);
            if (m_bExit || m_nGeneration != nGeneration)
                return false;
        }
        if (m_pFilter->State() != State_Running)
        {
            ::WaitForSingleObject(m_hWake, INFINITE);
            continue;
        }
        CComPtr<IReferenceClock> spClock;
        m_pFilter->GetClock(&spClock);
        if (spClock == nullptr)
            return true;
        REFERENCE_TIME tNow = 0;
        spClock->GetTime(&tNow);
        REFERENCE_TIME tDue = m_pFilter->StartTime() + tSample;
        if (tNow >= tDue)
            return true;
        // Looks again at least once a second, in case the clock jumps.
        REFERENCE_TIME tWait = std::min<REFERENCE_TIME>((tDue - tNow + 9999) / 10000, 1000);
        ::WaitForSingleObject(m_hWake, static_cast<DWORD>(tWait));
    }
}

void CKitSourcePin::ThreadMain()
{
    LONG nGeneration = -1;
    bool bEnded = false;
    for (;;)
    {
        bool bRestarted = false;
        if (!TakeCommands(nGeneration, bRestarted))
            break;
        if (bRestarted)
        {
            if (!WaitReleased(nGeneration))
                continue;
            REFERENCE_TIME tStart = 0, tStop = MAXLONGLONG;
            m_pSource->GetSegment(&tStart, &tStop);
            m_tLastDelivered = 0;
            bEnded = FAILED(m_pSource->StartStream(this, tStart));
            DeliverNewSegment(tStart, tStop, 1.0);
        }
        if (bEnded || m_pFilter->State() != State_Running)
        {
            ::WaitForSingleObject(m_hWake, INFINITE);
            continue;
        }
        CComPtr<IMediaSample> spSample;
        if (FAILED(GetDeliveryBuffer(&spSample)))
        {
            ::WaitForSingleObject(m_hWake, INFINITE);
            continue;
        }
        HRESULT hr = m_pSource->FillSample(this, spSample);
        if (hr == S_FALSE)
        {
            spSample.Release();
            DeliverEndOfStream();
            bEnded = true;
            continue;
        }
        if (FAILED(hr))
        {
            spSample.Release();
            m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
            bEnded = true;
            continue;
        }
        REFERENCE_TIME tStart = 0, tEnd = 0;
        if (FAILED(spSample->GetTime(&tStart, &tEnd)))
            tStart = tEnd = 0;
        if (!WaitUntil(tStart, nGeneration))
            continue;
        // A refusal means downstream is flushing or stopping: wait for the
        // restart or the end that follows.
        if (Deliver(spSample) == S_OK)
            m_tLastDelivered = tEnd;
        else
            ::WaitForSingleObject(m_hWake, INFINITE);
    }
}

STDMETHODIMP CKitSourcePin::GetCapabilities(DWORD* pCapabilities)
{
    return m_pSource->SeekGetCapabilities(pCapabilities);
}

STDMETHODIMP CKitSourcePin::CheckCapabilities(DWORD* pCapabilities)
{
    if (pCapabilities == nullptr)
        return E_POINTER;
    DWORD dwOurs = 0;
    HRESULT hr = m_pSource->SeekGetCapabilities(&dwOurs);
    if (FAILED(hr))
        return hr;
    DWORD dwAsked = *pCapabilities;
    *pCapabilities &= dwOurs;
    if (*pCapabilities == dwAsked)
        return S_OK;
    return *pCapabilities ? S_FALSE : E_FAIL;
}

STDMETHODIMP CKitSourcePin::IsFormatSupported(const GUID* pFormat)
{
    if (pFormat == nullptr)
        return E_POINTER;
    return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

STDMETHODIMP CKitSourcePin::QueryPreferredFormat(GUID* pFormat)
{
    if (pFormat == nullptr)
        return E_POINTER;
    *pFormat = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

STDMETHODIMP CKitSourcePin::GetTimeFormat(GUID* pFormat)
{
    return QueryPreferredFormat(pFormat);
}

STDMETHODIMP CKitSourcePin::IsUsingTimeFormat(const GUID* pFormat)
{
    return IsFormatSupported(pFormat);
}

STDMETHODIMP CKitSourcePin::SetTimeFormat(const GUID* pFormat)
{
    if (pFormat == nullptr)
        return E_POINTER;
    return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

STDMETHODIMP CKitSourcePin::GetDuration(LONGLONG* pDuration)
{
    return m_pSource->SeekGetDuration(pDuration);
}

STDMETHODIMP CKitSourcePin::GetStopPosition(LONGLONG* pStop)
{
    return m_pSource->SeekGetStopPosition(pStop);
}

STDMETHODIMP CKitSourcePin::GetCurrentPosition(LONGLONG* pCurrent)
{
    if (pCurrent == nullptr)
        return E_POINTER;
    LONGLONG llDuration = 0;
    HRESULT hr = m_pSource->SeekGetDuration(&llDuration);
    if (FAILED(hr))
        return hr;
    REFERENCE_TIME tStart = 0, tStop = 0;
    m_pSource->GetSegment(&tStart, &tStop);
    *pCurrent = tStart + m_tLastDelivered;
    return S_OK;
}

STDMETHODIMP CKitSourcePin::ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat,
                                              LONGLONG llSource, const GUID* pSourceFormat)
{
    if (pTarget == nullptr)
        return E_POINTER;
    if ((pTargetFormat && *pTargetFormat != TIME_FORMAT_MEDIA_TIME) ||
        (pSourceFormat && *pSourceFormat != TIME_FORMAT_MEDIA_TIME))
        return E_INVALIDARG;
    *pTarget = llSource;
    return S_OK;
}

STDMETHODIMP CKitSourcePin::SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                                         DWORD dwStopFlags)
{
    return m_pSource->SeekSetPositions(pCurrent, dwCurrentFlags, pStop, dwStopFlags);
}

STDMETHODIMP CKitSourcePin::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop)
{
    HRESULT hr = S_OK;
    if (pCurrent != nullptr && FAILED(hr = GetCurrentPosition(pCurrent)))
        return hr;
    if (pStop != nullptr)
        hr = GetStopPosition(pStop);
    return hr;
}

STDMETHODIMP CKitSourcePin::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest)
{
    LONGLONG llDuration = 0;
    HRESULT hr = m_pSource->SeekGetDuration(&llDuration);
    if (FAILED(hr))
        return hr;
    if (pEarliest != nullptr)
        *pEarliest = 0;
    if (pLatest != nullptr)
        *pLatest = llDuration;
    return S_OK;
}

// Only normal speed: the stand-ins produce media in real time.
STDMETHODIMP CKitSourcePin::SetRate(double dRate)
{
    return dRate == 1.0 ? S_OK : E_INVALIDARG;
}

STDMETHODIMP CKitSourcePin::GetRate(double* pdRate)
{
    if (pdRate == nullptr)
        return E_POINTER;
    *pdRate = 1.0;
    return S_OK;
}

STDMETHODIMP CKitSourcePin::GetPreroll(LONGLONG* pllPreroll)
{
    if (pllPreroll == nullptr)
        return E_POINTER;
    *pllPreroll = 0;
    return S_OK;
}

CKitSourceFilter::CKitSourceFilter(const wchar_t* pszFaultName, REFCLSID clsid)
    : CKitFilter(pszFaultName, clsid), m_tCurrent(0), m_tStop(MAXLONGLONG)
{
}

HRESULT CKitSourceFilter::GetStateResult(FILTER_STATE state)
{
    REFERENCE_TIME tLength = 0;
    if (state == State_Paused && FAILED(GetStreamLength(&tLength)))
        return VFW_S_CANT_CUE;
    return S_OK;
}

HRESULT CKitSourceFilter::SeekGetCapabilities(DWORD* pCapabilities)
{
    if (pCapabilities == nullptr)
        return E_POINTER;
    *pCapabilities = 0;
    REFERENCE_TIME tLength = 0;
    if (SUCCEEDED(GetStreamLength(&tLength)))
        *pCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                         AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetCurrentPos |
                         AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
    return S_OK;
}

HRESULT CKitSourceFilter::SeekGetDuration(LONGLONG* pDuration)
{
    if (pDuration == nullptr)
        return E_POINTER;
    *pDuration = 0;
    return GetStreamLength(pDuration);
}

HRESULT CKitSourceFilter::SeekGetStopPosition(LONGLONG* pStop)
{
    if (pStop == nullptr)
        return E_POINTER;
    *pStop = 0;
    REFERENCE_TIME tLength = 0;
    HRESULT hr = GetStreamLength(&tLength);
    if (FAILED(hr))
        return hr;
    CKitAutoLock lock(m_csSeek);
    *pStop = std::min(m_tStop, tLength);
    return S_OK;
}

void CKitSourceFilter::GetSegment(REFERENCE_TIME* ptStart, REFERENCE_TIME* ptStop)
{
    REFERENCE_TIME tLength = MAXLONGLONG;
    if (FAILED(GetStreamLength(&tLength)))
        tLength = MAXLONGLONG;
    CKitAutoLock lock(m_csSeek);
    *ptStart = m_tCurrent;
    *ptStop = std::min(m_tStop, tLength);
}

namespace {

// The new value of a position for AM_SEEKING_* flags, or false when the
// flags ask for nothing.
bool NewPosition(DWORD dwFlags, const LONGLONG* pll, REFERENCE_TIME tOld, REFERENCE_TIME* ptNew)
{
    switch (dwFlags & AM_SEEKING_PositioningBitsMask)
    {
    case AM_SEEKING_AbsolutePositioning:
        *ptNew = *pll;
        return true;
    case AM_SEEKING_RelativePositioning:
        *ptNew = tOld + *pll;
        return true;
    case AM_SEEKING_IncrementalPositioning:
        *ptNew = tOld + *pll;
        return true;
    default:
        return false;
    }
}

} // namespace

HRESULT CKitSourceFilter::SeekSetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags,
                                           LONGLONG* pStop, DWORD dwStopFlags)
{
    REFERENCE_TIME tLength = 0;
    HRESULT hr = GetStreamLength(&tLength);
    if (FAILED(hr))
        return hr;
    bool bCurrent = (dwCurrentFlags & AM_SEEKING_PositioningBitsMask) != 0;
    bool bStop = (dwStopFlags & AM_SEEKING_PositioningBitsMask) != 0;
    if ((bCurrent && pCurrent == nullptr) || (bStop && pStop == nullptr))
        return E_POINTER;

    // Seeks come from the application's thread, never from a streaming one.
    CKitAutoLock lock(FilterLock());
    {
        CKitAutoLock lockSeek(m_csSeek);
        REFERENCE_TIME tCurrent = m_tCurrent, tStop = m_tStop;
        if (bCurrent)
            NewPosition(dwCurrentFlags, pCurrent, m_tCurrent, &tCurrent);
        if (bStop)
            NewPosition(dwStopFlags, pStop, std::min(m_tStop, tLength), &tStop);
        if (tCurrent < 0 || tStop < 0)
            return E_INVALIDARG;
        m_tCurrent = std::min(tCurrent, tLength);
        m_tStop = tStop;
        if (pCurrent != nullptr && (dwCurrentFlags & AM_SEEKING_ReturnTime))
            *pCurrent = m_tCurrent;
        if (pStop != nullptr && (dwStopFlags & AM_SEEKING_ReturnTime))
            *pStop = std::min(m_tStop, tLength);
    }
    if (bCurrent && State() != State_Stopped)
    {
        for (ULONG i = 0; i < PinCount(); ++i)
            if (CKitSourcePin* pPin = dynamic_cast<CKitSourcePin*>(Pin(i)))
                pPin->Restart();
    }
    return S_OK;
}
