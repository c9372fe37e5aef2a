// TextArray: dimensioning with its 64-element blocks and the bounds-tested
// element access.
#include "strings/text_array.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/engine.h"
#include "strings/strings_internal.h"

namespace {

// Beyond this the request counts as "no memory" (512 MiB of elements).
constexpr double kMaxElements = 33554432.0;

int32_t SizeFrom(double d) {
    return (int32_t)std::clamp<int64_t>(TruncateSaturated(d), INT32_MIN, INT32_MAX);
}

double AtLeastOne(double d) {
    return d >= 1.0 ? d : 1.0;
}

}  // namespace

TextArray::TextArray()
    : data(nullptr), stride1(0), stride2(0), stride3(0), size{0, 0, 0, 0}, dimensionCount(0),
      capacity(0) {}

TextArray::~TextArray() {
    delete[] data;
}

void TextArray::Dimension(double d0, double d1, double d2, double d3) {
    double given[4] = {d0, d1, d2, d3};
    for (double& d : given)
        if (std::isnan(d)) d = 0;
    double count = std::trunc((given[0] >= 1.0 ? given[0] : 0.0) * AtLeastOne(given[1]) *
                              AtLeastOne(given[2]) * AtLeastOne(given[3]));
    if (count > kMaxElements) RuntimeError(7);
    int32_t needed = (int32_t)count / 64 * 64 + 64;

    if (needed <= capacity && given[0] >= 1.0) {
        // Elements that are already empty stay as they are: assigning the
        // empty text would give each one a buffer of its own.
        for (int32_t i = 0; i < needed; ++i)
            if (data[i].Length() != 0) data[i] = "";
    } else {
        delete[] data;
        data = new (std::nothrow) RuntimeString[(size_t)needed];
        capacity = data ? needed : 0;
        if (!data) RuntimeError(7);
    }

    dimensionCount = given[3] != 0 ? 4 : given[2] != 0 ? 3 : given[1] != 0 ? 2 : given[0] != 0 ? 1 : 0;
    for (int d = 0; d < 4; ++d) size[d] = SizeFrom(given[d]);
    // A d0 below 1 leaves no element reachable; a dimension of size 0 counts
    // as 1 in the strides, as in NumberArray.
    if (size[0] < 0) size[0] = 0;
    stride1 = size[0];
    stride2 = stride1 * std::max(size[1], 1);
    stride3 = stride2 * std::max(size[2], 1);
}

double TextArray::Bounds(double dimension) const {
    int64_t d = TruncateSaturated(dimension);
    if (d < 0 || d > 3) return 0.0;
    return (double)size[d];
}

uint32_t TextArray::DimensionSize(int d) const {
    if (d < 0 || d > 3 || size[d] < 0) return 0;
    return (uint32_t)size[d];
}

int64_t TextArray::Place(int64_t i, int64_t j, int64_t k, int64_t l) const {
    return i + j * stride1 + k * stride2 + l * stride3;
}

bool TextArray::Valid(int64_t i, int64_t j, int64_t k, int64_t l) const {
    if (!data || i < 0 || j < 0 || k < 0 || l < 0) return false;
    if (i >= size[0]) return false;
    const int64_t rest[3] = {j, k, l};
    for (int d = 1; d < 4; ++d) {
        if (size[d] == 0 ? rest[d - 1] != 0 : rest[d - 1] >= size[d]) return false;
    }
    return true;
}

RuntimeString& TextArray::At(int64_t i, int64_t j, int64_t k, int64_t l) {
    if (!Valid(i, j, k, l)) RuntimeError(9);
    return data[Place(i, j, k, l)];
}

const RuntimeString& TextArray::At(int64_t i, int64_t j, int64_t k, int64_t l) const {
    if (!Valid(i, j, k, l)) RuntimeError(9);
    return data[Place(i, j, k, l)];
}
