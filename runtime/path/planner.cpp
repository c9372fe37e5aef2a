// The planner family: Planner's set-up, reset and queries, and the weighted
// A* search of AStarPlanner.
//
// The open list is kept in descending order of f and the lowest f is taken
// from its end; a node is inserted before every node of equal f, so among
// equal f the earliest entry is expanded first. A per-cell index answers
// "is this cell open or closed, and by which node" without scanning; since a
// cell never has more than one node, it finds exactly the node a scan of the
// open list from its end, or a walk of the closed-set chain, would find.
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "path/path.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

// Neighbour order: up-left, up, up-right, right, left, down-left, down,
// down-right; the diagonal ones only when diagonals are allowed.
constexpr int kStepX[8] = {-1, 0, 1, 1, -1, -1, 0, 1};
constexpr int kStepY[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
constexpr bool kDiagonal[8] = {true, false, true, false, false, true, false, true};

// A map value as the 32-bit cost before normalising; 0 or less, or not a
// number, is a wall (-1). Values too large for a float count as the largest
// float, so normalising never divides infinity by infinity.
float RawCost(double value) {
    if (!(value > 0.0)) return -1.0f;
    if (value > (double)FLT_MAX) return FLT_MAX;
    float cost = (float)value;
    return cost > 0.0f ? cost : -1.0f;
}

}  // namespace

float DiagonalFactor() { return std::bit_cast<float>(uint32_t{0x3FB504F4}); }

float ClampWeight(double weight) {
    if (weight >= 1.0) return 1.0f;
    if (!(weight >= 0.0)) return 0.0f;
    return (float)weight;
}

// ---------------------------------------------------------------------------
// Planner

Planner::~Planner() { FreeGrid(); }

void Planner::FreeGrid() {
    // The containers hold nodes of the old grid; empty them with it.
    open.Clear();
    closed.Clear(nullptr);
    pool.Return(pool.HandedOut());
    goalNode = nullptr;
    delete[] costGrid;
    delete[] cellNode;
    delete[] cellState;
    costGrid = nullptr;
    cellNode = nullptr;
    cellState = nullptr;
}

bool Planner::Initialise(const PlannerRequest& req) {
    auto inside = [&](int32_t v, uint32_t size) { return v >= 0 && (uint32_t)v < size; };
    if (!inside(req.startX, req.width) || !inside(req.startY, req.height) ||
        !inside(req.goalX, req.width) || !inside(req.goalY, req.height))
        return false;
    if (req.startX == req.goalX && req.startY == req.goalY) return false;
    uint64_t cellCount = (uint64_t)req.width * req.height;
    // The pool and open list count in 32 bits.
    if (!req.cells || cellCount > UINT32_MAX) return false;

    if (costGrid) {
        FreeGrid();
        request = PlannerRequest();
        searchCount = 0;
    }

    costGrid = new (std::nothrow) float[cellCount];
    if (!costGrid) return false;
    float largest = -1.0f;
    for (uint64_t i = 0; i < cellCount; ++i) {
        float cost = RawCost(req.cells[i]);
        costGrid[i] = cost;
        if (cost > largest) largest = cost;
    }
    if (!(largest > 0.0f)) {
        FreeGrid();
        return false;
    }
    for (uint64_t i = 0; i < cellCount; ++i)
        if (costGrid[i] > 0.0f) costGrid[i] = costGrid[i] / largest + 1.0f;

    uint32_t nodes = req.nodeCapacity ? req.nodeCapacity : (uint32_t)cellCount;
    uint32_t openSize = req.openCapacity ? req.openCapacity : (uint32_t)cellCount;
    cellNode = new (std::nothrow) Node*[cellCount]();
    cellState = new (std::nothrow) uint8_t[cellCount]();
    if (!cellNode || !cellState || !pool.SetUp(nodes) || !open.SetCapacity(openSize) ||
        !closed.SetSize(req.hashBits)) {
        FreeGrid();
        return false;
    }

    request = req;
    request.weight = ClampWeight(req.weight);
    searchCount = 0;
    expandedCount = 0;
    goalNode = nullptr;
    done = 1;
    return true;
}

void Planner::Start() {
    // A search left unfinished or not reset would leave nodes in the lists.
    if (open.Size() || closed.Count()) Reset();
    done = 0;
    searchCount = 0;
    goalNode = nullptr;
}

void Planner::Reset() {
    // Every node in either list is one of the nodes handed out so far; going
    // through them in pool order is far quicker than walking the chains.
    if (cellState) {
        for (uint32_t i = 0; i < pool.HandedOut(); ++i) {
            const Node* node = pool.nodes[i];
            cellState[CellIndex(node->x, node->y)] = kNone;
        }
    }
    pool.Return(open.Size());
    open.Clear();
    closed.Clear(&pool);
    goalNode = nullptr;
    done = 1;
}

double Planner::PathCost() const { return goalNode ? (double)goalNode->g : -1.0; }

uint32_t Planner::PathLength() const {
    uint32_t n = 0;
    for (const Node* node = goalNode; node; node = node->parent) ++n;
    return n;
}

bool Planner::OpenInsertSorted(Node* node) {
    if (open.Full() || open.Capacity() == 0) return false;
    uint32_t lo = 0, hi = open.Size();
    while (lo < hi) {
        uint32_t mid = (lo + hi) / 2;
        if (node->f < open.At(mid)->f)
            lo = mid + 1;
        else
            hi = mid;
    }
    return open.InsertAt(lo, node);
}

uint32_t Planner::OpenPositionOf(const Node* node) const {
    uint32_t size = open.Size();
    uint32_t lo = 0, hi = size;
    while (lo < hi) {
        uint32_t mid = (lo + hi) / 2;
        if (node->f < open.At(mid)->f)
            lo = mid + 1;
        else
            hi = mid;
    }
    for (uint32_t i = lo; i < size && open.At(i)->f == node->f; ++i)
        if (open.At(i) == node) return i;
    // Only reachable if the order were broken; a scan still finds the node.
    for (uint32_t i = size; i-- > 0;)
        if (open.At(i) == node) return i;
    return size;
}

// ---------------------------------------------------------------------------
// AStarPlanner

AStarPlanner::~AStarPlanner() = default;

void AStarPlanner::Start() {
    Planner::Start();
    if (!costGrid) return;
    Node* node = pool.Get();
    if (!node) return;
    node->parent = nullptr;
    node->x = request.startX;
    node->y = request.startY;
    node->g = 0.0f;
    float h = (float)(std::llabs((long long)request.goalX - node->x) + std::llabs((long long)request.goalY - node->y));
    node->f = h * request.weight;
    if (!open.Append(node)) {
        pool.Return(1);
        return;
    }
    size_t at = CellIndex(node->x, node->y);
    cellNode[at] = node;
    cellState[at] = kOpen;
}

bool AStarPlanner::Search() {
    ++searchCount;
    expandedCount = 0;
    const float d = request.diagonalCostIsRoot2 ? DiagonalFactor() : 1.0f;
    const float w = request.weight;
    const int64_t width = request.width, height = request.height;
    const int32_t goalX = request.goalX, goalY = request.goalY;

    auto close = [&](Node* node) {
        closed.InsertNew(node);
        size_t at = CellIndex(node->x, node->y);
        cellNode[at] = node;
        cellState[at] = kClosed;
    };
    // The pool or the open list ran out: end with no path, every node still
    // in one of the lists so that Reset returns it.
    auto giveUp = [&](Node* current) {
        close(current);
        goalNode = nullptr;
        done = 1;
        return false;
    };

    for (;;) {
        if (open.Size() == 0) {
            done = 1;
            return true;
        }
        Node* current = open.Last();
        open.RemoveLast();
        cellState[CellIndex(current->x, current->y)] = kNone;
        if (current->x == goalX && current->y == goalY) {
            close(current);
            goalNode = current;
            done = 1;
            return true;
        }
        ++expandedCount;

        for (int k = 0; k < 8; ++k) {
            if (kDiagonal[k] && !request.allowDiagonals) continue;
            int64_t nx = (int64_t)current->x + kStepX[k];
            int64_t ny = (int64_t)current->y + kStepY[k];
            if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
            size_t at = (size_t)ny * (size_t)width + (size_t)nx;
            float cost = costGrid[at];
            if (cost < 0.0f) continue;

            float step = kDiagonal[k] ? cost * d : cost;
            float g = current->g + step;
            float h = (float)(std::llabs(goalX - nx) + std::llabs(goalY - ny));
            float f = (h - g) * w + g;

            Node* node = cellNode[at];
            if (cellState[at] == kClosed) {
                if (!(g < node->g)) continue;
                closed.Find((int32_t)nx, (int32_t)ny);
                closed.RemoveFound();
                node->parent = current;
                node->g = g;
                node->f = f;
                if (!OpenInsertSorted(node)) {
                    closed.InsertNew(node);
                    return giveUp(current);
                }
                cellState[at] = kOpen;
            } else if (cellState[at] == kOpen) {
                if (!(g < node->g)) continue;
                open.RemoveAt(OpenPositionOf(node));
                node->parent = current;
                node->g = g;
                node->f = f;
                OpenInsertSorted(node);  // cannot fail: a place was just freed
            } else {
                node = pool.Get();
                if (!node) return giveUp(current);
                node->parent = current;
                node->x = (int32_t)nx;
                node->y = (int32_t)ny;
                node->g = g;
                node->f = f;
                if (!OpenInsertSorted(node)) {
                    pool.Return(1);
                    return giveUp(current);
                }
                cellNode[at] = node;
                cellState[at] = kOpen;
            }
        }
        close(current);
    }
}
