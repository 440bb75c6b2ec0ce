// The kit's base filter: IBaseFilter with the state machine, the clock, the
// pin list and the filter lock. A concrete filter adds its pins in Init() and
// supplies the hooks that say what is special about it.
#pragma once

#include "KitCore.h"
#include "KitFaults.h"
#include "KitPersist.h"
#include "dshow/MediaType.h"

#include <atomic>
#include <ocidl.h>

#include <string>
#include <vector>

class CKitPin;
class CKitInputPin;
class CKitOutputPin;

class CKitFilter : public IBaseFilter, public ISpecifyPropertyPages, public IPersistStream
{
public:
    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IPersist (of IBaseFilter and IPersistStream alike)
    STDMETHODIMP GetClassID(CLSID* pClsid) override;
    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    STDMETHODIMP GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* pState) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** ppClock) override;
    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
    STDMETHODIMP FindPin(LPCWSTR pszId, IPin** ppPin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pszName) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* ppszVendorInfo) override;
    // ISpecifyPropertyPages (answered only when the filter has pages)
    STDMETHODIMP GetPages(CAUUID* pPages) override;
    // IPersistStream (answered only when the filter keeps settings; KitPersist.cpp)
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* pStm) override;
    STDMETHODIMP Save(IStream* pStm, BOOL fClearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* pcbSize) override;

    // Called once after construction: add pins and pages here.
    virtual HRESULT Init() { return S_OK; }

    // The filter lock: state changes, connections and settings.
    CKitCritSec& FilterLock() { return m_csFilter; }
    // Read without the lock by streaming threads; changes only under it.
    FILTER_STATE State() const { return m_state; }
    const CKitFaults& Faults() const { return m_faults; }
    bool HidesInterface(const wchar_t* pszInterface) const;
    const std::wstring& FaultName() const { return m_faultName; }
    ULONG PinCount() const { return static_cast<ULONG>(m_rgPins.size()); }
    CKitPin* Pin(ULONG i) const { return i < m_rgPins.size() ? m_rgPins[i] : nullptr; }
    // The clock and the stream start of the last Run (0 before).
    HRESULT GetClock(IReferenceClock** ppClock);
    REFERENCE_TIME StartTime();
    // Queues an event through the graph's IMediaEventSink; safe on a
    // streaming thread, since it does not take the filter lock.
    HRESULT NotifyEvent(long nCode, LONG_PTR lParam1, LONG_PTR lParam2);

    // Pin hooks, called by the kit's pins with the pin that asks.
    virtual HRESULT CheckMediaType(CKitPin* pPin, const AM_MEDIA_TYPE* pmt);
    // VFW_S_NO_MORE_ITEMS past the last type.
    virtual HRESULT GetMediaType(CKitPin* pPin, ULONG iPosition, CMediaType* pmt);
    virtual HRESULT CompleteConnect(CKitPin* pPin, IPin* pPeer);
    virtual void BreakConnect(CKitPin* pPin);
    // Sets the allocator's properties for an output pin (SetProperties).
    virtual HRESULT DecideBufferSize(CKitOutputPin* pPin, IMemAllocator* pAlloc,
                                     ALLOCATOR_PROPERTIES* pRequest);
    // Streaming hooks of input pins, on the upstream filter's thread, with
    // the pin's streaming lock held (not the filter lock).
    virtual HRESULT Receive(CKitInputPin* pPin, IMediaSample* pSample);
    virtual HRESULT EndOfStream(CKitInputPin* pPin);
    virtual HRESULT BeginFlush(CKitInputPin* pPin);
    virtual HRESULT EndFlush(CKitInputPin* pPin);
    virtual HRESULT NewSegment(CKitInputPin* pPin, REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                               double dRate);

protected:
    // pszFaultName names the filter's fault switches (normally its friendly
    // name); they are read here, once.
    CKitFilter(const wchar_t* pszFaultName, REFCLSID clsid);
    virtual ~CKitFilter();

    // The interface for riid or null; a derived filter answers its own and
    // then asks its base (use KIT_INTERFACE).
    virtual void* GetInterface(REFIID riid);

    // The filter takes ownership; returns null (and deletes the pin) when
    // the fault switch "NoPin:<name>" leaves it out.
    template <class TPin>
    TPin* AddPin(TPin* pPin)
    {
        return static_cast<TPin*>(AddPinImpl(pPin));
    }
    CKitInputPin* AddInputPin(const wchar_t* pszName);
    CKitOutputPin* AddOutputPin(const wchar_t* pszName);
    void AddPropertyPage(REFCLSID clsidPage) { m_rgPages.push_back(clsidPage); }
    // A filter with settings to keep in a saved graph calls this in Init(),
    // once its defaults are set: they are what IsDirty compares against until
    // the first Save or Load. The record (KitPersist.h) carries dwTag and
    // wVersion; Load refuses any other.
    void KeepSettings(DWORD dwTag, WORD wVersion);

    // Settings hooks, called under the filter lock. LoadSettings reads every
    // value, calls reader.Finish(), checks the values by the rules of the
    // filter's setters, and changes nothing unless all of them pass.
    virtual void SaveSettings(CKitSettingsWriter&) {}
    virtual HRESULT LoadSettings(CKitSettingsReader&) { return E_NOTIMPL; }

    // State hooks, under the filter lock, after the pins have changed state.
    virtual HRESULT OnActive() { return S_OK; }           // stopped -> paused
    virtual HRESULT OnInactive() { return S_OK; }         // -> stopped
    virtual HRESULT OnRun(REFERENCE_TIME) { return S_OK; } // -> running
    virtual HRESULT OnPause() { return S_OK; }            // running -> paused
    // What GetState returns; a live source answers VFW_S_CANT_CUE when paused.
    virtual HRESULT GetStateResult(FILTER_STATE) { return S_OK; }

private:
    CKitPin* AddPinImpl(CKitPin* pPin);
    void DeactivatePins();
    std::vector<BYTE> SettingsRecord();
    HRESULT ReadSettingsRecord(IStream* pStm, WORD* pwVersion, std::vector<BYTE>* pValues);

    LONG m_cRef;
    CLSID m_clsid;
    std::wstring m_faultName;
    CKitFaults m_faults;
    CKitCritSec m_csFilter;
    std::atomic<FILTER_STATE> m_state; // read by streaming threads
    // What streaming threads read: a lock of its own, so that they never wait
    // for the filter lock that a state change holds while it waits for them.
    CKitCritSec m_csShared;
    REFERENCE_TIME m_tStart;
    CComPtr<IReferenceClock> m_spClock;
    // The graph holds the filter; the filter holds no reference on the graph,
    // to avoid a cycle.
    IFilterGraph* m_pGraph;
    std::wstring m_name;
    std::vector<CKitPin*> m_rgPins;
    std::vector<CLSID> m_rgPages;
    // The settings record's tag (0: the filter keeps none) and version, and
    // the record as last saved or loaded.
    DWORD m_dwSettingsTag;
    WORD m_wSettingsVersion;
    std::vector<BYTE> m_cleanSettings;
};
