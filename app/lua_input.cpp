// Lua bindings of the input commands: keys, characters, mouse, waits, text
// entry and joysticks.
extern "C" {
#include <lua.h>
}

#include "input/input.h"
#include "lua_args.h"
#include "lua_register.h"

// ---------------------------------------------------------------------------
// Keyboard

static int Lua_Keydown(lua_State* L) { return PushNumber(L, KeyTest(ArgNumber(L, 1))); }
static int Lua_Keypressed(lua_State* L) { return PushNumber(L, KeyPressed(ArgNumber(L, 1))); }
static int Lua_Keyreleased(lua_State* L) { return PushNumber(L, KeyReleased(ArgNumber(L, 1))); }

static int Lua_Keychar(lua_State* L) {
    return PushNumber(L, KeyCharacter(TruncateToInt(ArgNumber(L, 1))));
}

static int Lua_Readchar(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, ReadCharacter()); });
}

static int Lua_Anykey(lua_State* L) { return PushNumber(L, AnyCharacterKey()); }

static int Lua_Waitkey(lua_State*) {
    KeyWait();
    return 0;
}

static int Lua_Input(lua_State* L) {
    return GuardedBinding(L, [&] {
        RuntimeString text = ArgText(L, 1);
        TextEntry(text, ArgNumber(L, 2), ArgNumber(L, 3));
        return PushText(L, text);
    });
}


// ---------------------------------------------------------------------------
// Mouse

static int Lua_Mouse(lua_State* L) {
    double x, y, left, right;
    MouseState(x, y, left, right);
    lua_pushnumber(L, x);
    lua_pushnumber(L, y);
    lua_pushnumber(L, left);
    lua_pushnumber(L, right);
    return 4;
}

static int Lua_Mouseaxis(lua_State* L) { return PushNumber(L, MouseAxis(ArgNumber(L, 1))); }

static int Lua_Setmouse(lua_State* L) {
    SetMousePosition(ArgNumber(L, 1), ArgNumber(L, 2));
    return 0;
}

static int Lua_Showpointer(lua_State* L) {
    ShowPointer(ArgNumber(L, 1));
    return 0;
}

static int Lua_Anybutton(lua_State* L) { return PushNumber(L, AnyMouseButton()); }

static int Lua_Waitmouse(lua_State*) {
    MouseWait();
    return 0;
}

// ---------------------------------------------------------------------------
// Joysticks

static int Lua_Joyx(lua_State* L) { return PushNumber(L, JoystickAxis(ArgNumber(L, 1), 0)); }
static int Lua_Joyy(lua_State* L) { return PushNumber(L, JoystickAxis(ArgNumber(L, 1), 1)); }
static int Lua_Joyz(lua_State* L) { return PushNumber(L, JoystickAxis(ArgNumber(L, 1), 2)); }
static int Lua_Joyrx(lua_State* L) { return PushNumber(L, JoystickAxis(ArgNumber(L, 1), 3)); }
static int Lua_Joyry(lua_State* L) { return PushNumber(L, JoystickAxis(ArgNumber(L, 1), 4)); }
static int Lua_Joyrz(lua_State* L) { return PushNumber(L, JoystickAxis(ArgNumber(L, 1), 5)); }
static int Lua_Joyhatx(lua_State* L) { return PushNumber(L, JoystickHatX(ArgNumber(L, 1))); }
static int Lua_Joyhaty(lua_State* L) { return PushNumber(L, JoystickHatY(ArgNumber(L, 1))); }

static int Lua_Joydigital(lua_State* L) {
    double x, y, button1, button2;
    JoystickDigital(x, y, button1, button2);
    lua_pushnumber(L, x);
    lua_pushnumber(L, y);
    lua_pushnumber(L, button1);
    lua_pushnumber(L, button2);
    return 4;
}

static int Lua_Joyname(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, JoystickName(ArgNumber(L, 1))); });
}

static int Lua_Joycount(lua_State* L) { return PushNumber(L, JoystickCount()); }

static int Lua_Joyforce(lua_State* L) {
    JoystickForce(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4));
    return 0;
}

// ---------------------------------------------------------------------------
// Registration

static const LuaBinding inputBindings[] = {
    {"Lua_Keydown", Lua_Keydown},
    {"Lua_Keypressed", Lua_Keypressed},
    {"Lua_Keyreleased", Lua_Keyreleased},
    {"Lua_Keychar", Lua_Keychar},
    {"Lua_Readchar", Lua_Readchar},
    {"Lua_Anykey", Lua_Anykey},
    {"Lua_Waitkey", Lua_Waitkey},
    {"Lua_Input", Lua_Input},
    {"Lua_Mouse", Lua_Mouse},
    {"Lua_Mouseaxis", Lua_Mouseaxis},
    {"Lua_Setmouse", Lua_Setmouse},
    {"Lua_Showpointer", Lua_Showpointer},
    {"Lua_Anybutton", Lua_Anybutton},
    {"Lua_Waitmouse", Lua_Waitmouse},
    {"Lua_Joyx", Lua_Joyx},
    {"Lua_Joyy", Lua_Joyy},
    {"Lua_Joyz", Lua_Joyz},
    {"Lua_Joyrx", Lua_Joyrx},
    {"Lua_Joyry", Lua_Joyry},
    {"Lua_Joyrz", Lua_Joyrz},
    {"Lua_Joyhatx", Lua_Joyhatx},
    {"Lua_Joyhaty", Lua_Joyhaty},
    {"Lua_Joydigital", Lua_Joydigital},
    {"Lua_Joyname", Lua_Joyname},
    {"Lua_Joycount", Lua_Joycount},
    {"Lua_Joyforce", Lua_Joyforce},
    {nullptr, nullptr},
};

void RegisterInputBindings(lua_State* L) { RegisterBindingTable(L, inputBindings); }
