// The 3D example run by the real program: its last frame, saved with
// --screenshot, shows the torus in the middle of the screen, shaded by the
// light and tinted by the blue fog.
#include <gtest/gtest.h>

#include <string>

#include "gfx2d/gfx2d.h"
#include "support/headless.h"

TEST(Example3D, ShowsALitFoggedObject) {
    const std::string dir = UseScratchTempDirectory();
    const std::string script = std::string(REVEV_SOURCE_DIR) + "/examples/3d/main.lua";
    const ProgramRun run = RunProgram("--frames 60 --script '" + script + "' --screenshot '" + dir + "shot.png'", dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("did not load"), std::string::npos) << run.out;

    const std::string bytes = ReadWholeFile(dir + "shot.png");
    ImageBuffer image;
    ASSERT_TRUE(ReadPng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), "shot.png", kNoColourKey,
                        image));
    ASSERT_EQ(image.width, 320);
    ASSERT_EQ(image.height, 240);

    // Below the caption, the object is whatever is not black.
    int count = 0, minX = 320, maxX = -1, minY = 240, maxY = -1;
    int darkest = 255 * 3, brightest = 0;
    double red = 0, blue = 0;
    for (int y = 24; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const uint8_t* p = &image.pixels[((size_t)y * 320 + x) * 4];
            const int sum = p[0] + p[1] + p[2];
            if (sum < 24) continue;
            ++count;
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
            darkest = std::min(darkest, sum), brightest = std::max(brightest, sum);
            red += p[0];
            blue += p[2];

        }
    }
    // There, and in the middle: a fair part of the screen, centred.
    EXPECT_GT(count, 320 * 216 / 8);
    EXPECT_NEAR((minX + maxX) / 2.0, 160, 24);
    EXPECT_NEAR((minY + maxY) / 2.0, 130, 30);
    // Lit: the side turned away from the light falls to the ambient level.
    // Unlit, the texture's darkest weave and the fog keep every pixel of the
    // object above a sum of about 170.
    EXPECT_LT(darkest, 140);
    EXPECT_GT(brightest, 400);
    // Fogged: the warm texture comes out bluer than it is red.
    ASSERT_GT(count, 0);
    EXPECT_GT(blue / count, red / count + 20) << "red " << red / count << " blue " << blue / count;
}
