// Lua bindings of the strings subsystem: mathematics and random numbers,
// number and text arrays (userdata, 0-based indices), TextMid, TextReplace,
// SplitText and the runtime string's text operations.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <new>
#include <vector>

#include "lua_args.h"
#include "lua_arrays.h"
#include "lua_register.h"
#include "strings/strings.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Array values

static const char* const kNumberArrayType = "ReVev.NumberArray";
static const char* const kTextArrayType = "ReVev.TextArray";

template <typename T>
static T* ToArray(lua_State* L, int index, const char* type) {
    void* p = lua_touserdata(L, index);
    if (!p || !lua_getmetatable(L, index)) return nullptr;
    lua_getfield(L, LUA_REGISTRYINDEX, type);
    bool same = lua_rawequal(L, -1, -2) != 0;
    lua_pop(L, 2);
    return same ? static_cast<T*>(p) : nullptr;
}

NumberArray* ToNumberArray(lua_State* L, int index) {
    return ToArray<NumberArray>(L, index, kNumberArrayType);
}

TextArray* ToTextArray(lua_State* L, int index) {
    return ToArray<TextArray>(L, index, kTextArrayType);
}

NumberArray* CheckNumberArray(lua_State* L, int index) {
    return static_cast<NumberArray*>(luaL_checkudata(L, index, kNumberArrayType));
}

TextArray* CheckTextArray(lua_State* L, int index) {
    return static_cast<TextArray*>(luaL_checkudata(L, index, kTextArrayType));
}

template <typename T>
static T* PushNewArray(lua_State* L, const char* type) {
    void* p = lua_newuserdata(L, sizeof(T));
    T* array = new (p) T();
    luaL_getmetatable(L, type);
    lua_setmetatable(L, -2);
    return array;
}

NumberArray* PushNewNumberArray(lua_State* L) {
    return PushNewArray<NumberArray>(L, kNumberArrayType);
}

TextArray* PushNewTextArray(lua_State* L) {
    return PushNewArray<TextArray>(L, kTextArrayType);
}

template <typename T>
static int CollectArray(lua_State* L) {
    static_cast<T*>(lua_touserdata(L, 1))->~T();
    return 0;
}

// Either kind of array at argument 1, or a Lua error.
static void CheckEitherArray(lua_State* L, NumberArray*& numbers, TextArray*& texts) {
    numbers = ToNumberArray(L, 1);
    texts = numbers ? nullptr : ToTextArray(L, 1);
    if (!numbers && !texts) luaL_typerror(L, 1, "NumberArray or TextArray");
}

// An index argument; out-of-range doubles stay out of range (never wrap).
static int64_t ArgIndex(lua_State* L, int i) {
    return TruncateSaturated(ArgNumber(L, i));
}

// ---------------------------------------------------------------------------
// Mathematics

static int Lua_Sin(lua_State* L) { return PushNumber(L, Sine(ArgNumber(L, 1))); }
static int Lua_Cos(lua_State* L) { return PushNumber(L, Cosine(ArgNumber(L, 1))); }
static int Lua_Tan(lua_State* L) { return PushNumber(L, Tangent(ArgNumber(L, 1))); }
static int Lua_Atan(lua_State* L) { return PushNumber(L, ArcTangent(ArgNumber(L, 1), ArgNumber(L, 2))); }
static int Lua_Acos(lua_State* L) { return PushNumber(L, ArcCosine(ArgNumber(L, 1))); }
static int Lua_Sqrt(lua_State* L) { return PushNumber(L, SquareRoot(ArgNumber(L, 1))); }
static int Lua_Abs(lua_State* L) { return PushNumber(L, AbsoluteValue(ArgNumber(L, 1))); }
static int Lua_Pow(lua_State* L) { return PushNumber(L, Power(ArgNumber(L, 1), ArgNumber(L, 2))); }
static int Lua_Mod(lua_State* L) { return PushNumber(L, Modulo(ArgNumber(L, 1), ArgNumber(L, 2))); }
static int Lua_Random(lua_State* L) { return PushNumber(L, Random(ArgNumber(L, 1))); }

static int Lua_Overlap(lua_State* L) {
    return PushNumber(L, BoxOverlap(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4),
                                    ArgNumber(L, 5), ArgNumber(L, 6), ArgNumber(L, 7), ArgNumber(L, 8)));
}

// ---------------------------------------------------------------------------
// Arrays

static int Lua_Numberarray(lua_State* L) {
    double d0 = ArgNumber(L, 1), d1 = ArgNumber(L, 2), d2 = ArgNumber(L, 3), d3 = ArgNumber(L, 4);
    PushNewNumberArray(L)->Dimension(d0, d1, d2, d3);
    return 1;
}

static int Lua_Textarray(lua_State* L) {
    double d0 = ArgNumber(L, 1), d1 = ArgNumber(L, 2), d2 = ArgNumber(L, 3), d3 = ArgNumber(L, 4);
    TextArray* array = PushNewTextArray(L);
    return GuardedBinding(L, [&] {
        array->Dimension(d0, d1, d2, d3);
        return 1;
    });
}

static int Lua_Dim(lua_State* L) {
    NumberArray* numbers;
    TextArray* texts;
    CheckEitherArray(L, numbers, texts);
    double d0 = ArgNumber(L, 2), d1 = ArgNumber(L, 3), d2 = ArgNumber(L, 4), d3 = ArgNumber(L, 5);
    return GuardedBinding(L, [&] {
        if (numbers) numbers->Dimension(d0, d1, d2, d3);
        else texts->Dimension(d0, d1, d2, d3);
        return 0;
    });
}

static int Lua_Redim(lua_State* L) {
    CheckNumberArray(L, 1)->Redimension(ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5));
    return 0;
}

static int Lua_Bounds(lua_State* L) {
    NumberArray* numbers;
    TextArray* texts;
    CheckEitherArray(L, numbers, texts);
    return PushNumber(L, numbers ? numbers->Bounds(ArgNumber(L, 2)) : texts->Bounds(ArgNumber(L, 2)));
}

static int Lua_Get(lua_State* L) {
    NumberArray* numbers;
    TextArray* texts;
    CheckEitherArray(L, numbers, texts);
    int64_t i = ArgIndex(L, 2), j = ArgIndex(L, 3), k = ArgIndex(L, 4), l = ArgIndex(L, 5);
    if (numbers) return PushNumber(L, numbers->At(i, j, k, l));
    return PushText(L, texts->At(i, j, k, l));
}

// Lua_Set(array, i [, j [, k [, l]]], value): the value is the last argument.
static int Lua_Set(lua_State* L) {
    NumberArray* numbers;
    TextArray* texts;
    CheckEitherArray(L, numbers, texts);
    int top = lua_gettop(L);
    int64_t index[4] = {0, 0, 0, 0};
    for (int a = 2; a < top && a < 6; ++a) index[a - 2] = ArgIndex(L, a);
    int valueAt = top >= 2 ? top : 0;
    if (numbers) {
        double value = valueAt ? ArgNumber(L, valueAt) : 0.0;
        numbers->At(index[0], index[1], index[2], index[3]) = value;
        return 0;
    }
    RuntimeString& element = texts->At(index[0], index[1], index[2], index[3]);
    return GuardedBinding(L, [&] {
        element = valueAt ? ArgText(L, valueAt) : RuntimeString();
        return 0;
    });
}

static int Lua_Assign(lua_State* L) {
    NumberArray* target = CheckNumberArray(L, 1);
    NumberArray* source = CheckNumberArray(L, 2);
    target->Assign(*source);
    return 0;
}

// Lua_Fill(array, v1, v2, ...) or Lua_Fill(array, {v1, v2, ...}).
static int Lua_Fill(lua_State* L) {
    NumberArray* array = CheckNumberArray(L, 1);
    bool table = lua_istable(L, 2);
    int count = table ? (int)lua_objlen(L, 2) : lua_gettop(L) - 1;
    return GuardedBinding(L, [&] {
        std::vector<double> values((size_t)(count > 0 ? count : 0));
        for (int n = 0; n < count; ++n) {
            if (table) {
                lua_rawgeti(L, 2, n + 1);
                values[(size_t)n] = ToLuaNumber(L, -1);
                lua_pop(L, 1);
            } else {
                values[(size_t)n] = ArgNumber(L, n + 2);
            }
        }
        array->FillFromList((uint32_t)values.size(), values.data());
        return 0;
    });
}

// ---------------------------------------------------------------------------
// Text commands

static int Lua_Textmid(lua_State* L) {
    return GuardedBinding(L, [&] {
        return PushText(L, TextMid(ArgText(L, 1), ArgNumber(L, 2), ArgNumber(L, 3)));
    });
}

static int Lua_Textreplace(lua_State* L) {
    return GuardedBinding(L, [&] {
        return PushText(L, TextReplace(ArgText(L, 1), ArgText(L, 2), ArgText(L, 3)));
    });
}

static int Lua_Splittext(lua_State* L) {
    TextArray* array = CheckTextArray(L, 2);
    return GuardedBinding(L, [&] {
        return PushNumber(L, SplitText(ArgText(L, 1), *array, ArgText(L, 3)));
    });
}

static int Lua_Find(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, TextFind(ArgText(L, 1).Text(), ArgText(L, 2).Text())); });
}

static int Lua_Lower(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, LowerCase(ArgText(L, 1).Text())); });
}

static int Lua_Upper(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, UpperCase(ArgText(L, 1).Text())); });
}

static int Lua_Code(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, CharCode(ArgText(L, 1).Text())); });
}

static int Lua_Char(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, CharFromCode(ArgNumber(L, 1))); });
}

// Every byte of the Lua string, zero bytes included.
static int Lua_Hex(lua_State* L) {
    LuaText text;
    const char* bytes = ToLuaText(L, 1, text) ? text.text : nullptr;
    size_t length = bytes ? text.length : 0;
    if (length > 0x7FFFFE00u) length = 0;
    return GuardedBinding(L, [&] {
        return PushText(L, HexOfBytes((const uint8_t*)bytes, (uint32_t)length));
    });
}

static int Lua_Format(lua_State* L) {
    return GuardedBinding(L, [&] {
        return PushText(L, FormatNumber(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3)));
    });
}

static int Lua_Trim(lua_State* L) {
    return GuardedBinding(L, [&] {
        RuntimeString text = ArgText(L, 1);
        TrimTrailingControls(text);
        return PushText(L, text);
    });
}

static int Lua_Str(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, RuntimeString(ArgNumber(L, 1))); });
}

static int Lua_Val(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, TextToNumber(ArgText(L, 1).Text())); });
}

static int Lua_Debugtext(lua_State* L) {
    return GuardedBinding(L, [&] {
        DebugText(ArgText(L, 1).Text());
        return 0;
    });
}

// ---------------------------------------------------------------------------
// Registration

static const LuaBinding kStringsBindings[] = {
    {"Lua_Sin", Lua_Sin},
    {"Lua_Cos", Lua_Cos},
    {"Lua_Tan", Lua_Tan},
    {"Lua_Atan", Lua_Atan},
    {"Lua_Acos", Lua_Acos},
    {"Lua_Sqrt", Lua_Sqrt},
    {"Lua_Abs", Lua_Abs},
    {"Lua_Pow", Lua_Pow},
    {"Lua_Mod", Lua_Mod},
    {"Lua_Random", Lua_Random},
    {"Lua_Overlap", Lua_Overlap},
    {"Lua_Numberarray", Lua_Numberarray},
    {"Lua_Textarray", Lua_Textarray},
    {"Lua_Dim", Lua_Dim},
    {"Lua_Redim", Lua_Redim},
    {"Lua_Bounds", Lua_Bounds},
    {"Lua_Get", Lua_Get},
    {"Lua_Set", Lua_Set},
    {"Lua_Assign", Lua_Assign},
    {"Lua_Fill", Lua_Fill},
    {"Lua_Textmid", Lua_Textmid},
    {"Lua_Textreplace", Lua_Textreplace},
    {"Lua_Splittext", Lua_Splittext},
    {"Lua_Find", Lua_Find},
    {"Lua_Lower", Lua_Lower},
    {"Lua_Upper", Lua_Upper},
    {"Lua_Code", Lua_Code},
    {"Lua_Char", Lua_Char},
    {"Lua_Hex", Lua_Hex},
    {"Lua_Format", Lua_Format},
    {"Lua_Trim", Lua_Trim},
    {"Lua_Str", Lua_Str},
    {"Lua_Val", Lua_Val},
    {"Lua_Debugtext", Lua_Debugtext},
    {nullptr, nullptr},
};

void RegisterStringsBindings(lua_State* L) {
    luaL_newmetatable(L, kNumberArrayType);
    lua_pushcfunction(L, CollectArray<NumberArray>);
    lua_setfield(L, -2, "__gc");
    lua_pop(L, 1);
    luaL_newmetatable(L, kTextArrayType);
    lua_pushcfunction(L, CollectArray<TextArray>);
    lua_setfield(L, -2, "__gc");
    lua_pop(L, 1);
    RegisterBindingTable(L, kStringsBindings);
}
