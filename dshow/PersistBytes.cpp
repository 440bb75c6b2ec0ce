#include "PersistBytes.h"

#include "atlbase.h"

HRESULT SavePersistBytes(IUnknown* pUnk, std::vector<uint8_t>* pBytes, BOOL fClearDirty)
{
    if (pUnk == nullptr || pBytes == nullptr)
        return E_POINTER;
    pBytes->clear();
    CComQIPtr<IPersistStream> spPersist(pUnk);
    if (spPersist == nullptr)
        return E_NOINTERFACE;
    CComPtr<IStream> spStream;
    HRESULT hr = ::CreateStreamOnHGlobal(nullptr, TRUE, &spStream);
    if (FAILED(hr) || FAILED(hr = spPersist->Save(spStream, fClearDirty)))
        return hr;
    LARGE_INTEGER liZero = {};
    ULARGE_INTEGER uliEnd = {};
    if (FAILED(hr = spStream->Seek(liZero, STREAM_SEEK_CUR, &uliEnd)) ||
        FAILED(hr = spStream->Seek(liZero, STREAM_SEEK_SET, nullptr)))
        return hr;
    pBytes->resize(static_cast<size_t>(uliEnd.QuadPart));
    if (pBytes->empty())
        return S_OK;
    ULONG cbRead = 0;
    hr = spStream->Read(pBytes->data(), static_cast<ULONG>(pBytes->size()), &cbRead);
    if (SUCCEEDED(hr) && cbRead != pBytes->size())
        hr = E_UNEXPECTED;
    if (FAILED(hr))
        pBytes->clear();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT LoadPersistBytes(IUnknown* pUnk, const std::vector<uint8_t>& bytes)
{
    if (pUnk == nullptr)
        return E_POINTER;
    CComQIPtr<IPersistStream> spPersist(pUnk);
    if (spPersist == nullptr)
        return E_NOINTERFACE;
    CComPtr<IStream> spStream;
    HRESULT hr = ::CreateStreamOnHGlobal(nullptr, TRUE, &spStream);
    if (FAILED(hr))
        return hr;
    ULONG cbWritten = 0;
    if (!bytes.empty() &&
        FAILED(hr = spStream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &cbWritten)))
        return hr;
    LARGE_INTEGER liZero = {};
    if (FAILED(hr = spStream->Seek(liZero, STREAM_SEEK_SET, nullptr)))
        return hr;
    return spPersist->Load(spStream);
}
