#include <gtest/gtest.h>

#include "standins/corvasta/ServerUrl.h"
#include "tests/support/LoopbackClient.h"

namespace {

struct CAcceptedUrl
{
    const wchar_t* pszUrl;
    const wchar_t* pszText;
    const wchar_t* pszHost;
    USHORT nPort;
    const wchar_t* pszPath;
    bool bSecure;
};

const CAcceptedUrl rgAccepted[] = {
    {L"http://+:50128/", L"http://+:50128/", L"+", 50128, L"/", false},
    {L"http://*:8080/live/", L"http://*:8080/live/", L"*", 8080, L"/live/", false},
    {L"HTTP://LocalHost:00080", L"http://localhost:80/", L"localhost", 80, L"/", false},
    {L"http://127.0.0.1:50000/a/b", L"http://127.0.0.1:50000/a/b", L"127.0.0.1", 50000, L"/a/b", false},
    {L"http://media-1.example.org/", L"http://media-1.example.org/", L"media-1.example.org", 80, L"/", false},
    {L"https://localhost/", L"https://localhost/", L"localhost", 443, L"/", true},
    {L"https://127.0.0.1:65535/x%20y", L"https://127.0.0.1:65535/x%20y", L"127.0.0.1", 65535, L"/x%20y",
     true},
};

TEST(ServerUrl, AcceptsHttpAndHttpsWithCanonicalText)
{
    for (const CAcceptedUrl& c : rgAccepted)
    {
        SCOPED_TRACE(testing::Message() << c.pszUrl);
        CServerUrl url;
        ASSERT_EQ(S_OK, CServerUrl::Parse(c.pszUrl, &url));
        EXPECT_EQ(c.pszText, url.Text());
        EXPECT_EQ(c.pszHost, url.Host());
        EXPECT_EQ(c.nPort, url.Port());
        EXPECT_EQ(c.pszPath, url.Path());
        EXPECT_EQ(c.bSecure, url.IsSecure());
    }
}

TEST(ServerUrl, RejectsWhatItCannotServe)
{
    const wchar_t* rgpszRejected[] = {
        L"",
        L"+:50128/",                 // no scheme
        L"ftp://+:21/",              // scheme
        L"rtsp://localhost:554/",
        L"http://",                  // no host
        L"http://:80/",
        L"http://+:0/",              // ports
        L"http://+:65536/",
        L"http://+:/",
        L"http://+:80a/",
        L"http://+:123456/",
        L"http://user@localhost/",   // user information
        L"http://local host/",       // host characters
        L"http://-bad.example/",
        L"http://127.0.0.256/",      // looks like an address but is none
        L"http://1.2.3/",
        L"http://[::1]:80/",         // IPv6 is not served
        L"http://localhost/a b",     // path characters
        L"http://localhost/?q=1",
        L"http://localhost/#top",
        L"http://localhost/%zz",
        L"http://localhost/\x00e9t\x00e9",
    };
    for (const wchar_t* pszUrl : rgpszRejected)
    {
        SCOPED_TRACE(testing::Message() << pszUrl);
        CServerUrl url;
        EXPECT_EQ(E_INVALIDARG, CServerUrl::Parse(pszUrl, &url));
        EXPECT_EQ(CServerUrl::szDefault, url.Text()) << "a failed parse must leave the URL as it was";
    }
    CServerUrl url;
    EXPECT_EQ(E_INVALIDARG, CServerUrl::Parse(nullptr, &url));
    EXPECT_EQ(E_POINTER, CServerUrl::Parse(L"http://+:80/", nullptr));
}

TEST(ServerUrl, LengthLimitIsTheHarnessBuffer)
{
    std::wstring strUrl = L"http://localhost/";
    strUrl.append(CServerUrl::nMaxLength - strUrl.size(), L'a');
    CServerUrl url;
    EXPECT_EQ(S_OK, CServerUrl::Parse(strUrl.c_str(), &url));
    strUrl += L'a';
    EXPECT_EQ(E_INVALIDARG, CServerUrl::Parse(strUrl.c_str(), &url));
}

TEST(ServerUrl, DefaultIsTheWildcardHost)
{
    CServerUrl url;
    EXPECT_STREQ(L"http://+:50128/", url.Text().c_str());
    EXPECT_TRUE(url.IsWildcardHost());
    EXPECT_EQ(50128, url.Port());
}

TEST(ServerUrl, StreamAndStatusLiveBelowThePath)
{
    struct
    {
        const wchar_t* pszUrl;
        const wchar_t* pszStream;
        const wchar_t* pszStatus;
    } rgCases[] = {
        {L"http://+:80", L"/stream", L"/status.json"},
        {L"http://+:80/", L"/stream", L"/status.json"},
        {L"http://+:80/live", L"/live/stream", L"/live/status.json"},
        {L"http://+:80/live/", L"/live/stream", L"/live/status.json"},
    };
    for (const auto& c : rgCases)
    {
        CServerUrl url;
        ASSERT_EQ(S_OK, CServerUrl::Parse(c.pszUrl, &url));
        EXPECT_EQ(c.pszStream, url.StreamPath()) << c.pszUrl;
        EXPECT_EQ(c.pszStatus, url.StatusJsonPath()) << c.pszUrl;
    }
}

TEST(ServerUrl, BindAddressOfWildcardLoopbackAndAddress)
{
    CWinsock winsock;
    ASSERT_EQ(0, winsock.Result());
    const std::pair<const wchar_t*, ULONG> rgCases[] = {
        {L"http://+:1234/", INADDR_ANY},
        {L"http://*:1234/", INADDR_ANY},
        {L"http://localhost:1234/", INADDR_LOOPBACK},
        {L"http://127.0.0.1:1234/", INADDR_LOOPBACK},
        {L"http://127.1.2.3:1234/", 0x7F010203},
    };
    for (const auto& c : rgCases)
    {
        SCOPED_TRACE(testing::Message() << c.first);
        CServerUrl url;
        ASSERT_EQ(S_OK, CServerUrl::Parse(c.first, &url));
        sockaddr_in addr = {};
        ASSERT_EQ(S_OK, url.GetBindAddress(&addr));
        EXPECT_EQ(AF_INET, addr.sin_family);
        EXPECT_EQ(htons(1234), addr.sin_port);
        EXPECT_EQ(htonl(c.second), addr.sin_addr.s_addr);
    }
}

} // namespace
