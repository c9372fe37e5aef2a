// The RuntimeString operator family: concatenation and the text-text and
// text-number comparisons, all answering 1.0 or 0.0.
#include <cstring>

#include "strings/runtime_string.h"

namespace {

const char* OrEmpty(const char* raw) {
    return raw ? raw : "";
}

double Truth(bool holds) {
    return holds ? 1.0 : 0.0;
}

template <typename L, typename R>
RuntimeString Join(const L& a, const R& b) {
    RuntimeString result;
    result = a;
    result += b;
    return result;
}

}  // namespace

// ---------------------------------------------------------------------------
// Concatenation

RuntimeString operator+(const RuntimeString& a, const RuntimeString& b) { return Join(a, b); }
RuntimeString operator+(const RuntimeString& a, const char* b) { return Join(a, b); }
RuntimeString operator+(const char* a, const RuntimeString& b) { return Join(a, b); }
RuntimeString operator+(const RuntimeString& a, int32_t b) { return Join(a, b); }
RuntimeString operator+(const RuntimeString& a, float b) { return Join(a, b); }
RuntimeString operator+(const RuntimeString& a, double b) { return Join(a, b); }
RuntimeString operator+(int32_t a, const RuntimeString& b) { return Join(a, b); }
RuntimeString operator+(float a, const RuntimeString& b) { return Join(a, b); }
RuntimeString operator+(double a, const RuntimeString& b) { return Join(a, b); }

RuntimeString Concat(const char* a, const char* b) { return Join(a, b); }
RuntimeString Concat(const char* a, int32_t b) { return Join(a, b); }
RuntimeString Concat(const char* a, float b) { return Join(a, b); }
RuntimeString Concat(const char* a, double b) { return Join(a, b); }
RuntimeString Concat(int32_t a, const char* b) { return Join(a, b); }
RuntimeString Concat(float a, const char* b) { return Join(a, b); }
RuntimeString Concat(double a, const char* b) { return Join(a, b); }

// ---------------------------------------------------------------------------
// Text with text

double TextEqual(const char* a, const char* b) { return Truth(std::strcmp(OrEmpty(a), OrEmpty(b)) == 0); }
double TextNotEqual(const char* a, const char* b) { return Truth(std::strcmp(OrEmpty(a), OrEmpty(b)) != 0); }
double TextLess(const char* a, const char* b) { return Truth(std::strcmp(OrEmpty(a), OrEmpty(b)) < 0); }
double TextGreater(const char* a, const char* b) { return Truth(std::strcmp(OrEmpty(a), OrEmpty(b)) > 0); }
double TextLessEqual(const char* a, const char* b) { return Truth(std::strcmp(OrEmpty(a), OrEmpty(b)) <= 0); }
double TextGreaterEqual(const char* a, const char* b) { return Truth(std::strcmp(OrEmpty(a), OrEmpty(b)) >= 0); }

double operator==(const RuntimeString& a, const RuntimeString& b) {
    if (a.Length() != b.Length()) return 0.0;
    return TextEqual(a.Text(), b.Text());
}
double operator!=(const RuntimeString& a, const RuntimeString& b) { return TextNotEqual(a.Text(), b.Text()); }
double operator<(const RuntimeString& a, const RuntimeString& b) { return TextLess(a.Text(), b.Text()); }
double operator>(const RuntimeString& a, const RuntimeString& b) { return TextGreater(a.Text(), b.Text()); }
double operator<=(const RuntimeString& a, const RuntimeString& b) { return TextLessEqual(a.Text(), b.Text()); }
double operator>=(const RuntimeString& a, const RuntimeString& b) { return TextGreaterEqual(a.Text(), b.Text()); }

#define REVEV_TEXT_PAIRS(op, name)                                                        \
    double operator op(const RuntimeString& a, const char* b) { return name(a.Text(), b); } \
    double operator op(const char* a, const RuntimeString& b) { return name(a, b.Text()); }
REVEV_TEXT_PAIRS(==, TextEqual)
REVEV_TEXT_PAIRS(!=, TextNotEqual)
REVEV_TEXT_PAIRS(<, TextLess)
REVEV_TEXT_PAIRS(>, TextGreater)
REVEV_TEXT_PAIRS(<=, TextLessEqual)
REVEV_TEXT_PAIRS(>=, TextGreaterEqual)
#undef REVEV_TEXT_PAIRS

// ---------------------------------------------------------------------------
// Text with a number: float and int32_t widen exactly to double, and the
// built-in relations are already false with NaN except !=.

#define REVEV_NUMERIC_PAIRS(op, name)                                                                  \
    double name(const char* a, double b) { return Truth(TextToNumber(a) op b); }                      \
    double name(const char* a, float b) { return Truth(TextToNumber(a) op (double)b); }               \
    double name(const char* a, int32_t b) { return Truth(TextToNumber(a) op (double)b); }             \
    double name(double a, const char* b) { return Truth(a op TextToNumber(b)); }                      \
    double name(float a, const char* b) { return Truth((double)a op TextToNumber(b)); }               \
    double name(int32_t a, const char* b) { return Truth((double)a op TextToNumber(b)); }             \
    double operator op(const RuntimeString& a, double b) { return name(a.Text(), b); }                \
    double operator op(const RuntimeString& a, float b) { return name(a.Text(), b); }                 \
    double operator op(const RuntimeString& a, int32_t b) { return name(a.Text(), b); }               \
    double operator op(double a, const RuntimeString& b) { return name(a, b.Text()); }                \
    double operator op(float a, const RuntimeString& b) { return name(a, b.Text()); }                 \
    double operator op(int32_t a, const RuntimeString& b) { return name(a, b.Text()); }
REVEV_NUMERIC_PAIRS(==, TextEqual)
REVEV_NUMERIC_PAIRS(!=, TextNotEqual)
REVEV_NUMERIC_PAIRS(<, TextLess)
REVEV_NUMERIC_PAIRS(>, TextGreater)
REVEV_NUMERIC_PAIRS(<=, TextLessEqual)
REVEV_NUMERIC_PAIRS(>=, TextGreaterEqual)
#undef REVEV_NUMERIC_PAIRS
