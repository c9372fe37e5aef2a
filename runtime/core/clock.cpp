// The one clock of the runtime: milliseconds from the high-resolution counter.
#include "core/engine.h"

// ---------------------------------------------------------------------------
// State

static double (*clockOverride)() = nullptr;

// ---------------------------------------------------------------------------
// Public

void SetClockSource(double (*now)()) { clockOverride = now; }

bool ClockIsPlatform() { return clockOverride == nullptr; }

double NowMilliseconds() {
    if (clockOverride) return clockOverride();
    static const uint64_t frequency = PlatformCounterFrequency();
    if (frequency > 0) return (double)PlatformCounter() * 1000.0 / (double)frequency;
    return (double)PlatformTickMilliseconds();
}
