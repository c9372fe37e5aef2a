// NumberArray and TextArray: storage rules, strides, redimensioning that keeps
// the overlap, and the fatal errors (each run in a child process, which must
// end through the end-of-program operation with exit code 0).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/engine.h"
#include "strings/number_array.h"
#include "strings/text_array.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Runs at exit in the child, so the test can see which error ended it.
void ReportErrorNumber() {
    std::fprintf(stderr, "fatal error %g\n", engine.errorNumber);
}

#define EXPECT_FATAL(number, statement)                                   \
    EXPECT_EXIT(                                                          \
        {                                                                 \
            std::atexit(ReportErrorNumber);                               \
            statement;                                                    \
            std::fprintf(stderr, "statement returned\n");                 \
            std::_Exit(3);                                                \
        },                                                                \
        ::testing::ExitedWithCode(0), "fatal error " #number "\n")

}  // namespace

TEST(NumberArrayStorage, InlineStoreAndHeapCapacity) {
    NumberArray a;
    EXPECT_EQ(a.Data(), nullptr);
    a.Dimension(10);
    EXPECT_EQ(a.DimensionCount(), 1);
    EXPECT_EQ(a.DimensionSize(0), 10u);
    EXPECT_EQ(a.Capacity(), 16);
    EXPECT_TRUE(a.UsesInlineStore());
    a.Dimension(8);
    EXPECT_EQ(a.Capacity(), 16);

    NumberArray b;
    b.Dimension(20);
    EXPECT_EQ(b.Capacity(), 24);
    EXPECT_FALSE(b.UsesInlineStore());
    b.At(19) = 5;
    b.Dimension(5);  // smaller: the block stays, cleared
    EXPECT_EQ(b.Capacity(), 24);
    EXPECT_FALSE(b.UsesInlineStore());
    for (int i = 0; i < b.Capacity(); ++i) EXPECT_EQ(b.Data()[i], 0.0);

    b.Dimension(-5);  // empty: storage renewed
    EXPECT_EQ(b.DimensionCount(), 0);
    EXPECT_EQ(b.Capacity(), 8);
    EXPECT_TRUE(b.UsesInlineStore());
    EXPECT_EQ(b.Bounds(0), 0.0);
}

TEST(NumberArrayStorage, StridesAndBounds) {
    NumberArray a;
    a.Dimension(3, 4);
    EXPECT_EQ(a.DimensionCount(), 2);
    a.At(2, 3) = 7;
    EXPECT_EQ(a.Data()[11], 7.0);
    EXPECT_EQ(a.Bounds(0), 3.0);
    EXPECT_EQ(a.Bounds(1), 4.0);
    EXPECT_EQ(a.Bounds(1.9), 4.0);
    EXPECT_EQ(a.Bounds(2), 0.0);
    EXPECT_EQ(a.Bounds(7), 0.0);
    EXPECT_EQ(a.Bounds(-1), 0.0);

    NumberArray one;
    one.Dimension(5);
    EXPECT_EQ(one.Bounds(1), 0.0);

    NumberArray four;
    four.Dimension(2, 3, 4, 5);
    EXPECT_EQ(four.DimensionCount(), 4);
    four.At(1, 2, 3, 4) = 9;
    EXPECT_EQ(four.Data()[1 + 2 * 2 + 3 * 6 + 4 * 24], 9.0);

    // A skipped middle dimension must not fold k onto one place.
    NumberArray gap;
    gap.Dimension(3, 0, 4);
    EXPECT_EQ(gap.DimensionCount(), 3);
    for (int k = 0; k < 4; ++k) gap.At(1, 0, k) = k + 1;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(gap.At(1, 0, k), k + 1.0);
}

TEST(NumberArrayStorage, RedimensionKeepsTheOverlap) {
    NumberArray a;
    a.Dimension(3, 3);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) a.At(i, j) = 1 + i + 3 * j;
    a.Redimension(2, 4);
    EXPECT_EQ(a.Bounds(0), 2.0);
    EXPECT_EQ(a.Bounds(1), 4.0);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 2; ++i) EXPECT_EQ(a.At(i, j), j < 3 ? 1 + i + 3 * j : 0.0) << i << "," << j;

    // Heap to heap (storage taken over) and one dimension to two.
    NumberArray big;
    big.Dimension(40);
    for (int i = 0; i < 40; ++i) big.At(i) = i;
    big.Redimension(30, 2);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(big.At(i, 0), i);
        EXPECT_EQ(big.At(i, 1), 0.0);
    }
    big.Redimension(50);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(big.At(i), i < 30 ? i : 0.0);

    // Never dimensioned: becomes a plain dimensioning.
    NumberArray fresh;
    fresh.Redimension(4);
    EXPECT_EQ(fresh.At(3), 0.0);
    fresh.Redimension(0);
    EXPECT_EQ(fresh.DimensionCount(), 0);
}

TEST(NumberArrayStorage, AssignAndFill) {
    const double list[] = {1.5, 2.5, 3.5};
    NumberArray a;
    a.FillFromList(3, list);
    EXPECT_EQ(a.Bounds(0), 3.0);
    EXPECT_EQ(a.At(2), 3.5);

    NumberArray grid;
    grid.Dimension(5, 6);
    grid.At(4, 5) = 42;
    NumberArray copy;
    copy.Assign(grid);
    EXPECT_EQ(copy.Bounds(1), 6.0);
    EXPECT_EQ(copy.At(4, 5), 42.0);
    copy.Assign(copy);
    EXPECT_EQ(copy.At(4, 5), 42.0);
    grid.Assign(a);
    EXPECT_EQ(grid.DimensionCount(), 1);
    EXPECT_EQ(grid.At(1), 2.5);
}

// Sizes beyond any integer: each is held to the 32-bit range before the
// product, so 0 times infinity is an empty array, not NaN elements.
TEST(NumberArrayStorage, HugeAndNaNSizesWithAZeroFirstSizeAreEmpty) {
    const double sizes[][4] = {
        {0, kInfinity, 0, 0},
        {0, kInfinity, kInfinity, kInfinity},
        {-kInfinity, kInfinity, 0, 0},
        {kNaN, kInfinity, kNaN, 0},
        {0.5, 1e300, 0, 0},
    };
    for (const auto& d : sizes) {
        NumberArray a;
        a.Dimension(40);
        a.Dimension(d[0], d[1], d[2], d[3]);
        EXPECT_EQ(a.Capacity(), 8);
        EXPECT_TRUE(a.UsesInlineStore());
        EXPECT_EQ(a.Bounds(0), 0.0);
        EXPECT_EQ(a.Bounds(1), 2147483647.0);

        NumberArray r;
        r.Dimension(3);
        r.At(2) = 1;
        r.Redimension(d[0], d[1], d[2], d[3]);
        EXPECT_EQ(r.Capacity(), 8);
        EXPECT_EQ(r.Bounds(0), 0.0);
    }
    NumberArray small;
    small.Dimension(3, -kInfinity);
    EXPECT_EQ(small.Capacity(), 8);
    small.Dimension(2.9, 2.9);
    small.At(1, 1) = 4;
    EXPECT_EQ(small.Data()[3], 4.0);
}

TEST(NumberArrayFatal, BadIndexEndsWithError9) {
    EXPECT_FATAL(9, { NumberArray a; a.At(0); });
    EXPECT_FATAL(9, { NumberArray a; a.Dimension(10); a.At(10); });
    EXPECT_FATAL(9, { NumberArray a; a.Dimension(10); a.At(-1); });
    EXPECT_FATAL(9, { NumberArray a; a.Dimension(10); a.At(0, 1); });
    EXPECT_FATAL(9, { NumberArray a; a.Dimension(3, 4); a.At(0, 4); });
    EXPECT_FATAL(9, { NumberArray a; a.Dimension(-5); a.At(0); });
    EXPECT_FATAL(9, { NumberArray a; a.Dimension(3, 4); a.At(0, 0, 0, 1); });
}

TEST(NumberArrayFatal, NoMemoryEndsWithError7) {
    EXPECT_FATAL(7, { NumberArray a; a.Dimension(1e6, 1e6); });
    EXPECT_FATAL(7, { NumberArray a; a.Dimension(65536, 65536, 65536, 65536); });
    EXPECT_FATAL(7, { NumberArray a; a.Dimension(1, kInfinity); });
    EXPECT_FATAL(7, { NumberArray a; a.Dimension(kInfinity); });
    // The 64-bit product of these sizes would wrap to a small number.
    EXPECT_FATAL(7, { NumberArray a; a.Dimension(2, 2147483648.0, 2147483648.0, 2147483648.0); });
    EXPECT_FATAL(7, { NumberArray a; a.Redimension(3, kInfinity); });
}

TEST(TextArrayStorage, BlocksOf64AndClearing) {
    TextArray t;
    t.Dimension(10);
    EXPECT_EQ(t.Capacity(), 64);
    EXPECT_EQ(t.DimensionCount(), 1);
    t.At(9) = "kept?";
    t.Dimension(64);
    EXPECT_EQ(t.Capacity(), 128);
    t.At(63) = "x";
    t.At(5) = "y";
    t.Dimension(10);  // keeps the block, empties its first 64 elements
    EXPECT_EQ(t.Capacity(), 128);
    EXPECT_EQ(t.At(5).Length(), 0u);
    EXPECT_STREQ(t.At(9).Text(), "");

    t.Dimension(0);
    EXPECT_EQ(t.DimensionCount(), 0);
    EXPECT_EQ(t.Capacity(), 64);

    TextArray grid;
    grid.Dimension(3, 0, 2);
    grid.At(2, 0, 1) = "far";
    grid.At(2, 0, 0) = "near";
    EXPECT_STREQ(grid.At(2, 0, 1).Text(), "far");
    EXPECT_EQ(grid.Bounds(2), 2.0);
    EXPECT_EQ(grid.Bounds(1), 0.0);
}

TEST(TextArrayStorage, HugeAndNaNSizesWithAZeroFirstSizeAreEmpty) {
    TextArray t;
    t.Dimension(100);
    t.Dimension(0, kInfinity);
    EXPECT_EQ(t.Capacity(), 64);
    EXPECT_EQ(t.DimensionCount(), 2);
    EXPECT_EQ(t.Bounds(1), 2147483647.0);
    t.Dimension(kNaN, kInfinity, kInfinity, kInfinity);
    EXPECT_EQ(t.Capacity(), 64);
    t.Dimension(-1e300, 1e300);
    EXPECT_EQ(t.Capacity(), 64);
    EXPECT_EQ(t.Bounds(0), 0.0);
}

TEST(TextArrayFatal, BadIndexEndsWithError9) {
    EXPECT_FATAL(9, { TextArray t; t.At(0); });
    EXPECT_FATAL(9, { TextArray t; t.Dimension(2); t.At(2); });
    EXPECT_FATAL(9, { TextArray t; t.Dimension(0); t.At(0); });
    EXPECT_FATAL(7, { TextArray t; t.Dimension(1e5, 1e5); });
    EXPECT_FATAL(7, { TextArray t; t.Dimension(1, kInfinity); });
    EXPECT_FATAL(7, { TextArray t; t.Dimension(2, 2147483648.0, 2147483648.0, 2147483648.0); });
}
