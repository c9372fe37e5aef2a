// Decoding of the Lua bindings fuzz target's input into calls and arguments.
#include "lua_bindings_input.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

// ---------------------------------------------------------------------------
// Tables

const std::vector<double>& FuzzSpecialNumbers() {
    static const std::vector<double> numbers = {
        0.0, -0.0, 1, -1, 0.5, -0.5, 0.999999999, 1.000000001, 2, 3, 7, 8, 9, 15, 16, 31, 32, 63,
        64, 100, 127, 128, 255, 256, 320, 240, 511, 512, 1023, 1024, 4096, 16384, 32767, 32768,
        65503, 65504, 65535, 65536, 16777216, 33554432, 33554433, 134217728, 134217729, 1e9,
        2147483647.0, 2147483648.0, -2147483648.0, -2147483649.0, 4294967295.0, 4294967296.0,
        9007199254740992.0, 9007199254740993.0, 9223372036854775807.0, -9223372036854775808.0,
        18446744073709551616.0, 1e18, 1e100, 1e300, -1e300, 1e-300, 1e-320,
        DBL_MAX, -DBL_MAX, DBL_MIN, -DBL_MIN, std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
        2.5, -2.5, 0.1, 1234567890.123, 12345678901.0, 90, 180, 360, -360, 720,
    };
    return numbers;
}

const std::vector<std::string>& FuzzSpecialTexts() {
    static const std::vector<std::string> texts = {
        "", " ", "0", "1", "-1", "12.5", "1e400", "-1e400", "1e-400", "nan", "NaN", "-nan",
        "inf", "-inf", "infinity", "0x10", "0x", " 12 ", "12px", "1.5e", "+5", ".5", "5.", "1e+300",
        "2147483648", "-2147483649", "99999999999999999999", std::string("a\0b", 3),
        std::string("\0", 1), "\xff\xfe\xfd", "\x80", "\xc3\xa4\xc3\xb6", "%s%s%n%d", "\\", "/", ".",
        "..", "a,b,,c", ",,,", "a,,", "\r\n", "\t", "\r", "\n\n\n", "[Video]", "Video", "width",
        "height", "My Game", "name", "=", "[", "]", ";", "Lua_Print", "abc", "ABC", "Hello World",
        "aaaa", "aa", "a", std::string(300, 'x'), std::string(513, 'y'), std::string(1024, '\xff'),
    };
    return texts;
}

const std::vector<std::string>& FuzzFileNames() {
    static const std::vector<std::string> names = {
        "pic.bmp", "pal.bmp", "pic.png", "pal.png", "snd.wav", "cfg.ini", "data.vaz", "font.bmp",
        "lines.txt", "text.txt", "sub", "sub/inner.txt", "sub/", "missing.bmp", "missing.png",
        "missing.wav", "new.txt", "out.bmp", "out.png", "out.txt", "a.txt", "HERO.PNG", "hero.png",
        "b.bin", "PIC.BMP", "sub/new.ini", ".", "./", " pic.bmp", "pic.bmp ", "x.ini", "sub\\inner.txt",
        "sub/pic.bmp", "sub/out.png", "new.ini", "new.wav", "ok.vert", "ok.frag", "big.frag",
        "clip.y4m", "empty.y4m",
    };
    return names;
}

const std::vector<std::string>& FuzzPathTexts() {
    static const std::vector<std::string> paths = {
        "../pic.bmp", "/tmp", "/", "//", "/dev/null", "sub/../pic.bmp", "\\sub", "C:\\data\\x.bmp",
        "C:/x.png", "~/x", "a/b/c/d/e", "./pic.bmp", "sub//inner.txt", "pic.bmp/", ".hidden",
        "pic.bmp\\", "..", "sub/..", std::string(259, 'p'), std::string(260, 'p'),
        std::string(300, 'p') + ".bmp", std::string("pic.bmp\0/../x", 13), "sub/./inner.txt",
    };
    return paths;
}

// ---------------------------------------------------------------------------
// Decoding

uint8_t FuzzInput::Byte() { return at < size ? data[at++] : 0; }

uint64_t FuzzInput::Bytes(int n) {
    uint64_t value = 0;
    for (int i = 0; i < n; ++i) value |= (uint64_t)Byte() << (8 * i);
    return value;
}

template <typename T>
static const T& Pick(const std::vector<T>& table, uint8_t index) {
    return table[index % table.size()];
}

FuzzArgument FuzzInput::Argument(int depth) {
    FuzzArgument arg;
    const FuzzKind kind = (FuzzKind)(Byte() % 16);
    switch (kind) {
        case FuzzKind::Nil: break;
        case FuzzKind::Boolean:
            arg.kind = FuzzArgument::Boolean;
            arg.number = Byte() & 1;
            break;
        case FuzzKind::SpecialNumber:
            arg.kind = FuzzArgument::Number;
            arg.number = Pick(FuzzSpecialNumbers(), Byte());
            break;
        case FuzzKind::Int8:
            arg.kind = FuzzArgument::Number;
            arg.number = (int8_t)Byte();
            break;
        case FuzzKind::Int16:
            arg.kind = FuzzArgument::Number;
            arg.number = (int16_t)Bytes(2);
            break;
        case FuzzKind::Int32:
            arg.kind = FuzzArgument::Number;
            arg.number = (int32_t)Bytes(4);
            break;
        case FuzzKind::Double: {
            uint64_t bits = Bytes(8);
            arg.kind = FuzzArgument::Number;
            std::memcpy(&arg.number, &bits, sizeof bits);
            break;
        }
        case FuzzKind::SpecialText:
            arg.kind = FuzzArgument::Text;
            arg.text = Pick(FuzzSpecialTexts(), Byte());
            break;
        case FuzzKind::RawText: {
            arg.kind = FuzzArgument::Text;
            size_t length = Byte();
            for (size_t i = 0; i < length && at < size; ++i) arg.text += (char)Byte();
            break;
        }
        case FuzzKind::LongText: {
            arg.kind = FuzzArgument::Text;
            size_t length = (size_t)Bytes(2) * kFuzzLongTextStep;
            uint8_t fill = Byte();
            arg.text.resize(length);
            for (size_t i = 0; i < length; ++i) arg.text[i] = (char)(uint8_t)(fill + i % 7);
            break;
        }
        case FuzzKind::Table: {
            arg.kind = FuzzArgument::Table;
            int count = Byte() % (kFuzzMaxTableItems + 1);
            for (int i = 0; i < count && at < size; ++i) {
                FuzzArgument item = Argument(depth + 1);
                // Too deep: the nested table becomes nil.
                if (item.kind == FuzzArgument::Table && depth + 1 >= kFuzzMaxDepth) item = FuzzArgument();
                arg.items.push_back(std::move(item));
            }
            break;
        }
        case FuzzKind::NumberArray:
        case FuzzKind::TextArray: {
            arg.kind = kind == FuzzKind::TextArray ? FuzzArgument::TextArray : FuzzArgument::NumberArray;
            for (int& s : arg.sizes) s = Byte() % 9;
            break;
        }
        case FuzzKind::Saved:
            arg.kind = FuzzArgument::Saved;
            arg.slot = Byte() % kFuzzSavedSlots;
            break;
        case FuzzKind::FileName:
            arg.kind = FuzzArgument::Text;
            arg.text = Pick(FuzzFileNames(), Byte());
            break;
        case FuzzKind::PathText:
            arg.kind = FuzzArgument::Text;
            arg.text = Pick(FuzzPathTexts(), Byte());
            break;
    }
    return arg;
}

bool FuzzInput::NextCall(size_t bindingCount, FuzzCall& call) {
    if (at >= size || bindingCount == 0) return false;
    call.binding = (bindingCount > 256 ? (size_t)Bytes(2) : Byte()) % bindingCount;
    int count = Byte() % (kFuzzMaxArguments + 1);
    call.arguments.clear();
    for (int i = 0; i < count; ++i) call.arguments.push_back(Argument(0));
    return true;
}

bool PathStaysInside(const char* text, size_t length) {
    if (length == 0) return true;
    if (text[0] == '/' || text[0] == '\\' || text[0] == '~') return false;
    for (size_t i = 0; i + 1 < length; ++i)
        if (text[i] == '.' && text[i + 1] == '.') return false;
    return true;
}
