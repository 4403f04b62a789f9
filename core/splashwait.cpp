#include "core/splashwait.h"

int SplashWait::RemainingMs(int64_t elapsedMs, int minimumMs)
{
    if (elapsedMs < 0 || elapsedMs >= minimumMs)
        return 0;
    return int(minimumMs - elapsedMs);
}

int SplashWait::Passes(int waitMs, int passMs)
{
    if (waitMs <= 0 || passMs <= 0)
        return 0;
    return (waitMs + passMs - 1) / passMs;
}

int SplashWait::Run(int waitMs, const std::function<bool()>& splashShown,
                    const std::function<void()>& pump, const std::function<void(int)>& sleepMs,
                    int passMs)
{
    if (waitMs <= 0 || passMs <= 0)
        return 0;
    int passes = 0;
    for (int waited = 0; waited < waitMs;) {
        pump();
        sleepMs(passMs);
        waited += passMs;
        ++passes;
        if (!splashShown())
            break;
    }
    return passes;
}
