// The one clock of the runtime: milliseconds from the high-resolution counter.
#include "core/engine.h"
#include "platform/journal.h"

// ---------------------------------------------------------------------------
// State

static double (*clockOverride)() = nullptr;

// ---------------------------------------------------------------------------
// Public

void SetClockSource(double (*now)()) { clockOverride = now; }

bool ClockIsPlatform() { return clockOverride == nullptr; }

// Every reading the run makes goes through the journal, so a replay sees the
// recording's clock; the counter stands for the tick as ticks of 1 kHz.
double NowMilliseconds() {
    if (clockOverride) return clockOverride();
    static const uint64_t liveFrequency = PlatformCounterFrequency();
    uint64_t frequency = JournalCounterFrequency(liveFrequency > 0 ? liveFrequency : 1000);
    uint64_t live = liveFrequency > 0 ? PlatformCounter() : PlatformTickMilliseconds();
    return (double)JournalCounter(live) * 1000.0 / (double)frequency;
}

double PacingMilliseconds() {
    if (clockOverride) return clockOverride();
    static const uint64_t frequency = PlatformCounterFrequency();
    if (frequency > 0) return (double)PlatformCounter() * 1000.0 / (double)frequency;
    return (double)PlatformTickMilliseconds();
}
