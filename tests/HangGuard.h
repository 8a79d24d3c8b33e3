#pragma once

// Time in tests guards against hangs only; speed itself is measured in
// bench/. A plain limit is ten times what the guarded work took in a release
// build when the test was written (at least a second); a bound on work against
// a reference measured in the same test is the ratio seen times three or more.
// Both grow with the build's slowdown (the sanitizers) and with
// FOLMIRA_TEST_TIME_SCALE, a factor for very slow machines and emulators, so
// that a slow or busy machine never fails them.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace HangGuard {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
inline constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
inline constexpr bool sanitized = true;
#else
inline constexpr bool sanitized = false;
#endif
#else
inline constexpr bool sanitized = false;
#endif

#if defined(__SANITIZE_THREAD__)
inline constexpr bool threadSanitized = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool threadSanitized = true;
#else
inline constexpr bool threadSanitized = false;
#endif
#else
inline constexpr bool threadSanitized = false;
#endif

// How much slower this build runs than a release build: ThreadSanitizer
// watches every access from every thread and costs the most.
inline constexpr int slowdown = threadSanitized ? 10 : sanitized ? 5 : 1;

// FOLMIRA_TEST_TIME_SCALE, a positive number (1 when unset or not a number).
inline double userScale()
{
    static const double scale = [] {
        const char* text = std::getenv("FOLMIRA_TEST_TIME_SCALE");
        const double value = text ? std::strtod(text, nullptr) : 1.0;
        return std::isfinite(value) && value > 0 ? value : 1.0;
    }();
    return scale;
}

// What every time guard is multiplied by.
inline double scale() { return slowdown * userScale(); }

// The limit for work that took `measured` in a release build.
inline std::chrono::milliseconds limit(std::chrono::milliseconds measured)
{
    const auto base = std::max(10 * measured, std::chrono::milliseconds(1000));
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(static_cast<double>(base.count()) * scale())));
}

// The bound on a cost measured against a reference taken in the same test on
// the same machine, when the ratio seen was `seen`: three times that. The
// sanitizers slow some work more than other, so they double it.
inline double ratio(double seen) { return 3 * seen * (slowdown > 1 ? 2 : 1) * userScale(); }

// The CPU seconds `work` took on this thread, the least of `tries` runs: what
// work on one thread costs whatever else shares the cores.
template <class Work> double threadSeconds(Work&& work, int tries = 3)
{
    auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
    };
    double least = 0;
    for (int i = 0; i < tries; ++i) {
        const double start = now();
        work();
        const double took = now() - start;
        if (i == 0 || took < least) least = took;
    }
    return least;
}

} // namespace HangGuard
