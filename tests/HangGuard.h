#pragma once

// Wall-clock limits in tests guard against hangs only; speed itself is
// measured in bench/. A limit is ten times what the guarded work took in a
// release build when the test was written (at least a second), five times
// that again when the sanitizers slow everything down, so that a slow or busy
// machine never fails it.

#include <algorithm>
#include <chrono>

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

// How much slower this build runs than a release build.
inline constexpr int slowdown = sanitized ? 5 : 1;

// The limit for work that took `measured` in a release build.
inline std::chrono::milliseconds limit(std::chrono::milliseconds measured)
{
    return std::max(10 * measured, std::chrono::milliseconds(1000)) * slowdown;
}

} // namespace HangGuard
