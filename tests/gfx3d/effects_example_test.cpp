// The effects example run by the real program: its last frame shows the
// floor both lit and darkened by the turning cube's shadow, and the cartoon
// cube in the grey bands of its three-level ramp.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "gfx2d/gfx2d.h"
#include "support/headless.h"

TEST(ExampleEffects, ShowsAShadowAndCartoonBands) {
    const std::string dir = UseScratchTempDirectory();
    const std::string script = std::string(REVEV_SOURCE_DIR) + "/examples/effects/main.lua";
    const ProgramRun run = RunProgram("--frames 30 --script '" + script + "' --screenshot '" + dir + "shot.png'", dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string bytes = ReadWholeFile(dir + "shot.png");
    ImageBuffer image;
    ASSERT_TRUE(ReadPng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), "shot.png", kNoColourKey,
                        image));
    ASSERT_EQ(image.width, 320);
    ASSERT_EQ(image.height, 240);

    // The floor is green; the most common green is the lit floor, and the
    // shadow is that colour at half.
    int lit = 0, shadowed = 0, bands[3] = {0, 0, 0};
    const int levels[3] = {89, 178, 255};
    int floorG = 0;
    for (int pass = 0; pass < 2; ++pass) {
        int histogram[256] = {};
        for (int i = 0; i < 320 * 240; ++i) {
            const uint8_t* p = &image.pixels[(size_t)i * 4];
            const bool green = p[1] > p[0] + 10 && p[1] > p[2] + 10;
            if (pass == 0) {
                if (green) ++histogram[p[1]];
                if (p[0] == p[1] && p[1] == p[2])
                    for (int k = 0; k < 3; ++k)
                        if (std::abs(p[0] - levels[k]) <= 2) ++bands[k];
            } else if (green) {
                if (std::abs(p[1] - floorG) <= 3) ++lit;
                if (std::abs(p[1] - floorG / 2) <= 4) ++shadowed;
            }
        }
        if (pass == 0)
            for (int g = 0; g < 256; ++g)
                if (histogram[g] > histogram[floorG]) floorG = g;
    }
    EXPECT_GT(lit, 20000);
    EXPECT_GT(shadowed, 500);
    EXPECT_GT(bands[0] + bands[1] + bands[2], 500);
    EXPECT_GT(bands[0], 50);
    EXPECT_GT(bands[1], 50);
}
