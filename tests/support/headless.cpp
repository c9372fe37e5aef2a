#include "support/headless.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/engine.h"

double FakeClock::now = 0;
double FakeClock::step = 0;

void FakeClock::Install(double start, double stepMs) {
    now = start;
    step = stepMs;
    SetClockSource(&FakeClock::Read);
}

std::string UseScratchTempDirectory() {
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

void StartHeadless(const HeadlessSettings& settings) {
    engine.screenWidth = settings.width;
    engine.screenHeight = settings.height;
    engine.frameRateLimit = settings.frameRate;
    engine.multisampleCount = settings.multisample;
    engine.exclusiveMouse = settings.exclusiveMouse ? 1 : 0;
    ASSERT_TRUE(StartUp("", 1, "ReVev"));
    SetAutoPause(0);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string GreyBmp(int w, int h) {
    const int row = (w * 3 + 3) / 4 * 4;
    const uint32_t pixels = (uint32_t)(row * h);
    std::string bmp = "BM";
    auto le = [&bmp](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) bmp += (char)((value >> (8 * i)) & 0xFF);
    };
    le(54 + pixels, 4), le(0, 4), le(54, 4), le(40, 4), le((uint32_t)w, 4), le((uint32_t)h, 4);
    le(1, 2), le(24, 2), le(0, 4), le(pixels, 4), le(2835, 4), le(2835, 4), le(0, 4), le(0, 4);
    return bmp + std::string(pixels, (char)0x80);
}

int CountOccurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

ProgramRun RunProgram(const std::string& arguments, const std::string& scratchDir,
                      const std::string& workDir) {
    std::string out = scratchDir + "/program-stdout.txt", err = scratchDir + "/program-stderr.txt";
    std::string command;
    if (!workDir.empty()) command = "cd '" + workDir + "' && ";
    command += std::string("'") + REVEV_BINARY + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
    ProgramRun run;
    int status = std::system(command.c_str());
    run.exitCode = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    run.out = ReadWholeFile(out);
    run.err = ReadWholeFile(err);
    return run;
}
