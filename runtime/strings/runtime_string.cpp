// RuntimeString members: construction, the 512-step buffer, assignment,
// append, three-way compares and character access.
#include "strings/runtime_string.h"

#include <cstring>
#include <new>

// ---------------------------------------------------------------------------
// State

namespace {

// Never written: every write path first checks that the string owns a buffer.
char sharedEmptyText[1] = {0};

constexpr uint32_t kStep = 512;
constexpr uint32_t kNumberReserve = 64;

uint32_t RawLength(const char* raw) {
    if (!raw) return 0;
    size_t n = std::strlen(raw);
    if (n >= 0xFFFFFE00u) throw std::bad_alloc();
    return (uint32_t)n;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and buffer

RuntimeString::RuntimeString() : text(sharedEmptyText), capacity(0), length(0) {}

RuntimeString::RuntimeString(const char* raw) : RuntimeString() { *this = raw; }

RuntimeString::RuntimeString(const RuntimeString& other) : RuntimeString() { *this = other; }

RuntimeString::RuntimeString(RuntimeString&& other) noexcept
    : text(other.text), capacity(other.capacity), length(other.length) {
    other.text = sharedEmptyText;
    other.capacity = 0;
    other.length = 0;
}

RuntimeString::RuntimeString(int32_t value) : RuntimeString() { *this = value; }
RuntimeString::RuntimeString(float value) : RuntimeString() { *this = value; }
RuntimeString::RuntimeString(double value) : RuntimeString() { *this = value; }

RuntimeString::~RuntimeString() {
    FreeBuffer();
}

void RuntimeString::FreeBuffer() {
    if (capacity != 0) delete[] text;
    text = sharedEmptyText;
    capacity = 0;
    length = 0;
}

void RuntimeString::Reserve(uint32_t n) {
    if (capacity > n) return;
    if (n >= 0xFFFFFFFFu - kStep) throw std::bad_alloc();
    uint32_t newCapacity = n / kStep * kStep + kStep;
    char* block = new char[newCapacity];
    if (capacity != 0) {
        // The whole old buffer, so bytes a platform call wrote before Recount
        // survive as well as the text.
        std::memcpy(block, text, capacity);
        delete[] text;
    } else {
        block[0] = 0;
    }
    text = block;
    capacity = newCapacity;
}

char* RuntimeString::WritableBuffer(uint32_t n) {
    Reserve(n);
    return text;
}

void RuntimeString::Recount() {
    if (capacity == 0) {
        length = 0;
        return;
    }
    const void* zero = std::memchr(text, 0, capacity);
    if (!zero) {
        // Keep text[length] == 0 inside the buffer.
        text[capacity - 1] = 0;
        length = capacity - 1;
        return;
    }
    length = (uint32_t)((const char*)zero - text);
}

void RuntimeString::Truncate(uint32_t i) {
    if (i >= capacity) return;
    text[i] = 0;
    Recount();
}

const char* RuntimeString::Text() const {
    return length == 0 ? sharedEmptyText : text;
}

void RuntimeString::SetExact(const char* raw) {
    uint32_t n = RawLength(raw);
    // Copy before freeing: raw may point into this string's own buffer.
    char* block = new char[n + 1];
    if (n) std::memcpy(block, raw, n);
    block[n] = 0;
    FreeBuffer();
    text = block;
    capacity = n + 1;
    length = n;
}

// ---------------------------------------------------------------------------
// Assignment and append

void RuntimeString::AssignBytes(const char* bytes, uint32_t count) {
    // A source inside this buffer stays valid: Reserve only reallocates when
    // the capacity is not above count, and then the source cannot be inside.
    Reserve(count);
    if (count) std::memmove(text, bytes, count);
    if (capacity) text[count] = 0;
    length = count;
}

void RuntimeString::AppendBytes(const char* bytes, uint32_t count) {
    if (count == 0) return;
    if (count > 0xFFFFFFFFu - kStep - length) throw std::bad_alloc();
    uint32_t newLength = length + count;
    // The source may lie in this string's buffer (s += s): keep its offset.
    bool inside = capacity != 0 && bytes >= text && bytes < text + capacity;
    size_t offset = inside ? (size_t)(bytes - text) : 0;
    Reserve(newLength);
    if (inside) bytes = text + offset;
    std::memmove(text + length, bytes, count);
    text[newLength] = 0;
    length = newLength;
}

RuntimeString& RuntimeString::operator=(const char* raw) {
    AssignBytes(raw ? raw : sharedEmptyText, RawLength(raw));
    return *this;
}

RuntimeString& RuntimeString::operator=(const RuntimeString& other) {
    if (this != &other) AssignBytes(other.text, other.length);
    return *this;
}

RuntimeString& RuntimeString::operator=(int32_t value) {
    Reserve(kNumberReserve);
    length = FormatInteger(value, text);
    return *this;
}

RuntimeString& RuntimeString::operator=(float value) {
    return *this = (double)value;
}

RuntimeString& RuntimeString::operator=(double value) {
    Reserve(kNumberReserve);
    length = FormatDouble(value, text);
    return *this;
}

RuntimeString& RuntimeString::operator+=(const char* raw) {
    AppendBytes(raw, RawLength(raw));
    return *this;
}

RuntimeString& RuntimeString::operator+=(const RuntimeString& other) {
    AppendBytes(other.text, other.length);
    return *this;
}

RuntimeString& RuntimeString::operator+=(int32_t value) {
    char buffer[16];
    AppendBytes(buffer, FormatInteger(value, buffer));
    return *this;
}

RuntimeString& RuntimeString::operator+=(float value) {
    return *this += (double)value;
}

RuntimeString& RuntimeString::operator+=(double value) {
    char buffer[32];
    AppendBytes(buffer, FormatDouble(value, buffer));
    return *this;
}

// ---------------------------------------------------------------------------
// Compares and character access

int RuntimeString::Compare(const char* raw) const {
    return std::strcmp(Text(), raw ? raw : sharedEmptyText);
}

int RuntimeString::Compare(const double* value) const {
    double mine = TextToNumber(Text());
    double other = value ? *value : 0.0;
    if (mine < other) return -1;
    if (mine > other) return 1;
    return 0;
}

int RuntimeString::CharAt(uint32_t i) const {
    if (i >= length) return 0;
    return (int)(int8_t)text[i];
}

void RuntimeString::SetCharAt(uint32_t i, char c) {
    if (i < capacity) text[i] = c;
}
