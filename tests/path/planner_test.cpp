// The planner's containers and search: ring-buffer wrap-around and shifting,
// closed-set buckets, pool accounting, the cost grid, refusals, exhaustion of
// small pools, and the indexed search against the plain one on random maps.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "path/path.h"
#include "path_oracle.h"

namespace {

std::vector<Node*> Contents(const FixedDeque<Node*>& q) {
    std::vector<Node*> v;
    for (uint32_t i = 0; i < q.Size(); ++i) v.push_back(q.At(i));
    return v;
}

PlannerRequest GridRequest(const std::vector<double>& cells, uint32_t w, uint32_t h, int sx, int sy, int gx,
                           int gy, float weight = 0.5f) {
    PlannerRequest r;
    r.startX = sx;
    r.startY = sy;
    r.goalX = gx;
    r.goalY = gy;
    r.diagonalCostIsRoot2 = 1;
    r.hashBits = 8;
    r.weight = weight;
    r.width = w;
    r.height = h;
    r.cells = cells.data();
    return r;
}

std::vector<std::pair<int32_t, int32_t>> PlannerPath(const Planner& p) {
    std::vector<std::pair<int32_t, int32_t>> path;
    for (const Node* n = p.goalNode; n; n = n->parent) path.insert(path.begin(), {n->x, n->y});
    return path;
}

}  // namespace

TEST(FixedDeque, AgreesWithAPlainVectorUnderRandomInsertsAndRemovals) {
    // Both shifting directions and every wrap-around position get used.
    std::mt19937 rng(5);
    Node n[64];
    for (uint32_t cap : {1u, 2u, 3u, 7u, 16u}) {
        FixedDeque<Node*> q;
        ASSERT_TRUE(q.SetCapacity(cap));
        std::vector<Node*> model;
        for (int step = 0; step < 4000; ++step) {
            uint32_t size = (uint32_t)model.size();
            uint32_t pos = std::uniform_int_distribution<uint32_t>(0, size + 1)(rng);
            Node* value = &n[step % 64];
            switch (rng() % 4) {
                case 0:
                case 1: {
                    bool ok = pos <= size && size < cap;
                    ASSERT_EQ(q.InsertAt(pos, value), ok);
                    if (ok) model.insert(model.begin() + pos, value);
                    break;
                }
                case 2: {
                    bool ok = pos < size;
                    ASSERT_EQ(q.RemoveAt(pos), ok);
                    if (ok) model.erase(model.begin() + pos);
                    break;
                }
                default:
                    ASSERT_EQ(q.RemoveLast(), !model.empty());
                    if (!model.empty()) model.pop_back();
            }
            ASSERT_EQ(q.Size(), model.size());
            ASSERT_EQ(q.Full(), model.size() == cap);
            ASSERT_EQ(Contents(q), model) << "capacity " << cap << " step " << step;
            if (!model.empty()) {
                ASSERT_EQ(q.Last(), model.back());
            }
        }
    }
}

TEST(FixedDeque, ZeroCapacityRefusesEverything) {
    Node n;
    FixedDeque<Node*> q;
    EXPECT_FALSE(q.Append(&n));
    EXPECT_FALSE(q.InsertAt(0, &n));
    ASSERT_TRUE(q.SetCapacity(0));
    EXPECT_FALSE(q.Append(&n));
    EXPECT_EQ(q.Size(), 0u);
}

TEST(NodeHashTable, SizesBucketsAndMapsCellsByLowBits) {
    NodeHashTable t;
    EXPECT_EQ(t.Bits(), 0u);
    EXPECT_EQ(t.BucketOf(123, 456), 0u);
    ASSERT_TRUE(t.SetSize(8));
    EXPECT_EQ(t.BucketOf(0x35, 0x2A), 0x5u | (0xAu << 4));
    EXPECT_EQ(t.BucketOf(0x15, 0x1A), t.BucketOf(0x35, 0x2A));
    ASSERT_TRUE(t.SetSize(9));  // odd lowered by one
    EXPECT_EQ(t.Bits(), 8u);
    ASSERT_TRUE(t.SetSize(31));  // at most 24
    EXPECT_EQ(t.Bits(), 24u);
    EXPECT_EQ(t.BucketOf(0xFFFF, 0xFFFF), 0xFFFFFFu);
}

TEST(NodeHashTable, FindsRemovesAndRefusesDoubleInsertInSharedChains) {
    NodeFactory pool;
    ASSERT_TRUE(pool.SetUp(4));
    NodeHashTable t;
    ASSERT_TRUE(t.SetSize(2));  // 4 buckets: (x & 1) | (y & 1) << 1
    Node* a = pool.Get();
    Node* b = pool.Get();
    Node* c = pool.Get();
    a->x = 0, a->y = 0;
    b->x = 2, b->y = 0;
    c->x = 4, c->y = 2;  // all three share bucket 0
    ASSERT_TRUE(t.Insert(a));
    ASSERT_TRUE(t.Insert(b));
    ASSERT_TRUE(t.Insert(c));
    EXPECT_FALSE(t.Insert(b));
    EXPECT_EQ(t.Count(), 3u);
    EXPECT_EQ(t.Find(2, 0), b);  // middle of the chain
    ASSERT_TRUE(t.RemoveFound());
    EXPECT_FALSE(t.RemoveFound());
    EXPECT_EQ(t.Find(2, 0), nullptr);
    EXPECT_EQ(t.Find(0, 0), a);
    EXPECT_EQ(t.Find(4, 2), c);
    EXPECT_EQ(t.Count(), 2u);
    // An insert after a find invalidates the remembered link.
    ASSERT_TRUE(t.Find(4, 2));
    t.InsertNew(b);
    EXPECT_FALSE(t.RemoveFound());
    EXPECT_EQ(t.Count(), 3u);

    EXPECT_EQ(pool.HandedOut(), 3u);
    t.Clear(&pool);
    EXPECT_EQ(pool.HandedOut(), 0u);
    EXPECT_EQ(t.Find(0, 0), nullptr);
}

TEST(Planner, RefusesBadRequestsAndNormalisesTheCostGrid) {
    std::vector<double> cells = {1, 1, 1, 1};
    AStarPlanner p;
    EXPECT_FALSE(p.Initialise(GridRequest(cells, 2, 2, -1, 0, 1, 1)));
    EXPECT_FALSE(p.Initialise(GridRequest(cells, 2, 2, 0, 0, 2, 1)));
    EXPECT_FALSE(p.Initialise(GridRequest(cells, 2, 2, 0, 0, 1, 2)));
    EXPECT_FALSE(p.Initialise(GridRequest(cells, 2, 2, 1, 1, 1, 1)));
    EXPECT_FALSE(p.Initialise(GridRequest(cells, 0, 0, 0, 0, 0, 0)));
    std::vector<double> walls = {0, -3, 1e-50, std::nan("")};
    EXPECT_FALSE(p.Initialise(GridRequest(walls, 2, 2, 0, 0, 1, 1)));
    EXPECT_EQ(p.costGrid, nullptr);

    ASSERT_TRUE(p.Initialise(GridRequest(cells, 2, 2, 0, 0, 1, 1)));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(p.CellCost(x, y), 2.0f);
    EXPECT_EQ(p.done, 1);
    EXPECT_EQ(p.pool.Capacity(), 4u);
    EXPECT_EQ(p.open.Capacity(), 4u);
    EXPECT_EQ(p.closed.Bits(), 8u);

    // Walls, tiny values that vanish as floats, and values beyond the float
    // range (treated as the largest float, so the grid stays finite).
    std::vector<double> mixed = {4, 2, 0, 1e-50, 1e300, 3};
    ASSERT_TRUE(p.Initialise(GridRequest(mixed, 3, 2, 0, 0, 2, 1)));
    EXPECT_EQ(p.CellCost(2, 0), -1.0f);
    EXPECT_EQ(p.CellCost(0, 1), -1.0f);
    EXPECT_EQ(p.CellCost(1, 1), 2.0f);
    EXPECT_EQ(p.CellCost(0, 0), 1.0f);  // 4 / FLT_MAX vanishes next to 1
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(std::isfinite(p.costGrid[i]));

    std::vector<double> graded = {4, 2, 1};
    ASSERT_TRUE(p.Initialise(GridRequest(graded, 3, 1, 0, 0, 2, 0, 7.0f)));
    EXPECT_EQ(p.CellCost(0, 0), 2.0f);
    EXPECT_EQ(p.CellCost(1, 0), 1.5f);
    EXPECT_EQ(p.CellCost(2, 0), 1.25f);
    EXPECT_EQ(p.request.weight, 1.0f);
    EXPECT_EQ(p.PathCost(), -1.0);
    EXPECT_EQ(p.PathLength(), 0u);
}

TEST(Planner, DiagonalStepsCostRootTwoAndIgnoreTheCornersBeside) {
    EXPECT_EQ(std::bit_cast<uint32_t>(DiagonalFactor()), 0x3FB504F4u);
    // Walls at (1,0) and (0,1): a diagonal step slips between them.
    std::vector<double> cells = {1, 0, 0, 1};
    AStarPlanner p;
    PlannerRequest r = GridRequest(cells, 2, 2, 0, 0, 1, 1);
    r.allowDiagonals = 1;
    ASSERT_TRUE(p.Initialise(r));
    p.Start();
    ASSERT_TRUE(p.Search());
    EXPECT_EQ(PlannerPath(p), (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {1, 1}}));
    EXPECT_EQ(p.PathCost(), (double)(2.0f * DiagonalFactor()));
    p.Reset();
    EXPECT_EQ(p.pool.HandedOut(), 0u);

    r.diagonalCostIsRoot2 = 0;
    ASSERT_TRUE(p.Initialise(r));
    p.Start();
    ASSERT_TRUE(p.Search());
    EXPECT_EQ(p.PathCost(), 2.0);
    EXPECT_EQ(p.searchCount, 1u);
}

TEST(Planner, SmallPoolOrOpenListEndsTheSearchWithoutAPath) {
    std::vector<double> cells(10 * 10, 1.0);
    for (uint32_t nodes : {0u, 1u, 5u}) {
        for (uint32_t openCap : {0u, 1u, 2u}) {
            if (nodes == 0 && openCap == 0) continue;
            AStarPlanner p;
            PlannerRequest r = GridRequest(cells, 10, 10, 0, 0, 9, 9);
            r.nodeCapacity = nodes;
            r.openCapacity = openCap;
            ASSERT_TRUE(p.Initialise(r));
            p.Start();
            EXPECT_FALSE(p.Search()) << nodes << " " << openCap;
            EXPECT_EQ(p.goalNode, nullptr);
            EXPECT_EQ(p.done, 1);
            p.Reset();
            EXPECT_EQ(p.pool.HandedOut(), 0u);
            EXPECT_EQ(p.OpenCount(), 0u);
            EXPECT_EQ(p.ClosedCount(), 0u);
        }
    }
}

TEST(Planner, RunsAgainAfterResetAndAfterASecondInitialise) {
    std::vector<double> cells(6 * 4, 1.0);
    cells[2 + 1 * 6] = 0;
    AStarPlanner p;
    PlannerRequest r = GridRequest(cells, 6, 4, 0, 1, 5, 1);
    ASSERT_TRUE(p.Initialise(r));
    p.Start();
    ASSERT_TRUE(p.Search());
    auto first = PlannerPath(p);
    uint32_t out = p.pool.HandedOut();
    EXPECT_EQ(out, p.OpenCount() + p.ClosedCount());
    // Start without Reset clears the old search first.
    p.Start();
    ASSERT_TRUE(p.Search());
    EXPECT_EQ(PlannerPath(p), first);
    EXPECT_EQ(p.pool.HandedOut(), out);
    ASSERT_TRUE(p.Initialise(GridRequest(cells, 4, 6, 0, 0, 3, 5)));
    p.Start();
    ASSERT_TRUE(p.Search());
    OracleResult expected = OracleSearch(GridRequest(cells, 4, 6, 0, 0, 3, 5));
    EXPECT_EQ(PlannerPath(p), expected.path);
}

namespace {

// Runs the planner on a request and compares everything observable with the
// plain search: whether it starts, the path, its cost to the bit, how many
// nodes were expanded and what the lists hold at the end.
void ExpectSameAsOracle(const PlannerRequest& r, const char* what) {
    OracleResult expected = OracleSearch(r);
    AStarPlanner p;
    ASSERT_EQ(p.Initialise(r), expected.initialised) << what;
    if (!expected.initialised) return;
    p.Start();
    ASSERT_TRUE(p.Search()) << what;
    ASSERT_EQ(p.goalNode != nullptr, expected.found) << what;
    ASSERT_EQ(PlannerPath(p), expected.path) << what;
    if (expected.found) {
        ASSERT_EQ(std::bit_cast<uint32_t>(p.goalNode->g), std::bit_cast<uint32_t>(expected.cost)) << what;
    }
    ASSERT_EQ(p.expandedCount, expected.expanded) << what;
    ASSERT_EQ(p.OpenCount(), expected.openLeft) << what;
    ASSERT_EQ(p.ClosedCount(), expected.closedCount) << what;
    ASSERT_EQ(p.pool.HandedOut(), p.OpenCount() + p.ClosedCount()) << what;
    p.Reset();
    ASSERT_EQ(p.pool.HandedOut(), 0u) << what;
}

std::vector<double> RandomMap(std::mt19937& rng, uint32_t w, uint32_t h, double wallShare, int kind) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> level(1, 4);
    std::vector<double> cells(w * h);
    for (double& c : cells) {
        if (unit(rng) < wallShare) {
            c = unit(rng) < 0.5 ? 0.0 : -1.0;
            continue;
        }
        // Equal values make many equal f, where the order of expansion
        // decides between equally good paths.
        if (kind == 0) c = 1.0;
        else if (kind == 1) c = level(rng);
        else c = 0.01 + unit(rng) * 9.0;
    }
    return cells;
}

}  // namespace

TEST(PlannerOracle, MatchesThePlainSearchOnManySmallRandomMaps) {
    std::mt19937 rng(20240611);
    const float weights[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
    for (int trial = 0; trial < 3000; ++trial) {
        std::uniform_int_distribution<uint32_t> size(1, 24);
        uint32_t w = size(rng), h = size(rng);
        double wallShare = std::uniform_real_distribution<double>(0.0, 0.45)(rng);
        std::vector<double> cells = RandomMap(rng, w, h, wallShare, trial % 3);
        std::uniform_int_distribution<int> px(0, (int)w - 1), py(0, (int)h - 1);
        PlannerRequest r = GridRequest(cells, w, h, px(rng), py(rng), px(rng), py(rng));
        r.weight = trial % 7 == 6 ? std::uniform_real_distribution<float>(0.0f, 1.0f)(rng) : weights[trial % 5];
        r.allowDiagonals = trial % 4 == 1 || trial % 4 == 2;
        r.diagonalCostIsRoot2 = trial % 4 != 2;
        r.hashBits = trial % 3 == 0 ? 0 : 8;
        std::string what = "trial " + std::to_string(trial);
        ExpectSameAsOracle(r, what.c_str());
        if (HasFatalFailure()) return;
    }
}

TEST(PlannerOracle, MatchesThePlainSearchOnLargerMapsCornerToCorner) {
    std::mt19937 rng(77);
    for (int trial = 0; trial < 24; ++trial) {
        uint32_t w = 60 + trial * 7, h = 50 + trial * 5;
        std::vector<double> cells = RandomMap(rng, w, h, 0.2, trial % 3);
        cells[0] = 1;
        cells[w * h - 1] = 1;
        PlannerRequest r = GridRequest(cells, w, h, 0, 0, (int)w - 1, (int)h - 1);
        r.weight = (float)(trial % 5) * 0.25f;
        r.allowDiagonals = trial % 2;
        std::string what = "large trial " + std::to_string(trial);
        ExpectSameAsOracle(r, what.c_str());
        if (HasFatalFailure()) return;
    }
}
