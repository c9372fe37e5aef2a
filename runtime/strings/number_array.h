// NumberArray: the script's array of doubles, up to four dimensions.
//
// Layout: element (i, j, k, l) is Data()[i + j*stride1 + k*stride2 + l*stride3]
// with stride1 = size0, stride2 = size0*size1, stride3 = stride2*size2 (a
// dimension of size 0 counts as 1 there): the FIRST index varies fastest.
// A two-dimensional map of width W and height H is dimensioned (W, H) and
// cell (x, y) is At(x, y).
//
// Every checked access (At) ends the program with fatal error 9 on a bad
// index; running out of memory while dimensioning is fatal error 7.
#pragma once

#include <cstdint>

#include "strings/array_shape.h"

class NumberArray {
public:
    NumberArray();
    ~NumberArray();
    NumberArray(const NumberArray&) = delete;
    NumberArray& operator=(const NumberArray&) = delete;

    // Sets the sizes (truncated; d0 below 1 makes the array empty, unused
    // trailing sizes are 0) and clears every element to 0. Storage grows to
    // the element count rounded down to a multiple of 8 plus 8; 16 places or
    // fewer live inside the object. Fatal error 7 when memory runs out.
    void Dimension(double d0, double d1 = 0, double d2 = 0, double d3 = 0);
    // Like Dimension, but keeps the elements whose indices fit both the old
    // and the new sizes.
    void Redimension(double d0, double d1 = 0, double d2 = 0, double d3 = 0);
    // Takes the source's sizes and a copy of its elements (self-assignment
    // changes nothing).
    void Assign(const NumberArray& source);
    // Dimensions to (count) and copies the list in.
    void FillFromList(uint32_t count, const double* list);
    // Size of dimension 0..3 (truncated number); 0 for any other number.
    double Bounds(double dimension) const { return shape.Bounds(dimension); }

    // The element, for reading or writing. Every index must be 0 or more and
    // below its dimension's size (an index of a dimension of size 0 must be
    // 0), and the array must have been dimensioned with d0 >= 1; otherwise
    // fatal error 9 ends the program.
    double& At(int64_t i, int64_t j = 0, int64_t k = 0, int64_t l = 0);
    const double& At(int64_t i, int64_t j = 0, int64_t k = 0, int64_t l = 0) const;

    // Size of dimension d (0..3) as dimensioned; 0 for another d or a
    // negative size.
    uint32_t DimensionSize(int d) const { return shape.DimensionSize(d); }
    int32_t DimensionCount() const { return shape.dimensionCount; }
    int32_t Capacity() const { return capacity; }
    // The raw elements in storage order (null before the first dimensioning).
    const double* Data() const { return data; }
    bool UsesInlineStore() const { return data == inlineStore; }

private:
    static constexpr int kInline = 16;
    void ReleaseStorage();

    double* data;
    double inlineStore[kInline];
    ArrayShape shape;
    int32_t capacity;
};
