// The planner's preallocated containers: the node pool, the ring-buffer open
// list and the chained closed set. All allocation happens in the set-up calls.
#include <algorithm>
#include <cstring>
#include <new>

#include "path/path.h"

// ---------------------------------------------------------------------------
// NodeFactory

NodeFactory::~NodeFactory() {
    delete[] nodes;
    delete[] block;
}

bool NodeFactory::SetUp(uint32_t count) {
    delete[] nodes;
    delete[] block;
    nodes = nullptr;
    block = nullptr;
    capacity = 0;
    handedOut = 0;
    if (count == 0) return true;
    // One block for all nodes: the pointer table keeps the pool's shape while
    // a large grid costs one allocation instead of one per cell.
    block = new (std::nothrow) Node[count];
    nodes = new (std::nothrow) Node*[count];
    if (!block || !nodes) {
        delete[] nodes;
        delete[] block;
        nodes = nullptr;
        block = nullptr;
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) nodes[i] = &block[i];
    capacity = count;
    return true;
}

Node* NodeFactory::Get() {
    if (handedOut >= capacity) return nullptr;
    Node* node = nodes[handedOut++];
    *node = Node();
    return node;
}

void NodeFactory::Return(uint32_t count) {
    handedOut = count > handedOut ? 0 : handedOut - count;
}

// ---------------------------------------------------------------------------
// FixedDeque

template <typename T>
void FixedDeque<T>::Free() {
    delete[] items;
    delete[] shift;
    items = nullptr;
    shift = nullptr;
    capacity = 0;
    Clear();
}

template <typename T>
bool FixedDeque<T>::SetCapacity(uint32_t newCapacity) {
    Free();
    if (newCapacity == 0) return true;
    items = new (std::nothrow) T[newCapacity];
    shift = new (std::nothrow) T[newCapacity];
    if (!items || !shift) {
        Free();
        return false;
    }
    capacity = newCapacity;
    return true;
}

template <typename T>
uint32_t FixedDeque<T>::Size() const {
    if (empty) return 0;
    if (tail > head) return tail - head;
    return capacity - head + tail;
}

template <typename T>
bool FixedDeque<T>::RemoveLast() {
    if (empty) return false;
    tail = tail == 0 ? capacity - 1 : tail - 1;
    if (tail == head) empty = 1;
    return true;
}

template <typename T>
bool FixedDeque<T>::Append(const T& value) {
    if (capacity == 0 || Full()) return false;
    items[tail] = value;
    tail = tail + 1 == capacity ? 0 : tail + 1;
    empty = 0;
    return true;
}

template <typename T>
void FixedDeque<T>::CopyOut(uint32_t at, uint32_t n) {
    uint32_t first = n < capacity - at ? n : capacity - at;
    std::copy(items + at, items + at + first, shift);
    std::copy(items, items + (n - first), shift + first);
}

template <typename T>
void FixedDeque<T>::CopyIn(uint32_t at, uint32_t n) {
    uint32_t first = n < capacity - at ? n : capacity - at;
    std::copy(shift, shift + first, items + at);
    std::copy(shift + first, shift + n, items);
}

template <typename T>
bool FixedDeque<T>::InsertAt(uint32_t pos, const T& value) {
    uint32_t size = Size();
    if (capacity == 0 || Full() || pos > size) return false;
    if (pos >= size - pos) {
        // The following elements move one place toward the tail.
        uint32_t at = Wrap((uint64_t)head + pos);
        CopyOut(at, size - pos);
        items[at] = value;
        CopyIn(Wrap((uint64_t)at + 1), size - pos);
        tail = Wrap((uint64_t)tail + 1);
    } else {
        // The preceding elements move one place toward the head.
        CopyOut(head, pos);
        head = head == 0 ? capacity - 1 : head - 1;
        CopyIn(head, pos);
        items[Wrap((uint64_t)head + pos)] = value;
    }
    empty = 0;
    return true;
}

template <typename T>
bool FixedDeque<T>::RemoveAt(uint32_t pos) {
    uint32_t size = Size();
    if (pos >= size) return false;
    uint32_t after = size - pos - 1;
    if (pos >= after) {
        uint32_t at = Wrap((uint64_t)head + pos);
        CopyOut(Wrap((uint64_t)at + 1), after);
        CopyIn(at, after);
        tail = tail == 0 ? capacity - 1 : tail - 1;
    } else {
        CopyOut(head, pos);
        head = Wrap((uint64_t)head + 1);
        CopyIn(head, pos);
    }
    if (tail == head) empty = 1;
    return true;
}

template class FixedDeque<Node*>;

// ---------------------------------------------------------------------------
// NodeHashTable

NodeHashTable::NodeHashTable() {
    buckets = new Node*[1];
    buckets[0] = nullptr;
}

NodeHashTable::~NodeHashTable() { delete[] buckets; }

bool NodeHashTable::SetSize(uint32_t requestedBits) {
    uint32_t newBits = requestedBits > 24 ? 24 : requestedBits;
    newBits &= ~1u;
    Node** fresh = new (std::nothrow) Node*[(size_t)1 << newBits];
    if (!fresh) {
        // Fall back to the one bucket a new table has.
        newBits = 0;
        fresh = new (std::nothrow) Node*[1];
        if (!fresh) return false;
        delete[] buckets;
        buckets = fresh;
        bits = 0;
        Clear(nullptr);
        return false;
    }
    delete[] buckets;
    buckets = fresh;
    bits = newBits;
    Clear(nullptr);
    return true;
}

uint32_t NodeHashTable::BucketOf(int32_t x, int32_t y) const {
    uint32_t half = bits / 2;
    uint32_t mask = (1u << half) - 1;
    return ((uint32_t)x & mask) | (((uint32_t)y & mask) << half);
}

Node* NodeHashTable::Find(int32_t x, int32_t y) {
    Node** link = &buckets[BucketOf(x, y)];
    for (; *link; link = &(*link)->next) {
        if ((*link)->x == x && (*link)->y == y) {
            foundLink = link;
            return *link;
        }
    }
    foundLink = nullptr;
    return nullptr;
}

bool NodeHashTable::RemoveFound() {
    if (!foundLink || !*foundLink) return false;
    Node* node = *foundLink;
    *foundLink = node->next;
    node->next = nullptr;
    foundLink = nullptr;
    --count;
    return true;
}

bool NodeHashTable::Insert(Node* node) {
    Node** head = &buckets[BucketOf(node->x, node->y)];
    for (Node* n = *head; n; n = n->next)
        if (n == node) return false;
    node->next = *head;
    *head = node;
    foundLink = nullptr;
    ++count;
    return true;
}

void NodeHashTable::InsertNew(Node* node) {
    Node** head = &buckets[BucketOf(node->x, node->y)];
    node->next = *head;
    *head = node;
    foundLink = nullptr;
    ++count;
}

void NodeHashTable::Clear(NodeFactory* pool) {
    if (pool) pool->Return(count);
    std::memset(buckets, 0, sizeof(Node*) * BucketCount());
    count = 0;
    foundLink = nullptr;
}
