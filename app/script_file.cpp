// Running the script file every frame. The file is read every frame, so that
// an edit takes effect on the next one; while its bytes are those of the last
// frame, the chunk compiled then runs again instead of a new compile of the
// same text. That saves the compile, and under LuaJIT it keeps the compiled
// traces, which belong to the chunk's functions and would otherwise be
// recorded anew every frame.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "application.h"
#include "end_watch.h"
#include "error_banner.h"
#include "lua_convert.h"
#include "script_place.h"

// ---------------------------------------------------------------------------
// State

static std::set<std::string> reportedErrors;

// The script's own frames at the last run error, taken by the message
// handler while the stack still holds them.
static std::string errorTraceback;

// ---------------------------------------------------------------------------
// Internal helpers

static void ReportText(const std::string& text, const std::string& traceback = std::string()) {
    // A broken script fails every frame; report each distinct failure once.
    if (reportedErrors.size() < 1000 && reportedErrors.insert(text).second)
        std::fprintf(stderr, "revev: script: %s\n%s", text.c_str(), traceback.c_str());
    ShowErrorBanner(text, traceback);
}

static void ReportScriptError(lua_State* L, const std::string& traceback = std::string()) {
    LuaText message;
    ReportText(ToLuaText(L, -1, message) ? ScriptMessage(std::string(message.text, message.length))
                                         : "(error object is not a string)",
               traceback);
}

// The message handler of the chunk's call: notes the traceback and leaves
// the message as it is. It allocates nothing of Lua's, so it cannot fail
// when the script has used up its memory (a memory error never reaches it).
static int TraceError(lua_State* L) {
    try {
        errorTraceback = ScriptTraceback(L, 1);
    } catch (...) {
        errorTraceback.clear();
    }
    return 1;
}

// Registry key of the message handler, made once so that a run allocates
// nothing to push it.
static char handlerKey;

static int StoreHandler(lua_State* L) {
    lua_pushlightuserdata(L, &handlerKey);
    lua_pushcfunction(L, TraceError);
    lua_rawset(L, LUA_REGISTRYINDEX);
    return 0;
}

// Pushes the message handler; false (nothing pushed) when it could not be made.
static bool PushHandler(lua_State* L) {
    lua_pushlightuserdata(L, &handlerKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_isfunction(L, -1)) return true;
    lua_pop(L, 1);
    if (lua_cpcall(L, StoreHandler, nullptr) != 0) {
        lua_pop(L, 1);
        return false;
    }
    lua_pushlightuserdata(L, &handlerKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    return true;
}

// Reads the whole file as the interpreter's file loader does, with its error
// texts ("cannot open NAME: REASON", "cannot read NAME: REASON"), so that
// both Lua builds report a missing file the same way.
static bool ReadScript(const char* path, std::string& source, std::string& error) {
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        error = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return false;
    }
    source.clear();
    char buffer[8192];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) source.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    const int reason = errno;
    std::fclose(file);
    if (failed) {
        error = std::string("cannot read ") + path + ": " + std::strerror(reason);
        return false;
    }
    return true;
}

// Compiles the source as the interpreter's file loader does (LoadLuaText).
// The chunk is named from the script's folder, so that messages say
// "main.lua:6" rather than a long path cut at the front.
static int CompileScript(lua_State* L, const std::string& source, const char* path) {
    std::string chunkName = "@" + ScriptFileName((std::string("@") + path).c_str());
    return LoadLuaText(L, source, chunkName.c_str());
}

// Registry key (light userdata, so that looking it up allocates nothing) of
// the table {path, source text, chunk or load error} of the last run.
static char cacheKey;

// What a run hands to the protected part.
struct ScriptRun {
    const char* path;
    const std::string* source;  // null: the file could not be read
    const std::string* error;
};

// Whether the value at the top is a string holding exactly these bytes.
static bool TopHolds(lua_State* L, const char* bytes, size_t size) {
    if (lua_type(L, -1) != LUA_TSTRING) return false;
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    return length == size && std::memcmp(text, bytes, size) == 0;
}

// Pushes the chunk of the last run when the path and its source are the
// same; else pushes nothing and returns false. Allocates nothing, so that it
// works when the script has used up its memory.
static bool PushCachedChunk(lua_State* L, const char* path, const std::string& source) {
    lua_pushlightuserdata(L, &cacheKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    lua_rawgeti(L, -1, 1);
    bool same = TopHolds(L, path, std::strlen(path));
    lua_pop(L, 1);
    if (same) {
        lua_rawgeti(L, -1, 2);
        same = TopHolds(L, source.data(), source.size());
        lua_pop(L, 1);
    }
    if (!same) {
        lua_pop(L, 1);
        return false;
    }
    lua_rawgeti(L, -1, 3);
    lua_remove(L, -2);
    return true;
}

// Protected, since it allocates (a script short of memory must not take the
// program down): compiles the source, or takes the read error, and keeps it
// with the path and source as the last run's.
static int PrepareChunk(lua_State* L) {
    const ScriptRun& run = *static_cast<const ScriptRun*>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    lua_pushlightuserdata(L, &cacheKey);
    lua_createtable(L, 3, 0);
    lua_pushstring(L, run.path);
    lua_rawseti(L, -2, 1);
    if (!run.source) {
        lua_pushlstring(L, run.error->data(), run.error->size());
        lua_rawseti(L, -2, 3);
    } else {
        // The source is kept even when it does not compile, so that a broken
        // file is not compiled again every frame either.
        lua_pushlstring(L, run.source->data(), run.source->size());
        lua_rawseti(L, -2, 2);
        CompileScript(L, *run.source, run.path);
        lua_rawseti(L, -2, 3);
    }
    lua_rawset(L, LUA_REGISTRYINDEX);
    return 0;
}

// ---------------------------------------------------------------------------
// Public

void ReportScriptErrorText(const char* text) { ReportText(text); }

int LoadLuaText(lua_State* L, const std::string& text, const char* chunkName) {
    if (!text.empty() && text[0] == '#') {
        size_t lineEnd = text.find('\n');
        std::string rest = lineEnd == std::string::npos ? std::string() : text.substr(lineEnd);
        // push_back, not = "\n": GCC 12 at -O2 warns of an overlap in the assignment.
        if (rest.empty()) rest.push_back('\n');
        return luaL_loadbuffer(L, rest.data(), rest.size(), chunkName);
    }
    return luaL_loadbuffer(L, text.data(), text.size(), chunkName);
}

void RunScriptFile(lua_State* L, const char* path) {
    int top = lua_gettop(L);
    SetScriptFolder(path);
    std::string source, error;
    const bool read = ReadScript(path, source, error);
    bool ready = read && PushCachedChunk(L, path, source);
    if (!ready) {
        ScriptRun run{path, read ? &source : nullptr, &error};
        if (lua_cpcall(L, PrepareChunk, &run) != 0) {
            ReportScriptError(L);
        } else {
            lua_pushlightuserdata(L, &cacheKey);
            lua_rawget(L, LUA_REGISTRYINDEX);
            lua_rawgeti(L, -1, 3);
            ready = true;
        }
    }
    if (ready) {
        if (!lua_isfunction(L, -1)) {
            ReportScriptError(L);
        } else {
            // The chunk is called from here, as a fresh load of it would be,
            // so that what the script sees of its caller does not change.
            int handler = 0;
            if (PushHandler(L)) {
                lua_insert(L, -2);
                handler = lua_gettop(L) - 1;
            }
            errorTraceback.clear();
            EnterScript();
            const int status = lua_pcall(L, 0, LUA_MULTRET, handler);
            LeaveScript();
            bindingState = nullptr;
            if (status != 0) ReportScriptError(L, errorTraceback);
            else ClearErrorBanner();
        }
    }
    lua_settop(L, top);
    SettleLuaMemory(L);
}
