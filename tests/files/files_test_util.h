// Test support for the files subsystem: a scratch working and temporary
// directory per test, whole-file helpers, archive building blocks, and a way
// to see which runtime error ended a child process.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Makes a fresh scratch directory, points TMPDIR at its "tmp" subdirectory
// and makes it the current directory. Returns its path ("/" ended).
std::string EnterScratchDirectory();
// Leaves the scratch directory and removes it with everything in it.
void LeaveScratchDirectory();
// The temporary directory set by EnterScratchDirectory ("/" ended).
std::string ScratchTemp();

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// Names of the files in a directory.
std::vector<std::string> ListNames(const std::string& dir);

// Archive building blocks, little-endian as the runtime reads them.
std::string Le32(uint32_t v);
// A stored block: unpacked size, then the data packed with LZO1X-1.
std::string PackedBlock(const std::string& data);
// A directory entry: length, name, data offset, data size.
std::string DirEntry(const std::string& name, uint32_t offset, uint32_t size);
// The 7-byte trailer with the magic and the directory position.
std::string Trailer(int32_t directoryPosition, const char* magic = "vaZ");

// Plain archive of (name, data) pairs: blocks from offset 0, then the
// directory, then the trailer.
std::string SimpleArchive(const std::vector<std::pair<std::string, std::string>>& files);

// Runs `work` in a forked child whose files cannot grow past `bytes` (the
// signal for that ignored, so writes fail instead). Returns the child's exit
// code, 0 when `work` returned; -1 when it did not exit normally.
int WithFileSizeLimit(uint64_t bytes, const std::function<void()>& work);
// The error log's lines in the scratch temporary directory.
std::vector<std::string> ErrorLogLines();

// In a death-test child: prints "runtime error N" to stderr at exit.
void ReportErrorAtExit();

// The statement must end the program with runtime error n.
#define EXPECT_RUNTIME_ERROR(statement, n)                                        \
    EXPECT_EXIT(                                                                  \
        {                                                                         \
            ReportErrorAtExit();                                                  \
            statement;                                                            \
            std::fprintf(stderr, "no error\n");                                   \
            std::_Exit(99);                                                       \
        },                                                                        \
        ::testing::ExitedWithCode(0), "runtime error " #n "\n")
