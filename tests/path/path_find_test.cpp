// The script command PathFind over number arrays: the small maps whose
// answers are fixed, the refusals that leave the path array alone, weight
// clamping, cells that vanish as floats, and paths without diagonal steps.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "path/path.h"
#include "path_oracle.h"
#include "strings/number_array.h"

namespace {

using Cells = std::vector<std::pair<int32_t, int32_t>>;

// Dimensions map to w x h and fills it row by row from values (y outer).
void FillMap(NumberArray& map, int w, int h, const std::vector<double>& values) {
    map.Dimension(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) map.At(x, y) = values[(size_t)y * w + x];
}

Cells Rows(const NumberArray& path) {
    Cells rows;
    for (uint32_t i = 0; i < path.DimensionSize(0); ++i) rows.push_back({(int32_t)path.At(i, 0), (int32_t)path.At(i, 1)});
    return rows;
}

// A path array holding something a refused call must leave as it is.
void Prefill(NumberArray& path) {
    path.Dimension(2);
    path.At(0) = 7;
    path.At(1) = 8;
}

void ExpectUntouched(const NumberArray& path) {
    EXPECT_EQ(path.DimensionCount(), 1);
    EXPECT_EQ(path.DimensionSize(0), 2u);
    EXPECT_EQ(path.At(0), 7);
    EXPECT_EQ(path.At(1), 8);
}

}  // namespace

TEST(PathFind, LineOfThreeGivesThreeRowsFromStartToGoal) {
    NumberArray map, path;
    FillMap(map, 3, 1, {1, 1, 1});
    EXPECT_EQ(PathFind(map, path, 0.5, 0, 0, 2, 0), 3);
    EXPECT_EQ(path.DimensionCount(), 2);
    EXPECT_EQ(path.DimensionSize(0), 3u);
    EXPECT_EQ(path.DimensionSize(1), 2u);
    EXPECT_EQ(Rows(path), (Cells{{0, 0}, {1, 0}, {2, 0}}));
    // Backwards, and with coordinates truncated toward zero.
    EXPECT_EQ(PathFind(map, path, 0.5, 2.9, 0.7, 0.2, -0.9), 3);
    EXPECT_EQ(Rows(path), (Cells{{2, 0}, {1, 0}, {0, 0}}));
    // Only entered cells must be passable: a start on a wall still leaves it.
    FillMap(map, 3, 1, {0, 1, 1});
    EXPECT_EQ(PathFind(map, path, 0.5, 0, 0, 2, 0), 3);
}

TEST(PathFind, NoWayRoundEmptiesThePathAndReturnsZero) {
    NumberArray map, path;
    FillMap(map, 3, 3, {1, 0, 1,
                        1, 0, 1,
                        1, -4, 1});
    Prefill(path);
    EXPECT_EQ(PathFind(map, path, 0.5, 0, 0, 2, 2), 0);
    EXPECT_EQ(path.DimensionCount(), 0);
    EXPECT_EQ(path.DimensionSize(0), 0u);
    // A goal cell that is itself a wall is never reached either.
    FillMap(map, 3, 1, {1, 1, 0});
    Prefill(path);
    EXPECT_EQ(PathFind(map, path, 0.5, 0, 0, 2, 0), 0);
    EXPECT_EQ(path.DimensionCount(), 0);
}

TEST(PathFind, RefusedRequestsLeaveThePathUntouched) {
    NumberArray map, path;
    FillMap(map, 4, 3, std::vector<double>(12, 1.0));
    const double bad[][4] = {
        {-1, 0, 3, 2}, {0, 0, 4, 2}, {0, 3, 3, 2}, {0, 0, 3, -1},  // outside the map
        {2, 1, 2, 1}, {2.5, 1.2, 2.1, 1.9},                       // start equals goal
        {NAN, 0, 3, 2}, {0, 0, 1e12, 2}, {0, 0, 3, -1e300},        // not coordinates at all
    };
    for (const auto& c : bad) {
        Prefill(path);
        EXPECT_EQ(PathFind(map, path, 0.5, c[0], c[1], c[2], c[3]), 0) << c[0] << "," << c[1] << " " << c[2] << "," << c[3];
        ExpectUntouched(path);
    }
    // A map without a positive cell, a one-dimensional map, a map never
    // dimensioned.
    FillMap(map, 2, 2, {0, -1, 1e-50, 0});
    Prefill(path);
    EXPECT_EQ(PathFind(map, path, 0.5, 0, 0, 1, 1), 0);
    ExpectUntouched(path);
    NumberArray line, none;
    line.Dimension(5);
    line.At(0) = line.At(1) = line.At(2) = 1;
    EXPECT_EQ(PathFind(line, path, 0.5, 0, 0, 2, 0), 0);
    EXPECT_EQ(PathFind(none, path, 0.5, 0, 0, 2, 0), 0);
    ExpectUntouched(path);
}

TEST(PathFind, WeightsAboveOneActAsOneAndBelowZeroAsZero) {
    // Row 0 is dear (value 9), row 1 cheap (value 1): uniform cost goes round
    // through row 1, greedy search goes straight along row 0.
    NumberArray map, path;
    FillMap(map, 5, 2, {9, 9, 9, 9, 1,
                        1, 1, 1, 1, 1});
    const Cells round = {{0, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 0}};
    const Cells straight = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}};
    EXPECT_EQ(PathFind(map, path, 0.0, 0, 0, 4, 0), 7);
    EXPECT_EQ(Rows(path), round);
    EXPECT_EQ(PathFind(map, path, -1.0, 0, 0, 4, 0), 7);
    EXPECT_EQ(Rows(path), round);
    EXPECT_EQ(PathFind(map, path, 1.0, 0, 0, 4, 0), 5);
    EXPECT_EQ(Rows(path), straight);
    EXPECT_EQ(PathFind(map, path, 5.0, 0, 0, 4, 0), 5);
    EXPECT_EQ(Rows(path), straight);
    // Not a number is taken as 0, never as an unordered priority.
    EXPECT_EQ(PathFind(map, path, NAN, 0, 0, 4, 0), 7);
    EXPECT_EQ(Rows(path), round);
}

TEST(PathFind, EqualPathsAreDecidedByTheOrderOfExpansion) {
    // Several paths of 9 cells lead round the wall through the gap at the
    // bottom; neighbour order and first-in-first-out among equal f pick one.
    std::vector<double> values = {1, 1, 0, 1, 1,
                                  1, 1, 0, 1, 1,
                                  1, 1, 1, 1, 1};
    NumberArray map, path;
    FillMap(map, 5, 3, values);
    const Cells expected = {{0, 0}, {1, 0}, {1, 1}, {1, 2}, {2, 2}, {3, 2}, {3, 1}, {3, 0}, {4, 0}};
    EXPECT_EQ(PathFind(map, path, 0.5, 0, 0, 4, 0), 9);
    EXPECT_EQ(Rows(path), expected);
    EXPECT_EQ(OracleSearch(PathFindRequest(values.data(), 5, 3, 0.5, 0, 0, 4, 0)).path, expected);
    // Uniform cost breaks the tie the same way as the plain search.
    EXPECT_EQ(PathFind(map, path, 0.0, 0, 0, 4, 0), 9);
    EXPECT_EQ(Rows(path), OracleSearch(PathFindRequest(values.data(), 5, 3, 0.0, 0, 0, 4, 0)).path);
}

TEST(PathFind, TinyValuesVanishAsFloatsAndBlock) {
    NumberArray map, path;
    FillMap(map, 3, 1, {1, 1e-50, 1});
    EXPECT_EQ(PathFind(map, path, 0.5, 0, 0, 2, 0), 0);
    EXPECT_EQ(path.DimensionCount(), 0);
    // With a way round, the path takes it; 1e-30 still fits a float and passes.
    FillMap(map, 3, 2, {1, 1e-50, 1,
                        1, 1e-30, 1});
    EXPECT_EQ(PathFind(map, path, 0.5, 0, 0, 2, 0), 5);
    EXPECT_EQ(Rows(path), (Cells{{0, 0}, {0, 1}, {1, 1}, {2, 1}, {2, 0}}));
}

TEST(PathFind, PathMayBeTheMapItself) {
    NumberArray map;
    FillMap(map, 3, 2, {1, 1, 1, 1, 1, 1});
    EXPECT_EQ(PathFind(map, map, 0.5, 0, 0, 2, 1), 4);
    EXPECT_EQ(map.DimensionSize(0), 4u);
    EXPECT_EQ(Rows(map).front(), (std::pair<int32_t, int32_t>{0, 0}));
    EXPECT_EQ(Rows(map).back(), (std::pair<int32_t, int32_t>{2, 1}));
}

TEST(PathFind, RandomMapsGiveOrthogonalStepsOverPassableCellsAsThePlainSearch) {
    std::mt19937 rng(4242);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int found = 0;
    for (int trial = 0; trial < 300; ++trial) {
        int w = 2 + trial % 23, h = 1 + (trial * 7) % 19;
        std::vector<double> values((size_t)w * h);
        for (double& v : values) v = unit(rng) < 0.25 ? 0.0 : (trial % 2 ? 1.0 : 1.0 + std::floor(unit(rng) * 3));
        NumberArray map, path;
        FillMap(map, w, h, values);
        int sx = (int)(unit(rng) * w), sy = (int)(unit(rng) * h), gx = (int)(unit(rng) * w), gy = (int)(unit(rng) * h);
        double weight = (trial % 5) * 0.25;
        double n = PathFind(map, path, weight, sx, sy, gx, gy);

        OracleResult expected = OracleSearch(PathFindRequest(values.data(), w, h, weight, sx, sy, gx, gy));
        ASSERT_EQ(n, (double)expected.path.size()) << trial;
        if (n == 0) continue;
        ++found;
        Cells rows = Rows(path);
        ASSERT_EQ(rows, expected.path) << trial;
        EXPECT_EQ(rows.front(), (std::pair<int32_t, int32_t>{sx, sy}));
        EXPECT_EQ(rows.back(), (std::pair<int32_t, int32_t>{gx, gy}));
        // Every cell entered is passable (the start cell is where one stands,
        // and is not checked).
        for (size_t i = 1; i < rows.size(); ++i) {
            EXPECT_GT(values[(size_t)rows[i].second * w + rows[i].first], 0.0) << trial;
            int dx = std::abs(rows[i].first - rows[i - 1].first), dy = std::abs(rows[i].second - rows[i - 1].second);
            ASSERT_EQ(dx + dy, 1) << "trial " << trial << " row " << i;
        }
    }
    EXPECT_GT(found, 100);
}
