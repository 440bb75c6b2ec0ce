// The ATL subset: reference ownership of the smart pointers, BSTR handling,
// registry strings and message-map dispatch.
#include <gtest/gtest.h>

#include "atlwin.h"
#include "tests/support/RefCounted.h"
#include "tests/support/ReportCapture.h"

TEST(CComPtrTest, OwnsExactlyOneReference)
{
    CRefCounted obj;
    {
        CComPtr<IUnknown> sp1(&obj);
        EXPECT_EQ(1u, obj.Refs());
        CComPtr<IUnknown> sp2 = sp1;
        EXPECT_EQ(2u, obj.Refs());
        sp2 = sp1; // self-equal assignment keeps the count
        EXPECT_EQ(2u, obj.Refs());
        CComPtr<IUnknown> sp3(std::move(sp2));
        EXPECT_EQ(2u, obj.Refs());
        EXPECT_TRUE(sp2 == nullptr);
        sp3.Release();
        EXPECT_EQ(1u, obj.Refs());
        sp3.Release(); // releasing an empty pointer does nothing
        EXPECT_EQ(1u, obj.Refs());

        IUnknown* pRaw = sp1.Detach();
        EXPECT_EQ(1u, obj.Refs());
        sp3.Attach(pRaw);
        EXPECT_EQ(1u, obj.Refs());

        IUnknown* pCopy = nullptr;
        EXPECT_EQ(S_OK, sp3.CopyTo(&pCopy));
        EXPECT_EQ(2u, obj.Refs());
        pCopy->Release();
    }
    EXPECT_EQ(0u, obj.Refs());
}

TEST(CComPtrTest, QueryInterfacePointer)
{
    CRefCounted obj;
    {
        CComPtr<IUnknown> spUnk(&obj);
        CComQIPtr<IUnknown> spSame(spUnk);
        EXPECT_EQ(2u, obj.Refs());
        CComQIPtr<IPersist> spMissing(spUnk);
        EXPECT_TRUE(spMissing == nullptr);
        EXPECT_EQ(2u, obj.Refs());
    }
    EXPECT_EQ(0u, obj.Refs());
}

TEST(CComBSTRTest, CopiesAppendsAndTreatsNullAsEmpty)
{
    CComBSTR cbsNull;
    EXPECT_TRUE(cbsNull.m_str == nullptr);
    EXPECT_EQ(0u, cbsNull.Length());

    CComBSTR cbs(L"stun.example.org");
    CComBSTR cbsCopy(cbs);
    EXPECT_NE(cbs.m_str, cbsCopy.m_str);
    EXPECT_STREQ(L"stun.example.org", cbsCopy);
    cbsCopy += L":3478";
    EXPECT_STREQ(L"stun.example.org:3478", cbsCopy);
    EXPECT_EQ(21u, cbsCopy.Length());

    cbsCopy = static_cast<LPCOLESTR>(nullptr);
    EXPECT_TRUE(cbsCopy.m_str == nullptr);

    BSTR bs = nullptr;
    EXPECT_EQ(S_OK, cbs.CopyTo(&bs));
    EXPECT_STREQ(L"stun.example.org", bs);
    ::SysFreeString(bs);

    // An embedded zero survives a copy.
    CComBSTR cbsZero(3, L"a\0b");
    CComBSTR cbsZeroCopy(cbsZero);
    EXPECT_EQ(3u, cbsZeroCopy.Length());
    EXPECT_EQ(L'b', cbsZeroCopy.m_str[2]);
}

TEST(CRegKeyTest, StringValuesMustBeTerminatedStringsThatFit)
{
    const wchar_t szKey[] = L"Software\\CorvastaTest\\FrameworkTests";
    CRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, szKey));
    ASSERT_EQ(ERROR_SUCCESS, key.SetStringValue(L"Plain", L"C:\\Tools\\graphedt.exe"));
    ASSERT_EQ(ERROR_SUCCESS, key.SetStringValue(L"Expand", L"%SystemRoot%\\x.dll", REG_EXPAND_SZ));
    const wchar_t rgNoTerminator[] = {L'a', L'b'};
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key, L"Unterminated", 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>(rgNoTerminator), sizeof(rgNoTerminator)));
    ASSERT_EQ(ERROR_SUCCESS, key.SetDWORDValue(L"Number", 5));

    wchar_t sz[260];
    ULONG n = ARRAYSIZE(sz);
    EXPECT_EQ(ERROR_SUCCESS, key.QueryStringValue(L"Plain", sz, &n));
    EXPECT_STREQ(L"C:\\Tools\\graphedt.exe", sz);
    EXPECT_EQ(22u, n);

    n = ARRAYSIZE(sz);
    EXPECT_EQ(ERROR_SUCCESS, key.QueryStringValue(L"Expand", sz, &n));
    EXPECT_STREQ(L"%SystemRoot%\\x.dll", sz); // not expanded

    n = ARRAYSIZE(sz);
    EXPECT_NE(ERROR_SUCCESS, key.QueryStringValue(L"Unterminated", sz, &n));
    n = ARRAYSIZE(sz);
    EXPECT_NE(ERROR_SUCCESS, key.QueryStringValue(L"Number", sz, &n));
    n = 5; // "C:\Tools\graphedt.exe" does not fit into 5 units
    EXPECT_NE(ERROR_SUCCESS, key.QueryStringValue(L"Plain", sz, &n));

    key.Close();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, szKey);
}

namespace {

class CMapUnderTest : public CMessageMap
{
public:
    BEGIN_MSG_MAP(CMapUnderTest)
        COMMAND_ID_HANDLER(100, OnFirst)
        COMMAND_RANGE_HANDLER(100, 110, OnRange)
        COMMAND_HANDLER(120, EN_CHANGE, OnChange)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
    END_MSG_MAP()

    LRESULT OnFirst(WORD, WORD, HWND, BOOL& bHandled)
    {
        m_calls += L"first;";
        bHandled = m_bFirstHandles;
        return 1;
    }
    LRESULT OnRange(WORD, WORD wID, HWND, BOOL&)
    {
        m_calls += L"range" + std::to_wstring(wID) + L";";
        return 2;
    }
    LRESULT OnChange(WORD, WORD, HWND, BOOL&)
    {
        m_calls += L"change;";
        return 3;
    }
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&)
    {
        m_calls += L"timer;";
        return 4;
    }

    std::wstring m_calls;
    bool m_bFirstHandles = true;
};

} // namespace

TEST(MessageMapTest, FirstMatchingEntryHandles)
{
    CMapUnderTest map;
    LRESULT lRes = 0;
    EXPECT_TRUE(map.ProcessWindowMessage(nullptr, WM_COMMAND, MAKEWPARAM(100, BN_CLICKED), 0, lRes, 0));
    EXPECT_EQ(1, lRes);
    EXPECT_TRUE(map.ProcessWindowMessage(nullptr, WM_COMMAND, MAKEWPARAM(105, 0), 0, lRes, 0));
    EXPECT_EQ(2, lRes);
    EXPECT_EQ(L"first;range105;", map.m_calls);

    // A handler that clears bHandled passes the message on to later entries.
    map.m_calls.clear();
    map.m_bFirstHandles = false;
    EXPECT_TRUE(map.ProcessWindowMessage(nullptr, WM_COMMAND, MAKEWPARAM(100, 0), 0, lRes, 0));
    EXPECT_EQ(L"first;range100;", map.m_calls);

    // Notification codes are matched where the entry names one.
    map.m_calls.clear();
    EXPECT_FALSE(map.ProcessWindowMessage(nullptr, WM_COMMAND, MAKEWPARAM(120, EN_SETFOCUS), 0, lRes, 0));
    EXPECT_TRUE(map.ProcessWindowMessage(nullptr, WM_COMMAND, MAKEWPARAM(120, EN_CHANGE), 0, lRes, 0));
    EXPECT_TRUE(map.ProcessWindowMessage(nullptr, WM_TIMER, 1, 0, lRes, 0));
    EXPECT_EQ(4, lRes);
    EXPECT_FALSE(map.ProcessWindowMessage(nullptr, WM_PAINT, 0, 0, lRes, 0));
    EXPECT_EQ(L"change;timer;", map.m_calls);
}

TEST(MessageMapTest, OtherSectionIsNotHandledAndTraced)
{
    CMapUnderTest map;
    CReportCapture capture;
    LRESULT lRes = 0;
    EXPECT_FALSE(map.ProcessWindowMessage(nullptr, WM_TIMER, 1, 0, lRes, 3));
    EXPECT_TRUE(map.m_calls.empty());
    ASSERT_EQ(1u, capture.Traces().size());
    EXPECT_EQ(L"atlTraceGeneral - Invalid message map ID (3)\n", capture.Traces()[0]);
}

TEST(ModuleTest, ExeModuleDefaults)
{
    struct CTestModule : CAtlExeModuleT<CTestModule>
    {
    } module;
    EXPECT_EQ(::GetCurrentThreadId(), module.m_dwMainThreadID);
    EXPECT_EQ(5000u, module.m_dwTimeOut);
    EXPECT_EQ(1000u, module.m_dwPause);
    EXPECT_TRUE(module.m_bDelayShutdown);
    EXPECT_FALSE(module.m_bActivity);
    EXPECT_EQ(nullptr, module.m_hEventShutdown);
}

TEST(CComPtrTest, MoveAssignmentTakesOverTheReference)
{
    CRefCounted obj;
    {
        CComPtr<IUnknown> sp;
        sp = CComPtr<IUnknown>(&obj);
        EXPECT_EQ(1u, obj.Refs());
        CComPtr<IUnknown> spOther(&obj);
        sp = std::move(spOther);
        EXPECT_EQ(1u, obj.Refs());
    }
    EXPECT_EQ(0u, obj.Refs());
}
