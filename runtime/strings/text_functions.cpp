// Text operations built on RuntimeString: length, character codes, case,
// find, hex, trimming, debugger output, byte-set searches and the
// case-blind compare.
#include <cmath>
#include <cstring>

#include "platform/platform.h"
#include "strings/runtime_string.h"

namespace {

const char* OrEmpty(const char* raw) {
    return raw ? raw : "";
}

}  // namespace

double TextLength(const RuntimeString& text) {
    return (double)text.Length();
}

double NumberTextLength(double value) {
    char buffer[32];
    return (double)FormatDouble(value, buffer);
}

double CharCode(const char* text) {
    return (double)(int8_t)OrEmpty(text)[0];
}

RuntimeString CharFromCode(double code) {
    // Truncation of a value outside the integer range is undefined in C++;
    // such codes count as 0 (the 16-bit "indefinite" value has a zero low byte).
    if (!(code > -2147483648.0 && code < 2147483648.0)) return RuntimeString();
    char c = (char)(uint8_t)((uint16_t)(int32_t)code & 0xFF);
    if (c == 0) return RuntimeString();
    char text[2] = {c, 0};
    return RuntimeString(text);
}

RuntimeString LowerCase(const char* text) {
    RuntimeString result(text);
    for (uint32_t i = 0; i < result.Length(); ++i) {
        int c = (uint8_t)result.CharAt(i);
        if (c >= 'A' && c <= 'Z') result.SetCharAt(i, (char)(c + 32));
    }
    return result;
}

RuntimeString UpperCase(const char* text) {
    RuntimeString result(text);
    for (uint32_t i = 0; i < result.Length(); ++i) {
        int c = (uint8_t)result.CharAt(i);
        if (c >= 'a' && c <= 'z') result.SetCharAt(i, (char)(c - 32));
    }
    return result;
}

double TextFind(const char* haystack, const char* needle) {
    haystack = OrEmpty(haystack);
    needle = OrEmpty(needle);
    if (!*needle) return 0.0;
    size_t rest = std::strlen(needle + 1);
    for (const char* p = haystack; *p; ++p) {
        if (*p == *needle && std::strncmp(p + 1, needle + 1, rest) == 0)
            return (double)(p - haystack);
    }
    return -1.0;
}

RuntimeString HexOfBytes(const uint8_t* bytes, uint32_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    RuntimeString result;
    if (!bytes || count == 0) return result;
    if (count > 0x7FFFFE00u) return result;
    char* out = result.WritableBuffer(count * 2);
    for (uint32_t i = 0; i < count; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    out[count * 2] = 0;
    result.Recount();
    return result;
}

void TrimTrailingControls(RuntimeString& text) {
    uint32_t n = text.Length();
    while (n > 0 && text.CharAt(n - 1) <= 31) --n;
    if (n != text.Length()) text.Truncate(n);
}

void DebugText(const char* text) {
    if (!PlatformDebuggerAttached()) return;
    RuntimeString line = Concat("TX", text);
    PlatformDebugOutput(line.Text());
}

const char* FindFirstOf(const char* text, const char* set) {
    if (!text || !set || !*set) return nullptr;
    for (const char* p = text; *p; ++p)
        if (std::strchr(set, *p)) return p;
    return nullptr;
}

const char* FindFirstNotOf(const char* text, const char* set) {
    if (!text) return nullptr;
    set = OrEmpty(set);
    for (const char* p = text; *p; ++p)
        if (!std::strchr(set, *p)) return p;
    return nullptr;
}

int TextCompareNoCase(const char* a, const char* b) {
    const uint8_t* p = (const uint8_t*)OrEmpty(a);
    const uint8_t* q = (const uint8_t*)OrEmpty(b);
    for (;; ++p, ++q) {
        int x = *p, y = *q;
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y || x == 0) return x - y;
    }
}
