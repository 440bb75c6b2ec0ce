// The kit's output pin: type negotiation on Connect, the allocator (the
// downstream pin's, or the platform's memory allocator), and delivery.
#pragma once

#include "KitPin.h"

class CKitOutputPin : public CKitPin
{
public:
    CKitOutputPin(CKitFilter* pFilter, const wchar_t* pszName);

    // IPin
    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;

    // Commits and decommits the allocator; a decommit wakes a thread that
    // waits in GetDeliveryBuffer.
    HRESULT Active() override;
    HRESULT Inactive() override;

    // Delivery, on the streaming thread.
    HRESULT GetDeliveryBuffer(IMediaSample** ppSample);
    HRESULT Deliver(IMediaSample* pSample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

    IMemAllocator* Allocator() const { return m_spAllocator; }

    // SetProperties, failing when the allocator grants less than asked.
    static HRESULT SetAllocatorProperties(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest);

protected:
    void BreakConnect() override;
    virtual HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest);

private:
    HRESULT TryConnection(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt);
    HRESULT DecideAllocator(IMemInputPin* pMemInput);
    static bool Matches(const AM_MEDIA_TYPE* pmtPartial, const AM_MEDIA_TYPE* pmt);

    CComPtr<IMemInputPin> m_spMemInput;
    CComPtr<IMemAllocator> m_spAllocator;
};
