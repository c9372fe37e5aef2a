// The Lua 5.1 conversions between numbers and texts, for every binding on
// either Lua build. LuaJIT converts with rules of its own (a NaN prints as
// "nan" where the interpreter prints "-nan", a text with a zero byte is no
// number); the bindings use these instead, so that a script's arguments read
// the same on both.
#pragma once

extern "C" {
#include <lua.h>
}

#include <cstddef>

// A value as text: a string's own bytes, or a number written with the
// interpreter's "%.14g".
struct LuaText {
    const char* text = nullptr;  // null: neither a string nor a number
    size_t length = 0;
    char number[40];
};

// Fills `out` with the text of the value at `index`; false (text null) when
// it is neither a string nor a number. The stack is left as it was (the
// interpreter's lua_tostring would turn a number on the stack into a string).
bool ToLuaText(lua_State* L, int index, LuaText& out);

// The number of the value at `index`: a number is itself, a string reads by
// the interpreter's rule (strtod up to the first zero byte, a "0x" text in
// hexadecimal, blanks after it allowed), anything else or a string that is
// no number reads 0.
double ToLuaNumber(lua_State* L, int index);

// The interpreter's text-to-number rule on a zero-ended text; false when the
// text is no number.
bool LuaTextToNumber(const char* text, double& value);
