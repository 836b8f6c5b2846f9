#pragma once

// What the benchmark programs share: the median of timed runs, and the end
// of a run whose step failed.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

// Median wall-clock time of `runs` runs after one warm-up run, in
// milliseconds.
inline double MedianTime(int runs, const std::function<void()>& step)
{
    step();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        step();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Ends the benchmark with "BENCH: WHAT failed" when ok is false: a figure of
// a step that did not do its work means nothing.
inline void CheckStep(const char* bench, bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "%s: %s failed\n", bench, what);
        std::exit(1);
    }
}
