// Every tool in tools/, and the program itself, on its command line: --help
// and -h print the usage on standard output, end with 0 and write no file; an
// unknown option, a missing argument or one too many print one line saying so
// and the usage on standard error, end with 2 and write no file.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "support/headless.h"

namespace {

struct Tool {
    const char* name;
    const char* path;
    const char* badCount;      // arguments with one missing or one too many
    const char* badCountLine;  // what the error line then says
};

const Tool kTools[] = {
    {"revev-pack", TOOL_revev_pack, "create data.vaz", "missing argument"},
    {"makefont", TOOL_makefont, "one.bmp two.bmp", "too many arguments"},
    {"makedemo", TOOL_makedemo, "here there", "too many arguments"},
    {"makemodel", TOOL_makemodel, "torus.ddd torus.bmp 12", "missing argument"},
    {"revev-ddd", TOOL_revev_ddd, "tobin torus.ddd", "missing argument"},
};

struct ToolRun {
    int exitCode = -1;
    std::string out, err;
    std::set<std::string> written;  // files left in the working directory
};

std::set<std::string> Listing(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") names.insert(name);
        }
        closedir(d);
    }
    return names;
}

// Runs the tool in a fresh empty directory under scratch.
ToolRun RunTool(const Tool& tool, const std::string& arguments, const std::string& scratch) {
    static int count = 0;
    std::string work = scratch + "run" + std::to_string(++count);
    std::string command = "mkdir -p '" + work + "' && cd '" + work + "' && '" + tool.path + "' " + arguments +
                          " >'" + scratch + "out.txt' 2>'" + scratch + "err.txt'";
    int status = std::system(command.c_str());
    ToolRun run;
    run.exitCode = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    run.out = ReadWholeFile(scratch + "out.txt");
    run.err = ReadWholeFile(scratch + "err.txt");
    run.written = Listing(work);
    return run;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }
std::string AfterFirstLine(const std::string& text) {
    size_t end = text.find('\n');
    return end == std::string::npos ? "" : text.substr(end + 1);
}

TEST(Tools, EveryToolIsListedHere) {
    std::ifstream list(REVEV_SOURCE_DIR "/tools/CMakeLists.txt");
    std::stringstream text;
    text << list.rdbuf();
    std::string cmake = text.str();
    std::set<std::string> built, listed;
    std::regex executable("add_executable\\(([A-Za-z0-9_-]+)");
    for (auto it = std::sregex_iterator(cmake.begin(), cmake.end(), executable); it != std::sregex_iterator(); ++it)
        built.insert((*it)[1].str());
    for (const Tool& tool : kTools) listed.insert(tool.name);
    EXPECT_EQ(built, listed);
}

TEST(Tools, HelpUsageAndRefusals) {
    std::string scratch = UseScratchTempDirectory();
    for (const Tool& tool : kTools) {
        SCOPED_TRACE(tool.name);
        const std::string usageStart = std::string("usage: ") + tool.name;

        ToolRun help = RunTool(tool, "--help", scratch);
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_EQ(help.out.rfind(usageStart, 0), 0u) << help.out;
        EXPECT_EQ(help.err, "");
        EXPECT_TRUE(help.written.empty()) << *help.written.begin();
        const std::string usage = help.out;

        ToolRun shortHelp = RunTool(tool, "-h", scratch);
        EXPECT_EQ(shortHelp.exitCode, 0);
        EXPECT_EQ(shortHelp.out, usage);
        EXPECT_TRUE(shortHelp.written.empty());

        // --help wins among other arguments, and still writes nothing.
        ToolRun late = RunTool(tool, "out.file --help", scratch);
        EXPECT_EQ(late.exitCode, 0);
        EXPECT_EQ(late.out, usage);
        EXPECT_TRUE(late.written.empty());

        ToolRun unknown = RunTool(tool, "--no-such-option", scratch);
        EXPECT_EQ(unknown.exitCode, 2);
        EXPECT_EQ(FirstLine(unknown.err), std::string(tool.name) + ": unknown option --no-such-option");
        EXPECT_EQ(AfterFirstLine(unknown.err), usage);
        EXPECT_EQ(unknown.out, "");
        EXPECT_TRUE(unknown.written.empty());

        ToolRun count = RunTool(tool, tool.badCount, scratch);
        EXPECT_EQ(count.exitCode, 2);
        EXPECT_EQ(FirstLine(count.err).rfind(std::string(tool.name) + ": ", 0), 0u) << count.err;
        EXPECT_NE(FirstLine(count.err).find(tool.badCountLine), std::string::npos) << count.err;
        EXPECT_EQ(AfterFirstLine(count.err), usage);
        EXPECT_EQ(count.out, "");
        EXPECT_TRUE(count.written.empty());
    }
}

TEST(Tools, CommandToolsRefuseUnknownAndMissingCommands) {
    std::string scratch = UseScratchTempDirectory();
    for (const Tool& tool : kTools) {
        if (std::string(tool.name) != "revev-pack" && std::string(tool.name) != "revev-ddd") continue;
        SCOPED_TRACE(tool.name);
        ToolRun none = RunTool(tool, "", scratch);
        EXPECT_EQ(none.exitCode, 2);
        EXPECT_EQ(FirstLine(none.err), std::string(tool.name) + ": missing command");
        ToolRun unknown = RunTool(tool, "frobnicate x y", scratch);
        EXPECT_EQ(unknown.exitCode, 2);
        EXPECT_EQ(FirstLine(unknown.err), std::string(tool.name) + ": unknown command frobnicate");
        EXPECT_TRUE(unknown.written.empty());
    }
}

// The example model through revev-ddd: binary to text and back gives the
// original bytes, and the text written again is the same text.
TEST(Tools, RevevDddRoundTripOfTheExampleModelIsStable) {
    std::string scratch = UseScratchTempDirectory();
    const Tool& ddd = kTools[4];
    const std::string model = REVEV_SOURCE_DIR "/examples/3d/torus.ddd";
    const std::string steps[] = {"totext '" + model + "' ../first.txt", "tobin ../first.txt ../back.ddd",
                                 "totext ../back.ddd ../second.txt", "tobin ../second.txt ../again.ddd"};
    for (const std::string& step : steps) {
        ToolRun run = RunTool(ddd, step, scratch);
        ASSERT_EQ(run.exitCode, 0) << step << ": " << run.err;
    }
    const std::string original = ReadWholeFile(model);
    EXPECT_TRUE(ReadWholeFile(scratch + "back.ddd") == original);
    EXPECT_TRUE(ReadWholeFile(scratch + "again.ddd") == original);
    EXPECT_TRUE(ReadWholeFile(scratch + "second.txt") == ReadWholeFile(scratch + "first.txt"));
}

// "--" ends the options: a name starting with "-" is a file name.
TEST(Tools, DoubleDashEndsTheOptions) {
    std::string scratch = UseScratchTempDirectory();
    ToolRun run = RunTool(kTools[1], "-- -font.bmp", scratch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.written, std::set<std::string>{"-font.bmp"});
}

// The program itself answers as the tools do, and a refusal opens no window:
// nothing is written and "Init OK" never appears.
TEST(Tools, TheProgramAnswersHelpAndRefusalsAsTheToolsDo) {
    std::string scratch = UseScratchTempDirectory();
    const Tool program = {"revev", PROGRAM_revev, "", ""};

    ToolRun help = RunTool(program, "--frames 3 --help", scratch);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: revev ", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
    EXPECT_TRUE(help.written.empty());
    const std::string usage = help.out;
    EXPECT_EQ(RunTool(program, "-h", scratch).out, usage);

    // A value that looks like --help is the option's value, not a request.
    ToolRun value = RunTool(program, "--screenshot --help --no-such-option", scratch);
    EXPECT_EQ(value.exitCode, 2);
    EXPECT_EQ(FirstLine(value.err), "revev: unknown option --no-such-option");

    struct Refusal {
        const char* arguments;
        const char* line;
    };
    const Refusal refusals[] = {
        {"--no-such-option", "revev: unknown option --no-such-option"},
        {"--frames", "revev: missing argument to --frames"},
        {"--frames 2 --script", "revev: missing argument to --script"},
        {"one two", "revev: too many arguments: two"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.arguments);
        ToolRun run = RunTool(program, refusal.arguments, scratch);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(FirstLine(run.err), refusal.line);
        EXPECT_EQ(AfterFirstLine(run.err), usage);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(run.written.empty());
    }
}

}  // namespace
