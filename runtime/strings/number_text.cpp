// Numbers to text and text to numbers: the integer and 10-significant-digit
// rules, the text-to-number rule and the fixed-notation format command. Our
// own code, so the results do not depend on the C library's locale.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "strings/runtime_string.h"

namespace {

constexpr int kSignificantDigits = 10;
constexpr uint32_t kFormatLimit = 255;
// Beyond this many decimals a double's expansion is all zeros.
constexpr int kMaxDecimals = 1100;

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Truncates toward zero into [low, high]; NaN gives 0.
int TruncateClamped(double value, int low, int high) {
    if (std::isnan(value)) return 0;
    if (value <= low) return low;
    if (value >= high) return high;
    return (int)value;
}

}  // namespace

uint32_t FormatInteger(int32_t value, char* out) {
    // Work on the magnitude as unsigned so INT32_MIN has no overflow.
    uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    char digits[12];
    int n = 0;
    do {
        digits[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    uint32_t length = 0;
    if (value < 0) out[length++] = '-';
    while (n) out[length++] = digits[--n];
    out[length] = 0;
    return length;
}

uint32_t FormatDouble(double value, char* out) {
    if (std::isnan(value)) return (uint32_t)std::snprintf(out, 32, "nan");
    if (std::isinf(value)) return (uint32_t)std::snprintf(out, 32, value < 0 ? "-inf" : "inf");
    if (value == 0.0) return (uint32_t)std::snprintf(out, 32, "0");

    // Rounded once to 10 significant digits: "-d.ddddddddde+XX".
    char scientific[40];
    std::snprintf(scientific, sizeof scientific, "%.*e", kSignificantDigits - 1, value);
    const char* p = scientific;
    bool negative = *p == '-';
    if (negative) ++p;
    char digits[kSignificantDigits];
    int count = 0;
    for (; *p && *p != 'e'; ++p)
        if (IsDigit(*p) && count < kSignificantDigits) digits[count++] = *p;
    int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    while (count > 1 && digits[count - 1] == '0') --count;

    uint32_t length = 0;
    if (negative) out[length++] = '-';
    if (exponent < -4 || exponent >= kSignificantDigits) {
        out[length++] = digits[0];
        if (count > 1) {
            out[length++] = '.';
            for (int i = 1; i < count; ++i) out[length++] = digits[i];
        }
        length += (uint32_t)std::snprintf(out + length, 8, "e%c%02d", exponent < 0 ? '-' : '+',
                                          exponent < 0 ? -exponent : exponent);
        return length;
    }
    if (exponent >= 0) {
        for (int i = 0; i <= exponent; ++i) out[length++] = i < count ? digits[i] : '0';
        // A whole number ends here: the trailing point is dropped.
        if (count > exponent + 1) {
            out[length++] = '.';
            for (int i = exponent + 1; i < count; ++i) out[length++] = digits[i];
        }
    } else {
        out[length++] = '0';
        out[length++] = '.';
        for (int i = 0; i < -exponent - 1; ++i) out[length++] = '0';
        for (int i = 0; i < count; ++i) out[length++] = digits[i];
    }
    out[length] = 0;
    return length;
}

double TextToNumber(const char* text) {
    if (!text) return 0.0;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    const char* start = p;
    bool anyDigit = false;
    while (IsDigit(*p)) ++p, anyDigit = true;
    if (*p == '.') {
        ++p;
        while (IsDigit(*p)) ++p, anyDigit = true;
    }
    if (!anyDigit) return 0.0;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '+' || *q == '-') ++q;
        if (IsDigit(*q)) {
            while (IsDigit(*q)) ++q;
            p = q;
        }
    }
    double value = 0.0;
    auto [end, error] = std::from_chars(start, p, value, std::chars_format::general);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        std::string span(start, p);
        value = std::strtod(span.c_str(), nullptr);
    }
    return negative ? -value : value;
}

double NumberThroughText(double value) {
    // Zero of either sign is the text "0"; other whole numbers of at most 10
    // digits have every digit in their text.
    if (value == 0.0) return 0.0;
    if (std::fabs(value) < 1e10 && value == std::trunc(value)) return value;
    char text[32];
    FormatDouble(value, text);
    return TextToNumber(text);
}

RuntimeString FormatNumber(double width, double decimals, double value) {
    int fieldWidth = TruncateClamped(width, -100000, 100000);
    int places = TruncateClamped(decimals, -1, kMaxDecimals);
    if (places < 0) places = 6;

    // The digits first, at whatever length they need, then padding to the
    // field width, then the cut at 255 so no width or precision can overflow.
    int needed = std::snprintf(nullptr, 0, "%.*f", places, value);
    std::vector<char> digits((size_t)(needed > 0 ? needed : 0) + 1, '\0');
    std::snprintf(digits.data(), digits.size(), "%.*f", places, value);
    std::string body(digits.data());

    size_t field = (size_t)(fieldWidth < 0 ? -fieldWidth : fieldWidth);
    if (field > body.size()) {
        if (fieldWidth > 0)
            body.insert(0, field - body.size(), ' ');
        else
            body.append(field - body.size(), ' ');
    }
    if (body.size() > kFormatLimit) body.resize(kFormatLimit);

    RuntimeString result;
    char* buffer = result.WritableBuffer(kFormatLimit + 1);
    std::memcpy(buffer, body.data(), body.size());
    buffer[body.size()] = 0;
    result.Recount();
    return result;
}
