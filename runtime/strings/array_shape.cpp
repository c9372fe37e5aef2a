// The shape shared by the script's number and text arrays.
#include "strings/array_shape.h"

#include <algorithm>

#include "strings/script_numbers.h"

static int32_t SizeFrom(double d) {
    return (int32_t)std::clamp<int64_t>(TruncateSaturated(d), INT32_MIN, INT32_MAX);
}

int64_t ArrayElementCount(const double given[4], int64_t limit) {
    // Sizes are whole before they multiply: a product of the raw numbers can
    // be NaN (0 times infinity) or beyond any integer. Stopping once past the
    // limit keeps every step below 2^63.
    int64_t count = std::max(SizeFrom(given[0]), 0);
    for (int d = 1; d < 4 && count > 0 && count <= limit; ++d)
        count *= std::max(SizeFrom(given[d]), 1);
    return count;
}

void ArrayShape::Set(const double given[4]) {
    dimensionCount = given[3] != 0 ? 4 : given[2] != 0 ? 3 : given[1] != 0 ? 2 : given[0] != 0 ? 1 : 0;
    for (int d = 0; d < 4; ++d) size[d] = SizeFrom(given[d]);
    if (size[0] < 0) size[0] = 0;
    stride1 = size[0];
    stride2 = stride1 * std::max(size[1], 1);
    stride3 = stride2 * std::max(size[2], 1);
}

double ArrayShape::Bounds(double dimension) const {
    int64_t d = TruncateSaturated(dimension);
    if (d < 0 || d > 3) return 0.0;
    return (double)size[d];
}

uint32_t ArrayShape::DimensionSize(int d) const {
    if (d < 0 || d > 3 || size[d] < 0) return 0;
    return (uint32_t)size[d];
}

bool ArrayShape::Contains(int64_t i, int64_t j, int64_t k, int64_t l) const {
    if (i < 0 || j < 0 || k < 0 || l < 0 || i >= size[0]) return false;
    const int64_t rest[3] = {j, k, l};
    for (int d = 1; d < 4; ++d) {
        if (size[d] == 0 ? rest[d - 1] != 0 : rest[d - 1] >= size[d]) return false;
    }
    return true;
}
