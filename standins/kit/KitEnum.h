// Enumerators of a filter's pins and of a pin's media types. Each holds a
// reference on the filter and takes a snapshot, as the platform's do.
#pragma once

#include "KitFilter.h"

#include <vector>

class CKitEnumPins : public IEnumPins
{
public:
    static HRESULT Create(CKitFilter* pFilter, ULONG iPosition, IEnumPins** ppEnum);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cPins) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** ppEnum) override;

private:
    CKitEnumPins(CKitFilter* pFilter, ULONG iPosition);
    virtual ~CKitEnumPins();

    LONG m_cRef;
    CComPtr<IBaseFilter> m_spFilter;
    CKitFilter* m_pFilter;
    ULONG m_iPosition;
};

class CKitEnumMediaTypes : public IEnumMediaTypes
{
public:
    static HRESULT Create(CKitPin* pPin, IEnumMediaTypes** ppEnum);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Next(ULONG cTypes, AM_MEDIA_TYPE** ppTypes, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cTypes) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** ppEnum) override;

private:
    CKitEnumMediaTypes(IPin* pPin);
    virtual ~CKitEnumMediaTypes();

    LONG m_cRef;
    CComPtr<IPin> m_spPin;
    std::vector<CMediaType> m_rgTypes;
    ULONG m_iPosition;
};
