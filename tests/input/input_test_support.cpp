#include "input_test_support.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "core/engine.h"

std::string UseScratchTempDirectory() {
    // A death test's child runs the body again; it finds the parent's
    // directory in the environment so both look at the same log.
    const char* inherited = std::getenv("REVEV_TEST_TMP");
    std::string dir;
    if (inherited && *inherited) {
        dir = inherited;
    } else {
        char pattern[] = "/tmp/revev-input-XXXXXX";
        const char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        dir = made ? made : "/tmp";
        setenv("REVEV_TEST_TMP", dir.c_str(), 1);
    }
    setenv("TMPDIR", dir.c_str(), 1);
    return dir + "/";
}

void StartHeadless(int frameRate, bool exclusiveMouse) {
    engine.screenWidth = 320;
    engine.screenHeight = 240;
    engine.frameRateLimit = frameRate;
    engine.exclusiveMouse = exclusiveMouse ? 1 : 0;
    ASSERT_TRUE(StartUp("", 1, "ReVev"));
    SetAutoPause(0);
}

std::string ReadErrorLog(const std::string& dir) {
    std::ifstream in(dir + "ErrorLog.txt", std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void PressKey(int key) { PlatformPushKeyEvent(key, true); }
void ReleaseKey(int key) { PlatformPushKeyEvent(key, false); }
