// The shape shared by the script's number and text arrays: up to four sizes,
// the strides of the first-index-fastest layout, and the bounds test.
#pragma once

#include <cstdint>

struct ArrayShape {
    int32_t size[4] = {0, 0, 0, 0};
    int32_t stride1 = 0;
    int32_t stride2 = 0;
    int32_t stride3 = 0;
    int32_t dimensionCount = 0;

    // Takes the dimension numbers (NaN already read as 0): the count is that
    // of the last non-zero number, sizes are truncated, a negative first size
    // becomes 0, and a size of 0 counts as 1 in the strides, so (3, 0, 4) does
    // not fold every k onto the same place.
    void Set(const double given[4]);
    // Size of dimension 0..3 (truncated number); 0 for any other number.
    double Bounds(double dimension) const;
    // Size of dimension d (0..3); 0 for another d or a negative size.
    uint32_t DimensionSize(int d) const;
    int64_t Place(int64_t i, int64_t j, int64_t k, int64_t l) const {
        return i + j * stride1 + k * stride2 + l * stride3;
    }
    // Whether every index is 0 or more and below its size (an index of a
    // dimension of size 0 must be 0).
    bool Contains(int64_t i, int64_t j, int64_t k, int64_t l) const;
};

// Elements needed for the dimension numbers (NaN already read as 0). Each
// number becomes a size first (truncated, held to the 32-bit range, so an
// infinity is the largest size); a first size below 1 gives 0, the others
// count as at least 1. The product is exact up to limit; past it, the result
// is some number above limit (it never overflows).
int64_t ArrayElementCount(const double given[4], int64_t limit);
