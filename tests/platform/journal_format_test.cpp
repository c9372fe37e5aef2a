// The journal reader on well-formed, cut, damaged and foreign files: it keeps
// every whole block before the first fault, says why it stopped, and never
// reads past what is there.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/journal_format.h"
#include "support/headless.h"

namespace {

std::vector<JournalRecord> SampleRecords() {
    std::vector<JournalRecord> records;
    JournalRecord info;
    info.type = JournalRecordType::Info;
    info.text = "counter-frequency";
    info.text2 = "1000000000";
    records.push_back(info);
    for (int frame = 0; frame < 100; ++frame) {
        JournalRecord clock;
        clock.type = JournalRecordType::Clock;
        clock.number = frame == 50 ? -5 : 16666667 + frame;
        records.push_back(clock);
        if (frame % 7 == 0) {
            JournalRecord event;
            event.type = JournalRecordType::Event;
            event.poll = (uint64_t)frame * 3;
            event.event.kind = 5;
            event.event.count = 4;
            event.event.values[0] = frame;
            event.event.values[1] = -frame;
            event.event.values[2] = INT64_MIN;
            event.event.values[3] = INT64_MAX;
            if (frame % 2) event.event.text = "é ok";
            records.push_back(event);
        }
        if (frame == 10) {
            JournalRecord data;
            data.type = JournalRecordType::Data;
            data.number = 5;
            data.text = std::string("body\0with nul", 13);
            records.push_back(data);
            JournalRecord file;
            file.type = JournalRecordType::File;
            file.text = "hero.png";
            file.number = 1234;
            file.hash = 0xFFFFFFFFFFFFFFFFull;
            records.push_back(file);
        }
        JournalRecord mark;
        mark.type = JournalRecordType::Frame;
        records.push_back(mark);
    }
    JournalRecord end;
    end.type = JournalRecordType::End;
    end.number = 0;
    end.poll = 100;
    records.push_back(end);
    return records;
}

// A journal written by the writer, as bytes, with its block boundaries.
std::string WriteSample(const std::string& dir, std::vector<size_t>* blockStarts = nullptr) {
    std::string path = dir + "sample.rvj";
    {
        JournalWriter writer;
        EXPECT_TRUE(writer.Open(path.c_str()));
        for (const JournalRecord& record : SampleRecords()) {
            writer.Add(record);
            if (record.type == JournalRecordType::Frame) writer.EndBlockIfDue(false);
        }
        writer.Close();
    }
    std::string bytes = ReadWholeFile(path);
    if (blockStarts) {
        for (size_t at = kJournalHeaderBytes; at + 8 <= bytes.size();) {
            blockStarts->push_back(at);
            uint32_t length = (uint8_t)bytes[at] | (uint8_t)bytes[at + 1] << 8 | (uint8_t)bytes[at + 2] << 16 |
                              (uint32_t)(uint8_t)bytes[at + 3] << 24;
            at += 8 + length;
        }
    }
    return bytes;
}

std::vector<JournalRecord> ReadAll(const JournalImage& image, bool* failed = nullptr) {
    std::vector<JournalRecord> records;
    JournalCursor cursor(&image.payload);
    JournalRecord record;
    while (cursor.Peek(record)) {
        records.push_back(record);
        cursor.Take();
    }
    if (failed) *failed = cursor.Failed();
    return records;
}

bool Same(const JournalRecord& a, const JournalRecord& b) {
    if (a.type != b.type || a.poll != b.poll || a.number != b.number || a.hash != b.hash || a.text != b.text ||
        a.text2 != b.text2 || a.event.kind != b.event.kind || a.event.count != b.event.count ||
        a.event.text != b.event.text)
        return false;
    for (uint32_t i = 0; i < a.event.count; ++i)
        if (a.event.values[i] != b.event.values[i]) return false;
    return true;
}

JournalImage Parse(const std::string& bytes, bool* accepted = nullptr) {
    JournalImage image;
    bool ok = JournalParse((const uint8_t*)bytes.data(), bytes.size(), image);
    if (accepted) *accepted = ok;
    return image;
}

TEST(JournalFormat, EveryRecordComesBackAsWrittenOverSeveralBlocks) {
    std::string dir = UseScratchTempDirectory();
    std::vector<size_t> blocks;
    std::string bytes = WriteSample(dir, &blocks);
    EXPECT_GE(blocks.size(), 3u) << "100 frames make blocks of at most 30";
    bool accepted = false;
    JournalImage image = Parse(bytes, &accepted);
    ASSERT_TRUE(accepted) << image.problem;
    EXPECT_TRUE(image.whole) << image.problem;
    EXPECT_EQ(image.blocks, blocks.size());
    bool failed = true;
    std::vector<JournalRecord> read = ReadAll(image, &failed);
    EXPECT_FALSE(failed);
    std::vector<JournalRecord> written = SampleRecords();
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i) EXPECT_TRUE(Same(read[i], written[i])) << "record " << i;
}

// The table of files that are not journals this program reads: refused
// whole, with the reason.
TEST(JournalFormat, ForeignFilesAreRefusedWithTheirReason) {
    std::string dir = UseScratchTempDirectory();
    std::string good = WriteSample(dir);
    std::string otherVersion = good;
    otherVersion[8] = 3;
    const struct {
        const char* name;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"empty file", "", "not a journal"},
        {"header cut", good.substr(0, 10), "not a journal"},
        {"other magic", "PNG\x89" + good.substr(4), "not a journal"},
        {"other version", otherVersion, "version 3"},
    };
    for (const auto& c : cases) {
        bool accepted = true;
        JournalImage image = Parse(c.bytes, &accepted);
        EXPECT_FALSE(accepted) << c.name;
        EXPECT_NE(image.problem.find(c.says), std::string::npos) << c.name << ": " << image.problem;
        EXPECT_TRUE(image.payload.empty()) << c.name;
    }
}

// Cut anywhere: the blocks wholly before the cut are kept, nothing else.
TEST(JournalFormat, ACutJournalKeepsTheBlocksBeforeTheCut) {
    std::string dir = UseScratchTempDirectory();
    std::vector<size_t> blocks;
    std::string bytes = WriteSample(dir, &blocks);
    blocks.push_back(bytes.size());
    for (size_t cut = kJournalHeaderBytes; cut < bytes.size(); ++cut) {
        bool accepted = false;
        JournalImage image = Parse(bytes.substr(0, cut), &accepted);
        ASSERT_TRUE(accepted);
        size_t whole = 0;
        while (whole + 1 < blocks.size() && blocks[whole + 1] <= cut) ++whole;
        ASSERT_EQ(image.blocks, whole) << "cut at " << cut;
        EXPECT_EQ(image.whole, cut == blocks[whole]) << "cut at " << cut;
        if (!image.whole) {
            EXPECT_NE(image.problem.find("cut short"), std::string::npos) << image.problem;
        }
        bool failed = true;
        ReadAll(image, &failed);
        EXPECT_FALSE(failed) << "cut at " << cut;
    }
}

// A changed byte in a block's length, checksum or payload ends the reading
// at that block.
TEST(JournalFormat, ADamagedBlockEndsTheReadingThere) {
    std::string dir = UseScratchTempDirectory();
    std::vector<size_t> blocks;
    std::string bytes = WriteSample(dir, &blocks);
    for (size_t b = 0; b < blocks.size(); ++b) {
        for (size_t offset : {0, 3, 4, 7, 8, 20}) {
            std::string damaged = bytes;
            damaged[blocks[b] + offset] ^= 0x41;
            JournalImage image = Parse(damaged);
            EXPECT_FALSE(image.whole) << "block " << b << " byte " << offset;
            // A length made smaller can still frame a block whose checksum
            // then fails; either way nothing from this block on is kept.
            EXPECT_EQ(image.blocks, b) << "block " << b << " byte " << offset << ": " << image.problem;
            EXPECT_EQ(image.damageOffset, blocks[b]);
        }
    }
}

// Records that do not decode inside a block whose checksum holds (a writer
// of another build, or made by hand): the walk stops, nothing is read past
// the payload.
TEST(JournalFormat, RecordsThatDoNotDecodeStopTheWalk) {
    const struct {
        const char* name;
        std::string payload;
    } cases[] = {
        {"unknown type", std::string("F") + "x"},
        {"varint without end", std::string("C\xFF\xFF\xFF", 4)},
        {"varint too long", "C" + std::string(11, '\xFF') + "\x01"},
        {"text longer than the payload", std::string("D\x02\x7F", 3) + "abc"},
        {"event with too many integers", std::string("E\x00\x05\x20", 4) + std::string(16, '\x01')},
        {"event text too long", std::string("E\x00\x05\x01\x7F", 5) + std::string(127, 'a')},
        {"info key too long", std::string("I\xFF\x7F", 3)},
        {"end cut", std::string("Z", 1)},
    };
    for (const auto& c : cases) {
        std::string payload = c.payload;
        JournalCursor cursor(&payload);
        JournalRecord record;
        int taken = 0;
        while (cursor.Peek(record)) {
            cursor.Take();
            ++taken;
        }
        EXPECT_TRUE(cursor.Failed()) << c.name;
        EXPECT_LE(taken, 1) << c.name;
        EXPECT_LE(cursor.Offset(), payload.size()) << c.name;
    }
}

TEST(JournalFormat, AWriterThatCannotWriteSaysSo) {
    JournalWriter writer;
    EXPECT_FALSE(writer.Open("/nonexistent-folder/run.rvj"));
    EXPECT_FALSE(writer.IsOpen());
}

}  // namespace
