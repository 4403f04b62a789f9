// The splash window's minimum time at start-up: how long is still to wait once start-up is
// done, and the wait itself in passes of 100 ms that end early when the splash is clicked away.
#pragma once

#include <cstdint>
#include <functional>

namespace SplashWait {
constexpr int kMinimumMs = 8000;
constexpr int kPassMs = 100;

// The time still to wait after `elapsedMs` of start-up: none once the minimum is reached
// (exactly the minimum counts as reached).
int RemainingMs(int64_t elapsedMs, int minimumMs = kMinimumMs);
// Passes the wait takes when nothing ends it early: one per started `passMs`.
int Passes(int waitMs, int passMs = kPassMs);

// Waits `waitMs` in passes: each pass pumps, sleeps one pass and then stops when the splash
// is no longer shown. Answers the passes made.
int Run(int waitMs, const std::function<bool()>& splashShown, const std::function<void()>& pump,
        const std::function<void(int)>& sleepMs, int passMs = kPassMs);
}
