#include "KitEnum.h"

#include "KitPin.h"

HRESULT CKitEnumPins::Create(CKitFilter* pFilter, ULONG iPosition, IEnumPins** ppEnum)
{
    if (ppEnum == nullptr)
        return E_POINTER;
    *ppEnum = new (std::nothrow) CKitEnumPins(pFilter, iPosition);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

CKitEnumPins::CKitEnumPins(CKitFilter* pFilter, ULONG iPosition)
    : m_cRef(1), m_spFilter(pFilter), m_pFilter(pFilter), m_iPosition(iPosition)
{
    KitObjectCreated();
}

CKitEnumPins::~CKitEnumPins()
{
    KitObjectDestroyed();
}

STDMETHODIMP CKitEnumPins::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == __uuidof(IEnumPins))
    {
        *ppv = static_cast<IEnumPins*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CKitEnumPins::AddRef()
{
    return ::InterlockedIncrement(&m_cRef);
}

STDMETHODIMP_(ULONG) CKitEnumPins::Release()
{
    LONG cRef = ::InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return cRef;
}

// A filter's pins are fixed after Init(), so the position is all the state.
STDMETHODIMP CKitEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched)
{
    if (ppPins == nullptr)
        return E_POINTER;
    if (cPins > 1 && pcFetched == nullptr)
        return E_INVALIDARG;
    ULONG cFetched = 0;
    while (cFetched < cPins && m_iPosition < m_pFilter->PinCount())
    {
        CKitPin* pPin = m_pFilter->Pin(m_iPosition++);
        pPin->AddRef();
        ppPins[cFetched++] = pPin;
    }
    if (pcFetched != nullptr)
        *pcFetched = cFetched;
    return cFetched == cPins ? S_OK : S_FALSE;
}

STDMETHODIMP CKitEnumPins::Skip(ULONG cPins)
{
    ULONG cPinCount = m_pFilter->PinCount();
    if (m_iPosition + cPins > cPinCount)
    {
        m_iPosition = cPinCount;
        return S_FALSE;
    }
    m_iPosition += cPins;
    return S_OK;
}

STDMETHODIMP CKitEnumPins::Reset()
{
    m_iPosition = 0;
    return S_OK;
}

STDMETHODIMP CKitEnumPins::Clone(IEnumPins** ppEnum)
{
    return Create(m_pFilter, m_iPosition, ppEnum);
}

HRESULT CKitEnumMediaTypes::Create(CKitPin* pPin, IEnumMediaTypes** ppEnum)
{
    if (ppEnum == nullptr)
        return E_POINTER;
    CKitEnumMediaTypes* pEnum = new (std::nothrow) CKitEnumMediaTypes(pPin);
    if (pEnum == nullptr)
        return E_OUTOFMEMORY;
    CMediaType mt;
    for (ULONG i = 0; pPin->GetMediaType(i, &mt) == S_OK; ++i)
    {
        pEnum->m_rgTypes.push_back(mt);
        mt.Clear();
    }
    *ppEnum = pEnum;
    return S_OK;
}

CKitEnumMediaTypes::CKitEnumMediaTypes(IPin* pPin) : m_cRef(1), m_spPin(pPin), m_iPosition(0)
{
    KitObjectCreated();
}

CKitEnumMediaTypes::~CKitEnumMediaTypes()
{
    KitObjectDestroyed();
}

STDMETHODIMP CKitEnumMediaTypes::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == __uuidof(IEnumMediaTypes))
    {
        *ppv = static_cast<IEnumMediaTypes*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CKitEnumMediaTypes::AddRef()
{
    return ::InterlockedIncrement(&m_cRef);
}

STDMETHODIMP_(ULONG) CKitEnumMediaTypes::Release()
{
    LONG cRef = ::InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return cRef;
}

STDMETHODIMP CKitEnumMediaTypes::Next(ULONG cTypes, AM_MEDIA_TYPE** ppTypes, ULONG* pcFetched)
{
    if (ppTypes == nullptr)
        return E_POINTER;
    if (cTypes > 1 && pcFetched == nullptr)
        return E_INVALIDARG;
    ULONG cFetched = 0;
    while (cFetched < cTypes && m_iPosition < m_rgTypes.size())
    {
        AM_MEDIA_TYPE* pmt = CreateMediaType(&m_rgTypes[m_iPosition]);
        if (pmt == nullptr)
        {
            while (cFetched > 0)
                DeleteMediaType(ppTypes[--cFetched]);
            return E_OUTOFMEMORY;
        }
        ppTypes[cFetched++] = pmt;
        ++m_iPosition;
    }
    if (pcFetched != nullptr)
        *pcFetched = cFetched;
    return cFetched == cTypes ? S_OK : S_FALSE;
}

STDMETHODIMP CKitEnumMediaTypes::Skip(ULONG cTypes)
{
    if (m_iPosition + cTypes > m_rgTypes.size())
    {
        m_iPosition = static_cast<ULONG>(m_rgTypes.size());
        return S_FALSE;
    }
    m_iPosition += cTypes;
    return S_OK;
}

STDMETHODIMP CKitEnumMediaTypes::Reset()
{
    m_iPosition = 0;
    return S_OK;
}

STDMETHODIMP CKitEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum)
{
    if (ppEnum == nullptr)
        return E_POINTER;
    CKitEnumMediaTypes* pEnum = new (std::nothrow) CKitEnumMediaTypes(m_spPin);
    if (pEnum == nullptr)
        return E_OUTOFMEMORY;
    pEnum->m_rgTypes = m_rgTypes;
    pEnum->m_iPosition = m_iPosition;
    *ppEnum = pEnum;
    return S_OK;
}
