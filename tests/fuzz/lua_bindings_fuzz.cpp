// Fuzz target: the Lua bindings. The real program's Lua state, with every
// binding registered, is made once on a headless start-up; each input is then
// a sequence of calls, each naming a binding and its arguments, run with
// lua_pcall. See lua_bindings_input.h for the input format.
//
// Files the bindings write land in a fresh temporary directory, which is the
// current directory and TMPDIR, and is emptied and refilled with a few
// sample files before every input. Bindings that touch files only get paths
// that stay inside it. The clock is a test clock that moves 1 ms per read, so
// frame pacing never sleeps and runs repeat.
//
// A fatal runtime error (bad array index, closed channel, no memory) ends the
// program by design; it is a correct outcome. The link wraps EndProgram and
// RuntimeError (see CMakeLists.txt): inside a call they throw, so the frames
// of the runtime and the binding unwind with their destructors (nothing is
// reported as leaked that a real end would have freed), the call ends as a
// Lua error, and the rest of the input is dropped, as the program would have
// ended.
//
// Run with -rss_limit_mb=4096 -malloc_limit_mb=2048: the runtime refuses
// arrays above its own element limits, well below these. Start-up changes
// the current directory, so give the corpus and -artifact_prefix as absolute
// paths.
//
// REVEV_FUZZ_LIST=1 prints the numbering of the bindings.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "application.h"
#include "core/engine.h"
#include "files/archive.h"
#include "gfx2d/gfx2d.h"
#include "lua_bindings_input.h"
#include "sound/sound.h"

// ---------------------------------------------------------------------------
// Types

// Bindings the target never calls, with the reason.
struct Exclusion {
    const char* name;
    const char* reason;
};

// Calls of a binding that are skipped: those whose arguments pass the test
// (every call when it is null).
struct CallFilter {
    const char* name;
    const char* reason;
    bool (*reaches)(lua_State*);
};

// ---------------------------------------------------------------------------
// State

static const Exclusion kExcluded[] = {
    {"Lua_End", "ends the program"},
    {"Lua_Waitkey", "waits for a key that a headless run never gets"},
    {"Lua_Waitmouse", "waits for a mouse button that a headless run never gets"},
    {"Lua_Input", "text entry runs until Enter is typed"},
    {"Lua_Externalfunction",
     "loads a shared library by name from the system's search path and runs its initialisers"},
    {"Lua_Nethost", "listens on a port of the machine, which other programs and tests use"},
    {"Lua_Netjoin", "connects to a host named by the script and waits for its replies"},
    {"Lua_Httpfetch",
     "looks up and connects to a server named by the script with blocking reads, off the machine"},
    {"Lua_Runprogram", "starts any program the script names, with any arguments"},
    {"Lua_Filedialog", "runs the system's dialog helper where a display is named, and waits for a person"},
};

// Whether any number argument on the stack (above the two functions) is at
// least this large either way, or NaN.
static bool HasNumberBeyond(lua_State* state, double limit) {
    for (int i = 3; i <= lua_gettop(state); ++i) {
        if (!lua_isnumber(state, i)) continue;
        double value = lua_tonumber(state, i);
        if (!(value > -limit && value < limit)) return true;
    }
    return false;
}

// Whether the two size arguments (w, h) at argument positions `w` and w + 1
// ask for more than 4096 pixels a side.
static bool LargeSides(lua_State* state, int w) {
    for (int i = w + 2; i <= w + 3 && i <= lua_gettop(state); ++i) {
        if (lua_isnumber(state, i) && lua_tonumber(state, i) > 4096.0) return true;
    }
    return false;
}

static bool LargeScreen(lua_State* state) { return HasNumberBeyond(state, 4096.5); }
static bool LargeSurface(lua_State* state) { return LargeSides(state, 3); }
static bool LargeGrab(lua_State* state) { return LargeSides(state, 4); }

// Calls that are correct but too heavy for a run. Sizes are held to the GL's
// largest texture, 16384 here, so such a call takes 1 GiB or more.
static const CallFilter kHeavyCalls[] = {
    // Every later frame clears and presents a back buffer that size.
    {"Lua_Setscreen", "screens beyond 4096 pixels a side", LargeScreen},
    // A surface takes as much again for its depth buffer; two in one input
    // pass the memory limit.
    {"Lua_Createscreen", "surfaces beyond 4096 pixels a side", LargeSurface},
    // The grab's scratch buffer keeps its largest size until the process
    // ends, and reading and keying a block that size takes seconds.
    {"Lua_Grabsprite", "grabs beyond 4096 pixels a side", LargeGrab},
};

// Bindings with known faults, each with the arguments that reach the fault.
// These calls are skipped until the fault is fixed; the bindings keep their
// place in the list, so that inputs mean the same before and after. None are
// known now.
static const std::vector<CallFilter> kKnownFaults = {};

// Bindings that open, write, delete or list files, or change directory: each
// text argument must be a path that stays inside the scratch directory.
static const char* const kFileBindings[] = {
    "Lua_Loadsprite", "Lua_Loadbmp",      "Lua_Normalmap",     "Lua_Loadfont",
    "Lua_Savescreen", "Lua_Savesprite",   "Lua_Channelopen",   "Lua_Filesize",
    "Lua_Fileexists", "Lua_Filedelete",   "Lua_Filecopy",      "Lua_Directoryset",
    "Lua_Directorylist", "Lua_Setdataarchives", "Lua_Iniopen", "Lua_Linefileget",
    "Lua_Linefilegetnumber", "Lua_Linefileput", "Lua_Linefileputnumber", "Lua_Loadsound",
    "Lua_Playmusic", "Lua_Loadobject", "Lua_Saveobject", "Lua_Loadshader", "Lua_Playvideo",
};

struct Binding {
    std::string name;
    bool takesPaths = false;
    const CallFilter* filter = nullptr;  // calls it reaches are skipped
};

static lua_State* L = nullptr;
static std::vector<Binding> bindings;
static std::string scratch;  // ends with '/'
static std::vector<std::pair<std::string, std::string>> sampleFiles;  // name, content

// Set while a binding runs: an end of the program then unwinds to the call.
static bool insideCall = false;
static bool programEnded = false;

static double clockNow = 0;

// A video plays until its end, or until a key when looping: a person would
// press one after a few pictures, and so does the target.
static const int kVideoPicturesBeforeKey = 3;
static int videoPictures = 0;
static bool videoKeyDown = false;

static const size_t kCutBackBytes = (size_t)1536 << 20;

// Arrays and GL buffers of up to 1 GiB are freed often; a quarantine of that
// size would count against the memory limit without finding more.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=64"; }

// ---------------------------------------------------------------------------
// The end of the program, wrapped at link time

// Thrown for an end of the program inside a call; not a std::exception, so
// the bindings' guards pass it on as an unknown failure.
struct ProgramEnd {};

extern "C" [[noreturn]] void __real__Z10EndProgramv();

extern "C" [[noreturn]] void __wrap__Z10EndProgramv() {
    if (!insideCall) __real__Z10EndProgramv();
    programEnded = true;
    throw ProgramEnd();
}

extern "C" [[noreturn]] void __wrap__Z12RuntimeErrori(int number) {
    FatalError(number);
    __wrap__Z10EndProgramv();
}

// Runs the binding below its arguments. An end of the program unwinds to here
// through Lua's C frames, which carry unwind tables but restore nothing; the
// Lua error raised afterwards makes the enclosing lua_pcall restore the
// state. The error is raised outside the handler, so the exception is done.
static int CallBinding(lua_State* state) {
    bool ended = false;
    try {
        lua_call(state, lua_gettop(state) - 1, 1);
    } catch (const ProgramEnd&) {
        ended = true;
    }
    if (!ended) return 1;
    lua_pushliteral(state, "program ended");
    return lua_error(state);
}

// ---------------------------------------------------------------------------
// Internal helpers

static double FuzzClock() { return clockNow += 1.0; }

static void PressKeyDuringVideo() {
    if (++videoPictures < kVideoPicturesBeforeKey || videoKeyDown) return;
    PlatformPushKeyEvent(30, true);
    videoKeyDown = true;
}

// The key pressed during a video is let go before the next call.
static void ReleaseVideoKey() {
    videoPictures = 0;
    if (!videoKeyDown) return;
    PlatformPushKeyEvent(30, false);
    if (engine.screen) MessagePump(*engine.screen);
    videoKeyDown = false;
}

static std::string ReadFile(const std::string& path) {
    std::string content;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, n);
        std::fclose(f);
    }
    return content;
}

static void WriteFile(const std::string& path, const std::string& content) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
}

// The sample files every input starts with: pictures, a sound, a
// configuration file, an archive and plain text, taken from the seeds of the
// reader targets.
static void GatherSampleFiles() {
    const std::string corpus = std::string(REVEV_SOURCE_DIR) + "/tests/fuzz/corpus/";
    const std::pair<const char*, const char*> taken[] = {
        {"pic.bmp", "fuzz_bmp/plain24.bmp"},   {"pal.bmp", "fuzz_bmp/palette8.bmp"},
        {"pic.png", "fuzz_png/rgba.png"},      {"pal.png", "fuzz_png/palette_trns.png"},
        {"snd.wav", "fuzz_wav/plain.wav"},     {"cfg.ini", "fuzz_config/basic.ini"},
        {"data.vaz", "fuzz_archive/plain.vaz"},
    };
    for (const auto& [name, source] : taken) sampleFiles.emplace_back(name, ReadFile(corpus + source));
    sampleFiles.emplace_back("font.bmp", ReadFile(std::string(REVEV_SOURCE_DIR) + "/smalfont.bmp"));
    sampleFiles.emplace_back("lines.txt", "first\r\nsecond\r\n12.5\r\n\r\nlast");
    sampleFiles.emplace_back("text.txt", std::string("abc\0def\n", 8) + "1e400\nnan\n");
    sampleFiles.emplace_back("sub/inner.txt", "inner\n");
    // Shader sources: a vertex and a fragment one (each also given as the
    // other), one just over the size limit, and videos with and without
    // pictures.
    sampleFiles.emplace_back("ok.vert", "void main() { gl_Position = ftransform(); }\n");
    sampleFiles.emplace_back("ok.frag", "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n");
    std::string big = "void main() {\n";
    while (big.size() <= 65536) big += "gl_FragColor=vec4(1.0);\n";
    sampleFiles.emplace_back("big.frag", big + "}\n");
    const std::string header = "YUV4MPEG2 W16 H12 F20:1 Ip A1:1 C420jpeg\n";
    std::string frames = header;
    for (int i = 0; i < 2; ++i) frames += "FRAME\n" + std::string(16 * 12 * 3 / 2, (char)(0x40 + 0x40 * i));
    sampleFiles.emplace_back("clip.y4m", frames);
    sampleFiles.emplace_back("empty.y4m", header);
}

// Empties the scratch directory and writes the sample files again, so that
// each input starts from the same files.
static void ResetScratch() {
    if (chdir(scratch.c_str()) != 0) std::abort();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(scratch, error))
        std::filesystem::remove_all(entry.path(), error);
    mkdir((scratch + "sub").c_str(), 0700);
    for (const auto& [name, content] : sampleFiles) WriteFile(scratch + name, content);
    SetDataArchives("data.vaz", "data.vaz");
}

// Resident size of the process in bytes; 0 when unknown.
static size_t ResidentBytes() {
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
    return (size_t)resident * (size_t)sysconf(_SC_PAGESIZE);
}

// The 2D state outlives inputs, and a surface may take the GL's largest
// texture (16384 x 16384 here: 1 GiB, and as much again for its depth
// buffer). A script asking for that is served correctly, but many inputs
// together would pass the memory limit, so once the process has grown, the
// surfaces are shrunk, every sprite is freed and font 0 is loaded again.
static void CutBackWhenLarge() {
    if (ResidentBytes() < kCutBackBytes) return;
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    UseScreen(-1);
    for (int n = 0; n < kSurfaceCount; ++n) {
        if (store->surfaces[n].width != 0 || store->surfaces[n].height != 0)
            CreateScreen(n, store->surfaces[n].slot, 0, 0);
    }
    FreeAllSprites();
    LoadFont("", 0);
    LoadFont("font.bmp", 0);
    SetFont(0);
}

// A screen mode set by one input would change what every later input draws
// on; the program's own mode comes back before the next one.
static void RestoreScreenMode() {
    if (!engine.screen) return;
    if (engine.screen->width == 320 && engine.screen->height == 240 && !engine.screen->fullscreenActive)
        return;
    SetScreen(320, 240, 0);
}

static void RemoveScratch() {
    std::error_code error;
    std::filesystem::remove_all(scratch, error);
}

static bool Listed(const std::string& name, const char* const* names, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (name == names[i]) return true;
    return false;
}

static bool Excluded(const std::string& name) {
    for (const Exclusion& e : kExcluded)
        if (name == e.name) return true;
    return false;
}

// Every global named "Lua_...", sorted, less the exclusions.
static void CollectBindings() {
    std::vector<std::string> names;
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX) != 0) {
        if (lua_type(L, -2) == LUA_TSTRING && lua_iscfunction(L, -1)) {
            std::string name = lua_tostring(L, -2);
            if (name.rfind("Lua_", 0) == 0) names.push_back(name);
        }
        lua_pop(L, 1);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (Excluded(name)) continue;
        Binding binding;
        binding.name = name;
        for (const CallFilter& filter : kKnownFaults)
            if (name == filter.name) binding.filter = &filter;
        for (const CallFilter& filter : kHeavyCalls)
            if (name == filter.name) binding.filter = &filter;
        binding.takesPaths =
            Listed(name, kFileBindings, sizeof kFileBindings / sizeof kFileBindings[0]);
        bindings.push_back(binding);
    }
}

// Pushes a new array made by the array bindings themselves, with small sizes.
static void PushArray(bool text, const int (&sizes)[4]) {
    lua_getglobal(L, text ? "Lua_Textarray" : "Lua_Numberarray");
    for (int size : sizes) lua_pushnumber(L, size);
    if (lua_pcall(L, 4, 1, 0) != 0) {
        lua_pop(L, 1);
        lua_pushnil(L);
    }
}

// Turns decoded arguments into Lua values on the stack.
static void PushArgument(const FuzzArgument& arg, const std::vector<int>& saved) {
    switch (arg.kind) {
        case FuzzArgument::Nil: lua_pushnil(L); break;
        case FuzzArgument::Boolean: lua_pushboolean(L, arg.number != 0); break;
        case FuzzArgument::Number: lua_pushnumber(L, arg.number); break;
        case FuzzArgument::Text: lua_pushlstring(L, arg.text.data(), arg.text.size()); break;
        case FuzzArgument::Table:
            lua_createtable(L, (int)arg.items.size(), 0);
            for (size_t i = 0; i < arg.items.size(); ++i) {
                PushArgument(arg.items[i], saved);
                lua_rawseti(L, -2, (int)i + 1);
            }
            break;
        case FuzzArgument::NumberArray: PushArray(false, arg.sizes); break;
        case FuzzArgument::TextArray: PushArray(true, arg.sizes); break;
        case FuzzArgument::Saved:
            lua_rawgeti(L, LUA_REGISTRYINDEX, saved[(size_t)arg.slot % saved.size()]);
            break;
    }
}

// Whether every text among the arguments on the stack (above the two
// functions) is a path inside the scratch directory. Saved results count too:
// "Lua_Directoryget" gives an absolute path.
static bool TextsStayInside() {
    for (int i = 3; i <= lua_gettop(L); ++i) {
        if (lua_type(L, i) != LUA_TSTRING) continue;
        size_t length = 0;
        const char* text = lua_tolstring(L, i, &length);
        if (!PathStaysInside(text, length)) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// libFuzzer entry points

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    // Every input empties and refills the directory; in memory that is cheap,
    // on a disk file system it costs more than the calls.
    char inMemory[] = "/dev/shm/revev-fuzz-XXXXXX";
    char onDisk[] = "/tmp/revev-fuzz-XXXXXX";
    const char* made = mkdtemp(inMemory);
    if (!made) made = mkdtemp(onDisk);
    if (!made) std::abort();
    scratch = std::string(made) + "/";
    setenv("TMPDIR", made, 1);
    std::atexit(RemoveScratch);

    // The settings of the program itself; start-up finds smalfont.bmp beside
    // this binary, the program's directory.
    engine.screenHeight = 240;
    engine.screenWidth = 320;
    engine.frameRateLimit = 60;
    SetClockSource(FuzzClock);
    if (!StartUp("", 1, "ReVev")) {
        std::fprintf(stderr, "lua bindings fuzz: start-up failed\n");
        std::abort();
    }
    engine.errorLine = engine.errorNumber = engine.currentLine = 0;
    SetAutoPause(0);
    L = CreateLuaState();
    if (!L) std::abort();
    SetVideoFrameHook(PressKeyDuringVideo);
    CollectBindings();
    GatherSampleFiles();
    ResetScratch();
    std::fprintf(stderr, "lua bindings fuzz: %zu bindings, scratch %s\n", bindings.size(),
                 scratch.c_str());
    // The numbering, for writing inputs by hand.
    if (std::getenv("REVEV_FUZZ_LIST")) {
        for (size_t i = 0; i < bindings.size(); ++i)
            std::fprintf(stderr, "%zu %s\n", i, bindings[i].name.c_str());
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetScratch();
    RestoreScreenMode();
    CutBackWhenLarge();
    lua_settop(L, 0);
    programEnded = false;

    // Results of earlier calls, kept in the registry for later arguments.
    std::vector<int> saved(kFuzzSavedSlots);
    for (int& ref : saved) {
        lua_pushnil(L);
        ref = luaL_ref(L, LUA_REGISTRYINDEX);
    }

    FuzzInput input(data, size);
    FuzzCall call;
    for (int n = 0; n < kFuzzMaxCalls && !programEnded && input.NextCall(bindings.size(), call); ++n) {
        const Binding& binding = bindings[call.binding];
        if (binding.filter && !binding.filter->reaches) continue;
        lua_pushcfunction(L, CallBinding);
        lua_getglobal(L, binding.name.c_str());
        for (const FuzzArgument& arg : call.arguments) PushArgument(arg, saved);
        if ((binding.takesPaths && !TextsStayInside()) ||
            (binding.filter && binding.filter->reaches(L))) {
            lua_settop(L, 0);
            continue;
        }
        insideCall = true;
        lua_pcall(L, lua_gettop(L) - 1, 1, 0);
        insideCall = false;
        ReleaseVideoKey();
        // The first result (or the error) becomes saved value n.
        int& slot = saved[(size_t)n % saved.size()];
        luaL_unref(L, LUA_REGISTRYINDEX, slot);
        slot = luaL_ref(L, LUA_REGISTRYINDEX);
        lua_settop(L, 0);
        // Arrays hold memory that Lua's collector does not count; collect at
        // once so that only the saved ones stay alive.
        lua_gc(L, LUA_GCCOLLECT, 0);
    }
    for (int ref : saved) luaL_unref(L, LUA_REGISTRYINDEX, ref);
    lua_settop(L, 0);
    lua_gc(L, LUA_GCCOLLECT, 0);
    return 0;
}
