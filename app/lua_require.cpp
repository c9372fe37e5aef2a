// require: a script's own modules, Lua files found in the game's folder or in
// the data archive, each loaded once per run and kept in package.loaded.
// Scripts are untrusted, so there are no C modules, no search paths to
// change and no precompiled chunks; package holds only loaded and preload.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <cstdio>
#include <string>

#include "application.h"
#include "core/engine.h"
#include "files/archive.h"
#include "files/file_io.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Types

// What the search found: the module's text and the name its chunk carries,
// or why it cannot be loaded, or the places it looked at.
struct ModuleSearch {
    bool found = false;
    std::string path;       // where the text was read
    std::string chunkName;  // "@" + path
    std::string text;
    std::string loadError;  // found but refused (too large, precompiled, unreadable)
    std::string lookedAt;   // "\n\tno file ..." lines
};

// ---------------------------------------------------------------------------
// State

// Folder modules are looked up in, "/"-ended; empty: the current directory.
static std::string moduleFolder;

// Light userdata put in package.loaded while a module runs, as the
// interpreter's require does, so that a module requiring itself is caught.
static char loadingMark;
// Registry key of the table name -> the chunk running as that module.
static char runningKey;

// A module is a script: far larger than any, and it is refused rather than
// read into memory the Lua limit does not count.
static const size_t kModuleMaxBytes = (size_t)64 << 20;

// ---------------------------------------------------------------------------
// Internal helpers

// Reads a whole open file, at most kModuleMaxBytes, and closes it. False
// with the reason.
static bool ReadModuleFile(FILE* file, std::string& text, std::string& error) {
    if (!file) {
        error = "cannot open the file";
        return false;
    }
    text.clear();
    char buffer[8192];
    size_t got;
    bool tooLarge = false;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (text.size() + got > kModuleMaxBytes) {
            tooLarge = true;
            break;
        }
        text.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (tooLarge) error = "larger than 64 MiB";
    else if (failed) error = "cannot read the file";
    else if (!text.empty() && text[0] == '\033') error = "a precompiled chunk (only Lua text is loaded)";
    else return true;
    return false;
}

// The data archive the loaders read, when it names a file.
static const char* ArchiveFile() {
    if (!engine.dataArchives) return nullptr;
    const DataArchive& record = engine.dataArchives[0];
    if (!record.enabled || !record.archivePath[0]) return nullptr;
    FILE* file = OpenForReading(record.archivePath);
    if (!file) return nullptr;
    std::fclose(file);
    return record.archivePath;
}

// Looks for "a/b.lua" (from "a.b") in the module folder, then for the entry
// "b.lua" in the data archive (whose entries carry no folders), the way every
// loader finds its files.
static void SearchModule(const char* name, ModuleSearch& search) {
    std::string relative = name;
    for (char& c : relative)
        if (c == '.') c = '/';
    relative += ".lua";
    std::string folder = moduleFolder.empty() ? PlatformGetCurrentDirectory() + "/" : moduleFolder;
    std::string path = folder + relative;

    if (FILE* file = OpenForReading(path.c_str())) {
        search.found = true;
        search.path = path;
        search.chunkName = "@" + path;
        ReadModuleFile(file, search.text, search.loadError);
    } else {
        search.lookedAt += "\n\tno file '" + path + "'";
        const char* archive = ArchiveFile();
        size_t slash = relative.rfind('/');
        std::string entry = slash == std::string::npos ? relative : relative.substr(slash + 1);
        char resolved[kDataPathMax + 1];
        if (archive && path.size() <= (size_t)kDataPathMax &&
            ResolveDataFile(&engine.dataArchives[0], path.c_str(), resolved)) {
            search.found = true;
            search.path = std::string(archive) + "/" + entry;
            if (!ReadModuleFile(std::fopen(resolved, "rb"), search.text, search.loadError) &&
                search.loadError.empty())
                search.loadError = "cannot read the entry";
            ReleaseDataFile(&engine.dataArchives[0]);
            search.chunkName = "@" + search.path;
        } else if (archive) {
            search.lookedAt += "\n\tno entry '" + entry + "' in the data archive '" + archive + "'";
        }
    }
}

// Pushes the chunk of the module file, or an error text. True for a chunk.
// Every C++ object is gone when it returns, so that the caller may raise the
// error (the interpreter's longjmp runs no destructors).
static bool PushModuleChunk(lua_State* L, const char* name, const char* preloadNote) {
    ModuleSearch search;
    SearchModule(name, search);
    if (!search.found) {
        lua_pushfstring(L, "module '%s' not found:%s%s", name, preloadNote, search.lookedAt.c_str());
        return false;
    }
    if (search.loadError.empty()) {
        if (LoadLuaText(L, search.text, search.chunkName.c_str()) == 0) return true;
        search.loadError = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(error object is not a string)";
        lua_pop(L, 1);
    }
    lua_pushfstring(L, "error loading module '%s' from file '%s':\n\t%s", name, search.path.c_str(),
                    search.loadError.c_str());
    return false;
}

// Whether the chunk recorded as running module `name` is on the call stack:
// then a require of the name is a loop. A module whose run failed has left
// its mark behind; that is no loop, and the module is loaded afresh, so that
// a fixed module file is taken at the next require.
static bool ModuleIsRunning(lua_State* L, const char* name) {
    lua_pushlightuserdata(L, &runningKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    lua_getfield(L, -1, name);
    bool running = false;
    lua_Debug frame;
    for (int level = 0; !running && !lua_isnil(L, -1) && lua_getstack(L, level, &frame); ++level) {
        lua_getinfo(L, "f", &frame);
        running = lua_rawequal(L, -1, -2) != 0;
        lua_pop(L, 1);
    }
    lua_pop(L, 2);
    return running;
}

// Records (a function at the top, popped) or clears (nil) the chunk running
// as module `name`.
static void SetRunning(lua_State* L, const char* name) {
    lua_pushlightuserdata(L, &runningKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    lua_insert(L, -2);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

// require(name), with the interpreter's order and texts: package.loaded,
// then package.preload, then the module file.
static int Require(lua_State* L) {
    const char* name = luaL_checkstring(L, 1);
    lua_settop(L, 1);
    lua_getfield(L, LUA_REGISTRYINDEX, "_LOADED");  // 2
    lua_getfield(L, 2, name);
    if (lua_toboolean(L, -1)) {
        if (lua_touserdata(L, -1) != &loadingMark) return 1;
        if (ModuleIsRunning(L, name)) return luaL_error(L, "loop or previous error loading module '%s'", name);
    }
    lua_pop(L, 1);

    lua_getfield(L, LUA_REGISTRYINDEX, "_PRELOAD");
    if (lua_istable(L, -1)) lua_getfield(L, -1, name);
    else lua_pushnil(L);
    lua_remove(L, -2);
    if (!lua_isfunction(L, -1)) {
        lua_pop(L, 1);
        bool chunk;
        {
            std::string note = std::string("\n\tno field package.preload['") + name + "']";
            chunk = PushModuleChunk(L, name, note.c_str());
        }
        if (!chunk) return lua_error(L);
    }
    // Stack: 1 name, 2 loaded, 3 the module's function.
    lua_pushlightuserdata(L, &loadingMark);
    lua_setfield(L, 2, name);
    lua_pushvalue(L, 3);
    SetRunning(L, name);
    lua_pushstring(L, name);
    lua_call(L, 1, 1);
    lua_pushnil(L);
    SetRunning(L, name);
    if (!lua_isnil(L, -1)) lua_setfield(L, 2, name);
    lua_getfield(L, 2, name);
    if (lua_touserdata(L, -1) == &loadingMark) {
        lua_pushboolean(L, 1);
        lua_pushvalue(L, -1);
        lua_setfield(L, 2, name);
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Public

void SetModuleFolder(const std::string& folder) {
    moduleFolder = folder;
    if (!moduleFolder.empty() && moduleFolder.back() != '/') moduleFolder += '/';
}

void OpenRequire(lua_State* L) {
    lua_pushlightuserdata(L, &runningKey);
    lua_newtable(L);
    lua_rawset(L, LUA_REGISTRYINDEX);

    lua_newtable(L);
    lua_setfield(L, LUA_REGISTRYINDEX, "_PRELOAD");

    lua_createtable(L, 0, 2);
    lua_getfield(L, LUA_REGISTRYINDEX, "_LOADED");
    lua_setfield(L, -2, "loaded");
    lua_getfield(L, LUA_REGISTRYINDEX, "_PRELOAD");
    lua_setfield(L, -2, "preload");
    lua_getfield(L, LUA_REGISTRYINDEX, "_LOADED");
    lua_pushvalue(L, -2);
    lua_setfield(L, -2, "package");
    lua_pop(L, 1);
    lua_setfield(L, LUA_GLOBALSINDEX, "package");

    lua_pushcfunction(L, Require);
    lua_setfield(L, LUA_GLOBALSINDEX, "require");
}
