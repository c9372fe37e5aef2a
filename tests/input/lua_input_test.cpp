// The input bindings as a script sees them: the real program, headless, runs
// a script that reads every input command each frame.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(LuaInput, AScriptReadsKeysEachFrameWithoutError) {
    char pattern[] = "/tmp/revev-lua-input-XXXXXX";
    std::string dir = mkdtemp(pattern);
    std::string out = dir + "/stdout.txt", err = dir + "/stderr.txt";
    std::string command = "TMPDIR='" + dir + "' '" + REVEV_BINARY + "' --frames 5 --script '" +
                          REVEV_SOURCE_DIR + "/tests/input/keys_each_frame.lua' >'" + out +
                          "' 2>'" + err + "'";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string output = ReadAll(out);
    std::string errors = ReadAll(err);
    EXPECT_EQ(Count(errors, "revev: script:"), 0) << errors;
    EXPECT_EQ(Count(output, " idle "), 5) << output;
    EXPECT_NE(output.find("frame 5 idle moved 0"), std::string::npos) << output;
    EXPECT_EQ(ReadAll(dir + "/ErrorLog.txt"), "");
}

}  // namespace
