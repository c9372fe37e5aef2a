// Number and text arrays as Lua values (full userdata owning the array), for
// every binding that takes an array argument (SplitText, PathFind, ...).
#pragma once

struct lua_State;
class NumberArray;
class TextArray;

// The NumberArray at stack index, or a Lua error ("bad argument #n ...
// NumberArray expected") when the value is something else. Call it before
// creating any C++ object in the binding, since the error unwinds by longjmp.
// The array lives as long as the Lua value does.
NumberArray* CheckNumberArray(lua_State* L, int index);
// The same for a TextArray.
TextArray* CheckTextArray(lua_State* L, int index);
// The array at stack index, or null when the value is not one.
NumberArray* ToNumberArray(lua_State* L, int index);
TextArray* ToTextArray(lua_State* L, int index);
// Pushes a new, never dimensioned array onto the stack and returns it.
NumberArray* PushNewNumberArray(lua_State* L);
TextArray* PushNewTextArray(lua_State* L);
