// The input format of the Lua bindings fuzz target: a sequence of calls, each
// a binding and its arguments, decoded from bytes. Missing bytes read as 0, so
// every input decodes.
//
//   call     := binding:u8 count:u8 argument*      (count % 9 arguments)
//   argument := kind:u8 payload                    (kind % 16, see FuzzKind)
//
// Multi-byte values are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Results kept from earlier calls of the same input.
constexpr int kFuzzSavedSlots = 2;
// Calls decoded from one input at most, so that every run stays short.
constexpr int kFuzzMaxCalls = 64;
constexpr int kFuzzMaxArguments = 8;
// Tables hold at most this many items and nest this deep.
constexpr int kFuzzMaxTableItems = 16;
constexpr int kFuzzMaxDepth = 2;
// Long texts are up to 65535 * 16 bytes.
constexpr size_t kFuzzLongTextStep = 16;

// The argument kinds, by the low four bits of the kind byte.
enum class FuzzKind : uint8_t {
    Nil = 0,
    Boolean,        // u8: low bit
    SpecialNumber,  // u8: index into the table of special numbers
    Int8,           // i8
    Int16,          // i16
    Int32,          // i32
    Double,         // 8 bytes of an IEEE double
    SpecialText,    // u8: index into the table of special texts
    RawText,        // length:u8, then the bytes
    LongText,       // length:u16 (times 16), fill:u8; the fill byte repeats, counting up
    Table,          // count:u8 (% 17), then that many arguments
    NumberArray,    // four sizes:u8 (% 9 each)
    TextArray,      // four sizes:u8 (% 9 each)
    Saved,          // slot:u8, a result of an earlier call
    FileName,       // u8: index into the table of file names of the scratch directory
    PathText,       // u8: index into the table of path-like texts (most leave the directory)
};

struct FuzzArgument {
    enum Kind { Nil, Boolean, Number, Text, Table, NumberArray, TextArray, Saved };
    Kind kind = Nil;
    double number = 0;             // Boolean (0 or 1), Number
    std::string text;              // Text
    std::vector<FuzzArgument> items;  // Table
    int sizes[4] = {0, 0, 0, 0};   // NumberArray, TextArray
    int slot = 0;                  // Saved
};

struct FuzzCall {
    size_t binding = 0;  // index into the bindings, below their count
    std::vector<FuzzArgument> arguments;
};

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}
    // Decodes the next call for a list of `bindingCount` bindings; false when
    // the input is used up (or there are no bindings).
    bool NextCall(size_t bindingCount, FuzzCall& call);

private:
    uint8_t Byte();
    uint64_t Bytes(int n);
    FuzzArgument Argument(int depth);

    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

// Whether a path stays inside the current directory: relative, with no ".."
// anywhere and not starting at a home directory. Backslashes count as
// separators, as the runtime turns them into slashes.
bool PathStaysInside(const char* text, size_t length);

// The tables the kinds index, for seeds and tests.
const std::vector<double>& FuzzSpecialNumbers();
const std::vector<std::string>& FuzzSpecialTexts();
const std::vector<std::string>& FuzzFileNames();
const std::vector<std::string>& FuzzPathTexts();
