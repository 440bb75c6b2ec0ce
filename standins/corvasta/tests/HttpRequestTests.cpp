#include <gtest/gtest.h>

#include "standins/corvasta/HttpRequest.h"

namespace {

TEST(HttpRequest, ParsesTheRequestLine)
{
    struct CCase
    {
        const char* pszReceived;
        EHttpParse eParse;
        const char* pszMethod;
        const char* pszPath;
        const char* pszQuery;
    };
    const CCase rgCases[] = {
        {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", eHttpComplete, "GET", "/", ""},
        {"HEAD /live/stream?x=1 HTTP/1.0\r\n\r\n", eHttpComplete, "HEAD", "/live/stream", "x=1"},
        {"GET http://127.0.0.1:5000/live HTTP/1.1\r\n\r\n", eHttpComplete, "GET", "/live", ""},
        {"GET http://127.0.0.1:5000 HTTP/1.1\r\n\r\n", eHttpComplete, "GET", "/", ""},
        {"GET / HTTP/1.1\n\n", eHttpComplete, "GET", "/", ""},
        {"POST /whep?iceTransportPolicy=relay&x=%20 HTTP/1.1\r\n\r\n", eHttpComplete, "POST", "/whep",
         "iceTransportPolicy=relay&x=%20"},
        {"GET /a?b=1#c?d HTTP/1.1\r\n\r\n", eHttpComplete, "GET", "/a", "b=1"},
        {"GET /a#b?c HTTP/1.1\r\n\r\n", eHttpComplete, "GET", "/a", ""},
        {"GET /a? HTTP/1.1\r\n\r\n", eHttpComplete, "GET", "/a", ""},
        {"GET http://127.0.0.1:5000?x=1 HTTP/1.1\r\n\r\n", eHttpComplete, "GET", "/", "x=1"},
        {"GET / HTTP/1.1\r\nHost: x\r\n", eHttpIncomplete, "", "", ""},
        {"GET / HTTP/1.1", eHttpIncomplete, "", "", ""},
        {"GET /\r\n\r\n", eHttpBadRequest, "", "", ""},
        {"GET / HTTP/2.0\r\n\r\n", eHttpBadRequest, "", "", ""},
        {"get / HTTP/1.1\r\n\r\n", eHttpBadRequest, "", "", ""},
        {"GET  / HTTP/1.1\r\n\r\n", eHttpBadRequest, "", "", ""},
        {"GET x HTTP/1.1\r\n\r\n", eHttpBadRequest, "", "", ""},
    };
    for (const CCase& c : rgCases)
    {
        SCOPED_TRACE(c.pszReceived);
        CHttpRequest request;
        EXPECT_EQ(c.eParse, request.Parse(c.pszReceived));
        EXPECT_EQ(c.pszMethod, request.m_strMethod);
        EXPECT_EQ(c.pszPath, request.m_strPath);
        EXPECT_EQ(c.pszQuery, request.m_strQuery);
    }

    CHttpRequest request;
    EXPECT_EQ(eHttpTooLarge, request.Parse(std::string(CHttpRequest::nMaxHead + 1, 'a')));
}

TEST(HttpRequest, ReadsTheUserAgent)
{
    CHttpRequest request;
    ASSERT_EQ(eHttpComplete,
              request.Parse("GET / HTTP/1.1\r\nHost: x\r\nuser-agent:  Viewer/2.0 (test)\r\n\r\n"));
    EXPECT_EQ("Viewer/2.0 (test)", request.m_strUserAgent);
    ASSERT_EQ(eHttpComplete, request.Parse("GET / HTTP/1.1\r\nHost: x\r\n\r\nUser-Agent: body\r\n"));
    EXPECT_EQ("", request.m_strUserAgent) << "only the head counts";
    EXPECT_TRUE(ContainsNoCase("Viewer/2.0", "VIEWER"));
    EXPECT_TRUE(ContainsNoCase("", ""));
    EXPECT_FALSE(ContainsNoCase("", "viewer"));
}

TEST(HttpRequest, PathsMatchWithoutCaseOrTrailingSlash)
{
    EXPECT_TRUE(IsSameHttpPath("/", L"/"));
    EXPECT_TRUE(IsSameHttpPath("/Live/", L"/live"));
    EXPECT_TRUE(IsSameHttpPath("/live", L"/live/"));
    EXPECT_FALSE(IsSameHttpPath("/live/x", L"/live/"));
    EXPECT_FALSE(IsSameHttpPath("/", L"/live/"));
}

} // namespace
