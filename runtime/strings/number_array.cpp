// NumberArray: dimensioning with the inline store, redimensioning that keeps
// the overlap, assignment, and the bounds-tested element access.
#include "strings/number_array.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "core/engine.h"
#include "strings/script_numbers.h"

namespace {

// Beyond this the request counts as "no memory" (1 GiB of elements): Linux
// overcommits, so the clearing would fault instead of new failing.
constexpr int64_t kMaxElements = 134217728;

}  // namespace

NumberArray::NumberArray()
    : data(nullptr), inlineStore{}, capacity(0) {}

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

    int64_t count = ArrayElementCount(given, kMaxElements);
    if (count > kMaxElements) RuntimeError(7);
    int32_t needed = (int32_t)(count / 8 * 8 + 8);

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

    shape.Set(given);
}

void NumberArray::Redimension(double d0, double d1, double d2, double d3) {
    NumberArray fresh;
    fresh.Dimension(d0, d1, d2, d3);

    if (shape.dimensionCount >= 1 && shape.size[0] > 0 && fresh.shape.size[0] > 0) {
        int32_t limit[4];
        for (int d = 0; d < 4; ++d) {
            int32_t smaller = std::min(shape.size[d], fresh.shape.size[d]);
            limit[d] = smaller == 0 ? 1 : std::max(smaller, 0);
        }
        for (int32_t l = 0; l < limit[3]; ++l)
            for (int32_t k = 0; k < limit[2]; ++k)
                for (int32_t j = 0; j < limit[1]; ++j)
                    for (int32_t i = 0; i < limit[0]; ++i)
                        fresh.data[fresh.shape.Place(i, j, k, l)] = data[shape.Place(i, j, k, l)];
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
    shape = fresh.shape;
}

void NumberArray::Assign(const NumberArray& source) {
    if (&source == this) return;
    const int32_t* size = source.shape.size;
    Dimension(size[0], size[1], size[2], size[3]);
    if (!source.data || shape.size[0] <= 0) return;
    int64_t count = (int64_t)size[0] * std::max(size[1], 1) * std::max(size[2], 1) *
                    std::max(size[3], 1);
    std::memcpy(data, source.data, sizeof(double) * (size_t)count);
}

void NumberArray::FillFromList(uint32_t count, const double* list) {
    Dimension(count);
    if (count && list) std::memcpy(data, list, sizeof(double) * count);
}

double& NumberArray::At(int64_t i, int64_t j, int64_t k, int64_t l) {
    if (!data || !shape.Contains(i, j, k, l)) RuntimeError(9);
    return data[shape.Place(i, j, k, l)];
}

const double& NumberArray::At(int64_t i, int64_t j, int64_t k, int64_t l) const {
    if (!data || !shape.Contains(i, j, k, l)) RuntimeError(9);
    return data[shape.Place(i, j, k, l)];
}
