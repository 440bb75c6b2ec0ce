// An HTTP/1.x request, as far as the Corvasta stand-in needs it: the method
// and the path it asks for, the headers it acts on, and a body of a stated
// length (WHEP's offers); a body sent in chunks is not taken.
#pragma once

#include <string>

enum EHttpParse
{
    eHttpIncomplete, // the head has not ended yet
    eHttpComplete,
    eHttpBadRequest,
    eHttpTooLarge,     // the head is too long
    eHttpBodyTooLarge, // Content-Length above nMaxBody: refused before it is read
    eHttpNoLength,     // a body without Content-Length (chunked)
};

struct CHttpRequest
{
    static const size_t nMaxHead = 8192;
    // An offer of a browser with every codec is 6-10 kB.
    static const size_t nMaxBody = 64 * 1024;

    std::string m_strMethod;
    std::string m_strPath; // without query; an absolute-form target reduced to its path
    std::string m_strQuery; // after '?', without it or a fragment; within the head's bound
    std::string m_strUserAgent;
    std::string m_strContentType; // the media type alone, lower case, without parameters
    std::string m_strBody;

    // Reads the head, then the body, from the bytes received so far.
    EHttpParse Parse(const std::string& strReceived);
};

// ASCII case-insensitive containment; an empty part is in every text.
bool ContainsNoCase(const std::string& strText, const std::string& strPart);

// Paths compare without regard to ASCII case or a trailing slash, as the
// platform's own HTTP server matches URL prefixes.
bool IsSameHttpPath(const std::string& strRequestPath, const std::wstring& strUrlPath);
