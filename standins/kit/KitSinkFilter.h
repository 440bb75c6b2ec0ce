// The kit's sink: a filter with input pins only that counts as a renderer
// (IAMFilterMiscFlags), passes seeking upstream (IMediaSeeking at filter
// level) and signals EC_COMPLETE once every connected input has reached the
// end of its stream while the graph runs.
#pragma once

#include "KitSeeking.h"

class CKitSinkFilter : public CKitFilter, public IAMFilterMiscFlags, public CKitSeekingForwarder
{
public:
    KIT_DECLARE_IUNKNOWN(CKitFilter)
    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override;
    // IMediaFilter: a sink that is already at the end when the graph runs
    // (again) signals completion again, as the graph counts anew.
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;

    HRESULT EndOfStream(CKitInputPin* pPin) override;
    HRESULT EndFlush(CKitInputPin* pPin) override;

protected:
    CKitSinkFilter(const wchar_t* pszFaultName, REFCLSID clsid);

    void* GetInterface(REFIID riid) override;
    void GetSeekingInputs(std::vector<CKitInputPin*>& rgPins) override;

    // Hooks for the sink's own work, on the streaming thread.
    virtual HRESULT OnEndOfStream(CKitInputPin*) { return S_OK; }
    virtual HRESULT OnEndFlush(CKitInputPin*) { return S_OK; }

private:
    void CheckComplete();

    CKitCritSec m_csComplete;
    bool m_bCompleteSent;
};
