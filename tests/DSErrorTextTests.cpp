// The description of DirectShow's codes: the platform's text where it has
// one, the program's own table where the platform answers generically.
#include <gtest/gtest.h>

#include "dshow/DSErrorText.h"

#include <vfwmsgs.h>

TEST(DSErrorTextTest, DirectShowTextService)
{
    wchar_t sz[8];
    // Cut to the buffer, terminated.
    DWORD n = GetDirectShowErrorText(VFW_E_NOT_CONNECTED, sz, ARRAYSIZE(sz));
    EXPECT_EQ(7u, n);
    EXPECT_EQ(L'\0', sz[7]);
    // Codes outside DirectShow's range have no text, never Wine's generic one.
    wchar_t szAny[256];
    EXPECT_EQ(0u, GetDirectShowErrorText(E_FAIL, szAny, ARRAYSIZE(szAny)));
    EXPECT_EQ(0u, GetDirectShowErrorText(static_cast<HRESULT>(0x8004FFF0), szAny, ARRAYSIZE(szAny)));
    EXPECT_STREQ(L"", szAny);
}
