// The kit's pins: the IPin base shared by both directions, and the input pin
// with IMemInputPin. A pin shares its filter's reference count (the filter
// owns it) and asks its filter's hooks what to accept and what to do.
#pragma once

#include "KitFilter.h"

#include <atomic>

class CKitPin : public IPin
{
public:
    CKitPin(CKitFilter* pFilter, const wchar_t* pszName, PIN_DIRECTION dir);
    virtual ~CKitPin();
    CKitPin(const CKitPin&) = delete;
    CKitPin& operator=(const CKitPin&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IPin
    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** ppPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
    STDMETHODIMP QueryId(LPWSTR* pszId) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    CKitFilter* Filter() const { return m_pFilter; }
    const wchar_t* Name() const { return m_name.c_str(); }
    PIN_DIRECTION Direction() const { return m_dir; }
    bool IsConnected() const { return m_spPeer != nullptr; }
    // The peer and the type change only while the filter is stopped, so
    // streaming code may read them without the lock.
    IPin* Peer() const { return m_spPeer; }
    const CMediaType& MediaType() const { return m_mt; }
    bool HidesInterface(const wchar_t* pszInterface) const
    {
        return m_pFilter->HidesInterface(pszInterface);
    }

    // State changes, called by the filter under its lock.
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Inactive() { return S_OK; }
    virtual HRESULT Run(REFERENCE_TIME) { return S_OK; }
    virtual HRESULT Pause() { return S_OK; }

    // Hooks; by default they ask the filter.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt);
    virtual HRESULT GetMediaType(ULONG iPosition, CMediaType* pmt);

protected:
    virtual void* GetInterface(REFIID riid);
    virtual HRESULT CompleteConnect(IPin* pPeer);
    virtual void BreakConnect();
    // Drops the connection; the filter lock is held.
    void ClearConnection();

    CKitFilter* m_pFilter;
    std::wstring m_name;
    PIN_DIRECTION m_dir;
    CComPtr<IPin> m_spPeer;
    CMediaType m_mt;
};

class CKitInputPin : public CKitPin, public IMemInputPin
{
public:
    CKitInputPin(CKitFilter* pFilter, const wchar_t* pszName);

    KIT_DECLARE_IUNKNOWN(CKitPin)
    // IPin
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;
    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** pSamples, long nSamples,
                                 long* nSamplesProcessed) override;
    STDMETHODIMP ReceiveCanBlock() override;

    HRESULT Active() override;
    HRESULT Inactive() override;

    bool IsFlushing() const { return m_bFlushing; }
    bool IsEndOfStream() const { return m_bEndOfStream; }
    // The segment of the last NewSegment (0, MAXLONGLONG, 1.0 before one).
    REFERENCE_TIME SegmentStart() const { return m_tSegmentStart; }
    REFERENCE_TIME SegmentStop() const { return m_tSegmentStop; }
    double SegmentRate() const { return m_dSegmentRate; }
    // Serialises the streaming calls of this pin with Stop and flushing.
    CKitCritSec& StreamLock() { return m_csReceive; }

protected:
    void* GetInterface(REFIID riid) override;
    void BreakConnect() override;

private:
    CKitCritSec m_csReceive;
    CComPtr<IMemAllocator> m_spAllocator;
    std::atomic<bool> m_bFlushing; // read by the streaming thread
    std::atomic<bool> m_bEndOfStream;
    REFERENCE_TIME m_tSegmentStart;
    REFERENCE_TIME m_tSegmentStop;
    double m_dSegmentRate;
};
