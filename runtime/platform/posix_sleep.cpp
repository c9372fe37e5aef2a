// Fine-grained sleep for frame pacing: the frame routine sleeps through most of
// the wait for its deadline and spins only the last fraction of a millisecond.
#include "platform/platform.h"

#include <sys/prctl.h>

#include <cerrno>
#include <ctime>

void PlatformSleepMicroseconds(int64_t microseconds) {
    static bool slackSet = false;
    if (!slackSet) {
        // The default timer slack of 50 us would make every wake-up late by
        // that much; pacing wants the wake-up where it asked for it.
        prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
        slackSet = true;
    }
    if (microseconds <= 0) return;
    timespec wait;
    wait.tv_sec = (time_t)(microseconds / 1000000);
    wait.tv_nsec = (long)(microseconds % 1000000) * 1000;
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}
