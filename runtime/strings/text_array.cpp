// TextArray: dimensioning with its 64-element blocks and the bounds-tested
// element access.
#include "strings/text_array.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/engine.h"
#include "strings/script_numbers.h"

namespace {

// Beyond this the request counts as "no memory" (512 MiB of elements).
constexpr int64_t kMaxElements = 33554432;

}  // namespace

TextArray::TextArray()
    : data(nullptr), capacity(0) {}

TextArray::~TextArray() {
    delete[] data;
}

void TextArray::Dimension(double d0, double d1, double d2, double d3) {
    double given[4] = {d0, d1, d2, d3};
    for (double& d : given)
        if (std::isnan(d)) d = 0;
    int64_t count = ArrayElementCount(given, kMaxElements);
    if (count > kMaxElements) RuntimeError(7);
    int32_t needed = (int32_t)(count / 64 * 64 + 64);

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

    shape.Set(given);
}

RuntimeString& TextArray::At(int64_t i, int64_t j, int64_t k, int64_t l) {
    if (!data || !shape.Contains(i, j, k, l)) RuntimeError(9);
    return data[shape.Place(i, j, k, l)];
}

const RuntimeString& TextArray::At(int64_t i, int64_t j, int64_t k, int64_t l) const {
    if (!data || !shape.Contains(i, j, k, l)) RuntimeError(9);
    return data[shape.Place(i, j, k, l)];
}
