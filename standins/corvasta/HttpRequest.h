// The head of an HTTP/1.x request, as far as the Corvasta stand-in needs it:
// the method and the path it asks for.
#pragma once

#include <string>

enum EHttpParse
{
    eHttpIncomplete, // the head has not ended yet
    eHttpComplete,
    eHttpBadRequest,
    eHttpTooLarge,
};

struct CHttpRequest
{
    static const size_t nMaxHead = 8192;

    std::string m_strMethod;
    std::string m_strPath; // without query; an absolute-form target reduced to its path
    std::string m_strUserAgent;

    // Reads the head from the bytes received so far.
    EHttpParse Parse(const std::string& strReceived);
};

// ASCII case-insensitive containment; an empty part is in every text.
bool ContainsNoCase(const std::string& strText, const std::string& strPart);

// Paths compare without regard to ASCII case or a trailing slash, as the
// platform's own HTTP server matches URL prefixes.
bool IsSameHttpPath(const std::string& strRequestPath, const std::wstring& strUrlPath);
