#include "CodecLibrary.h"

std::wstring WidenLibraryText(const char* psz)
{
    std::wstring text;
    for (; psz != nullptr && *psz != '\0'; ++psz)
        text += static_cast<wchar_t>(static_cast<unsigned char>(*psz));
    return text;
}

HRESULT CopyLibraryStrings(const std::wstring& version, const std::wstring& error,
                           BSTR* pbstrVersion, BSTR* pbstrError)
{
    if (pbstrVersion == nullptr || pbstrError == nullptr)
        return E_POINTER;
    *pbstrVersion = ::SysAllocString(version.c_str());
    *pbstrError = ::SysAllocString(error.c_str());
    if (*pbstrVersion == nullptr || *pbstrError == nullptr)
    {
        ::SysFreeString(*pbstrVersion);
        ::SysFreeString(*pbstrError);
        *pbstrVersion = *pbstrError = nullptr;
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
