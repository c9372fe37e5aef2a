// The error banner in a real window on a private X server: the script's last
// error over the frame while it fails, gone once it runs clean, never with
// --no-error-banner, and never headless, where frames stay as the script
// drew them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx2d/gfx2d.h"
#include "support/headless.h"
#include "support/xvfb_display.h"

namespace {

// Fills the window with green, then fails in the frames up to `failUntil`.
std::string Script(int failUntil) {
    return "n = (n or 0) + 1\n"
           "Lua_Drawrect(0, 0, 320, 240, 0x00FF00)\n"
           "if n <= " + std::to_string(failUntil) + " then error('boom') end\n";
}

struct Shot {
    bool read = false;
    ImageBuffer image;
    // Red, green, blue of the pixel at x, y (top-left origin).
    std::vector<int> At(int x, int y) const {
        const uint8_t* p = &image.pixels[((size_t)y * image.width + x) * 4];
        return {p[0], p[1], p[2]};
    }
    // Pixels of the top rows (the banner's) that are near white: its text.
    int LightPixelsInTopRows(int rows) const {
        int light = 0;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < image.width; ++x) {
                std::vector<int> c = At(x, y);
                if (c[0] > 200 && c[1] > 200 && c[2] > 200) ++light;
            }
        return light;
    }
};

class ErrorBanner : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        std::string why;
        ASSERT_TRUE(display.Start(why)) << why;
    }

    // Runs the script in a window for `frames` frames and reads the
    // screenshot of the last one.
    Shot RunInWindow(const std::string& script, int frames, const std::vector<std::string>& extra = {}) {
        WriteWholeFile(dir + "main.lua", script);
        std::vector<std::string> arguments = {"--frames", std::to_string(frames), "--script", dir + "main.lua",
                                              "--screenshot", dir + "shot.png"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        BackgroundProgram program = StartProgram(display, arguments, dir, dir);
        int exitCode = -1;
        for (int waited = 0; ProgramRunning(program, &exitCode) && waited < 60000; waited += 50)
            SleepMilliseconds(50);
        if (ProgramRunning(program)) StopProgram(program, 5000);
        err = ReadWholeFile(program.err);
        EXPECT_EQ(exitCode, 0) << err;
        return ReadShot();
    }

    Shot ReadShot() {
        Shot shot;
        shot.read = LoadImage((dir + "shot.png").c_str(), kNoColourKey, shot.image) && shot.image.width == 320 &&
                    shot.image.height == 240;
        return shot;
    }

    std::string dir, err;
    XvfbDisplay display;
};

const std::vector<int> kGreen = {0, 255, 0};
const std::vector<int> kBand = {0x90, 0, 0};

TEST_F(ErrorBanner, AFailingScriptShowsItsErrorOverTheFrame) {
    Shot shot = RunInWindow(Script(1000), 4);
    ASSERT_TRUE(shot.read) << err;
    EXPECT_EQ(shot.At(316, 1), kBand);
    EXPECT_EQ(shot.At(160, 200), kGreen);
    EXPECT_GT(shot.LightPixelsInTopRows(12), 20);
    // Written to stderr once, shown in every frame.
    EXPECT_EQ(CountOccurrences(err, "revev: script: main.lua:3: boom\n"), 1) << err;
}

TEST_F(ErrorBanner, TheBannerGoesOnceTheScriptRunsClean) {
    Shot shot = RunInWindow(Script(2), 5);
    ASSERT_TRUE(shot.read) << err;
    EXPECT_EQ(shot.At(316, 1), kGreen);
    EXPECT_EQ(shot.At(2, 2), kGreen);
    EXPECT_EQ(shot.LightPixelsInTopRows(12), 0);
}

TEST_F(ErrorBanner, NoErrorBannerLeavesTheFrameAsTheScriptDrewIt) {
    Shot shot = RunInWindow(Script(1000), 4, {"--no-error-banner"});
    ASSERT_TRUE(shot.read) << err;
    EXPECT_EQ(shot.At(316, 1), kGreen);
    EXPECT_EQ(shot.LightPixelsInTopRows(12), 0);
    EXPECT_NE(err.find("revev: script: main.lua:3: boom\n"), std::string::npos) << err;
}

TEST_F(ErrorBanner, HeadlessFramesNeverShowIt) {
    WriteWholeFile(dir + "main.lua", Script(1000));
    ProgramRun run = RunProgram("--frames 3 --script '" + dir + "main.lua' --screenshot '" + dir + "shot.png'", dir);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    Shot shot = ReadShot();
    ASSERT_TRUE(shot.read) << run.err;
    EXPECT_EQ(shot.At(316, 1), kGreen);
    EXPECT_EQ(shot.At(2, 2), kGreen);
    EXPECT_EQ(shot.LightPixelsInTopRows(12), 0);
}

}  // namespace
