// File channels and whole-file commands: typed round trips and unsigned
// reads, runtime errors 3 and 7 (each in a child process, since they end the
// program), the 64-byte-block line reader, and the file commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>

#include "core/engine.h"
#include "files/channels.h"
#include "files/libraries.h"
#include "files_test_util.h"

class Channels : public ::testing::Test {
protected:
    void SetUp() override { dir = EnterScratchDirectory(); }
    void TearDown() override {
        ChannelsCloseAll();
        LeaveScratchDirectory();
    }
    std::string dir;
};

// ---------------------------------------------------------------------------
// Typed readers and writers

TEST_F(Channels, TypedValuesRoundTripLittleEndian) {
    ASSERT_EQ(ChannelOpen(0, "typed.bin", 0), 1.0);
    ChannelWriteByte(0, 300);       // 16-bit 300, low byte 44
    ChannelWriteByte(0, 70000);     // outside 16 bits: -32768, low byte 0
    ChannelWriteByte(0, -1);        // 255
    ChannelWriteWord(0, 65535);
    ChannelWriteWord(0, -2);        // 0xFFFE
    ChannelWriteLong(0, 70000);
    ChannelWriteLong(0, -1);        // two's complement
    ChannelWriteLong(0, 1e12);      // outside 32 bits: -2147483648
    ChannelWriteDouble(0, -1.5e-300);
    ChannelWriteText(0, RuntimeString("raw"));
    ChannelWriteText(0, RuntimeString(""));
    ChannelWriteLine(0, RuntimeString("a line"));
    ChannelWriteNumberLine(0, 2.5);
    ChannelWriteNumberLine(0, 3.0);
    ChannelClose(0);

    EXPECT_EQ(ReadFile("typed.bin").substr(0, 7), std::string("\x2C\x00\xFF\xFF\xFF\xFE\xFF", 7));
    ASSERT_EQ(ChannelOpen(3, "typed.bin", 1), 1.0);
    double v = 0;
    EXPECT_EQ(ChannelReadByte(3, v), 44);
    EXPECT_EQ(ChannelReadByte(3, v), 0);
    EXPECT_EQ(ChannelReadByte(3, v), 255);
    EXPECT_EQ(ChannelReadWord(3, v), 65535);
    EXPECT_EQ(ChannelReadWord(3, v), 65534);
    EXPECT_EQ(ChannelReadLong(3, v), 70000);
    EXPECT_EQ(ChannelReadLong(3, v), 4294967295.0);
    EXPECT_EQ(ChannelReadLong(3, v), 2147483648.0);
    EXPECT_EQ(ChannelReadDouble(3, v), -1.5e-300);
    EXPECT_EQ(v, -1.5e-300);
    RuntimeString text;
    ChannelReadText(3, text, 3);
    EXPECT_STREQ(text.Text(), "raw");
    ChannelReadLine(3, text);
    EXPECT_STREQ(text.Text(), "a line");
    EXPECT_EQ(ChannelReadNumberLine(3, v), 2.5);
    ChannelReadLine(3, text);
    EXPECT_STREQ(text.Text(), "3");
    EXPECT_EQ(ChannelAtEnd(3), 1.0);
    EXPECT_EQ(FileChannelTable[3].position, FileChannelTable[3].size);
}

TEST_F(Channels, ReadTextStopsAtAZeroByteAndIgnoresCountsBelowOne) {
    WriteFile("z.bin", std::string("ab\0cd", 5));
    ASSERT_EQ(ChannelOpen(1, "z.bin", 1), 1.0);
    RuntimeString text("old");
    ChannelReadText(1, text, 5);
    EXPECT_STREQ(text.Text(), "ab");
    EXPECT_EQ(FileChannelTable[1].position, 5u);
    // Counts of 0 or less check nothing, not even the channel number.
    ChannelReadText(99, text, 0);
    EXPECT_EQ(text.Length(), 0u);
    ChannelReadText(-5, text, -3);
    EXPECT_EQ(text.Length(), 0u);
}

TEST_F(Channels, OpenForWritingEmptiesAndMissingFileLeavesChannelClosed) {
    WriteFile("full.txt", "content");
    ASSERT_EQ(ChannelOpen(2, "full.txt", 0), 1.0);
    ChannelClose(2);
    EXPECT_EQ(ReadFile("full.txt"), "");
    EXPECT_EQ(ChannelOpen(2, "missing.txt", 1), 0.0);
    EXPECT_EQ(FileChannelTable[2].handle, nullptr);
    // Any mode other than 0, NaN included, reads.
    WriteFile("r.txt", "r");
    EXPECT_EQ(ChannelOpen(2, "r.txt", std::nan("")), 1.0);
    EXPECT_EQ(FileChannelTable[2].size, 1u);
    // A directory is no readable file.
    EXPECT_EQ(ChannelOpen(2, dir.c_str(), 1), 0.0);
}

// ---------------------------------------------------------------------------
// Runtime errors

TEST_F(Channels, ReadingPastTheEndIsRuntimeError3) {
    WriteFile("two.bin", "xy");
    EXPECT_RUNTIME_ERROR(
        {
            double v;
            ChannelOpen(0, "two.bin", 1);
            ChannelReadByte(0, v);
            ChannelReadByte(0, v);
            if (ChannelAtEnd(0) != 1.0) std::_Exit(98);
            ChannelReadByte(0, v);
        },
        3);
    EXPECT_RUNTIME_ERROR(
        {
            double v;
            ChannelOpen(0, "two.bin", 1);
            ChannelReadLong(0, v);
        },
        3);
    EXPECT_RUNTIME_ERROR(
        {
            RuntimeString t;
            ChannelOpen(0, "two.bin", 1);
            ChannelReadText(0, t, 1e15);  // must fail, not reserve the count
        },
        3);
}

TEST_F(Channels, ClosedChannelIsRuntimeError3ForReadersAndWriters) {
    EXPECT_RUNTIME_ERROR(ChannelWriteText(4, RuntimeString("")), 3);
    EXPECT_RUNTIME_ERROR(ChannelWriteByte(4, 1), 3);
    EXPECT_RUNTIME_ERROR(
        {
            RuntimeString t;
            ChannelReadLine(4, t);
        },
        3);
    // A channel opened for writing cannot be read.
    EXPECT_RUNTIME_ERROR(
        {
            double v;
            ChannelOpen(4, "w.bin", 0);
            ChannelReadByte(4, v);
        },
        3);
}

TEST_F(Channels, ChannelNumbersOutsideZeroToEightAreRuntimeError7) {
    // 7.9 is channel 7.
    ASSERT_EQ(ChannelOpen(7.9, "seven.bin", 0), 1.0);
    ChannelWriteByte(7, 65);
    ChannelClose(7.5);
    EXPECT_EQ(ReadFile("seven.bin"), "A");
    EXPECT_RUNTIME_ERROR(ChannelOpen(8.0, "x.bin", 0), 7);
    EXPECT_RUNTIME_ERROR(ChannelOpen(-0.4, "x.bin", 0), 7);
    EXPECT_RUNTIME_ERROR(ChannelClose(std::nan("")), 7);
    EXPECT_RUNTIME_ERROR(ChannelAtEnd(8), 7);
    EXPECT_RUNTIME_ERROR(ChannelWriteLine(-1, RuntimeString("x")), 7);
    EXPECT_RUNTIME_ERROR(
        {
            RuntimeString t;
            ChannelReadText(8, t, 1);
        },
        7);
}

// ---------------------------------------------------------------------------
// The line reader

TEST_F(Channels, LinesEndAtLineFeedsWithCarriageReturnsDropped) {
    WriteFile("ab.txt", "AB\r\nXY");
    RuntimeString line;
    ChannelOpen(0, "ab.txt", 1);
    ChannelReadLine(0, line);
    EXPECT_STREQ(line.Text(), "AB");
    EXPECT_EQ(FileChannelTable[0].position, 4u);
    EXPECT_EQ(ChannelAtEnd(0), 0.0);
    ChannelReadLine(0, line);
    EXPECT_STREQ(line.Text(), "XY");
    EXPECT_EQ(ChannelAtEnd(0), 1.0);
    EXPECT_RUNTIME_ERROR(ChannelReadLine(0, line), 3);

    // A file ending in CR LF has no empty last line; a bare LF and an empty
    // line are lines of their own.
    WriteFile("end.txt", "one\ntwo\r\n\r\nfour\r\n");
    ChannelOpen(1, "end.txt", 1);
    const char* expected[] = {"one", "two", "", "four"};
    for (const char* e : expected) {
        ChannelReadLine(1, line);
        EXPECT_STREQ(line.Text(), e);
    }
    EXPECT_EQ(ChannelAtEnd(1), 1.0);
}

TEST_F(Channels, LongLinesComeInPiecesOf1024) {
    std::string body;
    for (int i = 0; i < 1500; ++i) body += (char)('a' + i % 26);
    WriteFile("long.txt", body);
    RuntimeString line;
    ChannelOpen(0, "long.txt", 1);
    ChannelReadLine(0, line);
    EXPECT_EQ(line.Length(), 1024u);
    EXPECT_EQ(std::string(line.Text()), body.substr(0, 1024));
    ChannelReadLine(0, line);
    EXPECT_EQ(line.Length(), 476u);
    EXPECT_EQ(std::string(line.Text()), body.substr(1024));
    EXPECT_EQ(ChannelAtEnd(0), 1.0);

    // A line feed inside a later block, and the next line after it.
    WriteFile("mid.txt", std::string(130, 'm') + "\r\nnext\n");
    ChannelOpen(0, "mid.txt", 1);
    ChannelReadLine(0, line);
    EXPECT_EQ(std::string(line.Text()), std::string(130, 'm'));
    ChannelReadLine(0, line);
    EXPECT_STREQ(line.Text(), "next");
    EXPECT_EQ(FileChannelTable[0].position, 137u);
    EXPECT_EQ(ChannelAtEnd(0), 1.0);
}

// ---------------------------------------------------------------------------
// Whole-file commands

TEST_F(Channels, SizeExistsAndDelete) {
    WriteFile("five.bin", "12345");
    EXPECT_EQ(FileSize("five.bin"), 5.0);
    EXPECT_EQ(FileExists("five.bin"), 1.0);
    EXPECT_EQ(FileSize("none.bin"), 0.0);
    EXPECT_EQ(FileExists("none.bin"), 0.0);
    std::filesystem::create_directory("sub");
    EXPECT_EQ(FileExists("sub"), 0.0);
    EXPECT_EQ(FileSize("sub"), 0.0);
    FileDelete("five.bin");
    EXPECT_FALSE(Exists("five.bin"));
    FileDelete("five.bin");  // missing: no error
    FileDelete("sub");       // directories are not deleted
    EXPECT_TRUE(Exists("sub"));
}

TEST_F(Channels, CopyIsWholeOrNothing) {
    std::string data(10000, 'c');
    data[9999] = 'E';
    WriteFile("src.bin", data);
    FileCopy("src.bin", "dst.bin");
    EXPECT_EQ(ReadFile("dst.bin"), data);
    FileCopy("none.bin", "dst2.bin");
    EXPECT_FALSE(Exists("dst2.bin"));
    // Copying a file onto itself must not empty it.
    FileCopy("src.bin", "./src.bin");
    EXPECT_EQ(ReadFile("src.bin"), data);
    // A copy that cannot write every block leaves the destination as it was
    // (absent, or the old file byte for byte) and logs one line: a file-size
    // limit of 6000 bytes makes the second block's write fall short.
    WriteFile("old.bin", "old destination");
    EXPECT_EQ(WithFileSizeLimit(6000,
                                [] {
                                    FileCopy("src.bin", "partial.bin");
                                    FileCopy("src.bin", "old.bin");
                                }),
              0);
    EXPECT_FALSE(Exists("partial.bin"));
    EXPECT_EQ(ReadFile("old.bin"), "old destination");
    EXPECT_EQ(ErrorLogLines().size(), 2u);
    std::vector<std::string> names = ListNames(dir);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dst.bin", "old.bin", "src.bin", "tmp"}));
}

// The copy must not rewrite the pages of a library the process has mapped:
// code of the old library stays callable, and the file holds the new bytes.
TEST_F(Channels, CopyOverALoadedLibraryKeepsItUsable) {
    Dl_info info = {};
    ASSERT_NE(dladdr((void*)&cos, &info), 0);
    ASSERT_NE(info.dli_fname, nullptr);
    std::string library = dir + "libcopy.so";
    std::filesystem::copy_file(info.dli_fname, library);
    // Breakpoint instructions: running any of them would stop the process.
    std::string traps(ReadFile(library).size(), '\xCC');
    WriteFile("traps.bin", traps);
    EXPECT_EXIT(
        {
            RuntimeString name(library.c_str());
            void* address = nullptr;
            ExternalFunction(name, RuntimeString("cos"), address);
            if (!address) std::_Exit(2);
            FileCopy("traps.bin", library.c_str());
            double one = ((double (*)(double))address)(0.0);
            std::_Exit(one == 1.0 && ReadFile(library) == traps ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Channels, CurrentDirectoryWithForwardSlashes) {
    std::filesystem::create_directory("inner");
    EXPECT_EQ(DirectorySet("inner"), 1.0);
    RuntimeString here = DirectoryGet();
    EXPECT_EQ(std::string(here.Text()), dir + "inner/");
    EXPECT_EQ(DirectorySet("no/such/dir"), 0.0);
    EXPECT_EQ(DirectorySet("/"), 1.0);
    EXPECT_STREQ(DirectoryGet().Text(), "/");
    RuntimeString path("a\\b\\c.txt");
    PathToSlashes(path);
    EXPECT_STREQ(path.Text(), "a/b/c.txt");
}
