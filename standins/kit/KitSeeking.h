// IMediaSeeking passed upstream: a sink filter (at filter level) and a
// transform's output pin answer seeking by asking the output pins connected
// to their inputs, until the calls reach the source's pins, which seek.
#pragma once

#include "KitPin.h"

#include <vector>

class CKitSeekingForwarder : public IMediaSeeking
{
public:
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

protected:
    virtual ~CKitSeekingForwarder() {}
    // The input pins whose upstream output pins take the calls.
    virtual void GetSeekingInputs(std::vector<CKitInputPin*>& rgPins) = 0;

private:
    void CollectUpstream(std::vector<CComPtr<IMediaSeeking>>& rgSeeking);
    // The first upstream answer that succeeds, else the first failure;
    // E_NOTIMPL when nothing upstream seeks.
    template <class F>
    HRESULT First(F fn);
    // Every upstream pin is told; the first failure is returned.
    template <class F>
    HRESULT All(F fn);
    // The largest of the upstream values (durations and stop positions).
    HRESULT Largest(HRESULT (STDMETHODCALLTYPE IMediaSeeking::*pfn)(LONGLONG*), LONGLONG* pll);
};

// The IMediaSeeking of the output pin connected to pPin, or null.
HRESULT KitUpstreamSeeking(CKitInputPin* pPin, IMediaSeeking** ppSeeking);
