// NumberArray: dimensioning with the inline store, redimensioning that keeps
// the overlap, assignment, and the bounds-tested element access.
#include "strings/number_array.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "core/engine.h"
#include "strings/strings_internal.h"

namespace {

// Beyond this the request counts as "no memory" (1 GiB of elements): Linux
// overcommits, so the clearing would fault instead of new failing.
constexpr double kMaxElements = 134217728.0;

int32_t SizeFrom(double d) {
    int64_t n = TruncateSaturated(d);
    return (int32_t)std::clamp<int64_t>(n, INT32_MIN, INT32_MAX);
}

double AtLeastOne(double d) {
    return d >= 1.0 ? d : 1.0;
}

}  // namespace

NumberArray::NumberArray()
    : data(nullptr), inlineStore{}, stride1(0), stride2(0), stride3(0), size{0, 0, 0, 0},
      dimensionCount(0), capacity(0) {}

NumberArray::~NumberArray() {
    ReleaseStorage();
}

void NumberArray::ReleaseStorage() {
    if (data && data != inlineStore) delete[] data;
    data = nullptr;
    capacity = 0;
}

void NumberArray::Dimension(double d0, double d1, double d2, double d3) {
    double given[4] = {d0, d1, d2, d3};
    for (double& d : given)
        if (std::isnan(d)) d = 0;
    bool empty = !(given[0] >= 1.0);
    if (empty) given[0] = 0;

    double count = std::trunc(given[0] * AtLeastOne(given[1]) * AtLeastOne(given[2]) *
                              AtLeastOne(given[3]));
    if (count > kMaxElements) RuntimeError(7);
    int32_t needed = (int32_t)count / 8 * 8 + 8;

    if (capacity < needed || empty) {
        ReleaseStorage();
        if (needed <= kInline) {
            data = inlineStore;
        } else {
            data = new (std::nothrow) double[(size_t)needed];
            if (!data) RuntimeError(7);
        }
        capacity = needed;
    }
    std::fill(data, data + capacity, 0.0);

    dimensionCount = given[3] != 0 ? 4 : given[2] != 0 ? 3 : given[1] != 0 ? 2 : given[0] != 0 ? 1 : 0;
    for (int d = 0; d < 4; ++d) size[d] = SizeFrom(given[d]);
    // A dimension of size 0 counts as 1 in the strides, so (3, 0, 4) does not
    // fold every k onto the same place.
    stride1 = size[0];
    stride2 = stride1 * std::max(size[1], 1);
    stride3 = stride2 * std::max(size[2], 1);
}

void NumberArray::Redimension(double d0, double d1, double d2, double d3) {
    NumberArray fresh;
    fresh.Dimension(d0, d1, d2, d3);

    if (dimensionCount >= 1 && size[0] > 0 && fresh.size[0] > 0) {
        int32_t limit[4];
        for (int d = 0; d < 4; ++d) {
            int32_t smaller = std::min(size[d], fresh.size[d]);
            limit[d] = smaller == 0 ? 1 : std::max(smaller, 0);
        }
        for (int32_t l = 0; l < limit[3]; ++l)
            for (int32_t k = 0; k < limit[2]; ++k)
                for (int32_t j = 0; j < limit[1]; ++j)
                    for (int32_t i = 0; i < limit[0]; ++i)
                        fresh.data[fresh.Place(i, j, k, l)] = data[Place(i, j, k, l)];
    }

    if (!UsesInlineStore() && !fresh.UsesInlineStore()) {
        ReleaseStorage();
        data = fresh.data;
        capacity = fresh.capacity;
        fresh.data = nullptr;
        fresh.capacity = 0;
    } else {
        Dimension(d0, d1, d2, d3);
        std::memcpy(data, fresh.data, sizeof(double) * (size_t)fresh.capacity);
    }
    stride1 = fresh.stride1;
    stride2 = fresh.stride2;
    stride3 = fresh.stride3;
    std::memcpy(size, fresh.size, sizeof size);
    dimensionCount = fresh.dimensionCount;
}

void NumberArray::Assign(const NumberArray& source) {
    if (&source == this) return;
    Dimension(source.size[0], source.size[1], source.size[2], source.size[3]);
    if (!source.data || size[0] <= 0) return;
    int64_t count = (int64_t)size[0] * std::max(size[1], 1) * std::max(size[2], 1) *
                    std::max(size[3], 1);
    std::memcpy(data, source.data, sizeof(double) * (size_t)count);
}

void NumberArray::FillFromList(uint32_t count, const double* list) {
    Dimension(count);
    if (count && list) std::memcpy(data, list, sizeof(double) * count);
}

double NumberArray::Bounds(double dimension) const {
    int64_t d = TruncateSaturated(dimension);
    if (d < 0 || d > 3) return 0.0;
    return (double)size[d];
}

uint32_t NumberArray::DimensionSize(int d) const {
    if (d < 0 || d > 3 || size[d] < 0) return 0;
    return (uint32_t)size[d];
}

int64_t NumberArray::Place(int64_t i, int64_t j, int64_t k, int64_t l) const {
    return i + j * stride1 + k * stride2 + l * stride3;
}

bool NumberArray::Valid(int64_t i, int64_t j, int64_t k, int64_t l) const {
    if (!data || i < 0 || j < 0 || k < 0 || l < 0) return false;
    if (i >= size[0]) return false;
    const int64_t rest[3] = {j, k, l};
    for (int d = 1; d < 4; ++d) {
        if (size[d] == 0 ? rest[d - 1] != 0 : rest[d - 1] >= size[d]) return false;
    }
    return true;
}

double& NumberArray::At(int64_t i, int64_t j, int64_t k, int64_t l) {
    if (!Valid(i, j, k, l)) RuntimeError(9);
    return data[Place(i, j, k, l)];
}

const double& NumberArray::At(int64_t i, int64_t j, int64_t k, int64_t l) const {
    if (!Valid(i, j, k, l)) RuntimeError(9);
    return data[Place(i, j, k, l)];
}
