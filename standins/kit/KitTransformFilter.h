// The kit's transform: one input and one output pin. The output offers its
// types only once the input is connected, passes seeking upstream, and every
// streaming call goes on downstream after the filter has had its say.
#pragma once

#include "KitOutputPin.h"
#include "KitSeeking.h"

class CKitTransformFilter;

class CKitTransformOutputPin : public CKitOutputPin, public CKitSeekingForwarder
{
public:
    CKitTransformOutputPin(CKitTransformFilter* pFilter, const wchar_t* pszName);

    KIT_DECLARE_IUNKNOWN(CKitPin)

protected:
    void* GetInterface(REFIID riid) override;
    void GetSeekingInputs(std::vector<CKitInputPin*>& rgPins) override;

private:
    CKitTransformFilter* m_pTransform;
};

class CKitTransformFilter : public CKitFilter
{
public:
    HRESULT Init() override;

    CKitInputPin* InputPin() const { return m_pInput; }
    CKitTransformOutputPin* OutputPin() const { return m_pOutput; }

    HRESULT CheckMediaType(CKitPin* pPin, const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(CKitPin* pPin, ULONG iPosition, CMediaType* pmt) override;
    HRESULT DecideBufferSize(CKitOutputPin* pPin, IMemAllocator* pAlloc,
                             ALLOCATOR_PROPERTIES* pRequest) override;
    HRESULT Receive(CKitInputPin* pPin, IMediaSample* pSample) override;
    HRESULT EndOfStream(CKitInputPin* pPin) override;
    HRESULT BeginFlush(CKitInputPin* pPin) override;
    HRESULT EndFlush(CKitInputPin* pPin) override;
    HRESULT NewSegment(CKitInputPin* pPin, REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                       double dRate) override;

    // Copies times and flags of a sample to another.
    static void CopySampleProps(IMediaSample* pFrom, IMediaSample* pTo);

protected:
    CKitTransformFilter(const wchar_t* pszFaultName, REFCLSID clsid,
                        const wchar_t* pszInputName = L"Input",
                        const wchar_t* pszOutputName = L"Output");

    // What the filter is about.
    virtual HRESULT CheckInputType(const AM_MEDIA_TYPE* pmt) = 0;
    // The output types for the connected input type; VFW_S_NO_MORE_ITEMS past
    // the last one.
    virtual HRESULT GetOutputType(ULONG iPosition, CMediaType* pmt) = 0;
    // By default, any type that GetOutputType lists.
    virtual HRESULT CheckOutputType(const AM_MEDIA_TYPE* pmt);
    // Fills cBuffers and cbBuffer for the output allocator.
    virtual HRESULT GetOutputBufferSize(ALLOCATOR_PROPERTIES* pRequest) = 0;
    // One input sample; by default one output sample made by Transform(),
    // which answers S_FALSE when there is nothing to deliver.
    virtual HRESULT ProcessSample(IMediaSample* pIn);
    virtual HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut);
    // Before the end of stream goes on downstream (deliver what is held back).
    virtual HRESULT OnEndOfStream() { return S_OK; }
    // The stream starts anew (activation, flush): drop what is held back.
    virtual void OnStreamReset() {}

    HRESULT OnActive() override;

private:
    const wchar_t* m_pszInputName;
    const wchar_t* m_pszOutputName;
    CKitInputPin* m_pInput;
    CKitTransformOutputPin* m_pOutput;
};
