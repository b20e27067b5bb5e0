// Small helpers the benchmarks share: percentiles of a sample and the figure lines they print.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

using Steady = std::chrono::steady_clock;

inline double Ms(Steady::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Nearest-rank percentile (p in 0..100) of an unsorted sample.
inline double Percentile(std::vector<double> sample, double p)
{
    if (sample.empty()) return NAN;
    std::sort(sample.begin(), sample.end());
    const double rank = std::ceil(p / 100.0 * double(sample.size()));
    const std::size_t index = rank < 1 ? 0 : std::min(sample.size() - 1, std::size_t(rank) - 1);
    return sample[index];
}

// One figure on a line of its own: "figure: <name> = <value> <unit> (<note>)".
inline void Figure(const std::string &name, double value, const char *unit, const std::string &note = {})
{
    std::printf("figure: %-44s = %10.3f %s%s%s\n", name.c_str(), value, unit, note.empty() ? "" : "  ",
                note.c_str());
    std::fflush(stdout);
}

// Median, p99 and max of a sample of milliseconds under one name.
inline void Spread(const std::string &name, const std::vector<double> &ms, const std::string &note = {})
{
    Figure(name + " median", Percentile(ms, 50), "ms", note);
    Figure(name + " p99", Percentile(ms, 99), "ms");
    Figure(name + " max", Percentile(ms, 100), "ms");
}

} // namespace bench
