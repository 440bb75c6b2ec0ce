// A figure against its reference, measured in turns in the same run so that
// drift of the shared machine falls on both alike: the two medians and
// their ratio on one line.
#pragma once

#include <vector>

// Both sides of a figure, measured in turns.
struct CPairs
{
    std::vector<double> harness, bare;
};

// Prints the line, or "not measured" (false) when no pair was completed;
// with CORVASTA_BENCH_PAIRS set, each pair before it.
bool PrintPairedRatio(const char* pszWhat, const char* pszBare, const CPairs& pairs, const char* pszUnit);
