// Helpers shared inside the strings subsystem: safe truncation of script
// numbers to integers.
#pragma once

#include <cmath>
#include <cstdint>

// Truncates toward zero; NaN gives 0 and values beyond the 64-bit range
// saturate, where a plain cast would be undefined.
inline int64_t TruncateSaturated(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9223372036854775807.0) return INT64_MAX;
    if (value <= -9223372036854775808.0) return INT64_MIN;
    return (int64_t)value;
}
