// Script numbers used as integers. Every script number is a double; a plain
// cast of NaN or of a value beyond the target range is undefined, so each
// command that takes a count, slot or colour goes through one of these.
#pragma once

#include <cmath>
#include <cstdint>

// Truncated toward zero, NaN as 0, and held to the 32-bit range instead of
// overflowing.
inline int32_t TruncateToInt(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return (-2147483647 - 1);
    return (int32_t)value;
}

// The same over the 64-bit range, for byte counts and positions in texts.
inline int64_t TruncateSaturated(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9223372036854775807.0) return INT64_MAX;
    if (value <= -9223372036854775808.0) return INT64_MIN;
    return (int64_t)value;
}
