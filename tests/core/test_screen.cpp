#include "test_screen.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <unistd.h>

#include "core/engine.h"

double FakeClock::now = 0;
double FakeClock::step = 0;

void FakeClock::Install(double start, double stepMs) {
    now = start;
    step = stepMs;
    SetClockSource(&FakeClock::Read);
}

std::string UseScratchTempDirectory() {
    // A death test's child runs the test body again; it inherits the parent's
    // directory through the environment so both look at the same log.
    const char* inherited = std::getenv("REVEV_TEST_TMP");
    std::string dir;
    if (inherited && *inherited) {
        dir = inherited;
    } else {
        char pattern[] = "/tmp/revev-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        dir = made ? made : "/tmp";
        setenv("REVEV_TEST_TMP", dir.c_str(), 1);
    }
    setenv("TMPDIR", dir.c_str(), 1);
    return dir + "/";
}

void StartHeadless(int frameRate, int multisample) {
    engine.screenWidth = 320;
    engine.screenHeight = 240;
    engine.frameRateLimit = frameRate;
    engine.multisampleCount = multisample;
    ASSERT_TRUE(StartUp("", 1, "ReVev"));
    SetAutoPause(0);
}
