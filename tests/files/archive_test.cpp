// The data archive: disk first, lookup by the last name part without case,
// the temporary file's name and life, positive and negative offsets, the
// record's enabled flag, damaged and hostile archives, and the packer's round
// trip through the real revev-pack program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "core/engine.h"
#include "files/archive.h"
#include "archive_writer.h"
#include "files/archive_format.h"
#include "files_test_util.h"

class Archive : public ::testing::Test {
protected:
    void SetUp() override {
        dir = EnterScratchDirectory();
        DataArchivesCreate();
    }
    void TearDown() override {
        DataArchivesRelease();
        LeaveScratchDirectory();
    }

    // Writes `bytes` as the archive and points both records at it.
    void UseArchive(const std::string& bytes) {
        WriteFile(dir + "data.vaz", bytes);
        SetDataArchives((dir + "data.vaz").c_str(), (dir + "data.vaz").c_str());
    }
    int Resolve(const char* name) { return ResolveDataFile(engine.dataArchives, name, path); }

    std::string dir;
    char path[260] = {};
};

// ---------------------------------------------------------------------------
// Lookup

TEST_F(Archive, FindsTheLastNamePartWithoutRegardToCase) {
    UseArchive(SimpleArchive({{"other.txt", "nope"}, {"hero.png", "picture bytes"}}));
    ASSERT_EQ(Resolve("a/b/Hero.PNG"), 1);
    EXPECT_EQ(ReadFile(path), "picture bytes");
    EXPECT_EQ(std::string(path).rfind(ScratchTemp(), 0), 0u) << path;
    ASSERT_EQ(Resolve("x\\y\\OTHER.txt"), 1);
    EXPECT_EQ(ReadFile(path), "nope");
    EXPECT_EQ(Resolve("missing.png"), 0);
    EXPECT_STREQ(path, "");
}

TEST_F(Archive, AFileOnDiskWinsAndIsReturnedUnchanged) {
    UseArchive(SimpleArchive({{"hero.png", "from archive"}}));
    WriteFile(dir + "hero.png", "from disk");
    ASSERT_EQ(Resolve("hero.png"), 1);
    EXPECT_STREQ(path, "hero.png");
    // A directory of that name is not a readable file: the archive answers.
    std::filesystem::remove(dir + "hero.png");
    std::filesystem::create_directory(dir + "hero.png");
    ASSERT_EQ(Resolve("hero.png"), 1);
    EXPECT_EQ(ReadFile(path), "from archive");
}

TEST_F(Archive, OutPathMayBeTheNameBuffer) {
    UseArchive(SimpleArchive({{"a.txt", "alpha"}}));
    char buffer[260] = "dir/A.TXT";
    ASSERT_EQ(ResolveDataFile(engine.dataArchives, buffer, buffer), 1);
    EXPECT_EQ(ReadFile(buffer), "alpha");
}

TEST_F(Archive, TemporaryNameTakesLettersFromOffsetAndSize) {
    // 22 distinct bytes pack as literals into exactly 26 bytes: a block of 30.
    std::string data = "abcdefghijklmnopqrstuv";
    std::string block = PackedBlock(data);
    ASSERT_EQ(block.size(), 30u);
    std::string bytes(1000, 'x');
    bytes += block;
    std::string directory = DirEntry("hero.png", 1000, 30) + std::string(1, '\0');
    int32_t dirPos = (int32_t)bytes.size();
    UseArchive(bytes + directory + Trailer(dirPos));
    ASSERT_EQ(Resolve("hero.png"), 1);
    EXPECT_EQ(std::string(path), ScratchTemp() + "vazMEhero.png");
    EXPECT_STREQ(engine.dataArchives[0].lastTemporaryFile, path);
    EXPECT_EQ(ReadFile(path), data);
}

TEST_F(Archive, NegativeDirectoryPositionCountsFromTheEnd) {
    std::string prefix = "some program bytes before the archive";
    std::string one = PackedBlock("first entry"), two = PackedBlock(std::string(5000, 'z'));
    std::string blocks = one + two;
    std::string directory =
        DirEntry("one.txt", 0, (uint32_t)one.size()) + DirEntry("two.bin", 0, 0) + '\0';
    // The directory starts 100 bytes before the end; filler pads up to the trailer.
    std::string filler(100 - directory.size() - kArchiveTrailerSize, '#');
    int64_t total = (int64_t)(prefix.size() + blocks.size() + 100);
    int32_t offOne = (int32_t)((int64_t)prefix.size() - total);
    int32_t offTwo = offOne + (int32_t)one.size();
    directory = DirEntry("one.txt", (uint32_t)offOne, (uint32_t)one.size()) +
                DirEntry("two.bin", (uint32_t)offTwo, (uint32_t)two.size()) + '\0';
    std::string archive = prefix + blocks + directory + filler + Trailer(-100);
    ASSERT_EQ((int64_t)archive.size(), total);
    UseArchive(archive);
    ASSERT_EQ(Resolve("one.txt"), 1);
    EXPECT_EQ(ReadFile(path), "first entry");
    ASSERT_EQ(Resolve("two.bin"), 1);
    EXPECT_EQ(ReadFile(path), std::string(5000, 'z'));
}

TEST_F(Archive, OlderMagicByteOrderIsReadToo) {
    std::string archive = SimpleArchive({{"a.txt", "old"}});
    archive.replace(archive.size() - 7, 3, "\x73\x62\x58");
    UseArchive(archive);
    ASSERT_EQ(Resolve("a.txt"), 1);
    EXPECT_EQ(ReadFile(path), "old");
}

// ---------------------------------------------------------------------------
// The temporary file's life

TEST_F(Archive, OneTemporaryFilePerRecord) {
    UseArchive(SimpleArchive({{"a.txt", "alpha"}, {"b.txt", "beta"}}));
    WriteFile(dir + "disk.txt", "disk");
    ASSERT_EQ(Resolve("a.txt"), 1);
    std::string first = path;
    ASSERT_EQ(Resolve("b.txt"), 1);
    EXPECT_FALSE(Exists(first));
    std::string second = path;
    // Found on disk: the archive's temporary file still goes.
    ASSERT_EQ(Resolve("disk.txt"), 1);
    EXPECT_FALSE(Exists(second));
    EXPECT_STREQ(engine.dataArchives[0].lastTemporaryFile, "");

    ASSERT_EQ(Resolve("a.txt"), 1);
    std::string third = path;
    SetDataArchives((dir + "data.vaz").c_str(), "");
    EXPECT_FALSE(Exists(third));
    ASSERT_EQ(Resolve("a.txt"), 1);
    std::string fourth = path;
    DataArchivesRelease();
    EXPECT_EQ(engine.dataArchives, nullptr);
    EXPECT_FALSE(Exists(fourth));
    EXPECT_TRUE(ListNames(ScratchTemp()).empty());
}

// ---------------------------------------------------------------------------
// The enabled flag

TEST_F(Archive, MissingArchiveDisablesTheRecordUntilSetAgain) {
    SetDataArchives((dir + "later.vaz").c_str(), "");
    EXPECT_EQ(Resolve("a.txt"), 0);
    EXPECT_EQ(engine.dataArchives[0].enabled, 0);
    // The archive appears, but the disabled record no longer looks.
    WriteFile(dir + "later.vaz", SimpleArchive({{"a.txt", "alpha"}}));
    EXPECT_EQ(Resolve("a.txt"), 0);
    SetDataArchives((dir + "later.vaz").c_str(), "");
    EXPECT_EQ(engine.dataArchives[0].enabled, 1);
    ASSERT_EQ(Resolve("a.txt"), 1);
    EXPECT_EQ(ReadFile(path), "alpha");
}

TEST_F(Archive, DirectoryOrEmptyPathDisablesTheRecord) {
    SetDataArchives(dir.c_str(), "");
    EXPECT_EQ(Resolve("a.txt"), 0);
    EXPECT_EQ(engine.dataArchives[0].enabled, 0);
    SetDataArchives("", "");
    EXPECT_EQ(Resolve("a.txt"), 0);
    EXPECT_EQ(engine.dataArchives[0].enabled, 0);
}

TEST_F(Archive, WrongMagicFindsNothingButStaysEnabled) {
    std::string archive = SimpleArchive({{"a.txt", "alpha"}});
    archive[archive.size() - 7] = 'V';
    UseArchive(archive);
    EXPECT_EQ(Resolve("a.txt"), 0);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(engine.dataArchives[0].enabled, 1);
}

TEST_F(Archive, WithoutRecordsOnlyTheDiskIsTried) {
    DataArchivesRelease();
    WriteFile(dir + "here.txt", "x");
    EXPECT_EQ(ResolveDataFile(engine.dataArchives, "here.txt", path), 1);
    EXPECT_EQ(ResolveDataFile(engine.dataArchives, "nothere.txt", path), 0);
}

// ---------------------------------------------------------------------------
// Damaged and hostile archives

TEST_F(Archive, EmptyEntryAndDamagedBlock) {
    // Data size 4, unpacked size 0: an empty file.
    std::string blocks = Le32(0);
    // A block whose stream breaks off: the unpacked prefix is kept.
    std::string good = PackedBlock(std::string(3000, 'q') + "tail");
    std::string broken = good.substr(0, good.size() - 3);
    std::string directory = DirEntry("empty.dat", 0, 4) +
                            DirEntry("broken.dat", 4, (uint32_t)broken.size()) + '\0';
    blocks += broken;
    UseArchive(blocks + directory + Trailer((int32_t)blocks.size()));
    ASSERT_EQ(Resolve("empty.dat"), 1);
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(ReadFile(path), "");
    ASSERT_EQ(Resolve("broken.dat"), 1);
    std::string got = ReadFile(path);
    EXPECT_LT(got.size(), 3004u);
    EXPECT_EQ(got, std::string(got.size(), 'q'));
}

// Each case must give 0, an empty out path and no temporary file.
TEST_F(Archive, RefusesMalformedArchivesCleanly) {
    std::string block = PackedBlock("payload");
    uint32_t bs = (uint32_t)block.size();
    auto plain = [&](const std::string& dirBytes, const std::string& blk) {
        return blk + dirBytes + Trailer((int32_t)blk.size());
    };
    struct Case {
        const char* what;
        std::string archive;
    };
    // A stored size beyond what the block can expand to, and a broken stream.
    std::string overstatedBroken = Le32(0xFFFFFFF0u) + block.substr(4, block.size() - 7);
    std::vector<Case> cases = {
        {"shorter than the trailer", "vaZ\0"},
        {"directory position past the end", block + Trailer(1 << 20)},
        {"negative directory position before the start", block + Trailer(-(1 << 20))},
        {"directory without end mark", plain(DirEntry("x.txt", 0, bs), block)},
        {"directory cut inside an entry", plain(std::string("\x05" "a.tx"), block)},
        {"block runs past the end", plain(DirEntry("a.txt", 0, bs + 100) + '\0', block)},
        {"block offset past the end", plain(DirEntry("a.txt", 1u << 30, bs) + '\0', block)},
        {"block shorter than its header", plain(DirEntry("a.txt", 0, 3) + '\0', block)},
        {"overstated unpacked size with a broken stream",
         plain(DirEntry("a.txt", 0, (uint32_t)overstatedBroken.size()) + '\0', overstatedBroken)},
        {"name with a zero byte", plain(DirEntry(std::string("a.txt\0z", 7), 0, bs) + '\0', block)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UseArchive(c.archive);
        std::strcpy(path, "junk");
        EXPECT_EQ(Resolve("a.txt"), 0);
        EXPECT_STREQ(path, "");
        EXPECT_TRUE(ListNames(ScratchTemp()).empty());
    }
}

// The stored unpacked size only bounds the buffer: whole data is served at
// the length the decompressor reports, whatever the size claims.
TEST_F(Archive, AStoredSizeLargerThanTheDataCanBeStillGivesTheWholeData) {
    std::string text = "several words, several words, several words\r\n";
    std::filesystem::create_directory(dir + "src");
    WriteFile(dir + "src/words.txt", text);
    WriteFile(dir + "src/other.txt", std::string(5000, 'o'));
    std::string error;
    ASSERT_TRUE(CreateArchive(dir + "data.vaz", {dir + "src/words.txt", dir + "src/other.txt"},
                              error))
        << error;
    std::vector<ArchiveListing> entries;
    ASSERT_TRUE(ListArchive(dir + "data.vaz", entries, error)) << error;
    ASSERT_EQ(entries.size(), 2u);
    std::string archive = ReadFile(dir + "data.vaz");
    // Far beyond what the packed bytes can expand to, and just above the truth.
    archive.replace(entries[0].dataOffset, 4, Le32(1u << 30));
    archive.replace(entries[1].dataOffset, 4, Le32(5001));
    UseArchive(archive);
    ASSERT_EQ(Resolve("words.txt"), 1);
    EXPECT_EQ(ReadFile(path), text);
    ASSERT_EQ(Resolve("other.txt"), 1);
    EXPECT_EQ(ReadFile(path), std::string(5000, 'o'));
}

TEST_F(Archive, RefusesNamesTooLongForTheBuffers) {
    std::string longName(300, 'n');
    UseArchive(SimpleArchive({{"a.txt", "alpha"}}));
    std::strcpy(path, "junk");
    EXPECT_EQ(Resolve(longName.c_str()), 0);
    EXPECT_STREQ(path, "");
    // A stored name that with the temporary directory passes 259 bytes.
    std::string entry(255, 'e');
    UseArchive(SimpleArchive({{entry, "long"}}));
    EXPECT_EQ(Resolve(entry.c_str()), 0);
    EXPECT_STREQ(path, "");
    EXPECT_TRUE(ListNames(ScratchTemp()).empty());
}

TEST_F(Archive, NeverFollowsALinkPlantedAtTheTemporaryName) {
    UseArchive(SimpleArchive({{"a.txt", "alpha"}}));
    ASSERT_EQ(Resolve("a.txt"), 1);
    std::string temp = path;
    std::filesystem::remove(temp);
    WriteFile(dir + "victim.txt", "keep me");
    std::filesystem::create_symlink(dir + "victim.txt", temp);
    ASSERT_EQ(Resolve("a.txt"), 1);
    EXPECT_EQ(ReadFile(dir + "victim.txt"), "keep me");
    EXPECT_EQ(ReadFile(path), "alpha");
}

// ---------------------------------------------------------------------------
// The packer's round trip

namespace {

int Pack(const std::string& args) {
    std::string command = std::string(REVEV_PACK) + " " + args + " >/dev/null 2>&1";
    return std::system(command.c_str());
}

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = (char)(gen() & 0xFF);
    return s;
}

}  // namespace

TEST_F(Archive, PackerRoundTripThroughTheResolver) {
    std::vector<std::pair<std::string, std::string>> files = {
        {"empty.bin", ""},
        {"Hello.txt", "hello, archive\r\n"},
        {"noise.bin", RandomBytes(3 << 20, 7)},
        {"zeros.raw", std::string(6 << 20, '\0')},
        {"text.lua", std::string(200000, 'a') + RandomBytes(1000, 3)},
    };
    std::filesystem::create_directory(dir + "src");
    std::string list;
    for (const auto& [name, data] : files) {
        WriteFile(dir + "src/" + name, data);
        list += " src/" + name;
    }
    ASSERT_EQ(Pack("create pack.vaz" + list), 0);
    // Appended to another file, read with offsets from the end.
    WriteFile(dir + "host.bin", RandomBytes(12345, 9));
    ASSERT_EQ(Pack("append host.bin" + list), 0);
    EXPECT_EQ(ReadFile(dir + "host.bin").substr(0, 12345), RandomBytes(12345, 9));

    for (const char* archive : {"pack.vaz", "host.bin"}) {
        SCOPED_TRACE(archive);
        SetDataArchives((dir + archive).c_str(), "");
        for (const auto& [name, data] : files) {
            ASSERT_EQ(Resolve(("assets/" + name).c_str()), 1) << name;
            EXPECT_TRUE(ReadFile(path) == data) << name;
        }
    }
    std::filesystem::create_directory(dir + "out");
    ASSERT_EQ(Pack("extract host.bin out"), 0);
    for (const auto& [name, data] : files) EXPECT_TRUE(ReadFile(dir + "out/" + name) == data);
    EXPECT_EQ(Pack("list pack.vaz"), 0);
}

TEST_F(Archive, PackerRefusesWhatTheResolverCouldNotServe) {
    WriteFile(dir + "a.txt", "a");
    std::filesystem::create_directory(dir + "sub");
    WriteFile(dir + "sub/A.TXT", "b");
    // Two names equal without case: the second could never be found.
    EXPECT_NE(Pack("create x.vaz a.txt sub/A.TXT"), 0);
    EXPECT_FALSE(Exists(dir + "x.vaz"));
    EXPECT_NE(Pack("create x.vaz missing.txt"), 0);
    EXPECT_NE(Pack("append nothere.bin a.txt"), 0);
    EXPECT_NE(Pack("list a.txt"), 0);
    // Failing to append leaves the target as it was.
    WriteFile(dir + "host.bin", "host");
    EXPECT_NE(Pack("append host.bin a.txt missing.txt"), 0);
    EXPECT_EQ(ReadFile(dir + "host.bin"), "host");
}

TEST_F(Archive, PackerExtractRefusesStoredNamesWithDirectoryParts) {
    std::string archive = SimpleArchive({{"../evil.txt", "x"}, {"fine.txt", "y"}});
    WriteFile(dir + "bad.vaz", archive);
    std::filesystem::create_directory(dir + "out");
    EXPECT_NE(Pack("extract bad.vaz out"), 0);
    EXPECT_FALSE(Exists(dir + "evil.txt"));
    EXPECT_EQ(ReadFile(dir + "out/fine.txt"), "y");
}
