// Rules of the runtime core that need no window: multisample choice, extension
// names, software detection, integer conversion and the error log.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "core/engine.h"
#include "strings/script_numbers.h"
#include "support/headless.h"

static std::vector<int> tried;
static int available = 0;  // the only sample count the fake chooser accepts

static bool RecordingChooser(int samples) {
    tried.push_back(samples);
    return samples == available;
}

TEST(Multisample, RequestIsHalvedDownToOne) {
    tried.clear();
    available = -1;
    EXPECT_EQ(ChooseMultisampleCount(8, RecordingChooser), 0);
    EXPECT_EQ(tried, (std::vector<int>{8, 4, 2, 1}));

    tried.clear();
    EXPECT_EQ(ChooseMultisampleCount(3, RecordingChooser), 0);
    EXPECT_EQ(tried, (std::vector<int>{3, 1}));

    tried.clear();
    EXPECT_EQ(ChooseMultisampleCount(1, RecordingChooser), 0);
    EXPECT_EQ(tried, (std::vector<int>{1}));
}

TEST(Multisample, StopsAtTheFirstCountAvailable) {
    tried.clear();
    available = 2;
    EXPECT_EQ(ChooseMultisampleCount(8, RecordingChooser), 2);
    EXPECT_EQ(tried, (std::vector<int>{8, 4, 2}));
}

TEST(Extensions, WindowSystemNameMatchesOnlyAsWholeWord) {
    EXPECT_TRUE(HasExtensionWord("WGL_ARB_multisample", "WGL_ARB_multisample"));
    EXPECT_TRUE(HasExtensionWord("A WGL_ARB_multisample B", "WGL_ARB_multisample"));
    EXPECT_FALSE(HasExtensionWord("WGL_ARB_multisample_extra", "WGL_ARB_multisample"));
    EXPECT_FALSE(HasExtensionWord("XWGL_ARB_multisample", "WGL_ARB_multisample"));
    // A later whole occurrence counts after an earlier partial one.
    EXPECT_TRUE(HasExtensionWord("WGL_ARB_multisample2 WGL_ARB_multisample", "WGL_ARB_multisample"));
    EXPECT_FALSE(HasExtensionWord(nullptr, "WGL_ARB_multisample"));
}

TEST(Renderer, SoftwareOnlyForGenericFormatOrTheExactGdiName) {
    EXPECT_TRUE(IsSoftwareRenderer(false, "llvmpipe"));
    EXPECT_TRUE(IsSoftwareRenderer(true, "Mesa Windows GDI Driver"));
    EXPECT_FALSE(IsSoftwareRenderer(true, "Mesa Windows GDI Driver 2"));
    EXPECT_FALSE(IsSoftwareRenderer(true, "llvmpipe (LLVM 15.0.6, 256 bits)"));
}

TEST(Numbers, IntegersTruncateTowardZeroWithinRange) {
    EXPECT_EQ(TruncateToInt(7.9), 7);
    EXPECT_EQ(TruncateToInt(-0.4), 0);
    EXPECT_EQ(TruncateToInt(-7.9), -7);
    EXPECT_EQ(TruncateToInt(1e300), 2147483647);
    EXPECT_EQ(TruncateToInt(-1e300), -2147483647 - 1);
    EXPECT_EQ(TruncateToInt(0.0 / 0.0), 0);
}

TEST(Flags, SettersStoreOneForAnyNonZeroIncludingNaN) {
    SetAutoPause(0.0);
    EXPECT_EQ(engine.autoPause, 0);
    SetAutoPause(0.0 / 0.0);
    EXPECT_EQ(engine.autoPause, 1);
    SetEscapeEndsProgram(-3.0);
    EXPECT_EQ(engine.escapeEndsProgram, 1);
    SetEscapeEndsProgram(0.0);
    EXPECT_EQ(engine.escapeEndsProgram, 0);
}

TEST(ErrorLog, LinesAreAppendedWithCrLfAndDeletedOnRequest) {
    std::string dir = UseScratchTempDirectory();
    EXPECT_EQ(ErrorLogPath(), dir + "ErrorLog.txt");
    ErrorLogDelete();
    ErrorLogAppend("first");
    ErrorLogAppend("second");
    std::ifstream in(ErrorLogPath(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "first\r\nsecond\r\n");
    ErrorLogDelete();
    EXPECT_FALSE(std::ifstream(ErrorLogPath()).good());
}

TEST(ErrorLog, UnwritableDirectoryDropsTheLineSilently) {
    setenv("TMPDIR", "/nonexistent/dir", 1);
    ErrorLogAppend("lost");  // must not crash or throw
    EXPECT_FALSE(std::ifstream(ErrorLogPath()).good());
}
