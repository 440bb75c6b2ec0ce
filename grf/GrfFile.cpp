#include "GrfFile.h"

#include <vector>

#include "atlbase.h"

#include "grf/GrfWriter.h"

namespace grf {

const wchar_t c_szStreamName[] = L"ActiveMovieGraph";

namespace {

// Far beyond any graph a person composes; a larger stream is refused before
// it is read rather than allocated.
const ULONGLONG c_cbMaxStream = 64ull << 20;

const DWORD c_grfOpenMode = STGM_READ | STGM_SHARE_EXCLUSIVE;

} // namespace

HRESULT ReadGraphStream(IStream* pStream, Graph* pGraph, ReadError* pError)
{
    if (pStream == nullptr || pGraph == nullptr)
        return E_POINTER;
    *pGraph = Graph();

    STATSTG stat = {};
    HRESULT hr = pStream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr))
        return hr;
    if (stat.cbSize.QuadPart > c_cbMaxStream)
    {
        if (pError != nullptr)
            *pError = ReadError{0, "stream larger than any saved graph"};
        return kInvalidFormat;
    }

    std::vector<uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    ULONG cbRead = 0;
    if (!bytes.empty())
    {
        hr = pStream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &cbRead);
        if (FAILED(hr))
            return hr;
    }
    // A stream shorter than its size says is read as far as it goes.
    return ReadStream(bytes.data(), cbRead, pGraph, pError);
}

HRESULT ReadGrfFile(LPCWSTR pszFile, Graph* pGraph, ReadError* pError)
{
    if (pszFile == nullptr || pGraph == nullptr)
        return E_POINTER;
    *pGraph = Graph();
    CComPtr<IStorage> spStorage;
    HRESULT hr = ::StgOpenStorage(pszFile, nullptr, c_grfOpenMode, nullptr, 0, &spStorage);
    if (FAILED(hr))
        return hr;
    CComPtr<IStream> spStream;
    hr = spStorage->OpenStream(c_szStreamName, nullptr, c_grfOpenMode, 0, &spStream);
    if (FAILED(hr))
        return hr;
    return ReadGraphStream(spStream, pGraph, pError);
}

HRESULT WriteGrfFile(LPCWSTR pszFile, const Graph& graph)
{
    if (pszFile == nullptr)
        return E_POINTER;
    std::vector<uint8_t> bytes;
    HRESULT hr = WriteStream(graph, &bytes);
    if (FAILED(hr))
        return hr;

    // Written beside the target first, so that a failed save leaves the old
    // file as it was.
    std::wstring tempFile = std::wstring(pszFile) + L".saving";
    {
        CComPtr<IStorage> spStorage;
        hr = ::StgCreateDocfile(tempFile.c_str(),
                                STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT, 0,
                                &spStorage);
        if (FAILED(hr))
            return hr;
        CComPtr<IStream> spStream;
        hr = spStorage->CreateStream(c_szStreamName, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                     &spStream);
        ULONG cbWritten = 0;
        if (SUCCEEDED(hr))
            hr = spStream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &cbWritten);
        if (SUCCEEDED(hr) && cbWritten != bytes.size())
            hr = STG_E_MEDIUMFULL;
        if (SUCCEEDED(hr))
            hr = spStorage->Commit(STGC_DEFAULT);
    }
    if (SUCCEEDED(hr) && !::MoveFileExW(tempFile.c_str(), pszFile, MOVEFILE_REPLACE_EXISTING))
        hr = HRESULT_FROM_WIN32(::GetLastError());
    if (FAILED(hr))
        ::DeleteFileW(tempFile.c_str());
    return hr;
}

} // namespace grf
