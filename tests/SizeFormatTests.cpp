#include <gtest/gtest.h>

#include <climits>

#include "ui/SizeFormat.h"
#include "tests/support/ReportCapture.h"

namespace {

struct RoundCase
{
    int value;
    unsigned nRound;
    int expected;
    unsigned nDigits;
};

TEST(RoundToDigits, RoundsHalfAwayFromZeroAndCountsDigits)
{
    const RoundCase rgCases[] = {
        {0, 3, 0, 1},
        {-5, 2, -5, 1},
        {999, 3, 999, 3},
        {1234, 3, 123, 4},
        {1235, 3, 124, 4},
        {-1235, 3, -124, 4},
        {-1234, 3, -123, 4},
        // Rounding that carries into a new digit counts that digit.
        {9995, 3, 100, 5},
        {-9995, 3, -100, 5},
        {995, 2, 10, 4},
        {999999999, 8, 10000000, 10},
        // The 32-bit extremes: no overflow in |value| or in the rounding sum.
        {INT_MIN, 3, -215, 10},
        {INT_MAX, 3, 215, 10},
        {INT_MAX, 9, 214748365, 10},
        {INT_MIN, 9, -214748365, 10},
        {999999999, 9, 999999999, 9},
    };
    for (const RoundCase& c : rgCases)
    {
        unsigned nDigits = 0;
        EXPECT_EQ(c.expected, RoundToDigits(c.value, c.nRound, &nDigits)) << c.value << " to " << c.nRound;
        EXPECT_EQ(c.nDigits, nDigits) << c.value << " to " << c.nRound;
    }
}

TEST(RoundToDigits, AssertsItsPreconditionsAndStillRounds)
{
    CReportCapture capture;
    EXPECT_EQ(123, RoundToDigits(1234, 3, nullptr));
    EXPECT_TRUE(capture.HasAssert(L"pnDigits != 0"));
    unsigned nDigits = 0;
    RoundToDigits(1234, 1, &nDigits);
    EXPECT_TRUE(capture.HasAssert(L"1 < nRound && nRound < 10"));
}

struct SizeCase
{
    int value;
    const wchar_t* pszText;
};

TEST(FormatSize, ThreeSignificantDigitsWithDecimalUnits)
{
    const SizeCase rgCases[] = {
        {0, L"0 B"},
        {1, L"1 B"},
        {-1, L"-1 B"},
        {999, L"999 B"},
        {-999, L"-999 B"},
        {1000, L"1.00 KB"},
        {1004, L"1.00 KB"},
        {1005, L"1.01 KB"},
        {1050, L"1.05 KB"},
        {1234, L"1.23 KB"},
        {1235, L"1.24 KB"},
        {-1234, L"-1.23 KB"},
        {9994, L"9.99 KB"},
        {9995, L"10.0 KB"},
        {-9995, L"-10.0 KB"},
        {10050, L"10.1 KB"},
        {12345, L"12.3 KB"},
        {99949, L"99.9 KB"},
        {99950, L"100 KB"},
        {123456, L"123 KB"},
        {999499, L"999 KB"},
        {999500, L"1.00 MB"},
        {999999, L"1.00 MB"},
        {1000000, L"1.00 MB"},
        {1234567, L"1.23 MB"},
        {12345678, L"12.3 MB"},
        {99950000, L"100 MB"},
        {999499999, L"999 MB"},
        {999500000, L"1.00 GB"},
        {1000000000, L"1.00 GB"},
        {INT_MAX, L"2.15 GB"},
        {INT_MIN, L"-2.15 GB"},
    };
    for (const SizeCase& c : rgCases)
    {
        wchar_t szConv[cchSizeText];
        wmemset(szConv, L'#', cchSizeText);
        EXPECT_EQ(szConv, FormatSize(c.value, szConv));
        EXPECT_STREQ(c.pszText, szConv) << c.value;
    }
}

TEST(FormatSize, NoBufferGivesNone)
{
    EXPECT_EQ(nullptr, FormatSize(1234, nullptr));
}

} // namespace
