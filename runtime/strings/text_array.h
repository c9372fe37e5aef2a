// TextArray: the script's array of RuntimeStrings, up to four dimensions,
// laid out like NumberArray (first index fastest), and the text commands
// TextMid, TextReplace and SplitText.
#pragma once

#include <cstdint>

#include "strings/array_shape.h"
#include "strings/runtime_string.h"

class TextArray {
public:
    TextArray();
    ~TextArray();
    TextArray(const TextArray&) = delete;
    TextArray& operator=(const TextArray&) = delete;

    // Sets the sizes (truncated); every element afterwards is the empty text.
    // The block holds the element count rounded down to a multiple of 64 plus
    // 64 and is kept when large enough (and d0 >= 1). Fatal error 7 when
    // memory runs out.
    void Dimension(double d0, double d1 = 0, double d2 = 0, double d3 = 0);
    // Size of dimension 0..3 (truncated number); 0 for any other number.
    double Bounds(double dimension) const { return shape.Bounds(dimension); }
    // The element, with NumberArray's bounds test: fatal error 9 on a bad
    // index or an array never dimensioned.
    RuntimeString& At(int64_t i, int64_t j = 0, int64_t k = 0, int64_t l = 0);
    const RuntimeString& At(int64_t i, int64_t j = 0, int64_t k = 0, int64_t l = 0) const;

    // Size of dimension d (0..3); 0 for another d or a negative size.
    uint32_t DimensionSize(int d) const { return shape.DimensionSize(d); }
    int32_t DimensionCount() const { return shape.dimensionCount; }
    int32_t Capacity() const { return capacity; }

private:
    RuntimeString* data;  // new[]-allocated: the block knows its element count
    ArrayShape shape;
    int32_t capacity;
};

// At most count bytes of text from byte position start (both truncated):
// empty for a start below 0 or beyond the end, or a count of 0 or less; a
// count that runs past the end stops at the end.
RuntimeString TextMid(const RuntimeString& text, double start, double count);
// Every occurrence of find, left to right without overlap, replaced by
// replacement; inserted text is never searched again. An empty find returns
// the text unchanged.
RuntimeString TextReplace(const RuntimeString& text, const RuntimeString& find,
                          const RuntimeString& replacement);
// Cuts text at the bytes of delimiters into array elements 0..n-1 (array is
// redimensioned to n) and returns n. Leading delimiters and runs inside the
// text are skipped; once only delimiters remain, each of them ends one empty
// piece. No delimiters: the whole text is one piece (0 for the empty text).
double SplitText(const RuntimeString& text, TextArray& array, const RuntimeString& delimiters);
