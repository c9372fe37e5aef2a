// The script command PathFind: builds the planner's request from a number
// array and copies the path found back into another.
#include <cmath>

#include "path/path.h"

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
