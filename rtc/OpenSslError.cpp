#include "OpenSslError.h"

#include <openssl/err.h>

namespace rtc {

std::string OpenSslFailure(const char* pszWhat)
{
    std::string text = pszWhat;
    unsigned long nError = ERR_get_error();
    if (nError != 0)
    {
        char szError[256];
        ERR_error_string_n(nError, szError, sizeof(szError));
        text += ": ";
        text += szError;
    }
    ERR_clear_error();
    return text;
}

} // namespace rtc
