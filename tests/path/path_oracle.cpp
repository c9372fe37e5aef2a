// Plain A* over the request's grid, step by step as the planner is described:
// take the last open node, check the goal, visit the neighbours in their fixed
// order (closed set first, then a scan of the open list from its end), insert
// by bisection before equal f, then close the node.
#include "path_oracle.h"

#include <bit>
#include <cfloat>
#include <cstdlib>
#include <map>

namespace {

struct OracleNode {
    int parent;
    int32_t x, y;
    float f, g;
};

}  // namespace

OracleResult OracleSearch(const PlannerRequest& r) {
    OracleResult result;
    auto inside = [](int32_t v, uint32_t n) { return v >= 0 && (uint32_t)v < n; };
    if (!inside(r.startX, r.width) || !inside(r.startY, r.height) || !inside(r.goalX, r.width) ||
        !inside(r.goalY, r.height) || (r.startX == r.goalX && r.startY == r.goalY))
        return result;

    size_t cellCount = (size_t)r.width * r.height;
    std::vector<float> grid(cellCount);
    float largest = -1.0f;
    for (size_t i = 0; i < cellCount; ++i) {
        double v = r.cells[i];
        float c = -1.0f;
        if (v > 0.0) c = v > (double)FLT_MAX ? FLT_MAX : (float)v;
        if (!(c > 0.0f)) c = -1.0f;
        grid[i] = c;
        if (c > largest) largest = c;
    }
    if (!(largest > 0.0f)) return result;
    for (float& c : grid)
        if (c > 0.0f) c = c / largest + 1.0f;
    result.initialised = true;

    float w = r.weight >= 1.0f ? 1.0f : (r.weight >= 0.0f ? r.weight : 0.0f);
    float d = r.diagonalCostIsRoot2 ? std::bit_cast<float>(uint32_t{0x3FB504F4}) : 1.0f;

    std::vector<OracleNode> nodes;
    nodes.reserve(cellCount);
    std::vector<int> open;  // node indices, descending f
    std::map<std::pair<int32_t, int32_t>, int> closed;

    auto insertSorted = [&](int id) {
        size_t lo = 0, hi = open.size();
        while (lo < hi) {
            size_t mid = (lo + hi) / 2;
            if (nodes[id].f < nodes[open[mid]].f)
                lo = mid + 1;
            else
                hi = mid;
        }
        open.insert(open.begin() + (long)lo, id);
    };

    nodes.push_back({-1, r.startX, r.startY, 0.0f, 0.0f});
    open.push_back(0);

    static const int sx[8] = {-1, 0, 1, 1, -1, -1, 0, 1};
    static const int sy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
    int goal = -1;
    while (!open.empty()) {
        int cur = open.back();
        open.pop_back();
        OracleNode c = nodes[cur];
        if (c.x == r.goalX && c.y == r.goalY) {
            closed[{c.x, c.y}] = cur;
            goal = cur;
            break;
        }
        ++result.expanded;
        for (int k = 0; k < 8; ++k) {
            bool diagonal = sx[k] != 0 && sy[k] != 0;
            if (diagonal && !r.allowDiagonals) continue;
            int32_t nx = c.x + sx[k], ny = c.y + sy[k];
            if (!inside(nx, r.width) || !inside(ny, r.height)) continue;
            float cost = grid[(size_t)ny * r.width + nx];
            if (cost == -1.0f) continue;
            float g = nodes[cur].g + (diagonal ? cost * d : cost);
            float h = (float)(std::abs(r.goalX - nx) + std::abs(r.goalY - ny));
            float f = (h - g) * w + g;

            auto inClosed = closed.find({nx, ny});
            if (inClosed != closed.end()) {
                int id = inClosed->second;
                if (!(g < nodes[id].g)) continue;
                closed.erase(inClosed);
                nodes[id].parent = cur;
                nodes[id].g = g;
                nodes[id].f = f;
                insertSorted(id);
                continue;
            }
            bool seen = false;
            for (size_t i = open.size(); i-- > 0;) {
                int id = open[i];
                if (nodes[id].x != nx || nodes[id].y != ny) continue;
                seen = true;
                if (g < nodes[id].g) {
                    open.erase(open.begin() + (long)i);
                    nodes[id].parent = cur;
                    nodes[id].g = g;
                    nodes[id].f = f;
                    insertSorted(id);
                }
                break;
            }
            if (seen) continue;
            nodes.push_back({cur, nx, ny, f, g});
            insertSorted((int)nodes.size() - 1);
        }
        closed[{c.x, c.y}] = cur;
    }

    result.openLeft = (uint32_t)open.size();
    result.closedCount = (uint32_t)closed.size();
    if (goal >= 0) {
        result.found = true;
        result.cost = nodes[goal].g;
        for (int id = goal; id >= 0; id = nodes[id].parent)
            result.path.insert(result.path.begin(), {nodes[id].x, nodes[id].y});
    }
    return result;
}
