#include "KitFilter.h"

#include "KitEnum.h"
#include "KitOutputPin.h"

#include <cwchar>

CKitFilter::CKitFilter(const wchar_t* pszFaultName, REFCLSID clsid)
    : m_cRef(0), m_clsid(clsid), m_faultName(pszFaultName), m_state(State_Stopped), m_tStart(0),
      m_pGraph(nullptr), m_dwSettingsTag(0), m_wSettingsVersion(0)
{
    m_faults.Load(pszFaultName);
    KitObjectCreated();
}

CKitFilter::~CKitFilter()
{
    for (CKitPin* pPin : m_rgPins)
        delete pPin;
    KitObjectDestroyed();
}

STDMETHODIMP CKitFilter::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = GetInterface(riid);
    if (*ppv == nullptr)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CKitFilter::AddRef()
{
    return ::InterlockedIncrement(&m_cRef);
}

STDMETHODIMP_(ULONG) CKitFilter::Release()
{
    LONG cRef = ::InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return cRef;
}

void* CKitFilter::GetInterface(REFIID riid)
{
    if (riid == IID_IUnknown)
        return static_cast<IBaseFilter*>(this);
    KIT_INTERFACE(IBaseFilter);
    KIT_INTERFACE(IMediaFilter);
    // IPersistStream derives from IPersist too: hand out IBaseFilter's.
    if (riid == __uuidof(IPersist))
    {
        IBaseFilter* pFilter = this;
        return HidesInterface(L"IPersist") ? nullptr : static_cast<IPersist*>(pFilter);
    }
    if (riid == __uuidof(ISpecifyPropertyPages) && m_rgPages.empty())
        return nullptr;
    KIT_INTERFACE(ISpecifyPropertyPages);
    if (riid == __uuidof(IPersistStream) && m_dwSettingsTag == 0)
        return nullptr;
    KIT_INTERFACE(IPersistStream);
    return nullptr;
}

bool CKitFilter::HidesInterface(const wchar_t* pszInterface) const
{
    return m_faults.HidesInterface(pszInterface);
}

CKitPin* CKitFilter::AddPinImpl(CKitPin* pPin)
{
    if (pPin == nullptr)
        return nullptr;
    if (m_faults.HidesPin(pPin->Name()))
    {
        delete pPin;
        return nullptr;
    }
    m_rgPins.push_back(pPin);
    return pPin;
}

CKitInputPin* CKitFilter::AddInputPin(const wchar_t* pszName)
{
    return AddPin(new (std::nothrow) CKitInputPin(this, pszName));
}

CKitOutputPin* CKitFilter::AddOutputPin(const wchar_t* pszName)
{
    return AddPin(new (std::nothrow) CKitOutputPin(this, pszName));
}

STDMETHODIMP CKitFilter::GetClassID(CLSID* pClsid)
{
    if (pClsid == nullptr)
        return E_POINTER;
    KIT_FAULT(L"GetClassID");
    *pClsid = m_clsid;
    return S_OK;
}

void CKitFilter::DeactivatePins()
{
    for (CKitPin* pPin : m_rgPins)
        pPin->Inactive();
}

STDMETHODIMP CKitFilter::Stop()
{
    CKitAutoLock lock(m_csFilter);
    if (m_state == State_Stopped)
        return S_OK;
    // Streaming calls check the state first, so that none starts anew while
    // the pins wait for the ones in progress.
    m_state = State_Stopped;
    DeactivatePins();
    return OnInactive();
}

STDMETHODIMP CKitFilter::Pause()
{
    CKitAutoLock lock(m_csFilter);
    if (m_state == State_Paused)
        return S_OK;
    if (m_state == State_Running)
    {
        m_state = State_Paused;
        for (CKitPin* pPin : m_rgPins)
            pPin->Pause();
        return OnPause();
    }
    HRESULT hr = S_OK;
    for (CKitPin* pPin : m_rgPins)
    {
        if (FAILED(hr = pPin->Active()))
            break;
    }
    if (SUCCEEDED(hr))
        hr = OnActive();
    if (FAILED(hr))
    {
        DeactivatePins();
        return hr;
    }
    m_state = State_Paused;
    return S_OK;
}

STDMETHODIMP CKitFilter::Run(REFERENCE_TIME tStart)
{
    CKitAutoLock lock(m_csFilter);
    if (m_state == State_Running)
        return S_OK;
    HRESULT hr;
    if (m_state == State_Stopped && FAILED(hr = Pause()))
        return hr;
    {
        CKitAutoLock lockShared(m_csShared);
        m_tStart = tStart;
    }
    m_state = State_Running;
    for (CKitPin* pPin : m_rgPins)
        pPin->Run(tStart);
    return OnRun(tStart);
}

STDMETHODIMP CKitFilter::GetState(DWORD, FILTER_STATE* pState)
{
    if (pState == nullptr)
        return E_POINTER;
    CKitAutoLock lock(m_csFilter);
    *pState = m_state;
    return GetStateResult(m_state);
}

STDMETHODIMP CKitFilter::SetSyncSource(IReferenceClock* pClock)
{
    CKitAutoLock lock(m_csFilter);
    CKitAutoLock lockShared(m_csShared);
    m_spClock = pClock;
    return S_OK;
}

STDMETHODIMP CKitFilter::GetSyncSource(IReferenceClock** ppClock)
{
    return GetClock(ppClock);
}

HRESULT CKitFilter::GetClock(IReferenceClock** ppClock)
{
    if (ppClock == nullptr)
        return E_POINTER;
    CKitAutoLock lockShared(m_csShared);
    *ppClock = m_spClock;
    if (*ppClock != nullptr)
        (*ppClock)->AddRef();
    return S_OK;
}

REFERENCE_TIME CKitFilter::StartTime()
{
    CKitAutoLock lockShared(m_csShared);
    return m_tStart;
}

STDMETHODIMP CKitFilter::EnumPins(IEnumPins** ppEnum)
{
    return CKitEnumPins::Create(this, 0, ppEnum);
}

STDMETHODIMP CKitFilter::FindPin(LPCWSTR pszId, IPin** ppPin)
{
    if (ppPin == nullptr)
        return E_POINTER;
    *ppPin = nullptr;
    if (pszId == nullptr)
        return E_POINTER;
    for (CKitPin* pPin : m_rgPins)
    {
        if (wcscmp(pPin->Name(), pszId) == 0)
        {
            *ppPin = pPin;
            pPin->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CKitFilter::QueryFilterInfo(FILTER_INFO* pInfo)
{
    if (pInfo == nullptr)
        return E_POINTER;
    CKitAutoLock lockShared(m_csShared);
    wcsncpy(pInfo->achName, m_name.c_str(), MAX_FILTER_NAME - 1);
    pInfo->achName[MAX_FILTER_NAME - 1] = 0;
    pInfo->pGraph = m_pGraph;
    if (pInfo->pGraph != nullptr)
        pInfo->pGraph->AddRef();
    return S_OK;
}

STDMETHODIMP CKitFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pszName)
{
    // Only joining can be switched to fail: a graph that can't take the
    // filter out again would keep it.
    if (pGraph != nullptr)
        KIT_FAULT(L"JoinFilterGraph");
    CKitAutoLock lock(m_csFilter);
    CKitAutoLock lockShared(m_csShared);
    m_pGraph = pGraph;
    m_name = pszName ? pszName : L"";
    return S_OK;
}

STDMETHODIMP CKitFilter::QueryVendorInfo(LPWSTR* ppszVendorInfo)
{
    if (ppszVendorInfo == nullptr)
        return E_POINTER;
    *ppszVendorInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CKitFilter::GetPages(CAUUID* pPages)
{
    if (pPages == nullptr)
        return E_POINTER;
    pPages->cElems = 0;
    pPages->pElems = nullptr;
    if (m_rgPages.empty())
        return S_OK;
    pPages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(m_rgPages.size() * sizeof(GUID)));
    if (pPages->pElems == nullptr)
        return E_OUTOFMEMORY;
    for (size_t i = 0; i < m_rgPages.size(); ++i)
        pPages->pElems[i] = m_rgPages[i];
    pPages->cElems = static_cast<ULONG>(m_rgPages.size());
    return S_OK;
}

HRESULT CKitFilter::NotifyEvent(long nCode, LONG_PTR lParam1, LONG_PTR lParam2)
{
    CComPtr<IMediaEventSink> spSink;
    {
        CKitAutoLock lockShared(m_csShared);
        if (m_pGraph == nullptr)
            return E_UNEXPECTED;
        HRESULT hr = m_pGraph->QueryInterface(__uuidof(IMediaEventSink),
                                              reinterpret_cast<void**>(&spSink));
        if (FAILED(hr))
            return hr;
    }
    return spSink->Notify(nCode, lParam1, lParam2);
}

HRESULT CKitFilter::CheckMediaType(CKitPin*, const AM_MEDIA_TYPE*)
{
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CKitFilter::GetMediaType(CKitPin*, ULONG, CMediaType*)
{
    return VFW_S_NO_MORE_ITEMS;
}

HRESULT CKitFilter::CompleteConnect(CKitPin*, IPin*)
{
    return S_OK;
}

void CKitFilter::BreakConnect(CKitPin*) {}

HRESULT CKitFilter::DecideBufferSize(CKitOutputPin*, IMemAllocator*, ALLOCATOR_PROPERTIES*)
{
    return E_NOTIMPL;
}

HRESULT CKitFilter::Receive(CKitInputPin*, IMediaSample*)
{
    return E_NOTIMPL;
}

HRESULT CKitFilter::EndOfStream(CKitInputPin*)
{
    return S_OK;
}

HRESULT CKitFilter::BeginFlush(CKitInputPin*)
{
    return S_OK;
}

HRESULT CKitFilter::EndFlush(CKitInputPin*)
{
    return S_OK;
}

HRESULT CKitFilter::NewSegment(CKitInputPin*, REFERENCE_TIME, REFERENCE_TIME, double)
{
    return S_OK;
}
