// PathFind as a script sees it: a script run headless by the real program,
// checked by what it prints.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
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

}  // namespace

TEST(PathScript, FindsAPathRoundAWallAndReportsRefusals) {
    char pattern[] = "/tmp/revev-path-XXXXXX";
    std::string dir = mkdtemp(pattern);
    setenv("TMPDIR", dir.c_str(), 1);
    std::string out = dir + "/stdout.txt", err = dir + "/stderr.txt";
    std::string command = std::string("'") + REVEV_BINARY + "' --frames 1 --script '" REVEV_SOURCE_DIR
                          "/tests/path/find_path.lua' >'" + out + "' 2>'" + err + "'";
    int status = std::system(command.c_str());
    std::string printed = ReadAll(out);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << ReadAll(err);
    EXPECT_EQ(ReadAll(err).find("script:"), std::string::npos) << ReadAll(err);

    // Round the wall through the gap at the bottom of column 2.
    EXPECT_NE(printed.find("path 9 rows 9x2: 0,0 1,0 1,1 1,2 2,2 3,2 3,1 3,0 4,0\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("walled 0 rows 0\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("outside 0 same 0 kept 2 7 8\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("missing 0\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("not an array false\n"), std::string::npos) << printed;
    std::filesystem::remove_all(dir);
}
