// A push source: each connected output pin runs a streaming thread that asks
// the filter for samples and delivers them when the clock reaches their start
// time. The filter owns one media-time timeline that its pins seek together.
#pragma once

#include "KitOutputPin.h"

class CKitSourceFilter;

class CKitSourcePin : public CKitOutputPin, public IMediaSeeking
{
public:
    CKitSourcePin(CKitSourceFilter* pFilter, const wchar_t* pszName);
    ~CKitSourcePin() override;

    KIT_DECLARE_IUNKNOWN(CKitPin)
    // IMediaSeeking: the filter's timeline.
    STDMETHODIMP GetCapabilities(DWORD* pCapabilities) override;
    STDMETHODIMP CheckCapabilities(DWORD* pCapabilities) override;
    STDMETHODIMP IsFormatSupported(const GUID* pFormat) override;
    STDMETHODIMP QueryPreferredFormat(GUID* pFormat) override;
    STDMETHODIMP GetTimeFormat(GUID* pFormat) override;
    STDMETHODIMP IsUsingTimeFormat(const GUID* pFormat) override;
    STDMETHODIMP SetTimeFormat(const GUID* pFormat) override;
    STDMETHODIMP GetDuration(LONGLONG* pDuration) override;
    STDMETHODIMP GetStopPosition(LONGLONG* pStop) override;
    STDMETHODIMP GetCurrentPosition(LONGLONG* pCurrent) override;
    STDMETHODIMP ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG llSource,
                                   const GUID* pSourceFormat) override;
    STDMETHODIMP SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                              DWORD dwStopFlags) override;
    STDMETHODIMP GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) override;
    STDMETHODIMP GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) override;
    STDMETHODIMP SetRate(double dRate) override;
    STDMETHODIMP GetRate(double* pdRate) override;
    STDMETHODIMP GetPreroll(LONGLONG* pllPreroll) override;

    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT Run(REFERENCE_TIME tStart) override;
    HRESULT Pause() override;

    // Flushes downstream and makes the thread start again from the filter's
    // current position. Called on a seek while the filter is active.
    void Restart();

protected:
    void* GetInterface(REFIID riid) override;

private:
    static DWORD WINAPI ThreadProc(void* pv);
    void ThreadMain();
    // Reads the commands; false when the thread is to end.
    bool TakeCommands(LONG& nGeneration, bool& bRestarted);
    // Waits until the flush of restart nGeneration is over; false as above.
    bool WaitReleased(LONG nGeneration);
    // Waits until the stream time reaches tSample while running; false when
    // the wait was cut short by a restart or the end of the thread.
    bool WaitUntil(REFERENCE_TIME tSample, LONG nGeneration);
    void Wake() { ::SetEvent(m_hWake); }

    CKitSourceFilter* m_pSource;
    CKitCritSec m_csThread;
    HANDLE m_hThread;
    HANDLE m_hWake;   // auto-reset: any command
    HANDLE m_hAck;    // auto-reset: the thread has taken a restart
    bool m_bExit;
    // A restart is requested (generation), taken by the thread (acked) and
    // released once downstream has ended its flush.
    LONG m_nGeneration;
    LONG m_nAcked;
    LONG m_nReleased;
    REFERENCE_TIME m_tLastDelivered;
};

class CKitSourceFilter : public CKitFilter
{
public:
    // Sources answer seeking on their pins, not at filter level, so that the
    // graph reaches them once through each renderer.
    HRESULT SeekGetCapabilities(DWORD* pCapabilities);
    HRESULT SeekGetDuration(LONGLONG* pDuration);
    HRESULT SeekGetStopPosition(LONGLONG* pStop);
    HRESULT SeekSetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                             DWORD dwStopFlags);
    // The current segment: its start position and stop position.
    void GetSegment(REFERENCE_TIME* ptStart, REFERENCE_TIME* ptStop);

    // Streaming hooks, on the pin's thread (never take the filter lock here).
    // StartStream: the pin starts (again) at tPosition, the segment start;
    // sample times that follow count from 0 there.
    virtual HRESULT StartStream(CKitSourcePin* pPin, REFERENCE_TIME tPosition) = 0;
    // Fills the next sample with data, times and flags; S_FALSE at the end
    // of the stream.
    virtual HRESULT FillSample(CKitSourcePin* pPin, IMediaSample* pSample) = 0;

protected:
    CKitSourceFilter(const wchar_t* pszFaultName, REFCLSID clsid);

    // The length of the stream; E_NOTIMPL for a live source, which does not
    // seek and cannot cue while paused.
    virtual HRESULT GetStreamLength(REFERENCE_TIME* ptLength) = 0;
    HRESULT GetStateResult(FILTER_STATE state) override;

private:
    CKitCritSec m_csSeek;
    REFERENCE_TIME m_tCurrent;
    REFERENCE_TIME m_tStop;   // MAXLONGLONG: the end of the stream
};
