// The program as users run it: the real binary, headless, with small scripts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/headless.h"

namespace {

class Program : public ::testing::Test {
protected:
    void SetUp() override { dir = UseScratchTempDirectory(); }

    std::string WriteScript(const std::string& name, const std::string& text) {
        std::string path = dir + name;
        WriteWholeFile(path, text);
        return path;
    }

    ProgramRun Start(const std::string& arguments, const std::string& workDir = "") {
        return RunProgram(arguments, dir, workDir);
    }

    static int Count(const std::string& text, const std::string& what) {
        return CountOccurrences(text, what);
    }

    std::string dir;
};

// The program running in the background, so that a test can signal it. It is
// killed at the end of the test if it is still there.
class Background {
public:
    Background(const std::vector<std::string>& arguments, const std::string& output) {
        std::vector<std::string> words = {REVEV_BINARY};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                dup2(fd, 1);
                dup2(fd, 2);
            }
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Background() {
        if (pid > 0 && !ended) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    bool Started() const { return pid > 0; }
    void Signal(int number) { kill(pid, number); }

    // Waits up to `seconds` for the program to end. True when it ended;
    // status then holds its wait status.
    bool WaitForEnd(double seconds) {
        for (int i = 0; i < seconds * 50; ++i) {
            if (waitpid(pid, &status, WNOHANG) == pid) return ended = true;
            usleep(20000);
        }
        return false;
    }
    bool ExitedWith(int code) const {
        return ended && WIFEXITED(status) && WEXITSTATUS(status) == code;
    }

private:
    pid_t pid = -1;
    bool ended = false;
    int status = 0;
};

// Waits up to 60 s (a sanitized start-up on a busy machine is slow) for a file
// to hold `text`.
bool WaitForFileText(const std::string& path, const std::string& text) {
    for (int i = 0; i < 600; ++i) {
        if (ReadWholeFile(path).find(text) != std::string::npos) return true;
        usleep(100000);
    }
    return false;
}

// A script that changes a key of a configuration file and a line of a line
// file once, then writes "ready" to a marker file; `rest` runs after that in
// the same first frame.
std::string ChangeKeyScript(const std::string& ini, const std::string& lines,
                            const std::string& marker, const std::string& rest) {
    return "if not changed then\n"
           "  changed = true\n"
           "  Lua_Iniopen('" + ini + "')\n"
           "  Lua_Iniputvalue('Video', 'width', '640')\n"
           "  Lua_Linefileput('" + lines + "', 2, 'saved')\n"
           "  Lua_Channelopen(0, '" + marker + "', 0)\n"
           "  Lua_Channelwriteline(0, 'ready')\n"
           "  Lua_Channelclose(0)\n" + rest + "\n"
           "end\n";
}

}  // namespace

TEST_F(Program, RunsHeadlessForTheGivenFramesAndEndsWithZero) {
    ProgramRun run = Start("--frames 3");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("Init OK\n"), 0u);
}

TEST_F(Program, ScriptGlobalsSurviveFromFrameToFrame) {
    std::string script = WriteScript("count.lua", "n = (n or 0) + 1\nprint('frame ' .. n)\n");
    ProgramRun run = Start("--frames 3 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("frame 1\nframe 2\nframe 3\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("frame 4"), std::string::npos);
}

TEST_F(Program, RelativeScriptPathIsTakenFromTheStartDirectory) {
    WriteScript("here.lua", "print('ran here')\n");
    ProgramRun run = Start("--frames 1 --script here.lua", dir);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("ran here"), std::string::npos);
}

// A script there at start-up that goes away later: the frames go on.
TEST_F(Program, MissingScriptLeavesFramesRunningAndSaysSoOnce) {
    std::string script = WriteScript("absent.lua", "Lua_Filedelete('absent.lua')\n");
    ProgramRun run = Start("--frames 4 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Count(run.err, "absent.lua"), 1) << run.err;
}

TEST_F(Program, BrokenScriptIsReportedOnceAndFramesGoOn) {
    std::string script = WriteScript("broken.lua", "this is not lua\n");
    ProgramRun run = Start("--frames 4 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Count(run.err, "broken.lua"), 1) << run.err;
}

TEST_F(Program, RuntimeErrorStopsTheChunkButNotTheProgram) {
    std::string script = WriteScript("fails.lua",
                                     "n = (n or 0) + 1\nprint('before ' .. n)\n"
                                     "error('boom')\nprint('after')\n");
    ProgramRun run = Start("--frames 3 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("before 3"), std::string::npos);
    EXPECT_EQ(run.out.find("after"), std::string::npos);
    EXPECT_EQ(Count(run.err, "boom"), 1) << run.err;
}

TEST_F(Program, OnlyTheChosenLibrariesAreOpen) {
    std::string script = WriteScript("libs.lua",
                                     "print(type(string), type(table), type(math), type(debug), "
                                     "type(print), type(io), type(os), type(require))\n"
                                     "print('more', type(jit), type(bit), type(ffi), type(package), _VERSION)\n"
                                     // Nor through the registry, where modules are kept.
                                     "local registry, names = debug.getregistry(), {}\n"
                                     "for name in pairs(registry._LOADED) do names[#names + 1] = name end\n"
                                     "table.sort(names)\n"
                                     "print('loaded', table.concat(names, ' '), next(registry._PRELOAD))\n"
                                     // require's table holds no loader of C code, nor search paths.
                                     "names = {}\n"
                                     "for name in pairs(package) do names[#names + 1] = name end\n"
                                     "table.sort(names)\n"
                                     "print('package', table.concat(names, ' '), package.loaded == registry._LOADED)\n");
    ProgramRun run = Start("--frames 1 --script '" + script + "'");
    EXPECT_NE(run.out.find("table\ttable\ttable\ttable\tfunction\tnil\tnil\tfunction"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("more\tnil\tnil\tnil\ttable\tLua 5.1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("loaded\t_G coroutine debug math package string table\tnil\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("package\tloaded preload\ttrue\n"), std::string::npos) << run.out;
}

// Every library holds the interpreter's functions, no more and no fewer, on
// either Lua build.
TEST_F(Program, TheLibrariesHoldTheInterpretersFunctions) {
    std::string script = WriteScript("names.lua",
                                     "for _, lib in ipairs({'_G', 'string', 'table', 'math', 'debug', 'coroutine'}) do\n"
                                     "  local t, names = lib == '_G' and _G or _G[lib], {}\n"
                                     "  for k in pairs(t) do\n"
                                     "    if type(k) == 'string' and not k:find('^Lua_') then names[#names + 1] = k end\n"
                                     "  end\n"
                                     "  table.sort(names)\n"
                                     "  print(lib .. ': ' .. table.concat(names, ' '))\n"
                                     "end\n"
                                     "print(pcall(table.setn, {}, 1))\n");
    ProgramRun run = Start("--frames 1 --script '" + script + "'");
    EXPECT_NE(run.out.find(
                  "_G: _G _VERSION assert collectgarbage coroutine debug dofile error gcinfo getfenv getmetatable "
                  "ipairs load loadfile loadstring math newproxy next package pairs pcall print rawequal rawget rawset "
                  "require select setfenv setmetatable string table tonumber tostring type unpack xpcall\n"
                  "string: byte char dump find format gfind gmatch gsub len lower match rep reverse sub upper\n"
                  "table: concat foreach foreachi getn insert maxn remove setn sort\n"
                  "math: abs acos asin atan atan2 ceil cos cosh deg exp floor fmod frexp huge ldexp log log10 max "
                  "min mod modf pi pow rad random randomseed sin sinh sqrt tan tanh\n"
                  "debug: debug getfenv gethook getinfo getlocal getmetatable getregistry getupvalue setfenv "
                  "sethook setlocal setmetatable setupvalue traceback\n"
                  "coroutine: create resume running status wrap yield\n"
                  "false\t'setn' is obsolete\n"),
              std::string::npos)
        << run.out;
}

TEST_F(Program, ScriptCanEndTheProgramAndShowExtraFrames) {
    std::string script = WriteScript("end.lua",
                                     "n = (n or 0) + 1\nLua_Showscreen()\n"
                                     "if n == 2 then print('ending') Lua_End() end\n");
    ProgramRun run = Start("--frames 100 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("ending"), std::string::npos);
}

TEST_F(Program, BadOptionsAreRefused) {
    EXPECT_EQ(Start("--frames 0").exitCode, 2);
    EXPECT_EQ(Start("--bogus").exitCode, 2);
}

TEST_F(Program, TerminationSignalEndsThroughTheNormalEnd) {
    std::string out = dir + "signal.txt";
    std::string command = std::string("'") + REVEV_BINARY + "' >'" + out + "' 2>&1 & pid=$!; " +
                          "for i in $(seq 1 100); do grep -q 'Init OK' '" + out +
                          "' && break; sleep 0.1; done; kill -TERM $pid; wait $pid";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << ReadWholeFile(out);
}

// Ending on a signal goes through the program's one end, whose exit handlers
// save the configuration file; a script busy in a loop must not hold it off.
class SignalEnd : public Program {
protected:
    void SetUp() override {
        Program::SetUp();
        ini = dir + "game.ini";
        lines = dir + "lines.txt";
        marker = dir + "ready.txt";
        WriteWholeFile(ini, "[Video]\nwidth = 320\n");
        WriteWholeFile(lines, "first\nsecond\n");
        // Every test of this process shares the scratch directory.
        unlink(marker.c_str());
    }

    // Runs the script, signals the program once it made its change, and
    // expects a normal end with the change on disk. The end takes a fraction
    // of a second; 3 s only tells an end from a program that never ends.
    void ExpectSavedEndOn(int number, const std::string& rest, const std::vector<std::string>& options = {}) {
        std::string script = WriteScript("change.lua", ChangeKeyScript(ini, lines, marker, rest));
        std::string output = dir + "output.txt";
        std::vector<std::string> arguments = {"--script", script};
        arguments.insert(arguments.end(), options.begin(), options.end());
        Background program(arguments, output);
        ASSERT_TRUE(program.Started());
        ASSERT_TRUE(WaitForFileText(marker, "ready")) << ReadWholeFile(output);
        program.Signal(number);
        ASSERT_TRUE(program.WaitForEnd(3)) << "still running after signal " << number;
        EXPECT_TRUE(program.ExitedWith(0)) << ReadWholeFile(output);
        EXPECT_NE(ReadWholeFile(ini).find("width=640"), std::string::npos) << ReadWholeFile(ini);
        EXPECT_EQ(ReadWholeFile(lines), "first\nsecond\nsaved\r\n") << ReadWholeFile(lines);
    }

    std::string ini, lines, marker;
};

TEST_F(SignalEnd, HangupSavesTheConfigurationAndEndsNormally) {
    ExpectSavedEndOn(SIGHUP, "");
}

TEST_F(SignalEnd, TerminateEndsAScriptBusyInALoop) {
    ExpectSavedEndOn(SIGTERM, "while true do end");
}

TEST_F(SignalEnd, InterruptEndsAScriptBusyInALoop) {
    ExpectSavedEndOn(SIGINT, "while true do end");
}

TEST_F(SignalEnd, HangupEndsAScriptBusyInALoop) {
    ExpectSavedEndOn(SIGHUP, "while true do end");
}

// Loops that a compiler turns into machine code, which no hook interrupts.
TEST_F(SignalEnd, TerminateEndsALoopThatCounts) {
    ExpectSavedEndOn(SIGTERM, "local x = 0 while true do x = x + 1 end");
}

TEST_F(SignalEnd, TerminateEndsALoopThatAllocates) {
    ExpectSavedEndOn(SIGTERM, "local t, i = {}, 0 while true do i = i + 1 t[i % 1000 + 1] = {i} end");
}

TEST_F(SignalEnd, InterruptEndsALoopThatFillsATable) {
    ExpectSavedEndOn(SIGINT, "local t = {} while true do t[#t % 100000 + 1] = 'x' .. #t end");
}

// A loop that catches the errors of the bindings it calls: the end request
// ends it even when it never returns to the frame.
TEST_F(SignalEnd, TerminateEndsALoopThatCallsBindings) {
    ExpectSavedEndOn(SIGTERM, "while true do pcall(Lua_Channelreadbyte, 9999) Lua_Random(10) end");
}

// A call below Lua that never returns: opening a named pipe that nobody
// writes to. The saves still happen, from outside the stuck thread.
TEST_F(SignalEnd, TerminateEndsAScriptStuckInACallThatNeverReturns) {
    std::string pipe = dir + "nobody-writes.fifo";
    unlink(pipe.c_str());
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    ExpectSavedEndOn(SIGTERM, "Lua_Channelopen(1, '" + pipe + "', 1)");
}

// A script waiting for another program to end.
TEST_F(SignalEnd, HangupEndsAScriptWaitingForAProgram) {
    ExpectSavedEndOn(SIGHUP, "Lua_Runprogram('sleep 30', 1, 0)");
}

// Out of memory with a lowered limit: a script that grows without end gets
// Lua's error, reported once, and the frames go on to the end.
TEST_F(Program, ScriptOutOfMemoryFailsWithALuaErrorAndTheFramesGoOn) {
    const std::pair<const char*, const char*> growers[] = {
        {"strings.lua", "big = big or {}\nwhile true do big[#big + 1] = string.rep('x', 4096) .. #big end\n"},
        {"tables.lua", "big = big or {}\nlocal i = 0\nwhile true do i = i + 1 big[i] = {i, i, i, i} end\n"},
        {"concat.lua", "local s = 'x'\nwhile true do s = s .. s end\n"},
    };
    for (const auto& grower : growers) {
        // Memory stays full from frame to frame (the tables are global): the
        // last frame lets go of them to say it ran.
        std::string script = WriteScript(grower.first, std::string("n = (n or 0) + 1\n"
                                                                   "if n == 4 then big = nil collectgarbage() print('frame 4') end\n") +
                                                          grower.second);
        ProgramRun run = Start("--frames 4 --memory 48 --script '" + script + "'");
        EXPECT_EQ(run.exitCode, 0) << grower.first << "\n" << run.err;
        EXPECT_EQ(Count(run.err, "not enough memory"), 1) << grower.first << "\n" << run.err;
        EXPECT_NE(run.out.find("frame 4\n"), std::string::npos) << grower.first << "\n" << run.out;
    }
}

// A script that catches the memory error and grows on: the frames go on, or
// the program ends through its end path; it never crashes.
TEST_F(Program, ScriptThatCatchesItsMemoryErrorsNeverCrashes) {
    // What grew is garbage once grow() has failed, so that printing after a
    // full collection finds memory again.
    std::string script = WriteScript("retries.lua",
                                     "local function grow() local big, i = {}, 0 while true do i = i + 1 big[i] = {i} end end\n"
                                     "for k = 1, 3 do local ok, message = pcall(grow) collectgarbage() print(ok, message) end\n");
    ProgramRun run = Start("--frames 3 --memory 48 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("false\tnot enough memory\n"), std::string::npos) << run.out;
    // Said on stderr only when the program ended on it.
    EXPECT_LE(Count(run.err, "not enough memory"), 1) << run.err;
}

TEST_F(Program, MemoryOptionIsRefusedWhenNotANumber) {
    EXPECT_EQ(Start("--memory lots").exitCode, 2);
    EXPECT_EQ(Start("--memory -1").exitCode, 2);
}

// The chunk compiled for the file runs again while the file is unchanged (the
// same function every frame), and an edit takes effect on the next frame,
// even one that keeps the size and comes within the same moment.
TEST_F(Program, UnchangedScriptRunsItsCompiledChunkAndAnEditIsSeenAtOnce) {
    std::string path = dir + "edits.lua", edited = dir + "edits-b.lua";
    auto version = [&](const std::string& name) {
        return "local me = debug.getinfo(1, 'f').func\n"
               "print('same ' .. tostring(me == last)) last = me\n"
               "n = (n or 0) + 1\n"
               "print('version " + name + " ' .. n)\n"
               "if n == 2 then Lua_Filecopy('" + edited + "', '" + path + "') end\n";
    };
    WriteWholeFile(path, version("A"));
    WriteWholeFile(edited, version("B"));
    ProgramRun run = Start("--frames 4 --script '" + path + "'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("same false\nversion A 1\nsame true\nversion A 2\n"
                           "same false\nversion B 3\nsame true\nversion B 4\n"),
              std::string::npos)
        << run.out << run.err;
}

// Both Lua builds read and write numbers at the bindings by the interpreter's
// rules, and report script failures with the same texts.
TEST_F(Program, BindingsConvertNumbersAndTextsByTheInterpretersRules) {
    std::string script = WriteScript("convert.lua",
                                     "print('lower', Lua_Lower(0/0), Lua_Lower(1/3), Lua_Lower(1e15), Lua_Lower(2^63), Lua_Lower(1e300 * 1e300))\n"
                                     "print('numbers', Lua_Abs(' 0x10 '), Lua_Abs('12\\0junk'), Lua_Abs('1e'), Lua_Abs('-2.5e1 '), Lua_Abs('inf'))\n"
                                     "print('hex', Lua_Hex(255), Lua_Hex(0.5))\n");
    ProgramRun run = Start("--frames 1 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("lower\t-nan\t0.33333333333333\t1e+15\t9.2233720368548e+18\tinf\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("numbers\t16\t12\t0\t25\tinf\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("hex\t323535\t302E35\n"), std::string::npos) << run.out;
}

TEST_F(Program, ScriptFailuresAreReportedWithTheInterpretersTexts) {
    std::string missing = WriteScript("absent.lua", "Lua_Filedelete('absent.lua')\n");
    ProgramRun run = Start("--frames 2 --script '" + missing + "'");
    EXPECT_NE(run.err.find("revev: script: cannot open " + missing + ": No such file or directory\n"),
              std::string::npos)
        << run.err;
    const std::pair<const char*, const char*> failures[] = {
        {"x = = 1\n", "unexpected symbol near '='"},
        {"local t = nil\nprint(t.x)\n", ":2: attempt to index local 't' (a nil value)"},
        {"undefined()\n", ":1: attempt to call global 'undefined' (a nil value)"},
        {"print(1 + {})\n", ":1: attempt to perform arithmetic on a table value"},
        {"error(42)\n", "failure.lua:1: 42\n"},
        {"error({})\n", "revev: script: (error object is not a string)\n"},
        {"Lua_Get(1, 2)\n", "bad argument #1 to 'Lua_Get' (NumberArray or TextArray expected, got number)"},
        {"#!/usr/bin/revev\nerror('second line')\n", "failure.lua:2: second line"},
    };
    for (const auto& failure : failures) {
        std::string script = WriteScript("failure.lua", failure.first);
        ProgramRun failed = Start("--frames 1 --script '" + script + "'");
        EXPECT_EQ(failed.exitCode, 0);
        EXPECT_NE(failed.err.find(failure.second), std::string::npos) << failure.first << "\n" << failed.err;
    }
}

// With --script, the names a script uses are taken from its own folder, not
// from where the program was started nor from the program's folder.
TEST_F(Program, ScriptNamesResolveFromTheScriptsFolder) {
    std::string game = dir + "game/", elsewhere = dir + "elsewhere/";
    ASSERT_EQ(mkdir(game.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
    WriteWholeFile(game + "beside.bmp", GreyBmp(3, 2));
    WriteWholeFile(game + "main.lua",
                   "Lua_Loadsprite('beside.bmp', 1)\n"
                   "print('size', Lua_Getspritesize(1))\n"
                   "print('dir', Lua_Directoryget())\n");
    ProgramRun run = Start("--frames 1 --script ../game/main.lua", elsewhere);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("size\t3\t2\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("dir\t" + game + "\n"), std::string::npos) << run.out;
}

// The program's own font is read at start-up from beside the program, even
// when the script's folder holds a file of the same name.
TEST_F(Program, ProgramsOwnFontIsStillTakenFromBesideTheProgram) {
    std::string binary = REVEV_BINARY;
    std::string programFont = binary.substr(0, binary.rfind('/')) + "/smalfont.bmp";
    std::string game = dir + "fontgame/";
    ASSERT_EQ(mkdir(game.c_str(), 0755), 0);
    WriteWholeFile(game + "smalfont.bmp", GreyBmp(128, 64));
    WriteWholeFile(game + "main.lua",
                   "local function glyph()\n"
                   "  Lua_Blackscreen(1)\n"
                   "  Lua_Print('A', 0, 0)\n"
                   "  local t = {}\n"
                   "  for y = 0, 7 do for x = 0, 7 do t[#t + 1] = Lua_Getpixel(x, y) end end\n"
                   "  return table.concat(t, ',')\n"
                   "end\n"
                   "local first = glyph()\n"
                   "Lua_Loadfont('" + programFont + "', 0)\n"
                   "print('program font', first == glyph())\n"
                   "Lua_Loadfont('smalfont.bmp', 0)\n"
                   "print('folder font', first == glyph())\n");
    ProgramRun run = Start("--frames 1 --script '" + game + "main.lua'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("program font\ttrue\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("folder font\tfalse\n"), std::string::npos) << run.out;
}
