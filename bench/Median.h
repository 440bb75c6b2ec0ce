// The middle of a set of measurements, which one slow turn of the shared
// machine does not move.
#pragma once

#include <algorithm>
#include <vector>

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}
