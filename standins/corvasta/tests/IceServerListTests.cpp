#include <gtest/gtest.h>

#include "atlbase.h"

#include "standins/corvasta/IceServerList.h"

namespace {

TEST(IceServerList, UriAcceptanceTable)
{
    const std::pair<const wchar_t*, bool> rgCases[] = {
        {L"stun.example.org:3478", true},
        {L"192.0.2.7:19302", true},
        {L"[2001:db8::1]:3478", true},
        {L"stun:stun.example.org", true},
        {L"STUN:stun.example.org:3478", true},
        {L"stuns:stun.example.org:5349", true},
        {L"stun:[2001:db8::1]:3478", true},
        {L"turn:turn.example.org", true},
        {L"turn:turn.example.org:3478?transport=udp", true},
        {L"turn:192.0.2.7?transport=TCP", true},
        {L"turns:turn.example.org:5349?transport=tcp", true},
        {L"stun.example.org", false},                // host:port needs the port
        {L"stun.example.org:0", false},
        {L"stun.example.org:70000", false},
        {L"stun.example.org:", false},
        {L"stun:", false},
        {L"stun:3478", false},                       // the scheme decides: host "3478"
        {L"stun://stun.example.org", false},
        {L"stun:stun.example.org?transport=udp", false}, // transport is TURN's
        {L"turn:turn.example.org?transport=sctp", false},
        {L"turn:turn.example.org?foo=bar", false},
        {L"turn:user@turn.example.org", false},
        {L"http://stun.example.org:3478", false},
        {L"stun:bad host:3478", false},
        {L"[2001:db8::zz]:3478", false},
        {L"[2001:db8::1]", false},
        {L"", false},
    };
    for (const auto& c : rgCases)
        EXPECT_EQ(c.second, CIceServerList::IsValidUri(c.first)) << c.first;
    EXPECT_FALSE(CIceServerList::IsValidUri(nullptr));
}

struct CIceEntry
{
    CComBSTR cbsUri;
    CComBSTR cbsUser;
    CComBSTR cbsPwd;
};

HRESULT GetEntry(const CIceServerList& list, LONG nIndex, CIceEntry* pEntry)
{
    return list.Get(nIndex, &pEntry->cbsUri, &pEntry->cbsUser, &pEntry->cbsPwd);
}

TEST(IceServerList, AddGetAndRemoveRenumbers)
{
    CIceServerList list;
    EXPECT_EQ(0, list.Count());
    ASSERT_EQ(S_OK, list.Add(CComBSTR(L"stun:a.example:3478"), nullptr, nullptr));
    ASSERT_EQ(S_OK, list.Add(CComBSTR(L"turn:b.example"), CComBSTR(L"user"), CComBSTR(L"secret")));
    ASSERT_EQ(S_OK, list.Add(CComBSTR(L"c.example:3478"), CComBSTR(L"u2"), nullptr));
    ASSERT_EQ(3, list.Count());

    CIceEntry entry;
    ASSERT_EQ(S_OK, GetEntry(list, 1, &entry));
    EXPECT_STREQ(L"turn:b.example", entry.cbsUri);
    EXPECT_STREQ(L"user", entry.cbsUser);
    EXPECT_STREQ(L"secret", entry.cbsPwd);

    ASSERT_EQ(S_OK, list.Remove(0));
    ASSERT_EQ(2, list.Count());
    CIceEntry first, second;
    ASSERT_EQ(S_OK, GetEntry(list, 0, &first));
    ASSERT_EQ(S_OK, GetEntry(list, 1, &second));
    EXPECT_STREQ(L"turn:b.example", first.cbsUri);
    EXPECT_STREQ(L"c.example:3478", second.cbsUri);
    EXPECT_STREQ(L"u2", second.cbsUser);
    EXPECT_EQ(nullptr, second.cbsPwd.m_str);

    EXPECT_EQ(E_INVALIDARG, list.Remove(2));
    EXPECT_EQ(E_INVALIDARG, list.Remove(-1));
    ASSERT_EQ(S_OK, list.Remove(1));
    ASSERT_EQ(S_OK, list.Remove(0));
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ(E_INVALIDARG, list.Remove(0));
}

TEST(IceServerList, AbsentAndEmptyCredentialsComeBackNull)
{
    CIceServerList list;
    ASSERT_EQ(S_OK, list.Add(CComBSTR(L"stun:a.example"), nullptr, nullptr));
    ASSERT_EQ(S_OK, list.Add(CComBSTR(L"stun:b.example"), CComBSTR(L""), CComBSTR(L"")));
    for (LONG i = 0; i < 2; ++i)
    {
        CIceEntry entry;
        ASSERT_EQ(S_OK, GetEntry(list, i, &entry));
        EXPECT_NE(nullptr, entry.cbsUri.m_str);
        EXPECT_EQ(nullptr, entry.cbsUser.m_str);
        EXPECT_EQ(nullptr, entry.cbsPwd.m_str);
    }
}

TEST(IceServerList, RefusalsChangeNothing)
{
    CIceServerList list;
    EXPECT_EQ(E_INVALIDARG, list.Add(nullptr, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, list.Add(CComBSTR(L""), nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, list.Add(CComBSTR(L"stun:"), nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, list.Add(CComBSTR(L"turn:t.example"), CComBSTR(L"a\nb"), nullptr));
    // A BSTR that hides a second string behind a NUL is not a URI.
    CComBSTR cbsHidden(22, L"stun:a.example\0:junk!!");
    EXPECT_EQ(E_INVALIDARG, list.Add(cbsHidden, nullptr, nullptr));
    EXPECT_EQ(0, list.Count());
}

TEST(IceServerList, GetPresetsOutputsAndChecksIndex)
{
    CIceServerList list;
    ASSERT_EQ(S_OK, list.Add(CComBSTR(L"stun:a.example"), nullptr, nullptr));
    BSTR bsUri = ::SysAllocString(L"stale");
    BSTR bsUser = bsUri;
    BSTR bsPwd = bsUri;
    BSTR bsStale = bsUri;
    EXPECT_EQ(E_INVALIDARG, list.Get(1, &bsUri, &bsUser, &bsPwd));
    EXPECT_EQ(nullptr, bsUri);
    EXPECT_EQ(nullptr, bsUser);
    EXPECT_EQ(nullptr, bsPwd);
    EXPECT_EQ(E_INVALIDARG, list.Get(-1, &bsUri, &bsUser, &bsPwd));
    ::SysFreeString(bsStale);

    BSTR bsOut = nullptr;
    EXPECT_EQ(E_POINTER, list.Get(0, nullptr, &bsOut, &bsOut));
    EXPECT_EQ(E_POINTER, list.Get(0, &bsOut, nullptr, &bsOut));
    EXPECT_EQ(E_POINTER, list.Get(0, &bsOut, &bsOut, nullptr));
}

} // namespace
