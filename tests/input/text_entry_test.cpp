// Text entry driven by real key events, one per frame through the frame hook.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <vector>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "input/input.h"
#include "input_test_support.h"

namespace {

// Key events handed out one per frame: (key, down).
std::vector<std::pair<int, bool>> script;
size_t nextEvent = 0;
int framesSeen = 0;
// The colour of screen pixel (125, 125) drawn from tiled record 3 at frame 2.
uint32_t frozenPixel = 0xFFFFFFFF;

uint32_t PixelAt(int x, int y) {
    unsigned char rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, engine.screen->height - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return rgb[0] + 256u * rgb[1] + 65536u * rgb[2];
}

void FeedOneEvent() {
    ++framesSeen;
    if (framesSeen == 2) {
        glClear(GL_COLOR_BUFFER_BIT);
        DrawTiledImage(3);
        frozenPixel = PixelAt(125, 125);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    if (nextEvent < script.size()) {
        PlatformPushKeyEvent(script[nextEvent].first, script[nextEvent].second);
        ++nextEvent;
    }
}

// Each key pressed in one frame and released in the next.
void Type(std::initializer_list<int> keys) {
    for (int key : keys) {
        script.push_back({key, true});
        script.push_back({key, false});
    }
}

class TextEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseScratchTempDirectory();
        StartHeadless({320, 240, 0});
        script.clear();
        nextEvent = 0;
        framesSeen = 0;
        SetFrameHook(FeedOneEvent);
    }
    void TearDown() override { SetFrameHook(nullptr); }
};

TEST_F(TextEntryTest, TypingBackspaceAndEnterBuildTheText) {
    Type({30, 48, 46, 14, 28});  // a, b, c, backspace, Enter
    DrawRect(100, 100, 50, 50, 255);
    RuntimeString text;
    TextEntry(text, 10.9, 20);
    EXPECT_STREQ(text.Text(), "ab");
    EXPECT_EQ(nextEvent, script.size() - 1);  // Enter ended it while held
    // The text was typed over a copy of the screen as it was.
    EXPECT_EQ(frozenPixel, 255u);
    // The frozen screen is let go.
    EXPECT_EQ(engine.screen->sprites->tiledImages[3].texture[0], 0u);
}

TEST_F(TextEntryTest, EditsTheGivenTextAndShiftGivesCapitals) {
    script.push_back({42, true});
    Type({35});
    script.push_back({42, false});
    Type({14, 14, 14, 14, 2, 156});  // more backspaces than text, "1", keypad Enter
    RuntimeString text("xy");
    TextEntry(text, 0, 0);
    EXPECT_STREQ(text.Text(), "1");
}

TEST_F(TextEntryTest, AHeldKeyTypesOnce) {
    script = {{30, true}, {31, true}};  // a held, then s pressed too
    for (int i = 0; i < 5; ++i) script.push_back({57, false});
    script.push_back({30, false});
    script.push_back({31, false});
    script.push_back({28, true});
    RuntimeString text;
    TextEntry(text, 0, 0);
    // The first down key wins, so "s" only shows once "a" is let go.
    EXPECT_STREQ(text.Text(), "as");
}

}  // namespace
