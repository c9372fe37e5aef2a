// Where the script is when something fails: the command it called, its own
// frames and their files named from the script's folder.
#pragma once

#include <string>

struct lua_State;

// The state of the binding running now (or last), set by the binding
// dispatch on entry; null before the first binding and after each run.
extern lua_State* bindingState;

// Takes the folder of the main script file (the part of `scriptPath` up to
// its last '/'), from which the files of the script's frames are named.
void SetScriptFolder(const char* scriptPath);

// The name under which a chunk's file is shown: its path relative to the
// script's folder when it lies there, else the path as loaded. `source` is
// a chunk's source as Lua keeps it ("@" followed by the path, for a file).
std::string ScriptFileName(const char* source);

// An error message as shown: a leading path of a file in the script's
// folder (a file run by its full path) is named from that folder.
std::string ScriptMessage(const std::string& message);

// The script's own frames (Lua functions of script files), innermost first,
// from call level `level` on: one line "  FILE:LINE: in WHAT" each, at most
// a dozen. Empty when there are none.
std::string ScriptTraceback(lua_State* L, int level);

// The context of a failed load (SetLoadFailureContext): the binding that is
// running and the script line that called it ("main.lua:2"). False outside
// a binding.
bool LoadFailureContext(std::string& command, std::string& where);
