#include "KitPin.h"

#include "KitEnum.h"

#include <cwchar>

CKitPin::CKitPin(CKitFilter* pFilter, const wchar_t* pszName, PIN_DIRECTION dir)
    : m_pFilter(pFilter), m_name(pszName), m_dir(dir)
{
}

CKitPin::~CKitPin() {}

STDMETHODIMP CKitPin::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = GetInterface(riid);
    if (*ppv == nullptr)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// The filter owns its pins; a reference on a pin keeps the filter alive.
STDMETHODIMP_(ULONG) CKitPin::AddRef()
{
    return m_pFilter->AddRef();
}

STDMETHODIMP_(ULONG) CKitPin::Release()
{
    return m_pFilter->Release();
}

void* CKitPin::GetInterface(REFIID riid)
{
    if (riid == IID_IUnknown || riid == __uuidof(IPin))
        return static_cast<IPin*>(this);
    return nullptr;
}

STDMETHODIMP CKitPin::Connect(IPin*, const AM_MEDIA_TYPE*)
{
    return E_UNEXPECTED;
}

STDMETHODIMP CKitPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*)
{
    return E_UNEXPECTED;
}

STDMETHODIMP CKitPin::Disconnect()
{
    CKitAutoLock lock(m_pFilter->FilterLock());
    if (m_pFilter->State() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (m_spPeer == nullptr)
        return S_FALSE;
    ClearConnection();
    return S_OK;
}

void CKitPin::ClearConnection()
{
    BreakConnect();
    m_spPeer.Release();
    m_mt.Clear();
}

STDMETHODIMP CKitPin::ConnectedTo(IPin** ppPin)
{
    if (ppPin == nullptr)
        return E_POINTER;
    CKitAutoLock lock(m_pFilter->FilterLock());
    *ppPin = m_spPeer;
    if (*ppPin == nullptr)
        return VFW_E_NOT_CONNECTED;
    (*ppPin)->AddRef();
    return S_OK;
}

STDMETHODIMP CKitPin::ConnectionMediaType(AM_MEDIA_TYPE* pmt)
{
    if (pmt == nullptr)
        return E_POINTER;
    CKitAutoLock lock(m_pFilter->FilterLock());
    if (m_spPeer == nullptr)
    {
        memset(pmt, 0, sizeof(*pmt));
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(pmt, &m_mt);
}

STDMETHODIMP CKitPin::QueryPinInfo(PIN_INFO* pInfo)
{
    if (pInfo == nullptr)
        return E_POINTER;
    pInfo->pFilter = m_pFilter;
    m_pFilter->AddRef();
    pInfo->dir = m_dir;
    wcsncpy(pInfo->achName, m_name.c_str(), MAX_PIN_NAME - 1);
    pInfo->achName[MAX_PIN_NAME - 1] = 0;
    return S_OK;
}

STDMETHODIMP CKitPin::QueryDirection(PIN_DIRECTION* pPinDir)
{
    if (pPinDir == nullptr)
        return E_POINTER;
    *pPinDir = m_dir;
    return S_OK;
}

STDMETHODIMP CKitPin::QueryId(LPWSTR* pszId)
{
    if (pszId == nullptr)
        return E_POINTER;
    size_t cb = (m_name.size() + 1) * sizeof(wchar_t);
    *pszId = static_cast<LPWSTR>(::CoTaskMemAlloc(cb));
    if (*pszId == nullptr)
        return E_OUTOFMEMORY;
    memcpy(*pszId, m_name.c_str(), cb);
    return S_OK;
}

STDMETHODIMP CKitPin::QueryAccept(const AM_MEDIA_TYPE* pmt)
{
    if (pmt == nullptr)
        return E_POINTER;
    return CheckMediaType(pmt) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CKitPin::EnumMediaTypes(IEnumMediaTypes** ppEnum)
{
    return CKitEnumMediaTypes::Create(this, ppEnum);
}

STDMETHODIMP CKitPin::QueryInternalConnections(IPin**, ULONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CKitPin::EndOfStream()
{
    return E_UNEXPECTED;
}

STDMETHODIMP CKitPin::BeginFlush()
{
    return E_UNEXPECTED;
}

STDMETHODIMP CKitPin::EndFlush()
{
    return E_UNEXPECTED;
}

STDMETHODIMP CKitPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double)
{
    return E_UNEXPECTED;
}

HRESULT CKitPin::CheckMediaType(const AM_MEDIA_TYPE* pmt)
{
    return m_pFilter->CheckMediaType(this, pmt);
}

HRESULT CKitPin::GetMediaType(ULONG iPosition, CMediaType* pmt)
{
    return m_pFilter->GetMediaType(this, iPosition, pmt);
}

HRESULT CKitPin::CompleteConnect(IPin* pPeer)
{
    return m_pFilter->CompleteConnect(this, pPeer);
}

void CKitPin::BreakConnect()
{
    m_pFilter->BreakConnect(this);
}

CKitInputPin::CKitInputPin(CKitFilter* pFilter, const wchar_t* pszName)
    : CKitPin(pFilter, pszName, PINDIR_INPUT), m_bFlushing(false), m_bEndOfStream(false),
      m_tSegmentStart(0), m_tSegmentStop(MAXLONGLONG), m_dSegmentRate(1.0)
{
}

void* CKitInputPin::GetInterface(REFIID riid)
{
    if (riid == __uuidof(IMemInputPin))
        return static_cast<IMemInputPin*>(this);
    return CKitPin::GetInterface(riid);
}

STDMETHODIMP CKitInputPin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt)
{
    if (pConnector == nullptr || pmt == nullptr)
        return E_POINTER;
    CKitAutoLock lock(m_pFilter->FilterLock());
    if (m_spPeer != nullptr)
        return VFW_E_ALREADY_CONNECTED;
    if (m_pFilter->State() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    PIN_DIRECTION dir = PINDIR_INPUT;
    pConnector->QueryDirection(&dir);
    if (dir != PINDIR_OUTPUT)
        return VFW_E_INVALID_DIRECTION;
    if (CheckMediaType(pmt) != S_OK)
        return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = m_mt.Set(pmt);
    if (FAILED(hr))
        return hr;
    m_spPeer = pConnector;
    if (FAILED(hr = CompleteConnect(pConnector)))
    {
        ClearConnection();
        return hr;
    }
    return S_OK;
}

void CKitInputPin::BreakConnect()
{
    m_spAllocator.Release();
    CKitPin::BreakConnect();
}

HRESULT CKitInputPin::Active()
{
    m_bFlushing = false;
    m_bEndOfStream = false;
    return S_OK;
}

HRESULT CKitInputPin::Inactive()
{
    m_bEndOfStream = false;
    // Wakes an upstream thread that waits for one of our buffers, then waits
    // for a Receive in progress.
    if (m_spAllocator != nullptr)
        m_spAllocator->Decommit();
    CKitAutoLock lock(m_csReceive);
    return S_OK;
}

STDMETHODIMP CKitInputPin::EndOfStream()
{
    CKitAutoLock lock(m_csReceive);
    if (m_bFlushing)
        return S_OK;
    if (m_pFilter->State() == State_Stopped)
        return VFW_E_WRONG_STATE;
    m_bEndOfStream = true;
    return m_pFilter->EndOfStream(this);
}

STDMETHODIMP CKitInputPin::BeginFlush()
{
    CKitAutoLock lock(m_pFilter->FilterLock());
    m_bFlushing = true;
    // The filter passes the flush on first, so that a Receive blocked
    // downstream returns and releases the streaming lock.
    return m_pFilter->BeginFlush(this);
}

STDMETHODIMP CKitInputPin::EndFlush()
{
    CKitAutoLock lock(m_pFilter->FilterLock());
    m_bEndOfStream = false;
    HRESULT hr = m_pFilter->EndFlush(this);
    m_bFlushing = false;
    return hr;
}

STDMETHODIMP CKitInputPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    CKitAutoLock lock(m_csReceive);
    m_tSegmentStart = tStart;
    m_tSegmentStop = tStop;
    m_dSegmentRate = dRate;
    return m_pFilter->NewSegment(this, tStart, tStop, dRate);
}

STDMETHODIMP CKitInputPin::GetAllocator(IMemAllocator** ppAllocator)
{
    if (ppAllocator == nullptr)
        return E_POINTER;
    *ppAllocator = nullptr;
    CKitAutoLock lock(m_pFilter->FilterLock());
    if (m_spAllocator == nullptr)
    {
        HRESULT hr = m_spAllocator.CoCreateInstance(CLSID_MemoryAllocator, nullptr,
                                                    CLSCTX_INPROC_SERVER);
        if (FAILED(hr))
            return hr;
    }
    return m_spAllocator.CopyTo(ppAllocator);
}

STDMETHODIMP CKitInputPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly)
{
    if (pAllocator == nullptr)
        return E_POINTER;
    (void)bReadOnly;
    CKitAutoLock lock(m_pFilter->FilterLock());
    m_spAllocator = pAllocator;
    return S_OK;
}

STDMETHODIMP CKitInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CKitInputPin::Receive(IMediaSample* pSample)
{
    if (pSample == nullptr)
        return E_POINTER;
    CKitAutoLock lock(m_csReceive);
    if (m_bFlushing)
        return S_FALSE;
    if (m_pFilter->State() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (m_bEndOfStream)
        return VFW_E_SAMPLE_REJECTED_EOS;
    return m_pFilter->Receive(this, pSample);
}

STDMETHODIMP CKitInputPin::ReceiveMultiple(IMediaSample** pSamples, long nSamples,
                                           long* nSamplesProcessed)
{
    if (pSamples == nullptr || nSamplesProcessed == nullptr)
        return E_POINTER;
    *nSamplesProcessed = 0;
    HRESULT hr = S_OK;
    while (*nSamplesProcessed < nSamples)
    {
        if ((hr = Receive(pSamples[*nSamplesProcessed])) != S_OK)
            break;
        ++*nSamplesProcessed;
    }
    return hr;
}

STDMETHODIMP CKitInputPin::ReceiveCanBlock()
{
    return S_FALSE;
}
