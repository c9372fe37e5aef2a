// Path finding: a weighted A* planner over a grid of cell costs, its
// preallocated containers, and the script command PathFind over a number array.
//
// A search allocates nothing: the node pool, the open list and the closed set
// are sized when the planner is initialised. Which of several equally good
// paths comes out is fixed by the order of expansion (sorted insertion before
// equal priorities, lowest priority taken from the end, the neighbour order,
// Manhattan h and 32-bit float costs); callers and tests rely on it.
#pragma once

#include <cstddef>
#include <cstdint>

class NumberArray;

// ---------------------------------------------------------------------------
// Types

// One search node.
struct Node {
    Node* parent = nullptr;  // the node this one was reached from; null for the start
    int32_t x = 0;
    int32_t y = 0;
    float f = 0.0f;          // priority: (h - g) x weight + g
    float g = 0.0f;          // cost of the path from the start to this cell
    Node* next = nullptr;    // chain link inside a NodeHashTable bucket
};

// The parameters of one search. Cell (x, y) is cells[y x width + x].
struct PlannerRequest {
    int32_t startX = 0;
    int32_t startY = 0;
    int32_t goalX = 0;
    int32_t goalY = 0;
    uint8_t diagonalCostIsRoot2 = 0;  // a diagonal step costs the cell value x 1.4142137
    uint8_t allowDiagonals = 0;       // the four diagonal neighbours are considered
    uint32_t nodeCapacity = 0;        // node pool size; 0 means width x height
    uint32_t openCapacity = 0;        // open list capacity; 0 means width x height
    uint32_t hashBits = 0;            // size parameter of the closed set
    float weight = 0.0f;              // heuristic weight, clamped to 0..1
    uint32_t width = 0;
    uint32_t height = 0;
    const double* cells = nullptr;
};

// The preallocated pool of nodes. Handing out never allocates; returning only
// lowers the count, so the most recently handed-out nodes come back first.
class NodeFactory {
public:
    NodeFactory() = default;
    virtual ~NodeFactory();
    NodeFactory(const NodeFactory&) = delete;
    NodeFactory& operator=(const NodeFactory&) = delete;

    // Frees the old pool and allocates `count` nodes. False when memory runs
    // out; the pool is then empty.
    bool SetUp(uint32_t count);
    // The next node not yet handed out, cleared; null when all are out.
    Node* Get();
    // Lowers the handed-out count by `count` (never below 0).
    void Return(uint32_t count = 1);
    uint32_t Capacity() const { return capacity; }
    uint32_t HandedOut() const { return handedOut; }

    uint32_t capacity = 0;
    Node** nodes = nullptr;   // capacity pointers into `block`
    uint32_t handedOut = 0;

private:
    Node* block = nullptr;
};

// A ring buffer of fixed capacity kept in order by its user. Insertion and
// removal in the middle shift elements through a second buffer of the same
// capacity, so nothing is allocated after SetCapacity; being a ring, either
// side may move, and the shorter one does. Instantiated for Node* (the open
// list) in containers.cpp.
template <typename T>
class FixedDeque {
public:
    FixedDeque() = default;
    virtual ~FixedDeque() { Free(); }
    FixedDeque(const FixedDeque&) = delete;
    FixedDeque& operator=(const FixedDeque&) = delete;

    // Frees both buffers and allocates new ones; the deque is empty after.
    // False when memory runs out (capacity is then 0).
    bool SetCapacity(uint32_t newCapacity);
    uint32_t Capacity() const { return capacity; }
    // 0 when empty; tail - head when tail > head; else capacity - head + tail.
    uint32_t Size() const;
    bool Full() const { return !empty && head == tail; }
    // Element i counted from the head. Precondition: i < Size().
    T& At(uint32_t i) { return items[Wrap(head + i)]; }
    const T& At(uint32_t i) const { return items[Wrap(head + i)]; }
    // The last element. Precondition: Size() > 0.
    T& Last() { return items[tail == 0 ? capacity - 1 : tail - 1]; }
    // Removes the last element; false when empty.
    bool RemoveLast();
    // Appends at the end; false when full.
    bool Append(const T& value);
    // Inserts before position pos (pos == Size() appends); false when full or
    // pos > Size().
    bool InsertAt(uint32_t pos, const T& value);
    // Removes the element at pos; false when pos >= Size().
    bool RemoveAt(uint32_t pos);
    void Clear() { head = tail = 0; empty = 1; }

private:
    // A ring place from an offset below 2 x capacity.
    uint32_t Wrap(uint64_t i) const { return (uint32_t)(i >= capacity ? i - capacity : i); }
    // Copies n elements between the ring (from place `at`, wrapping) and the
    // start of the shift buffer.
    void CopyOut(uint32_t at, uint32_t n);
    void CopyIn(uint32_t at, uint32_t n);
    void Free();

    uint32_t capacity = 0;
    T* items = nullptr;
    T* shift = nullptr;  // scratch buffer for insertion and removal
    uint32_t head = 0;
    uint32_t tail = 0;   // one past the last element
    uint8_t empty = 1;   // head == tail means both empty and full
};

// The closed set: chained buckets keyed by cell. With bits b the table has
// 2^b buckets and a cell maps by the low b/2 bits of x and of y.
class NodeHashTable {
public:
    NodeHashTable();
    virtual ~NodeHashTable();
    NodeHashTable(const NodeHashTable&) = delete;
    NodeHashTable& operator=(const NodeHashTable&) = delete;

    // bits = requestedBits, at most 24, an odd value lowered by 1; the buckets
    // are reallocated and cleared. False when memory runs out (the table then
    // keeps bits 0 and its one bucket).
    bool SetSize(uint32_t requestedBits);
    uint32_t Bits() const { return bits; }
    uint32_t BucketOf(int32_t x, int32_t y) const;
    // The node of cell (x, y) or null. Remembers the link that points at it
    // for RemoveFound.
    Node* Find(int32_t x, int32_t y);
    // Unlinks the node the last successful Find returned; false when there is
    // none (or the table changed since).
    bool RemoveFound();
    // Inserts at the head of the cell's chain; false when that very node is
    // already in the chain.
    bool Insert(Node* node);
    // Insert for callers that know the node is not in the table: skips the
    // walk along the chain.
    void InsertNew(Node* node);
    uint32_t Count() const { return count; }
    // Empties the table, lowering the pool's count once per node (pool may be
    // null).
    void Clear(NodeFactory* pool);
    // Calls visit(node) for every node, bucket by bucket.
    template <typename Visit>
    void ForEach(Visit visit) const {
        for (size_t b = 0; b < BucketCount(); ++b)
            for (Node* n = buckets[b]; n; n = n->next) visit(n);
    }

private:
    size_t BucketCount() const { return (size_t)1 << bits; }

    Node** buckets = nullptr;
    uint32_t bits = 0;
    uint32_t count = 0;
    Node** foundLink = nullptr;  // the link pointing at the last found node
};

// The abstract planner: owns the cost grid, the node pool, the open list
// (descending f, lowest at the end) and the closed set.
class Planner {
public:
    Planner() = default;
    virtual ~Planner();
    // Puts the start node into the open list.
    virtual void Start();
    // Runs the search to its end. True when it finished: goalNode is then the
    // goal's node, or null when no route exists. False when it had to stop
    // because the node pool or the open list ran out (goalNode null).
    virtual bool Search() = 0;
    // Returns every node to the pool and empties both lists; done = 1.
    virtual void Reset();

    Planner(const Planner&) = delete;
    Planner& operator=(const Planner&) = delete;

    // Checks the request, builds the cost grid (cells of 0 or less, or not a
    // number, block; the others cost value / largest + 1, in (1, 2]) and sizes
    // the containers. False, with the planner left without a grid, when a
    // coordinate is outside the grid, start equals goal, no cell is passable,
    // the cells are missing or memory runs out.
    bool Initialise(const PlannerRequest& request);
    // The g of goalNode, or -1.0 when there is none.
    double PathCost() const;
    // Nodes from goalNode through the parents; 0 when there is none.
    uint32_t PathLength() const;
    uint32_t OpenCount() const { return open.Size(); }
    uint32_t ClosedCount() const { return closed.Count(); }
    // Cost of cell (x, y): -1.0 for a wall. Precondition: inside the grid.
    float CellCost(int32_t x, int32_t y) const { return costGrid[(size_t)y * request.width + x]; }

    uint8_t done = 1;
    NodeFactory pool;
    PlannerRequest request;
    float* costGrid = nullptr;
    uint32_t searchCount = 0;
    uint32_t reserved = 0;
    FixedDeque<Node*> open;
    NodeHashTable closed;
    Node* goalNode = nullptr;

    // Per-cell index of the node a cell has and where it is, so membership
    // tests need no scan of the open list or of a closed-set chain.
    Node** cellNode = nullptr;
    uint8_t* cellState = nullptr;
    // Nodes taken from the open list and expanded by the last search.
    uint64_t expandedCount = 0;

protected:
    enum CellState : uint8_t { kNone = 0, kOpen = 1, kClosed = 2 };

    size_t CellIndex(int32_t x, int32_t y) const { return (size_t)y * request.width + x; }
    // Inserts node into the open list at its sorted place; false when full.
    bool OpenInsertSorted(Node* node);
    // Position of node in the open list, found by its f; Size() if absent.
    uint32_t OpenPositionOf(const Node* node) const;
    void FreeGrid();
};

// Weighted A* over the grid with four or eight neighbours.
class AStarPlanner : public Planner {
public:
    AStarPlanner() = default;
    ~AStarPlanner() override;
    void Start() override;
    bool Search() override;
};

// ---------------------------------------------------------------------------
// Public functions

// Float value of the diagonal factor, one unit in the last place above the
// float nearest below the square root of 2.
float DiagonalFactor();

// Clamps a script weight into 0..1 (not a number counts as 0).
float ClampWeight(double weight);

// Fills the request PathFind uses for a width x height grid of cells
// (four neighbours, pools sized to the grid, hashBits 8). Coordinates truncate
// toward zero; one that is not a number or outside the 32-bit range becomes
// -1, which Initialise refuses.
PlannerRequest PathFindRequest(const double* cells, uint32_t width, uint32_t height, double weight,
                               double startX, double startY, double goalX, double goalY);

// Finds a path over the two-dimensional map (width = size 0, height = size 1,
// cell (x, y) = map[x][y]; a value of 0 or less is a wall, otherwise the cost
// of entering the cell). On success path is dimensioned n x 2 with path[i][0]
// = x and path[i][1] = y from the start (row 0) to the goal (row n - 1) and n
// is returned. With no route path becomes empty and 0 is returned. Bad
// coordinates, start equal to goal, a map without a positive cell, or no
// memory for the planner: 0, and path is left untouched.
double PathFind(NumberArray& map, NumberArray& path, double weight, double startX, double startY,
                double goalX, double goalY);
