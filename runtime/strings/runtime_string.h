// RuntimeString: the runtime's one dynamic text type (zero-terminated 8-bit
// bytes, capacity grown in steps of 512), its operator family (concatenation,
// text and numeric comparisons returning 1.0/0.0) and the text operations built
// on it. Raw texts (const char*) are accepted wherever a RuntimeString is; a
// null raw text reads as the empty text.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------------------
// The string type

class RuntimeString {
public:
    // The shared empty text, capacity 0, length 0.
    RuntimeString();
    RuntimeString(const char* raw);  // implicit: raw texts go wherever strings do
    RuntimeString(const RuntimeString& other);
    // Takes over the other's buffer; the other is left empty.
    RuntimeString(RuntimeString&& other) noexcept;
    explicit RuntimeString(int32_t value);
    explicit RuntimeString(float value);
    explicit RuntimeString(double value);
    ~RuntimeString();

    // Makes room for n bytes plus the terminator: nothing when capacity > n,
    // else the capacity becomes the smallest multiple of 512 above n (the
    // buffer's bytes are kept). Throws std::bad_alloc when the heap fails.
    void Reserve(uint32_t n);
    // Reserves n and returns the buffer (n + 1 bytes writable) for a platform
    // call to fill; call Recount afterwards.
    char* WritableBuffer(uint32_t n);
    // Length becomes the count of bytes before the first zero; if no zero lies
    // within the capacity, the last byte becomes one.
    void Recount();
    // Cuts the text at index i (i below capacity; otherwise nothing happens).
    void Truncate(uint32_t i);
    // The text; the shared empty text whenever the length is 0.
    const char* Text() const;
    // Replaces the buffer by one of exactly strlen(raw) + 1 bytes.
    void SetExact(const char* raw);
    uint32_t Length() const { return length; }
    uint32_t Capacity() const { return capacity; }

    // Assignment keeps the buffer when it is large enough.
    RuntimeString& operator=(const char* raw);
    RuntimeString& operator=(const RuntimeString& other);
    RuntimeString& operator=(int32_t value);
    RuntimeString& operator=(float value);
    RuntimeString& operator=(double value);

    // Appends the source's text form (numbers by the number-to-text rule).
    RuntimeString& operator+=(const char* raw);
    RuntimeString& operator+=(const RuntimeString& other);
    RuntimeString& operator+=(int32_t value);
    RuntimeString& operator+=(float value);
    RuntimeString& operator+=(double value);

    // strcmp's integer (bytes compared unsigned).
    int Compare(const char* raw) const;
    // -1, 0 or 1 comparing TextToNumber of the text with *value (null reads 0);
    // 0 when either side is NaN.
    int Compare(const double* value) const;

    // The byte at i as a signed 8-bit value; 0 when i is not below the length.
    int CharAt(uint32_t i) const;
    // Writes byte c at i when i is below the capacity; the length is not changed.
    void SetCharAt(uint32_t i, char c);

private:
    void AssignBytes(const char* bytes, uint32_t count);
    void AppendBytes(const char* bytes, uint32_t count);
    void FreeBuffer();

    char* text;
    uint32_t capacity;
    uint32_t length;
};

// ---------------------------------------------------------------------------
// Number and text conversions (number_text.cpp)

// Writes the decimal text of value (minus sign, no padding) into out, which
// holds at least 12 bytes. Returns the length.
uint32_t FormatInteger(int32_t value, char* out);
// Writes the number's text with 10 significant digits into out, which holds at
// least 32 bytes: decimal notation for decimal exponents -4 to 9, else
// d.ddde+XX; whole numbers have no decimal point; "nan", "inf", "-inf".
// Returns the length.
uint32_t FormatDouble(double value, char* out);
// The text-to-number rule: leading white space, optional sign, digits with an
// optional decimal point and exponent; stops at the first byte that does not
// fit; 0 when nothing fits. Out-of-range values give +/-HUGE_VAL or 0.
double TextToNumber(const char* text);
// What a number becomes when its text of 10 significant digits is read back,
// TextToNumber of FormatDouble, which is how numbers travel through text slots.
// Whole numbers below 1e10 come back as themselves and skip the text.
double NumberThroughText(double value);
// The value in fixed notation with the given field width and decimals (both
// truncated toward zero; a negative width left-aligns, negative decimals mean
// 6), cut to at most 255 characters.
RuntimeString FormatNumber(double width, double decimals, double value);

// ---------------------------------------------------------------------------
// Concatenation: the left operand's text form, then the right's. C++ allows
// operators only when one side is a RuntimeString; raw text with raw text or a
// number goes through Concat.

RuntimeString operator+(const RuntimeString& a, const RuntimeString& b);
RuntimeString operator+(const RuntimeString& a, const char* b);
RuntimeString operator+(const char* a, const RuntimeString& b);
RuntimeString operator+(const RuntimeString& a, int32_t b);
RuntimeString operator+(const RuntimeString& a, float b);
RuntimeString operator+(const RuntimeString& a, double b);
RuntimeString operator+(int32_t a, const RuntimeString& b);
RuntimeString operator+(float a, const RuntimeString& b);
RuntimeString operator+(double a, const RuntimeString& b);

RuntimeString Concat(const char* a, const char* b);
RuntimeString Concat(const char* a, int32_t b);
RuntimeString Concat(const char* a, float b);
RuntimeString Concat(const char* a, double b);
RuntimeString Concat(int32_t a, const char* b);
RuntimeString Concat(float a, const char* b);
RuntimeString Concat(double a, const char* b);

// ---------------------------------------------------------------------------
// Text with text: byte-wise as strcmp (unsigned bytes); 1.0 when the relation
// holds, else 0.0. Raw-raw pairs are the named functions.

double TextEqual(const char* a, const char* b);
double TextNotEqual(const char* a, const char* b);
double TextLess(const char* a, const char* b);
double TextGreater(const char* a, const char* b);
double TextLessEqual(const char* a, const char* b);
double TextGreaterEqual(const char* a, const char* b);

// RuntimeString == RuntimeString answers 0.0 at once when the lengths differ.
double operator==(const RuntimeString& a, const RuntimeString& b);
double operator!=(const RuntimeString& a, const RuntimeString& b);
double operator<(const RuntimeString& a, const RuntimeString& b);
double operator>(const RuntimeString& a, const RuntimeString& b);
double operator<=(const RuntimeString& a, const RuntimeString& b);
double operator>=(const RuntimeString& a, const RuntimeString& b);
double operator==(const RuntimeString& a, const char* b);
double operator!=(const RuntimeString& a, const char* b);
double operator<(const RuntimeString& a, const char* b);
double operator>(const RuntimeString& a, const char* b);
double operator<=(const RuntimeString& a, const char* b);
double operator>=(const RuntimeString& a, const char* b);
double operator==(const char* a, const RuntimeString& b);
double operator!=(const char* a, const RuntimeString& b);
double operator<(const char* a, const RuntimeString& b);
double operator>(const char* a, const RuntimeString& b);
double operator<=(const char* a, const RuntimeString& b);
double operator>=(const char* a, const RuntimeString& b);

// ---------------------------------------------------------------------------
// Text with a number: TextToNumber of the text compared with the number as
// doubles in the written order; every relation with NaN is 0.0 except !=.
// Raw text with a number uses the named functions (overloaded like the
// operators, so `TextEqual("x", 0)` compares numerically).

#define REVEV_NUMERIC_COMPARE(op, name)                        \
    double operator op(const RuntimeString& a, double b);      \
    double operator op(const RuntimeString& a, float b);       \
    double operator op(const RuntimeString& a, int32_t b);     \
    double operator op(double a, const RuntimeString& b);      \
    double operator op(float a, const RuntimeString& b);       \
    double operator op(int32_t a, const RuntimeString& b);     \
    double name(const char* a, double b);                      \
    double name(const char* a, float b);                       \
    double name(const char* a, int32_t b);                     \
    double name(double a, const char* b);                      \
    double name(float a, const char* b);                       \
    double name(int32_t a, const char* b);
REVEV_NUMERIC_COMPARE(==, TextEqual)
REVEV_NUMERIC_COMPARE(!=, TextNotEqual)
REVEV_NUMERIC_COMPARE(<, TextLess)
REVEV_NUMERIC_COMPARE(>, TextGreater)
REVEV_NUMERIC_COMPARE(<=, TextLessEqual)
REVEV_NUMERIC_COMPARE(>=, TextGreaterEqual)
#undef REVEV_NUMERIC_COMPARE

// ---------------------------------------------------------------------------
// Operations on text (text_functions.cpp)

// The length as a number.
double TextLength(const RuntimeString& text);
// The length of the number's text form.
double NumberTextLength(double value);
// The first byte as a signed 8-bit value; 0 for the empty text.
double CharCode(const char* text);
// One character: the code truncated to a 16-bit integer, its low byte; a zero
// byte (or a code that does not fit) gives the empty text.
RuntimeString CharFromCode(double code);
// Copies with only A-Z (resp. a-z) changed; every other byte kept.
RuntimeString LowerCase(const char* text);
RuntimeString UpperCase(const char* text);
// 0-based position of the first occurrence of needle; -1 when absent; 0 for
// an empty needle.
double TextFind(const char* haystack, const char* needle);
// 2n characters "0123456789ABCDEF", high nibble first.
RuntimeString HexOfBytes(const uint8_t* bytes, uint32_t count);
// Removes from the end every byte whose signed 8-bit value is 31 or less
// (control bytes and bytes 128 to 255).
void TrimTrailingControls(RuntimeString& text);
// Sends "TX" + text to an attached debugger; nothing when none is attached.
void DebugText(const char* text);
// The first byte of text that is in set (resp. not in set), or null when none
// is before the terminator.
const char* FindFirstOf(const char* text, const char* set);
const char* FindFirstNotOf(const char* text, const char* set);
// strcmp after folding only A-Z to a-z.
int TextCompareNoCase(const char* a, const char* b);
