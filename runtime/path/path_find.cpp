// The script command PathFind: builds the planner's request from a number
// array and copies the path found back into another.
#include <cmath>

#include "path/path.h"
#include "strings/number_array.h"

namespace {

// A script coordinate truncated toward zero; not a number or outside the
// 32-bit range becomes -1 so that Initialise refuses it.
int32_t Coordinate(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return -1;
    return (int32_t)value;
}

}  // namespace

PlannerRequest PathFindRequest(const double* cells, uint32_t width, uint32_t height, double weight,
                               double startX, double startY, double goalX, double goalY) {
    PlannerRequest request;
    request.startX = Coordinate(startX);
    request.startY = Coordinate(startY);
    request.goalX = Coordinate(goalX);
    request.goalY = Coordinate(goalY);
    request.diagonalCostIsRoot2 = 1;
    request.allowDiagonals = 0;
    request.nodeCapacity = 0;
    request.openCapacity = 0;
    request.hashBits = 8;
    request.weight = ClampWeight(weight);
    request.width = width;
    request.height = height;
    request.cells = cells;
    return request;
}

double PathFind(NumberArray& map, NumberArray& path, double weight, double startX, double startY,
                double goalX, double goalY) {
    uint32_t width = map.DimensionSize(0);
    uint32_t height = map.DimensionSize(1);
    // A map of one dimension has height 0 and is refused with the coordinates.
    if ((uint64_t)width * height > (uint64_t)(map.Capacity() > 0 ? map.Capacity() : 0)) return 0;

    AStarPlanner planner;
    if (!planner.Initialise(PathFindRequest(map.Data(), width, height, weight, startX, startY, goalX, goalY)))
        return 0;
    planner.Start();
    if (!planner.Search()) {
        planner.Reset();
        return 0;
    }
    uint32_t n = planner.PathLength();
    if (n == 0) {
        path.Dimension(0);
        return 0;
    }
    // The map's values were copied into the planner, so path may be the map.
    path.Dimension(n, 2);
    int64_t row = (int64_t)n - 1;
    for (const Node* node = planner.goalNode; node; node = node->parent, --row) {
        path.At(row, 0) = node->x;
        path.At(row, 1) = node->y;
    }
    planner.Reset();
    return n;
}
