// PathFind on random square maps (20 % walls, passable cells 1.0, weight 0.5,
// corner to corner): time per call and nodes expanded per second.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "path/path.h"
#include "strings/number_array.h"

namespace {

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main() {
    std::printf("%-11s %9s %9s %12s %11s %14s\n", "map", "best ms", "median ms", "expanded", "path cells",
                "nodes/s");
    for (int side : {256, 512, 1024}) {
        std::mt19937 rng(1000 + side);
        std::bernoulli_distribution wall(0.2);
        NumberArray map;
        map.Dimension(side, side);
        std::vector<double> cells((size_t)side * side);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                double v = wall(rng) && !(x == 0 && y == 0) && !(x == side - 1 && y == side - 1) ? 0.0 : 1.0;
                map.At(x, y) = v;
                cells[(size_t)y * side + x] = v;
            }

        // The same search through the planner, for the count of expanded nodes.
        AStarPlanner planner;
        if (!planner.Initialise(PathFindRequest(cells.data(), side, side, 0.5, 0, 0, side - 1, side - 1))) return 1;
        planner.Start();
        planner.Search();
        uint64_t expanded = planner.expandedCount;
        planner.Reset();

        int runs = side >= 1024 ? 5 : 11;
        std::vector<double> times;
        double found = 0;
        for (int i = 0; i < runs; ++i) {
            NumberArray path;
            auto t0 = std::chrono::steady_clock::now();
            found = PathFind(map, path, 0.5, 0, 0, side - 1, side - 1);
            times.push_back(Milliseconds(std::chrono::steady_clock::now() - t0));
        }
        std::sort(times.begin(), times.end());
        double median = times[times.size() / 2];
        char name[32];
        std::snprintf(name, sizeof name, "%dx%d", side, side);
        std::printf("%-11s %9.2f %9.2f %12llu %11.0f %14.0f\n", name, times[0], median,
                    (unsigned long long)expanded, found, expanded / (median / 1000.0));
    }
    return 0;
}
