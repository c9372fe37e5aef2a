// Test support: a real headless start-up, a scratch temporary directory and a
// clock the test drives.
#pragma once

#include <string>

// Points TMPDIR at a fresh directory for this process and returns it ("/" ended).
std::string UseScratchTempDirectory();
// Runs the real start-up with the application's settings (320 x 240, 60 fps).
// Fails the test when no window with a context can be made.
void StartHeadless(int frameRate = 60, int multisample = 0);

// A clock the test moves: every read advances it by `step` milliseconds.
struct FakeClock {
    static double now;
    static double step;
    static double Read() { return now += step; }
    static void Install(double start, double stepMs);
};
