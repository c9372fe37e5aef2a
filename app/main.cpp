// Process entry: reads the options, then hands over to the application.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "application.h"
#include "core/engine.h"
#include "platform/platform.h"

#if defined(__SANITIZE_ADDRESS__)
// The GL driver keeps allocations until the process ends and unloads before
// the leak check could name them; sanitized builds check memory errors only.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
#endif

// On standard output when asked for, on standard error after a refusal.
static void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: revev [OPTION]... [GAME]\n"
                 "  GAME               a folder: run its main.lua (as --script FOLDER/main.lua);\n"
                 "                     a data archive (.vaz): run the main.lua packed in it, with\n"
                 "                     the archive as the data archive and its folder as the\n"
                 "                     current directory\n"
                 "  --frames N         end the program after N frames\n"
                 "  --script FILE      run FILE every frame instead of scripts/PrintTest.lua,\n"
                 "                     with FILE's folder as the current directory\n"
                 "  --screenshot FILE  save the last frame shown (.png or BMP) at the end\n"
                 "  --memory MIB       memory the script's Lua may hold (default 2048; 0: no limit)\n"
                 "  --no-error-banner  do not show the script's last error over the frame\n"
                 "  --record FILE      write a journal of the run's input, clock and outside data\n"
                 "  --replay FILE      run again from a journal instead of live input\n"
                 "  --replay-speed N   replay pace: 1 as recorded, 2 twice as fast, max: no pacing\n"
                 "  --replay-until N   stop the replay after frame N and keep the window\n"
                 "                     (with --screenshot: save that frame and end)\n");
}

// A relative path given on the command line is taken from the directory the
// program was started in; start-up moves to the program's own directory.
static std::string FromStartDirectory(const char* path) {
    if (path[0] == '/') return path;
    return PlatformGetCurrentDirectory() + "/" + path;
}

// A game named on the command line, or the --script file: one that cannot
// be run ends the program before a window opens. Without either, the demo
// script may come later, and frames go on without it.
static bool StartGame(ApplicationOptions& options, const std::string& game) {
    std::string error;
    if (!game.empty() && options.scriptFolderIsCurrent) {
        error = "give either a game or --script, not both";
    } else if (!game.empty()) {
        ChooseGame(game, options, error);
    } else if (options.scriptFolderIsCurrent) {
        ScriptFileReadable(options.script, error);
    }
    if (error.empty()) return true;
    std::fprintf(stderr, "revev: %s\n", error.c_str());
    return false;
}

// --record and --replay: the journal starts before start-up, whose clock
// readings and seed it holds. A replay runs the recorded script unless
// --script names another.
static bool StartJournal(ApplicationOptions& options, const std::string& recordFile,
                         const std::string& replayFile, double speed, long until) {
    std::string error;
    if (!recordFile.empty() && !replayFile.empty()) {
        error = "--record and --replay exclude each other";
    } else if (!recordFile.empty()) {
        BeginRecording(recordFile, options.script, "", error);
    } else if (!replayFile.empty()) {
        std::string script = options.scriptFolderIsCurrent ? options.script : std::string();
        if (BeginReplay(replayFile, script, speed, until, !options.screenshot.empty(), error)) {
            options.script = script;
            options.scriptFolderIsCurrent = !script.empty() && script[0] == '/';
        }
    }
    if (error.empty()) return true;
    std::fprintf(stderr, "revev: %s\n", error.c_str());
    return false;
}

// The options that take a value.
static bool TakesValue(const char* arg) {
    static const char* const kNames[] = {"--frames", "--script", "--screenshot", "--memory",
                                         "--record", "--replay", "--replay-speed", "--replay-until"};
    for (const char* name : kNames)
        if (std::strcmp(arg, name) == 0) return true;
    return false;
}

int main(int argc, char** argv) {
    // --help wins wherever it stands, before anything is checked or opened.
    for (int i = 1; i < argc; ++i) {
        if (TakesValue(argv[i])) {
            ++i;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage(stdout);
            return 0;
        }
    }
    ApplicationOptions options;
    std::string recordFile, replayFile;
    double replaySpeed = 1.0;
    long replayUntil = 0;
    std::string commandLine, game;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (std::strcmp(arg, "--frames") == 0 && hasValue) {
            char* end = nullptr;
            options.frames = std::strtol(argv[++i], &end, 10);
            if (!end || *end || options.frames < 1) {
                std::fprintf(stderr, "revev: --frames needs a positive number\n");
                return 2;
            }
        } else if (std::strcmp(arg, "--script") == 0 && hasValue) {
            options.script = FromStartDirectory(argv[++i]);
            options.scriptFolderIsCurrent = true;
        } else if (std::strcmp(arg, "--no-error-banner") == 0) {
            options.errorBanner = false;
        } else if (std::strcmp(arg, "--screenshot") == 0 && hasValue) {
            options.screenshot = FromStartDirectory(argv[++i]);
        } else if (std::strcmp(arg, "--memory") == 0 && hasValue) {
            char* end = nullptr;
            long mebibytes = std::strtol(argv[++i], &end, 10);
            if (!end || *end || end == argv[i] || mebibytes < 0 || mebibytes > (1L << 30)) {
                std::fprintf(stderr, "revev: --memory needs a number of MiB (0: no limit)\n");
                return 2;
            }
            options.luaMemoryLimit = (size_t)mebibytes << 20;
        } else if ((std::strcmp(arg, "--record") == 0 || std::strcmp(arg, "--replay") == 0) && hasValue) {
            (std::strcmp(arg, "--record") == 0 ? recordFile : replayFile) = FromStartDirectory(argv[++i]);
        } else if (std::strcmp(arg, "--replay-speed") == 0 && hasValue) {
            char* end = nullptr;
            const char* value = argv[++i];
            replaySpeed = std::strcmp(value, "max") == 0 ? 0.0 : std::strtod(value, &end);
            if (std::strcmp(value, "max") != 0 && (!end || *end || !(replaySpeed > 0) || replaySpeed > 1e6)) {
                std::fprintf(stderr, "revev: --replay-speed needs a positive number or max\n");
                return 2;
            }
        } else if (std::strcmp(arg, "--replay-until") == 0 && hasValue) {
            char* end = nullptr;
            replayUntil = std::strtol(argv[++i], &end, 10);
            if (!end || *end || replayUntil < 1) {
                std::fprintf(stderr, "revev: --replay-until needs a positive frame number\n");
                return 2;
            }
        } else if (arg[0] != '-' && game.empty()) {
            game = FromStartDirectory(arg);
        } else {
            if (TakesValue(arg))
                std::fprintf(stderr, "revev: missing argument to %s\n", arg);
            else if (arg[0] != '-')
                std::fprintf(stderr, "revev: too many arguments: %s\n", arg);
            else
                std::fprintf(stderr, "revev: unknown option %s\n", arg);
            Usage(stderr);
            return 2;
        }
    }
    if (!StartGame(options, game)) return 2;
    if (!StartJournal(options, recordFile, replayFile, replaySpeed, replayUntil)) return 2;
    return RunApplication(options, commandLine.c_str());
}
