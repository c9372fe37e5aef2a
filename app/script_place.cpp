// Where the script is when something fails.
#include "script_place.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <cstring>

#include "lua_args.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// State

lua_State* bindingState = nullptr;

// With its final '/'; empty for a script named without a folder.
static std::string scriptFolder;

// A traceback of a deep recursion stays readable: the innermost frames and
// a line saying how many were left out.
static const int kMostFrames = 12;

// ---------------------------------------------------------------------------
// Internal helpers

static bool IsScriptFrame(const lua_Debug& ar) {
    return ar.source && ar.source[0] == '@' && ar.currentline > 0;
}

static std::string FrameLine(const lua_Debug& ar) {
    std::string line = "  " + ScriptFileName(ar.source) + ":" + std::to_string(ar.currentline) + ": in ";
    if (ar.what && std::strcmp(ar.what, "main") == 0) {
        line += "main chunk";
    } else if (ar.name && *ar.name) {
        line += std::string("function '") + ar.name + "'";
    } else {
        line += "function <" + ScriptFileName(ar.source) + ":" + std::to_string(ar.linedefined) + ">";
    }
    return line;
}

// ---------------------------------------------------------------------------
// Public

void SetScriptFolder(const char* scriptPath) {
    const char* slash = scriptPath ? std::strrchr(scriptPath, '/') : nullptr;
    const size_t length = slash ? (size_t)(slash - scriptPath + 1) : 0;
    // Called every frame: the folder is only written when it changes.
    if (scriptFolder.size() != length || scriptFolder.compare(0, length, scriptPath, length) != 0)
        scriptFolder.assign(scriptPath, length);
}

// `path` without `folder` (which ends in '/') when it lies in that folder.
static const char* Below(const char* path, const std::string& folder) {
    const size_t length = std::strlen(path);
    if (folder.empty() || length <= folder.size() || folder.compare(0, folder.size(), path, folder.size()) != 0)
        return nullptr;
    return path + folder.size();
}

std::string ScriptFileName(const char* source) {
    if (!source) return "?";
    if (source[0] != '@') return source;
    const char* path = source + 1;
    if (const char* below = Below(path, scriptFolder)) return below;
    // The modules of a packed game lie beside the archive, the current
    // directory, while its main script was unpacked elsewhere.
    if (path[0] == '/') {
        if (const char* below = Below(path, PlatformGetCurrentDirectory() + "/")) return below;
    }
    return path;
}

std::string ScriptMessage(const std::string& message) {
    if (const char* below = Below(message.c_str(), scriptFolder)) return below;
    return message;
}

std::string ScriptTraceback(lua_State* L, int level) {
    std::string lines;
    int shown = 0, left = 0;
    lua_Debug ar;
    for (; lua_getstack(L, level, &ar); ++level) {
        if (!lua_getinfo(L, "Snl", &ar) || !IsScriptFrame(ar)) continue;
        if (shown == kMostFrames) {
            ++left;
            continue;
        }
        lines += FrameLine(ar) + "\n";
        ++shown;
    }
    if (left > 0) lines += "  (" + std::to_string(left) + " more)\n";
    return lines;
}

bool LoadFailureContext(std::string& command, std::string& where) {
    lua_State* L = bindingState;
    lua_Debug ar;
    if (!L || !lua_getstack(L, 0, &ar) || !lua_getinfo(L, "f", &ar)) return false;
    // The running function is a binding when it is one of the two dispatch
    // closures, whose second upvalue holds the binding's name.
    const lua_CFunction running = lua_tocfunction(L, -1);
    const char* name = nullptr;
    if ((running == QueueingBinding || running == FlushingBinding) && lua_getupvalue(L, -1, 2)) {
        name = static_cast<const char*>(lua_touserdata(L, -1));
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    if (!name) return false;
    command = name;
    where.clear();
    for (int level = 1; lua_getstack(L, level, &ar); ++level) {
        if (lua_getinfo(L, "Sl", &ar) && IsScriptFrame(ar)) {
            where = ScriptFileName(ar.source) + ":" + std::to_string(ar.currentline);
            break;
        }
    }
    return true;
}
