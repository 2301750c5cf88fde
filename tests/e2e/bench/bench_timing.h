#pragma once

// Timing helpers shared by the Chromium benchmarks.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "../chromium_test_support.h"

namespace chromium_test {

using Clock = std::chrono::steady_clock;

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The sample that `share` of the samples do not exceed (nearest rank).
inline double percentile(std::vector<double> v, double share) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto rank = size_t(std::ceil(share * double(v.size())));
    return v[rank > 0 ? rank - 1 : 0];
}

// "what: median M ms, p90 P ms (N samples)"
inline void printTimes(const char* what, const std::vector<double>& v) {
    std::printf("%s: median %.1f ms, p90 %.1f ms (%zu samples)\n", what, median(v),
                percentile(v, 0.9), v.size());
}

inline double ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Navigation start to load end, as the page itself measured it; -1 while it is not loaded (or
// between two documents).
inline double loadTime(PageDriver& page) {
    try {
        const Json t = page.evaluate(
            "(() => { const n = performance.getEntriesByType('navigation')[0]; "
            "return n && n.loadEventEnd > 0 ? n.loadEventEnd - n.startTime : -1; })()");
        return t.is_number() ? t.get<double>() : -1;
    } catch (const vantrel::BrowserError&) {
        return -1;
    }
}

}  // namespace chromium_test
