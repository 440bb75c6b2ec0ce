#include "HttpRequest.h"

namespace {

bool IsToken(const std::string& str)
{
    if (str.empty())
        return false;
    for (char ch : str)
    {
        if (ch < 'A' || ch > 'Z')
            return false;
    }
    return true;
}

std::string ToLower(const std::string& str)
{
    std::string strOut;
    for (char ch : str)
        strOut += (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
    return strOut;
}

std::string Trim(const std::string& str)
{
    size_t nFirst = str.find_first_not_of(" \t");
    if (nFirst == std::string::npos)
        return std::string();
    return str.substr(nFirst, str.find_last_not_of(" \t") - nFirst + 1);
}

// The value of "Name: value" when the header is the one named (lower case).
bool HeaderValue(const std::string& strHeader, const char* pszName, std::string* pstrValue)
{
    size_t cchName = std::char_traits<char>::length(pszName);
    if (strHeader.size() <= cchName || strHeader[cchName] != ':' || ToLower(strHeader.substr(0, cchName)) != pszName)
        return false;
    *pstrValue = Trim(strHeader.substr(cchName + 1));
    return true;
}

std::string TrimForCompare(const std::string& str)
{
    std::string strOut = ToLower(str);
    while (!strOut.empty() && strOut.back() == '/')
        strOut.pop_back();
    return strOut;
}

} // namespace

EHttpParse CHttpRequest::Parse(const std::string& strReceived)
{
    size_t nEnd = strReceived.find("\r\n\r\n");
    if (nEnd == std::string::npos)
        nEnd = strReceived.find("\n\n");
    if (nEnd == std::string::npos)
        return strReceived.size() > nMaxHead ? eHttpTooLarge : eHttpIncomplete;
    if (nEnd > nMaxHead)
        return eHttpTooLarge;

    size_t nLineEnd = strReceived.find('\n');
    std::string strLine = strReceived.substr(0, nLineEnd);
    if (!strLine.empty() && strLine.back() == '\r')
        strLine.pop_back();

    size_t nSp1 = strLine.find(' ');
    size_t nSp2 = nSp1 == std::string::npos ? std::string::npos : strLine.find(' ', nSp1 + 1);
    if (nSp2 == std::string::npos || strLine.find(' ', nSp2 + 1) != std::string::npos)
        return eHttpBadRequest;
    std::string strMethod = strLine.substr(0, nSp1);
    std::string strTarget = strLine.substr(nSp1 + 1, nSp2 - nSp1 - 1);
    std::string strVersion = strLine.substr(nSp2 + 1);
    if (!IsToken(strMethod) || strTarget.empty() || strVersion.compare(0, 7, "HTTP/1.") != 0 ||
        strVersion.size() != 8)
        return eHttpBadRequest;

    if (strTarget[0] != '/')
    {
        // Absolute form, as a proxy would send it: keep the path and query.
        size_t nScheme = strTarget.find("://");
        if (nScheme == std::string::npos)
            return eHttpBadRequest;
        size_t nPath = strTarget.find_first_of("/?#", nScheme + 3);
        strTarget = nPath == std::string::npos ? "/" : strTarget.substr(nPath);
        if (strTarget[0] != '/')
            strTarget.insert(0, 1, '/');
    }
    // A fragment should not be sent at all; whatever follows '#' is no query.
    size_t nFragment = strTarget.find('#');
    if (nFragment != std::string::npos)
        strTarget.resize(nFragment);
    size_t nQuery = strTarget.find('?');

    m_strMethod = strMethod;
    m_strPath = strTarget.substr(0, nQuery);
    m_strQuery = nQuery == std::string::npos ? std::string() : strTarget.substr(nQuery + 1);
    m_strUserAgent.clear();
    m_strContentType.clear();
    m_strBody.clear();
    std::string strLength;
    bool bChunked = false;
    size_t nPos = nLineEnd + 1;
    while (nPos < nEnd)
    {
        size_t nNext = strReceived.find('\n', nPos);
        std::string strHeader = strReceived.substr(nPos, nNext - nPos);
        if (!strHeader.empty() && strHeader.back() == '\r')
            strHeader.pop_back();
        std::string strValue;
        if (HeaderValue(strHeader, "user-agent", &strValue))
            m_strUserAgent = strValue;
        else if (HeaderValue(strHeader, "content-type", &strValue))
            m_strContentType = ToLower(Trim(strValue.substr(0, strValue.find(';'))));
        else if (HeaderValue(strHeader, "content-length", &strValue))
        {
            // Two lengths that differ are how requests get smuggled.
            if (!strLength.empty() && strLength != strValue)
                return eHttpBadRequest;
            strLength = strValue;
        }
        else if (HeaderValue(strHeader, "transfer-encoding", &strValue))
            bChunked = true;
        nPos = nNext + 1;
    }
    if (bChunked)
        return eHttpNoLength;
    if (strLength.empty())
        return eHttpComplete;
    if (strLength.size() > 9 || strLength.find_first_not_of("0123456789") != std::string::npos)
        return eHttpBadRequest;
    size_t cbBody = std::stoul(strLength);
    if (cbBody > nMaxBody)
        return eHttpBodyTooLarge;
    size_t nBody = nEnd + (strReceived.compare(nEnd, 4, "\r\n\r\n") == 0 ? 4 : 2);
    if (strReceived.size() < nBody + cbBody)
        return eHttpIncomplete;
    m_strBody = strReceived.substr(nBody, cbBody);
    return eHttpComplete;
}

bool ContainsNoCase(const std::string& strText, const std::string& strPart)
{
    return ToLower(strText).find(ToLower(strPart)) != std::string::npos;
}

bool IsSameHttpPath(const std::string& strRequestPath, const std::wstring& strUrlPath)
{
    std::string strUrl;
    for (wchar_t ch : strUrlPath)
    {
        // The URL's path is ASCII; anything else can't match a request.
        if (ch >= 0x80)
            return false;
        strUrl += static_cast<char>(ch);
    }
    return TrimForCompare(strRequestPath) == TrimForCompare(strUrl);
}
