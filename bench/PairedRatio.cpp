#include "PairedRatio.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "Median.h"

bool PrintPairedRatio(const char* pszWhat, const char* pszBare, const CPairs& pairs, const char* pszUnit)
{
    size_t nCount = std::min(pairs.harness.size(), pairs.bare.size());
    if (nCount == 0)
    {
        std::printf("%s: not measured\n", pszWhat);
        return false;
    }
    double dHarness = Median(pairs.harness), dBare = Median(pairs.bare);
    if (::GetEnvironmentVariableW(L"CORVASTA_BENCH_PAIRS", nullptr, 0) > 0)
    {
        for (size_t i = 0; i < nCount; i++)
            std::printf("  %.1f / %.1f\n", pairs.harness[i], pairs.bare[i]);
    }
    std::printf("%s: %.1f %s, %s %.1f %s, ratio %.2f (medians of %zu alternated pairs)\n", pszWhat, dHarness,
                pszUnit, pszBare, dBare, pszUnit, dBare > 0.0 ? dHarness / dBare : 0.0, nCount);
    return true;
}
