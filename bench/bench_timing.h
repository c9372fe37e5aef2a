// Timing shared by the benchmarks: repeated runs of one piece of work, and the
// line that prints their best and median beside a throughput.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using BenchClock = std::chrono::steady_clock;

inline double Seconds(BenchClock::duration d) { return std::chrono::duration<double>(d).count(); }

// Best and median of `runs` timings of `work`, in milliseconds, and MB/s of
// the median, in a column of `width` for the label.
template <typename Work>
void TimeRuns(const char* what, int width, int runs, double megabytes, Work work) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        auto start = BenchClock::now();
        work();
        t.push_back(Seconds(BenchClock::now() - start));
    }
    std::sort(t.begin(), t.end());
    std::printf("%-*s %9.2f %9.2f %10.1f\n", width, what, t.front() * 1000, t[t.size() / 2] * 1000,
                megabytes / t[t.size() / 2]);
}
