// 2D drawing lands on the same pixels whether the screen is plain or
// multisampled: lines, points, filled rectangles, sprites and text, each
// checked against the rows and columns it must cover.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <algorithm>
#include <functional>
#include <string>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "pixels/pixels_support.h"
#include "support/headless.h"

namespace {

// The lit pixels' bounding box, top-left origin, ends included.
struct Box {
    int x0, x1, y0, y1;
    bool operator==(const Box& o) const { return x0 == o.x0 && x1 == o.x1 && y0 == o.y0 && y1 == o.y1; }
};
std::ostream& operator<<(std::ostream& out, const Box& b) {
    return out << "columns " << b.x0 << ".." << b.x1 << ", rows " << b.y0 << ".." << b.y1;
}

Box LitBox() {
    const std::vector<uint8_t> rgb = ReadBlock(0, 0, 320, 240);
    Box box{1 << 20, -1, 1 << 20, -1};
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint8_t* p = &rgb[((size_t)y * 320 + x) * 3];
            if (p[0] < 128 && p[1] < 128 && p[2] < 128) continue;
            box.x0 = std::min(box.x0, x);
            box.x1 = std::max(box.x1, x);
            box.y0 = std::min(box.y0, y);
            box.y1 = std::max(box.y1, y);
        }
    return box;
}

struct Case {
    const char* name;
    std::function<void()> draw;
    Box covers;
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"one-pixel rectangle line", [] { DrawRect(20, 57, 100, 1, 0xFFFFFF); }, {20, 119, 57, 57}},
        {"filled rectangle", [] { DrawRect(20, 30, 40, 20, 0xFFFFFF); }, {20, 59, 30, 49}},
        {"rectangle of negative size", [] { DrawRect(59, 49, -40, -20, 0xFFFFFF); }, {20, 59, 30, 49}},
        {"horizontal line", [] { DrawLine(20, 57, 119, 57, 0xFFFFFF); }, {20, 119, 57, 57}},
        {"vertical line", [] { DrawLine(33, 10, 33, 70, 0xFFFFFF); }, {33, 33, 10, 70}},
        {"pixel", [] { SetPixel(41, 83, 0xFFFFFF); }, {41, 41, 83, 83}},
        {"sprite", [] { DrawSprite(1, 20, 30); }, {20, 24, 30, 33}},
        {"stretched sprite", [] { StretchSprite(1, 20, 30, 17, 9); }, {20, 36, 30, 38}},
    };
    return cases;
}

void Start(int samples) {
    UseScratchTempDirectory();
    HeadlessSettings settings;
    settings.multisample = samples;
    StartHeadless(settings);
    MakeSprite(1, Picture(5, 4, kWhite));
}

void DrawEachCase(const std::string& screen) {
    for (const Case& c : Cases()) {
        ClearTo(kBlack);
        c.draw();
        EXPECT_EQ(LitBox(), c.covers) << c.name << " on the " << screen << " screen";
    }
}

}  // namespace

TEST(Multisample, PlainScreenDrawsOnTheGivenPixels) {
    Start(0);
    DrawEachCase("plain");
}

TEST(Multisample, MultisampledScreenDrawsOnTheSamePixelsAsThePlainOne) {
    Start(4);
    if (engine.screen->multisampleInForce == 0) GTEST_SKIP() << "no multisampled format";
    GLint sampleBuffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    ASSERT_EQ(sampleBuffers, 1);
    DrawEachCase("multisampled");
    // Text, wherever the font puts its glyphs, takes the same pixels too.
    ClearTo(kBlack);
    Print("Loading...", 20, 30);
    const Box multisampled = LitBox();
    Start(0);
    ClearTo(kBlack);
    Print("Loading...", 20, 30);
    EXPECT_EQ(multisampled, LitBox());
}
