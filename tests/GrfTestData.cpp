#include "tests/GrfTestData.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <cstring>

#include "atlbase.h"

#include "tests/support/SavedGraphs.h"


std::wstring GrfFixturePath(const wchar_t* pszFile)
{
    return FixtureFolder() + pszFile;
}

HRESULT ReadGraphStream(const std::wstring& file, std::vector<uint8_t>* pBytes)
{
    pBytes->clear();
    CComPtr<IStorage> spStorage;
    HRESULT hr = ::StgOpenStorage(file.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, &spStorage);
    if (FAILED(hr))
        return hr;
    CComPtr<IStream> spStream;
    hr = spStorage->OpenStream(L"ActiveMovieGraph", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &spStream);
    if (FAILED(hr))
        return hr;
    STATSTG stat = {};
    hr = spStream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr))
        return hr;
    std::vector<uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    ULONG cbRead = 0;
    hr = spStream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &cbRead);
    if (FAILED(hr))
        return hr;
    if (cbRead != bytes.size())
        return E_FAIL;
    *pBytes = std::move(bytes);
    return S_OK;
}

std::vector<std::wstring> GrfCorpusFiles()
{
    return CorpusFiles(GRF_CORPUS_DIR);
}

std::vector<uint8_t> Utf16(const std::string& text)
{
    std::vector<uint8_t> bytes;
    for (char ch : text)
    {
        bytes.push_back(static_cast<uint8_t>(ch));
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<uint8_t>& operator+=(std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

grf::Guid ToGrfGuid(REFGUID guid)
{
    grf::Guid out;
    out.Data1 = guid.Data1;
    out.Data2 = guid.Data2;
    out.Data3 = guid.Data3;
    std::memcpy(out.Data4, guid.Data4, sizeof(out.Data4));
    return out;
}

grf::Guid GuidFromText(const wchar_t* pszGuid)
{
    CLSID clsid = {};
    if (FAILED(::CLSIDFromString(pszGuid, &clsid)))
        ADD_FAILURE() << "not a GUID: " << pszGuid;
    return ToGrfGuid(clsid);
}
