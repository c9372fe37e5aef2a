#include "files_test_util.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <lzo/lzo1x.h>

#include "core/engine.h"

namespace fs = std::filesystem;

namespace {
std::string scratchDir;
std::string scratchTemp;
}

std::string EnterScratchDirectory() {
    char pattern[] = "/tmp/revev-files-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    std::string dir = std::string(made ? made : "/tmp") + "/";
    scratchDir = made ? dir : std::string();
    fs::create_directory(dir + "tmp");
    scratchTemp = dir + "tmp/";
    setenv("TMPDIR", scratchTemp.c_str(), 1);
    EXPECT_EQ(chdir(dir.c_str()), 0);
    return dir;
}

void LeaveScratchDirectory() {
    if (scratchDir.empty()) return;
    EXPECT_EQ(chdir("/"), 0);
    std::error_code ec;
    fs::remove_all(scratchDir, ec);
    scratchDir.clear();
}

std::string ScratchTemp() { return scratchTemp; }

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::vector<std::string> ListNames(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    return names;
}

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = (char)(v >> (8 * i));
    return s;
}

std::string PackedBlock(const std::string& data) {
    static bool ready = lzo_init() == LZO_E_OK;
    EXPECT_TRUE(ready);
    std::vector<unsigned char> out(data.size() + data.size() / 16 + 64 + 3);
    std::vector<unsigned char> work(LZO1X_1_MEM_COMPRESS);
    lzo_uint packed = 0;
    lzo1x_1_compress((const unsigned char*)data.data(), data.size(), out.data(), &packed,
                     work.data());
    return Le32((uint32_t)data.size()) + std::string((const char*)out.data(), packed);
}

std::string DirEntry(const std::string& name, uint32_t offset, uint32_t size) {
    return std::string(1, (char)name.size()) + name + Le32(offset) + Le32(size);
}

std::string Trailer(int32_t directoryPosition, const char* magic) {
    return std::string(magic, 3) + Le32((uint32_t)directoryPosition);
}

std::string SimpleArchive(const std::vector<std::pair<std::string, std::string>>& files) {
    std::string blocks, directory;
    for (const auto& [name, data] : files) {
        std::string block = PackedBlock(data);
        directory += DirEntry(name, (uint32_t)blocks.size(), (uint32_t)block.size());
        blocks += block;
    }
    directory += std::string(1, '\0');
    return blocks + directory + Trailer((int32_t)blocks.size());
}

void ReportErrorAtExit() {
    std::atexit([] { std::fprintf(stderr, "runtime error %d\n", (int)engine.errorNumber); });
}

int WithFileSizeLimit(uint64_t bytes, const std::function<void()>& work) {
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {(rlim_t)bytes, (rlim_t)bytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(98);
        work();
        _exit(0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> ErrorLogLines() {
    std::vector<std::string> lines;
    std::istringstream log(ReadFile(ScratchTemp() + "ErrorLog.txt"));
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
}
